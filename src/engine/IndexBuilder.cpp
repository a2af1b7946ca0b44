#include "IndexBuilder.h"

#include "Disk.h"
#include "EngineError.h"
#include "IndexFile.h"
#include "TableCreator.h"
#include "kartoteka_engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ke {

namespace {

// The index block size other writers choose from the entry size alone.
uint8_t blockSizeCodeFor(uint16_t entrySize)
{
    return entrySize < 80 ? 2 : entrySize < 140 ? 3 : 16;
}

struct Entry {
    const uint8_t* key;
    uint16_t pointer;
    uint32_t count;
};

} // namespace

std::vector<ChainBlock> chainOf(TableFile& table, uint16_t keyLength)
{
    std::vector<ChainBlock> chain;
    const TableCounters& c = table.counters();
    uint16_t from = 0;
    for (uint16_t b = c.firstBlock; b != 0;) {
        if (chain.size() > c.fileBlocks)
            fail(KE_ERR_CORRUPT_TABLE, table.path() + ": the block chain loops");
        const BlockView v = table.block(b);
        if (v.prev != from || v.count == 0)
            fail(KE_ERR_CORRUPT_TABLE, table.path() + ": the block chain is broken at block " + std::to_string(b));
        chain.push_back({b, v.count, std::vector<uint8_t>(v.records, v.records + keyLength)});
        from = b;
        b = v.next;
    }
    return chain;
}

std::vector<uint8_t> buildIndex(const TableHeader& table, const std::vector<ChainBlock>& chain,
                                const std::string& fileName, uint8_t changeCount)
{
    const KeyOrder key = KeyOrder::of(table);
    const uint16_t entrySize = uint16_t(key.length + idx::EntryTail);
    const uint8_t code = blockSizeCodeFor(entrySize);
    const uint32_t blockSize = uint32_t(code) * 1024;
    const size_t capacity = (blockSize - blk::HeaderBytes) / entrySize;

    // Levels from the bottom up; each a list of blocks, each a list of entries.
    std::vector<std::vector<std::vector<Entry>>> levels;
    std::vector<Entry> entries;
    for (const ChainBlock& b : chain)
        entries.push_back({b.firstKey.data(), b.block, uint32_t(b.count)});
    while (!entries.empty()) {
        std::vector<std::vector<Entry>> blocks;
        const bool root = entries.size() <= capacity;
        uint32_t sum = 0;
        for (const Entry& e : entries) {
            if (blocks.empty() || blocks.back().size() == capacity || (!root && sum + e.count > idx::MaxCount)) {
                blocks.emplace_back();
                sum = 0;
            }
            blocks.back().push_back(e);
            sum += e.count;
        }
        levels.push_back(std::move(blocks));
        if (root)
            break;
        entries.clear(); // the next level's entries point to blocks numbered once the layout is known
        for (const auto& b : levels.back()) {
            uint32_t total = 0;
            for (const Entry& e : b)
                total += e.count;
            entries.push_back({b.front().key, 0, total});
        }
    }
    // Number the blocks: root first, then each level below it in order.
    size_t blockCount = 0, entryCount = 0;
    std::vector<uint16_t> firstOfLevel(levels.size());
    for (size_t l = levels.size(); l-- > 0;) {
        firstOfLevel[l] = uint16_t(blockCount + 1);
        blockCount += levels[l].size();
        for (const auto& b : levels[l])
            entryCount += b.size();
    }
    for (size_t l = 1; l < levels.size(); ++l) {
        uint16_t child = firstOfLevel[l - 1];
        for (auto& b : levels[l])
            for (Entry& e : b)
                e.pointer = child++;
    }
    if (blockCount > 0xFFFF)
        fail(KE_ERR_TABLE_FULL, "the primary index would need more than 65535 blocks");

    const size_t nameArea = table.fileVersion >= 12 ? hdr::LongTableNameLength : hdr::TableNameLength;
    std::vector<uint8_t> out(hdr::HeaderUnit + blockCount * blockSize, 0);
    uint8_t* h = out.data();
    putLe16(h + idx::EntrySize, entrySize);
    putLe16(h + idx::HeaderSize, uint16_t(hdr::HeaderUnit));
    h[idx::FileType] = PrimaryIndex;
    h[idx::BlockSizeCode] = code;
    putLe32(h + idx::NumEntries, uint32_t(entryCount));
    putLe16(h + idx::UsedBlocks, uint16_t(blockCount));
    putLe16(h + idx::FileBlocks, uint16_t(blockCount));
    putLe16(h + idx::FirstBlock, blockCount ? 1 : 0);
    putLe16(h + idx::LastBlock, uint16_t(blockCount));
    putLe16(h + idx::MaxBlocks, uint16_t(blockCount));
    putLe16(h + idx::Unknown12, idx::NewUnknown12);
    putLe16(h + idx::Root, blockCount ? 1 : 0);
    h[idx::Levels] = uint8_t(levels.size());
    putLe16(h + idx::NumKeyFields, uint16_t(key.fields.size()));
    h[idx::SortOrder] = table.sortOrder;
    h[idx::ChangeCount] = changeCount;
    h[idx::FileVersion] = table.fileVersion;
    putLe32(h + idx::Unknown49, idx::NewUnknown49);
    putLe16(h + idx::EndOfHeader, uint16_t(idx::Descriptors + 2 * key.fields.size() + 4 + nameArea));
    size_t pos = idx::Descriptors;
    for (const FieldInfo& f : key.fields) {
        h[pos++] = f.type;
        h[pos++] = f.sizeByte;
    }
    pos += 4; // the table-name pointer: meaningless on disk
    std::memcpy(h + pos, fileName.data(), std::min(fileName.size(), nameArea - 1));

    uint16_t n = 1;
    for (size_t l = levels.size(); l-- > 0;) {
        for (const auto& b : levels[l]) {
            uint8_t* blk = out.data() + hdr::HeaderUnit + size_t(n - 1) * blockSize;
            putLe16(blk + blk::Next, n < blockCount ? uint16_t(n + 1) : 0);
            putLe16(blk + blk::Prev, uint16_t(n - 1));
            putLe16(blk + blk::LastOffset, uint16_t((b.size() - 1) * entrySize));
            uint8_t* e = blk + blk::Records;
            for (const Entry& entry : b) {
                std::memcpy(e, entry.key, key.length);
                putIndexWord(e + key.length, entry.pointer);
                putIndexWord(e + key.length + idx::WordBytes, uint16_t(entry.count));
                putIndexWord(e + key.length + 2 * idx::WordBytes, 0);
                e += entrySize;
            }
            ++n;
        }
    }
    return out;
}

void installIndexFile(const std::string& tablePath, const std::string& indexPath, const std::vector<uint8_t>& bytes)
{
    struct stat st {};
    const mode_t mode = ::stat(tablePath.c_str(), &st) == 0 ? (st.st_mode & 0666) : 0600;
    // The old index goes first: a rename never replaces a file. A cut before
    // the new one is in place leaves no index, which the table reports until
    // it is rebuilt; the table itself is never touched.
    if (disk::current().unlink(indexPath) != 0 && errno != ENOENT)
        failIo("cannot replace the primary index", indexPath, errno);
    writeNewFile(indexPath, bytes, mode);
}

} // namespace ke
