// One open table file: its descriptor, header, a small block cache, the locks
// that coordinate readers and writers across processes, and the journalled
// write transaction.
//
// The class is split by job: TableFile.cpp (open, header), TableLocks.cpp
// (locks and scopes, lock bytes in Format.h), TableBlocks.cpp (cache and block
// reads), TableCommit.cpp (the journalled commit), TableRecovery.cpp (roll-back),
// TableReplacement.cpp (following a file replaced at the table's path),
// TableRestore.cpp (a backup put back as one change).
#pragma once

#include "BlockAllocation.h"
#include "BlockView.h"
#include "Journal.h"
#include "Scramble.h"
#include "TableHeader.h"

#include <sys/stat.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace ke {

// A second file changed in step with a table and stored by the table's
// commit in the same journalled change (a keyed table's primary index).
class Companion {
public:
    // What the commit writes to the companion: regions and lengths (the
    // originals with the hashes of what is written over them).
    struct Change {
        std::string path;
        int fd = -1;
        uint64_t oldSize = 0, newSize = 0;
        std::vector<JournalEntry> originals, writes;
    };
    virtual ~Companion() = default;
    // A change of the table begins, under its write lock.
    virtual void begin() = 0;
    // The table is about to change block n. `before`: its plain bytes the
    // first time in this change, kNewBlock for a block new to the file, else nullptr.
    virtual void blockWritten(uint16_t n, const uint8_t* before) = 0;
    static inline const uint8_t kNewBlock[1] = {0};
    // The companion's part of the change, before anything is written; no
    // writes when it does not change.
    virtual Change prepare() = 0;
    // The change reached both files.
    virtual void committed() = 0;
    // The change ended, stored or dropped.
    virtual void end() = 0;
};

// Copies `size` bytes of the open file `fd` (at `path`) to a new file readable
// by its owner only, synced, read back from the disk and compared (TableCopy.cpp).
uint64_t copyFileVerified(int fd, const std::string& path, uint64_t size, const std::string& destination);

class TableFile {
public:
    // Opens the file; throws KE_ERR_TABLE_NOT_FOUND, KE_ERR_TABLE_READ_ONLY (no
    // write permission for a writable open) or KE_ERR_IO. Without `recover`
    // the file is read as it stands: a journal beside it is left alone.
    TableFile(std::string path, bool writable, bool recover = true);
    ~TableFile();
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    const std::string& path() const { return m_path; }
    bool writable() const { return m_writable; }
    const TableHeader& header() const { return m_header; }
    const TableCounters& counters() const { return m_txn ? m_txnCounters : m_header.counters; }
    // Changes whenever the file was found changed (by anyone, this object included).
    uint64_t generation() const { return m_generation; }

    // A password-protected table: blocks can be read once the key of one of the
    // passwords is given. False (nothing changes) when it is not the table's key.
    bool unlockWith(uint32_t key);
    // Inside a WriteScope on a table locked exclusively: stores every block
    // again under a new key (0: unprotected) as one change.
    void changeKey(uint32_t key);

    // Takes the share lock for the life of this object; throws KE_ERR_TABLE_IN_USE.
    void lockShare(bool exclusive);

    // A read: shared transaction lock, a left-over journal rolled back, header refreshed.
    // When the quick check (header, size and times, the file at the path) shows
    // no change since the last call and `cachedBlock` is in the cache, the read
    // goes without the lock (the cached blocks are a consistent state as long
    // as nothing changed); a table replaced at its path is followed first. Should it need a
    // block it does not have, it takes the lock, and when the table changed
    // meanwhile it throws RetryLocked so the caller repeats it on the slow path.
    class ReadScope {
    public:
        explicit ReadScope(TableFile& f, uint16_t cachedBlock = 0);
        ~ReadScope();
    private:
        TableFile& m_file;
    };
    struct RetryLocked {};
    // A change: exclusive transaction lock, journal rolled back, header refreshed.
    // Nothing reaches the file until commit(); a scope left without commit drops the change.
    // Fails with KE_ERR_TABLE_REPLACED when the table's path no longer leads to the open file.
    class WriteScope {
    public:
        explicit WriteScope(TableFile& f);
        ~WriteScope();
        void commit();
    private:
        TableFile& m_file;
        bool m_done = false;
    };

    // Reading blocks (inside a scope). Throws KE_ERR_CORRUPT_TABLE for a bad block.
    BlockView block(uint16_t n);
    // True when block n is a member of the record chain.
    bool isLive(uint16_t n);
    // True when block n is in the cache (outside a change).
    bool cached(uint16_t n) const;
    // True when blocks a and b lie in one stretch of the file read in one go.
    bool sameReadAhead(uint16_t a, uint16_t b) const;
    // True when no cursor of this process changed the table since this object
    // last checked the file: a step inside a cached block may then go without
    // looking at the file (see Cursor.h).
    bool unchangedByThisProcess() const { return m_processChanges->load() == m_seenProcessChanges; }

    // The file changed with this one in every commit, or nullptr.
    void setCompanion(Companion* companion) { m_companion = companion; }

    // Changing (inside a WriteScope).
    TableCounters& txnCounters() { return m_txnCounters; }
    uint8_t* writableBlock(uint16_t n);
    uint16_t allocateBlock();
    void freeBlock(uint16_t n);

    // Copies the file, as it stands between changes, to a new file readable by
    // its owner only; synced, read back and compared under the read lock
    // (TableCopy.cpp), which `alsoWhileLocked` still holds (a keyed table's
    // index is copied there). Returns its length.
    uint64_t copyTo(const std::string& destination, const std::function<void()>& alsoWhileLocked = {});
    // Inside a WriteScope: every block and the header's counters become those
    // of the table file at `backup` (same layout and key), as one journalled
    // change that counts as one more change; read back and compared before
    // the lock goes (TableRestore.cpp). Returns the backup's length.
    uint64_t restoreFrom(const std::string& backup);
    // Reads every block under the read lock and hands each problem of the
    // structure to `report` in plain words (TableCheck.cpp). Returns their number.
    uint32_t check(const std::function<void(const std::string&)>& report);

    // Record locks (by hash). tryLock: false when another holder has it.
    bool tryLockRecord(uint64_t hash);
    void unlockRecord(uint64_t hash);
    bool lockedByOther(uint64_t hash);

private:
    using Image = BlockImage;

    void readHeaderAtOpen();
    bool refresh();
    void recoverIfNeeded(bool holdingExclusive);
    void recoverWith(int fd);
    // Moves what lies at the journal's name aside, never following it, and
    // fails with KE_ERR_JOURNAL_NOT_APPLIED saying why; returns only when
    // nothing lies there any more.
    void keepJournalAside(const std::string& why);
    void rollBack(int fd, const JournalImage& journal);
    void commitTransaction();
    void writeJournal(const JournalImage& journal);
    // Where the table's path leads now: to the open file, to another file
    // (the table was replaced, say by a backup moved over it), or nowhere.
    enum class AtPath { Same, Other, Missing };
    AtPath atPath() const;
    // Moves to the file now at the path when it is another one, as after
    // another user's changes; false when there is nothing to follow.
    bool followReplacement();
    [[noreturn]] void failReplaced(AtPath where) const;
    void endTransaction();
    // Puts back the companion's regions recorded in a journal.
    void rollBackCompanion(const JournalImage& journal);
    const uint8_t* rawBlock(uint16_t n);
    uint32_t readAheadBlocks() const;
    // Turns block n as read from the file into its plain bytes (protected tables).
    void decode(uint16_t n, uint8_t* bytes);
    const scramble::BlockScrambler* scrambler() const;
    void setLock(uint64_t offset, short type, bool wait, const char* what);
    bool trySetLock(uint64_t offset, short type);

    std::string m_path;
    std::string m_journalPath;
    bool m_writable;
    bool m_recover;
    int m_fd = -1;
    FileIdentity m_identity; // of the open file, for the journal
    short m_shareLock = 0;   // F_RDLCK or F_WRLCK once lockShare took it
    // Record locks held, and those lost when the table was replaced and
    // another user holds them on the new file: changes wait for their release.
    std::set<uint64_t> m_heldRecordLocks, m_lostRecordLocks;
    TableHeader m_header;
    std::array<uint8_t, hdr::MutablePart> m_fixed {};
    struct stat m_stat {};
    uint64_t m_generation = 0;
    // Plain blocks by aligned stretch of the file (see readAheadBlocks).
    struct CachedWindow {
        uint32_t count = 0; // blocks held (fewer at the end of the file)
        std::unique_ptr<uint8_t[]> bytes;
    };
    std::map<uint32_t, CachedWindow> m_cache;
    size_t m_cachedBytes = 0;
    std::vector<uint8_t> m_scrambled; // a protected stretch as read, before it is made plain
    const uint8_t* cachedBytes(uint16_t n) const;
    void dropCache();
    // Nothing changed since the header was last read: the header's counters,
    // the file's size and times, and the file at the table's path is the open one.
    bool quickCheckUnchanged();
    // The file's status and header bytes equal those last seen.
    bool asLastSeen(const struct stat& st, const std::array<uint8_t, hdr::MutablePart>& fixed) const;
    bool m_txn = false;
    bool m_readLocked = false; // inside a ReadScope: holding the shared lock
    TableCounters m_txnCounters;
    std::map<uint16_t, Image> m_images;
    Companion* m_companion = nullptr;
    std::unique_ptr<scramble::BlockScrambler> m_scrambler; // the table's key, once given
    std::unique_ptr<scramble::BlockScrambler> m_newScrambler; // a key change in progress
    // Changes committed to this file (same device and inode) by this process.
    std::shared_ptr<std::atomic<uint64_t>> m_processChanges;
    uint64_t m_seenProcessChanges = 0;
};

} // namespace ke
