#include "CodePage.h"

#include "EngineError.h"
#include "Utf8.h"
#include "kartoteka_engine.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

namespace ke {

namespace {

// Only code pages known to be single-byte are accepted, so a multi-byte page
// never passes for one with holes.
const char* converterName(uint16_t n, char* buffer, size_t size)
{
    switch (n) {
    case 437: case 737: case 775: case 850: case 852: case 855: case 857: case 860: case 861:
    case 862: case 863: case 864: case 865: case 866: case 869: case 874:
    case 1250: case 1251: case 1252: case 1253: case 1254: case 1255: case 1256: case 1257: case 1258:
        std::snprintf(buffer, size, "CP%u", unsigned(n));
        return buffer;
    case 10000: return "MACINTOSH";
    case 10007: return "MAC-CYRILLIC";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 28605: return "ISO-8859-15";
    default:
        if (n >= 28591 && n <= 28599) {
            std::snprintf(buffer, size, "ISO-8859-%u", unsigned(n - 28590));
            return buffer;
        }
        return nullptr;
    }
}

} // namespace

CodePage::CodePage(uint16_t number) : m_number(number) {}

bool CodePage::build()
{
    char name[32];
    const char* cname = converterName(m_number, name, sizeof name);
    if (!cname)
        return false;
    iconv_t cd = iconv_open("UTF-32LE", cname);
    if (cd == iconv_t(-1))
        return false;
    for (int b = 1; b < 256; ++b) {
        char in = char(b);
        uint8_t out[8];
        char* inp = &in;
        size_t inLeft = 1;
        char* outp = reinterpret_cast<char*>(out);
        size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        if (r == size_t(-1) || inLeft != 0 || sizeof out - outLeft != 4)
            continue;
        char32_t c = char32_t(out[0]) | (char32_t(out[1]) << 8) | (char32_t(out[2]) << 16) | (char32_t(out[3]) << 24);
        if (c == 0)
            continue;
        m_toUnicode[b] = c;
        m_fromUnicode.emplace(c, uint8_t(b)); // first byte wins for duplicates
    }
    iconv_close(cd);
    return true;
}

const CodePage* CodePage::get(uint16_t number)
{
    static std::mutex mutex;
    static std::map<uint16_t, std::unique_ptr<CodePage>> pages;
    std::lock_guard lock(mutex);
    auto it = pages.find(number);
    if (it != pages.end())
        return it->second.get();
    std::unique_ptr<CodePage> page(new CodePage(number));
    if (!page->build())
        page.reset();
    return pages.emplace(number, std::move(page)).first->second.get();
}

bool CodePage::fromUnicode(char32_t c, uint8_t& byte) const
{
    auto it = m_fromUnicode.find(c);
    if (it == m_fromUnicode.end())
        return false;
    byte = it->second;
    return true;
}

std::string CodePage::toUtf8(const uint8_t* native, size_t length) const
{
    std::string out;
    out.reserve(length * 2);
    for (size_t i = 0; i < length && native[i] != 0; ++i) {
        char32_t c = m_toUnicode[native[i]];
        appendUtf8(out, c ? c : 0xFFFD);
    }
    return out;
}

std::string CodePage::fromUtf8(std::string_view utf8) const
{
    if (std::optional<std::string> native = tryFromUtf8(utf8))
        return *native;
    // Say why.
    const auto text = decodeUtf8(utf8);
    if (!text)
        fail(KE_ERR_INVALID_PARAMETER, "the text is not valid UTF-8");
    uint8_t b = 0;
    const auto bad = std::find_if(text->begin(), text->end(), [&](char32_t c) { return c == 0 || !fromUnicode(c, b); });
    char buf[96];
    std::snprintf(buf, sizeof buf, "U+%04X cannot be stored in code page %u", unsigned(bad == text->end() ? 0 : *bad),
                  unsigned(m_number));
    fail(KE_ERR_UNMAPPABLE_CHARACTER, buf);
}

std::optional<std::string> CodePage::tryFromUtf8(std::string_view utf8) const
{
    const auto text = decodeUtf8(utf8);
    if (!text)
        return std::nullopt;
    std::string out;
    out.reserve(text->size());
    for (char32_t c : *text) {
        uint8_t b = 0;
        if (c == 0 || !fromUnicode(c, b))
            return std::nullopt;
        out.push_back(char(b));
    }
    return out;
}

} // namespace ke
