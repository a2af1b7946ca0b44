// Passwords of protected card indexes: given with --password-file,
// --password-fd or --password, or asked on the terminal without echo when a
// table needs one and none was given.
#pragma once

#include <optional>
#include <string>

namespace kt {

// The password given on the command line, if any; added to the engine's session
// by the commands that open tables.
void setGivenPassword(std::optional<std::string> password);
const std::optional<std::string>& givenPassword();

// The first line of a file, or of what an open descriptor delivers (its
// line end left off); ToolError when there is none or it is empty. Unlike
// --password, neither shows in the process list or the shell's history.
std::string passwordFromFile(const std::string& path);
std::string passwordFromDescriptor(const std::string& number);

// Asks on the controlling terminal, without echo. Nothing when there is no terminal.
std::optional<std::string> askOnTerminal(const std::string& prompt);

// A new password for a table: the given one, else one asked twice on the
// terminal; ToolError when there is neither or the two differ.
std::string newPasswordFor(const std::string& table);

} // namespace kt
