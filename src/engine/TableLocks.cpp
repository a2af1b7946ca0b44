// The table's locks: the transaction lock that orders readers and writers, the
// share lock of an open, record locks, and the read and write scopes built on
// them.
#include "TableFile.h"

#include "EngineError.h"
#include "Format.h"
#include "kartoteka_engine.h"

#include <fcntl.h>

#include <cerrno>

namespace ke {

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
    if (!trySetLock(lockbyte::Share, type))
        fail(KE_ERR_TABLE_IN_USE, m_path + (exclusive ? ": the table is open elsewhere" : ": the table is open exclusively elsewhere"));
    m_shareLock = type;
}

bool TableFile::tryLockRecord(uint64_t hash)
{
    if (!m_writable)
        fail(KE_ERR_TABLE_READ_ONLY, m_path);
    if (!trySetLock(lockbyte::recordByte(hash), F_WRLCK))
        return false;
    m_heldRecordLocks.insert(hash);
    return true;
}

void TableFile::unlockRecord(uint64_t hash)
{
    trySetLock(lockbyte::recordByte(hash), F_UNLCK);
    m_heldRecordLocks.erase(hash);
    m_lostRecordLocks.erase(hash);
}

bool TableFile::lockedByOther(uint64_t hash)
{
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(lockbyte::recordByte(hash));
    fl.l_len = 1;
    if (::fcntl(m_fd, F_OFD_GETLK, &fl) != 0)
        failIo("cannot test a record lock", m_path, errno);
    return fl.l_type != F_UNLCK;
}

TableFile::ReadScope::ReadScope(TableFile& f, uint16_t cachedBlock) : m_file(f)
{
    f.m_readLocked = false;
    // Taken before the file is looked at: a change committed by this process
    // from here on makes the next step look again.
    f.m_seenProcessChanges = f.m_processChanges->load();
    if (cachedBlock && f.cachedBytes(cachedBlock) && f.quickCheckUnchanged())
        return;
    // A table replaced at its path is followed before its lock is taken.
    f.followReplacement();
    f.setLock(lockbyte::Transaction, F_RDLCK, true, "cannot lock the table");
    f.m_readLocked = true;
    try {
        f.recoverIfNeeded(false);
        f.refresh();
    } catch (...) {
        f.m_readLocked = false;
        f.setLock(lockbyte::Transaction, F_UNLCK, false, "cannot unlock the table");
        throw;
    }
}

TableFile::ReadScope::~ReadScope()
{
    if (!m_file.m_readLocked)
        return;
    m_file.m_readLocked = false;
    try {
        m_file.setLock(lockbyte::Transaction, F_UNLCK, false, "cannot unlock the table");
    } catch (...) {
    }
}

TableFile::WriteScope::WriteScope(TableFile& f) : m_file(f)
{
    if (!f.m_writable)
        fail(KE_ERR_TABLE_READ_ONLY, f.m_path);
    // Never written blind: a change meant for the open file is not stored
    // when the table's path leads elsewhere now; the cursor moves on to the
    // new file and the change fails.
    if (const AtPath where = f.atPath(); where != AtPath::Same) {
        f.followReplacement();
        f.failReplaced(where);
    }
    if (!f.m_lostRecordLocks.empty())
        fail(KE_ERR_RECORD_LOCKED, f.m_path + ": the record being edited is locked by another user of the file that replaced the table");
    f.setLock(lockbyte::Transaction, F_WRLCK, true, "cannot lock the table");
    try {
        f.recoverIfNeeded(true);
        f.refresh();
    } catch (...) {
        f.setLock(lockbyte::Transaction, F_UNLCK, false, "cannot unlock the table");
        throw;
    }
    f.m_txn = true;
    f.m_txnCounters = f.m_header.counters;
    f.m_images.clear();
    if (f.m_companion) {
        try {
            f.m_companion->begin();
        } catch (...) {
            f.m_txn = false;
            f.setLock(lockbyte::Transaction, F_UNLCK, false, "cannot unlock the table");
            throw;
        }
    }
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
        m_file.setLock(lockbyte::Transaction, F_UNLCK, false, "cannot unlock the table");
    } catch (...) {
    }
}

void TableFile::endTransaction()
{
    if (m_companion && m_txn)
        m_companion->end();
    m_txn = false;
    m_images.clear();
    m_newScrambler.reset();
}

} // namespace ke
