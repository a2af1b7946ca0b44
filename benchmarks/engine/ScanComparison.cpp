#include "ScanComparison.h"

#include "TableCreator.h"
#include "kartoteka_engine.h"

extern "C" {
#include <paradox.h>
}

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

double bestOfThree(const std::function<long()>& scan, long& records)
{
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
        const auto t0 = Clock::now();
        records = scan();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return best;
}

// The client table's seven text columns, written by pxlib record by record.
void buildWithPxlib(const std::string& path, int records)
{
    const ke::NewTable layout = ke::clientTableLayout();
    pxdoc_t* doc = PX_new();
    auto* fields = static_cast<pxfield_t*>(std::calloc(layout.fields.size(), sizeof(pxfield_t)));
    for (size_t i = 0; i < layout.fields.size(); ++i) {
        fields[i].px_fname = strdup(("F" + std::to_string(i)).c_str());
        fields[i].px_ftype = pxfAlpha;
        fields[i].px_flen = layout.fields[i].size;
    }
    if (PX_create_file(doc, fields, int(layout.fields.size()), path.c_str(), pxfFileTypNonIndexDB) < 0) {
        std::fprintf(stderr, "pxlib cannot create %s\n", path.c_str());
        std::exit(1);
    }
    PX_set_value(doc, "codepage", 1251);
    std::vector<char> data(size_t(PX_get_recordsize(doc)));
    for (int i = 0; i < records; ++i) {
        std::fill(data.begin(), data.end(), 0);
        const std::string number = std::to_string(i % 100000);
        std::memcpy(data.data(), number.data(), number.size());
        std::memcpy(data.data() + 5, "\xD4\xE0\xEC\xE8\xEB\xE8\xFF", 7); // Фамилия
        if (PX_put_record(doc, data.data()) < 0) {
            std::fprintf(stderr, "pxlib cannot put a record\n");
            std::exit(1);
        }
    }
    PX_close(doc);
    PX_delete(doc);
}

long engineScan(const std::string& dir, const std::string& name)
{
    ke_database* db = nullptr;
    ke_cursor* c = nullptr;
    if (ke_init(nullptr) != KE_OK || ke_open_database(nullptr, KE_OPEN_READ_ONLY, KE_SHARE_SHARED, nullptr, &db) != KE_OK
        || ke_set_directory(db, dir.c_str()) != KE_OK
        || ke_open_table(db, name.c_str(), "PARADOX", nullptr, 0, KE_OPEN_READ_ONLY, KE_SHARE_SHARED, &c) != KE_OK) {
        std::fprintf(stderr, "the engine cannot open %s\n", name.c_str());
        std::exit(1);
    }
    std::vector<uint8_t> rec(4096);
    uint8_t value[64];
    size_t length = 0;
    int blank = 0;
    long n = 0;
    while (ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()) == KE_OK) {
        ke_get_field(c, 2, rec.data(), value, sizeof value, &length, &blank);
        ++n;
    }
    ke_close_cursor(c);
    ke_close_database(db);
    ke_exit();
    return n;
}

} // namespace

long pxlibScan(const std::string& path)
{
    pxdoc_t* px = PX_new();
    long n = 0;
    if (PX_open_file(px, path.c_str()) == 0) {
        const int count = PX_get_num_records(px);
        std::vector<char> data(size_t(PX_get_recordsize(px)));
        for (int i = 0; i < count; ++i) {
            if (!PX_get_record(px, i, data.data()))
                break;
            char* text = nullptr;
            if (PX_get_data_alpha(px, data.data() + 5, 40, &text) > 0 && text)
                px->free(px, text);
            ++n;
        }
        PX_close(px);
    }
    PX_delete(px);
    return n;
}

namespace {

// `cat file > /dev/null` as a process of its own; returns the file's size.
long catScan(const std::string& path)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout))
            _exit(2);
        execlp("cat", "cat", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : -1;
}

void compareOne(const char* kind, const std::string& dir, const std::string& name, int records)
{
    const std::string path = dir + "/" + name;
    long a = 0, b = 0, c = 0;
    catScan(path); // the file in the page cache for every side
    const double engine = bestOfThree([&] { return engineScan(dir, name); }, a);
    const double pxlib = bestOfThree([&] { return pxlibScan(path); }, b);
    const double cat = bestOfThree([&] { return catScan(path); }, c);
    if (a != records || b != records || c != 1) {
        std::fprintf(stderr, "scan comparison on %s: engine read %ld, pxlib %ld of %d records\n", kind, a, b, records);
        std::exit(1);
    }
    std::printf("         full scan of the %s table: engine %.1f ms, pxlib %.1f ms, cat %.1f ms"
                " | pxlib/engine x%.1f, engine/cat x%.2f\n",
                kind, engine, pxlib, cat, pxlib / engine, engine / cat);
    std::fflush(stdout);
}

} // namespace

void compareScans(const std::string& dir, int records,
                  const std::function<void(const std::string&, int)>& buildOwnTable)
{
    const std::string pxName = "pxscan" + std::to_string(records) + ".DB";
    const std::string ownName = "ownscan" + std::to_string(records) + ".DB";
    std::remove((dir + "/" + pxName).c_str());
    std::remove((dir + "/" + ownName).c_str());
    buildWithPxlib(dir + "/" + pxName, records);
    buildOwnTable(dir + "/" + ownName, records);
    compareOne("pxlib-made (16 KiB blocks)", dir, pxName, records);
    compareOne("program-made (2 KiB blocks)", dir, ownName, records);
    std::remove((dir + "/" + pxName).c_str());
    std::remove((dir + "/" + ownName).c_str());
}

} // namespace bench
