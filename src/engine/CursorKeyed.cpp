// Changes to a keyed table: a new record goes where its key belongs, a
// changed key moves its record there, a key stored already is refused, and
// the primary index follows every change of the blocks (KeyedIndex).
#include "Cursor.h"

#include "EngineError.h"
#include "kartoteka_engine.h"

#include <cstring>

namespace ke {

void Cursor::refuseUnknownOrder(const char* what) const
{
    fail(KE_ERR_KEY_ORDER_UNKNOWN, path() + ": records cannot be " + what + ": " + m_keyed->key().unknownOrder
                                       + ". Records can still be changed, apart from their key, and deleted.");
}

Cursor::Pos Cursor::placeByKey(const uint8_t* rec)
{
    const KeyOrder& key = m_keyed->key();
    if (!key.ordered())
        refuseUnknownOrder("added");
    m_keyed->sync();
    const TableCounters& c = m_file.counters();
    if (c.firstBlock == 0) {
        const Pos p = insertAt(0, 0, rec);
        m_keyed->sync();
        return p;
    }
    const uint16_t b = m_keyed->blockFor(rec);
    const size_t rs = header().recordSize;
    const BlockView v = m_file.block(b);
    int lo = 0, hi = v.count; // the first record whose key is above the new one
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (key.compare(v.records + size_t(mid) * rs, rec) <= 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    // The records that will stand before and after it, in this block or its neighbours.
    auto keyOf = [&](uint16_t block, bool last) {
        const BlockView w = m_file.block(block);
        const uint8_t* r = w.records + (last ? size_t(w.count - 1) * rs : 0);
        return std::vector<uint8_t>(r, r + key.length);
    };
    const std::vector<uint8_t> before = lo > 0 ? std::vector<uint8_t>(v.records + size_t(lo - 1) * rs, v.records + size_t(lo - 1) * rs + key.length)
                                       : v.prev ? keyOf(v.prev, true) : std::vector<uint8_t>();
    const std::vector<uint8_t> after = lo < v.count ? std::vector<uint8_t>(v.records + size_t(lo) * rs, v.records + size_t(lo) * rs + key.length)
                                       : v.next ? keyOf(v.next, false) : std::vector<uint8_t>();
    if ((!before.empty() && key.sameKey(before.data(), rec)) || (!after.empty() && key.sameKey(after.data(), rec)))
        fail(KE_ERR_KEY_VIOLATION, path() + ": a record with the key " + key.describe(header(), rec) + " is stored already");
    if ((!before.empty() && key.compare(before.data(), rec) > 0) || (!after.empty() && key.compare(after.data(), rec) < 0))
        fail(KE_ERR_CORRUPT_TABLE, path() + ": the primary index leads the key " + key.describe(header(), rec)
                                       + " to block " + std::to_string(b) + ", where it is out of order");
    const Pos p = insertAt(b, lo, rec);
    m_keyed->sync();
    return p;
}

Cursor::Pos Cursor::moveToKey(const uint8_t* old, const uint8_t* rec)
{
    const KeyOrder& key = m_keyed->key();
    if (!key.ordered())
        refuseUnknownOrder("given a new key");
    int changedFields = 0;
    for (const FieldInfo& f : key.fields)
        changedFields += std::memcmp(old + f.offset, rec + f.offset, f.size) != 0 ? 1 : 0;
    removeAt(m_pos.block, m_pos.index);
    const Pos p = placeByKey(rec);
    m_keyed->countChanges(changedFields);
    return p;
}

} // namespace ke
