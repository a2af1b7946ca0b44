#include "CursorTestSupport.h"

#include "ClientFields.h"
#include "EngineLibrary.h"
#include "TDatabase.h"
#include "TField.h"
#include "TSession.h"
#include "TableCreator.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <dlfcn.h>
#include <stdexcept>

namespace CursorTest {

namespace {

QString binaryDir() {
    return qEnvironmentVariable("KARTOTEKA_BINARY_DIR");
}

template <class F> void resolve(void* handle, F& entry, const char* name) {
    entry = reinterpret_cast<F>(dlsym(handle, name));
    if (!entry)
        throw std::runtime_error(std::string("test engine lacks ") + name);
}

void checkResult(ke_result result, const char* what) {
    if (result != KE_OK)
        throw std::runtime_error(std::string(what) + " failed: " + std::to_string(result));
}

} // namespace

QString FakeEngine::directory() {
    return binaryDir() + QStringLiteral("/tests/fake-engine");
}

QString realEngineDirectory() {
    return binaryDir() + QStringLiteral("/bin");
}

FakeEngine& FakeEngine::instance() {
    static FakeEngine engine = [] {
        FakeEngine e;
        const QByteArray path = QFile::encodeName(directory() + QStringLiteral("/libkartoteka-engine.so"));
        void* handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            throw std::runtime_error(std::string("cannot load the test engine: ") + dlerror());
        resolve(handle, e.reset, "fake_reset");
        resolve(handle, e.set_init_result, "fake_set_init_result");
        resolve(handle, e.set_init_hook, "fake_set_init_hook");
        resolve(handle, e.set_table_name, "fake_set_table_name");
        resolve(handle, e.set_option, "fake_set_option");
        resolve(handle, e.set_password, "fake_set_password");
        resolve(handle, e.set_error_text, "fake_set_error_text");
        resolve(handle, e.add_column, "fake_add_column");
        resolve(handle, e.add_record, "fake_add_record");
        resolve(handle, e.record_count, "fake_record_count");
        resolve(handle, e.record_value, "fake_record_value");
        resolve(handle, e.fail, "fake_fail");
        resolve(handle, e.add_failure_entry, "fake_add_failure_entry");
        resolve(handle, e.log_, "fake_log");
        resolve(handle, e.clear_log, "fake_clear_log");
        resolve(handle, e.open_cursors, "fake_open_cursors");
        resolve(handle, e.open_databases, "fake_open_databases");
        resolve(handle, e.locks_held, "fake_locks_held");
        resolve(handle, e.initialized, "fake_initialized");
        resolve(handle, e.password_count, "fake_password_count");
        return e;
    }();
    return engine;
}

QStringList FakeEngine::log() const {
    QByteArray buffer(1 << 20, 0);
    log_(buffer.data(), static_cast<int>(buffer.size()));
    return QString::fromUtf8(buffer.constData()).split(u'\n', Qt::SkipEmptyParts);
}

QList<Column> clientColumns() {
    return {
        {QStringLiteral("Клиент №"), KE_FIELD_ALPHA, 5},
        {QStringLiteral("Фамилия"), KE_FIELD_ALPHA, 40},
        {QStringLiteral("Имя"), KE_FIELD_ALPHA, 25},
        {QStringLiteral("Отчество"), KE_FIELD_ALPHA, 25},
        {QStringLiteral("Возраст"), KE_FIELD_ALPHA, 25},
        {QStringLiteral("Семейное положение"), KE_FIELD_ALPHA, 25},
        {QStringLiteral("Количество детей"), KE_FIELD_ALPHA, 25},
    };
}

void useEngine(const QString& directory) {
    TSession::Default().Close();
    EngineLibrary::setProgramDirectoryForTests(directory, false);
}

TestTable::Engine TestTable::engineFromEnvironment() {
    return qEnvironmentVariable("KARTOTEKA_TEST_ENGINE") == QLatin1String("real") ? Real : Fake;
}

TestTable::TestTable(Engine engine, const QList<Column>& columns) : engine_(engine), columns_(columns) {
    if (engine_ == Fake) {
        useEngine(FakeEngine::directory());
        FakeEngine& fake = FakeEngine::instance();
        fake.reset();
        for (const Column& c : columns_)
            fake.add_column(c.name.toUtf8().constData(), c.type, c.size);
        return;
    }
    useEngine(realEngineDirectory());
    dir_ = std::make_unique<QTemporaryDir>();
    const QString drive = dir_->filePath(QStringLiteral("E"));
    const QString tableDir = drive + QStringLiteral("/ЗУРБЕЛИН/proga");
    QDir().mkpath(tableDir);
    QFile config(dir_->filePath(QStringLiteral("engine.conf")));
    if (!config.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the engine configuration");
    config.write(QStringLiteral("drive E = %1\n").arg(drive).toUtf8());
    config.close();
    qputenv("KARTOTEKA_ENGINE_CONFIG", QFile::encodeName(config.fileName()));
    ke::NewTable layout;
    for (const Column& c : columns_)
        layout.fields.push_back(ke::NewField{c.name.toStdString(), c.type, static_cast<uint8_t>(c.size)});
    tableFile_ = tableDir + QStringLiteral("/data.DB");
    ke::createTable(QFile::encodeName(tableFile_).toStdString(), layout);
}

TestTable::~TestTable() {
    TSession::Default().Close();
    if (engine_ == Real)
        qunsetenv("KARTOTEKA_ENGINE_CONFIG");
}

void TestTable::append(const QList<QStringList>& records) {
    if (engine_ == Fake) {
        for (const QStringList& r : records) {
            std::vector<QByteArray> utf8;
            std::vector<const char*> values;
            for (const QString& v : r)
                utf8.push_back(v.toUtf8());
            for (int i = 0; i < r.size(); ++i)
                values.push_back(r[i].isNull() ? nullptr : utf8[static_cast<size_t>(i)].constData());
            if (!FakeEngine::instance().add_record(values.data()))
                throw std::runtime_error("the test engine refused a record");
        }
        return;
    }
    TSession& session = TSession::Default();
    TDatabase* db = session.OpenDatabase(QString::fromUtf16(kClientDatabaseName));
    const EngineApi& api = session.Api();
    ke_cursor* cursor = nullptr;
    checkResult(api.open_table(db->Handle(), "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED,
                               &cursor),
                "open_table");
    ke_cursor_props props{};
    checkResult(api.get_cursor_props(cursor, &props), "get_cursor_props");
    std::vector<uint8_t> record(props.record_size);
    for (const QStringList& r : records) {
        checkResult(api.init_record(cursor, record.data(), record.size()), "init_record");
        for (int i = 0; i < r.size(); ++i) {
            if (r[i].isNull())
                continue;
            const QByteArray utf8 = r[i].toUtf8();
            std::vector<uint8_t> native(static_cast<size_t>(utf8.size()) + 4);
            size_t length = 0;
            checkResult(api.unicode_to_native(props.code_page, utf8.constData(), static_cast<size_t>(utf8.size()),
                                              native.data(), native.size(), &length),
                        "unicode_to_native");
            checkResult(api.put_field(cursor, static_cast<uint16_t>(i + 1), record.data(), record.size(), native.data(), length),
                        "put_field");
        }
        checkResult(api.set_to_end(cursor), "set_to_end");
        checkResult(api.insert_record(cursor, KE_LOCK_NONE, record.data()), "insert_record");
    }
    api.close_cursor(cursor);
    db->RemoveUser();
}

QList<QStringList> TestTable::stored() {
    QList<QStringList> result;
    if (engine_ == Fake) {
        FakeEngine& fake = FakeEngine::instance();
        char buffer[1024];
        for (int row = 0; row < fake.record_count(); ++row) {
            QStringList r;
            for (int c = 0; c < columns_.size(); ++c) {
                fake.record_value(row, c, buffer, sizeof buffer);
                r << QString::fromUtf8(buffer);
            }
            result << r;
        }
        return result;
    }
    TSession& session = TSession::Default();
    TDatabase* db = session.OpenDatabase(QString::fromUtf16(kClientDatabaseName));
    const EngineApi& api = session.Api();
    ke_cursor* cursor = nullptr;
    checkResult(api.open_table(db->Handle(), "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_ONLY, KE_SHARE_SHARED,
                               &cursor),
                "open_table");
    ke_cursor_props props{};
    checkResult(api.get_cursor_props(cursor, &props), "get_cursor_props");
    std::vector<uint8_t> record(props.record_size);
    api.set_to_begin(cursor);
    while (api.get_next_record(cursor, KE_LOCK_NONE, record.data(), record.size()) == KE_OK) {
        QStringList r;
        for (int i = 0; i < columns_.size(); ++i) {
            uint8_t value[512];
            size_t length = 0;
            int blank = 0;
            checkResult(api.get_field(cursor, static_cast<uint16_t>(i + 1), record.data(), value, sizeof value,
                                      &length, &blank),
                        "get_field");
            char utf8[2048];
            size_t outLength = 0;
            checkResult(api.native_to_unicode(props.code_page, value, length, utf8, sizeof utf8, &outLength),
                        "native_to_unicode");
            r << QString::fromUtf8(utf8, static_cast<qsizetype>(outLength));
        }
        result << r;
    }
    api.close_cursor(cursor);
    db->RemoveUser();
    return result;
}

// ---------------------------------------------------------------- RecordingLink

void RecordingLink::ActiveChanged() {
    events << (Active() ? QStringLiteral("active") : QStringLiteral("inactive"));
}

void RecordingLink::EditingChanged() {
    events << (Editing() ? QStringLiteral("editing") : QStringLiteral("browsing"));
}

void RecordingLink::DataSetChanged() {
    events << QStringLiteral("changed");
}

void RecordingLink::DataSetScrolled(int distance) {
    events << QStringLiteral("scrolled %1").arg(distance);
}

void RecordingLink::LayoutChanged() {
    events << QStringLiteral("layout");
}

void RecordingLink::RecordChanged(TField* field) {
    events << (field ? QStringLiteral("record ") + field->FieldName() : QStringLiteral("record"));
}

void RecordingLink::UpdateData() {
    events << QStringLiteral("update");
    if (onUpdateData)
        onUpdateData();
}

void RecordingLink::CheckBrowseMode() {
    events << QStringLiteral("check");
}

} // namespace CursorTest
