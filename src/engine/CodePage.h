// Single-byte code pages of table text (866, 1251, 1252 and the others a
// table header may name). Each page is a 256-entry table built once from the
// system's converter; a character the page cannot hold is reported, never
// replaced by '?'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace ke {

class CodePage {
public:
    // nullptr when the number is not a supported single-byte code page.
    static const CodePage* get(uint16_t number);

    uint16_t number() const { return m_number; }
    // Unicode for a byte; 0 when the byte has no character in this page.
    char32_t toUnicode(uint8_t byte) const { return m_toUnicode[byte]; }
    // The byte for a character; false when the page cannot hold it.
    bool fromUnicode(char32_t c, uint8_t& byte) const;

    // Native bytes (up to the first NUL) to UTF-8. Bytes without a character become U+FFFD.
    std::string toUtf8(const uint8_t* native, size_t length) const;
    // UTF-8 to native bytes. Throws EngineError (invalid parameter / unmappable character).
    std::string fromUtf8(std::string_view utf8) const;
    // The same without a failure: nothing when the text is no UTF-8 or holds a
    // character the page cannot hold.
    std::optional<std::string> tryFromUtf8(std::string_view utf8) const;

private:
    explicit CodePage(uint16_t number);
    bool build();

    uint16_t m_number;
    char32_t m_toUnicode[256] {};
    std::unordered_map<char32_t, uint8_t> m_fromUnicode;
};

// The code page assumed for tables that name none (level 3): the DOS Cyrillic page.
constexpr uint16_t kDefaultDosCodePage = 866;

} // namespace ke
