#include "IndexTree.h"

#include "BlockView.h"
#include "EngineError.h"
#include "kartoteka_engine.h"

#include <cstring>

namespace ke {

namespace {

// More levels than 65535 blocks of the smallest fan-out could need.
constexpr int kMaxLevels = 8;

} // namespace

void IndexTree::stale(uint16_t dataBlock, const std::string& why) const
{
    fail(KE_ERR_CORRUPT_TABLE, m_tablePath + ": the primary index does not match the table at block "
                                   + std::to_string(dataBlock) + ": " + why);
}

uint64_t IndexTree::records()
{
    const IndexHeader& h = m_file.header();
    if (h.root == 0)
        return 0;
    const IndexBlockView v = m_file.block(h.root);
    uint64_t sum = 0;
    for (int i = 0; i < v.count; ++i)
        sum += entryCount(v.entries + size_t(i) * entrySize(), keyLength());
    return sum;
}

int IndexTree::pick(const IndexBlockView& v, const uint8_t* key) const
{
    int lo = 0, hi = v.count; // the first entry above the key lies in [lo, hi]
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (std::memcmp(v.entries + size_t(mid) * entrySize(), key, keyLength()) <= 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo > 0 ? lo - 1 : 0;
}

uint16_t IndexTree::dataBlockFor(const uint8_t* key)
{
    const IndexHeader& h = m_file.header();
    if (h.levels > kMaxLevels)
        fail(KE_ERR_CORRUPT_TABLE, m_file.path() + ": the primary index has too many levels");
    uint16_t b = h.root;
    for (int level = h.levels; level >= 1 && b; --level) {
        const IndexBlockView v = m_file.block(b);
        if (v.count == 0)
            fail(KE_ERR_CORRUPT_TABLE, m_file.path() + ": index block " + std::to_string(b) + " is empty");
        b = entryPointer(v.entries + size_t(pick(v, key)) * entrySize(), keyLength());
    }
    return b;
}

IndexTree::Path IndexTree::find(uint16_t dataBlock, const uint8_t* key, int count)
{
    const IndexHeader& h = m_file.header();
    if (h.root == 0)
        stale(dataBlock, "the index is empty");
    if (h.levels > kMaxLevels)
        fail(KE_ERR_CORRUPT_TABLE, m_file.path() + ": the primary index has too many levels");
    Path p;
    uint16_t b = h.root;
    for (int level = h.levels; level >= 1; --level) {
        const IndexBlockView v = m_file.block(b);
        if (v.count == 0)
            break;
        const int i = pick(v, key);
        p.push_back({b, i});
        b = entryPointer(v.entries + size_t(i) * entrySize(), keyLength());
    }
    if (p.size() != h.levels || b != dataBlock) {
        // The keys do not lead there (their order is not byte order): look at every entry.
        p.clear();
        uint32_t budget = uint32_t(h.counters.fileBlocks) + 1;
        if (!search(h.root, h.levels, dataBlock, p, budget))
            stale(dataBlock, "no index entry points to the block");
    }
    const IndexBlockView v = m_file.block(p.back().block);
    const uint8_t* e = v.entries + size_t(p.back().entry) * entrySize();
    if (std::memcmp(e, key, keyLength()) != 0)
        stale(dataBlock, "the index entry holds another first key");
    if (entryCount(e, keyLength()) != count)
        stale(dataBlock, "the index entry counts " + std::to_string(entryCount(e, keyLength())) + " records, the block "
                             + std::to_string(count));
    return p;
}

bool IndexTree::search(uint16_t block, int level, uint16_t dataBlock, Path& path, uint32_t& budget)
{
    if (budget-- == 0 || level < 1)
        return false;
    const IndexBlockView v = m_file.block(block);
    for (int i = 0; i < v.count; ++i) {
        path.push_back({block, i});
        const uint16_t to = entryPointer(v.entries + size_t(i) * entrySize(), keyLength());
        if (level == 1 ? to == dataBlock : search(to, level - 1, dataBlock, path, budget))
            return true;
        path.pop_back();
    }
    return false;
}

IndexTree::Path IndexTree::leftmost()
{
    const IndexHeader& h = m_file.header();
    Path p;
    uint16_t b = h.root;
    for (int level = h.levels; level >= 1; --level) {
        p.push_back({b, 0});
        b = entryPointer(m_file.block(b).entries, keyLength());
    }
    return p;
}

uint32_t IndexTree::sumOf(uint16_t block)
{
    const IndexBlockView v = m_file.block(block);
    uint32_t sum = 0;
    for (int i = 0; i < v.count; ++i)
        sum += entryCount(v.entries + size_t(i) * entrySize(), keyLength());
    return sum;
}

std::vector<uint8_t> IndexTree::entryFor(uint16_t block, uint16_t pointer)
{
    std::vector<uint8_t> e(entrySize(), 0);
    std::memcpy(e.data(), m_file.block(block).entries, keyLength());
    const uint32_t count = sumOf(block);
    putIndexWord(e.data() + keyLength(), pointer);
    putIndexWord(e.data() + keyLength() + idx::WordBytes, uint16_t(std::min<uint32_t>(count, 0xFFFF)));
    putIndexWord(e.data() + keyLength() + 2 * idx::WordBytes, 0);
    return e;
}

void IndexTree::writeEntries(uint16_t block, const std::vector<uint8_t>& entries)
{
    uint8_t* b = m_file.writableBlock(block);
    const size_t room = m_file.header().blockSize - blk::HeaderBytes;
    std::memset(b + blk::Records, 0, room);
    std::memcpy(b + blk::Records, entries.data(), entries.size());
    setBlockCount(b, int(entries.size() / entrySize()), entrySize());
}

void IndexTree::fixUp(const Path& p)
{
    for (size_t k = p.size() - 1; k > 0; --k) {
        const std::vector<uint8_t> e = entryFor(p[k].block, p[k].block);
        uint8_t* parent = entryIn(m_file.writableBlock(p[k - 1].block), p[k - 1].entry, entrySize());
        if (std::memcmp(parent, e.data(), e.size()) == 0)
            return;
        std::memcpy(parent, e.data(), e.size());
    }
}

void IndexTree::relieve(const Path& p)
{
    // An entry's count is a Short value: a block whose records add up to more
    // is split where its counts reach half their sum.
    for (size_t k = p.size() - 1; k > 0; --k) {
        const uint32_t sum = sumOf(p[k].block);
        if (sum <= idx::MaxCount)
            continue;
        const IndexBlockView v = m_file.block(p[k].block);
        uint32_t prefix = 0;
        int keep = 0;
        while (keep < v.count - 1 && prefix + entryCount(v.entries + size_t(keep) * entrySize(), keyLength()) <= sum / 2)
            prefix += entryCount(v.entries + size_t(keep++) * entrySize(), keyLength());
        const std::vector<uint8_t> all(v.entries, v.entries + size_t(v.count) * entrySize());
        splitAt(Path(p.begin(), p.begin() + long(k) + 1), all, size_t(std::max(keep, 1)));
        return; // the split keeps the sums above it: no other block on the path grew past the limit
    }
}

void IndexTree::insertEntry(Path p, const std::vector<uint8_t>& entry)
{
    IndexHeader& h = m_file.txnHeader();
    const IndexBlockView v = m_file.block(p.back().block);
    const size_t es = entrySize();
    std::vector<uint8_t> all(v.entries, v.entries + size_t(v.count) * es);
    all.insert(all.begin() + long(size_t(p.back().entry) * es), entry.begin(), entry.end());
    ++h.counters.numRecords;
    const size_t n = all.size() / es;
    if (n <= h.capacity()) {
        writeEntries(p.back().block, all);
        fixUp(p);
        return;
    }
    if (p.size() == 1) {
        growRoot();
        p = {{h.root, 0}, {entryPointer(m_file.block(h.root).entries, keyLength()), p.back().entry}};
    }
    splitAt(p, all, n / 2);
}

void IndexTree::splitAt(Path p, const std::vector<uint8_t>& all, size_t keep)
{
    IndexHeader& h = m_file.txnHeader();
    const size_t es = entrySize();
    const uint16_t x = p.back().block;
    const uint16_t y = m_file.allocateBlock();
    ++h.counters.usedBlocks;
    linkAfter(x, y);
    writeEntries(x, std::vector<uint8_t>(all.begin(), all.begin() + long(keep * es)));
    writeEntries(y, std::vector<uint8_t>(all.begin() + long(keep * es), all.end()));
    fixUp(p);
    Path parent(p.begin(), p.end() - 1);
    parent.back().entry += 1;
    insertEntry(parent, entryFor(y, y));
}

void IndexTree::growRoot()
{
    IndexHeader& h = m_file.txnHeader();
    const uint16_t root = h.root;
    const uint8_t* raw = m_file.writableBlock(root);
    const int count = (les16(raw + blk::LastOffset) / int(entrySize())) + 1;
    const std::vector<uint8_t> entries(raw + blk::Records, raw + blk::Records + size_t(count) * entrySize());
    const uint16_t child = m_file.allocateBlock();
    ++h.counters.usedBlocks;
    linkAfter(root, child);
    writeEntries(child, entries);
    writeEntries(root, entryFor(child, child));
    ++h.counters.numRecords;
    ++h.levels;
}

void IndexTree::removeEntry(Path p)
{
    IndexHeader& h = m_file.txnHeader();
    const IndexBlockView v = m_file.block(p.back().block);
    --h.counters.numRecords;
    if (v.count > 1) {
        const size_t es = entrySize();
        std::vector<uint8_t> all(v.entries, v.entries + size_t(v.count) * es);
        all.erase(all.begin() + long(size_t(p.back().entry) * es), all.begin() + long(size_t(p.back().entry + 1) * es));
        writeEntries(p.back().block, all);
        fixUp(p);
        return;
    }
    if (p.size() == 1) {
        // The table is empty: the index goes back to a bare header.
        IndexHeader bare;
        bare.blockSize = h.blockSize;
        bare.entrySize = h.entrySize;
        bare.headerSize = h.headerSize;
        bare.numKeyFields = h.numKeyFields;
        bare.changeCount = h.changeCount;
        h = bare;
        return;
    }
    unlink(p.back().block);
    m_file.freeBlock(p.back().block);
    --h.counters.usedBlocks;
    removeEntry(Path(p.begin(), p.end() - 1));
}

void IndexTree::collapseRoot()
{
    IndexHeader& h = m_file.txnHeader();
    while (h.levels > 1) {
        const IndexBlockView v = m_file.block(h.root);
        if (v.count != 1)
            return;
        const uint16_t child = entryPointer(v.entries, keyLength());
        const IndexBlockView c = m_file.block(child);
        const std::vector<uint8_t> entries(c.entries, c.entries + size_t(c.count) * entrySize());
        writeEntries(h.root, entries);
        unlink(child);
        m_file.freeBlock(child);
        --h.counters.usedBlocks;
        --h.counters.numRecords;
        --h.levels;
    }
}

void IndexTree::linkAfter(uint16_t x, uint16_t y)
{
    IndexHeader& h = m_file.txnHeader();
    uint8_t* bx = m_file.writableBlock(x);
    const uint16_t next = le16(bx + blk::Next);
    putLe16(bx + blk::Next, y);
    uint8_t* by = m_file.writableBlock(y);
    putLe16(by + blk::Prev, x);
    putLe16(by + blk::Next, next);
    if (next)
        putLe16(m_file.writableBlock(next) + blk::Prev, y);
    else
        h.counters.lastBlock = y;
}

void IndexTree::unlink(uint16_t x)
{
    IndexHeader& h = m_file.txnHeader();
    const IndexBlockView v = m_file.block(x);
    if (v.prev)
        putLe16(m_file.writableBlock(v.prev) + blk::Next, v.next);
    else
        h.counters.firstBlock = v.next;
    if (v.next)
        putLe16(m_file.writableBlock(v.next) + blk::Prev, v.prev);
    else
        h.counters.lastBlock = v.prev;
}

void IndexTree::blockChanged(uint16_t dataBlock, const uint8_t* oldKey, int oldCount, const uint8_t* key, int count)
{
    const Path p = find(dataBlock, oldKey, oldCount);
    uint8_t* e = entryIn(m_file.writableBlock(p.back().block), p.back().entry, entrySize());
    std::memcpy(e, key, keyLength());
    putIndexWord(e + keyLength() + idx::WordBytes, uint16_t(count));
    fixUp(p);
    if (count > oldCount)
        relieve(p);
}

void IndexTree::blockAdded(uint16_t dataBlock, uint16_t after, const uint8_t* afterKey, int afterCount,
                           const uint8_t* key, int count)
{
    IndexHeader& h = m_file.txnHeader();
    std::vector<uint8_t> e(entrySize(), 0);
    std::memcpy(e.data(), key, keyLength());
    putIndexWord(e.data() + keyLength(), dataBlock);
    putIndexWord(e.data() + keyLength() + idx::WordBytes, uint16_t(count));
    putIndexWord(e.data() + keyLength() + 2 * idx::WordBytes, 0);
    if (h.root == 0) {
        const uint16_t root = m_file.allocateBlock();
        uint8_t* b = m_file.writableBlock(root);
        putLe16(b + blk::Next, 0);
        putLe16(b + blk::Prev, 0);
        h.root = h.counters.firstBlock = h.counters.lastBlock = root;
        h.levels = 1;
        h.counters.usedBlocks = 1;
        h.counters.numRecords = 1;
        writeEntries(root, e);
        return;
    }
    Path p = after ? find(after, afterKey, afterCount) : leftmost();
    if (after)
        p.back().entry += 1;
    insertEntry(p, e);
    relieve(find(dataBlock, key, count));
}

void IndexTree::blockRemoved(uint16_t dataBlock, const uint8_t* oldKey, int oldCount)
{
    removeEntry(find(dataBlock, oldKey, oldCount));
    collapseRoot();
}

} // namespace ke
