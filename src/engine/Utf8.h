// UTF-8 decoding/encoding and the simple case folding used to match path
// components and table names without regard to case.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ke {

// Decodes strict UTF-8 (no overlong forms, no surrogates); nullopt when invalid.
std::optional<std::u32string> decodeUtf8(std::string_view text);
void appendUtf8(std::string& out, char32_t c);
std::string encodeUtf8(std::u32string_view text);

// Lower-case mapping for ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic.
char32_t foldCase(char32_t c);
// True when both texts are equal ignoring case; invalid UTF-8 compares bytewise.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace ke
