#include "Password.h"

#include "Engine.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kt {

namespace {

std::optional<std::string>& given()
{
    static std::optional<std::string> password;
    return password;
}

// The first line readable from fd, read a byte at a time so that nothing after
// it is taken from a pipe the caller shares.
std::string firstLine(int fd, const std::string& source)
{
    std::string line;
    char c;
    ssize_t r;
    while (((r = ::read(fd, &c, 1)) == 1 && c != '\n') || (r < 0 && errno == EINTR))
        if (r == 1)
            line += c;
    if (r < 0)
        throw ToolError("cannot read the password from " + source + ": " + std::strerror(errno));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty())
        throw ToolError("the first line of " + source + " is empty: no password");
    return line;
}

} // namespace

std::string passwordFromFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw ToolError("cannot read the password file " + path + ": " + std::strerror(errno));
    try {
        std::string line = firstLine(fd, path);
        ::close(fd);
        return line;
    } catch (...) {
        ::close(fd);
        throw;
    }
}

std::string passwordFromDescriptor(const std::string& number)
{
    char* end = nullptr;
    errno = 0;
    const long fd = std::strtol(number.c_str(), &end, 10);
    if (number.empty() || *end || errno || fd < 0 || fd > 1024)
        throw ToolError("--password-fd needs the number of an open descriptor, not \"" + number + "\"");
    return firstLine(int(fd), "descriptor " + number);
}

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
        throw ToolError(table + ": give the new password on a terminal, or with --password-file FILE");
    if (typed->empty())
        throw ToolError("an empty password protects nothing; the table was not changed");
    if (askOnTerminal("The same password again: ") != typed)
        throw ToolError("the two passwords differ; the table was not changed");
    return *typed;
}

} // namespace kt
