// The cost of one Next of the client table cursor must not grow with the
// table: the view holds one record and each move reads one from the engine.
// Builds two client tables through the engine interface, walks each from the
// first record to the end with TTable::Next, and prints the cost per move.
// Exit status 1 when the larger table costs more than twice as much per move.
#include "ClientBenchTable.h"
#include "ClientFields.h"
#include "Exception.h"
#include "TField.h"
#include "TSession.h"
#include "TTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <stdexcept>

namespace {

struct Result {
    int moves = 0;
    double nsPerMove = 0;
};

Result walk(int count) {
    ClientBenchTable made(count);
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
    return runBenchmark([&] {
        const Result a = walk(small);
        std::printf("Next through %d records: %d moves, %.0f ns per move\n", small, a.moves, a.nsPerMove);
        const Result b = walk(large);
        std::printf("Next through %d records: %d moves, %.0f ns per move\n", large, b.moves, b.nsPerMove);
        const double ratio = b.nsPerMove / a.nsPerMove;
        std::printf("ratio large/small per move: %.2f (limit 2.0) %s\n", ratio, ratio <= 2.0 ? "OK" : "TOO SLOW");
        return ratio <= 2.0 ? 0 : 1;
    });
}
