#include "NativeTextFold.h"

#include <string_view>

NativeTextFold::NativeTextFold(const Decode& decode, const Encode& encode) : encode_(encode) {
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        table_[b] = byte;
        const QString text = decode(byte);
        unsigned char folded = 0;
        if (text.size() == 1 && encode(fold(text[0]), &folded))
            table_[b] = folded;
    }
}

QChar NativeTextFold::fold(QChar c) {
    const QChar lower = c.toLower();
    return lower == QChar(0x0451) ? QChar(0x0435) : lower;
}

bool NativeTextFold::setNeedle(const QString& text) {
    needle_.clear();
    for (QChar c : text) {
        unsigned char byte = 0;
        if (!encode_(c, &byte))
            return false;
        needle_.push_back(static_cast<char>(table_[byte]));
    }
    return true;
}

bool NativeTextFold::contains(const unsigned char* bytes, std::size_t length) const {
    if (needle_.empty())
        return true;
    if (length < needle_.size())
        return false;
    folded_.resize(length);
    for (std::size_t i = 0; i < length; ++i)
        folded_[i] = static_cast<char>(table_[bytes[i]]);
    return std::string_view(folded_).find(needle_) != std::string_view::npos;
}
