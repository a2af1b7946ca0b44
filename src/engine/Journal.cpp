#include "Journal.h"

#include "Disk.h"
#include "Endian.h"
#include "Format.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
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

size_t chunksOf(uint64_t length) { return size_t((length + journal::ChunkBytes - 1) / journal::ChunkBytes); }

// Reads the words of a journal in order; every read past the end (the hash
// word excluded) makes it fail.
class WordReader {
public:
    WordReader(const std::vector<uint8_t>& bytes, size_t at) : m_bytes(bytes), m_at(at), m_end(bytes.size() - journal::WordBytes) {}
    bool word(uint64_t& v)
    {
        if (m_end - m_at < journal::WordBytes)
            return false;
        v = le64(&m_bytes[m_at]);
        m_at += journal::WordBytes;
        return true;
    }
    bool bytes(uint64_t n, std::vector<uint8_t>& out)
    {
        if (n > m_end - m_at)
            return false;
        out.assign(m_bytes.begin() + long(m_at), m_bytes.begin() + long(m_at + n));
        m_at += size_t(n);
        return true;
    }
    bool atEnd() const { return m_at == m_end; }

private:
    const std::vector<uint8_t>& m_bytes;
    size_t m_at, m_end;
};

} // namespace

bool identityOf(int fd, FileIdentity& out)
{
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_BTIME, &sx) != 0)
        return false;
    out.device = (uint64_t(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    out.inode = sx.stx_ino;
    const bool born = (sx.stx_mask & STATX_BTIME) != 0;
    out.birthSeconds = born ? sx.stx_btime.tv_sec : 0;
    out.birthNanoseconds = born ? sx.stx_btime.tv_nsec : 0;
    return true;
}

uint64_t chunkHash(const uint8_t* bytes, size_t n) { return fnv1a(bytes, n); }

std::vector<uint64_t> chunkHashes(const uint8_t* bytes, size_t n)
{
    std::vector<uint64_t> hashes;
    hashes.reserve(chunksOf(n));
    for (size_t at = 0; at < n; at += journal::ChunkBytes)
        hashes.push_back(chunkHash(bytes + at, std::min(journal::ChunkBytes, n - at)));
    return hashes;
}

namespace {

// A file's part of a journal: identity record, lengths, entries.
void putFile(std::vector<uint8_t>& out, const FileIdentity& id, uint64_t originalSize, uint64_t newSize,
             const std::vector<JournalEntry>& entries)
{
    put64(out, journal::IdentityWords);
    put64(out, id.device);
    put64(out, id.inode);
    put64(out, uint64_t(id.birthSeconds));
    put64(out, id.birthNanoseconds);
    put64(out, originalSize);
    put64(out, newSize);
    put64(out, entries.size());
    for (const auto& e : entries) {
        put64(out, e.offset);
        put64(out, e.original.size());
        out.insert(out.end(), e.original.begin(), e.original.end());
        for (size_t k = 0; k < chunksOf(e.original.size()); ++k)
            put64(out, k < e.newHashes.size() ? e.newHashes[k] : 0);
    }
}

bool getFile(WordReader& r, FileIdentity& id, uint64_t& originalSize, uint64_t& newSize, std::vector<JournalEntry>& entries)
{
    uint64_t words = 0, seconds = 0, extra = 0, count = 0;
    if (!r.word(words) || words < journal::IdentityWords || !r.word(id.device) || !r.word(id.inode) || !r.word(seconds)
        || !r.word(id.birthNanoseconds))
        return false;
    id.birthSeconds = int64_t(seconds);
    for (uint64_t w = journal::IdentityWords; w < words; ++w)
        if (!r.word(extra)) // words a later revision of the record may add
            return false;
    if (!r.word(originalSize) || !r.word(newSize) || !r.word(count))
        return false;
    for (uint64_t i = 0; i < count; ++i) {
        JournalEntry e;
        uint64_t length = 0;
        if (!r.word(e.offset) || !r.word(length) || !r.bytes(length, e.original))
            return false;
        e.newHashes.resize(chunksOf(length));
        for (uint64_t& h : e.newHashes)
            if (!r.word(h))
                return false;
        entries.push_back(std::move(e));
    }
    return true;
}

} // namespace

std::vector<uint8_t> JournalImage::serialize() const
{
    const bool companionToo = !companionName.empty();
    const char* magic = companionToo ? journal::MagicWithCompanion : journal::Magic;
    std::vector<uint8_t> out(magic, magic + journal::MagicBytes);
    putFile(out, table, originalSize, newSize, entries);
    if (companionToo) {
        put64(out, companionName.size());
        out.insert(out.end(), companionName.begin(), companionName.end());
        putFile(out, companion, companionSize, companionNewSize, companionEntries);
    }
    put64(out, fnv1a(out.data(), out.size()));
    return out;
}

JournalImage::Parsed JournalImage::parse(const std::vector<uint8_t>& bytes, JournalImage& out)
{
    const size_t n = bytes.size();
    constexpr size_t prefix = journal::VersionAt;
    auto is = [&](const char* magic) { return std::memcmp(bytes.data(), magic, journal::MagicBytes) == 0; };
    if (n >= journal::MagicBytes && std::memcmp(bytes.data(), journal::Magic, prefix) == 0 && !is(journal::Magic)
        && !is(journal::MagicVersion1) && !is(journal::MagicWithCompanion))
        return Parsed::UnknownVersion;
    if (n < journal::MagicBytes + 3 * journal::WordBytes || le64(bytes.data() + n - 8) != fnv1a(bytes.data(), n - 8))
        return Parsed::Incomplete;
    out = JournalImage{};
    out.version = is(journal::MagicWithCompanion) ? 3 : is(journal::Magic) ? 2 : 1;
    WordReader r(bytes, journal::MagicBytes);
    if (out.version >= 2) {
        if (!getFile(r, out.table, out.originalSize, out.newSize, out.entries))
            return Parsed::Incomplete;
    } else {
        uint64_t count = 0;
        if (!r.word(out.originalSize) || !r.word(count))
            return Parsed::Incomplete;
        out.newSize = out.originalSize;
        for (uint64_t i = 0; i < count; ++i) {
            JournalEntry e;
            uint64_t length = 0;
            if (!r.word(e.offset) || !r.word(length) || !r.bytes(length, e.original))
                return Parsed::Incomplete;
            out.entries.push_back(std::move(e));
        }
    }
    if (out.version >= 3) {
        uint64_t length = 0;
        std::vector<uint8_t> name;
        if (!r.word(length) || length == 0 || !r.bytes(length, name)
            || !getFile(r, out.companion, out.companionSize, out.companionNewSize, out.companionEntries))
            return Parsed::Incomplete;
        out.companionName.assign(name.begin(), name.end());
        if (out.companionName.find('/') != std::string::npos || out.companionName == "." || out.companionName == "..")
            return Parsed::Incomplete; // never a file outside the table's folder
    }
    return r.atEnd() ? Parsed::Complete : Parsed::Incomplete;
}

bool JournalImage::companionFitsFile(int fd, uint64_t fileSize) const
{
    JournalImage part;
    part.originalSize = companionSize;
    part.newSize = companionNewSize;
    part.entries = companionEntries;
    return part.fitsFile(fd, fileSize);
}

bool JournalImage::fitsFile(int fd, uint64_t fileSize) const
{
    if (version < 2 || fileSize < std::min(originalSize, newSize) || fileSize > std::max(originalSize, newSize))
        return false;
    std::vector<uint8_t> chunk(journal::ChunkBytes);
    for (const JournalEntry& e : entries) {
        for (size_t k = 0; k < chunksOf(e.original.size()); ++k) {
            const uint64_t at = e.offset + k * journal::ChunkBytes;
            const size_t length = std::min(journal::ChunkBytes, e.original.size() - k * journal::ChunkBytes);
            if (at + length > fileSize) {
                // Absent: only where the change cuts the file off.
                if (at < fileSize || at < newSize)
                    return false;
                continue;
            }
            if (!disk::readAll(fd, chunk.data(), length, at))
                return false;
            const bool original = std::memcmp(chunk.data(), e.original.data() + k * journal::ChunkBytes, length) == 0;
            const bool written = at + length <= newSize && k < e.newHashes.size()
                && chunkHash(chunk.data(), length) == e.newHashes[k];
            if (!original && !written)
                return false;
        }
    }
    return true;
}

std::string journalPathFor(const std::string& tablePath)
{
    return tablePath + "-journal";
}

} // namespace ke
