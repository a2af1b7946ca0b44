// backup, restore and check: a verified copy of a table, a verified backup put
// back in its place, and a full read of one.
#include "Commands.h"
#include "Privacy.h"
#include "FieldText.h"
#include "PrivateFile.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>

namespace kt {

namespace {

std::string upperAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// Extensions of the files that belong to a table: primary and secondary
// indexes, validity checks, memo and binary values, view and family files.
bool isCompanionExtension(const std::string& extension)
{
    const std::string e = upperAscii(extension);
    if (e == "PX" || e == "VAL" || e == "MB" || e == "TV" || e == "FAM")
        return true;
    if (e.size() == 3 && (e[0] == 'X' || e[0] == 'Y'))
        return e[1] == 'G' ? isHex(e[2]) : isHex(e[1]) && isHex(e[2]);
    return false;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string stemOf(const std::string& name) { return name.substr(0, name.rfind('.')); }

// The companion files beside a table, sorted.
std::vector<std::string> companionsOf(const std::string& tablePath)
{
    std::vector<std::string> found;
    const std::string stem = upperAscii(stemOf(nameOf(tablePath)));
    DIR* d = ::opendir(folderOf(tablePath).c_str());
    if (!d)
        return found;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        const auto dot = name.rfind('.');
        if (dot != std::string::npos && upperAscii(name.substr(0, dot)) == stem
            && isCompanionExtension(name.substr(dot + 1)))
            found.push_back(folderOf(tablePath) + "/" + name);
    }
    ::closedir(d);
    std::sort(found.begin(), found.end());
    return found;
}

struct Findings {
    uint32_t problems = 0;
    uint32_t records = 0;
};

// Every block (under the engine's read lock), then every record and field.
// Each problem is printed on one line to `out`; past `shown` record problems only counted.
Findings examine(Table& table, FILE* out, uint32_t shown = 100)
{
    Findings f;
    auto sink = [](void* context, const char* problem) { std::fprintf(static_cast<FILE*>(context), "%s\n", problem); };
    require(ke_check_table(table.cursor(), sink, out, &f.problems));
    const CodePageText codePage(table.codePage());
    std::vector<uint8_t> record(table.recordSize());
    uint32_t recordProblems = 0;
    table.toBegin();
    for (;;) {
        bool more = false;
        try {
            more = table.next(record.data());
        } catch (const ToolError& e) {
            std::fprintf(out, "reading stopped after record %u: %s\n", unsigned(f.records), e.what());
            ++f.problems;
            break;
        }
        if (!more)
            break;
        ++f.records;
        for (const Field& field : table.fields()) {
            const std::string problem = valueProblem(field, record.data(), codePage);
            if (problem.empty())
                continue;
            if (++recordProblems <= shown)
                std::fprintf(out, "record %u, field \"%s\" %s\n", unsigned(f.records), field.name.c_str(), problem.c_str());
        }
    }
    if (recordProblems > shown)
        std::fprintf(out, "... and %u more damaged values\n", unsigned(recordProblems - shown));
    f.problems += recordProblems;
    return f;
}

} // namespace

int backupCommand(const std::string& tableFile, const std::string& destination)
{
    Table table(tableFile, Access::Read);
    std::string path;
    table.info(&path);
    makePrivateFolder(destination);
    const std::string target = destination + "/" + nameOf(path);
    uint64_t bytes = 0;
    // The engine copies under its read lock, then reads the copy back and compares.
    const ke_result copied = ke_copy_table(table.cursor(), target.c_str(), &bytes);
    if (copied != KE_OK)
        throw ToolError(engineError(copied));

    // The copy must stand on its own as a table: every block and record read
    // again, exactly as it lies (nothing beside it may change it).
    Table copy(target, Access::ReadAsStored);
    const ke_table_info facts = copy.info();
    const Findings found = examine(copy, stderr);
    std::printf("copied %s to %s: %llu bytes, %u records; read back and verified\n", path.c_str(), target.c_str(),
                static_cast<unsigned long long>(bytes), unsigned(facts.record_count));
    ke_key_info key {};
    require(ke_get_key_info(table.cursor(), &key));
    if (key.key_fields)
        std::printf("copied its primary index with it, in the same lock; read back and verified\n");
    for (const std::string& companion : companionsOf(path)) {
        const std::string to = destination + "/" + nameOf(companion);
        if (key.key_fields && upperAscii(companion.substr(companion.rfind('.') + 1)) == "PX")
            continue; // copied with the table, in the same lock
        const uint64_t n = copyVerified(companion, to);
        std::printf("copied %s to %s: %llu bytes; read back and verified\n", companion.c_str(), to.c_str(),
                    static_cast<unsigned long long>(n));
    }
    if (found.problems)
        std::fprintf(stderr, "kartoteka-table: the table itself has %u problems (listed above); the copy is exact\n",
                     unsigned(found.problems));
    return 0;
}

int restoreCommand(const std::string& backupFile, const std::string& tableFile)
{
    // The backup must be a sound table as it lies, before anything is touched.
    std::string backupPath;
    {
        Table backup(backupFile, Access::ReadAsStored);
        backup.info(&backupPath);
        const Findings found = examine(backup, stderr);
        if (found.problems)
            throw ToolError("the backup " + backupPath + " has " + std::to_string(found.problems)
                            + " problems (listed above); nothing was restored");
    }
    // One change of the table under its write lock: programs that have it open
    // see the restored cards as another user's changes.
    Table table(tableFile, Access::Write);
    std::string path;
    table.info(&path);
    uint64_t bytes = 0;
    const ke_result restored = ke_restore_table(table.cursor(), backupPath.c_str(), &bytes);
    if (restored != KE_OK)
        throw ToolError(engineError(restored), restored);
    std::printf("restored %s from %s: %u records; read back and verified\n", path.c_str(), backupPath.c_str(),
                unsigned(table.info().record_count));
    return 0;
}

int checkCommand(const std::string& tableFile)
{
    std::string path = tableFile;
    Findings found;
    try {
        Table table(tableFile, Access::Read);
        table.info(&path);
        found = examine(table, stdout);
        reportReadableByOthers(path, stdout);
        printReadOnlyReason(table, stdout);
    } catch (const ToolError& e) {
        // A file that is not there or may not be read is no finding about the table.
        if (e.code != KE_ERR_CORRUPT_TABLE && e.code != KE_ERR_UNSUPPORTED_TABLE)
            throw;
        std::printf("the table cannot be read: %s\n", e.what());
        std::printf("%s: not sound\n", path.c_str());
        return 1;
    }
    if (found.problems == 0) {
        std::printf("%s: sound, %u records\n", path.c_str(), unsigned(found.records));
        return 0;
    }
    std::printf("%s: not sound, %u problems\n", path.c_str(), unsigned(found.problems));
    return 1;
}

} // namespace kt
