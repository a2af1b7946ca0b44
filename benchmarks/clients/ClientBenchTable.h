#pragma once

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

// A client table of `count` records for a benchmark, made through the engine
// interface in a temporary drive (on /dev/shm when there is one), with the
// engine configuration pointed at it. Record i has number i % 100000 and
// surname "Фамилия<i>"; the first name is "Имя", the patronymic "Отчество".
class ClientBenchTable {
public:
    // blockSizeKiB 0 keeps the program's own block size.
    explicit ClientBenchTable(int count, int blockSizeKiB = 4);
    ~ClientBenchTable();

    // The engine configuration that maps drive E: to the table's folder.
    QString configPath() const;

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

// Runs a benchmark's body and gives its exit status; a failure is printed and gives 2.
int runBenchmark(const std::function<int()>& body);
