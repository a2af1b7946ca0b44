#include "Csv.h"

namespace kt::csv {

void appendField(std::string& out, std::string_view value)
{
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += value;
        return;
    }
    out += '"';
    for (char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

bool needsFormulaGuard(std::string_view value)
{
    const size_t first = value.find_first_not_of('\'');
    return first != std::string_view::npos && std::string_view("=+-@\t\r").find(value[first]) != std::string_view::npos;
}

std::string guarded(std::string_view value)
{
    return needsFormulaGuard(value) ? "'" + std::string(value) : std::string(value);
}

std::string_view unguarded(std::string_view value)
{
    return !value.empty() && value[0] == '\'' && needsFormulaGuard(value.substr(1)) ? value.substr(1) : value;
}

Reader::Reader(std::string_view text) : text_(text)
{
    if (text_.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        at_ = kByteOrderMark.size();
}

bool Reader::next(Row& row)
{
    row.values.clear();
    row.lines.clear();
    // Empty lines between records carry nothing.
    while (at_ < text_.size() && (text_[at_] == '\n' || text_[at_] == '\r')) {
        if (text_[at_] == '\n')
            ++line_;
        ++at_;
    }
    if (at_ >= text_.size())
        return false;
    row.line = line_;
    for (;;) {
        const size_t column = row.values.size() + 1;
        row.lines.push_back(line_);
        std::string value;
        if (at_ < text_.size() && text_[at_] == '"') {
            const size_t startLine = line_;
            ++at_;
            for (;;) {
                if (at_ >= text_.size())
                    throw SyntaxError{startLine, column, "a quoted value is not closed before the end of the file"};
                const char c = text_[at_++];
                if (c == '"') {
                    if (at_ < text_.size() && text_[at_] == '"') {
                        value += '"';
                        ++at_;
                        continue;
                    }
                    break;
                }
                if (c == '\n')
                    ++line_;
                value += c;
            }
            if (at_ < text_.size() && text_[at_] != ',' && text_[at_] != '\n' && text_[at_] != '\r')
                throw SyntaxError{line_, column, "text follows the closing quote of a value"};
        } else {
            const size_t end = text_.find_first_of(",\r\n\"", at_);
            const size_t stop = end == std::string_view::npos ? text_.size() : end;
            if (stop < text_.size() && text_[stop] == '"')
                throw SyntaxError{line_, column, "a quote inside a value that does not start with one"};
            value.assign(text_.substr(at_, stop - at_));
            at_ = stop;
        }
        row.values.push_back(std::move(value));
        if (at_ >= text_.size())
            return true;
        const char sep = text_[at_++];
        if (sep == ',')
            continue;
        if (sep == '\r') {
            if (at_ < text_.size() && text_[at_] == '\n')
                ++at_;
            else
                throw SyntaxError{line_, column, "a carriage return that does not end a line"};
        }
        ++line_;
        return true;
    }
}

} // namespace kt::csv
