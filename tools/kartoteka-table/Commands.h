// The commands of kartoteka-table. Each returns the process's exit status and
// throws ToolError for a failure that ends it.
#pragma once

#include "Engine.h"

#include <cstdio>
#include <string>

namespace kt {

// The program's card index: seven text columns in code page 1251.
std::vector<Field> clientTableFields();
inline constexpr uint16_t kClientTableCodePage = 1251;

// keyFields: the first fields form the primary key (0: unkeyed).
int createCommand(const std::string& file, uint16_t keyFields);
int dumpCommand(const std::string& file);
int infoCommand(const std::string& file);
int prepareCommand(const std::string& folder, const std::string& table);
// file empty or "-": standard output. Verbatim: text cells as they are, even
// one a spreadsheet would run as a formula (see csv::guarded).
int exportCommand(const std::string& table, const std::string& file, bool verbatim);
// file "-": standard input. Verbatim: no apostrophe a safe export added is taken off.
int importCommand(const std::string& table, const std::string& file, bool verbatim);
int backupCommand(const std::string& table, const std::string& destination);
int restoreCommand(const std::string& backup, const std::string& table);
int checkCommand(const std::string& table);
int protectCommand(const std::string& table);
int unprotectCommand(const std::string& table);
// create with the password given (or asked): the new card index is protected from the start.
int createProtectedCommand(const std::string& table, uint16_t keyFields);
// Builds the primary index of a keyed table again from its records.
int reindexCommand(const std::string& table);

// "keyed: ...", the key order, the index's levels and the access the program gets.
void printKeyFacts(Table& table, FILE* out);
// Why the program opens the table read-only, when it does.
void printReadOnlyReason(Table& table, FILE* out);

// The records of an open table as CSV, written to the descriptor; the number
// of records. Text that a spreadsheet would run as a formula is guarded unless verbatim.
size_t exportCsv(Table& table, int fd, bool verbatim = false);

} // namespace kt
