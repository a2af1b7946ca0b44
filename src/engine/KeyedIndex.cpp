#include "KeyedIndex.h"

#include "BlockView.h"
#include "IndexBuilder.h"
#include "EngineError.h"
#include "kartoteka_engine.h"

#include <algorithm>

namespace ke {

KeyedIndex::KeyedIndex(TableFile& table)
    : m_table(table), m_key(KeyOrder::of(table.header())), m_file(indexPathFor(table.path()), true),
      m_tree(m_file, table.path())
{
    m_file.refresh(table.header());
    if (!m_file.mismatch().empty())
        fail(KE_ERR_TABLE_READ_ONLY, table.path() + ": its primary index does not belong to it: " + m_file.mismatch());
}

void KeyedIndex::begin()
{
    m_file.refresh(m_table.header());
    m_known.clear();
    m_dirty.clear();
    m_file.begin();
}

void KeyedIndex::end()
{
    m_rebuild = false;
    m_file.end();
    m_known.clear();
    m_dirty.clear();
}

KeyedIndex::Known KeyedIndex::stateOf(const uint8_t* b) const
{
    Known k;
    const int last = les16(b + blk::LastOffset);
    const int rs = m_table.header().recordSize;
    if (last >= 0 && last % rs == 0) {
        k.count = last / rs + 1;
        k.firstKey.assign(b + blk::Records, b + blk::Records + m_key.length);
    }
    return k;
}

void KeyedIndex::blockWritten(uint16_t n, const uint8_t* before)
{
    if (!m_file.changing())
        return;
    if (before && !m_known.count(n))
        m_known[n] = before == kNewBlock ? Known {} : stateOf(before);
    m_dirty.insert(n);
}

void KeyedIndex::sync()
{
    // The blocks as they stand now; a block in the record chain is never empty.
    auto current = [&](uint16_t n) {
        const BlockView v = m_table.block(n);
        Known k;
        k.count = v.count;
        if (v.count > 0)
            k.firstKey.assign(v.records, v.records + m_key.length);
        return k;
    };
    std::map<uint16_t, Known> now, was;
    for (const uint16_t n : m_dirty) {
        now[n] = current(n);
        was[n] = m_known[n];
    }
    for (const auto& [n, before] : was)
        if (before.count > 0 && now[n].count == 0)
            m_tree.blockRemoved(n, before.firstKey.data(), before.count);
    for (const auto& [n, before] : was)
        if (before.count > 0 && now[n].count > 0 && (before.count != now[n].count || before.firstKey != now[n].firstKey))
            m_tree.blockChanged(n, before.firstKey.data(), before.count, now[n].firstKey.data(), now[n].count);
    // New blocks in chain order: each after its predecessor, which the index has by then.
    std::vector<uint16_t> pending;
    for (const auto& [n, before] : was)
        if (before.count == 0 && now[n].count > 0)
            pending.push_back(n);
    while (!pending.empty()) {
        bool placed = false;
        for (size_t i = 0; i < pending.size(); ++i) {
            const uint16_t n = pending[i];
            const uint16_t after = m_table.block(n).prev;
            if (std::find(pending.begin(), pending.end(), after) != pending.end())
                continue;
            const Known pred = after ? current(after) : Known {};
            m_tree.blockAdded(n, after, pred.firstKey.data(), pred.count, now[n].firstKey.data(), now[n].count);
            pending.erase(pending.begin() + long(i));
            placed = true;
            break;
        }
        if (!placed)
            fail(KE_ERR_INTERNAL, m_table.path() + ": new blocks that follow no block of the chain");
    }
    for (auto& [n, k] : now)
        m_known[n] = std::move(k);
    m_dirty.clear();
}

Companion::Change KeyedIndex::prepare()
{
    Change c;
    c.path = m_file.path();
    c.fd = m_file.fd();
    IndexFile::Pending p;
    if (m_rebuild) {
        IndexHeader& h = m_file.txnHeader();
        countChanges(1);
        p = m_file.pendingWhole(buildIndex(m_table.header(), chainOf(m_table, m_key.length),
                                           c.path.substr(c.path.rfind('/') + 1), h.changeCount));
    } else {
        sync();
        p = m_file.pending();
    }
    if (!p.changed)
        return c;
    c.oldSize = p.oldSize;
    c.newSize = p.newSize;
    c.originals = std::move(p.originals);
    c.writes = std::move(p.writes);
    return c;
}

void KeyedIndex::committed()
{
    m_file.committed();
}

uint16_t KeyedIndex::blockFor(const uint8_t* key)
{
    return m_tree.dataBlockFor(key);
}

void KeyedIndex::countChanges(size_t n)
{
    IndexHeader& h = m_file.txnHeader();
    for (size_t i = 0; i < n % 255; ++i) // the counter runs through 1..255
        h.changeCount = uint8_t(h.changeCount == 255 ? 1 : h.changeCount + 1);
}

} // namespace ke
