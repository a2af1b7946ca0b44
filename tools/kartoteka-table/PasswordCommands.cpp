// protect and unprotect: a card index stored again under a password, or
// without one, as one change with no other user on the table.
#include "Commands.h"
#include "Password.h"

#include <unistd.h>

#include <memory>

namespace kt {

namespace {

const char* const kCloseTheProgram = " (close the program and try again)";

// The table with no other user on it: the whole file is stored again.
std::unique_ptr<Table> openAlone(const std::string& file)
{
    try {
        return std::make_unique<Table>(file, Access::Write, true);
    } catch (const ToolError& e) {
        if (e.code == KE_ERR_TABLE_IN_USE)
            throw ToolError(e.what() + std::string(kCloseTheProgram), e.code);
        throw;
    }
}

void storeUnderPassword(Table& table, const std::string& password)
{
    const ke_result r = ke_set_table_password(table.cursor(), password.empty() ? nullptr : password.c_str());
    if (r == KE_ERR_TABLE_IN_USE)
        throw ToolError(engineError(r) + kCloseTheProgram, r);
    require(r);
}

} // namespace

int protectCommand(const std::string& file)
{
    const auto opened = openAlone(file);
    Table& table = *opened;
    if (table.info().password_protected)
        throw ToolError(file + ": the table is password-protected already; unprotect it first");
    storeUnderPassword(table, newPasswordFor(file));
    std::printf("protected %s\n", file.c_str());
    return 0;
}

int unprotectCommand(const std::string& file)
{
    const auto opened = openAlone(file);
    Table& table = *opened;
    if (!table.info().password_protected) {
        std::printf("%s is not password-protected\n", file.c_str());
        return 0;
    }
    storeUnderPassword(table, {});
    std::printf("unprotected %s\n", file.c_str());
    return 0;
}

int createProtectedCommand(const std::string& file, uint16_t keyFields)
{
    const std::string password = newPasswordFor(file);
    createTable(file, clientTableFields(), kClientTableCodePage, keyFields);
    std::string path;
    try {
        const auto table = openAlone(file);
        table->info(&path);
        storeUnderPassword(*table, password);
    } catch (const ToolError&) {
        // All or nothing: no unprotected card index is left behind (nor the
        // empty index of a keyed one).
        if (!path.empty()) {
            ::unlink(path.c_str());
            if (keyFields)
                ::unlink((path.substr(0, path.rfind('.')) + ".PX").c_str());
        }
        throw;
    }
    return 0;
}

} // namespace kt
