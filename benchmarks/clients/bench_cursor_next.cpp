// The cost of one Next of the client table cursor must not grow with the
// table: the view holds one record and each move reads one from the engine.
// Builds two client tables through the engine interface, walks each from the
// first record to the end with TTable::Next, and prints the cost per move.
// Exit status 1 when the larger table costs more than twice as much per move.
#include "ClientFields.h"
#include "Exception.h"
#include "TDatabase.h"
#include "TField.h"
#include "TSession.h"
#include "TTable.h"
#include "TableCreator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <stdexcept>

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

struct Result {
    int moves = 0;
    double nsPerMove = 0;
};

Result walk(int count) {
    QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm/kartoteka-bench-XXXXXX")
                                                                          : QDir::tempPath() + QStringLiteral("/kartoteka-bench-XXXXXX"));
    const QString drive = dir.filePath(QStringLiteral("E"));
    const QString tableDir = drive + QStringLiteral("/ЗУРБЕЛИН/proga");
    QDir().mkpath(tableDir);
    QFile config(dir.filePath(QStringLiteral("engine.conf")));
    if (!config.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the engine configuration");
    config.write(QStringLiteral("drive E = %1\n").arg(drive).toUtf8());
    config.close();
    TSession::Default().Close();
    qputenv("KARTOTEKA_ENGINE_CONFIG", QFile::encodeName(config.fileName()));
    ke::NewTable layout = ke::clientTableLayout();
    layout.blockSizeKiB = 4;
    ke::createTable(QFile::encodeName(tableDir + QStringLiteral("/data.DB")).toStdString(), layout);

    QElapsedTimer build;
    build.start();
    fill(count);
    std::fprintf(stderr, "  %d records made in %.1f s\n", count, build.elapsed() / 1000.0);

    TTable table;
    ClientFieldSet fields = setUpClientTable(&table);
    table.Open();
    Result result;
    QString last;
    QElapsedTimer timer;
    timer.start();
    while (!table.Eof()) {
        table.Next();
        ++result.moves;
    }
    const qint64 ns = timer.nsecsElapsed();
    last = fields[1]->AsString();
    if (last != QStringLiteral("Фамилия%1").arg(count - 1))
        throw std::runtime_error("the walk did not end on the last record");
    result.nsPerMove = double(ns) / result.moves;
    table.Close();
    TSession::Default().Close();
    return result;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int small = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int large = argc > 2 ? std::atoi(argv[2]) : 500000;
    try {
        const Result a = walk(small);
        std::printf("Next through %d records: %d moves, %.0f ns per move\n", small, a.moves, a.nsPerMove);
        const Result b = walk(large);
        std::printf("Next through %d records: %d moves, %.0f ns per move\n", large, b.moves, b.nsPerMove);
        const double ratio = b.nsPerMove / a.nsPerMove;
        std::printf("ratio large/small per move: %.2f (limit 2.0) %s\n", ratio, ratio <= 2.0 ? "OK" : "TOO SLOW");
        return ratio <= 2.0 ? 0 : 1;
    } catch (const Exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.message().toUtf8().constData());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 2;
    }
}
