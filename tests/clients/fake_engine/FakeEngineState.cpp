// The state of the test engine and the helpers its C entries share.
#include "FakeEngineState.h"

#include <algorithm>
#include <cstring>

namespace fake {

State& st() {
    static State s;
    return s;
}

int option(const char* name) {
    auto it = st().options.find(name);
    return it == st().options.end() ? 0 : it->second;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

ke_result failWith(ke_result code, std::vector<Entry> entries) {
    st().stack = std::move(entries);
    return code;
}

bool scripted(const char* op, ke_result* result) {
    auto it = st().failures.find(op);
    if (it == st().failures.end() || it->second.times == 0)
        return false;
    if (it->second.times > 0)
        --it->second.times;
    *result = failWith(it->second.code, it->second.entries);
    return true;
}

#define SCRIPTED(op)                       \
    do {                                   \
        st().log.push_back(op);            \
        ke_result scriptedResult = 0;      \
        if (scripted(op, &scriptedResult)) \
            return scriptedResult;         \
    } while (0)

// ---- cp1251 for the letters the tests use
bool encodeChar(char32_t c, uint8_t* out) {
    if (c < 0x80) { *out = static_cast<uint8_t>(c); return true; }
    if (c >= 0x410 && c <= 0x44F) { *out = static_cast<uint8_t>(0xC0 + (c - 0x410)); return true; }
    if (c == 0x401) { *out = 0xA8; return true; }
    if (c == 0x451) { *out = 0xB8; return true; }
    if (c == 0x2116) { *out = 0xB9; return true; }
    return false;
}

char32_t decodeChar(uint8_t b) {
    if (b < 0x80) return b;
    if (b >= 0xC0) return 0x410 + (b - 0xC0);
    if (b == 0xA8) return 0x401;
    if (b == 0xB8) return 0x451;
    if (b == 0xB9) return 0x2116;
    return 0xFFFD;
}

void appendUtf8(std::string& s, char32_t c) {
    if (c < 0x80) s += static_cast<char>(c);
    else if (c < 0x800) { s += static_cast<char>(0xC0 | (c >> 6)); s += static_cast<char>(0x80 | (c & 0x3F)); }
    else if (c < 0x10000) { s += static_cast<char>(0xE0 | (c >> 12)); s += static_cast<char>(0x80 | ((c >> 6) & 0x3F)); s += static_cast<char>(0x80 | (c & 0x3F)); }
    else { s += static_cast<char>(0xF0 | (c >> 18)); s += static_cast<char>(0x80 | ((c >> 12) & 0x3F)); s += static_cast<char>(0x80 | ((c >> 6) & 0x3F)); s += static_cast<char>(0x80 | (c & 0x3F)); }
}

bool utf8ToNative(const char* utf8, size_t length, std::vector<uint8_t>& out) {
    out.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    size_t i = 0;
    while (i < length) {
        char32_t c = p[i];
        int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        if (extra) c &= (0x3F >> extra);
        if (i + extra >= length + (extra ? 0 : 1) && extra) return false;
        for (int k = 1; k <= extra; ++k) c = (c << 6) | (p[i + k] & 0x3F);
        i += static_cast<size_t>(extra) + 1;
        uint8_t b;
        if (!encodeChar(c, &b)) return false;
        out.push_back(b);
    }
    return true;
}

std::string nativeToUtf8(const uint8_t* native, size_t length) {
    std::string s;
    for (size_t i = 0; i < length; ++i) appendUtf8(s, decodeChar(native[i]));
    return s;
}

ke_result readAt(Cursor* c, ke_lock lock, uint8_t* record) {
    const Record& r = st().records[static_cast<size_t>(c->index)];
    if (lock == KE_LOCK_WRITE) {
        if (option("lock_refused") || (st().locks.count(r.id) && c->lockedId != r.id))
            return failWith(KE_ERR_RECORD_LOCKED, {{KE_ERR_RECORD_LOCKED, 0, "Record locked by another user."}});
        st().locks.insert(r.id);
        c->lockedId = r.id;
    }
    std::memcpy(record, r.data.data(), r.data.size());
    return KE_OK;
}

void releaseLock(Cursor* c) {
    if (c->lockedId >= 0) st().locks.erase(c->lockedId);
    c->lockedId = -1;
}

const char* defaultText(ke_result code) {
    switch (code) {
    case KE_ERR_BOF: return "At beginning of table.";
    case KE_ERR_EOF: return "At end of table.";
    case KE_ERR_NO_CURRENT_RECORD: return "No current record.";
    case KE_ERR_RECORD_NOT_FOUND: return "Record not found.";
    case KE_ERR_TABLE_READ_ONLY: return "Table is read only.";
    case KE_ERR_INSUFFICIENT_RIGHTS: return "Insufficient table rights for operation. Password required.";
    case KE_ERR_RECORD_LOCKED: return "Record locked by another user.";
    case KE_ERR_TABLE_NOT_FOUND: return "Table does not exist.";
    case KE_ERR_UNMAPPABLE_CHARACTER: return "The table's character set cannot hold this character.";
    default: return nullptr;
    }
}

} // namespace fake
