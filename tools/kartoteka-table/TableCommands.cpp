// create, dump, info and prepare: making and looking at tables.
#include "Commands.h"
#include "FieldText.h"
#include "Privacy.h"

#include <cstdio>

namespace kt {

std::vector<Field> clientTableFields()
{
    return {{1, "Клиент №", KE_FIELD_ALPHA, 5, 0},           {2, "Фамилия", KE_FIELD_ALPHA, 40, 0},
            {3, "Имя", KE_FIELD_ALPHA, 25, 0},                {4, "Отчество", KE_FIELD_ALPHA, 25, 0},
            {5, "Возраст", KE_FIELD_ALPHA, 25, 0},            {6, "Семейное положение", KE_FIELD_ALPHA, 25, 0},
            {7, "Количество детей", KE_FIELD_ALPHA, 25, 0}};
}

int createCommand(const std::string& file, uint16_t keyFields)
{
    createTable(file, clientTableFields(), kClientTableCodePage, keyFields);
    return 0;
}

namespace {

void appendEscaped(std::string& out, const std::string& s)
{
    for (char c : s) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
}

} // namespace

int dumpCommand(const std::string& file)
{
    Table table(file, Access::Read);
    const CodePageText codePage(table.codePage());
    std::vector<uint8_t> record(table.recordSize());
    std::string line, value;
    table.toBegin();
    while (table.next(record.data())) {
        line.clear();
        for (const Field& f : table.fields()) {
            if (f.number > 1)
                line += '\t';
            value.clear();
            appendFieldText(value, f, record.data(), codePage);
            appendEscaped(line, value);
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return 0;
}

int infoCommand(const std::string& file)
{
    Table table(file, Access::Read);
    std::string path;
    const ke_table_info facts = table.info(&path);
    ke_cursor_props props {};
    require(ke_get_cursor_props(table.cursor(), &props));
    std::printf("file: %s\n", path.c_str());
    std::printf("level: %d (version byte 0x%02X)\n", facts.level, facts.file_version);
    std::printf("code page: %u\n", unsigned(table.codePage()));
    std::printf("sort order: \"%s\"\n", props.sort_order);
    std::printf("block size: %u\n", unsigned(facts.block_size));
    std::printf("header size: %u\n", unsigned(facts.header_size));
    std::printf("record size: %zu\n", table.recordSize());
    std::printf("records: %u\n", unsigned(facts.record_count));
    std::printf("blocks: %u in use, %u in the file\n", unsigned(facts.used_blocks), unsigned(facts.file_blocks));
    std::printf("write-protected: %s\n", facts.write_protected ? "yes" : "no");
    std::printf("password-protected: %s\n", facts.password_protected ? "yes" : "no");
    std::printf("columns: %zu\n", table.fields().size());
    for (const Field& f : table.fields())
        std::printf("  %u\t%s\t%s\t%u\n", unsigned(f.number), f.name.c_str(), typeName(f.type), unsigned(f.size));
    printKeyFacts(table, stdout);
    reportReadableByOthers(path, stdout);
    return 0;
}

int prepareCommand(const std::string& folder, const std::string& table)
{
    ke_database* db = nullptr;
    require(ke_open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db));
    struct Closer {
        ke_database* db;
        ~Closer() { ke_close_database(db); }
    } closer {db};
    // Drive letters go through the engine's drive map, names match in any case.
    ke_result r = ke_set_directory(db, folder.c_str());
    if (r == KE_ERR_DIRECTORY_NOT_FOUND)
        r = ke_create_directory(db, folder.c_str());
    require(r);
    ke_cursor* cursor = nullptr;
    r = ke_open_table(db, table.c_str(), "PARADOX", nullptr, 0, KE_OPEN_READ_ONLY, KE_SHARE_SHARED, &cursor);
    if (r == KE_ERR_INSUFFICIENT_RIGHTS) {
        // A protected card index is there; the program asks for its password.
        std::printf("found %s (password-protected)\n", table.c_str());
        return 0;
    }
    const bool found = r == KE_OK;
    if (r == KE_ERR_TABLE_NOT_FOUND) {
        const std::vector<ke_field_desc> descs = fieldDescriptions(clientTableFields());
        require(ke_create_table(db, table.c_str(), descs.data(), uint16_t(descs.size()), kClientTableCodePage));
        r = ke_open_table(db, table.c_str(), "PARADOX", nullptr, 0, KE_OPEN_READ_ONLY, KE_SHARE_SHARED, &cursor);
    }
    require(r);
    ke_table_info facts {};
    char path[4096] = "";
    r = ke_get_table_info(cursor, &facts, path, sizeof path);
    ke_close_cursor(cursor);
    require(r);
    std::printf("%s %s\n", found ? "found" : "created", path);
    return 0;
}

} // namespace kt
