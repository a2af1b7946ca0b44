#include "Engine.h"

#include "Password.h"

#include <cstring>

namespace kt {

std::string engineError(ke_result result)
{
    char text[256] = "";
    ke_error_text(result, text, sizeof text);
    std::string message = *text ? text : "table engine error " + std::to_string(result);
    ke_result code = 0;
    char context[1024] = "";
    if (ke_error_entry(1, &code, nullptr, context, sizeof context) == KE_OK && code == result && *context)
        message += std::string(" ") + context;
    return message;
}

void require(ke_result result)
{
    if (result != KE_OK)
        throw ToolError(engineError(result), result);
}

EngineSession::EngineSession()
{
    ke_environment env {};
    std::strcpy(env.language, "0009");
    require(ke_init(&env));
}

EngineSession::~EngineSession() { ke_exit(); }

void splitPath(const std::string& file, std::string& folder, std::string& name)
{
    const auto cut = file.find_last_of("/\\");
    if (cut == std::string::npos) {
        // "E:data.DB" names the drive's top folder.
        const bool drive = file.size() > 2 && file[1] == ':';
        folder = drive ? file.substr(0, 2) : std::string();
        name = drive ? file.substr(2) : file;
        return;
    }
    folder = cut == 0 ? file.substr(0, 1) : file.substr(0, cut);
    if (folder.size() == 2 && folder[1] == ':')
        folder += '\\';
    name = file.substr(cut + 1);
}

Table::Table(const std::string& file, Access access, bool exclusive)
{
    // The standard database is the current folder; the name may carry its own folder.
    require(ke_open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db_));
    auto open = [&] {
        const ke_open_mode mode = access == Access::Write  ? KE_OPEN_READ_WRITE
                                  : access == Access::Read ? KE_OPEN_READ_ONLY
                                                           : KE_OPEN_READ_AS_STORED;
        return ke_open_table(db_, file.c_str(), "PARADOX", nullptr, 0, mode, exclusive ? KE_SHARE_EXCLUSIVE : KE_SHARE_SHARED,
                             &cursor_);
    };
    ke_result opened = open();
    // A protected table: the given password was already tried; ask a few times.
    for (int tries = 0; opened == KE_ERR_INSUFFICIENT_RIGHTS && tries < 3; ++tries) {
        if (givenPassword()) {
            ke_close_database(db_);
            throw ToolError(file + ": the password given does not open this table", opened);
        }
        const std::optional<std::string> typed = askOnTerminal("Password for " + file + ": ");
        if (!typed || typed->empty())
            break;
        if (ke_add_password(typed->c_str()) == KE_OK)
            opened = open();
    }
    if (opened == KE_ERR_INSUFFICIENT_RIGHTS) {
        ke_close_database(db_);
        throw ToolError(file + ": the table is password-protected; give its password on a terminal or with --password-file FILE", opened);
    }
    if (opened != KE_OK) {
        const std::string message = engineError(opened);
        ke_close_database(db_);
        throw ToolError(message, opened);
    }
    ke_cursor_props props {};
    require(ke_get_cursor_props(cursor_, &props));
    recordSize_ = props.record_size;
    codePage_ = props.code_page;
    std::vector<ke_field_desc> descs(props.field_count);
    require(ke_get_field_descs(cursor_, descs.data(), props.field_count));
    for (const ke_field_desc& d : descs)
        fields_.push_back({d.number, d.name, d.type, d.size, d.offset});
}

Table::~Table()
{
    if (cursor_)
        ke_close_cursor(cursor_);
    if (db_)
        ke_close_database(db_);
}

ke_table_info Table::info(std::string* path) const
{
    ke_table_info facts {};
    std::vector<char> where(path ? 4096 : 0);
    require(ke_get_table_info(cursor_, &facts, path ? where.data() : nullptr, where.size()));
    if (path)
        *path = where.data();
    return facts;
}

void Table::toBegin() { require(ke_set_to_begin(cursor_)); }

bool Table::next(uint8_t* record)
{
    const ke_result r = ke_get_next_record(cursor_, KE_LOCK_NONE, record, recordSize_);
    if (r == KE_ERR_EOF)
        return false;
    require(r);
    return true;
}

std::vector<ke_field_desc> fieldDescriptions(const std::vector<Field>& fields)
{
    std::vector<ke_field_desc> descs;
    for (const Field& f : fields) {
        ke_field_desc d {};
        std::strncpy(d.name, f.name.c_str(), sizeof d.name - 1);
        d.type = f.type;
        d.size = f.size;
        descs.push_back(d);
    }
    return descs;
}

void createTable(const std::string& file, const std::vector<Field>& fields, uint16_t codePage, uint16_t keyFields)
{
    std::string folder, name;
    splitPath(file, folder, name);
    ke_database* db = nullptr;
    require(ke_open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db));
    const std::vector<ke_field_desc> descs = fieldDescriptions(fields);
    ke_result r = folder.empty() ? KE_OK : ke_set_directory(db, folder.c_str());
    if (r == KE_OK)
        r = ke_create_keyed_table(db, name.c_str(), descs.data(), uint16_t(descs.size()), codePage, keyFields);
    const std::string message = r == KE_OK ? std::string() : engineError(r);
    ke_close_database(db);
    if (r != KE_OK)
        throw ToolError(message);
}

} // namespace kt
