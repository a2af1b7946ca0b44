// A cursor on a table: a position on a record or on a crack between records,
// kept as (block, index) in chain order so that no operation depends on the
// table's size.
//
// What a cursor sees of changes made elsewhere:
// - A change made through any cursor of this process is seen by the next call.
// - A change stored by another process is seen by the next call that looks at
//   the file. Every call looks, except a plain step (next/prior without a
//   lock) that stays within the blocks read from disk together with the
//   cursor's block: blocks are read in aligned 64 KiB stretches of the file,
//   and a step inside the cursor's stretch is served from the cache without a
//   system call. A step out of the stretch, a locking read, the current record
//   and every change first look at the file: the header's counters, which
//   every stored change rewrites, the file's size and times (the change count
//   wraps at 256; a program that writes records without updating the header
//   shows there too), and whether the table's path still leads to the open
//   file. So a full scan costs one look per 64 KiB of table.
// - A table replaced at its path is followed at the next look, as after
//   another user's changes; a change meant for the old file is not stored.
//
// A change acts only on what the caller saw: Delete and Modify act on the
// cursor's record only while it is stored with the bytes the cursor last gave
// the caller (or stored itself). A record changed in place by another writer
// moves the cursor onto its new bytes for display, but until the caller has
// read them, Delete removes nothing (KE_ERR_RECORD_NOT_FOUND, the result the
// table layer answers by reading again) and Modify fails (KE_ERR_RECORD_CHANGED).
#pragma once

#include "KeyedIndex.h"
#include "TableFile.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ke {

struct OpenOptions {
    bool readOnly = false;
    bool exclusive = false;
    std::vector<std::string> passwords; // the session's, as typed (UTF-8)
    bool asStored = false; // read the file as it stands, never rolling a journal back
    // Opened to rebuild the primary index of a keyed table: exclusive and
    // writable whatever the state of the index (CursorIndex.cpp).
    bool indexRebuild = false;
};

class Cursor {
public:
    // Opens the table at a host path; throws EngineError.
    Cursor(const std::string& path, const OpenOptions& options);
    ~Cursor();

    const TableHeader& header() const { return m_file.header(); }
    bool readOnly() const { return !m_file.writable(); }
    const std::string& path() const { return m_file.path(); }
    // Records in the table as of the last call.
    uint32_t recordCount() const { return m_file.counters().numRecords; }

    void setToBegin();
    void setToEnd();
    // Each copies the record into `record` (header().recordSize bytes); lock takes the record lock.
    void current(bool lock, uint8_t* record);
    void next(bool lock, uint8_t* record);
    void prior(bool lock, uint8_t* record);

    void makeInsertionPoint();
    void insert(const uint8_t* record, bool lock);
    void modify(const uint8_t* record, bool releaseLock);
    void remove();
    void releaseLock();
    bool holdsLock() const { return m_lockHash.has_value(); }

    // The table's blank record: every field blank (all zero bytes).
    void blankRecord(uint8_t* record) const;

    // Whole-table maintenance (CursorMaintenance.cpp).
    // The header's counters as they are now on disk.
    TableCounters freshCounters();
    // Appends `count` records at the end in one change; the cursor stands on the last.
    void append(const uint8_t* records, size_t count);
    // Every block stored again under a new key (0: unprotected); needs an
    // exclusive, writable open.
    void storeUnderKey(uint32_t key);
    // A verified copy of the table; a keyed table's index goes beside it under
    // the same lock, so the two copies are one state (CursorIndex.cpp).
    uint64_t copyTo(const std::string& destination);
    // A backup put back as one change; a keyed table's index built anew with it (CursorIndex.cpp).
    uint64_t restoreFrom(const std::string& backup);
    // The table's structure and, for a keyed table, its keys and primary index (CursorIndex.cpp).
    uint32_t check(const std::function<void(const std::string&)>& report);
    // Why the table can only be read, as it stands now; empty when it can be written.
    std::string readOnlyReason();
    // Levels of the primary index as it stands now (0: none, empty or unreadable).
    uint8_t indexLevels();
    // Builds the primary index again from the records; needs an open for it.
    void rebuildIndex();

private:
    enum class Kind { BeforeFirst, AfterLast, OnRecord, Crack };
    struct Pos {
        Kind kind = Kind::BeforeFirst;
        uint16_t block = 0;
        int index = 0;
        uint16_t prevBlock = 0, nextBlock = 0; // neighbours when last seen
    };

    template <class F>
    void reading(bool lock, F&& body);
    void relocate();
    bool changedInPlace(const BlockView& v) const;
    // Moves onto a record found again, keeping what the caller last saw.
    void follow(uint16_t block, int index, const BlockView& view);
    // Fails unless the record stood on is the one the caller last saw.
    void failIfUnseen(uint16_t code, const char* what) const;
    void loseRecord(const BlockView& v);
    void failIfLost();
    void sync();
    void land(uint16_t block, int index, const BlockView& view, uint8_t* record);
    bool stepFromCache(int delta, uint8_t* record);
    // Block b of a walk along the block chain, checked: the walk may not take
    // more steps than the file has blocks, and the block must link back to
    // `from`, the block the walk came from (0 at the walk's first block).
    BlockView chainBlock(uint16_t b, uint16_t from, uint32_t steps, bool forward);
    // A walk that ran off the table's end: the cursor stands at `end`.
    bool runOff(Kind end);
    bool stepForward(uint8_t* record);
    bool stepBackward(uint8_t* record);
    void takeLock(bool lock);
    std::vector<uint8_t> normalized(const uint8_t* record) const;
    uint64_t hashOf(const uint8_t* record) const;
    Pos insertAt(uint16_t block, int index, const uint8_t* record);
    // Takes the record at (block, index) out of the chain; where a cursor then stands.
    Pos removeAt(uint16_t block, int index);
    // A keyed table (CursorKeyed.cpp): the record put at its key's place, the
    // index kept in step; a record moved there when its key changed.
    Pos placeByKey(const uint8_t* record);
    Pos moveToKey(const uint8_t* old, const uint8_t* record);
    [[noreturn]] void refuseUnknownOrder(const char* what) const;
    void checkRecordFree(const uint8_t* stored);

    TableFile m_file;
    Pos m_pos;
    int m_seenCount = 0; // records in the cursor's block when last seen
    std::vector<uint8_t> m_current; // bytes of the record the cursor stands on
    // Its neighbours in the block when last seen (empty at a block's end): a
    // record changed in place is told from a slot now holding another record.
    std::vector<uint8_t> m_before, m_after;
    // The record as the caller last saw it, while another writer's change in
    // place makes it differ from m_current; empty otherwise.
    std::vector<uint8_t> m_shown;
    bool m_lost = false; // the record shown was deleted by someone else
    uint64_t m_seenGeneration = 0;
    bool m_exclusive = false;
    std::optional<Pos> m_insertionPoint;
    uint64_t m_insertionGeneration = 0;
    std::optional<uint64_t> m_lockHash;
    // The primary index of a keyed table opened for writing.
    std::unique_ptr<KeyedIndex> m_keyed;
};

} // namespace ke
