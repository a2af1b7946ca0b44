// What the C interface's entries share: the handles, the session with its
// lock and error stack, and the wrapper that turns engine failures into
// result codes.
#pragma once

#include "kartoteka_engine.h"

#include "Cursor.h"
#include "EngineConfig.h"
#include "EngineError.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

struct ke_database {
    std::string directory;
    bool readOnly = false;
};

struct ke_cursor {
    std::unique_ptr<ke::Cursor> cursor;
};

namespace ke::api {

struct Session {
    std::mutex mutex;
    bool initialized = false;
    ke::EngineConfig config;
    std::set<std::string> passwords;
    std::set<ke_database*> databases;
    std::set<ke_cursor*> cursors;
    std::vector<ke::EngineError> errors;
};

inline Session& session()
{
    static Session s;
    return s;
}

template <class F>
ke_result guardedCall(bool needSession, F&& body)
{
    Session& s = session();
    std::lock_guard lock(s.mutex);
    try {
        if (needSession && !s.initialized)
            ke::fail(KE_ERR_NOT_INITIALIZED);
        body(s);
        return KE_OK;
    } catch (const ke::EngineError& e) {
        s.errors.assign(1, e);
        return e.code;
    } catch (const std::bad_alloc&) {
        s.errors.assign(1, ke::EngineError{KE_ERR_NO_MEMORY, 0, {}});
        return KE_ERR_NO_MEMORY;
    } catch (...) {
        s.errors.assign(1, ke::EngineError{KE_ERR_INTERNAL, 0, {}});
        return KE_ERR_INTERNAL;
    }
}

inline ke::Cursor& cursorOf(Session& s, ke_cursor* c)
{
    if (!c || !s.cursors.count(c))
        ke::fail(KE_ERR_INVALID_HANDLE, "cursor");
    return *c->cursor;
}

inline ke_database& databaseOf(Session& s, ke_database* db)
{
    if (!db || !s.databases.count(db))
        ke::fail(KE_ERR_INVALID_HANDLE, "database");
    return *db;
}

inline const ke::FieldInfo& fieldOf(ke::Cursor& c, uint16_t field)
{
    const auto& fields = c.header().fields;
    if (field == 0 || field > fields.size())
        ke::fail(KE_ERR_INVALID_PARAMETER, "no field number " + std::to_string(field));
    return fields[field - 1];
}

inline void copyText(const std::string& text, char* out, size_t capacity)
{
    if (!out || capacity == 0)
        return;
    size_t n = std::min(text.size(), capacity - 1);
    // Never cut a UTF-8 sequence in half.
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(out, text.data(), n);
    out[n] = 0;
}

} // namespace ke::api
