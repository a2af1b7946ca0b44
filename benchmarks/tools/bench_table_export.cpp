// Export speed: a client table of N records (500,000 by default) is exported
// to CSV, and the time set against the engine's plain full scan of the same
// table (ke_get_next_record in a loop, open and close included). Both in this
// process, best of five; then the whole kartoteka-table export process, best
// of three. The goal: export within twice the scan.
//
//   bench_table_export <scratch folder> [records]
#include "Commands.h"
#include "FieldText.h"
#include "PrivateFile.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

template <class F>
double best(int runs, F&& f)
{
    double b = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        b = std::min(b, msSince(start));
    }
    return b;
}

void makeTable(const std::string& path, size_t records)
{
    kt::createTable(path, kt::clientTableFields(), kt::kClientTableCodePage);
    kt::Table table(path, kt::Access::Write);
    const kt::CodePageText codePage(table.codePage());
    std::vector<uint8_t> all, record(table.recordSize());
    const char* surnames[] = {"Иванов", "Петрова", "Сидоров", "Кузнецова, Мария", "О'Коннор \"мл.\""};
    for (size_t n = 1; n <= records; ++n) {
        kt::require(ke_init_record(table.cursor(), record.data(), record.size()));
        const std::string values[] = {std::to_string(n % 100000), surnames[n % 5], "Александр", "Сергеевич",
                                      std::to_string(18 + n % 60), n % 3 ? "женат" : "холост", std::to_string(n % 4)};
        for (const kt::Field& f : table.fields())
            kt::putFieldText(f, values[f.number - 1], record.data(), codePage);
        all.insert(all.end(), record.begin(), record.end());
    }
    kt::require(ke_append_records(table.cursor(), all.data(), records));
}

size_t scan(const std::string& path)
{
    kt::Table table(path, kt::Access::Read);
    std::vector<uint8_t> record(table.recordSize());
    size_t n = 0;
    while (table.next(record.data()))
        ++n;
    return n;
}

std::string toolPath()
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = n > 0 ? std::string(self, size_t(n)) : std::string();
    return dir.substr(0, dir.rfind('/')) + "/kartoteka-table";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_table_export <scratch folder> [records]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const size_t records = argc > 2 ? std::stoul(argv[2]) : 500000;
    const std::string table = dir + "/bench-export.DB", csv = dir + "/bench-export.csv";
    ::unlink(table.c_str());
    try {
        kt::EngineSession engine;
        makeTable(table, records);
        size_t seen = 0;
        const double scanMs = best(5, [&] { seen = scan(table); });
        if (seen != records)
            throw kt::ToolError("the scan saw " + std::to_string(seen) + " records");
        const double exportMs = best(5, [&] {
            kt::Table t(table, kt::Access::Read);
            kt::PrivateFile out(csv);
            kt::exportCsv(t, out.fd());
            out.commit();
        });
        const std::string tool = toolPath();
        const double processMs = best(3, [&] {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::execl(tool.c_str(), tool.c_str(), "export", table.c_str(), csv.c_str(), static_cast<char*>(nullptr));
                ::_exit(127);
            }
            int status = 0;
            ::waitpid(pid, &status, 0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
                throw kt::ToolError("kartoteka-table export failed");
        });
        std::printf("records: %zu\n", records);
        std::printf("engine full scan:              %8.1f ms\n", scanMs);
        std::printf("export to CSV (in process):    %8.1f ms  = %.2f x the scan (goal: at most 2)\n", exportMs,
                    exportMs / scanMs);
        std::printf("kartoteka-table export (whole process): %8.1f ms = %.2f x the scan\n", processMs, processMs / scanMs);
    } catch (const kt::ToolError& e) {
        std::fprintf(stderr, "bench_table_export: %s\n", e.what());
        return 1;
    }
    ::unlink(table.c_str());
    ::unlink(csv.c_str());
    return 0;
}
