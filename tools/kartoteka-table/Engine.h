// The table engine as the tool sees it: its public interface only, wrapped so
// that every failure becomes a ToolError with the engine's own words.
#pragma once

#include "kartoteka_engine.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kt {

// A failure the tool reports in one line and ends on.
struct ToolError : std::runtime_error {
    explicit ToolError(const std::string& what, ke_result code = KE_OK) : std::runtime_error(what), code(code) {}
    ke_result code; // the engine's result, when the engine failed
};

// The engine's text for a failed call: its message and the context it gave.
std::string engineError(ke_result result);
// Throws ToolError for anything but KE_OK.
void require(ke_result result);

// ke_init .. ke_exit for the life of the object.
class EngineSession {
public:
    EngineSession();
    ~EngineSession();
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;
};

struct Field {
    uint16_t number; // from 1
    std::string name;
    uint8_t type;
    uint16_t size;
    uint16_t offset;
};

// How a table is opened: to read, to change, or to read exactly as it
// stands (a copy being verified: a journal beside it is left alone).
enum class Access { Read, Write, ReadAsStored };

// One open table: a database for its folder and a cursor on it.
class Table {
public:
    // file: a host path ("cards/data.DB") or one with a drive letter ("E:\\dir\\data.DB").
    // A protected table opens with the password given on the command line, or
    // one asked on the terminal. Exclusive: no other user may have it open.
    Table(const std::string& file, Access access, bool exclusive = false);
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    ke_cursor* cursor() const { return cursor_; }
    const std::vector<Field>& fields() const { return fields_; }
    size_t recordSize() const { return recordSize_; }
    uint16_t codePage() const { return codePage_; }
    // Facts as they are now; the host path of the file.
    ke_table_info info(std::string* path = nullptr) const;

    void toBegin();
    // The next record into `record` (recordSize() bytes); false at the end of the table.
    bool next(uint8_t* record);

private:
    ke_database* db_ = nullptr;
    ke_cursor* cursor_ = nullptr;
    std::vector<Field> fields_;
    size_t recordSize_ = 0;
    uint16_t codePage_ = 0;
};

// The fields as the engine's descriptions for a new table.
std::vector<ke_field_desc> fieldDescriptions(const std::vector<Field>& fields);
// Creates an empty table, keyed on its first keyFields fields when that is not
// 0; `file` as for Table. The folder must exist.
void createTable(const std::string& file, const std::vector<Field>& fields, uint16_t codePage, uint16_t keyFields = 0);

// The folder of a path and the name in it ("E:\\a\\b.DB" gives "E:\\a" and "b.DB").
void splitPath(const std::string& file, std::string& folder, std::string& name);

} // namespace kt
