#include "Cursor.h"

#include "CodePage.h"
#include "EngineError.h"
#include "Scramble.h"
#include "Utf8.h"
#include "kartoteka_engine.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>

namespace ke {

namespace {

constexpr int kLast = 1 << 30; // "the last record of the block"

std::string upperAscii(std::string s)
{
    for (char& ch : s)
        if (ch >= 'a' && ch <= 'z')
            ch = char(ch - 32);
    return s;
}

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// True when a file of the table's base name with a companion extension lies beside it.
bool hasCompanionFile(const std::string& path)
{
    auto slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    auto dot = file.rfind('.');
    std::string base = dot == std::string::npos ? file : file.substr(0, dot);
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return false;
    bool found = false;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        auto edot = name.rfind('.');
        if (edot == std::string::npos)
            continue;
        if (isCompanionExtension(name.substr(edot + 1)) && equalsIgnoringCase(name.substr(0, edot), base)) {
            found = true;
            break;
        }
    }
    ::closedir(d);
    return found;
}

} // namespace

bool isCompanionExtension(const std::string& extension)
{
    const std::string e = upperAscii(extension);
    if (e == "PX" || e == "VAL")
        return true;
    if (e.size() == 3 && (e[0] == 'X' || e[0] == 'Y')) {
        if (e[1] == 'G')
            return isHex(e[2]);
        return isHex(e[1]) && isHex(e[2]);
    }
    return false;
}

bool unlockProtected(TableFile& file, const std::vector<std::string>& passwords)
{
    // A password is typed as text; the table's key was made from its bytes in
    // the table's code page. A password that gives another key is refused
    // before any block is read, so a wrong one never shows garbage.
    const CodePage* codePage = CodePage::get(file.header().textCodePage());
    for (const std::string& typed : passwords) {
        if (codePage && file.unlockWith(scramble::keyOf(codePage->fromUtf8(typed))))
            return true;
        if (file.unlockWith(scramble::keyOf(typed)))
            return true;
    }
    return false;
}

Cursor::Cursor(const std::string& path, const OpenOptions& options)
    : m_file(path, !options.readOnly)
{
    const TableHeader& h = m_file.header();
    if (h.encrypted && !unlockProtected(m_file, options.passwords))
        fail(KE_ERR_INSUFFICIENT_RIGHTS, path + ": the table is password-protected");
    if (!options.readOnly) {
        if (h.fileType == KeyedTable || h.keyFields > 0)
            fail(KE_ERR_TABLE_READ_ONLY, path + ": the table has a primary key");
        if (h.writeProtected)
            fail(KE_ERR_TABLE_READ_ONLY, path + ": the table is write-protected");
        // The byte said to flag referential integrity is not trusted: other
        // writers leave arbitrary values in it. Integrity rules live in the
        // validity file, whose presence makes the table read-only below.
        if (hasCompanionFile(path))
            fail(KE_ERR_TABLE_READ_ONLY, path + ": the table has index or validity files");
    }
    m_file.lockShare(options.exclusive);
    m_exclusive = options.exclusive;
    m_seenGeneration = m_file.generation();
}

Cursor::~Cursor() = default;

void Cursor::blankRecord(uint8_t* record) const
{
    std::memset(record, 0, header().recordSize);
}

uint64_t Cursor::hashOf(const uint8_t* record) const
{
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < header().recordSize; ++i) {
        h ^= record[i];
        h *= 1099511628211ull;
    }
    return h;
}

std::vector<uint8_t> Cursor::normalized(const uint8_t* record) const
{
    std::vector<uint8_t> r(record, record + header().recordSize);
    // Alpha fields are NUL-padded: nothing may follow the terminator.
    for (const auto& f : header().fields) {
        if (f.type != KE_FIELD_ALPHA)
            continue;
        uint8_t* p = r.data() + f.offset;
        auto* nul = static_cast<uint8_t*>(std::memchr(p, 0, f.size));
        if (nul)
            std::memset(nul, 0, size_t(p + f.size - nul));
    }
    return r;
}

void Cursor::land(uint16_t block, int index, const BlockView& view, uint8_t* record)
{
    const size_t rs = header().recordSize;
    m_pos = Pos{Kind::OnRecord, block, index, view.prev, view.next};
    m_seenCount = view.count;
    m_lost = false;
    const uint8_t* at = view.records + size_t(index) * rs;
    m_current.assign(at, at + rs);
    if (index > 0)
        m_before.assign(at - rs, at);
    else
        m_before.clear();
    if (index + 1 < view.count)
        m_after.assign(at + rs, at + 2 * rs);
    else
        m_after.clear();
    if (record)
        std::memcpy(record, m_current.data(), rs);
}

bool Cursor::changedInPlace(const BlockView& v) const
{
    // Same count, same neighbours: the record in the slot is the one shown,
    // changed by another writer. Anything else means the slot holds another record.
    const size_t rs = header().recordSize;
    const int i = m_pos.index;
    if (v.count != m_seenCount || i >= v.count)
        return false;
    auto same = [&](int j, const std::vector<uint8_t>& bytes) {
        if (j < 0 || j >= v.count)
            return bytes.empty();
        return !bytes.empty() && std::memcmp(v.records + size_t(j) * rs, bytes.data(), rs) == 0;
    };
    return same(i - 1, m_before) && same(i + 1, m_after);
}

void Cursor::loseRecord(const BlockView& v)
{
    // Stand where a Delete of the record would have left the cursor: on the
    // crack between the neighbours it had, where they can still be found.
    const size_t rs = header().recordSize;
    int crack = std::min(m_pos.index, v.count);
    auto find = [&](const std::vector<uint8_t>& bytes) {
        for (int j = 0; !bytes.empty() && j < v.count; ++j)
            if (std::memcmp(v.records + size_t(j) * rs, bytes.data(), rs) == 0)
                return j;
        return -1;
    };
    if (int j = find(m_before); j >= 0)
        crack = j + 1;
    else if (int k = find(m_after); k >= 0)
        crack = k;
    m_pos.kind = Kind::Crack;
    m_pos.index = crack;
    m_current.clear();
    m_lost = true;
}

void Cursor::failIfLost()
{
    if (m_lost)
        fail(KE_ERR_RECORD_DELETED, path() + ": the record was deleted by another user");
}

void Cursor::relocate()
{
    if (m_pos.kind == Kind::BeforeFirst || m_pos.kind == Kind::AfterLast)
        return;
    const size_t rs = header().recordSize;
    const TableCounters& c = m_file.counters();
    const bool onRecord = m_pos.kind == Kind::OnRecord;
    if (c.firstBlock == 0 || c.numRecords == 0) {
        m_pos = Pos{};
        m_current.clear();
        m_lost = onRecord;
        return;
    }
    // The record shown, by its bytes (identical records are interchangeable),
    // searched outwards from where it was.
    auto findIn = [&](uint16_t b, int near) -> bool {
        if (m_current.empty() || !m_file.isLive(b))
            return false;
        BlockView v = m_file.block(b);
        near = std::clamp(near, 0, std::max(v.count - 1, 0));
        for (int d = 0; d <= v.count; ++d) {
            for (int j : {near - d, near + d}) {
                if (j >= 0 && j < v.count && std::memcmp(v.records + size_t(j) * rs, m_current.data(), rs) == 0) {
                    land(b, j, v, nullptr);
                    return true;
                }
            }
        }
        return false;
    };
    if (!m_file.isLive(m_pos.block)) {
        // The block left the chain: the record may have gone to a neighbour
        // (a takeover moves a block's records into the one before it).
        if (onRecord && (findIn(m_pos.nextBlock, 0) || findIn(m_pos.prevBlock, kLast)))
            return;
        m_current.clear();
        m_lost = onRecord;
        if (m_file.isLive(m_pos.nextBlock))
            m_pos = Pos{Kind::Crack, m_pos.nextBlock, 0, 0, 0};
        else if (m_file.isLive(m_pos.prevBlock))
            m_pos = Pos{Kind::Crack, m_pos.prevBlock, m_file.block(m_pos.prevBlock).count, 0, 0};
        else
            m_pos = Pos{};
        return;
    }
    BlockView v = m_file.block(m_pos.block);
    if (onRecord) {
        if (findIn(m_pos.block, m_pos.index))
            return;
        if (changedInPlace(v)) {
            land(m_pos.block, m_pos.index, v, nullptr);
            return;
        }
        // A split moves records into the block after; a takeover into the one before.
        if (findIn(v.next, 0) || findIn(v.prev, kLast))
            return;
        loseRecord(v);
    }
    m_pos.index = std::min(m_pos.index, v.count);
    m_pos.prevBlock = v.prev;
    m_pos.nextBlock = v.next;
}

void Cursor::sync()
{
    if (m_file.generation() != m_seenGeneration) {
        relocate();
        m_seenGeneration = m_file.generation();
    }
}

bool Cursor::stepForward(uint8_t* record)
{
    const TableCounters& c = m_file.counters();
    uint16_t b;
    int i;
    switch (m_pos.kind) {
    case Kind::AfterLast:
        return false;
    case Kind::BeforeFirst:
        b = c.firstBlock;
        i = 0;
        break;
    case Kind::OnRecord:
        b = m_pos.block;
        i = m_pos.index + 1;
        break;
    default:
        b = m_pos.block;
        i = m_pos.index;
        break;
    }
    uint16_t from = 0;
    for (uint32_t guard = 0; b != 0; ++guard) {
        if (guard > c.fileBlocks)
            fail(KE_ERR_CORRUPT_TABLE, path() + ": the block chain loops");
        BlockView v = m_file.block(b);
        if (from && v.prev != from)
            fail(KE_ERR_CORRUPT_TABLE, path() + ": the block chain is broken at block " + std::to_string(b));
        if (i < v.count) {
            land(b, i, v, record);
            return true;
        }
        from = b;
        b = v.next;
        i = 0;
    }
    m_pos = Pos{Kind::AfterLast};
    m_current.clear();
    m_lost = false;
    return false;
}

bool Cursor::stepBackward(uint8_t* record)
{
    const TableCounters& c = m_file.counters();
    uint16_t b;
    int i;
    switch (m_pos.kind) {
    case Kind::BeforeFirst:
        return false;
    case Kind::AfterLast:
        b = c.lastBlock;
        i = kLast;
        break;
    default:
        b = m_pos.block;
        i = m_pos.index - 1;
        break;
    }
    uint16_t from = 0;
    for (uint32_t guard = 0; b != 0; ++guard) {
        if (guard > c.fileBlocks)
            fail(KE_ERR_CORRUPT_TABLE, path() + ": the block chain loops");
        BlockView v = m_file.block(b);
        if (from && v.next != from)
            fail(KE_ERR_CORRUPT_TABLE, path() + ": the block chain is broken at block " + std::to_string(b));
        if (i == kLast)
            i = v.count - 1;
        if (i >= 0 && i < v.count) {
            land(b, i, v, record);
            return true;
        }
        from = b;
        b = v.prev;
        i = kLast;
    }
    m_pos = Pos{Kind::BeforeFirst};
    m_current.clear();
    m_lost = false;
    return false;
}

void Cursor::takeLock(bool lock)
{
    if (!lock)
        return;
    const uint64_t h = hashOf(m_current.data());
    if (m_lockHash && *m_lockHash == h)
        return;
    if (!m_file.tryLockRecord(h))
        fail(KE_ERR_RECORD_LOCKED, path());
    if (m_lockHash)
        m_file.unlockRecord(*m_lockHash);
    m_lockHash = h;
}

void Cursor::releaseLock()
{
    if (!m_lockHash)
        fail(KE_ERR_NOT_LOCKED, path());
    m_file.unlockRecord(*m_lockHash);
    m_lockHash.reset();
}

void Cursor::setToBegin()
{
    m_lost = false;
    m_pos = Pos{Kind::BeforeFirst};
    m_current.clear();
    m_insertionPoint.reset();
}

void Cursor::setToEnd()
{
    m_lost = false;
    m_pos = Pos{Kind::AfterLast};
    m_current.clear();
    m_insertionPoint.reset();
}

template <class F>
void Cursor::reading(bool lock, F&& body)
{
    // A locked read always takes the table lock, so that the record lock is
    // taken on the record as it is on disk.
    const uint16_t cached = (!lock && m_pos.kind != Kind::BeforeFirst && m_pos.kind != Kind::AfterLast) ? m_pos.block : 0;
    try {
        TableFile::ReadScope scope(m_file, cached);
        body();
        return;
    } catch (const TableFile::RetryLocked&) {
    }
    TableFile::ReadScope scope(m_file);
    body();
}

void Cursor::current(bool lock, uint8_t* record)
{
    reading(lock, [&] {
        sync();
        if (m_pos.kind != Kind::OnRecord) {
            failIfLost();
            fail(KE_ERR_NO_CURRENT_RECORD, path());
        }
        BlockView v = m_file.block(m_pos.block);
        land(m_pos.block, m_pos.index, v, record);
        takeLock(lock);
    });
}

void Cursor::next(bool lock, uint8_t* record)
{
    reading(lock, [&] {
        sync();
        m_insertionPoint.reset();
        if (!stepForward(record))
            fail(KE_ERR_EOF, path());
        takeLock(lock);
    });
}

void Cursor::prior(bool lock, uint8_t* record)
{
    reading(lock, [&] {
        sync();
        m_insertionPoint.reset();
        if (!stepBackward(record))
            fail(KE_ERR_BOF, path());
        takeLock(lock);
    });
}

void Cursor::makeInsertionPoint()
{
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
        Pos p = insertAt(b, i, rec.data());
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
        BlockView v = m_file.block(m_pos.block);
        checkRecordFree(v.records + size_t(m_pos.index) * rs);
        uint8_t* blk = m_file.writableBlock(m_pos.block);
        std::memcpy(blk + blk::Records + size_t(m_pos.index) * rs, rec.data(), rs);
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

void Cursor::remove()
{
    const size_t rs = header().recordSize;
    TableFile::WriteScope scope(m_file);
    sync();
    if (m_pos.kind != Kind::OnRecord)
        fail(m_lost || m_pos.kind == Kind::Crack ? KE_ERR_RECORD_NOT_FOUND : KE_ERR_NO_CURRENT_RECORD, path());
    const uint16_t b = m_pos.block;
    const int i = m_pos.index;
    BlockView v = m_file.block(b);
    checkRecordFree(v.records + size_t(i) * rs);
    const uint64_t deletedHash = hashOf(v.records + size_t(i) * rs);

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
