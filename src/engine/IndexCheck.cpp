// The check of a keyed table against its primary index: the records' keys in
// order and unique, and every index entry's block, count and first key.
#include "IndexBuilder.h"

#include "EngineError.h"
#include "IndexFile.h"
#include "kartoteka_engine.h"

#include <set>
#include <string_view>

namespace ke {

namespace {

std::string num(uint64_t n) { return std::to_string(n); }

// Past this many, problems of one kind are only counted.
constexpr uint32_t kShown = 20;

struct Walk {
    IndexFile& file;
    const std::vector<ChainBlock>& chain;
    const KeyOrder& key;
    const std::function<void(const std::string&)>& problem;
    std::set<uint16_t> seen;
    size_t nextChainBlock = 0;
    uint32_t entries = 0, mismatches = 0;

    void mismatch(const std::string& text)
    {
        if (++mismatches <= kShown)
            problem(file.path() + ": " + text);
    }

    // Walks the block's entries; the sum of their counts, or -1 when the block cannot be read.
    int64_t visit(uint16_t b, int level, const uint8_t* expectedKey)
    {
        const IndexHeader& h = file.header();
        if (b == 0 || b > h.counters.fileBlocks || !seen.insert(b).second) {
            mismatch("an entry points to index block " + num(b) + ", which is outside the file or reached twice");
            return -1;
        }
        IndexBlockView v;
        try {
            v = file.block(b);
        } catch (const EngineError& e) {
            mismatch(e.context);
            return -1;
        }
        if (v.count == 0) {
            mismatch("index block " + num(b) + " holds no entries");
            return 0;
        }
        if (expectedKey && !key.sameKey(v.entries, expectedKey))
            mismatch("the entry for index block " + num(b) + " does not hold the block's first key");
        int64_t sum = 0;
        for (int i = 0; i < v.count; ++i) {
            const uint8_t* e = v.entries + size_t(i) * h.entrySize;
            ++entries;
            if (i > 0 && key.ordered() && key.compare(e - h.entrySize, e) >= 0)
                mismatch("the entries of index block " + num(b) + " are not in key order at entry " + num(i + 1));
            const uint16_t to = entryPointer(e, h.keyLength());
            const int count = entryCount(e, h.keyLength());
            if (level > 1) {
                const int64_t below = visit(to, level - 1, e);
                if (below >= 0 && below != count)
                    mismatch("the entry for index block " + num(to) + " counts " + num(count) + " records, the entries beneath it "
                             + num(uint64_t(below)));
            } else if (nextChainBlock >= chain.size()) {
                mismatch("entry " + num(i + 1) + " of index block " + num(b) + " points to data block " + num(to)
                         + " past the end of the record chain");
            } else {
                const ChainBlock& c = chain[nextChainBlock++];
                if (to != c.block)
                    mismatch("an entry points to data block " + num(to) + " where the record chain has block " + num(c.block));
                else if (count != c.count)
                    mismatch("the entry for data block " + num(to) + " counts " + num(count) + " records, the block holds "
                             + num(c.count));
                else if (!key.sameKey(e, c.firstKey.data()))
                    mismatch("the entry for data block " + num(to) + " does not hold the block's first key");
            }
            sum += count;
        }
        return sum;
    }
};

void checkKeys(TableFile& table, const KeyOrder& key, const std::function<void(const std::string&)>& problem)
{
    std::set<std::string_view> keys;
    std::vector<std::vector<uint8_t>> blocks; // keeps the records the keys point into
    uint32_t reported = 0, record = 0;
    const uint8_t* previous = nullptr;
    for (uint16_t b = table.counters().firstBlock, steps = 0; b != 0 && steps <= table.counters().fileBlocks; ++steps) {
        const BlockView v = table.block(b);
        const size_t rs = table.header().recordSize;
        blocks.emplace_back(v.records, v.records + size_t(v.count) * rs);
        for (int i = 0; i < v.count; ++i) {
            const uint8_t* k = blocks.back().data() + size_t(i) * rs;
            ++record;
            if (!keys.insert(std::string_view(reinterpret_cast<const char*>(k), key.length)).second) {
                if (++reported <= kShown)
                    problem("record " + num(record) + " repeats the key of an earlier record ("
                            + key.describe(table.header(), k) + ")");
            } else if (previous && key.ordered() && key.compare(previous, k) > 0) {
                if (++reported <= kShown)
                    problem("record " + num(record) + " is out of key order (" + key.describe(table.header(), k) + ")");
            }
            previous = k;
        }
        b = v.next;
    }
    if (reported > kShown)
        problem("... and " + num(reported - kShown) + " more records out of key order or with a repeated key");
}

} // namespace

uint32_t checkIndex(TableFile& table, const std::string& indexPath, const std::function<void(const std::string&)>& report)
{
    uint32_t problems = 0;
    auto problem = [&](const std::string& text) {
        ++problems;
        report(text);
    };
    TableFile::ReadScope scope(table);
    const KeyOrder key = KeyOrder::of(table.header());
    std::vector<ChainBlock> chain;
    try {
        chain = chainOf(table, key.length);
    } catch (const EngineError&) {
        return problems; // the table's own check reports a broken chain
    }
    checkKeys(table, key, problem);

    std::unique_ptr<IndexFile> file;
    try {
        file = std::make_unique<IndexFile>(indexPath, false);
        file->refresh(table.header());
    } catch (const EngineError& e) {
        problem(e.code == KE_ERR_TABLE_NOT_FOUND ? indexPath + ": the primary index is missing" : e.context);
        return problems;
    }
    if (!file->mismatch().empty()) {
        problem(indexPath + ": the primary index does not belong to the table: " + file->mismatch());
        return problems;
    }
    const IndexHeader& h = file->header();
    Walk walk {*file, chain, key, problem, {}, 0, 0, 0};
    if (h.root != 0)
        walk.visit(h.root, h.levels, nullptr);
    if (walk.nextChainBlock < chain.size())
        walk.mismatch("the index has no entry for data block " + num(chain[walk.nextChainBlock].block) + " and "
                      + num(chain.size() - walk.nextChainBlock - 1) + " more");
    if (walk.mismatches > kShown)
        problem(indexPath + ": ... and " + num(walk.mismatches - kShown) + " more disagreements with the table");
    if (walk.mismatches == 0) {
        if (h.counters.numRecords != walk.entries)
            problem(indexPath + ": the header counts " + num(h.counters.numRecords) + " entries, the index blocks hold " + num(walk.entries));
        if (h.counters.usedBlocks != walk.seen.size())
            problem(indexPath + ": the header counts " + num(h.counters.usedBlocks) + " blocks in use, the tree has " + num(walk.seen.size()));
        // Other readers find the entries by the chain of index blocks, root first.
        std::set<uint16_t> chained;
        uint16_t from = 0, b = h.counters.firstBlock;
        for (; b != 0 && chained.size() <= h.counters.fileBlocks && walk.seen.count(b) && chained.insert(b).second; b = file->block(b).next) {
            if (file->block(b).prev != from)
                break;
            from = b;
        }
        if (h.counters.firstBlock != h.root || b != 0 || chained != walk.seen || h.counters.lastBlock != from)
            problem(indexPath + ": the chain of index blocks does not run from the root through every block of the tree");
    }
    return problems;
}

} // namespace ke
