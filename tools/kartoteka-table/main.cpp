// kartoteka-table: the card index's maintenance tool. It uses the table engine
// through its public interface only, as any other program could.
#include "Commands.h"
#include "Password.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Command {
    const char* name;
    const char* arguments;
    int minArgs, maxArgs;
    const char* help;
    std::function<int(const std::vector<std::string>&)> run;
};

const std::vector<Command>& commands()
{
    static const std::vector<Command> all = {
        {"export", "TABLE [FILE.csv]", 1, 2,
         "Writes the table's records as CSV (UTF-8 with a byte order mark, a header row\n"
         "with the field names, RFC 4180 quoting, CRLF line ends) to FILE.csv, or to\n"
         "standard output when FILE.csv is missing or \"-\". The file is readable by\n"
         "its owner only and replaces an existing one only once it is complete.\n",
         [](const auto& a) { return kt::exportCommand(a[0], a.size() > 1 ? a[1] : std::string()); }},
        {"import", "TABLE FILE.csv", 2, 2,
         "Appends the rows of a CSV file (\"-\": standard input) to the table. The first\n"
         "line names the table's fields, in any order; fields it leaves out stay blank.\n"
         "All or nothing: a row that cannot be stored stops the import with the file's\n"
         "line and column, and the table stays as it was. The program may have the\n"
         "table open meanwhile.\n",
         [](const auto& a) { return kt::importCommand(a[0], a[1]); }},
        {"backup", "TABLE FOLDER", 2, 2,
         "Copies the table and its companion files into FOLDER (created, readable by\n"
         "its owner only, when missing; existing files there are never overwritten).\n"
         "The table is read while no change can be under way, even when the program\n"
         "is using it; every copy is read back from the disk and compared.\n",
         [](const auto& a) { return kt::backupCommand(a[0], a[1]); }},
        {"check", "TABLE", 1, 1,
         "Reads every block and record of the table and reports each problem in\n"
         "plain words. Exit status 0 when the table is sound, 1 when it is not.\n",
         [](const auto& a) { return kt::checkCommand(a[0]); }},
        {"info", "TABLE", 1, 1, "Prints the table's format level, code page, sizes, record count and columns.\n",
         [](const auto& a) { return kt::infoCommand(a[0]); }},
        {"dump", "TABLE", 1, 1,
         "Prints the records as UTF-8, one per line, the fields separated by tabs\n"
         "(tab, line feed, carriage return and backslash written as \\t \\n \\r \\\\).\n",
         [](const auto& a) { return kt::dumpCommand(a[0]); }},
        {"create", "TABLE", 1, 1,
         "Creates a new, empty client card index (seven text columns, code page 1251).\n"
         "An existing file is never overwritten. With --password PW it is protected\n"
         "from the start.\n",
         [](const auto& a) { return kt::givenPassword() ? kt::createProtectedCommand(a[0]) : kt::createCommand(a[0]); }},
        {"protect", "TABLE", 1, 1,
         "Stores the table again under a password (--password PW, or asked twice on the\n"
         "terminal), all or nothing, while no one else has it open. The key is kept in\n"
         "the file: this keeps out a casual reader only. Keeping client data safe needs\n"
         "file permissions and disk encryption.\n",
         [](const auto& a) { return kt::protectCommand(a[0]); }},
        {"unprotect", "TABLE", 1, 1,
         "Stores a protected table again without its password (given with --password PW\n"
         "or asked), all or nothing, while no one else has it open.\n",
         [](const auto& a) { return kt::unprotectCommand(a[0]); }},
        {"prepare", "FOLDER TABLE", 2, 2,
         "Finds the table the program would open (drive letters through the engine's\n"
         "drive map, names in any case) and, when there is none, creates the folders\n"
         "and an empty client card index there. An existing table is never touched.\n"
         "Prints \"found PATH\" or \"created PATH\".\n",
         [](const auto& a) { return kt::prepareCommand(a[0], a[1]); }},
    };
    return all;
}

void printUsage(FILE* out)
{
    std::fprintf(out, "usage: kartoteka-table COMMAND ARGUMENTS  (kartoteka-table COMMAND --help for more)\n\n");
    for (const Command& c : commands())
        std::fprintf(out, "  %-10s %s\n", c.name, c.arguments);
    std::fprintf(out,
                 "\nTABLE is a table file (data.DB), given as a path or with a drive letter of the\n"
                 "engine's drive map ('E:\\ЗУРБЕЛИН\\proga\\data.DB').\n"
                 "--password PW opens a password-protected table (without it, the password is\n"
                 "asked on the terminal).\n");
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        printUsage(args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    const Command* command = nullptr;
    for (const Command& c : commands())
        if (args[0] == c.name)
            command = &c;
    if (!command) {
        std::fprintf(stderr, "kartoteka-table: unknown command \"%s\"\n", args[0].c_str());
        printUsage(stderr);
        return 2;
    }
    // --password PW (or --password=PW) anywhere after the command.
    std::vector<std::string> rest;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--password" || args[i].rfind("--password=", 0) == 0) {
            const bool joined = args[i] != "--password";
            if (!joined && i + 1 == args.size()) {
                std::fprintf(stderr, "kartoteka-table: --password needs a value\n");
                return 2;
            }
            kt::setGivenPassword(joined ? args[i].substr(11) : args[++i]);
            continue;
        }
        rest.push_back(args[i]);
    }
    if (!rest.empty() && (rest[0] == "--help" || rest[0] == "-h")) {
        std::printf("usage: kartoteka-table %s %s\n\n%s", command->name, command->arguments, command->help);
        return 0;
    }
    if (int(rest.size()) < command->minArgs || int(rest.size()) > command->maxArgs) {
        std::fprintf(stderr, "usage: kartoteka-table %s %s\n", command->name, command->arguments);
        return 2;
    }
    try {
        kt::EngineSession engine;
        if (const auto& password = kt::givenPassword()) {
            if (password->empty())
                throw kt::ToolError("--password needs a value");
            kt::require(ke_add_password(password->c_str()));
        }
        const int status = command->run(rest);
        if (std::fflush(stdout) != 0) {
            std::fprintf(stderr, "kartoteka-table: cannot write the output: %s\n", std::strerror(errno));
            return 1;
        }
        return status;
    } catch (const kt::ToolError& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "kartoteka-table: %s\n", e.what());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "kartoteka-table: not enough memory\n");
        return 1;
    }
}
