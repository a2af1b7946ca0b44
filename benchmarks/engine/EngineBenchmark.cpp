// Speed and memory of the table engine on client tables of growing size,
// through its C interface, with pxlib's record loop and `cat` on the same
// files as the yardsticks for a full scan (ScanComparison), then changes on
// keyed tables of the same sizes (KeyedBenchmark). Run on demand:
//   kartoteka-engine-benchmark [directory] [sizes...]
// The directory decides what a change costs: on a disk every change waits for
// its syncs; memory-backed storage (/dev/shm) shows the engine's own work.
#include "Endian.h"
#include "KeyedBenchmark.h"
#include "BenchTables.h"
#include "ScanComparison.h"
#include "TableCreator.h"
#include "TableHeader.h"
#include "kartoteka_engine.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double microseconds(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// Average cost of one call of `op`, in microseconds.
double timeEach(int repeats, const std::function<void()>& op)
{
    auto start = Clock::now();
    for (int i = 0; i < repeats; ++i)
        op();
    return microseconds(Clock::now() - start) / repeats;
}

long rssKiB()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

using bench::check;

// The client card index of `records` records, written straight as packed blocks.
void buildTable(const std::string& path, int records)
{
    bench::writePackedTable(path, ke::clientTableLayout(), records, [](uint8_t* r, int n) {
        const std::string number = std::to_string(n % 100000);
        std::memcpy(r, number.data(), number.size());
        std::memcpy(r + 5, "\xD4\xE0\xEC\xE8\xEB\xE8\xFF", 7); // Фамилия
        std::memcpy(r + 45, "\xC8\xEC\xFF", 3);                   // Имя
        std::memcpy(r + 95, "42", 2);
    });
}

// The best of three full scans (every record, one field each), in milliseconds.
double bestScan(ke_database* db, const std::string& name)
{
    ke_cursor* c = nullptr;
    check(ke_open_table(db, name.c_str(), "PARADOX", nullptr, 0, KE_OPEN_READ_ONLY, KE_SHARE_SHARED, &c), "open for scan");
    std::vector<uint8_t> rec(170);
    uint8_t value[64];
    size_t length = 0;
    int blank = 0;
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
        const auto t0 = Clock::now();
        ke_set_to_begin(c);
        while (ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()) == KE_OK)
            ke_get_field(c, 2, rec.data(), value, sizeof value, &length, &blank);
        best = std::min(best, microseconds(Clock::now() - t0) / 1000.0);
    }
    ke_close_cursor(c);
    return best;
}

// The same table scanned in clear and then protected by a password: what
// unscrambling every block costs.
void compareProtectedScan(const std::string& dir, const std::string& name)
{
    ke_database* db = bench::openFolder(dir);
    const double plain = bestScan(db, name);
    ke_cursor* c = nullptr;
    check(ke_open_table(db, name.c_str(), "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_EXCLUSIVE, &c), "open alone");
    const auto t0 = Clock::now();
    check(ke_set_table_password(c, "secret"), "protect");
    const double protect = microseconds(Clock::now() - t0) / 1000.0;
    ke_close_cursor(c);
    check(ke_add_password("secret"), "add password");
    const double scrambled = bestScan(db, name);
    std::printf("         protected: full scan %.1f ms against %.1f ms in clear (x%.2f); protecting took %.1f ms\n",
                scrambled, plain, scrambled / plain, protect);
    ke_close_database(db);
    ke_exit();
}

void runSize(const std::string& dir, int records)
{
    const std::string name = "bench" + std::to_string(records) + ".DB";
    const std::string path = dir + "/" + name;
    std::remove(path.c_str());
    buildTable(path, records);

    ke_database* db = bench::openFolder(dir);
    const long rssBefore = rssKiB();

    ke_cursor* c = nullptr;
    const double open = timeEach(20, [&] {
        if (c)
            ke_close_cursor(c);
        check(ke_open_table(db, name.c_str(), "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, &c), "open table");
    });
    std::vector<uint8_t> rec(170);
    const double first = timeEach(2000, [&] {
        ke_set_to_begin(c);
        check(ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()), "first");
    });
    const double last = timeEach(2000, [&] {
        ke_set_to_end(c);
        check(ke_get_prior_record(c, KE_LOCK_NONE, rec.data(), rec.size()), "last");
    });
    // Next and Prior around the middle of the table.
    ke_set_to_begin(c);
    for (int i = 0; i < records / 2; ++i)
        check(ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()), "walk");
    // 20,000 steps each way, in runs of at most half the table.
    const int span = std::min(records / 2 - 1, 20000);
    double next = 0, prior = 0;
    for (int done = 0; done < 20000; done += span) {
        next += timeEach(span, [&] { check(ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()), "next"); }) * span;
        prior += timeEach(span, [&] { check(ke_get_prior_record(c, KE_LOCK_NONE, rec.data(), rec.size()), "prior"); }) * span;
    }
    next /= ((20000 + span - 1) / span) * span;
    prior /= ((20000 + span - 1) / span) * span;
    uint8_t value[64];
    size_t length = 0;
    int blank = 0;
    const double field = timeEach(100000, [&] { check(ke_get_field(c, 2, rec.data(), value, sizeof value, &length, &blank), "field"); });
    // Changes in the middle: modify the current record, insert before it, delete what was inserted.
    const int changes = 200;
    check(ke_get_record(c, KE_LOCK_NONE, rec.data(), rec.size()), "current");
    const double modify = timeEach(changes, [&] {
        rec[100] = uint8_t('0' + rand() % 10);
        check(ke_modify_record(c, rec.data(), 1), "modify");
    });
    double insert = 0, remove = 0;
    for (int i = 0; i < changes; ++i) {
        auto t0 = Clock::now();
        check(ke_insert_record(c, KE_LOCK_NONE, rec.data()), "insert");
        auto t1 = Clock::now();
        check(ke_delete_record(c), "delete");
        auto t2 = Clock::now();
        check(ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()), "next after delete");
        insert += microseconds(t1 - t0);
        remove += microseconds(t2 - t1);
    }
    insert /= changes;
    remove /= changes;

    // Full scan: every record, one field each.
    auto t0 = Clock::now();
    ke_set_to_begin(c);
    long scanned = 0;
    while (ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()) == KE_OK) {
        ke_get_field(c, 2, rec.data(), value, sizeof value, &length, &blank);
        ++scanned;
    }
    const double engineScan = microseconds(Clock::now() - t0) / 1000.0;
    const long rssEngine = rssKiB() - rssBefore;
    ke_close_cursor(c);
    ke_exit();

    const long rssBeforePx = rssKiB();
    t0 = Clock::now();
    const long pxScanned = bench::pxlibScan(path);
    const long rssPx = rssKiB() - rssBeforePx; // what pxlib's scan left grown
    const double pxScan = microseconds(Clock::now() - t0) / 1000.0;

    std::printf("%8d | %7.1f | %6.2f %6.2f %6.2f %6.2f | %5.3f | %8.1f %8.1f %8.1f | %9.1f (%ld) %9.1f (%ld) | %6ld %6ld\n",
                records, open, first, last, next, prior, field, modify, insert, remove, engineScan, scanned, pxScan,
                pxScanned, rssEngine, rssPx);
    std::fflush(stdout);
    compareProtectedScan(dir, name);
    std::fflush(stdout);
    std::remove(path.c_str());
    bench::compareScans(dir, records, buildTable);
}

} // namespace

int main(int argc, char** argv)
{
    std::string dir = argc > 1 ? argv[1] : "/tmp";
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {1000, 100000, 500000};
    std::printf("directory %s; times in microseconds per call, scans in milliseconds, memory growth in KiB\n", dir.c_str());
    std::printf(" records |    open |  first   last   next  prior | field |   modify   insert   delete |"
                "  engine scan (records)  pxlib scan (records) | engine  pxlib\n");
    // Each size in its own process, so memory figures do not mix.
    auto apart = [](const std::function<void()>& run) {
        std::fflush(stdout);
        pid_t pid = fork();
        if (pid == 0) {
            run();
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    for (int records : sizes)
        if (!apart([&] { runSize(dir, records); }))
            return 1;
    std::printf("\nkeyed table (card number and the seven text columns); changes in microseconds, the index's\n"
                "rebuild in milliseconds\n records | levels |      add  new key   change   delete | rebuild\n");
    for (int records : sizes)
        if (!apart([&] { bench::keyedChanges(dir, records); }))
            return 1;
    return 0;
}
