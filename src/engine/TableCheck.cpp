// The structural check of a table file: every block is read and the header's
// counters, the chain of record blocks and the list of free blocks must agree.
// Only damage counts as a problem; what other writers of the format leave
// behind harmlessly (bytes past the last block, blocks on no list) does not.
#include "TableFile.h"

#include "EngineError.h"
#include "kartoteka_engine.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ke {

namespace {

std::string num(uint64_t n) { return std::to_string(n); }

struct RawBlock {
    bool present = false; // inside the file
    uint16_t next = 0, prev = 0;
    int count = -1;       // -1: an invalid record count
};

} // namespace

uint32_t TableFile::check(const std::function<void(const std::string&)>& report)
{
    ReadScope scope(*this);
    uint32_t problems = 0;
    auto problem = [&](const std::string& text) {
        ++problems;
        report(text);
    };
    const TableCounters& c = m_header.counters;
    const size_t bs = m_header.blockSize;
    const int rs = m_header.recordSize;
    const uint64_t size = uint64_t(m_stat.st_size);

    // Every block, read once.
    std::vector<RawBlock> blocks(size_t(c.fileBlocks) + 1);
    std::vector<uint8_t> buf(bs);
    uint16_t firstMissing = 0;
    for (uint32_t n = 1; n <= c.fileBlocks; ++n) {
        const uint64_t offset = m_header.blockOffset(uint16_t(n));
        if (offset + bs > size) {
            if (!firstMissing)
                firstMissing = uint16_t(n);
            continue;
        }
        ssize_t got;
        while ((got = ::pread(m_fd, buf.data(), bs, off_t(offset))) < 0 && errno == EINTR) {
        }
        if (got != ssize_t(bs)) {
            problem("block " + num(n) + " cannot be read" + (got < 0 ? std::string(": ") + std::strerror(errno) : std::string()));
            continue;
        }
        decode(uint16_t(n), buf.data());
        RawBlock& b = blocks[n];
        b.present = true;
        b.next = le16(buf.data() + blk::Next);
        b.prev = le16(buf.data() + blk::Prev);
        const int last = les16(buf.data() + blk::LastOffset);
        if (last < 0)
            b.count = 0;
        else if (last % rs == 0 && last / rs + 1 <= m_header.capacity())
            b.count = last / rs + 1;
    }
    if (firstMissing)
        problem("the file ends before block " + num(firstMissing) + ": the header counts " + num(c.fileBlocks)
                + " blocks, the file holds " + num(size > m_header.headerSize ? (size - m_header.headerSize) / bs : 0));

    // The chain of record blocks, forwards.
    std::vector<uint8_t> role(blocks.size(), 0); // 1 in the chain, 2 free
    uint64_t records = 0;
    uint32_t chained = 0;
    uint16_t end = 0;
    for (uint16_t b = c.firstBlock, from = 0; b != 0; from = b, b = blocks[b].next) {
        if (b > c.fileBlocks) {
            problem(from ? "block " + num(from) + " links to block " + num(b) + ", which lies outside the file"
                         : "the header's first block " + num(b) + " lies outside the file");
            break;
        }
        if (role[b]) {
            problem("the chain of record blocks runs in a circle: block " + num(from) + " links back to block " + num(b));
            break;
        }
        role[b] = 1;
        if (!blocks[b].present)
            break; // reported above
        ++chained;
        end = b;
        if (blocks[b].prev != from)
            problem("block " + num(b) + " follows block " + num(from) + " but links back to block " + num(blocks[b].prev));
        if (blocks[b].count < 0)
            problem("block " + num(b) + " has an invalid record count; its records cannot be read");
        else
            records += uint64_t(blocks[b].count);
    }
    if (c.firstBlock == 0 && (c.lastBlock != 0 || c.numRecords != 0))
        problem("the header names no first block, yet counts " + num(c.numRecords) + " records");
    if (end != c.lastBlock)
        problem("the header names block " + num(c.lastBlock) + " as the last, but the chain of record blocks ends at block "
                + num(end));
    if (records != c.numRecords)
        problem("the header counts " + num(c.numRecords) + " records, the blocks of the chain hold " + num(records));
    if (chained != c.usedBlocks)
        problem("the header counts " + num(c.usedBlocks) + " blocks in use, the chain of record blocks has " + num(chained));

    // The list of free blocks.
    for (uint16_t b = c.firstFreeBlock, from = 0; b != 0; from = b, b = blocks[b].next) {
        if (b > c.fileBlocks) {
            problem(from ? "free block " + num(from) + " links to block " + num(b) + ", which lies outside the file"
                         : "the header's first free block " + num(b) + " lies outside the file");
            break;
        }
        if (role[b] == 1) {
            problem("block " + num(b) + " is on the list of free blocks and holds records of the chain");
            break;
        }
        if (role[b] == 2) {
            problem("the list of free blocks runs in a circle at block " + num(b));
            break;
        }
        role[b] = 2;
        if (!blocks[b].present)
            break;
        if (blocks[b].count != 0)
            problem("free block " + num(b) + " claims to hold records");
    }
    return problems;
}

} // namespace ke
