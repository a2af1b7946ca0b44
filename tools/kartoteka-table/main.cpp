// kartoteka-table: creates, dumps and describes table files.
//   kartoteka-table create <path>   a new, empty client table (seven text columns, code page 1251)
//   kartoteka-table dump <path>     the records as UTF-8, one per line, fields separated by tabs
//   kartoteka-table info <path>     level, code page, block size, record count and columns
//   kartoteka-table prepare <directory> <table>
//       finds the table the program would open (drive map, names in any case) and, when
//       there is none, creates an empty client table there; an existing table is never touched.
#include "Cursor.h"
#include "EngineError.h"
#include "EngineConfig.h"
#include "ErrorTexts.h"
#include "FieldCodec.h"
#include "PathResolver.h"
#include "TableCreator.h"
#include "kartoteka_engine.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: kartoteka-table create|dump|info <table file>\n       kartoteka-table prepare <directory> <table>\n");
    return 2;
}

std::string escaped(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

int dump(const std::string& path)
{
    ke::OpenOptions options;
    options.readOnly = true;
    ke::Cursor cursor(path, options);
    const ke::TableHeader& h = cursor.header();
    std::vector<uint8_t> rec(h.recordSize);
    cursor.setToBegin();
    for (;;) {
        try {
            cursor.next(false, rec.data());
        } catch (const ke::EngineError& e) {
            if (e.code == KE_ERR_EOF)
                break;
            throw;
        }
        std::string line;
        for (size_t i = 0; i < h.fields.size(); ++i) {
            if (i)
                line += '\t';
            line += escaped(ke::codec::toText(h.fields[i], rec.data(), h.textCodePage()));
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return 0;
}

int info(const std::string& path)
{
    ke::OpenOptions options;
    options.readOnly = true;
    ke::Cursor cursor(path, options);
    const ke::TableHeader& h = cursor.header();
    std::printf("level: %d (version byte 0x%02X)\n", h.level(), h.fileVersion);
    std::printf("code page: %u%s\n", unsigned(h.textCodePage()), h.codePage ? "" : " (assumed)");
    std::printf("sort order: 0x%02X \"%s\"\n", h.sortOrder, h.sortOrderName.c_str());
    std::printf("block size: %u\n", unsigned(h.blockSize));
    std::printf("header size: %u\n", unsigned(h.headerSize));
    std::printf("record size: %u\n", unsigned(h.recordSize));
    std::printf("records: %u\n", unsigned(cursor.recordCount()));
    std::printf("blocks: %u in use, %u in the file\n", unsigned(h.counters.usedBlocks), unsigned(h.counters.fileBlocks));
    std::printf("keyed: %s\n", (h.fileType == ke::KeyedTable || h.keyFields) ? "yes" : "no");
    std::printf("write-protected: %s\n", h.writeProtected ? "yes" : "no");
    std::printf("columns: %zu\n", h.fields.size());
    for (size_t i = 0; i < h.fields.size(); ++i) {
        const ke::FieldInfo& f = h.fields[i];
        std::string name = ke::codec::toText(ke::FieldInfo{KE_FIELD_ALPHA, uint16_t(f.rawName.size()), 0, {}},
                                             reinterpret_cast<const uint8_t*>(f.rawName.data()), h.textCodePage());
        std::printf("  %zu\t%s\t%s\t%u\n", i + 1, name.c_str(), ke::codec::kindName(f.type), unsigned(f.size));
    }
    return 0;
}

int prepare(const std::string& directory, const std::string& table)
{
    const ke::EngineConfig config = ke::EngineConfig::load();
    const ke::PathResolver resolver(config);
    const std::string dir = resolver.directoryCreatingMissing(directory);
    try {
        std::printf("found %s\n", resolver.tableFile(dir, table).c_str());
    } catch (const ke::EngineError& e) {
        if (e.code != KE_ERR_TABLE_NOT_FOUND)
            throw;
        const std::string path = dir + "/" + table;
        ke::createTable(path, ke::clientTableLayout());
        std::printf("created %s\n", path.c_str());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (argc == 4 && command == "prepare")
            return prepare(argv[2], argv[3]);
        if (argc != 3)
            return usage();
        const std::string path = argv[2];
        if (command == "create") {
            ke::createTable(path, ke::clientTableLayout());
            return 0;
        }
        if (command == "dump")
            return dump(path);
        if (command == "info")
            return info(path);
        return usage();
    } catch (const ke::EngineError& e) {
        const char* text = ke::errorText(e.code);
        std::fprintf(stderr, "kartoteka-table: %s%s%s\n", text ? text : "error", e.context.empty() ? "" : " ",
                     e.context.c_str());
        return 1;
    }
}
