// Recovery: a journal left by a change that did not finish is rolled back
// before anyone reads the table.
#include "TableFile.h"

#include "Disk.h"
#include "EngineError.h"
#include "Format.h"
#include "kartoteka_engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ke {

void TableFile::rollBack(int fd, const JournalImage& journal)
{
    disk::Disk& d = disk::current();
    if (d.ftruncate(fd, off_t(journal.originalSize)) != 0)
        failIo("cannot roll back an interrupted change", m_path, errno);
    for (const auto& e : journal.entries)
        if (!disk::writeAll(fd, e.original.data(), e.original.size(), e.offset))
            failIo("cannot roll back an interrupted change", m_path, errno);
    if (d.sync(fd) != 0)
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
        const bool ok = bytes.empty() || disk::readAll(jfd, bytes.data(), bytes.size(), 0);
        const int err = errno;
        ::close(jfd);
        if (!ok)
            failIo("cannot read the journal", m_journalPath, err);
        JournalImage journal;
        if (JournalImage::parse(bytes, journal))
            rollBack(fd, journal);
        // An incomplete journal means the change never reached the table.
        if (disk::current().unlink(m_journalPath) != 0 && errno != ENOENT)
            failIo("cannot remove the journal", m_journalPath, errno);
        if (!disk::syncDirectoryOf(m_journalPath))
            failIo("cannot flush the table's folder to disk", m_journalPath, errno);
    };
    if (holdingExclusive) {
        recoverWith(m_fd);
        return;
    }
    // Roll back through a writable descriptor of our own under the exclusive lock.
    setLock(lockbyte::Transaction, F_UNLCK, false, "cannot unlock the table");
    disk::Disk& d = disk::current();
    int fd = d.open(m_path, O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) {
        int err = errno;
        setLock(lockbyte::Transaction, F_RDLCK, true, "cannot lock the table");
        fail(KE_ERR_IO, m_path + ": an interrupted change must be rolled back, but the table cannot be written", err);
    }
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(lockbyte::Transaction);
    fl.l_len = 1;
    int rc;
    while ((rc = ::fcntl(fd, F_OFD_SETLKW, &fl)) != 0 && errno == EINTR) {
    }
    try {
        if (rc != 0)
            failIo("cannot lock the table", m_path, errno);
        recoverWith(fd);
    } catch (...) {
        d.close(fd);
        setLock(lockbyte::Transaction, F_RDLCK, true, "cannot lock the table");
        throw;
    }
    d.close(fd);
    setLock(lockbyte::Transaction, F_RDLCK, true, "cannot lock the table");
}

} // namespace ke
