// Finding a card that no card has, in a client table of 500,000 records
// (Ctrl+F in the client base window), against a plain full scan of the same
// table: the engine's own step through every record, and the cursor's Next
// through every record. The search reads every record once and steps back to
// the current one, and folds four fields of each. Prints the times and the
// ratio to the engine's scan; exit status 1 when a search that finds nothing
// takes more than four times that scan.
#include "ClientBenchTable.h"
#include "ClientFields.h"
#include "EngineApi.h"
#include "Exception.h"
#include "TDatabase.h"
#include "TField.h"
#include "TSession.h"
#include "TTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {

// The best of three runs, in milliseconds.
double bestOf3(const std::function<void()>& run) {
    double best = 1e300;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

// Every record once, through the engine interface, as a plain scan reads them.
int engineScan() {
    TSession& session = TSession::Default();
    TDatabase* db = session.OpenDatabase(QString::fromUtf16(kClientDatabaseName));
    const EngineApi& api = session.Api();
    ke_cursor* cursor = nullptr;
    if (api.open_table(db->Handle(), "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_ONLY, KE_SHARE_SHARED, &cursor) != KE_OK)
        throw std::runtime_error("open_table failed");
    ke_cursor_props props{};
    api.get_cursor_props(cursor, &props);
    std::vector<uint8_t> record(props.record_size);
    int records = 0;
    api.set_to_begin(cursor);
    while (api.get_next_record(cursor, KE_LOCK_NONE, record.data(), record.size()) == KE_OK)
        ++records;
    api.close_cursor(cursor);
    db->RemoveUser();
    return records;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 500000;
    return runBenchmark([&] {
        ClientBenchTable made(count);
        TTable table;
        const ClientFieldSet fields = setUpClientTable(&table);
        const QList<TField*> searched{fields[0], fields[1], fields[2], fields[3]};
        table.Open();

        int scanned = 0;
        const double scan = bestOf3([&] { scanned = engineScan(); });
        if (scanned != count)
            throw std::runtime_error("the scan did not see every record");
        QElapsedTimer timer;
        timer.start();
        table.First();
        while (!table.Eof())
            table.Next();
        const double walk = timer.nsecsElapsed() / 1e6;

        auto search = [&](int from, const QString& text, TTable::TFindResult expected) {
            return bestOf3([&] {
                table.First();
                if (from == count - 1)
                    table.Last();
                else
                    for (int i = 0; i < from; ++i)
                        table.Next();
                if (table.FindNext(searched, text) != expected)
                    throw std::runtime_error("the search gave another result");
            });
        };
        // Each run starts on the first or the last card (one read more).
        const QString none = QStringLiteral("нет такой");
        const double fromFirst = search(0, none, TTable::TFindResult::NotFound);
        const double fromLast = search(count - 1, none, TTable::TFindResult::NotFound);
        const double lastCard = search(0, QStringLiteral("фамилия%1").arg(count - 1), TTable::TFindResult::Found);

        std::printf("records: %d\n", count);
        std::printf("engine scan of every record:        %8.1f ms\n", scan);
        std::printf("cursor Next through every record:   %8.1f ms\n", walk);
        std::printf("not found, from the first card:     %8.1f ms  (%.2f x the scan)\n", fromFirst, fromFirst / scan);
        std::printf("not found, from the last card:      %8.1f ms  (%.2f x the scan)\n", fromLast, fromLast / scan);
        std::printf("found the last card, from the first: %7.1f ms  (%.2f x the scan)\n", lastCard, lastCard / scan);
        const double worst = std::max(fromFirst, fromLast) / scan;
        std::printf("worst not-found ratio %.2f (limit 4.0) %s\n", worst, worst <= 4.0 ? "OK" : "TOO SLOW");
        table.Close();
        return worst <= 4.0 ? 0 : 1;
    });
}
