// A keyed table's primary index kept in step with the table's changes. The
// table reports each block it is about to change (with its bytes the first
// time); sync() then compares every block written since the last sync with
// what the index holds for it and turns the differences into the index tree's block events: a block
// that left the record chain, one whose count or first key changed, one that
// joined the chain. So any change of the records (a delete, a split, the first
// block taking over the next) keeps the index right without knowing how the
// records moved. The index file's writes go out with the table's commit.
#pragma once

#include "IndexFile.h"
#include "IndexTree.h"
#include "KeyOrder.h"
#include "TableFile.h"

#include <map>
#include <set>
#include <memory>
#include <vector>

namespace ke {

class KeyedIndex final : public Companion {
public:
    // Opens the table's index for writing; throws KE_ERR_TABLE_READ_ONLY with
    // the reason when it is missing or does not belong to the table.
    explicit KeyedIndex(TableFile& table);

    const KeyOrder& key() const { return m_key; }
    IndexFile& file() { return m_file; }

    // A change of the table begins: the index is read again if it changed.
    void begin() override;
    void blockWritten(uint16_t n, const uint8_t* before) override;
    // The index brought in step with the table's change so far.
    void sync();
    Change prepare() override;
    void committed() override;
    // The data block a key belongs in (0: the table is empty); ordered keys only.
    uint16_t blockFor(const uint8_t* key);
    // The change rewrites the whole table (a backup put back): the index is
    // built anew from the records at the commit instead of followed block by block.
    void rebuildAtCommit(bool rebuild) { m_rebuild = rebuild; }
    // Records added or deleted and key fields changed: another program's
    // change counter in the index header, which is never 0.
    void countChanges(size_t n);
    void end() override;

private:
    struct Known {
        int count = 0;
        std::vector<uint8_t> firstKey;
    };
    Known stateOf(const uint8_t* block) const;

    TableFile& m_table;
    KeyOrder m_key;
    IndexFile m_file;
    IndexTree m_tree;
    std::map<uint16_t, Known> m_known; // touched blocks as the index has them
    std::set<uint16_t> m_dirty;        // written since the last sync
    bool m_rebuild = false;
};

} // namespace ke
