// Finding a cursor's record again after the table changed under it: the
// record is an identity (its bytes), not a slot.
#include "Cursor.h"

#include "CursorSteps.h"
#include "EngineError.h"
#include "kartoteka_engine.h"

#include <algorithm>
#include <cstring>

namespace ke {

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

void Cursor::follow(uint16_t block, int index, const BlockView& view)
{
    std::vector<uint8_t> seen = m_shown.empty() ? std::move(m_current) : std::move(m_shown);
    land(block, index, view, nullptr);
    if (seen != m_current)
        m_shown = std::move(seen);
}

void Cursor::failIfUnseen(uint16_t code, const char* what) const
{
    if (!m_shown.empty())
        fail(code, path() + ": the record was changed by another user; " + what);
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
                    follow(b, j, v);
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
            follow(m_pos.block, m_pos.index, v);
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

} // namespace ke
