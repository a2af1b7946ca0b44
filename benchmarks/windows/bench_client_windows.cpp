// Start-up of the program up to the shown menu strip with an empty client
// table and with one of 500,000 records, and the time from a click on the
// button above "Следующий" to the boxes showing the next record.
//
//   build-dir/bin/bench_client_windows [records] [startup runs] [clicks]
//
// Each start-up runs in a fresh process (this program started again with
// "--startup"), on the offscreen platform, with the program's seven windows
// created in their order as at a real start.
#include "ClientBenchTable.h"
#include "ClientFields.h"
#include "Forms.h"
#include "TApplication.h"
#include "TDBEdit.h"
#include "TDBNavigator.h"
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

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace {

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

double startupMs(const ClientBenchTable& table, int runs, const char* self) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KARTOTEKA_ENGINE_CONFIG"), table.configPath());
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
void nextClicks(int argc, char** argv, const ClientBenchTable& table, int clicks) {
    TSession::Default().Close();
    qputenv("KARTOTEKA_ENGINE_CONFIG", QFile::encodeName(table.configPath()));
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
        ClientBenchTable empty(0, 0);
        QElapsedTimer build;
        build.start();
        ClientBenchTable large(records, 0);
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
