#pragma once

#include "Exception.h"

// A failure of the table layer: cursor messages ("Table1: ...") and the
// messages built from the engine's texts.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// A failure the engine reported, with its result code.
class EDBEngineError : public EDatabaseError {
public:
    EDBEngineError(unsigned short errorCode, QString message)
        : EDatabaseError(std::move(message)), errorCode_(errorCode) {}
    unsigned short ErrorCode() const { return errorCode_; }

private:
    unsigned short errorCode_;
};
