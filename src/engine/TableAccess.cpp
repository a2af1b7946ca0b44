#include "TableAccess.h"

#include "EngineError.h"
#include "IndexFile.h"
#include "IndexTree.h"
#include "Utf8.h"
#include "kartoteka_engine.h"

#include <dirent.h>

#include <algorithm>

namespace ke {

namespace {

std::string upperAscii(std::string s)
{
    for (char& ch : s)
        if (ch >= 'a' && ch <= 'z')
            ch = char(ch - 32);
    return s;
}

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// Why a companion of this extension keeps the table read-only; empty for none.
std::string reasonFor(const std::string& extension, bool keyed)
{
    const std::string e = upperAscii(extension);
    if (e == "VAL")
        return "holds validity checks (required fields, value ranges, lookups, links to other tables) that this "
               "program does not apply: another program would not check again the records stored here";
    if (e == "PX")
        return keyed ? std::string() : "is a primary index, yet the table has no key: another program may take it "
                                       "for the table's index and find it out of date";
    if (e.size() == 3 && (e[0] == 'X' || e[0] == 'Y') && (e[1] == 'G' ? isHex(e[2]) : isHex(e[1]) && isHex(e[2])))
        return "is a secondary index, which this program does not keep up to date: another program would find it "
               "out of date and could miss records or read the wrong ones";
    return {};
}

std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

} // namespace

std::vector<ForeignFile> foreignFilesOf(const std::string& tablePath, const TableHeader& h)
{
    const auto slash = tablePath.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : tablePath.substr(0, slash));
    const std::string file = nameOf(tablePath);
    const std::string stem = file.substr(0, file.rfind('.'));
    const bool keyed = h.fileType == KeyedTable || h.keyFields > 0;
    std::vector<ForeignFile> found;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return found;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        const auto dot = name.rfind('.');
        if (dot == std::string::npos || !equalsIgnoringCase(name.substr(0, dot), stem))
            continue;
        const std::string reason = reasonFor(name.substr(dot + 1), keyed);
        if (!reason.empty())
            found.push_back({dir + "/" + name, reason});
    }
    ::closedir(d);
    std::sort(found.begin(), found.end(), [](const ForeignFile& a, const ForeignFile& b) { return a.path < b.path; });
    return found;
}

std::string readOnlyReason(const std::string& tablePath, const TableHeader& h, uint32_t records)
{
    std::vector<std::string> reasons;
    if (h.writeProtected)
        reasons.push_back("the table is marked write-protected");
    const bool typeKeyed = h.fileType == KeyedTable, hasKeys = h.keyFields > 0;
    if (typeKeyed != hasKeys) {
        reasons.push_back("its header does not say plainly whether it is keyed (file type " + std::to_string(h.fileType)
                          + ", " + std::to_string(h.keyFields) + " key fields)");
    } else if (typeKeyed) {
        const std::string indexPath = indexPathFor(tablePath);
        const std::string name = nameOf(indexPath);
        try {
            IndexFile index(indexPath, false);
            index.refresh(h);
            if (!index.mismatch().empty()) {
                reasons.push_back("its primary index " + name + " does not belong to it: " + index.mismatch());
            } else {
                const uint64_t indexed = IndexTree(index, tablePath).records();
                if (indexed != records)
                    reasons.push_back("its primary index " + name + " does not match it: the index counts "
                                      + std::to_string(indexed) + " records, the table holds " + std::to_string(records));
            }
        } catch (const EngineError& e) {
            reasons.push_back(e.code == KE_ERR_TABLE_NOT_FOUND ? "its primary index " + name + " is missing"
                                                               : "its primary index " + name + " cannot be read: " + e.context);
        }
    }
    for (const ForeignFile& f : foreignFilesOf(tablePath, h))
        reasons.push_back(nameOf(f.path) + " " + f.reason);
    std::string text;
    for (const std::string& r : reasons)
        text += (text.empty() ? "" : "; ") + r;
    return text;
}

} // namespace ke
