// Building a primary index from its table, and checking one against it.
#pragma once

#include "KeyOrder.h"
#include "TableFile.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ke {

// A block of the record chain as the index sees it.
struct ChainBlock {
    uint16_t block = 0;
    int count = 0;
    std::vector<uint8_t> firstKey;
};

// Every block of the table's record chain in order (inside a scope of the
// table); throws KE_ERR_CORRUPT_TABLE for a broken chain.
std::vector<ChainBlock> chainOf(TableFile& table, uint16_t keyLength);

// A whole index file for the chain, laid out as other writers of the format
// lay it out: the root in block 1 and on one chain with the levels below it,
// from the top down, each block filled (a block below the root to at most
// 32767 records). `changeCount` goes where other readers look for a change
// counter; `fileName` into the name area.
std::vector<uint8_t> buildIndex(const TableHeader& table, const std::vector<ChainBlock>& chain,
                                const std::string& fileName, uint8_t changeCount);

// Puts a new index file in place of the old one (if any), synced, readable as
// the table is. A power cut leaves the old index, the new one, or none.
void installIndexFile(const std::string& tablePath, const std::string& indexPath, const std::vector<uint8_t>& bytes);

// Reads the table's records and its index file under the table's read lock and
// hands each disagreement to `report`: the keys' order (where it is known) and
// uniqueness, and each entry's block, count and first key. Returns the number.
uint32_t checkIndex(TableFile& table, const std::string& indexPath, const std::function<void(const std::string&)>& report);

} // namespace ke
