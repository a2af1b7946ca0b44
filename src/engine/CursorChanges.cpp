// Changes through a cursor: insert, modify and delete, each one journalled change.
#include "Cursor.h"

#include "CursorSteps.h"
#include "EngineError.h"
#include "kartoteka_engine.h"

#include <algorithm>
#include <cstring>

namespace ke {

void Cursor::makeInsertionPoint()
{
    if (m_keyed && !m_keyed->key().ordered())
        refuseUnknownOrder("added");
    TableFile::ReadScope scope(m_file);
    sync();
    m_insertionPoint = m_pos;
    m_insertionGeneration = m_file.generation();
}

void Cursor::checkRecordFree(const uint8_t* stored)
{
    const uint64_t h = hashOf(stored);
    if (m_lockHash && *m_lockHash == h)
        return;
    if (m_file.lockedByOther(h))
        fail(KE_ERR_RECORD_LOCKED, path());
}

Cursor::Pos Cursor::insertAt(uint16_t b, int i, const uint8_t* rec)
{
    const size_t rs = header().recordSize;
    const int cap = header().capacity();
    TableCounters& c = m_file.txnCounters();
    auto putInto = [&](uint16_t n, int at) {
        uint8_t* blk = m_file.writableBlock(n);
        BlockView v = m_file.block(n);
        const int count = v.count;
        uint8_t* recs = blk + blk::Records;
        std::memmove(recs + size_t(at + 1) * rs, recs + size_t(at) * rs, size_t(count - at) * rs);
        std::memcpy(recs + size_t(at) * rs, rec, rs);
        setBlockCount(blk, count + 1, uint16_t(rs));
    };
    ++c.numRecords;
    if (c.firstBlock == 0 || b == 0) {
        const uint16_t n = m_file.allocateBlock();
        uint8_t* blk = m_file.writableBlock(n);
        putLe16(blk + blk::Next, 0);
        putLe16(blk + blk::Prev, 0);
        std::memcpy(blk + blk::Records, rec, rs);
        setBlockCount(blk, 1, uint16_t(rs));
        c.firstBlock = c.lastBlock = n;
        c.usedBlocks = 1;
        return Pos{Kind::OnRecord, n, 0};
    }
    BlockView v = m_file.block(b);
    if (i == kLast || i > v.count)
        i = v.count;
    if (v.count < cap) {
        putInto(b, i);
        return Pos{Kind::OnRecord, b, i};
    }
    // The block is full: link a new block in after it.
    const uint16_t n = m_file.allocateBlock();
    v = m_file.block(b);
    const uint16_t after = v.next;
    uint8_t* nb = m_file.writableBlock(n);
    putLe16(nb + blk::Prev, b);
    putLe16(nb + blk::Next, after);
    setBlockCount(nb, 0, uint16_t(rs));
    uint8_t* bb = m_file.writableBlock(b);
    putLe16(bb + blk::Next, n);
    if (after)
        putLe16(m_file.writableBlock(after) + blk::Prev, n);
    else
        c.lastBlock = n;
    ++c.usedBlocks;
    if (after == 0 && i == v.count) {
        // Appending at the end: the new block takes just the new record.
        putInto(n, 0);
        return Pos{Kind::OnRecord, n, 0};
    }
    // Split half and half, then insert into the half the position falls in.
    const int keep = v.count / 2;
    const int moved = v.count - keep;
    std::memcpy(nb + blk::Records, bb + blk::Records + size_t(keep) * rs, size_t(moved) * rs);
    setBlockCount(nb, moved, uint16_t(rs));
    std::memset(bb + blk::Records + size_t(keep) * rs, 0, size_t(moved) * rs);
    setBlockCount(bb, keep, uint16_t(rs));
    if (i <= keep) {
        putInto(b, i);
        return Pos{Kind::OnRecord, b, i};
    }
    putInto(n, i - keep);
    return Pos{Kind::OnRecord, n, i - keep};
}

void Cursor::insert(const uint8_t* record, bool lock)
{
    const std::vector<uint8_t> rec = normalized(record);
    {
        TableFile::WriteScope scope(m_file);
        const bool pointValid = m_insertionPoint && m_insertionGeneration == m_file.generation();
        sync();
        Pos target = pointValid ? *m_insertionPoint : m_pos;
        const TableCounters& c = m_file.counters();
        uint16_t b = 0;
        int i = 0;
        switch (target.kind) {
        case Kind::BeforeFirst:
            b = c.firstBlock;
            i = 0;
            break;
        case Kind::AfterLast:
            b = c.lastBlock;
            i = kLast;
            break;
        default:
            b = target.block;
            i = target.index;
            break;
        }
        // A keyed table puts the record where its key belongs, whatever the insertion point.
        Pos p = m_keyed ? placeByKey(rec.data()) : insertAt(b, i, rec.data());
        if (m_keyed)
            m_keyed->countChanges(1);
        land(p.block, p.index, m_file.block(p.block), nullptr);
        scope.commit();
        m_seenGeneration = m_file.generation();
        m_insertionPoint.reset();
    }
    takeLock(lock);
}

void Cursor::modify(const uint8_t* record, bool releaseLock)
{
    const std::vector<uint8_t> rec = normalized(record);
    const size_t rs = header().recordSize;
    {
        TableFile::WriteScope scope(m_file);
        sync();
        if (m_pos.kind != Kind::OnRecord) {
            failIfLost();
            fail(m_pos.kind == Kind::Crack ? KE_ERR_RECORD_NOT_FOUND : KE_ERR_NO_CURRENT_RECORD, path());
        }
        failIfUnseen(KE_ERR_RECORD_CHANGED, "read it again before changing it");
        BlockView v = m_file.block(m_pos.block);
        const uint8_t* stored = v.records + size_t(m_pos.index) * rs;
        checkRecordFree(stored);
        if (m_keyed && !m_keyed->key().sameKey(stored, rec.data())) {
            // A new key moves the record to its place, as a delete and an insert in one change.
            const std::vector<uint8_t> old(stored, stored + rs);
            const Pos p = moveToKey(old.data(), rec.data());
            land(p.block, p.index, m_file.block(p.block), nullptr);
        } else {
            uint8_t* blk = m_file.writableBlock(m_pos.block);
            std::memcpy(blk + blk::Records + size_t(m_pos.index) * rs, rec.data(), rs);
        }
        scope.commit();
        m_current = rec;
        m_seenGeneration = m_file.generation();
    }
    if (m_lockHash) {
        m_file.unlockRecord(*m_lockHash);
        m_lockHash.reset();
        if (!releaseLock)
            takeLock(true);
    }
}

Cursor::Pos Cursor::removeAt(uint16_t b, int i)
{
    const size_t rs = header().recordSize;
    BlockView v = m_file.block(b);
    TableCounters& c = m_file.txnCounters();
    uint8_t* blk = m_file.writableBlock(b);
    uint8_t* recs = blk + blk::Records;
    std::memmove(recs + size_t(i) * rs, recs + size_t(i + 1) * rs, size_t(v.count - i - 1) * rs);
    std::memset(recs + size_t(v.count - 1) * rs, 0, rs);
    setBlockCount(blk, v.count - 1, uint16_t(rs));
    --c.numRecords;

    Pos after{Kind::Crack, b, i};
    if (v.count - 1 == 0) {
        const uint16_t prev = v.prev, next = v.next;
        if (b == c.firstBlock && next != 0) {
            // The first block stays first: it takes over the next block's records.
            BlockView nv = m_file.block(next);
            const uint16_t nextNext = nv.next;
            std::memcpy(recs, nv.records, size_t(nv.count) * rs);
            setBlockCount(blk, nv.count, uint16_t(rs));
            putLe16(blk + blk::Next, nextNext);
            if (nextNext)
                putLe16(m_file.writableBlock(nextNext) + blk::Prev, b);
            else
                c.lastBlock = b;
            m_file.freeBlock(next);
            --c.usedBlocks;
            after = Pos{Kind::Crack, b, 0};
        } else if (prev == 0 && next == 0) {
            // The table is now empty.
            c.firstBlock = c.lastBlock = 0;
            c.usedBlocks = 0;
            if (c.fileBlocks == 1 && c.firstFreeBlock == 0) {
                c.fileBlocks = c.maxBlocks = 0; // back to a header-only file
            } else {
                m_file.freeBlock(b);
            }
            after = Pos{};
        } else {
            if (prev)
                putLe16(m_file.writableBlock(prev) + blk::Next, next);
            else
                c.firstBlock = next;
            if (next)
                putLe16(m_file.writableBlock(next) + blk::Prev, prev);
            else
                c.lastBlock = prev;
            m_file.freeBlock(b);
            --c.usedBlocks;
            if (next)
                after = Pos{Kind::Crack, next, 0};
            else
                after = Pos{Kind::Crack, prev, m_file.block(prev).count};
        }
    }
    if (after.kind == Kind::Crack) {
        BlockView av = m_file.block(after.block);
        after.prevBlock = av.prev;
        after.nextBlock = av.next;
    }
    return after;
}

void Cursor::remove()
{
    const size_t rs = header().recordSize;
    TableFile::WriteScope scope(m_file);
    sync();
    if (m_pos.kind != Kind::OnRecord)
        fail(m_lost || m_pos.kind == Kind::Crack ? KE_ERR_RECORD_NOT_FOUND : KE_ERR_NO_CURRENT_RECORD, path());
    failIfUnseen(KE_ERR_RECORD_NOT_FOUND, "nothing was deleted");
    const BlockView v = m_file.block(m_pos.block);
    checkRecordFree(v.records + size_t(m_pos.index) * rs);
    const uint64_t deletedHash = hashOf(v.records + size_t(m_pos.index) * rs);
    const Pos after = removeAt(m_pos.block, m_pos.index);
    if (m_keyed)
        m_keyed->countChanges(1);
    scope.commit();
    m_pos = after;
    m_current.clear();
    m_lost = false;
    m_seenGeneration = m_file.generation();
    m_insertionPoint.reset();
    if (m_lockHash && *m_lockHash == deletedHash) {
        m_file.unlockRecord(*m_lockHash);
        m_lockHash.reset();
    }
}

} // namespace ke
