// Whole-table operations of a cursor: fresh counters and the bulk append that
// an import uses.
#include "Cursor.h"

#include "EngineError.h"
#include "kartoteka_engine.h"

#include <climits>

namespace ke {

TableCounters Cursor::freshCounters()
{
    TableFile::ReadScope scope(m_file);
    return m_file.counters();
}

void Cursor::append(const uint8_t* records, size_t count)
{
    if (count == 0)
        return;
    const size_t rs = header().recordSize;
    std::vector<uint8_t> last;
    TableFile::WriteScope scope(m_file);
    sync();
    Pos p;
    for (size_t n = 0; n < count; ++n) {
        last = normalized(records + n * rs);
        if (m_file.counters().numRecords == UINT32_MAX)
            fail(KE_ERR_TABLE_FULL, path());
        // INT_MAX: after the last record of the last block; a keyed table's record goes to its key.
        p = m_keyed ? placeByKey(last.data()) : insertAt(m_file.counters().lastBlock, INT_MAX, last.data());
    }
    if (m_keyed)
        m_keyed->countChanges(count);
    land(p.block, p.index, m_file.block(p.block), nullptr);
    scope.commit();
    m_seenGeneration = m_file.generation();
    m_insertionPoint.reset();
}

void Cursor::storeUnderKey(uint32_t key)
{
    if (readOnly())
        fail(KE_ERR_TABLE_READ_ONLY, path());
    if (!m_exclusive)
        fail(KE_ERR_TABLE_IN_USE, path() + ": the password is changed only with the table opened exclusively");
    if (key == header().key)
        return;
    TableFile::WriteScope scope(m_file);
    m_file.changeKey(key);
    scope.commit();
}

} // namespace ke
