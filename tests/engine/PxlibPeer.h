// pxlib as an independent reader of table files, for the tests.
#pragma once

#include "EngineTestSupport.h"

extern "C" {
#include <paradox.h>
}

#include <QtGlobal>

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


} // namespace enginetest
