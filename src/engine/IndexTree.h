// The tree of a primary index: finding the data block a key belongs to, and
// keeping the entries in step as data blocks change, are added and leave the
// chain. Entries carry the first key and the record count of the block below
// them; a block that overflows is split half and half, a full root grows the
// tree by a level with the root staying where it is, an emptied block is
// freed and a root left with one entry gives up a level.
//
// Blocks form one chain, root first, then each level from the top down in key
// order, as other readers of the format expect. Entries are found by their
// key bytes and checked against the block number they must point to; when
// the keys' order is not byte order the tree is searched block by block.
#pragma once

#include "IndexFile.h"

#include <cstdint>
#include <vector>

namespace ke {

class IndexTree {
public:
    IndexTree(IndexFile& file, const std::string& tablePath) : m_file(file), m_tablePath(tablePath) {}

    // The records beneath the root (0 for an empty index).
    uint64_t records();
    // The data block a key belongs in by byte order: the block of the last
    // level-1 entry whose key is not above it, else the first; 0 when empty.
    uint16_t dataBlockFor(const uint8_t* key);

    // Inside a change of the index file, each with the state the index held
    // for the block (checked: a mismatch means the index is stale) and the
    // block's state now.
    void blockChanged(uint16_t dataBlock, const uint8_t* oldKey, int oldCount, const uint8_t* key, int count);
    // A block linked into the data chain after `after` (0: at its start).
    void blockAdded(uint16_t dataBlock, uint16_t after, const uint8_t* afterKey, int afterCount, const uint8_t* key,
                    int count);
    void blockRemoved(uint16_t dataBlock, const uint8_t* oldKey, int oldCount);

private:
    struct Step {
        uint16_t block;
        int entry;
    };
    using Path = std::vector<Step>; // root first, down to a level-1 entry

    uint16_t keyLength() const { return m_file.header().keyLength(); }
    uint16_t entrySize() const { return m_file.header().entrySize; }
    static uint8_t* entryIn(uint8_t* block, int i, uint16_t size) { return block + blk::Records + size_t(i) * size; }
    [[noreturn]] void stale(uint16_t dataBlock, const std::string& why) const;

    int pick(const IndexBlockView& v, const uint8_t* key) const;
    Path find(uint16_t dataBlock, const uint8_t* key, int count);
    bool search(uint16_t block, int level, uint16_t dataBlock, Path& path, uint32_t& budget);
    Path leftmost();
    uint32_t sumOf(uint16_t block);
    void writeEntries(uint16_t block, const std::vector<uint8_t>& entries);
    std::vector<uint8_t> entryFor(uint16_t block, uint16_t pointer);
    void fixUp(const Path& p);
    void relieve(const Path& p);
    void insertEntry(Path p, const std::vector<uint8_t>& entry);
    // Block p.back() gets the first `keep` of `all` (its entries), a new block after it the rest.
    void splitAt(Path p, const std::vector<uint8_t>& all, size_t keep);
    void growRoot();
    void removeEntry(Path p);
    void collapseRoot();
    void linkAfter(uint16_t x, uint16_t y);
    void unlink(uint16_t x);

    IndexFile& m_file;
    std::string m_tablePath;
};

} // namespace ke
