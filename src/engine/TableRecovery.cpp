// Recovery: a journal left by a change that did not finish is rolled back
// before anyone reads the table, provided it was written for this file. What
// lies at the journal's name is never followed through a link; a journal of
// another file (the table was replaced meanwhile), a link, or a journal of a
// later engine is moved aside under a clear name and reported, never applied
// and never removed.
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

void TableFile::rollBackCompanion(const JournalImage& journal)
{
    if (journal.companionName.empty())
        return;
    // The index lies beside the table. One that is gone, or was replaced since
    // (its regions hold neither the old nor the new bytes), is left alone: the
    // table then reports it as not matching until it is rebuilt.
    const std::string path = disk::directoryOf(m_path) + "/" + journal.companionName;
    disk::Disk& d = disk::current();
    const int fd = d.open(path, O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0);
    if (fd < 0) {
        if (errno == ENOENT || errno == ELOOP)
            return;
        failIo("cannot roll back an interrupted change", path, errno);
    }
    FileIdentity id;
    struct stat st {};
    bool ok = identityOf(fd, id) && ::fstat(fd, &st) == 0;
    if (ok && (id == journal.companion || journal.companionFitsFile(fd, uint64_t(st.st_size)))) {
        ok = d.ftruncate(fd, off_t(journal.companionSize)) == 0;
        for (const auto& e : journal.companionEntries)
            ok = ok && disk::writeAll(fd, e.original.data(), e.original.size(), e.offset);
        ok = ok && d.sync(fd) == 0;
    }
    const int err = errno;
    d.close(fd);
    if (!ok)
        failIo("cannot roll back an interrupted change", path, err);
}

void TableFile::keepJournalAside(const std::string& why)
{
    std::string aside;
    for (int n = 1;; ++n) {
        aside = m_journalPath + ".not-applied" + (n > 1 ? "-" + std::to_string(n) : std::string());
        if (disk::current().renameNoReplace(m_journalPath, aside) == 0)
            break;
        if (errno == ENOENT)
            return; // gone meanwhile: another user dealt with it
        if (errno != EEXIST || n == 999)
            failIo("cannot move aside a journal that does not belong to the table (" + why + ")", m_journalPath, errno);
    }
    if (!disk::syncDirectoryOf(m_journalPath))
        failIo("cannot flush the table's folder to disk", m_journalPath, errno);
    fail(KE_ERR_JOURNAL_NOT_APPLIED, m_journalPath + ": " + why + "; it was not applied and was moved to " + aside
                                         + ". The table was not changed by it: repeat what you were doing. Remove "
                                         + aside + " once it is no longer needed.");
}

void TableFile::recoverWith(int fd)
{
    static const std::string notAFile =
        "something other than a file (a link, say) lies where the table's journal belongs; it was not followed";
    const int jfd = ::open(m_journalPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (jfd < 0) {
        if (errno == ENOENT)
            return;
        if (errno == ELOOP)
            return keepJournalAside(notAFile);
        failIo("cannot read the journal", m_journalPath, errno);
    }
    struct stat st {};
    const bool regular = ::fstat(jfd, &st) == 0 && S_ISREG(st.st_mode);
    std::vector<uint8_t> bytes(regular ? size_t(st.st_size) : 0);
    const bool ok = bytes.empty() || disk::readAll(jfd, bytes.data(), bytes.size(), 0);
    const int err = errno;
    ::close(jfd);
    if (!regular)
        return keepJournalAside(notAFile);
    if (!ok)
        failIo("cannot read the journal", m_journalPath, err);
    JournalImage journal;
    switch (JournalImage::parse(bytes, journal)) {
    case JournalImage::Parsed::UnknownVersion:
        return keepJournalAside("it was written by a later version of the table engine, which this one cannot apply");
    case JournalImage::Parsed::Incomplete:
        break; // never synced, so the change never reached the table
    case JournalImage::Parsed::Complete: {
        // Its own file, or a copy of it taken together with the journal (or
        // the same file on a device numbered anew): every region the journal
        // names holds the bytes before the change or those the change wrote,
        // so rolling back undoes that change and nothing else.
        FileIdentity id;
        struct stat ts {};
        if (!identityOf(fd, id) || ::fstat(fd, &ts) != 0)
            failIo("cannot read the file's status", m_path, errno);
        if (journal.version >= 2 && !(journal.table == id) && !journal.fitsFile(fd, uint64_t(ts.st_size)))
            return keepJournalAside("it was written for another file by this name (the table was replaced by another "
                                    "file while a change of the old one was unfinished)");
        rollBack(fd, journal);
        rollBackCompanion(journal);
        break;
    }
    }
    if (disk::current().unlink(m_journalPath) != 0 && errno != ENOENT)
        failIo("cannot remove the journal", m_journalPath, errno);
    if (!disk::syncDirectoryOf(m_journalPath))
        failIo("cannot flush the table's folder to disk", m_journalPath, errno);
}

void TableFile::recoverIfNeeded(bool holdingExclusive)
{
    if (!m_recover)
        return;
    struct stat js {};
    if (::lstat(m_journalPath.c_str(), &js) != 0)
        return;
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
