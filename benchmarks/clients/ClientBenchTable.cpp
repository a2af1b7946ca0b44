#include "ClientBenchTable.h"

#include "ClientFields.h"
#include "Exception.h"
#include "TDatabase.h"
#include "TSession.h"
#include "TableCreator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

void check(ke_result r, const char* what) {
    if (r != KE_OK)
        throw std::runtime_error(std::string(what) + " failed: " + std::to_string(r));
}

// Appends `count` client records through the engine interface.
void fill(int count) {
    TSession& session = TSession::Default();
    TDatabase* db = session.OpenDatabase(QString::fromUtf16(kClientDatabaseName));
    const EngineApi& api = session.Api();
    ke_cursor* cursor = nullptr;
    check(api.open_table(db->Handle(), "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, &cursor),
          "open_table");
    ke_cursor_props props{};
    check(api.get_cursor_props(cursor, &props), "props");
    std::vector<uint8_t> record(props.record_size);
    for (int i = 0; i < count; ++i) {
        check(api.init_record(cursor, record.data(), record.size()), "init_record");
        const QStringList values = {QString::number(i % 100000), QStringLiteral("Фамилия%1").arg(i),
                                    QStringLiteral("Имя"), QStringLiteral("Отчество"), QString::number(20 + i % 60),
                                    QStringLiteral("женат"), QString::number(i % 5)};
        for (int f = 0; f < values.size(); ++f) {
            const QByteArray utf8 = values[f].toUtf8();
            uint8_t native[128];
            size_t length = 0;
            check(api.unicode_to_native(props.code_page, utf8.constData(), static_cast<size_t>(utf8.size()), native,
                                        sizeof native, &length),
                  "convert");
            check(api.put_field(cursor, static_cast<uint16_t>(f + 1), record.data(), record.size(), native, length), "put_field");
        }
        check(api.set_to_end(cursor), "set_to_end");
        check(api.insert_record(cursor, KE_LOCK_NONE, record.data()), "insert_record");
    }
    api.close_cursor(cursor);
    db->RemoveUser();
}

} // namespace

ClientBenchTable::ClientBenchTable(int count, int blockSizeKiB) {
    dir_ = std::make_unique<QTemporaryDir>(QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm/kartoteka-bench-XXXXXX")
                                                                          : QDir::tempPath() + QStringLiteral("/kartoteka-bench-XXXXXX"));
    const QString drive = dir_->filePath(QStringLiteral("E"));
    const QString tableDir = drive + QStringLiteral("/ЗУРБЕЛИН/proga");
    QDir().mkpath(tableDir);
    QFile config(dir_->filePath(QStringLiteral("engine.conf")));
    if (!config.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the engine configuration");
    config.write(QStringLiteral("drive E = %1\n").arg(drive).toUtf8());
    config.close();
    TSession::Default().Close();
    qputenv("KARTOTEKA_ENGINE_CONFIG", QFile::encodeName(config.fileName()));
    ke::NewTable layout = ke::clientTableLayout();
    if (blockSizeKiB > 0)
        layout.blockSizeKiB = blockSizeKiB;
    ke::createTable(QFile::encodeName(tableDir + QStringLiteral("/data.DB")).toStdString(), layout);

    QElapsedTimer build;
    build.start();
    fill(count);
    std::fprintf(stderr, "  %d records made in %.1f s\n", count, build.elapsed() / 1000.0);
}

ClientBenchTable::~ClientBenchTable() { TSession::Default().Close(); }

QString ClientBenchTable::configPath() const { return dir_->filePath(QStringLiteral("engine.conf")); }

int runBenchmark(const std::function<int()>& body) {
    try {
        return body();
    } catch (const Exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.message().toUtf8().constData());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
    }
    return 2;
}
