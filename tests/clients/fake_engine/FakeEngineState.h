#pragma once
// The test engine's one in-memory table, its cursors and scripted failures,
// and the helpers its C entries share (FakeEngine.cpp, FakeEngineControl.cpp).
#define KE_BUILDING_ENGINE
#include "kartoteka_engine.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace fake {

struct Column {
    std::string name;
    uint8_t type;
    uint16_t size;
    uint16_t offset;
};

struct Record {
    long id;
    std::vector<uint8_t> data;
};

struct Entry {
    ke_result code;
    int32_t native;
    std::string context;
};

struct Failure {
    ke_result code = 0;
    int times = 0;
    std::vector<Entry> entries;
};

struct Cursor {
    bool onRecord = false;
    long index = 0;      // the record, or the crack before record `index`
    bool readOnly = false;
    long lockedId = -1;
};

struct State {
    bool initialized = false;
    ke_result initResult = KE_OK;
    void (*initHook)() = nullptr;
    std::string tableName = "data.DB";
    uint16_t codePage = 1251;
    std::vector<Column> columns;
    uint16_t recordSize = 0;
    std::vector<Record> records;
    long nextId = 1;
    std::map<std::string, int> options;
    std::string password;
    std::set<std::string> passwords;
    std::map<std::string, Failure> failures;
    std::string lastScripted;
    std::vector<Entry> stack;
    std::map<ke_result, std::string> texts;
    std::vector<std::string> log;
    std::set<Cursor*> cursors;
    int databases = 0;
    std::set<long> locks; // record ids locked by any cursor
};

State& st();
int option(const char* name);
std::string lower(std::string s);
ke_result failWith(ke_result code, std::vector<Entry> entries = {});
// A scripted failure for this operation, if one is pending.
bool scripted(const char* op, ke_result* result);

// cp1251 for the letters the tests use.
bool utf8ToNative(const char* utf8, size_t length, std::vector<uint8_t>& out);
std::string nativeToUtf8(const uint8_t* native, size_t length);

ke_result readAt(Cursor* c, ke_lock lock, uint8_t* record);
void releaseLock(Cursor* c);
const char* defaultText(ke_result code);

} // namespace fake

#define SCRIPTED(op)                       \
    do {                                   \
        st().log.push_back(op);            \
        ke_result scriptedResult = 0;      \
        if (scripted(op, &scriptedResult)) \
            return scriptedResult;         \
    } while (0)

