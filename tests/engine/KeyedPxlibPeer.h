// pxlib as the independent peer for keyed tables: it makes a keyed table and
// its primary index, builds an index again for a table, and checks a table
// against its index the way the format's readers do (its own calls only).
#pragma once

#include "PxlibPeer.h"

#include <QStringList>

#include <string>
#include <vector>

namespace enginetest {

struct PeerField {
    const char* name;
    char type; // A, S, I, D, N
    int size;
};

inline pxfield_t* peerFields(const std::vector<PeerField>& spec)
{
    auto* f = static_cast<pxfield_t*>(std::calloc(spec.size(), sizeof(pxfield_t)));
    for (size_t i = 0; i < spec.size(); ++i) {
        f[i].px_fname = strdup(spec[i].name);
        f[i].px_ftype = spec[i].type == 'A' ? pxfAlpha : spec[i].type == 'S' ? pxfShort : spec[i].type == 'I' ? pxfLong
                        : spec[i].type == 'D'                                    ? pxfDate
                                                                                  : pxfNumber;
        f[i].px_flen = spec[i].size;
    }
    return f;
}

// BASE.DB keyed on its first `keys` fields, filled with `records` (stored
// bytes, in the order given), and BASE.PX written by pxlib.
inline void makeKeyedWithPxlib(const std::string& base, const std::vector<PeerField>& spec, int keys,
                               const std::vector<std::vector<uint8_t>>& records)
{
    const std::string db = base + ".DB", px = base + ".PX";
    pxdoc_t* doc = PX_new2(pxError, nullptr, nullptr, nullptr);
    if (PX_create_file(doc, peerFields(spec), int(spec.size()), db.c_str(), pxfFileTypIndexDB) < 0)
        qFatal("pxlib cannot create %s", db.c_str());
    PX_set_value(doc, "codepage", 1251);
    PX_set_value(doc, "numprimkeys", keys);
    for (const auto& r : records)
        if (PX_put_record(doc, reinterpret_cast<char*>(const_cast<uint8_t*>(r.data()))) < 0)
            qFatal("pxlib cannot put a record");
    PX_close(doc);
    PX_delete(doc);
    pxdoc_t* table = PX_new2(pxError, nullptr, nullptr, nullptr);
    pxdoc_t* index = PX_new2(pxError, nullptr, nullptr, nullptr);
    if (PX_open_file(table, db.c_str()) < 0 || PX_create_file(index, peerFields(spec), keys, px.c_str(), pxfFileTypPrimIndex) < 0
        || PX_write_primary_index(table, index) < 0)
        qFatal("pxlib cannot write the primary index of %s", db.c_str());
    PX_close(index);
    PX_close(table);
    PX_delete(index);
    PX_delete(table);
}

// pxlib's own index for BASE.DB, written as OUT (BASE.DB itself is read only).
inline void rebuildIndexWithPxlib(const std::string& base, const std::string& out)
{
    pxdoc_t* table = PX_new2(pxError, nullptr, nullptr, nullptr);
    if (PX_open_file(table, (base + ".DB").c_str()) < 0)
        qFatal("pxlib cannot open %s.DB", base.c_str());
    const int keys = table->px_head->px_primarykeyfields;
    pxfield_t* all = PX_get_fields(table);
    auto* fields = static_cast<pxfield_t*>(std::calloc(size_t(keys), sizeof(pxfield_t)));
    for (int i = 0; i < keys; ++i) {
        fields[i] = all[i];
        fields[i].px_fname = strdup(all[i].px_fname);
    }
    pxdoc_t* index = PX_new2(pxError, nullptr, nullptr, nullptr);
    if (PX_create_file(index, fields, keys, out.c_str(), pxfFileTypPrimIndex) < 0 || PX_write_primary_index(table, index) < 0)
        qFatal("pxlib cannot write an index for %s.DB", base.c_str());
    PX_close(index);
    PX_close(table);
    PX_delete(index);
    PX_delete(table);
}

// What pxlib finds wrong with BASE.DB and BASE.PX: the chain's keys must
// strictly ascend by their bytes, the level-1 entries must match the chain's
// blocks (number, count, first key), every level-2 entry must carry its
// child's first key and count, pxlib must accept the pair and read every
// record through the index. Empty when all holds.
inline QStringList verifyWithPxlib(const std::string& base)
{
    QStringList problems;
    const std::string dbPath = base + ".DB", pxPath = base + ".PX";
    pxdoc_t* db = PX_new2(pxError, nullptr, nullptr, nullptr);
    if (PX_open_file(db, dbPath.c_str()) < 0)
        return {"pxlib cannot open the table"};
    pxhead_t* h = db->px_head;
    const int rs = h->px_recordsize, n = h->px_numrecords;
    int keyLength = 0;
    for (int i = 0; i < h->px_primarykeyfields; ++i)
        keyLength += PX_get_fields(db)[i].px_flen;
    db->px_indexdata = nullptr; // records are then found by walking the chain
    db->px_indexdatalen = 0;
    struct Block {
        int number, count;
        std::vector<char> firstKey;
    };
    std::vector<Block> chain;
    std::vector<char> rec(static_cast<size_t>(rs));
    std::vector<char> prev;
    for (int i = 0; i < n; ++i) {
        pxdatablockinfo_t info {};
        int deleted = 0;
        if (!PX_get_record2(db, i, rec.data(), &deleted, &info)) {
            problems << QString("record %1 cannot be read through the chain").arg(i);
            break;
        }
        if (!prev.empty() && std::memcmp(prev.data(), rec.data(), size_t(keyLength)) >= 0)
            problems << QString("record %1 is not above record %2 in key order").arg(i).arg(i - 1);
        prev.assign(rec.begin(), rec.begin() + keyLength);
        if (chain.empty() || chain.back().number != info.number)
            chain.push_back({info.number, 0, prev});
        ++chain.back().count;
    }
    pxdoc_t* px = PX_new2(pxError, nullptr, nullptr, nullptr);
    if (PX_open_file(px, pxPath.c_str()) < 0 || PX_read_primary_index(px) < 0)
        return problems << "pxlib cannot read the primary index";
    const pxpindex_t* e = static_cast<pxpindex_t*>(px->px_data);
    const int entries = px->px_datalen;
    size_t next = 0;
    for (int i = 0; i < entries; ++i) {
        if (e[i].level != 1)
            continue;
        if (next >= chain.size()) {
            problems << "more level-1 entries than chain blocks";
            break;
        }
        const Block& b = chain[next++];
        if (e[i].blocknumber != b.number || e[i].numrecords != b.count
            || std::memcmp(e[i].data, b.firstKey.data(), size_t(keyLength)) != 0)
            problems << QString("level-1 entry %1 (block %2, %3 records) does not match chain block %4 (%5 records)")
                            .arg(next)
                            .arg(e[i].blocknumber)
                            .arg(e[i].numrecords)
                            .arg(b.number)
                            .arg(b.count);
    }
    if (next != chain.size())
        problems << QString("%1 level-1 entries for %2 chain blocks").arg(next).arg(chain.size());
    for (int i = 0; i < entries; ++i) {
        if (e[i].level != 2)
            continue;
        int sum = 0, first = -1;
        for (int k = 0; k < entries; ++k)
            if (e[k].level == 1 && e[k].myblocknumber == e[i].blocknumber) {
                first = first < 0 ? k : first;
                sum += e[k].numrecords;
            }
        if (first < 0 || sum != e[i].numrecords || std::memcmp(e[i].data, e[first].data, size_t(keyLength)) != 0)
            problems << QString("level-2 entry %1 does not match index block %2").arg(i).arg(e[i].blocknumber);
    }
    pxdoc_t* db2 = PX_new2(pxError, nullptr, nullptr, nullptr);
    PX_open_file(db2, dbPath.c_str());
    if (PX_add_primary_index(db2, px) < 0) {
        problems << "pxlib refuses the table and index as a pair";
    } else {
        for (int i = 0; i < n; ++i)
            if (!PX_get_record(db2, i, rec.data())) {
                problems << QString("record %1 cannot be read through the index").arg(i);
                break;
            }
    }
    PX_close(db2);
    PX_close(px);
    PX_close(db);
    PX_delete(db2);
    PX_delete(px);
    PX_delete(db);
    return problems;
}

// The bytes where two index files differ, leaving out what means nothing on
// disk: the pointers at 0x30-0x37, the table-name pointer and the name area,
// and 0x55, which pxlib leaves uninitialised.
inline QStringList indexDifferences(const QByteArray& ours, const QByteArray& theirs)
{
    QStringList out;
    if (ours.size() != theirs.size())
        out << QString("length %1 against %2").arg(ours.size()).arg(theirs.size());
    const int keys = ours.size() > 0x22 ? uint8_t(ours[0x21]) | (uint8_t(ours[0x22]) << 8) : 0;
    const int names = 0x58 + 2 * keys;
    for (int i = 0; i < std::min(ours.size(), theirs.size()); ++i) {
        if ((i >= 0x30 && i < 0x38) || i == 0x55 || (i >= names && i < names + 4 + 261))
            continue;
        if (ours[i] != theirs[i])
            out << QString("0x%1: %2 against %3").arg(i, 0, 16).arg(uint8_t(ours[i]), 2, 16, QChar('0')).arg(uint8_t(theirs[i]), 2, 16, QChar('0'));
    }
    return out;
}

} // namespace enginetest
