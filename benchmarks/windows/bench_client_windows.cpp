// Start-up of the program up to the shown menu strip with an empty client
// table and with one of 500,000 records, and the time from a click on the
// button above "Следующий" to the boxes showing the next record.
//
//   build-dir/bin/bench_client_windows [records] [startup runs] [clicks]
//
// Each start-up runs in a fresh process (this program started again with
// "--startup"), on the offscreen platform, with the program's seven windows
// created in their order as at a real start.
#include "ClientFields.h"
#include "Forms.h"
#include "TApplication.h"
#include "TDBEdit.h"
#include "TDBNavigator.h"
#include "TDatabase.h"
#include "TForm1.h"
#include "TForm2.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "TForm6.h"
#include "TForm7.h"
#include "TNavButton.h"
#include "TSession.h"
#include "TTable.h"
#include "TableCreator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace {

void check(ke_result r, const char* what) {
    if (r != KE_OK)
        throw std::runtime_error(std::string(what) + " failed: " + std::to_string(r));
}

// A client table in a temporary drive E:, filled through the engine interface.
struct BenchTable {
    QTemporaryDir dir{QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                          ? QStringLiteral("/dev/shm/kartoteka-bench-XXXXXX")
                          : QDir::tempPath() + QStringLiteral("/kartoteka-bench-XXXXXX")};
    QString config;

    explicit BenchTable(int count) {
        const QString drive = dir.filePath(QStringLiteral("E"));
        const QString tableDir = drive + QStringLiteral("/ЗУРБЕЛИН/proga");
        QDir().mkpath(tableDir);
        config = dir.filePath(QStringLiteral("engine.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write the engine configuration");
        file.write(QStringLiteral("drive E = %1\n").arg(drive).toUtf8());
        file.close();
        qputenv("KARTOTEKA_ENGINE_CONFIG", QFile::encodeName(config));
        ke::createTable(QFile::encodeName(tableDir + QStringLiteral("/data.DB")).toStdString(),
                        ke::clientTableLayout());
        if (count > 0)
            fill(count);
        TSession::Default().Close();
    }

    static void fill(int count) {
        TSession& session = TSession::Default();
        TDatabase* db = session.OpenDatabase(QString::fromUtf16(kClientDatabaseName));
        const EngineApi& api = session.Api();
        ke_cursor* cursor = nullptr;
        check(api.open_table(db->Handle(), "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED,
                             &cursor),
              "open_table");
        ke_cursor_props props{};
        check(api.get_cursor_props(cursor, &props), "props");
        std::vector<uint8_t> record(props.record_size);
        for (int i = 0; i < count; ++i) {
            check(api.init_record(cursor, record.data(), record.size()), "init_record");
            const QStringList values{QString::number(i % 100000), QStringLiteral("Фамилия%1").arg(i),
                                     QStringLiteral("Имя"), QStringLiteral("Отчество"),
                                     QString::number(20 + i % 60), QStringLiteral("женат"), QString::number(i % 5)};
            for (int f = 0; f < values.size(); ++f) {
                const QByteArray utf8 = values[f].toUtf8();
                uint8_t native[128];
                size_t length = 0;
                check(api.unicode_to_native(props.code_page, utf8.constData(), size_t(utf8.size()), native,
                                            sizeof native, &length),
                      "convert");
                check(api.put_field(cursor, uint16_t(f + 1), record.data(), record.size(), native, length), "put_field");
            }
            check(api.set_to_end(cursor), "set_to_end");
            check(api.insert_record(cursor, KE_LOCK_NONE, record.data()), "insert_record");
        }
        api.close_cursor(cursor);
        db->RemoveUser();
    }
};

// One start-up in this process: the seven windows, then the menu strip shown.
int startup(int argc, char** argv) {
    QElapsedTimer timer;
    timer.start();
    TApplication app(argc, argv);
    app.setErrorPresenter([](const QString& message) {
        std::fprintf(stderr, "error at start-up: %s\n", qPrintable(message));
    });
    app.CreateForm<TForm1>(Form1);
    app.CreateForm<TForm2>(Form2);
    app.CreateForm<TForm3>(Form3);
    app.CreateForm<TForm4>(Form4);
    app.CreateForm<TForm5>(Form5);
    app.CreateForm<TForm6>(Form6);
    app.CreateForm<TForm7>(Form7);
    Form1->setVisibleFlag(true);
    if (!QTest::qWaitForWindowExposed(Form1, 10000))
        return 2;
    std::printf("%.2f\n", timer.nsecsElapsed() / 1e6);
    return 0;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double startupMs(const BenchTable& table, int runs, const char* self) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KARTOTEKA_ENGINE_CONFIG"), table.config);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QString::fromLocal8Bit(self), {QStringLiteral("--startup")});
        if (!p.waitForFinished(120000) || p.exitCode() != 0)
            throw std::runtime_error("a start-up run failed");
        times.push_back(QString::fromLatin1(p.readAllStandardOutput()).trimmed().toDouble());
    }
    return median(times);
}

// Clicks on Next on the client base window of a large table.
void nextClicks(int argc, char** argv, const BenchTable& table, int clicks) {
    qputenv("KARTOTEKA_ENGINE_CONFIG", QFile::encodeName(table.config));
    TApplication app(argc, argv);
    TForm3 form;
    form.FormCreate();
    form.setVisibleFlag(true);
    if (!QTest::qWaitForWindowExposed(&form))
        throw std::runtime_error("the client base window did not show");
    TNavButton* next = form.DBNavigator->Button(nbNext);
    std::vector<double> times;
    for (int i = 0; i < clicks; ++i) {
        const QString before = form.EditDBEdit2->text();
        QElapsedTimer timer;
        timer.start();
        QTest::mouseClick(next, Qt::LeftButton);
        QCoreApplication::processEvents(); // the boxes repaint with the new record
        times.push_back(timer.nsecsElapsed() / 1e3);
        if (form.EditDBEdit2->text() == before)
            throw std::runtime_error("Next did not show another record");
    }
    std::printf("click on Next to the next record shown (%d clicks): median %.1f us, max %.1f us\n", clicks,
                median(times), *std::max_element(times.begin(), times.end()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--startup") == 0)
        return startup(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const int records = argc > 1 ? std::atoi(argv[1]) : 500000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const int clicks = argc > 3 ? std::atoi(argv[3]) : 1000;
    try {
        BenchTable empty(0);
        QElapsedTimer build;
        build.start();
        BenchTable large(records);
        std::printf("table of %d records made in %.1f s\n", records, build.elapsed() / 1000.0);
        const double emptyMs = startupMs(empty, runs, argv[0]);
        const double largeMs = startupMs(large, runs, argv[0]);
        std::printf("start-up to the shown menu strip (median of %d): empty table %.1f ms, %d records %.1f ms\n",
                    runs, emptyMs, records, largeMs);
        nextClicks(argc, argv, large, clicks);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
