// export and import: the records as CSV and back.
#include "Commands.h"
#include "Csv.h"
#include "FieldText.h"
#include "PrivateFile.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace kt {

namespace {

void requireTextForms(const Table& table)
{
    for (const Field& f : table.fields())
        if (!hasTextForm(f.type))
            throw ToolError("column \"" + f.name + "\" is a " + typeName(f.type)
                            + " field, whose values lie in a companion file this tool does not read");
}

} // namespace

size_t exportCsv(Table& table, int fd, bool verbatim)
{
    requireTextForms(table);
    const CodePageText codePage(table.codePage());
    constexpr size_t kFlushAt = size_t(1) << 20;
    std::string out(csv::kByteOrderMark);
    out.reserve(kFlushAt + 4096);
    for (const Field& f : table.fields()) {
        if (f.number > 1)
            out += ',';
        csv::appendField(out, verbatim ? f.name : csv::guarded(f.name));
    }
    out += "\r\n";
    std::vector<uint8_t> record(table.recordSize());
    std::string value;
    size_t count = 0;
    table.toBegin();
    while (table.next(record.data())) {
        for (const Field& f : table.fields()) {
            if (f.number > 1)
                out += ',';
            const uint8_t* text = record.data() + f.offset;
            // The characters that need quotes or a guard are ASCII, the same in every code page.
            const bool mayRun = !verbatim && text[0] != 0 && std::memchr("'=+-@\t\r", text[0], 7);
            if (f.type == KE_FIELD_ALPHA && !mayRun && !std::memchr(text, ',', f.size) && !std::memchr(text, '"', f.size)
                && !std::memchr(text, '\n', f.size) && !std::memchr(text, '\r', f.size)) {
                // The common case: text that needs no quotes goes straight to the output.
                codePage.append(out, text, f.size);
                continue;
            }
            value.clear();
            appendFieldText(value, f, record.data(), codePage);
            csv::appendField(out, f.type == KE_FIELD_ALPHA && !verbatim ? csv::guarded(value) : value);
        }
        out += "\r\n";
        ++count;
        if (out.size() >= kFlushAt) {
            writeAll(fd, out.data(), out.size(), "the CSV file");
            out.clear();
        }
    }
    writeAll(fd, out.data(), out.size(), "the CSV file");
    return count;
}

int exportCommand(const std::string& tableFile, const std::string& file, bool verbatim)
{
    Table table(tableFile, Access::Read);
    if (file.empty() || file == "-") {
        exportCsv(table, 1, verbatim);
        return 0;
    }
    PrivateFile out(file);
    const size_t count = exportCsv(table, out.fd(), verbatim);
    out.commit();
    std::fprintf(stderr, "exported %zu records to %s\n", count, file.c_str());
    return 0;
}

int importCommand(const std::string& tableFile, const std::string& file, bool verbatim)
{
    const std::string text = readWholeFile(file);
    Table table(tableFile, Access::Write);
    requireTextForms(table);
    const std::string source = file == "-" ? std::string("standard input") : file;
    auto failAt = [&](size_t line, size_t column, const std::string& columnName, const std::string& what) {
        std::string where = source + ", line " + std::to_string(line);
        if (column)
            where += ", column " + std::to_string(column) + (columnName.empty() ? "" : " (" + columnName + ")");
        throw ToolError(where + ": " + what + "; nothing was imported");
    };

    // The header names the table's fields, in any order; fields it leaves out stay blank.
    csv::Reader reader(text);
    csv::Row row;
    std::vector<const Field*> columns;
    try {
        if (!reader.next(row))
            failAt(1, 0, {}, "the file is empty; its first line must name the table's columns");
        std::map<std::string, const Field*> byName;
        for (const Field& f : table.fields())
            byName[f.name] = &f;
        for (size_t i = 0; i < row.values.size(); ++i) {
            if (!verbatim)
                row.values[i] = std::string(csv::unguarded(row.values[i]));
            const auto it = byName.find(row.values[i]);
            if (it == byName.end()) {
                std::string names;
                for (const Field& f : table.fields())
                    names += (names.empty() ? "" : ", ") + f.name;
                failAt(row.line, i + 1, {}, "\"" + row.values[i] + "\" is no column of the table (its columns: " + names + ")");
            }
            for (const Field* seen : columns)
                if (seen == it->second)
                    failAt(row.line, i + 1, {}, "the column \"" + row.values[i] + "\" is named twice");
            columns.push_back(it->second);
        }

        const CodePageText codePage(table.codePage());
        std::vector<uint8_t> records;
        std::vector<uint8_t> record(table.recordSize());
        size_t count = 0;
        while (reader.next(row)) {
            if (row.values.size() != columns.size())
                failAt(row.line, 0, {}, std::to_string(row.values.size()) + " values where the header names "
                                            + std::to_string(columns.size()) + " columns");
            require(ke_init_record(table.cursor(), record.data(), record.size()));
            for (size_t i = 0; i < columns.size(); ++i) {
                if (!verbatim && columns[i]->type == KE_FIELD_ALPHA)
                    row.values[i] = std::string(csv::unguarded(row.values[i]));
                const std::string problem = putFieldText(*columns[i], row.values[i], record.data(), codePage);
                if (!problem.empty())
                    failAt(row.lines[i], i + 1, columns[i]->name, problem);
            }
            records.insert(records.end(), record.begin(), record.end());
            ++count;
        }
        // One change: every record reaches the table, or none does.
        const ke_result stored = ke_append_records(table.cursor(), records.data(), count);
        if (stored != KE_OK)
            throw ToolError(engineError(stored) + "; nothing was imported");
        std::string path;
        table.info(&path);
        std::printf("imported %zu records into %s\n", count, path.c_str());
    } catch (const csv::SyntaxError& e) {
        failAt(e.line, e.column, e.column <= columns.size() ? columns[e.column - 1]->name : std::string(), e.what);
    }
    return 0;
}

} // namespace kt
