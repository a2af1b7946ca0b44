// The C interface's entries for whole tables: facts, creation, bulk append,
// a verified copy, a backup put back and the structural check.
#include "kartoteka_engine.h"

#include "ApiSession.h"
#include "CodePage.h"
#include "KeyOrder.h"
#include "Scramble.h"
#include "PathResolver.h"
#include "TableCreator.h"

namespace {

using namespace ke::api;
using ke::fail;

// A copy of the table file to `path`, or one put back from it; *bytes gets its length.
ke_result wholeFileCall(ke_cursor* cursor, const char* path, const char* missing, uint64_t* bytes,
                        uint64_t (ke::Cursor::*act)(const std::string&))
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        if (!path || !*path)
            fail(KE_ERR_INVALID_PARAMETER, missing);
        const uint64_t n = (c.*act)(path);
        if (bytes)
            *bytes = n;
    });
}

} // namespace

extern "C" {

ke_result ke_get_table_info(ke_cursor* cursor, ke_table_info* info, char* path, size_t capacity)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        if (!info)
            fail(KE_ERR_INVALID_PARAMETER, "no place for the table's facts");
        const ke::TableCounters counters = c.freshCounters();
        const ke::TableHeader& h = c.header();
        std::memset(info, 0, sizeof *info);
        info->record_count = counters.numRecords;
        info->level = uint8_t(h.level());
        info->file_version = h.fileVersion;
        info->block_size = h.blockSize;
        info->header_size = h.headerSize;
        info->used_blocks = counters.usedBlocks;
        info->file_blocks = counters.fileBlocks;
        info->keyed = (h.fileType == ke::KeyedTable || h.keyFields) ? 1 : 0;
        info->write_protected = h.writeProtected ? 1 : 0;
        info->password_protected = h.encrypted ? 1 : 0;
        if (path) {
            if (c.path().size() >= capacity)
                fail(KE_ERR_BUFFER_TOO_SMALL, "the path needs " + std::to_string(c.path().size() + 1) + " bytes");
            copyText(c.path(), path, capacity);
        }
    });
}

ke_result ke_get_key_info(ke_cursor* cursor, ke_key_info* info)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        if (!info)
            fail(KE_ERR_INVALID_PARAMETER, "no place for the key's facts");
        const ke::TableHeader& h = c.header();
        const ke::KeyOrder key = ke::KeyOrder::of(h);
        std::memset(info, 0, sizeof *info);
        info->key_fields = uint16_t(key.fields.size());
        info->key_size = key.length;
        info->order_known = key.ordered() ? 1 : 0;
        info->index_levels = c.indexLevels();
        copyText(h.sortOrderName, info->sort_order, sizeof info->sort_order);
        copyText(key.unknownOrder, info->unknown_order, sizeof info->unknown_order);
    });
}

ke_result ke_get_read_only_reason(ke_cursor* cursor, char* text, size_t capacity)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        if (!text || capacity == 0)
            fail(KE_ERR_INVALID_PARAMETER, "no place for the reason");
        const std::string reason = c.readOnlyReason();
        if (reason.size() >= capacity)
            fail(KE_ERR_BUFFER_TOO_SMALL, "the reason needs " + std::to_string(reason.size() + 1) + " bytes");
        copyText(reason, text, capacity);
    });
}

ke_result ke_rebuild_index(ke_database* db, const char* table_name)
{
    return guardedCall(true, [&](Session& s) {
        ke_database& d = databaseOf(s, db);
        if (!table_name || !*table_name)
            fail(KE_ERR_INVALID_PARAMETER, "no table name");
        if (d.readOnly)
            fail(KE_ERR_TABLE_READ_ONLY, "the database is open read-only");
        ke::OpenOptions options;
        options.exclusive = true;
        options.indexRebuild = true;
        options.passwords.assign(s.passwords.begin(), s.passwords.end());
        ke::Cursor(ke::PathResolver(s.config).tableFile(d.directory, table_name), options).rebuildIndex();
    });
}

ke_result ke_create_directory(ke_database* db, const char* path)
{
    return guardedCall(true, [&](Session& s) {
        ke_database& d = databaseOf(s, db);
        d.directory = ke::PathResolver(s.config).directoryCreatingMissing(path ? path : "");
    });
}

ke_result ke_create_table(ke_database* db, const char* table_name, const ke_field_desc* fields, uint16_t field_count,
                          uint16_t code_page)
{
    return ke_create_keyed_table(db, table_name, fields, field_count, code_page, 0);
}

ke_result ke_create_keyed_table(ke_database* db, const char* table_name, const ke_field_desc* fields,
                                uint16_t field_count, uint16_t code_page, uint16_t key_fields)
{
    return guardedCall(true, [&](Session& s) {
        ke_database& d = databaseOf(s, db);
        const std::string name = table_name ? table_name : "";
        if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
            fail(KE_ERR_INVALID_PARAMETER, "invalid table name \"" + name + "\"");
        if (!fields && field_count)
            fail(KE_ERR_INVALID_PARAMETER, "no field descriptions");
        if (!ke::findEntryIgnoringCase(d.directory, name).empty())
            fail(KE_ERR_INVALID_PARAMETER, d.directory + "/" + name + ": the file exists already");
        if (key_fields > field_count)
            fail(KE_ERR_INVALID_PARAMETER, "more key fields than fields");
        ke::NewTable table;
        table.codePage = code_page;
        table.keyFields = key_fields;
        for (uint16_t i = 0; i < field_count; ++i) {
            const ke_field_desc& f = fields[i];
            if (f.size > 255)
                fail(KE_ERR_INVALID_PARAMETER, std::string("field \"") + f.name + "\" is longer than 255");
            table.fields.push_back({f.name, f.type, uint8_t(f.size)});
        }
        ke::createTable(d.directory + "/" + name, table);
    });
}

ke_result ke_append_records(ke_cursor* cursor, const uint8_t* records, size_t count)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        if (!records && count)
            fail(KE_ERR_INVALID_PARAMETER, "no records");
        c.append(records, count);
    });
}

ke_result ke_copy_table(ke_cursor* cursor, const char* destination, uint64_t* bytes)
{
    return wholeFileCall(cursor, destination, "no destination", bytes, &ke::Cursor::copyTo);
}

ke_result ke_restore_table(ke_cursor* cursor, const char* backup, uint64_t* bytes)
{
    return wholeFileCall(cursor, backup, "no backup", bytes, &ke::Cursor::restoreFrom);
}

ke_result ke_check_table(ke_cursor* cursor, ke_problem_sink sink, void* context, uint32_t* problems)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        const uint32_t n = c.check([&](const std::string& text) {
            if (sink)
                sink(context, text.c_str());
        });
        if (problems)
            *problems = n;
    });
}

} // extern "C"

ke_result ke_set_table_password(ke_cursor* cursor, const char* new_password)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        const std::string typed = new_password ? new_password : "";
        uint32_t key = 0;
        if (!typed.empty()) {
            const ke::CodePage* codePage = ke::CodePage::get(c.header().textCodePage());
            const std::string bytes = codePage ? codePage->fromUtf8(typed) : typed;
            key = ke::scramble::keyOf(bytes);
            if (key == 0)
                fail(KE_ERR_INVALID_PARAMETER, "a password has 1 to 255 characters");
        }
        c.storeUnderKey(key);
    });
}
