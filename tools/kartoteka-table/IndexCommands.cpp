// The primary key and index of a table as the tool shows them, what keeps a
// table read-only, and reindex.
#include "Commands.h"

#include <cstdio>

namespace kt {

namespace {

std::string readOnlyReason(Table& table)
{
    char text[4096] = "";
    require(ke_get_read_only_reason(table.cursor(), text, sizeof text));
    return text;
}

} // namespace

void printKeyFacts(Table& table, FILE* out)
{
    ke_key_info key {};
    require(ke_get_key_info(table.cursor(), &key));
    if (key.key_fields == 0) {
        std::fprintf(out, "keyed: no\n");
    } else {
        std::string names;
        for (const Field& f : table.fields())
            if (f.number <= key.key_fields)
                names += (names.empty() ? "" : ", ") + f.name;
        const std::string order = *key.sort_order ? "\"" + std::string(key.sort_order) + "\"" : "unnamed";
        std::fprintf(out, "keyed: %u field%s (%s), sort order %s\n", unsigned(key.key_fields),
                     key.key_fields == 1 ? "" : "s", names.c_str(), order.c_str());
        if (key.order_known)
            std::fprintf(out, "key order: known; cards can be added, changed and deleted\n");
        else
            std::fprintf(out, "key order: unknown: %s; cards can be changed (apart from their key) and deleted, "
                              "not added\n", key.unknown_order);
        std::fprintf(out, "primary index: %u level%s\n", unsigned(key.index_levels), key.index_levels == 1 ? "" : "s");
    }
    const std::string reason = readOnlyReason(table);
    if (reason.empty())
        std::fprintf(out, "access: read-write\n");
    else
        std::fprintf(out, "access: read-only: %s\n", reason.c_str());
}

void printReadOnlyReason(Table& table, FILE* out)
{
    const std::string reason = readOnlyReason(table);
    if (reason.empty())
        return;
    std::fprintf(out, "the program opens this table read-only: %s\n", reason.c_str());
    ke_key_info key {};
    require(ke_get_key_info(table.cursor(), &key));
    if (key.key_fields && reason.find("primary index") != std::string::npos)
        std::fprintf(out, "\"kartoteka-table reindex\" builds the primary index again from the table's records\n");
}

int reindexCommand(const std::string& file)
{
    std::string folder, name;
    splitPath(file, folder, name);
    ke_database* db = nullptr;
    require(ke_open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db));
    ke_result r = folder.empty() ? KE_OK : ke_set_directory(db, folder.c_str());
    if (r == KE_OK)
        r = ke_rebuild_index(db, name.c_str());
    const std::string message = r == KE_OK ? std::string() : engineError(r);
    ke_close_database(db);
    if (r != KE_OK)
        throw ToolError(message, r);
    Table table(file, Access::Read);
    std::string path;
    const ke_table_info facts = table.info(&path);
    ke_key_info key {};
    require(ke_get_key_info(table.cursor(), &key));
    std::printf("%s: primary index rebuilt, %u records, %u level%s\n", path.c_str(), unsigned(facts.record_count),
                unsigned(key.index_levels), key.index_levels == 1 ? "" : "s");
    printReadOnlyReason(table, stdout);
    return 0;
}

} // namespace kt
