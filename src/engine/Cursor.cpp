#include "Cursor.h"

#include "CodePage.h"
#include "CursorSteps.h"
#include "EngineError.h"
#include "Scramble.h"
#include "TableAccess.h"
#include "Utf8.h"
#include "kartoteka_engine.h"

#include <algorithm>
#include <cstring>

namespace ke {

bool unlockProtected(TableFile& file, const std::vector<std::string>& passwords)
{
    // A password is typed as text; the table's key was made from its bytes in
    // the table's code page. A password that gives another key is refused
    // before any block is read, so a wrong one never shows garbage; one the
    // page cannot hold is simply not this table's password.
    const CodePage* codePage = CodePage::get(file.header().textCodePage());
    for (const std::string& typed : passwords) {
        const std::optional<std::string> native = codePage ? codePage->tryFromUtf8(typed) : std::nullopt;
        if (native && file.unlockWith(scramble::keyOf(*native)))
            return true;
        if (file.unlockWith(scramble::keyOf(typed)))
            return true;
    }
    return false;
}

Cursor::Cursor(const std::string& path, const OpenOptions& options)
    : m_file(path, !options.readOnly, !options.asStored)
{
    const TableHeader& h = m_file.header();
    if (h.encrypted && !unlockProtected(m_file, options.passwords))
        fail(KE_ERR_INSUFFICIENT_RIGHTS, path + ": the table is password-protected");
    if (options.indexRebuild) {
        if (h.fileType != KeyedTable || h.keyFields == 0)
            fail(KE_ERR_INVALID_PARAMETER, path + ": the table has no key, so it has no primary index");
    } else if (!options.readOnly) {
        // The byte said to flag referential integrity is not trusted: other
        // writers leave arbitrary values in it. Integrity rules live in the
        // validity file, whose presence makes the table read-only.
        const std::string reason = ke::readOnlyReason(path, h, m_file.counters().numRecords);
        if (!reason.empty())
            fail(KE_ERR_TABLE_READ_ONLY, path + ": " + reason);
    }
    if (!options.readOnly && !options.indexRebuild && h.fileType == KeyedTable) {
        m_keyed = std::make_unique<KeyedIndex>(m_file);
        m_file.setCompanion(m_keyed.get());
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
    m_shown.clear();
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

void Cursor::sync()
{
    if (m_file.generation() != m_seenGeneration) {
        relocate();
        m_seenGeneration = m_file.generation();
    }
}

BlockView Cursor::chainBlock(uint16_t b, uint16_t from, uint32_t steps, bool forward)
{
    if (steps > m_file.counters().fileBlocks)
        fail(KE_ERR_CORRUPT_TABLE, path() + ": the block chain loops");
    BlockView v = m_file.block(b);
    if (from && (forward ? v.prev : v.next) != from)
        fail(KE_ERR_CORRUPT_TABLE, path() + ": the block chain is broken at block " + std::to_string(b));
    return v;
}

bool Cursor::runOff(Kind end)
{
    m_pos = Pos{end};
    m_current.clear();
    m_lost = false;
    return false;
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
    for (uint32_t steps = 0; b != 0; ++steps) {
        BlockView v = chainBlock(b, from, steps, true);
        if (i < v.count) {
            land(b, i, v, record);
            return true;
        }
        from = b;
        b = v.next;
        i = 0;
    }
    return runOff(Kind::AfterLast);
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
    for (uint32_t steps = 0; b != 0; ++steps) {
        BlockView v = chainBlock(b, from, steps, false);
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
    return runOff(Kind::BeforeFirst);
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

bool Cursor::stepFromCache(int delta, uint8_t* record)
{
    if (m_pos.kind != Kind::OnRecord || m_lost || m_file.generation() != m_seenGeneration
        || !m_file.unchangedByThisProcess() || !m_file.cached(m_pos.block))
        return false;
    const BlockView v = m_file.block(m_pos.block);
    if (v.count != m_seenCount)
        return false;
    const int index = m_pos.index + delta;
    if (index >= 0 && index < v.count) {
        m_insertionPoint.reset();
        land(m_pos.block, index, v, record);
        return true;
    }
    // Into the neighbour block, when it was read from disk together with this one.
    const uint16_t to = delta > 0 ? v.next : v.prev;
    if (to == 0 || !m_file.cached(to) || !m_file.sameReadAhead(to, m_pos.block))
        return false;
    const BlockView w = m_file.block(to);
    if (w.count <= 0 || (delta > 0 ? w.prev : w.next) != m_pos.block)
        return false; // not as a chain should be: the checked path says why
    m_insertionPoint.reset();
    land(to, delta > 0 ? 0 : w.count - 1, w, record);
    return true;
}

void Cursor::next(bool lock, uint8_t* record)
{
    if (!lock && stepFromCache(1, record))
        return;
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
    if (!lock && stepFromCache(-1, record))
        return;
    reading(lock, [&] {
        sync();
        m_insertionPoint.reset();
        if (!stepBackward(record))
            fail(KE_ERR_BOF, path());
        takeLock(lock);
    });
}

} // namespace ke
