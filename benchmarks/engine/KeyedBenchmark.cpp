#include "KeyedBenchmark.h"

#include "FieldCodec.h"
#include "BenchTables.h"
#include "kartoteka_engine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

// Card n has the number 10 n: every odd number of the form 10 k + 5 is free.
void buildKeyedTable(const std::string& path, int records)
{
    ke::NewTable layout = ke::clientTableLayout();
    layout.fields.insert(layout.fields.begin(), {"Номер", KE_FIELD_LONG, 0});
    layout.keyFields = 1;
    writePackedTable(path, layout, records, [](uint8_t* r, int n) {
        ke::codec::encodeInteger(r, 4, int64_t(n + 1) * 10);
        std::memcpy(r + 9, "\xD4\xE0\xEC\xE8\xEB\xE8\xFF", 7); // Фамилия
    });
}

} // namespace

void keyedChanges(const std::string& dir, int records)
{
    const std::string name = "keyed" + std::to_string(records) + ".DB";
    const std::string path = dir + "/" + name, index = dir + "/keyed" + std::to_string(records) + ".PX";
    std::remove(path.c_str());
    std::remove(index.c_str());
    buildKeyedTable(path, records);
    ke_database* db = openFolder(dir);
    auto t0 = Clock::now();
    check(ke_rebuild_index(db, name.c_str()), "rebuild the index");
    const double rebuild = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    ke_cursor* c = nullptr;
    check(ke_open_table(db, name.c_str(), "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, &c), "open");
    ke_key_info key {};
    check(ke_get_key_info(c, &key), "key info");

    // Each round: a card added at a random free number, moved to another, changed, deleted.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> anywhere(0, records);
    std::vector<uint8_t> rec(174, 0);
    std::memcpy(rec.data() + 9, "\xCD\xEE\xE2\xFB\xE9", 5); // Новый
    const int rounds = 200;
    double add = 0, rekey = 0, change = 0, remove = 0;
    for (int i = 0; i < rounds; ++i) {
        auto time = [](double& sum, const auto& op) {
            const auto start = Clock::now();
            op();
            sum += std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        };
        ke::codec::encodeInteger(rec.data(), 4, int64_t(anywhere(rng)) * 10 + 5);
        time(add, [&] { check(ke_insert_record(c, KE_LOCK_NONE, rec.data()), "add"); });
        ke::codec::encodeInteger(rec.data(), 4, int64_t(anywhere(rng)) * 10 + 5);
        time(rekey, [&] { check(ke_modify_record(c, rec.data(), 1), "new key"); });
        rec[20] = uint8_t('0' + i % 10);
        time(change, [&] { check(ke_modify_record(c, rec.data(), 1), "change"); });
        time(remove, [&] { check(ke_delete_record(c), "delete"); });
    }
    std::printf("%8d | %6u | %8.1f %8.1f %8.1f %8.1f | %9.1f\n", records, unsigned(key.index_levels), add / rounds,
                rekey / rounds, change / rounds, remove / rounds, rebuild);
    std::fflush(stdout);
    ke_close_cursor(c);
    ke_close_database(db);
    ke_exit();
    std::remove(path.c_str());
    std::remove(index.c_str());
}

} // namespace bench
