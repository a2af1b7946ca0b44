// The test engine's controls: what a test calls to script the table, its
// failures and options, and to look at what the client layer did.
#include "FakeEngineState.h"

#include <cstring>

#define FAKE_API extern "C" __attribute__((visibility("default")))

using namespace fake;

// ======================================================================= test controls

FAKE_API void fake_reset() {
    for (Cursor* c : st().cursors) delete c;
    st() = State{};
}

FAKE_API void fake_set_init_result(ke_result code) { st().initResult = code; }
FAKE_API void fake_set_init_hook(void (*hook)()) { st().initHook = hook; }
FAKE_API void fake_set_table_name(const char* name) { st().tableName = name; }
FAKE_API void fake_set_option(const char* name, int value) { st().options[name] = value; }
FAKE_API void fake_set_password(const char* password) { st().password = password ? password : ""; }
FAKE_API void fake_set_error_text(ke_result code, const char* text) { st().texts[code] = text; }

FAKE_API void fake_add_column(const char* name, uint8_t type, uint16_t size) {
    st().columns.push_back(Column{name, type, size, st().recordSize});
    st().recordSize = static_cast<uint16_t>(st().recordSize + size);
    for (Record& r : st().records) r.data.resize(st().recordSize, 0);
}

// values: one UTF-8 text per column; NULL for a blank value.
FAKE_API int fake_add_record(const char* const* values) {
    Record r{st().nextId++, std::vector<uint8_t>(st().recordSize, 0)};
    for (size_t i = 0; i < st().columns.size(); ++i) {
        if (!values[i]) continue;
        std::vector<uint8_t> native;
        if (!utf8ToNative(values[i], std::strlen(values[i]), native)) return 0;
        std::memcpy(r.data.data() + st().columns[i].offset, native.data(), std::min<size_t>(native.size(), st().columns[i].size));
    }
    st().records.push_back(std::move(r));
    return 1;
}

FAKE_API int fake_record_count() { return static_cast<int>(st().records.size()); }

// The value of a stored record as UTF-8 ("" for blank); returns its length.
FAKE_API int fake_record_value(int row, int column, char* utf8, int capacity) {
    const Column& col = st().columns[static_cast<size_t>(column)];
    const uint8_t* p = st().records[static_cast<size_t>(row)].data.data() + col.offset;
    size_t n = 0;
    while (n < col.size && p[n]) ++n;
    const std::string s = nativeToUtf8(p, n);
    std::strncpy(utf8, s.c_str(), static_cast<size_t>(capacity) - 1);
    utf8[capacity - 1] = 0;
    return static_cast<int>(s.size());
}

// The next `times` calls of op fail with code (times -1: always); entries are added by fake_add_failure_entry.
FAKE_API void fake_fail(const char* op, ke_result code, int times) {
    st().failures[op] = Failure{code, times, {}};
    st().lastScripted = op;
}

FAKE_API void fake_add_failure_entry(ke_result code, int32_t native, const char* context) {
    st().failures[st().lastScripted].entries.push_back(Entry{code, native, context});
}

// The calls made since the last reset/clear, one per line.
FAKE_API int fake_log(char* buffer, int capacity) {
    std::string all;
    for (const std::string& line : st().log) all += line + "\n";
    std::strncpy(buffer, all.c_str(), static_cast<size_t>(capacity) - 1);
    buffer[capacity - 1] = 0;
    return static_cast<int>(all.size());
}

FAKE_API void fake_clear_log() { st().log.clear(); }
FAKE_API int fake_open_cursors() { return static_cast<int>(st().cursors.size()); }
FAKE_API int fake_open_databases() { return st().databases; }
FAKE_API int fake_locks_held() { return static_cast<int>(st().locks.size()); }
FAKE_API int fake_initialized() { return st().initialized ? 1 : 0; }
FAKE_API int fake_password_count() { return static_cast<int>(st().passwords.size()); }
