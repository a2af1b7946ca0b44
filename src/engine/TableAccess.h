// What keeps a table read-only: a write-protection mark, companion files this
// engine does not keep up to date, or a primary index that is missing or does
// not belong to the table. Each reason is a sentence that names the file.
#pragma once

#include "TableHeader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ke {

// The companion files beside a table that this engine does not maintain, each
// with the reason it keeps the table read-only.
struct ForeignFile {
    std::string path;
    std::string reason;
};
std::vector<ForeignFile> foreignFilesOf(const std::string& tablePath, const TableHeader& h);

// Why the table may only be read (reasons joined by "; "); empty when it may
// be written. `records`: the table's record count as it stands now.
std::string readOnlyReason(const std::string& tablePath, const TableHeader& h, uint32_t records);

} // namespace ke
