#include "Password.h"

#include "Engine.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace kt {

namespace {

std::optional<std::string>& given()
{
    static std::optional<std::string> password;
    return password;
}

} // namespace

void setGivenPassword(std::optional<std::string> password) { given() = std::move(password); }
const std::optional<std::string>& givenPassword() { return given(); }

std::optional<std::string> askOnTerminal(const std::string& prompt)
{
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (tty < 0)
        return std::nullopt;
    termios before {};
    const bool isTerminal = ::tcgetattr(tty, &before) == 0;
    if (isTerminal) {
        termios quiet = before;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(tty, TCSANOW, &quiet);
    }
    [[maybe_unused]] ssize_t w = ::write(tty, prompt.data(), prompt.size());
    std::string line;
    char c;
    bool gotLine = false;
    while (::read(tty, &c, 1) == 1) {
        if (c == '\n') {
            gotLine = true;
            break;
        }
        line += c;
    }
    if (isTerminal)
        ::tcsetattr(tty, TCSANOW, &before);
    ::close(tty);
    if (!gotLine && line.empty())
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::string newPasswordFor(const std::string& table)
{
    if (givenPassword())
        return *givenPassword();
    const std::optional<std::string> typed = askOnTerminal("New password for " + table + ": ");
    if (!typed)
        throw ToolError(table + ": give the new password with --password PW");
    if (typed->empty())
        throw ToolError("an empty password protects nothing; the table was not changed");
    if (askOnTerminal("The same password again: ") != typed)
        throw ToolError("the two passwords differ; the table was not changed");
    return *typed;
}

} // namespace kt
