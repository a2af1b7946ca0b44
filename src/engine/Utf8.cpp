#include "Utf8.h"

namespace ke {

std::optional<std::u32string> decodeUtf8(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    size_t i = 0;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    while (i < n) {
        unsigned char b = s[i];
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        int extra;
        char32_t c;
        char32_t min;
        if ((b & 0xE0) == 0xC0) {
            extra = 1; c = b & 0x1F; min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2; c = b & 0x0F; min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3; c = b & 0x07; min = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + size_t(extra) >= n)
            return std::nullopt;
        for (int k = 1; k <= extra; ++k) {
            unsigned char cb = s[i + k];
            if ((cb & 0xC0) != 0x80)
                return std::nullopt;
            c = (c << 6) | (cb & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return std::nullopt;
        out.push_back(c);
        i += size_t(extra) + 1;
    }
    return out;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

std::string encodeUtf8(std::u32string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text)
        appendUtf8(out, c);
    return out;
}

char32_t foldCase(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A alternates upper/lower, with a shifted run in 0x139-0x148 and 0x179-0x17E.
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c & 1) ? c + 1 : c;
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        return (c & 1) ? c : c + 1;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return c + 32;
    if (c >= 0x410 && c <= 0x42F)
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    if (c >= 0x460 && c <= 0x4FF && c != 0x482 && !(c >= 0x483 && c <= 0x489) && c != 0x4C0 && c != 0x4CF) {
        if (c >= 0x4C1 && c <= 0x4CE)
            return (c & 1) ? c + 1 : c;
        return (c & 1) ? c : c + 1;
    }
    return c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a == b)
        return true;
    auto da = decodeUtf8(a);
    auto db = decodeUtf8(b);
    if (!da || !db || da->size() != db->size())
        return false;
    for (size_t i = 0; i < da->size(); ++i)
        if (foldCase((*da)[i]) != foldCase((*db)[i]))
            return false;
    return true;
}

} // namespace ke
