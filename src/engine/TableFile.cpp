#include "TableFile.h"

#include "EngineError.h"
#include "IoFaults.h"
#include "kartoteka_engine.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace ke {

namespace {

constexpr uint64_t kTransactionByte = uint64_t(1) << 40;
constexpr uint64_t kShareByte = kTransactionByte + 1;
constexpr uint64_t kRecordLockBase = kTransactionByte + 16;
constexpr size_t kCacheBlocks = 8;

std::atomic<int> g_writeBudget {-1};
std::atomic<bool> g_persistentFaults {false};

uint64_t recordLockOffset(uint64_t hash) { return kRecordLockBase + (hash & 0x7FFFFFFFu); }

bool writeAll(int fd, const uint8_t* p, size_t n, uint64_t offset)
{
    while (n > 0) {
        if (faults::writeShouldFail()) {
            errno = ENOSPC;
            return false;
        }
        ssize_t w = ::pwrite(fd, p, n, off_t(offset));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= size_t(w);
        offset += uint64_t(w);
    }
    return true;
}

bool readAll(int fd, uint8_t* p, size_t n, uint64_t offset)
{
    while (n > 0) {
        ssize_t r = ::pread(fd, p, n, off_t(offset));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        p += r;
        n -= size_t(r);
        offset += uint64_t(r);
    }
    return true;
}

std::string directoryOf(const std::string& path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

} // namespace

void faults::failWritesAfter(int count, bool persistent)
{
    g_persistentFaults = persistent;
    g_writeBudget = count;
}

bool faults::writeShouldFail()
{
    int budget = g_writeBudget.load();
    while (budget >= 0) {
        if (budget == 0) {
            if (!g_persistentFaults)
                g_writeBudget = -1;
            return true;
        }
        if (g_writeBudget.compare_exchange_weak(budget, budget - 1))
            return false;
    }
    return false;
}

void failIo(const std::string& what, const std::string& path, int err)
{
    fail(KE_ERR_IO, path + ": " + what + ": " + std::strerror(err), err);
}

TableFile::TableFile(std::string path, bool writable)
    : m_path(std::move(path)), m_journalPath(journalPathFor(m_path)), m_writable(writable)
{
    m_fd = ::open(m_path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (m_fd < 0) {
        int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            fail(KE_ERR_TABLE_NOT_FOUND, m_path, err);
        if (writable && (err == EACCES || err == EROFS || err == EPERM))
            fail(KE_ERR_TABLE_READ_ONLY, m_path + ": the file cannot be written", err);
        failIo("cannot open the table", m_path, err);
    }
    try {
        if (::fstat(m_fd, &m_stat) != 0)
            failIo("cannot read the file's status", m_path, errno);
        if (!S_ISREG(m_stat.st_mode))
            fail(KE_ERR_TABLE_NOT_FOUND, m_path + ": not a regular file");
        m_dirFd = ::open(directoryOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        readHeaderAtOpen();
    } catch (...) {
        if (m_dirFd >= 0)
            ::close(m_dirFd);
        ::close(m_fd);
        throw;
    }
}

TableFile::~TableFile()
{
    if (m_dirFd >= 0)
        ::close(m_dirFd);
    if (m_fd >= 0)
        ::close(m_fd); // drops every lock of this open file
}

bool TableFile::trySetLock(uint64_t offset, short type)
{
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(offset);
    fl.l_len = 1;
    while (::fcntl(m_fd, F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EACCES)
            return false;
        failIo("cannot lock the table", m_path, errno);
    }
    return true;
}

void TableFile::setLock(uint64_t offset, short type, bool wait, const char* what)
{
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(offset);
    fl.l_len = 1;
    while (::fcntl(m_fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR)
            continue;
        failIo(what, m_path, errno);
    }
}

void TableFile::lockShare(bool exclusive)
{
    short type = (exclusive && m_writable) ? F_WRLCK : F_RDLCK;
    if (!trySetLock(kShareByte, type))
        fail(KE_ERR_TABLE_IN_USE, m_path + (exclusive ? ": the table is open elsewhere" : ": the table is open exclusively elsewhere"));
}

bool TableFile::tryLockRecord(uint64_t hash)
{
    if (!m_writable)
        fail(KE_ERR_TABLE_READ_ONLY, m_path);
    return trySetLock(recordLockOffset(hash), F_WRLCK);
}

void TableFile::unlockRecord(uint64_t hash)
{
    trySetLock(recordLockOffset(hash), F_UNLCK);
}

bool TableFile::lockedByOther(uint64_t hash)
{
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(recordLockOffset(hash));
    fl.l_len = 1;
    if (::fcntl(m_fd, F_OFD_GETLK, &fl) != 0)
        failIo("cannot test a record lock", m_path, errno);
    return fl.l_type != F_UNLCK;
}

void TableFile::readHeaderAtOpen()
{
    setLock(kTransactionByte, F_RDLCK, true, "cannot lock the table");
    try {
        recoverIfNeeded(false);
        if (::fstat(m_fd, &m_stat) != 0)
            failIo("cannot read the file's status", m_path, errno);
        const uint64_t size = uint64_t(m_stat.st_size);
        std::vector<uint8_t> head(size_t(std::min<uint64_t>(size, 0x10000)));
        if (!head.empty() && !readAll(m_fd, head.data(), head.size(), 0))
            failIo("cannot read the header", m_path, errno ? errno : EIO);
        m_header = TableHeader::parse(head.data(), head.size(), size, m_path);
        std::memcpy(m_fixed.data(), head.data(), m_fixed.size());
        ++m_generation;
    } catch (...) {
        setLock(kTransactionByte, F_UNLCK, false, "cannot unlock the table");
        throw;
    }
    setLock(kTransactionByte, F_UNLCK, false, "cannot unlock the table");
}

bool TableFile::refresh()
{
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        failIo("cannot read the file's status", m_path, errno);
    std::array<uint8_t, hdr::MutablePart> fixed {};
    if (uint64_t(st.st_size) < fixed.size() || !readAll(m_fd, fixed.data(), fixed.size(), 0))
        fail(KE_ERR_CORRUPT_TABLE, m_path + ": the header can no longer be read");
    if (fixed == m_fixed && st.st_size == m_stat.st_size && st.st_ino == m_stat.st_ino
        && sameTime(st.st_mtim, m_stat.st_mtim) && sameTime(st.st_ctim, m_stat.st_ctim))
        return false;
    // The counters may change; the layout may not.
    static constexpr size_t layout[] = {hdr::RecordSize, hdr::RecordSize + 1, hdr::HeaderSize, hdr::HeaderSize + 1,
                                        hdr::FileType, hdr::MaxTableSize, hdr::NumFields, hdr::NumFields + 1,
                                        hdr::FileVersion};
    for (size_t off : layout)
        if (fixed[off] != m_fixed[off])
            fail(KE_ERR_CORRUPT_TABLE, m_path + ": the table's structure was changed while it was open");
    m_header.counters.read(fixed.data());
    m_fixed = fixed;
    m_stat = st;
    m_cache.clear();
    ++m_generation;
    return true;
}

void TableFile::syncDirectory()
{
    if (m_dirFd >= 0)
        ::fsync(m_dirFd);
}

void TableFile::rollBack(int fd, const JournalImage& journal)
{
    if (::ftruncate(fd, off_t(journal.originalSize)) != 0)
        failIo("cannot roll back an interrupted change", m_path, errno);
    for (const auto& e : journal.entries)
        if (!writeAll(fd, e.original.data(), e.original.size(), e.offset))
            failIo("cannot roll back an interrupted change", m_path, errno);
    if (::fdatasync(fd) != 0)
        failIo("cannot roll back an interrupted change", m_path, errno);
}

void TableFile::recoverIfNeeded(bool holdingExclusive)
{
    struct stat js {};
    if (::stat(m_journalPath.c_str(), &js) != 0)
        return;
    auto recoverWith = [&](int fd) {
        int jfd = ::open(m_journalPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (jfd < 0) {
            if (errno == ENOENT)
                return;
            failIo("cannot read the journal", m_journalPath, errno);
        }
        struct stat st {};
        ::fstat(jfd, &st);
        std::vector<uint8_t> bytes(size_t(st.st_size));
        bool ok = bytes.empty() || readAll(jfd, bytes.data(), bytes.size(), 0);
        ::close(jfd);
        if (!ok)
            failIo("cannot read the journal", m_journalPath, errno ? errno : EIO);
        JournalImage journal;
        if (JournalImage::parse(bytes, journal))
            rollBack(fd, journal);
        // An incomplete journal means the change never reached the table.
        if (::unlink(m_journalPath.c_str()) != 0 && errno != ENOENT)
            failIo("cannot remove the journal", m_journalPath, errno);
        syncDirectory();
    };
    if (holdingExclusive) {
        recoverWith(m_fd);
        return;
    }
    // Roll back through a writable descriptor of our own under the exclusive lock.
    setLock(kTransactionByte, F_UNLCK, false, "cannot unlock the table");
    int fd = ::open(m_path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        setLock(kTransactionByte, F_RDLCK, true, "cannot lock the table");
        fail(KE_ERR_IO, m_path + ": an interrupted change must be rolled back, but the table cannot be written", err);
    }
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(kTransactionByte);
    fl.l_len = 1;
    int rc;
    while ((rc = ::fcntl(fd, F_OFD_SETLKW, &fl)) != 0 && errno == EINTR) {
    }
    try {
        if (rc != 0)
            failIo("cannot lock the table", m_path, errno);
        recoverWith(fd);
    } catch (...) {
        ::close(fd);
        setLock(kTransactionByte, F_RDLCK, true, "cannot lock the table");
        throw;
    }
    ::close(fd);
    setLock(kTransactionByte, F_RDLCK, true, "cannot lock the table");
}

bool TableFile::quickCheckUnchanged()
{
    struct stat st {};
    std::array<uint8_t, hdr::MutablePart> fixed {};
    if (::fstat(m_fd, &st) != 0 || uint64_t(st.st_size) < fixed.size() || !readAll(m_fd, fixed.data(), fixed.size(), 0))
        return false;
    return fixed == m_fixed && st.st_size == m_stat.st_size && st.st_ino == m_stat.st_ino
        && sameTime(st.st_mtim, m_stat.st_mtim) && sameTime(st.st_ctim, m_stat.st_ctim);
}

TableFile::ReadScope::ReadScope(TableFile& f, uint16_t cachedBlock) : m_file(f)
{
    f.m_readLocked = false;
    if (cachedBlock && f.m_cache.count(cachedBlock) && f.quickCheckUnchanged())
        return;
    f.setLock(kTransactionByte, F_RDLCK, true, "cannot lock the table");
    f.m_readLocked = true;
    try {
        f.recoverIfNeeded(false);
        f.refresh();
    } catch (...) {
        f.m_readLocked = false;
        f.setLock(kTransactionByte, F_UNLCK, false, "cannot unlock the table");
        throw;
    }
}

TableFile::ReadScope::~ReadScope()
{
    if (!m_file.m_readLocked)
        return;
    m_file.m_readLocked = false;
    try {
        m_file.setLock(kTransactionByte, F_UNLCK, false, "cannot unlock the table");
    } catch (...) {
    }
}

TableFile::WriteScope::WriteScope(TableFile& f) : m_file(f)
{
    if (!f.m_writable)
        fail(KE_ERR_TABLE_READ_ONLY, f.m_path);
    f.setLock(kTransactionByte, F_WRLCK, true, "cannot lock the table");
    try {
        f.recoverIfNeeded(true);
        f.refresh();
    } catch (...) {
        f.setLock(kTransactionByte, F_UNLCK, false, "cannot unlock the table");
        throw;
    }
    f.m_txn = true;
    f.m_txnCounters = f.m_header.counters;
    f.m_images.clear();
}

void TableFile::WriteScope::commit()
{
    m_file.commitTransaction();
    m_done = true;
    m_file.endTransaction();
}

TableFile::WriteScope::~WriteScope()
{
    if (!m_done)
        m_file.endTransaction();
    try {
        m_file.setLock(kTransactionByte, F_UNLCK, false, "cannot unlock the table");
    } catch (...) {
    }
}

void TableFile::endTransaction()
{
    m_txn = false;
    m_images.clear();
    m_newScrambler.reset();
}

const uint8_t* TableFile::rawBlock(uint16_t n)
{
    if (m_txn) {
        auto it = m_images.find(n);
        if (it != m_images.end())
            return it->second.bytes.data();
    }
    auto it = m_cache.find(n);
    if (it != m_cache.end())
        return it->second.data();
    if (!m_txn && !m_readLocked) {
        // A lock-free read needs a block it has not cached: read it under the
        // lock, provided nothing changed since the header was checked.
        setLock(kTransactionByte, F_RDLCK, true, "cannot lock the table");
        m_readLocked = true;
        struct stat js {};
        if (::stat(m_journalPath.c_str(), &js) == 0 || !quickCheckUnchanged())
            throw RetryLocked {};
    }
    const TableCounters& c = m_header.counters; // blocks on disk
    if (n == 0 || n > c.fileBlocks)
        fail(KE_ERR_CORRUPT_TABLE, m_path + ": a block link points outside the file (block " + std::to_string(n) + ")");
    const uint64_t offset = m_header.blockOffset(n);
    if (offset + m_header.blockSize > uint64_t(m_stat.st_size))
        fail(KE_ERR_CORRUPT_TABLE, m_path + ": block " + std::to_string(n) + " lies past the end of the file");
    std::vector<uint8_t> bytes(m_header.blockSize);
    if (!readAll(m_fd, bytes.data(), bytes.size(), offset))
        failIo("cannot read a block", m_path, errno ? errno : EIO);
    decode(n, bytes.data());
    if (m_cache.size() >= kCacheBlocks)
        m_cache.clear();
    return m_cache.emplace(n, std::move(bytes)).first->second.data();
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
    if (it != m_images.end())
        return it->second.bytes.data();
    const uint8_t* raw = rawBlock(n);
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
    if (c.firstFreeBlock != 0 && c.firstFreeBlock <= c.fileBlocks) {
        const uint16_t n = c.firstFreeBlock;
        uint8_t* b = writableBlock(n);
        const uint16_t nextFree = le16(b + blk::Next);
        c.firstFreeBlock = (nextFree <= c.fileBlocks && nextFree != n) ? nextFree : 0;
        std::memset(b, 0, m_header.blockSize);
        return n;
    }
    c.firstFreeBlock = 0;
    if (c.fileBlocks == 0xFFFF)
        fail(KE_ERR_TABLE_FULL, m_path);
    const uint16_t n = ++c.fileBlocks;
    c.maxBlocks = c.fileBlocks;
    Image im;
    im.bytes.assign(m_header.blockSize, 0);
    const uint64_t offset = m_header.blockOffset(n);
    if (offset < uint64_t(m_stat.st_size)) {
        // Bytes past the last block (left by another program) are kept for a roll-back.
        const uint64_t len = std::min<uint64_t>(m_header.blockSize, uint64_t(m_stat.st_size) - offset);
        im.original.resize(size_t(len));
        if (!readAll(m_fd, im.original.data(), im.original.size(), offset))
            failIo("cannot read a block", m_path, errno ? errno : EIO);
    }
    m_images[n] = std::move(im);
    return n;
}

void TableFile::freeBlock(uint16_t n)
{
    uint8_t* b = writableBlock(n);
    std::memset(b, 0, m_header.blockSize);
    putLe16(b + blk::Next, m_txnCounters.firstFreeBlock);
    setBlockCount(b, 0, m_header.recordSize);
    m_txnCounters.firstFreeBlock = n;
}

void TableFile::commitTransaction()
{
    TableCounters c = m_txnCounters;
    c.changeCount = uint8_t(c.changeCount + 1);
    std::array<uint8_t, hdr::MutablePart> fixed = m_fixed;
    c.write(fixed.data());

    const uint64_t oldSize = uint64_t(m_stat.st_size);
    const uint64_t blocksEnd = m_header.headerSize + uint64_t(c.fileBlocks) * m_header.blockSize;
    const bool shrink = c.fileBlocks < m_header.counters.fileBlocks;
    const uint64_t newSize = shrink ? blocksEnd : std::max(oldSize, blocksEnd);

    // A key change also rewrites where the header keeps the key.
    std::vector<uint8_t> keyBytes, oldKeyBytes;
    if (m_newScrambler) {
        const uint32_t key = m_newScrambler->key();
        if (m_header.keyOffset == hdr::Encryption2) {
            putLe32(&fixed[hdr::Encryption1], hdr::KeyInDataHeader);
            keyBytes = {uint8_t(key), uint8_t(key >> 8), uint8_t(key >> 16), uint8_t(key >> 24)};
            oldKeyBytes.resize(4);
            if (!readAll(m_fd, oldKeyBytes.data(), 4, hdr::Encryption2))
                failIo("cannot read the table", m_path, errno ? errno : EIO);
        } else {
            putLe32(&fixed[hdr::Encryption1], key);
        }
    }

    JournalImage journal;
    journal.originalSize = oldSize;
    journal.entries.push_back({0, std::vector<uint8_t>(m_fixed.begin(), m_fixed.end())});
    if (!oldKeyBytes.empty())
        journal.entries.push_back({hdr::Encryption2, oldKeyBytes});
    for (const auto& [n, im] : m_images)
        if (!im.original.empty())
            journal.entries.push_back({m_header.blockOffset(n), im.original});
    if (newSize < oldSize) {
        JournalEntry tail;
        tail.offset = newSize;
        tail.original.resize(size_t(oldSize - newSize));
        if (!readAll(m_fd, tail.original.data(), tail.original.size(), newSize))
            failIo("cannot read the table", m_path, errno ? errno : EIO);
        journal.entries.push_back(std::move(tail));
    }

    // 1. The journal, durable before the table is touched.
    {
        const std::vector<uint8_t> bytes = journal.serialize();
        // The journal holds the table's bytes: it grants exactly what the table
        // grants (no more, whatever the umask or a stale journal's mode), so
        // whoever may change a shared table can also roll a change of it back.
        const mode_t journalMode = m_stat.st_mode & 0666;
        int jfd = ::open(m_journalPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, journalMode);
        if (jfd < 0)
            failIo("cannot create the journal", m_journalPath, errno);
        ::fchmod(jfd, journalMode);
        bool ok = writeAll(jfd, bytes.data(), bytes.size(), 0) && ::fdatasync(jfd) == 0;
        int err = errno;
        ::close(jfd);
        if (!ok) {
            ::unlink(m_journalPath.c_str());
            failIo("cannot write the journal", m_journalPath, err);
        }
        syncDirectory();
    }

    // 2. The change itself.
    auto undo = [&](int err, const char* what) {
        try {
            rollBack(m_fd, journal);
            ::unlink(m_journalPath.c_str());
            syncDirectory();
        } catch (...) {
            // The journal stays; the next access rolls the change back.
        }
        failIo(what, m_path, err);
    };
    const scramble::BlockScrambler* storing = scrambler();
    std::vector<uint8_t> stored;
    for (const auto& [n, im] : m_images) {
        const uint8_t* bytes = im.bytes.data();
        if (storing) {
            stored = im.bytes;
            storing->scramble(stored.data(), stored.size(), n);
            bytes = stored.data();
        }
        if (!writeAll(m_fd, bytes, im.bytes.size(), m_header.blockOffset(n)))
            undo(errno, "cannot write the table");
    }
    if (!keyBytes.empty() && !writeAll(m_fd, keyBytes.data(), keyBytes.size(), hdr::Encryption2))
        undo(errno, "cannot write the table");
    if (!writeAll(m_fd, fixed.data(), fixed.size(), 0))
        undo(errno, "cannot write the table");
    if (newSize < oldSize && ::ftruncate(m_fd, off_t(newSize)) != 0)
        undo(errno, "cannot shorten the table");
    if (::fdatasync(m_fd) != 0)
        undo(errno, "cannot flush the table to disk");

    // 3. Commit: the journal goes.
    if (::unlink(m_journalPath.c_str()) != 0)
        undo(errno, "cannot remove the journal");
    syncDirectory();

    m_fixed = fixed;
    m_header.counters = c;
    if (m_newScrambler) {
        m_header.key = m_newScrambler->key();
        m_header.encrypted = m_header.key != 0;
        m_scrambler = m_header.encrypted ? std::move(m_newScrambler) : nullptr;
        m_newScrambler.reset();
    }
    ::fstat(m_fd, &m_stat);
    m_cache.clear();
    ++m_generation;
}

} // namespace ke
