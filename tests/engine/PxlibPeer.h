// pxlib as an independent reader of table files, for the tests.
#pragma once

#include "EngineTestSupport.h"

extern "C" {
#include <paradox.h>
}

#include <QtGlobal>

#include <cstdlib>
#include <cstring>

namespace enginetest {

inline int g_pxErrors = 0;

inline void pxError(pxdoc_t*, int, const char* msg, void*)
{
    ++g_pxErrors;
    qWarning("pxlib: %s", msg);
}

// Every record as pxlib reads it, the alpha values converted from `codePage`.
inline std::vector<Row> readWithPxlib(const std::string& path, uint16_t codePage, int* count = nullptr)
{
    std::vector<Row> rows;
    pxdoc_t* doc = PX_new2(pxError, nullptr, nullptr, nullptr);
    if (PX_open_file(doc, path.c_str()) < 0) {
        PX_delete(doc);
        ++g_pxErrors;
        return rows;
    }
    const int n = PX_get_num_records(doc);
    if (count)
        *count = n;
    const int nf = PX_get_num_fields(doc);
    pxfield_t* fields = PX_get_fields(doc);
    std::vector<char> data(size_t(PX_get_recordsize(doc)));
    const ke::CodePage* cp = ke::CodePage::get(codePage);
    for (int i = 0; i < n; ++i) {
        if (!PX_get_record(doc, i, data.data())) {
            ++g_pxErrors;
            break;
        }
        Row row;
        int offset = 0;
        for (int f = 0; f < nf; ++f) {
            row.push_back(cp->toUtf8(reinterpret_cast<const uint8_t*>(data.data() + offset), size_t(fields[f].px_flen)));
            offset += fields[f].px_flen;
        }
        rows.push_back(row);
    }
    PX_close(doc);
    PX_delete(doc);
    return rows;
}

// A client table made by pxlib's create and put-record; protected by the
// password (bytes in the code page) when one is given.
inline void createWithPxlib(const std::string& path, uint16_t codePage, const std::vector<Row>& rows,
                            const char* password = nullptr)
{
    const ke::NewTable layout = ke::clientTableLayout();
    const ke::CodePage* cp = ke::CodePage::get(codePage);
    pxdoc_t* doc = PX_new2(pxError, nullptr, nullptr, nullptr);
    auto* fields = static_cast<pxfield_t*>(std::calloc(layout.fields.size(), sizeof(pxfield_t)));
    std::vector<int> sizes;
    for (size_t i = 0; i < layout.fields.size(); ++i) {
        fields[i].px_fname = strdup(cp->fromUtf8(layout.fields[i].name).c_str());
        fields[i].px_ftype = pxfAlpha;
        fields[i].px_flen = layout.fields[i].size;
        sizes.push_back(layout.fields[i].size);
    }
    if (PX_create_file(doc, fields, int(layout.fields.size()), path.c_str(), pxfFileTypNonIndexDB) < 0)
        qFatal("pxlib cannot create %s", path.c_str());
    PX_set_value(doc, "codepage", float(codePage));
    if (password)
        PX_set_parameter(doc, "password", password);
    std::vector<char> data(170);
    for (const Row& row : rows) {
        std::fill(data.begin(), data.end(), 0);
        int offset = 0;
        for (size_t f = 0; f < sizes.size(); ++f) {
            const std::string native = f < row.size() ? cp->fromUtf8(row[f]) : std::string();
            std::memcpy(data.data() + offset, native.data(), std::min<size_t>(native.size(), size_t(sizes[f])));
            offset += sizes[f];
        }
        if (PX_put_record(doc, data.data()) < 0)
            qFatal("pxlib cannot put a record");
    }
    PX_close(doc);
    PX_delete(doc);
}

} // namespace enginetest
