// A full scan side by side: the engine's record loop, pxlib's record loop and
// `cat` of the same file, on a table pxlib made (its default 16 KiB blocks)
// and on one the program made (2 KiB blocks). Each side is timed whole (open,
// every record, close), best of three, in the same run.
#pragma once

#include <functional>
#include <string>

namespace bench {

// pxlib's record loop over a whole table (one text field read per record);
// returns the records read.
long pxlibScan(const std::string& path);

// `buildOwnTable(path, records)` writes the program's kind of table.
void compareScans(const std::string& dir, int records,
                  const std::function<void(const std::string&, int)>& buildOwnTable);

} // namespace bench
