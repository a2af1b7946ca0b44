// Taking and freeing blocks in a change, the same in a table and in its
// primary index: freed blocks form a list through their "next" word, headed
// in the header's counters; a new block comes from that list, else from past
// the file's last block.
#pragma once

#include "BlockView.h"
#include "Disk.h"
#include "EngineError.h"
#include "TableHeader.h"
#include "kartoteka_engine.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace ke {

// The head of the free list, taken (zeroed through `writable(n)`, its change
// image); 0 when the list is empty, and then the counters have one more block,
// which the caller makes. A link outside the file ends the list.
template <class Writable>
uint16_t takeBlock(TableCounters& c, uint32_t blockSize, const std::string& path, Writable&& writable)
{
    if (c.firstFreeBlock != 0 && c.firstFreeBlock <= c.fileBlocks) {
        const uint16_t n = c.firstFreeBlock;
        uint8_t* b = writable(n);
        const uint16_t nextFree = le16(b + blk::Next);
        c.firstFreeBlock = (nextFree <= c.fileBlocks && nextFree != n) ? nextFree : 0;
        std::memset(b, 0, blockSize);
        return n;
    }
    c.firstFreeBlock = 0;
    if (c.fileBlocks == 0xFFFF)
        fail(KE_ERR_TABLE_FULL, path);
    ++c.fileBlocks;
    c.maxBlocks = c.fileBlocks;
    return 0;
}

// A block as a change leaves it, and the bytes the file held there before.
struct BlockImage {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> original; // empty for a block past the old end of the file
};

// A new block past the file's last: zero, with the bytes the file holds there
// (left by another program) kept for a roll-back.
inline BlockImage newBlockImage(int fd, uint64_t fileSize, uint64_t offset, uint32_t blockSize, const std::string& path)
{
    BlockImage im;
    im.bytes.assign(blockSize, 0);
    if (offset < fileSize) {
        im.original.resize(size_t(std::min<uint64_t>(blockSize, fileSize - offset)));
        if (!disk::readAll(fd, im.original.data(), im.original.size(), offset))
            failIo("cannot read a block", path, errno);
    }
    return im;
}

// A block put at the head of the free list: zeroed, linked, counting nothing.
inline void markFree(uint8_t* b, uint32_t blockSize, uint16_t itemSize, TableCounters& c, uint16_t n)
{
    std::memset(b, 0, blockSize);
    putLe16(b + blk::Next, c.firstFreeBlock);
    setBlockCount(b, 0, itemSize);
    c.firstFreeBlock = n;
}

} // namespace ke
