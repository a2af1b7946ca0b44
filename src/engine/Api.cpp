// The C interface: handles, the session, the error stack. Every entry runs
// under one lock and turns engine failures into result codes.
#include "kartoteka_engine.h"

#include "ApiSession.h"

#include "CodePage.h"
#include "Cursor.h"
#include "EngineConfig.h"
#include "EngineError.h"
#include "KeyOrder.h"
#include "ErrorTexts.h"
#include "PathResolver.h"
#include "Utf8.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace ke::api;
using ke::EngineError;
using ke::fail;

bool looksLikePath(const std::string& name)
{
    return name.find_first_of(":\\/") != std::string::npos;
}

// A record buffer the engine writes into: at least a record long; NULL only
// where the caller may leave the record out.
void checkRecordBuffer(ke::Cursor& c, const uint8_t* record, size_t size, bool required)
{
    if (!record) {
        if (required)
            fail(KE_ERR_INVALID_PARAMETER, "no record buffer");
        return;
    }
    const size_t needed = c.header().recordSize;
    if (size < needed)
        fail(KE_ERR_BUFFER_TOO_SMALL,
             "a record needs " + std::to_string(needed) + " bytes, the buffer has " + std::to_string(size));
}

} // namespace

extern "C" {

ke_result ke_init(const ke_environment* /*env*/)
{
    return guardedCall(false, [](Session& s) {
        if (s.initialized)
            fail(KE_ERR_ALREADY_INITIALIZED);
        s.config = ke::EngineConfig::load();
        s.initialized = true;
    });
}

ke_result ke_exit(void)
{
    return guardedCall(true, [](Session& s) {
        for (ke_cursor* c : s.cursors)
            delete c;
        for (ke_database* d : s.databases)
            delete d;
        s.cursors.clear();
        s.databases.clear();
        s.passwords.clear();
        s.initialized = false;
    });
}

ke_result ke_open_database(const char* name, ke_open_mode mode, ke_share_mode /*share*/,
                           const char* /*password*/, ke_database** out)
{
    return guardedCall(true, [&](Session& s) {
        if (!out)
            fail(KE_ERR_INVALID_PARAMETER, "no place for the database handle");
        *out = nullptr;
        auto db = std::make_unique<ke_database>();
        db->readOnly = mode != KE_OPEN_READ_WRITE;
        const std::string n = name ? name : "";
        if (!n.empty() && !looksLikePath(n))
            fail(KE_ERR_UNKNOWN_DATABASE, n);
        db->directory = ke::PathResolver(s.config).directory(n);
        *out = db.get();
        s.databases.insert(db.release());
    });
}

ke_result ke_close_database(ke_database* db)
{
    return guardedCall(true, [&](Session& s) {
        databaseOf(s, db);
        s.databases.erase(db);
        delete db;
    });
}

ke_result ke_set_directory(ke_database* db, const char* path)
{
    return guardedCall(true, [&](Session& s) {
        ke_database& d = databaseOf(s, db);
        d.directory = ke::PathResolver(s.config).directory(path ? path : "");
    });
}

ke_result ke_open_table(ke_database* db, const char* table_name, const char* driver, const char* index_name,
                        uint16_t index_number, ke_open_mode mode, ke_share_mode share, ke_cursor** out)
{
    return guardedCall(true, [&](Session& s) {
        if (!out)
            fail(KE_ERR_INVALID_PARAMETER, "no place for the cursor handle");
        *out = nullptr;
        ke_database& d = databaseOf(s, db);
        if (!table_name || !*table_name)
            fail(KE_ERR_INVALID_PARAMETER, "no table name");
        if (driver && *driver && !ke::equalsIgnoringCase(driver, "PARADOX"))
            fail(KE_ERR_UNKNOWN_DRIVER, driver);
        if ((index_name && *index_name) || index_number != 0)
            fail(KE_ERR_INVALID_PARAMETER, "only the table's default order can be opened");
        const std::string path = ke::PathResolver(s.config).tableFile(d.directory, table_name);
        ke::OpenOptions options;
        if (mode != KE_OPEN_READ_WRITE && mode != KE_OPEN_READ_ONLY && mode != KE_OPEN_READ_AS_STORED)
            fail(KE_ERR_INVALID_PARAMETER, "unknown open mode " + std::to_string(int(mode)));
        options.readOnly = mode != KE_OPEN_READ_WRITE || d.readOnly;
        options.asStored = mode == KE_OPEN_READ_AS_STORED;
        options.exclusive = share == KE_SHARE_EXCLUSIVE;
        options.passwords.assign(s.passwords.begin(), s.passwords.end());
        auto c = std::make_unique<ke_cursor>();
        c->cursor = std::make_unique<ke::Cursor>(path, options);
        *out = c.get();
        s.cursors.insert(c.release());
    });
}

ke_result ke_close_cursor(ke_cursor* cursor)
{
    return guardedCall(true, [&](Session& s) {
        cursorOf(s, cursor);
        s.cursors.erase(cursor);
        delete cursor;
    });
}

ke_result ke_get_cursor_props(ke_cursor* cursor, ke_cursor_props* props)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        if (!props)
            fail(KE_ERR_INVALID_PARAMETER, "no place for the properties");
        std::memset(props, 0, sizeof *props);
        const ke::TableHeader& h = c.header();
        props->record_size = h.recordSize;
        props->bookmark_size = 8;
        props->read_only = c.readOnly() ? 1 : 0;
        props->has_constraints = 0;
        props->field_count = uint16_t(h.fields.size());
        props->code_page = h.textCodePage();
        copyText(h.sortOrderName, props->sort_order, sizeof props->sort_order);
    });
}

ke_result ke_get_field_descs(ke_cursor* cursor, ke_field_desc* descs, uint16_t capacity)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        const ke::TableHeader& h = c.header();
        if (!descs && !h.fields.empty())
            fail(KE_ERR_INVALID_PARAMETER, "no place for the field descriptions");
        if (capacity < h.fields.size())
            fail(KE_ERR_BUFFER_TOO_SMALL, "the table has " + std::to_string(h.fields.size()) +
                                              " fields, the buffer room for " + std::to_string(capacity));
        for (size_t i = 0; i < h.fields.size(); ++i) {
            const ke::FieldInfo& f = h.fields[i];
            ke_field_desc& d = descs[i];
            std::memset(&d, 0, sizeof d);
            d.number = uint16_t(i + 1);
            copyText(ke::fieldNameOf(h, f), d.name, sizeof d.name);
            d.type = f.type;
            d.size = f.size;
            d.offset = f.offset;
        }
    });
}

ke_result ke_set_to_begin(ke_cursor* cursor)
{
    return guardedCall(true, [&](Session& s) { cursorOf(s, cursor).setToBegin(); });
}

ke_result ke_set_to_end(ke_cursor* cursor)
{
    return guardedCall(true, [&](Session& s) { cursorOf(s, cursor).setToEnd(); });
}

ke_result ke_get_record(ke_cursor* cursor, ke_lock lock, uint8_t* record, size_t record_size)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        checkRecordBuffer(c, record, record_size, false);
        c.current(lock == KE_LOCK_WRITE, record);
    });
}

ke_result ke_get_next_record(ke_cursor* cursor, ke_lock lock, uint8_t* record, size_t record_size)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        checkRecordBuffer(c, record, record_size, false);
        c.next(lock == KE_LOCK_WRITE, record);
    });
}

ke_result ke_get_prior_record(ke_cursor* cursor, ke_lock lock, uint8_t* record, size_t record_size)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        checkRecordBuffer(c, record, record_size, false);
        c.prior(lock == KE_LOCK_WRITE, record);
    });
}

ke_result ke_init_record(ke_cursor* cursor, uint8_t* record, size_t record_size)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        checkRecordBuffer(c, record, record_size, true);
        c.blankRecord(record);
    });
}

ke_result ke_get_field(ke_cursor* cursor, uint16_t field, const uint8_t* record, uint8_t* value, size_t capacity,
                       size_t* length, int* blank)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        const ke::FieldInfo& f = fieldOf(c, field);
        if (!record)
            fail(KE_ERR_INVALID_PARAMETER, "no record buffer");
        const uint8_t* p = record + f.offset;
        size_t n = f.size;
        bool isBlank;
        if (f.type == KE_FIELD_ALPHA) {
            const void* nul = std::memchr(p, 0, f.size);
            n = nul ? size_t(static_cast<const uint8_t*>(nul) - p) : f.size;
            isBlank = n == 0;
        } else {
            isBlank = std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
        }
        if (length)
            *length = n;
        if (blank)
            *blank = isBlank ? 1 : 0;
        if (!value && capacity)
            fail(KE_ERR_INVALID_PARAMETER, "no place for the value");
        if (n > capacity || (n > 0 && !value))
            fail(KE_ERR_BUFFER_TOO_SMALL, "the field needs " + std::to_string(n) + " bytes");
        if (n)
            std::memcpy(value, p, n);
    });
}

ke_result ke_put_field(ke_cursor* cursor, uint16_t field, uint8_t* record, size_t record_size, const uint8_t* value,
                       size_t length)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        const ke::FieldInfo& f = fieldOf(c, field);
        checkRecordBuffer(c, record, record_size, true);
        uint8_t* p = record + f.offset;
        if (!value || length == 0) {
            std::memset(p, 0, f.size);
            return;
        }
        if (f.type == KE_FIELD_ALPHA) {
            const void* nul = std::memchr(value, 0, length);
            const size_t n = nul ? size_t(static_cast<const uint8_t*>(nul) - value) : length;
            if (n > f.size)
                fail(KE_ERR_FIELD_TOO_LONG, "field \"" + ke::fieldNameOf(c.header(), f) + "\" holds at most " +
                                                std::to_string(f.size) + " characters, the value has " +
                                                std::to_string(n));
            std::memset(p, 0, f.size);
            std::memcpy(p, value, n);
            return;
        }
        if (length != f.size)
            fail(KE_ERR_INVALID_PARAMETER, "field " + std::to_string(field) + " takes " + std::to_string(f.size) + " bytes");
        std::memcpy(p, value, length);
    });
}

ke_result ke_verify_field(ke_cursor* cursor, uint16_t field, const uint8_t* value, size_t length, int* blank)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        fieldOf(c, field);
        // The engine keeps no validity checks: every value passes.
        if (blank)
            *blank = (!value || length == 0 || value[0] == 0) ? 1 : 0;
    });
}

ke_result ke_make_insertion_point(ke_cursor* cursor)
{
    return guardedCall(true, [&](Session& s) { cursorOf(s, cursor).makeInsertionPoint(); });
}

ke_result ke_insert_record(ke_cursor* cursor, ke_lock lock, const uint8_t* record)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        if (!record)
            fail(KE_ERR_INVALID_PARAMETER, "no record buffer");
        c.insert(record, lock == KE_LOCK_WRITE);
    });
}

ke_result ke_modify_record(ke_cursor* cursor, const uint8_t* record, int release_lock)
{
    return guardedCall(true, [&](Session& s) {
        ke::Cursor& c = cursorOf(s, cursor);
        if (!record)
            fail(KE_ERR_INVALID_PARAMETER, "no record buffer");
        c.modify(record, release_lock != 0);
    });
}

ke_result ke_delete_record(ke_cursor* cursor)
{
    return guardedCall(true, [&](Session& s) { cursorOf(s, cursor).remove(); });
}

ke_result ke_release_record_lock(ke_cursor* cursor)
{
    return guardedCall(true, [&](Session& s) { cursorOf(s, cursor).releaseLock(); });
}

ke_result ke_add_password(const char* password)
{
    return guardedCall(true, [&](Session& s) {
        // Up to 255 characters, in UTF-8 up to four bytes each; a table's key
        // is made from the password's bytes in the table's code page.
        if (!password || !*password || std::strlen(password) > 4 * 255)
            fail(KE_ERR_INVALID_PARAMETER, "a password has 1 to 255 characters");
        s.passwords.insert(password);
    });
}

ke_result ke_drop_password(const char* password)
{
    return guardedCall(true, [&](Session& s) {
        if (!password)
            s.passwords.clear();
        else
            s.passwords.erase(password);
    });
}

ke_result ke_error_text(ke_result code, char* text, size_t capacity)
{
    const char* t = ke::errorText(code);
    copyText(t ? t : "", text, capacity);
    return t ? KE_OK : KE_ERR_INVALID_PARAMETER;
}

ke_result ke_error_entry(uint16_t entry, ke_result* code, int32_t* native_code, char* context, size_t capacity)
{
    Session& s = session();
    std::lock_guard lock(s.mutex);
    if (entry == 0 || entry > s.errors.size()) {
        copyText("", context, capacity);
        return KE_ERR_NO_MORE_ENTRIES;
    }
    const EngineError& e = s.errors[entry - 1];
    if (code)
        *code = e.code;
    if (native_code)
        *native_code = e.nativeCode;
    copyText(e.context, context, capacity);
    return KE_OK;
}

ke_result ke_native_to_unicode(uint16_t code_page, const uint8_t* native, size_t length, char* utf8, size_t capacity,
                               size_t* out_length)
{
    return guardedCall(false, [&](Session&) {
        const ke::CodePage* cp = ke::CodePage::get(code_page);
        if (!cp)
            fail(KE_ERR_UNSUPPORTED_CODE_PAGE, "code page " + std::to_string(code_page));
        if (!native && length)
            fail(KE_ERR_INVALID_PARAMETER, "no text");
        const std::string text = cp->toUtf8(native, length);
        if (out_length)
            *out_length = text.size();
        if (!utf8 && capacity)
            fail(KE_ERR_INVALID_PARAMETER, "no place for the text");
        if (!utf8 || capacity < text.size() + 1)
            fail(KE_ERR_BUFFER_TOO_SMALL, "the text needs " + std::to_string(text.size() + 1) + " bytes");
        std::memcpy(utf8, text.data(), text.size());
        utf8[text.size()] = 0;
    });
}

ke_result ke_unicode_to_native(uint16_t code_page, const char* utf8, size_t length, uint8_t* native, size_t capacity,
                               size_t* out_length)
{
    return guardedCall(false, [&](Session&) {
        const ke::CodePage* cp = ke::CodePage::get(code_page);
        if (!cp)
            fail(KE_ERR_UNSUPPORTED_CODE_PAGE, "code page " + std::to_string(code_page));
        if (!utf8 && length)
            fail(KE_ERR_INVALID_PARAMETER, "no text");
        const std::string text = cp->fromUtf8(std::string_view(utf8 ? utf8 : "", length));
        if (out_length)
            *out_length = text.size();
        if (!native && capacity)
            fail(KE_ERR_INVALID_PARAMETER, "no place for the text");
        if (capacity < text.size())
            fail(KE_ERR_BUFFER_TOO_SMALL, "the text needs " + std::to_string(text.size()) + " bytes");
        if (!native)
            return; // nothing to write: an empty text and no buffer
        std::memcpy(native, text.data(), text.size());
        if (capacity > text.size())
            native[text.size()] = 0;
    });
}

} // extern "C"
