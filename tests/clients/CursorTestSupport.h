#pragma once

// Helpers for the tests of the client table cursor: the scriptable test
// engine's controls, test tables on the test engine or the real engine, and a
// data link that records every notification it receives.

#include "TDataLink.h"
#include "TFieldDataLink.h"
#include "kartoteka_engine.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class TField;

namespace CursorTest {

// The scriptable test engine's control entries (resolved from its library).
struct FakeEngine {
    void (*reset)() = nullptr;
    void (*set_init_result)(ke_result) = nullptr;
    void (*set_init_hook)(void (*)()) = nullptr;
    void (*set_table_name)(const char*) = nullptr;
    void (*set_option)(const char*, int) = nullptr;
    void (*set_password)(const char*) = nullptr;
    void (*set_error_text)(ke_result, const char*) = nullptr;
    void (*add_column)(const char*, uint8_t, uint16_t) = nullptr;
    int (*add_record)(const char* const*) = nullptr;
    int (*record_count)() = nullptr;
    int (*record_value)(int, int, char*, int) = nullptr;
    void (*fail)(const char*, ke_result, int) = nullptr;
    void (*add_failure_entry)(ke_result, int32_t, const char*) = nullptr;
    int (*log_)(char*, int) = nullptr;
    void (*clear_log)() = nullptr;
    int (*open_cursors)() = nullptr;
    int (*open_databases)() = nullptr;
    int (*locks_held)() = nullptr;
    int (*initialized)() = nullptr;
    int (*password_count)() = nullptr;

    QStringList log() const;
    static QString directory();
    static FakeEngine& instance(); // loads the library the first time
};

QString realEngineDirectory();

struct Column {
    QString name;
    uint8_t type;
    uint16_t size;
};

// The seven columns of the client table.
QList<Column> clientColumns();

// A table "data.DB" in the client database, on the test engine or on the real
// engine (a new table file in a temporary directory, with an engine
// configuration that maps drive E: there). Closes the session when done.
class TestTable {
public:
    enum Engine { Fake, Real };
    // The engine chosen by KARTOTEKA_TEST_ENGINE ("real" or "fake", default fake).
    static Engine engineFromEnvironment();

    explicit TestTable(Engine engine, const QList<Column>& columns = clientColumns());
    ~TestTable();

    Engine engine() const { return engine_; }
    // Appends records (one text per column; a null QString is a blank value),
    // through the engine interface, not through TTable.
    void append(const QList<QStringList>& records);
    // The stored records, read afresh through the engine interface.
    QList<QStringList> stored();
    QString tableFile() const { return tableFile_; }

private:
    Engine engine_;
    QList<Column> columns_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString tableFile_;
};

// Points the loader at one engine and ends any running session.
void useEngine(const QString& directory);

// Records the notifications a data link receives, as short words.
class RecordingLink : public TDataLink {
public:
    QStringList events;
    // Each UpdateData calls this (to write pending values), when set.
    std::function<void()> onUpdateData;

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;
    void CheckBrowseMode() override;
};

} // namespace CursorTest
