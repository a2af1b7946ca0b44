// CSV as RFC 4180 has it: fields separated by commas, records by CRLF (a lone
// LF is read too), a field holding a comma, quote, CR or LF in double quotes
// with its quotes doubled. Files start with the UTF-8 byte order mark so that
// spreadsheets take them as UTF-8; reading skips it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kt::csv {

inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Appends one field, quoted when it must be.
void appendField(std::string& out, std::string_view value);

// A spreadsheet runs a cell that begins with =, +, -, @, a tab or a carriage
// return as a formula. The safe export puts an apostrophe (which spreadsheets
// take as "text follows" and do not show) before such a text, and before one
// that already begins with apostrophes followed by such a character, so that
// import can take exactly the one added off again.
bool needsFormulaGuard(std::string_view value);
std::string guarded(std::string_view value);
std::string_view unguarded(std::string_view value);

// One record of a file: its values and where each began.
struct Row {
    std::vector<std::string> values;
    std::vector<size_t> lines;   // the file's line number of each value
    size_t line = 0;             // where the record began
};

// A malformed file: line and column (the value's place in its record, from 1).
struct SyntaxError {
    size_t line;
    size_t column;
    std::string what;
};

// Reads records from a whole file's text. Lines with nothing on them are skipped.
class Reader {
public:
    explicit Reader(std::string_view text);
    // False at the end; throws SyntaxError.
    bool next(Row& row);

private:
    std::string_view text_;
    size_t at_ = 0;
    size_t line_ = 1;
};

} // namespace kt::csv
