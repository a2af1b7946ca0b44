#include "TableFile.h"

#include "Disk.h"
#include "EngineError.h"
#include "Format.h"
#include "kartoteka_engine.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

namespace ke {

namespace {

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// One counter of committed changes per file, shared by every TableFile of the
// process that has it open.
std::shared_ptr<std::atomic<uint64_t>> processChangeCounter(dev_t device, ino_t inode)
{
    static std::mutex mutex;
    static std::map<std::pair<dev_t, ino_t>, std::weak_ptr<std::atomic<uint64_t>>> counters;
    std::lock_guard<std::mutex> hold(mutex);
    std::weak_ptr<std::atomic<uint64_t>>& known = counters[{device, inode}];
    std::shared_ptr<std::atomic<uint64_t>> counter = known.lock();
    if (!counter) {
        counter = std::make_shared<std::atomic<uint64_t>>(0);
        known = counter;
    }
    return counter;
}

} // namespace

void failIo(const std::string& what, const std::string& path, int err)
{
    fail(KE_ERR_IO, path + ": " + what + ": " + std::strerror(err), err);
}

TableFile::TableFile(std::string path, bool writable, bool recover)
    : m_path(std::move(path)), m_journalPath(journalPathFor(m_path)), m_writable(writable), m_recover(recover)
{
    m_fd = disk::current().open(m_path, (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC, 0);
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
        if (!identityOf(m_fd, m_identity))
            failIo("cannot read the file's status", m_path, errno);
        m_processChanges = processChangeCounter(m_stat.st_dev, m_stat.st_ino);
        readHeaderAtOpen();
    } catch (...) {
        disk::current().close(m_fd);
        throw;
    }
}

TableFile::~TableFile()
{
    if (m_fd >= 0)
        disk::current().close(m_fd); // drops every lock of this open file
}

void TableFile::readHeaderAtOpen()
{
    setLock(lockbyte::Transaction, F_RDLCK, true, "cannot lock the table");
    try {
        recoverIfNeeded(false);
        if (::fstat(m_fd, &m_stat) != 0)
            failIo("cannot read the file's status", m_path, errno);
        const uint64_t size = uint64_t(m_stat.st_size);
        std::vector<uint8_t> head(size_t(std::min<uint64_t>(size, 0x10000)));
        if (!head.empty() && !disk::readAll(m_fd, head.data(), head.size(), 0))
            failIo("cannot read the header", m_path, errno);
        m_header = TableHeader::parse(head.data(), head.size(), size, m_path);
        std::memcpy(m_fixed.data(), head.data(), m_fixed.size());
        ++m_generation;
    } catch (...) {
        setLock(lockbyte::Transaction, F_UNLCK, false, "cannot unlock the table");
        throw;
    }
    setLock(lockbyte::Transaction, F_UNLCK, false, "cannot unlock the table");
}

bool TableFile::refresh()
{
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        failIo("cannot read the file's status", m_path, errno);
    std::array<uint8_t, hdr::MutablePart> fixed {};
    if (uint64_t(st.st_size) < fixed.size() || !disk::readAll(m_fd, fixed.data(), fixed.size(), 0))
        fail(KE_ERR_CORRUPT_TABLE, m_path + ": the header can no longer be read");
    if (asLastSeen(st, fixed))
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
    dropCache();
    ++m_generation;
    return true;
}

bool TableFile::quickCheckUnchanged()
{
    // Every change this engine stores rewrites the header's counters (its
    // change count at least), in any process; the count wraps at 256, so the
    // file's size and times must agree too. A program that writes blocks
    // without touching the header is seen by the times alone.
    struct stat st {};
    std::array<uint8_t, hdr::MutablePart> fixed {};
    if (::fstat(m_fd, &st) != 0 || uint64_t(st.st_size) < fixed.size() || !disk::readAll(m_fd, fixed.data(), fixed.size(), 0))
        return false;
    return asLastSeen(st, fixed) && atPath() == AtPath::Same;
}

bool TableFile::asLastSeen(const struct stat& st, const std::array<uint8_t, hdr::MutablePart>& fixed) const
{
    return fixed == m_fixed && st.st_size == m_stat.st_size && st.st_ino == m_stat.st_ino
        && sameTime(st.st_mtim, m_stat.st_mtim) && sameTime(st.st_ctim, m_stat.st_ctim);
}

} // namespace ke
