#include "FieldText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

namespace kt {

namespace {

constexpr int64_t kMsPerDay = 86400000;

// Stored integers are big-endian with the sign bit flipped; all zero bytes are blank.
std::optional<int64_t> decodeInteger(const uint8_t* p, size_t size)
{
    bool blank = true;
    for (size_t i = 0; i < size; ++i)
        blank = blank && p[i] == 0;
    if (blank)
        return std::nullopt;
    uint64_t v = uint64_t(p[0] ^ 0x80);
    for (size_t i = 1; i < size; ++i)
        v = (v << 8) | p[i];
    const unsigned bits = unsigned(size * 8);
    if (bits < 64 && ((v >> (bits - 1)) & 1))
        v |= ~uint64_t(0) << bits;
    return int64_t(v);
}

void encodeInteger(uint8_t* p, size_t size, int64_t value)
{
    const uint64_t v = uint64_t(value);
    for (size_t i = 0; i < size; ++i)
        p[size - 1 - i] = uint8_t(v >> (8 * i));
    p[0] ^= 0x80;
}

// Stored doubles keep their order as bytes: positive ones with the sign bit
// set, negative ones with every bit inverted; all zero bytes are blank.
std::optional<double> decodeDouble(const uint8_t* p)
{
    uint8_t b[8];
    std::memcpy(b, p, 8);
    if (b[0] & 0x80) {
        b[0] &= 0x7F;
    } else {
        bool blank = true;
        for (uint8_t x : b)
            blank = blank && x == 0;
        if (blank)
            return std::nullopt;
        for (uint8_t& x : b)
            x = uint8_t(~x);
    }
    uint64_t bits = 0;
    for (uint8_t x : b)
        bits = (bits << 8) | x;
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

void encodeDouble(uint8_t* p, double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    for (int i = 0; i < 8; ++i)
        p[7 - i] = uint8_t(bits >> (8 * i));
    if (p[0] & 0x80) {
        for (int i = 0; i < 8; ++i)
            p[i] = uint8_t(~p[i]);
    } else {
        p[0] |= 0x80;
    }
}

// Day numbers count from 0001-01-01 = 1 in the proleptic Gregorian calendar.
int64_t dayNumber(int year, int month, int day)
{
    const int64_t y = int64_t(year) - (month <= 2);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 719163;
}

void civilDate(int64_t n, int& year, int& month, int& day)
{
    const int64_t z = n - 719163 + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2));
}

constexpr int64_t kFirstDay = 1;             // 0001-01-01
constexpr int64_t kLastDay = 3652059;        // 9999-12-31

void appendDate(std::string& out, int64_t n)
{
    int y, m, d;
    civilDate(n, y, m, d);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    out += buf;
}

void appendTime(std::string& out, int64_t ms)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", int(ms / 3600000), int(ms / 60000 % 60), int(ms / 1000 % 60),
                  int(ms % 1000));
    out += buf;
}

// A run of exactly `digits` decimal digits at text[at].
bool digitsAt(std::string_view text, size_t at, size_t digits, int& value)
{
    if (at + digits > text.size())
        return false;
    value = 0;
    for (size_t i = at; i < at + digits; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

std::optional<int64_t> parseDate(std::string_view t)
{
    int y, m, d;
    if (t.size() != 10 || t[4] != '-' || t[7] != '-' || !digitsAt(t, 0, 4, y) || !digitsAt(t, 5, 2, m)
        || !digitsAt(t, 8, 2, d) || y < 1 || m < 1 || m > 12 || d < 1)
        return std::nullopt;
    const int64_t n = dayNumber(y, m, d);
    int y2, m2, d2;
    civilDate(n, y2, m2, d2);
    if (d2 != d) // 2023-02-30 and the like
        return std::nullopt;
    return n;
}

// HH:MM, HH:MM:SS or HH:MM:SS.mmm
std::optional<int64_t> parseTime(std::string_view t)
{
    int h, m, s = 0, ms = 0;
    if (t.size() < 5 || t[2] != ':' || !digitsAt(t, 0, 2, h) || !digitsAt(t, 3, 2, m))
        return std::nullopt;
    if (t.size() > 5 && (t[5] != ':' || !digitsAt(t, 6, 2, s)))
        return std::nullopt;
    if (t.size() > 8 && (t[8] != '.' || t.size() != 12 || !digitsAt(t, 9, 3, ms)))
        return std::nullopt;
    if ((t.size() != 5 && t.size() != 8 && t.size() != 12) || h > 23 || m > 59 || s > 59)
        return std::nullopt;
    return ((int64_t(h) * 60 + m) * 60 + s) * 1000 + ms;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The first character of UTF-8 text that the code page cannot hold.
std::string firstUnmappable(std::string_view text, uint16_t codePage)
{
    for (size_t i = 0; i < text.size();) {
        size_t n = 1;
        while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80)
            ++n;
        uint8_t native[8];
        size_t length = 0;
        if (ke_unicode_to_native(codePage, text.data() + i, n, native, sizeof native, &length) != KE_OK)
            return std::string(text.substr(i, n));
        i += n;
    }
    return {};
}

bool validUtf8(std::string_view s)
{
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size() || (n == 2 && c < 0xC2))
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

std::string putAlpha(const Field& f, std::string_view text, uint8_t* p, uint16_t codePage)
{
    if (!validUtf8(text))
        return "the text is not UTF-8 (save the file as CSV in UTF-8)";
    if (text.find('\0') != std::string_view::npos)
        return "the text holds a NUL character";
    std::vector<uint8_t> native(text.size() + 1);
    size_t length = 0;
    const ke_result r = ke_unicode_to_native(codePage, text.data(), text.size(), native.data(), native.size(), &length);
    if (r == KE_ERR_UNMAPPABLE_CHARACTER)
        return "the character \"" + firstUnmappable(text, codePage) + "\" cannot be stored in code page "
            + std::to_string(codePage);
    if (r != KE_OK)
        return engineError(r);
    if (length > f.size)
        return std::to_string(length) + " characters are too many: the column holds " + std::to_string(f.size);
    std::memset(p, 0, f.size);
    std::memcpy(p, native.data(), length);
    return {};
}

} // namespace

CodePageText::CodePageText(uint16_t codePage) : codePage_(codePage)
{
    for (int b = 1; b < 256; ++b) {
        const uint8_t native = uint8_t(b);
        char text[8] = "";
        size_t length = 0;
        require(ke_native_to_unicode(codePage, &native, 1, text, sizeof text, &length));
        if (length == 0 || length > 4)
            throw ToolError("code page " + std::to_string(codePage) + " is not a single-byte code page");
        std::memcpy(utf8_[size_t(b)].data(), text, length);
        length_[size_t(b)] = uint8_t(length);
        defined_[size_t(b)] = std::string_view(text, length) != "\xEF\xBF\xBD"; // U+FFFD: no character of the page
    }
}

void CodePageText::append(std::string& out, const uint8_t* p, size_t n, int* undefined) const
{
    if (undefined)
        *undefined = -1;
    for (size_t i = 0; i < n && p[i]; ++i) {
        if (p[i] < 0x80) {
            out += char(p[i]);
            continue;
        }
        if (undefined && *undefined < 0 && !defined_[p[i]])
            *undefined = p[i];
        out.append(utf8_[p[i]].data(), length_[p[i]]);
    }
}

const char* typeName(uint8_t type)
{
    switch (type) {
    case KE_FIELD_ALPHA: return "alpha";
    case KE_FIELD_DATE: return "date";
    case KE_FIELD_SHORT: return "short";
    case KE_FIELD_LONG: return "long";
    case KE_FIELD_MONEY: return "money";
    case KE_FIELD_NUMBER: return "number";
    case KE_FIELD_LOGICAL: return "logical";
    case KE_FIELD_MEMO: return "memo";
    case KE_FIELD_BLOB: return "binary";
    case KE_FIELD_FMTMEMO: return "formatted memo";
    case KE_FIELD_OLE: return "OLE";
    case KE_FIELD_GRAPHIC: return "graphic";
    case KE_FIELD_TIME: return "time";
    case KE_FIELD_TIMESTAMP: return "timestamp";
    case KE_FIELD_AUTOINC: return "autoincrement";
    case KE_FIELD_BCD: return "BCD";
    case KE_FIELD_BYTES: return "bytes";
    default: return "unknown";
    }
}

bool hasTextForm(uint8_t type)
{
    switch (type) {
    case KE_FIELD_MEMO: case KE_FIELD_BLOB: case KE_FIELD_FMTMEMO: case KE_FIELD_OLE: case KE_FIELD_GRAPHIC:
        return false;
    default:
        return std::strcmp(typeName(type), "unknown") != 0;
    }
}

void appendFieldText(std::string& out, const Field& f, const uint8_t* record, const CodePageText& codePage)
{
    const uint8_t* p = record + f.offset;
    char buf[32];
    switch (f.type) {
    case KE_FIELD_ALPHA:
        codePage.append(out, p, f.size);
        return;
    case KE_FIELD_SHORT: case KE_FIELD_LONG: case KE_FIELD_AUTOINC:
        if (auto v = decodeInteger(p, f.size))
            out += std::to_string(*v);
        return;
    case KE_FIELD_LOGICAL:
        if (auto v = decodeInteger(p, 1))
            out += *v ? "true" : "false";
        return;
    case KE_FIELD_DATE:
        if (auto v = decodeInteger(p, 4))
            appendDate(out, *v);
        return;
    case KE_FIELD_TIME:
        if (auto v = decodeInteger(p, 4))
            appendTime(out, *v);
        return;
    case KE_FIELD_NUMBER: case KE_FIELD_MONEY:
        if (auto v = decodeDouble(p)) {
            const auto end = std::to_chars(buf, buf + sizeof buf, *v).ptr; // shortest text that reads back exactly
            out.append(buf, end);
        }
        return;
    case KE_FIELD_TIMESTAMP:
        if (auto v = decodeDouble(p)) {
            const int64_t ms = int64_t(*v);
            appendDate(out, ms / kMsPerDay);
            out += ' ';
            appendTime(out, ms % kMsPerDay);
        }
        return;
    default: {
        bool blank = true;
        for (size_t i = 0; i < f.size; ++i)
            blank = blank && p[i] == 0;
        if (blank)
            return;
        for (size_t i = 0; i < f.size; ++i) {
            std::snprintf(buf, sizeof buf, "%02x", p[i]);
            out += buf;
        }
    }
    }
}

std::string putFieldText(const Field& f, std::string_view text, uint8_t* record, const CodePageText& codePage)
{
    uint8_t* p = record + f.offset;
    if (text.empty()) {
        std::memset(p, 0, f.size);
        return {};
    }
    const std::string quoted = "\"" + std::string(text.substr(0, 40)) + (text.size() > 40 ? "...\"" : "\"");
    switch (f.type) {
    case KE_FIELD_ALPHA:
        return putAlpha(f, text, p, codePage.codePage());
    case KE_FIELD_SHORT: case KE_FIELD_LONG: case KE_FIELD_AUTOINC: {
        int64_t v = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
        // The smallest value of the size would be stored as all zero bytes: blank.
        const int64_t limit = f.size == 2 ? 32767 : 2147483647;
        if (ec != std::errc() || end != text.data() + text.size() || v < -limit || v > limit)
            return quoted + " is no whole number from " + std::to_string(-limit) + " to " + std::to_string(limit);
        encodeInteger(p, f.size, v);
        return {};
    }
    case KE_FIELD_LOGICAL:
        if (text != "true" && text != "false")
            return quoted + " is neither true nor false";
        p[0] = text == "true" ? 0x81 : 0x80;
        return {};
    case KE_FIELD_DATE: {
        const auto n = parseDate(text);
        if (!n)
            return quoted + " is no date of the form 2024-05-31";
        encodeInteger(p, 4, *n);
        return {};
    }
    case KE_FIELD_TIME: {
        const auto ms = parseTime(text);
        if (!ms)
            return quoted + " is no time of the form 13:45:00.000";
        encodeInteger(p, 4, *ms);
        return {};
    }
    case KE_FIELD_NUMBER: case KE_FIELD_MONEY: {
        double v = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
        if (ec != std::errc() || end != text.data() + text.size())
            return quoted + " is no number (with a dot before the fraction, as in 1234.5)";
        encodeDouble(p, v);
        return {};
    }
    case KE_FIELD_TIMESTAMP: {
        const auto space = text.find(' ');
        const auto day = parseDate(text.substr(0, space));
        const auto ms = space == std::string_view::npos ? std::optional<int64_t>(0) : parseTime(text.substr(space + 1));
        if (!day || !ms)
            return quoted + " is no date and time of the form 2024-05-31 13:45:00.000";
        encodeDouble(p, double(*day * kMsPerDay + *ms));
        return {};
    }
    case KE_FIELD_BCD: case KE_FIELD_BYTES: {
        if (text.size() != size_t(f.size) * 2)
            return quoted + " is not " + std::to_string(f.size * 2) + " hexadecimal digits";
        for (size_t i = 0; i < f.size; ++i) {
            const int hi = hexDigit(text[2 * i]), lo = hexDigit(text[2 * i + 1]);
            if (hi < 0 || lo < 0)
                return quoted + " is not " + std::to_string(f.size * 2) + " hexadecimal digits";
            p[i] = uint8_t(hi * 16 + lo);
        }
        return {};
    }
    default:
        return std::string("a ") + typeName(f.type) + " field cannot be filled from text";
    }
}

std::string valueProblem(const Field& f, const uint8_t* record, const CodePageText& codePage)
{
    const uint8_t* p = record + f.offset;
    switch (f.type) {
    case KE_FIELD_ALPHA: {
        std::string text;
        int undefined = -1;
        codePage.append(text, p, f.size, &undefined);
        if (undefined >= 0) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "0x%02X", unsigned(undefined) & 0xFFu);
            return std::string("holds the byte ") + buf + ", which is no character of code page "
                + std::to_string(codePage.codePage());
        }
        return {};
    }
    case KE_FIELD_LOGICAL:
        return p[0] == 0 || p[0] == 0x80 || p[0] == 0x81 ? std::string() : "holds neither true nor false";
    case KE_FIELD_DATE: {
        const auto v = decodeInteger(p, 4);
        return !v || (*v >= kFirstDay && *v <= kLastDay) ? std::string() : "holds no date between the years 1 and 9999";
    }
    case KE_FIELD_TIME: {
        const auto v = decodeInteger(p, 4);
        return !v || (*v >= 0 && *v < kMsPerDay) ? std::string() : "holds no time of day";
    }
    case KE_FIELD_TIMESTAMP: {
        const auto v = decodeDouble(p);
        return !v || (std::isfinite(*v) && *v >= double(kFirstDay * kMsPerDay) && *v < double((kLastDay + 1) * kMsPerDay))
            ? std::string()
            : "holds no date and time between the years 1 and 9999";
    }
    default:
        return {};
    }
}

} // namespace kt
