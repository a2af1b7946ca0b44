// A table replaced at its path while open (a backup moved over it, a file
// manager's paste, a synchronisation tool): the open file is nameless from
// then on, so nothing is written to it; reads move on to the new file as
// after another user's changes.
#include "TableFile.h"

#include "EngineError.h"
#include "Format.h"
#include "kartoteka_engine.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace ke {

TableFile::AtPath TableFile::atPath() const
{
    struct stat st {};
    if (::stat(m_path.c_str(), &st) != 0)
        return AtPath::Missing;
    return st.st_dev == m_stat.st_dev && st.st_ino == m_stat.st_ino ? AtPath::Same : AtPath::Other;
}

bool TableFile::followReplacement()
{
    if (atPath() != AtPath::Other)
        return false; // the same file, or none to follow: reads go on from the open one
    // Opened as any open does: its own journal rolled back, its header read.
    TableFile fresh(m_path, m_writable, m_recover);
    if (!fresh.m_header.sameLayoutAs(m_header))
        fail(KE_ERR_CORRUPT_TABLE, m_path + ": the table was replaced by a file of another structure or password "
                                            "while it was open; close the table and open it again");
    if (m_shareLock && !fresh.trySetLock(lockbyte::Share, m_shareLock))
        fail(KE_ERR_TABLE_IN_USE, m_path + ": the table was replaced by a file that is open exclusively elsewhere");
    // The record locks held go along; one another user holds on the new file
    // now is lost, and changes wait until it is released.
    std::set<uint64_t> kept, lost;
    for (uint64_t hash : m_heldRecordLocks)
        (fresh.trySetLock(lockbyte::recordByte(hash), F_WRLCK) ? kept : lost).insert(hash);

    // Take the new file over; `fresh` closes the old one, and its locks go with it.
    std::swap(m_fd, fresh.m_fd);
    m_stat = fresh.m_stat;
    m_identity = fresh.m_identity;
    m_fixed = fresh.m_fixed;
    m_header.counters = fresh.m_header.counters;
    m_processChanges = fresh.m_processChanges;
    m_seenProcessChanges = m_processChanges->load();
    m_heldRecordLocks = std::move(kept);
    m_lostRecordLocks.insert(lost.begin(), lost.end());
    dropCache();
    ++m_generation;
    return true;
}

void TableFile::failReplaced(AtPath where) const
{
    if (where == AtPath::Missing)
        fail(KE_ERR_TABLE_REPLACED, m_path + ": the table file was moved or removed while it was open; the change was "
                                             "not stored. Put the table back at this path, or open it where it is now.");
    fail(KE_ERR_TABLE_REPLACED,
         m_path + ": the table file was replaced by another one while it was open (a backup moved or copied over it, "
                  "or a synchronisation tool); the change was not stored. The cards are read from the new file from now "
                  "on: look at the card again and repeat the change if it is still wanted. To put a backup back while "
                  "the table is in use, use \"kartoteka-table restore\".");
}

} // namespace ke
