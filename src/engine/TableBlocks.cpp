// Reading blocks: the block cache, lock-free reads of cached blocks, the
// password key of a protected table, and the change images a write works on.
#include "TableFile.h"

#include "BlockAllocation.h"

#include "Disk.h"
#include "EngineError.h"
#include "Format.h"
#include "kartoteka_engine.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ke {

namespace {

// Blocks are read from disk in aligned windows of this many bytes (one read
// for a scan's next several blocks), into a cache of at most kCacheBytes.
constexpr uint64_t kReadAheadBytes = 64 * 1024;
constexpr uint64_t kCacheBytes = 256 * 1024;

} // namespace

const uint8_t* TableFile::rawBlock(uint16_t n)
{
    if (m_txn) {
        auto it = m_images.find(n);
        if (it != m_images.end())
            return it->second.bytes.data();
    }
    if (const uint8_t* bytes = cachedBytes(n))
        return bytes;
    if (!m_txn && !m_readLocked) {
        // A lock-free read needs a block it has not cached: read it under the
        // lock, provided nothing changed since the header was checked.
        setLock(lockbyte::Transaction, F_RDLCK, true, "cannot lock the table");
        m_readLocked = true;
        struct stat js {};
        if (::lstat(m_journalPath.c_str(), &js) == 0 || !quickCheckUnchanged())
            throw RetryLocked {};
    }
    const TableCounters& c = m_header.counters; // blocks on disk
    if (n == 0 || n > c.fileBlocks)
        fail(KE_ERR_CORRUPT_TABLE, m_path + ": a block link points outside the file (block " + std::to_string(n) + ")");
    const uint64_t size = m_header.blockSize;
    if (m_header.blockOffset(n) + size > uint64_t(m_stat.st_size))
        fail(KE_ERR_CORRUPT_TABLE, m_path + ": block " + std::to_string(n) + " lies past the end of the file");
    // The window of blocks around n, within the blocks the file holds.
    const uint32_t perWindow = readAheadBlocks();
    const uint32_t first = uint32_t(n) - (uint32_t(n) - 1) % perWindow;
    uint32_t last = std::min<uint32_t>(first + perWindow - 1, c.fileBlocks);
    while (last > n && m_header.blockOffset(uint16_t(last)) + size > uint64_t(m_stat.st_size))
        --last;
    // Read straight into the cache's buffer and made plain there: no copy.
    CachedWindow window;
    window.count = last - first + 1;
    window.bytes.reset(new uint8_t[window.count * size]);
    // A protected table's stretch goes through a reused buffer and is made
    // plain on the way into the cache.
    uint8_t* landing = window.bytes.get();
    if (m_header.encrypted) {
        if (!m_scrambler)
            fail(KE_ERR_INSUFFICIENT_RIGHTS, m_path + ": the table is password-protected");
        m_scrambled.resize(window.count * size);
        landing = m_scrambled.data();
    }
    if (!disk::readAll(m_fd, landing, window.count * size, m_header.blockOffset(uint16_t(first))))
        failIo("cannot read a block", m_path, errno);
    if (m_header.encrypted)
        for (uint32_t k = first; k <= last; ++k)
            m_scrambler->unscramble(landing + (k - first) * size, window.bytes.get() + (k - first) * size, size,
                                    uint16_t(k));
    if (m_cachedBytes + window.count * size > kCacheBytes)
        dropCache();
    m_cachedBytes += window.count * size;
    CachedWindow& kept = m_cache[(first - 1) / perWindow];
    if (kept.bytes)
        m_cachedBytes -= kept.count * size; // a shorter read of the same stretch, replaced
    kept = std::move(window);
    return kept.bytes.get() + (n - first) * size;
}

const uint8_t* TableFile::cachedBytes(uint16_t n) const
{
    if (n == 0)
        return nullptr;
    const uint32_t perWindow = readAheadBlocks();
    const auto it = m_cache.find((n - 1u) / perWindow);
    if (it == m_cache.end())
        return nullptr;
    const uint32_t at = (n - 1u) % perWindow;
    return at < it->second.count ? it->second.bytes.get() + size_t(at) * m_header.blockSize : nullptr;
}

void TableFile::dropCache()
{
    m_cache.clear();
    m_cachedBytes = 0;
}

bool TableFile::cached(uint16_t n) const
{
    return !m_txn && cachedBytes(n) != nullptr;
}

bool TableFile::sameReadAhead(uint16_t a, uint16_t b) const
{
    const uint32_t perWindow = readAheadBlocks();
    return a && b && (a - 1u) / perWindow == (b - 1u) / perWindow;
}

uint32_t TableFile::readAheadBlocks() const
{
    return uint32_t(std::max<uint64_t>(1, kReadAheadBytes / m_header.blockSize));
}

void TableFile::decode(uint16_t n, uint8_t* bytes)
{
    if (!m_header.encrypted)
        return;
    if (!m_scrambler)
        fail(KE_ERR_INSUFFICIENT_RIGHTS, m_path + ": the table is password-protected");
    m_scrambler->unscramble(bytes, m_header.blockSize, n);
}

const scramble::BlockScrambler* TableFile::scrambler() const
{
    if (m_newScrambler)
        return m_newScrambler->active() ? m_newScrambler.get() : nullptr;
    return m_scrambler.get();
}

bool TableFile::unlockWith(uint32_t key)
{
    if (!m_header.encrypted || key != m_header.key)
        return false;
    if (!m_scrambler)
        m_scrambler = std::make_unique<scramble::BlockScrambler>(key);
    return true;
}

void TableFile::changeKey(uint32_t key)
{
    if (!m_txn)
        fail(KE_ERR_INVALID_PARAMETER, m_path + ": a key change outside a change");
    // Every block is stored again, free ones too: the whole file moves to the new key.
    for (uint32_t n = 1; n <= m_header.counters.fileBlocks; ++n)
        writableBlock(uint16_t(n));
    m_newScrambler = std::make_unique<scramble::BlockScrambler>(key);
}

BlockView TableFile::block(uint16_t n)
{
    const uint8_t* b = rawBlock(n);
    BlockView v;
    v.next = le16(b + blk::Next);
    v.prev = le16(b + blk::Prev);
    const int last = les16(b + blk::LastOffset);
    const int rs = m_header.recordSize;
    if (last >= 0) {
        if (last % rs != 0 || last / rs + 1 > m_header.capacity())
            fail(KE_ERR_CORRUPT_TABLE, m_path + ": block " + std::to_string(n) + " has an invalid record count");
        v.count = last / rs + 1;
    }
    const uint16_t blocks = counters().fileBlocks;
    if (v.next > blocks || v.prev > blocks)
        fail(KE_ERR_CORRUPT_TABLE, m_path + ": block " + std::to_string(n) + " links outside the file");
    v.records = b + blk::Records;
    return v;
}

bool TableFile::isLive(uint16_t n)
{
    const TableCounters& c = counters();
    if (n == 0 || n > c.fileBlocks || c.firstBlock == 0)
        return false;
    BlockView b = block(n);
    if (b.count == 0)
        return false;
    if (n == c.firstBlock)
        return b.prev == 0;
    if (b.prev == 0 || b.prev == n)
        return false;
    return block(b.prev).next == n;
}

uint8_t* TableFile::writableBlock(uint16_t n)
{
    auto it = m_images.find(n);
    if (it != m_images.end()) {
        if (m_companion)
            m_companion->blockWritten(n, nullptr);
        return it->second.bytes.data();
    }
    const uint8_t* raw = rawBlock(n);
    if (m_companion)
        m_companion->blockWritten(n, raw);
    Image im;
    im.bytes.assign(raw, raw + m_header.blockSize);
    im.original = im.bytes;
    // The journal keeps the bytes as they stand in the file.
    if (m_scrambler)
        m_scrambler->scramble(im.original.data(), im.original.size(), n);
    return m_images.emplace(n, std::move(im)).first->second.bytes.data();
}

uint16_t TableFile::allocateBlock()
{
    TableCounters& c = m_txnCounters;
    if (const uint16_t free = takeBlock(c, m_header.blockSize, m_path, [&](uint16_t n) { return writableBlock(n); }))
        return free;
    const uint16_t n = c.fileBlocks;
    if (m_companion)
        m_companion->blockWritten(n, m_images.count(n) ? nullptr : Companion::kNewBlock);
    m_images[n] = newBlockImage(m_fd, uint64_t(m_stat.st_size), m_header.blockOffset(n), m_header.blockSize, m_path);
    return n;
}

void TableFile::freeBlock(uint16_t n)
{
    markFree(writableBlock(n), m_header.blockSize, m_header.recordSize, m_txnCounters, n);
}

} // namespace ke
