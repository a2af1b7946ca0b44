// An independent structural check of a table file, written straight from the
// file layout (it shares no code with the engine's reader): header counters,
// the block chain, the free list and the file length must all agree.
#pragma once

#include <QFile>
#include <QString>

#include <cstdint>
#include <set>
#include <vector>

namespace enginetest {

// `records`, when given, gets the records of the chain in order.
inline QString checkStructure(const QByteArray& data, std::vector<QByteArray>* records = nullptr)
{
    auto u8 = [&](qsizetype o) { return uint8_t(data.at(o)); };
    auto u16 = [&](qsizetype o) { return uint16_t(u8(o) | (u8(o + 1) << 8)); };
    auto u32 = [&](qsizetype o) { return uint32_t(u16(o)) | (uint32_t(u16(o + 2)) << 16); };
    if (data.size() < 0x78)
        return "file too short";
    const int recordSize = u16(0), headerSize = u16(2), blockSize = u8(5) * 1024;
    const uint32_t numRecords = u32(6);
    const int usedBlocks = u16(0x0A), fileBlocks = u16(0x0C), first = u16(0x0E), last = u16(0x10);
    const int maxBlocks = u16(0x3A), freeHead = u16(0x4D);
    if (data.size() != qsizetype(headerSize) + qsizetype(fileBlocks) * blockSize)
        return QString("file length %1, expected %2").arg(data.size()).arg(headerSize + fileBlocks * blockSize);
    if (maxBlocks != fileBlocks)
        return QString("maxBlocks %1 != fileBlocks %2").arg(maxBlocks).arg(fileBlocks);
    auto blockAt = [&](int n) { return qsizetype(headerSize) + qsizetype(n - 1) * blockSize; };
    std::set<int> seen;
    uint32_t chained = 0;
    int chain = 0, prev = 0;
    for (int b = first; b != 0;) {
        if (b < 1 || b > fileBlocks || !seen.insert(b).second)
            return QString("bad chain at block %1").arg(b);
        const qsizetype o = blockAt(b);
        if (u16(o + 2) != prev)
            return QString("block %1: prev %2, expected %3").arg(b).arg(u16(o + 2)).arg(prev);
        const int lastOff = int16_t(u16(o + 4));
        if (lastOff < 0 || lastOff % recordSize)
            return QString("block %1 in chain has offset word %2").arg(b).arg(lastOff);
        const int count = lastOff / recordSize + 1;
        if (count > (blockSize - 6) / recordSize)
            return QString("block %1 overfull").arg(b);
        for (qsizetype i = o + 6 + qsizetype(count) * recordSize; i < o + blockSize; ++i)
            if (data.at(i) != 0)
                return QString("block %1 has junk after its records").arg(b);
        for (int r = 0; records && r < count; ++r)
            records->push_back(data.mid(o + 6 + qsizetype(r) * recordSize, recordSize));
        chained += uint32_t(count);
        ++chain;
        prev = b;
        b = u16(o);
    }
    if (prev != last)
        return QString("lastBlock %1, chain ends at %2").arg(last).arg(prev);
    if (chained != numRecords)
        return QString("numRecords %1, chain holds %2").arg(numRecords).arg(chained);
    if (chain != usedBlocks)
        return QString("usedBlocks %1, chain has %2").arg(usedBlocks).arg(chain);
    if (numRecords == 0 && (first != 0 || last != 0))
        return "empty table with a chain";
    if (numRecords > 0 && first != 1)
        return QString("first block is %1, not 1").arg(first);
    int freeCount = 0;
    for (int b = freeHead; b != 0; ++freeCount) {
        if (b < 1 || b > fileBlocks || !seen.insert(b).second)
            return QString("bad free list at block %1").arg(b);
        if (int16_t(u16(blockAt(b) + 4)) >= 0)
            return QString("free block %1 claims records").arg(b);
        b = u16(blockAt(b));
    }
    if (chain + freeCount != fileBlocks)
        return QString("%1 chain + %2 free blocks, file has %3").arg(chain).arg(freeCount).arg(fileBlocks);
    return {};
}

inline QString checkStructure(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "cannot open " + path;
    return checkStructure(f.readAll());
}

} // namespace enginetest
