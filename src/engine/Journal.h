// The rollback journal kept beside a table while a change is written: which
// file it was written for, the original bytes of every region the change
// overwrites with a hash of each 512-byte chunk the change writes there, and
// the file's length before and after. A journal left behind by a crash is
// rolled back before anyone reads, provided it belongs to the file (layout in
// Format.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ke {

// What tells one file from another, also after it was replaced by rename:
// device, inode and birth time (0 where the file system keeps none).
struct FileIdentity {
    uint64_t device = 0, inode = 0;
    int64_t birthSeconds = 0;
    uint64_t birthNanoseconds = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of an open file; false with errno set when it cannot be read.
bool identityOf(int fd, FileIdentity& out);

struct JournalEntry {
    uint64_t offset = 0;
    std::vector<uint8_t> original;
    // Per 512-byte chunk of the region: chunkHash of the bytes the change
    // writes there, 0 where the change cuts the file off. Version 1: none.
    std::vector<uint64_t> newHashes;
};

struct JournalImage {
    int version = 2;
    FileIdentity table;
    uint64_t originalSize = 0;
    uint64_t newSize = 0;
    std::vector<JournalEntry> entries;
    // A second file of the same change (a keyed table's index), in the
    // table's folder under this name (version 3; empty: none), recorded as the
    // table is.
    std::string companionName;
    FileIdentity companion;
    uint64_t companionSize = 0, companionNewSize = 0;
    std::vector<JournalEntry> companionEntries;

    std::vector<uint8_t> serialize() const; // always the current version
    enum class Parsed {
        Complete,
        Incomplete,    // a crash while it was written: the table was not touched yet
        UnknownVersion // written by a later version of the engine: never applied, never removed
    };
    static Parsed parse(const std::vector<uint8_t>& bytes, JournalImage& out);

    // True when every chunk the journal names holds, in the file `fd` of
    // `fileSize` bytes, either its original bytes or the bytes the change
    // wrote (or lies cut off past the new length), and the length lies between
    // the old and the new one: rolling back then only undoes this change.
    bool fitsFile(int fd, uint64_t fileSize) const;
    // The same for the second file.
    bool companionFitsFile(int fd, uint64_t fileSize) const;
};

// The FNV-1a hash the journal keeps of a chunk.
uint64_t chunkHash(const uint8_t* bytes, size_t n);
// chunkHash of each 512-byte chunk of `n` bytes, from the start.
std::vector<uint64_t> chunkHashes(const uint8_t* bytes, size_t n);

std::string journalPathFor(const std::string& tablePath);

} // namespace ke
