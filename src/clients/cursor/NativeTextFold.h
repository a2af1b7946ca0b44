#pragma once

#include <QString>
#include <array>
#include <cstddef>
#include <functional>
#include <string>

// Finds a text in field values as the table stores them (a single-byte code
// page), ignoring case and reading Ё as Е, without turning every value into
// Unicode: each byte is folded through a table made once from the code page.
class NativeTextFold {
public:
    // decode: the character(s) one byte stands for (empty when it stands for none);
    // encode: the byte of one character, false when the code page has none.
    using Decode = std::function<QString(unsigned char)>;
    using Encode = std::function<bool(QChar, unsigned char*)>;
    NativeTextFold(const Decode& decode, const Encode& encode);

    // The text to look for; false when it holds a character the code page
    // cannot store (no value can then contain it).
    bool setNeedle(const QString& text);
    // Whether the folded value contains the folded text (an empty text is in every value).
    bool contains(const unsigned char* bytes, std::size_t length) const;

    // Lower case, and ё as е.
    static QChar fold(QChar c);

private:
    Encode encode_;
    std::array<unsigned char, 256> table_{};
    std::string needle_;
    mutable std::string folded_;
};
