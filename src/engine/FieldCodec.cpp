#include "FieldCodec.h"

#include "CodePage.h"
#include "Utf8.h"
#include "kartoteka_engine.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace ke::codec {

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
    if (bits < 64 && (v >> (bits - 1)) & 1)
        v |= ~uint64_t(0) << bits; // sign-extend
    return int64_t(v);
}

void encodeInteger(uint8_t* p, size_t size, int64_t value)
{
    uint64_t v = uint64_t(value);
    for (size_t i = 0; i < size; ++i)
        p[size - 1 - i] = uint8_t(v >> (8 * i));
    p[0] ^= 0x80;
}

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

int64_t dayNumber(int year, int month, int day)
{
    // Days from 1970-01-01 in the proleptic Gregorian calendar, shifted so 0001-01-01 is 1.
    const int64_t y = int64_t(year) - (month <= 2);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 719163;
}

void civilFromDayNumber(int64_t n, int& year, int& month, int& day)
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

namespace {

std::string formatTime(int64_t ms)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", int(ms / 3600000), int(ms / 60000 % 60), int(ms / 1000 % 60),
                  int(ms % 1000));
    return buf;
}

std::string formatDate(int64_t n)
{
    int y, m, d;
    civilFromDayNumber(n, y, m, d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

} // namespace

std::string toText(const FieldInfo& f, const uint8_t* record, uint16_t codePage)
{
    const uint8_t* p = record + f.offset;
    char buf[64];
    switch (f.type) {
    case KE_FIELD_ALPHA: {
        if (const CodePage* cp = CodePage::get(codePage))
            return cp->toUtf8(p, f.size);
        std::string out;
        for (size_t i = 0; i < f.size && p[i]; ++i)
            appendUtf8(out, p[i] < 0x80 ? p[i] : 0xFFFD);
        return out;
    }
    case KE_FIELD_SHORT: case KE_FIELD_LONG: case KE_FIELD_AUTOINC: {
        auto v = decodeInteger(p, f.size);
        return v ? std::to_string(*v) : std::string();
    }
    case KE_FIELD_LOGICAL: {
        auto v = decodeInteger(p, 1);
        return v ? (*v ? "true" : "false") : "";
    }
    case KE_FIELD_DATE: {
        auto v = decodeInteger(p, 4);
        return v ? formatDate(*v) : std::string();
    }
    case KE_FIELD_TIME: {
        auto v = decodeInteger(p, 4);
        return v && *v >= 0 ? formatTime(*v) : std::string();
    }
    case KE_FIELD_NUMBER: case KE_FIELD_MONEY: {
        auto v = decodeDouble(p);
        if (!v)
            return {};
        std::snprintf(buf, sizeof buf, "%.15g", *v);
        return buf;
    }
    case KE_FIELD_TIMESTAMP: {
        auto v = decodeDouble(p);
        if (!v || !std::isfinite(*v) || *v < 0 || *v > 1e15)
            return {};
        const int64_t ms = int64_t(*v);
        return formatDate(ms / 86400000) + " " + formatTime(ms % 86400000);
    }
    default: {
        bool blank = true;
        for (size_t i = 0; i < f.size; ++i)
            blank = blank && p[i] == 0;
        if (blank)
            return {};
        std::string out;
        for (size_t i = 0; i < f.size; ++i) {
            std::snprintf(buf, sizeof buf, "%02x", p[i]);
            out += buf;
        }
        return out;
    }
    }
}

const char* kindName(uint8_t type)
{
    switch (type) {
    case KE_FIELD_ALPHA: return "String";
    case KE_FIELD_DATE: return "Date";
    case KE_FIELD_SHORT: return "SmallInt";
    case KE_FIELD_LONG: return "Integer";
    case KE_FIELD_MONEY: return "Currency";
    case KE_FIELD_NUMBER: return "Float";
    case KE_FIELD_LOGICAL: return "Boolean";
    case KE_FIELD_MEMO: return "Memo";
    case KE_FIELD_BLOB: return "Blob";
    case KE_FIELD_FMTMEMO: return "FmtMemo";
    case KE_FIELD_OLE: return "OLE";
    case KE_FIELD_GRAPHIC: return "Graphic";
    case KE_FIELD_TIME: return "Time";
    case KE_FIELD_TIMESTAMP: return "DateTime";
    case KE_FIELD_AUTOINC: return "AutoInc";
    case KE_FIELD_BCD: return "BCD";
    case KE_FIELD_BYTES: return "Bytes";
    default: return "Unknown";
    }
}

} // namespace ke::codec
