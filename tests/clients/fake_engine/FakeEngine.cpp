// A scriptable in-memory table engine with the engine plugin's C interface,
// built only for the tests of the client layer. It holds one table in memory
// and lets a test provoke the failures the real engine rarely gives: failed
// initialisation, read-only tables, password protection, refused record
// locks, refused posts, a success without a cursor, scripted error stacks.
#include "FakeEngineState.h"

#include <algorithm>
#include <cstring>

using namespace fake;

// ======================================================================= engine interface

extern "C" {

KE_API ke_result ke_init(const ke_environment* env) {
    st().log.push_back(std::string("init ") + (env ? env->language : "(null)"));
    if (st().initHook) st().initHook();
    if (st().initResult != KE_OK) return failWith(st().initResult);
    if (st().initialized) return KE_ERR_ALREADY_INITIALIZED;
    st().initialized = true;
    return KE_OK;
}

KE_API ke_result ke_exit(void) {
    st().log.push_back("exit");
    st().initialized = false;
    return KE_OK;
}

KE_API ke_result ke_open_database(const char*, ke_open_mode, ke_share_mode, const char*, ke_database** out) {
    SCRIPTED("open_database");
    ++st().databases;
    *out = reinterpret_cast<ke_database*>(new int(1));
    return KE_OK;
}

KE_API ke_result ke_close_database(ke_database* db) {
    st().log.push_back("close_database");
    --st().databases;
    delete reinterpret_cast<int*>(db);
    return KE_OK;
}

KE_API ke_result ke_set_directory(ke_database*, const char* path) {
    st().log.push_back(std::string("set_directory ") + path);
    ke_result r = 0;
    if (scripted("set_directory", &r)) return r;
    return KE_OK;
}

KE_API ke_result ke_open_table(ke_database*, const char* name, const char* driver, const char*, uint16_t,
                               ke_open_mode mode, ke_share_mode, ke_cursor** out) {
    st().log.push_back(std::string("open_table ") + name + " " + driver + (mode == KE_OPEN_READ_ONLY ? " ro" : " rw"));
    ke_result r = 0;
    if (scripted("open_table", &r)) return r;
    if (lower(name) != lower(st().tableName))
        return failWith(KE_ERR_TABLE_NOT_FOUND, {{KE_ERR_TABLE_NOT_FOUND, 0, std::string("Table: ") + name}});
    if (!st().password.empty() && !st().passwords.count(st().password))
        return failWith(KE_ERR_INSUFFICIENT_RIGHTS, {{KE_ERR_INSUFFICIENT_RIGHTS, 0, std::string("Table: ") + name}});
    if (option("read_only_file") && mode == KE_OPEN_READ_WRITE)
        return failWith(KE_ERR_TABLE_READ_ONLY, {{KE_ERR_TABLE_READ_ONLY, 0, std::string("Table: ") + name}});
    if (option("null_cursor")) {
        *out = nullptr;
        return KE_OK;
    }
    auto* c = new Cursor;
    c->readOnly = mode == KE_OPEN_READ_ONLY || option("read_only_cursor");
    st().cursors.insert(c);
    *out = reinterpret_cast<ke_cursor*>(c);
    return KE_OK;
}

KE_API ke_result ke_close_cursor(ke_cursor* cursor) {
    st().log.push_back("close_cursor");
    auto* c = reinterpret_cast<Cursor*>(cursor);
    releaseLock(c);
    st().cursors.erase(c);
    delete c;
    return KE_OK;
}

KE_API ke_result ke_get_cursor_props(ke_cursor* cursor, ke_cursor_props* props) {
    auto* c = reinterpret_cast<Cursor*>(cursor);
    *props = ke_cursor_props{};
    props->record_size = st().recordSize;
    props->bookmark_size = 4;
    props->read_only = c->readOnly ? 1 : 0;
    props->has_constraints = option("constraints") ? 1 : 0;
    props->field_count = static_cast<uint16_t>(st().columns.size());
    props->code_page = st().codePage;
    std::strcpy(props->sort_order, "ANCYRR");
    return KE_OK;
}

KE_API ke_result ke_get_field_descs(ke_cursor*, ke_field_desc* descs, uint16_t capacity) {
    if (capacity < st().columns.size()) return failWith(KE_ERR_BUFFER_TOO_SMALL);
    for (size_t i = 0; i < st().columns.size(); ++i) {
        ke_field_desc& d = descs[i];
        d = ke_field_desc{};
        d.number = static_cast<uint16_t>(i + 1);
        std::strncpy(d.name, st().columns[i].name.c_str(), sizeof d.name - 1);
        d.type = st().columns[i].type;
        d.size = st().columns[i].size;
        d.offset = st().columns[i].offset;
    }
    return KE_OK;
}

KE_API ke_result ke_set_to_begin(ke_cursor* cursor) {
    auto* c = reinterpret_cast<Cursor*>(cursor);
    c->onRecord = false;
    c->index = 0;
    return KE_OK;
}

KE_API ke_result ke_set_to_end(ke_cursor* cursor) {
    auto* c = reinterpret_cast<Cursor*>(cursor);
    c->onRecord = false;
    c->index = static_cast<long>(st().records.size());
    return KE_OK;
}

KE_API ke_result ke_get_record(ke_cursor* cursor, ke_lock lock, uint8_t* record, size_t record_size) {
    if (record && record_size < st().recordSize) return failWith(KE_ERR_BUFFER_TOO_SMALL);
    st().log.push_back(lock == KE_LOCK_WRITE ? "get_record lock" : "get_record");
    ke_result r = 0;
    if (scripted(lock == KE_LOCK_WRITE ? "get_record lock" : "get_record", &r)) return r;
    auto* c = reinterpret_cast<Cursor*>(cursor);
    if (!c->onRecord || c->index >= static_cast<long>(st().records.size()))
        return failWith(KE_ERR_NO_CURRENT_RECORD);
    return readAt(c, lock, record);
}

KE_API ke_result ke_get_next_record(ke_cursor* cursor, ke_lock lock, uint8_t* record, size_t record_size) {
    if (record && record_size < st().recordSize) return failWith(KE_ERR_BUFFER_TOO_SMALL);
    ke_result r = 0;
    if (scripted("get_next_record", &r)) return r;
    auto* c = reinterpret_cast<Cursor*>(cursor);
    const long n = static_cast<long>(st().records.size());
    const long next = c->onRecord ? c->index + 1 : c->index;
    if (next >= n) {
        c->onRecord = false;
        c->index = n;
        return failWith(KE_ERR_EOF);
    }
    c->onRecord = true;
    c->index = next;
    return readAt(c, lock, record);
}

KE_API ke_result ke_get_prior_record(ke_cursor* cursor, ke_lock lock, uint8_t* record, size_t record_size) {
    if (record && record_size < st().recordSize) return failWith(KE_ERR_BUFFER_TOO_SMALL);
    ke_result r = 0;
    if (scripted("get_prior_record", &r)) return r;
    auto* c = reinterpret_cast<Cursor*>(cursor);
    const long prior = c->index - 1;
    if (prior < 0) {
        c->onRecord = false;
        c->index = 0;
        return failWith(KE_ERR_BOF);
    }
    c->onRecord = true;
    c->index = prior;
    return readAt(c, lock, record);
}

KE_API ke_result ke_init_record(ke_cursor*, uint8_t* record, size_t record_size) {
    st().log.push_back("init_record");
    if (record_size < st().recordSize) return failWith(KE_ERR_BUFFER_TOO_SMALL);
    std::memset(record, 0, st().recordSize);
    return KE_OK;
}

KE_API ke_result ke_get_field(ke_cursor*, uint16_t field, const uint8_t* record, uint8_t* value, size_t capacity,
                              size_t* length, int* blank) {
    if (field < 1 || field > st().columns.size()) return failWith(KE_ERR_INVALID_PARAMETER);
    const Column& col = st().columns[field - 1];
    size_t n = 0;
    while (n < col.size && record[col.offset + n] != 0) ++n;
    if (n > capacity) return failWith(KE_ERR_BUFFER_TOO_SMALL);
    std::memcpy(value, record + col.offset, n);
    *length = n;
    *blank = n == 0;
    return KE_OK;
}

KE_API ke_result ke_put_field(ke_cursor*, uint16_t field, uint8_t* record, size_t record_size, const uint8_t* value,
                              size_t length) {
    st().log.push_back("put_field " + std::to_string(field));
    if (field < 1 || field > st().columns.size()) return failWith(KE_ERR_INVALID_PARAMETER);
    if (record_size < st().recordSize) return failWith(KE_ERR_BUFFER_TOO_SMALL);
    const Column& col = st().columns[field - 1];
    if (value && length > col.size) return failWith(KE_ERR_FIELD_TOO_LONG);
    std::memset(record + col.offset, 0, col.size);
    if (value) std::memcpy(record + col.offset, value, length);
    return KE_OK;
}

KE_API ke_result ke_verify_field(ke_cursor*, uint16_t field, const uint8_t*, size_t, int*) {
    st().log.push_back("verify_field " + std::to_string(field));
    ke_result r = 0;
    if (scripted("verify_field", &r)) return r;
    return KE_OK;
}

KE_API ke_result ke_make_insertion_point(ke_cursor* cursor) {
    SCRIPTED("make_insertion_point");
    auto* c = reinterpret_cast<Cursor*>(cursor);
    c->onRecord = false; // the crack before the current record
    return KE_OK;
}

KE_API ke_result ke_insert_record(ke_cursor* cursor, ke_lock, const uint8_t* record) {
    SCRIPTED("insert_record");
    auto* c = reinterpret_cast<Cursor*>(cursor);
    if (c->readOnly) return failWith(KE_ERR_TABLE_READ_ONLY);
    const long at = std::min<long>(c->index, static_cast<long>(st().records.size()));
    st().records.insert(st().records.begin() + at, Record{st().nextId++, std::vector<uint8_t>(record, record + st().recordSize)});
    c->onRecord = true;
    c->index = at;
    return KE_OK;
}

KE_API ke_result ke_modify_record(ke_cursor* cursor, const uint8_t* record, int release_lock) {
    SCRIPTED("modify_record");
    auto* c = reinterpret_cast<Cursor*>(cursor);
    if (!c->onRecord) return failWith(KE_ERR_NO_CURRENT_RECORD);
    Record& r = st().records[static_cast<size_t>(c->index)];
    if (c->lockedId != r.id) return failWith(KE_ERR_NOT_LOCKED);
    std::memcpy(r.data.data(), record, st().recordSize);
    if (release_lock) releaseLock(c);
    return KE_OK;
}

KE_API ke_result ke_delete_record(ke_cursor* cursor) {
    SCRIPTED("delete_record");
    auto* c = reinterpret_cast<Cursor*>(cursor);
    if (!c->onRecord) return failWith(KE_ERR_RECORD_NOT_FOUND);
    const long id = st().records[static_cast<size_t>(c->index)].id;
    if (c->lockedId == id) releaseLock(c);
    st().records.erase(st().records.begin() + c->index);
    c->onRecord = false;
    return KE_OK;
}

KE_API ke_result ke_release_record_lock(ke_cursor* cursor) {
    st().log.push_back("release_record_lock");
    auto* c = reinterpret_cast<Cursor*>(cursor);
    if (c->lockedId < 0) return failWith(KE_ERR_NOT_LOCKED);
    releaseLock(c);
    return KE_OK;
}

KE_API ke_result ke_add_password(const char* password) {
    st().log.push_back(std::string("add_password ") + password);
    st().passwords.insert(password);
    return KE_OK;
}

KE_API ke_result ke_drop_password(const char* password) {
    st().log.push_back(std::string("drop_password ") + (password ? password : "(all)"));
    if (password) st().passwords.erase(password);
    else st().passwords.clear();
    return KE_OK;
}

KE_API ke_result ke_error_text(ke_result code, char* text, size_t capacity) {
    std::string t;
    auto it = st().texts.find(code);
    if (it != st().texts.end()) t = it->second;
    else if (const char* d = defaultText(code)) t = d;
    else t = "Engine failure.";
    if (capacity == 0) return KE_ERR_BUFFER_TOO_SMALL;
    std::strncpy(text, t.c_str(), capacity - 1);
    text[capacity - 1] = 0;
    return KE_OK;
}

KE_API ke_result ke_error_entry(uint16_t entry, ke_result* code, int32_t* native_code, char* context, size_t capacity) {
    if (entry < 1 || entry > st().stack.size()) return KE_ERR_NO_MORE_ENTRIES;
    const Entry& e = st().stack[entry - 1];
    *code = e.code;
    *native_code = e.native;
    if (capacity) {
        std::strncpy(context, e.context.c_str(), capacity - 1);
        context[capacity - 1] = 0;
    }
    return KE_OK;
}

KE_API ke_result ke_native_to_unicode(uint16_t, const uint8_t* native, size_t length, char* utf8, size_t capacity,
                                      size_t* out_length) {
    const std::string s = nativeToUtf8(native, length);
    if (s.size() > capacity) return failWith(KE_ERR_BUFFER_TOO_SMALL);
    std::memcpy(utf8, s.data(), s.size());
    *out_length = s.size();
    return KE_OK;
}

KE_API ke_result ke_unicode_to_native(uint16_t, const char* utf8, size_t length, uint8_t* native, size_t capacity,
                                      size_t* out_length) {
    std::vector<uint8_t> out;
    if (!utf8ToNative(utf8, length, out))
        return failWith(KE_ERR_UNMAPPABLE_CHARACTER);
    if (!native && capacity) return failWith(KE_ERR_INVALID_PARAMETER);
    if (out.size() > capacity) return failWith(KE_ERR_BUFFER_TOO_SMALL);
    if (!out.empty()) std::memcpy(native, out.data(), out.size());
    *out_length = out.size();
    return KE_OK;
}

} // extern "C"
