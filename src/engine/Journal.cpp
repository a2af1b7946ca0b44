#include "Journal.h"

#include <cstring>

namespace ke {

namespace {

constexpr char kMagic[8] = {'K', 'T', 'J', 'O', 'U', 'R', '1', '\n'};

uint64_t fnv1a(const uint8_t* p, size_t n)
{
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 1099511628211ull;
    }
    return h;
}

void put64(std::vector<uint8_t>& out, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

uint64_t get64(const uint8_t* p)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

} // namespace

std::vector<uint8_t> JournalImage::serialize() const
{
    std::vector<uint8_t> out(kMagic, kMagic + 8);
    put64(out, originalSize);
    put64(out, entries.size());
    for (const auto& e : entries) {
        put64(out, e.offset);
        put64(out, e.original.size());
        out.insert(out.end(), e.original.begin(), e.original.end());
    }
    put64(out, fnv1a(out.data(), out.size()));
    return out;
}

bool JournalImage::parse(const std::vector<uint8_t>& bytes, JournalImage& out)
{
    const size_t n = bytes.size();
    if (n < 8 + 8 + 8 + 8 || std::memcmp(bytes.data(), kMagic, 8) != 0)
        return false;
    if (get64(bytes.data() + n - 8) != fnv1a(bytes.data(), n - 8))
        return false;
    size_t pos = 8;
    out.originalSize = get64(&bytes[pos]);
    pos += 8;
    const uint64_t count = get64(&bytes[pos]);
    pos += 8;
    out.entries.clear();
    for (uint64_t i = 0; i < count; ++i) {
        if (pos + 16 > n - 8)
            return false;
        JournalEntry e;
        e.offset = get64(&bytes[pos]);
        const uint64_t len = get64(&bytes[pos + 8]);
        pos += 16;
        if (len > n - 8 - pos)
            return false;
        e.original.assign(bytes.begin() + long(pos), bytes.begin() + long(pos + len));
        pos += len;
        out.entries.push_back(std::move(e));
    }
    return pos == n - 8;
}

std::string journalPathFor(const std::string& tablePath)
{
    return tablePath + "-journal";
}

} // namespace ke
