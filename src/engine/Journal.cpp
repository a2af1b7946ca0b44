#include "Journal.h"

#include "Endian.h"
#include "Format.h"

#include <cstring>

namespace ke {

namespace {

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
    out.resize(out.size() + journal::WordBytes);
    putLe64(out.data() + out.size() - journal::WordBytes, v);
}

} // namespace

std::vector<uint8_t> JournalImage::serialize() const
{
    std::vector<uint8_t> out(journal::Magic, journal::Magic + journal::MagicBytes);
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
    if (n < 8 + 8 + 8 + 8 || std::memcmp(bytes.data(), journal::Magic, journal::MagicBytes) != 0)
        return false;
    if (le64(bytes.data() + n - 8) != fnv1a(bytes.data(), n - 8))
        return false;
    size_t pos = 8;
    out.originalSize = le64(&bytes[pos]);
    pos += 8;
    const uint64_t count = le64(&bytes[pos]);
    pos += 8;
    out.entries.clear();
    for (uint64_t i = 0; i < count; ++i) {
        if (pos + 16 > n - 8)
            return false;
        JournalEntry e;
        e.offset = le64(&bytes[pos]);
        const uint64_t len = le64(&bytes[pos + 8]);
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
