#include "Exception.h"

const char* Exception::what() const noexcept {
    if (utf8_.isEmpty())
        utf8_ = message_.toUtf8();
    return utf8_.constData();
}
