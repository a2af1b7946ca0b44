// Field values as text and back, for every type whose value lies whole in the
// record. Text is UTF-8; numbers use a dot, dates and times ISO 8601
// ("2024-05-01", "13:45:00.000", "2024-05-01 13:45:00.000"), logical values
// "true" and "false", BCD and byte fields hexadecimal. A blank value is empty text.
#pragma once

#include "Engine.h"

#include <array>
#include <string>
#include <string_view>

namespace kt {

// A single-byte code page as a table of UTF-8 texts, filled from the engine.
class CodePageText {
public:
    explicit CodePageText(uint16_t codePage);
    uint16_t codePage() const { return codePage_; }
    // Appends the text of `n` native bytes up to the first NUL. *undefined
    // (when given) gets the first byte that is no character of the page, or -1.
    void append(std::string& out, const uint8_t* p, size_t n, int* undefined = nullptr) const;

private:
    uint16_t codePage_;
    std::array<std::array<char, 4>, 256> utf8_ {}; // a character of the page is 1 to 3 bytes of UTF-8
    std::array<uint8_t, 256> length_ {};
    std::array<bool, 256> defined_ {};
};

// The type's name as the tool prints it ("alpha", "date", "memo", ...).
const char* typeName(uint8_t type);
// True when the value lies whole in the record (not in a companion file), so it has a text form.
bool hasTextForm(uint8_t type);

// Appends the field's value as text; nothing for a blank value.
void appendFieldText(std::string& out, const Field& field, const uint8_t* record, const CodePageText& codePage);
// Stores the text in the record's field. Returns why it cannot, in plain
// words, or an empty string when it was stored.
std::string putFieldText(const Field& field, std::string_view text, uint8_t* record, const CodePageText& codePage);
// Why the stored value is damaged, in plain words; empty when it is sound.
std::string valueProblem(const Field& field, const uint8_t* record, const CodePageText& codePage);

} // namespace kt
