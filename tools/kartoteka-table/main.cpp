// kartoteka-table: the card index's maintenance tool. It uses the table engine
// through its public interface only, as any other program could.
#include "Commands.h"
#include "Password.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

uint16_t g_keyFields = 0; // create --key N

struct Command {
    const char* name;
    const char* arguments;
    int minArgs, maxArgs;
    const char* help;
    std::function<int(const std::vector<std::string>&)> run;
};

const char* const kPasswordHelp =
    "A password-protected table asks for its password on the terminal. Scripts give it\n"
    "  --password-file FILE  as the first line of FILE (readable by you only), or\n"
    "  --password-fd N       as the first line read from the open descriptor N\n"
    "                        (3<<<\"$PW\" in bash, or a pipe).\n"
    "--password PW still works, but avoid it: every user of the computer sees PW in\n"
    "the process list while the tool runs, and it stays in the shell's history.\n";

bool& verbatim()
{
    static bool set = false;
    return set;
}

const std::vector<Command>& commands()
{
    static const std::vector<Command> all = {
        {"export", "TABLE [FILE.csv]", 1, 2,
         "Writes the table's records as CSV (UTF-8 with a byte order mark, a header row\n"
         "with the field names, RFC 4180 quoting, CRLF line ends) to FILE.csv, or to\n"
         "standard output when FILE.csv is missing or \"-\". The file is readable by\n"
         "its owner only, and replaces an existing one only once it is complete and\n"
         "on the disk.\n"
         "Safe for spreadsheets: a text that begins with =, +, -, @, a tab or a carriage\n"
         "return (which a spreadsheet would run as a formula) gets an apostrophe in\n"
         "front, which spreadsheets do not show and import takes off again. With\n"
         "--verbatim every text is written as it is.\n",
         [](const auto& a) { return kt::exportCommand(a[0], a.size() > 1 ? a[1] : std::string(), verbatim()); }},
        {"import", "TABLE FILE.csv", 2, 2,
         "Appends the rows of a CSV file (\"-\": standard input) to the table. The first\n"
         "line names the table's fields, in any order; fields it leaves out stay blank.\n"
         "All or nothing: a row that cannot be stored stops the import with the file's\n"
         "line and column, and the table stays as it was. The program may have the\n"
         "table open meanwhile. The apostrophe a safe export put before a text is\n"
         "taken off (not with --verbatim, for a file exported with --verbatim), so\n"
         "export then import gives back every byte.\n",
         [](const auto& a) { return kt::importCommand(a[0], a[1], verbatim()); }},
        {"backup", "TABLE FOLDER", 2, 2,
         "Copies the table and its companion files into FOLDER (created, readable by\n"
         "its owner only, when missing; an existing one must be yours and closed to\n"
         "others' writing; existing files there are never overwritten). The table is\n"
         "read while no change can be under way, even when the program is using it;\n"
         "every copy is read back from the disk and compared, and the table's copy is\n"
         "checked as a table exactly as it lies.\n",
         [](const auto& a) { return kt::backupCommand(a[0], a[1]); }},
        {"restore", "BACKUP TABLE", 2, 2,
         "Puts BACKUP (a copy of TABLE that backup made) back in place of TABLE. The\n"
         "backup is checked first; then its cards replace the table's as one change\n"
         "under the table's own locks, read back and verified, so a program that has\n"
         "the table open shows the restored cards as it shows another user's changes.\n"
         "Use this instead of moving or copying a backup over the table: a program\n"
         "that has the table open would go on with the old, replaced file.\n",
         [](const auto& a) { return kt::restoreCommand(a[0], a[1]); }},
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
         "An existing file is never overwritten. Given a password (see below) it is\n"
         "protected from the start. With --key N its first N columns form a primary key,\n"
         "and an empty primary index (TABLE with the extension .PX) is made beside it;\n"
         "the key's columns are text, so cards can then be changed and deleted, not added.\n",
         [](const auto& a) {
             return kt::givenPassword() ? kt::createProtectedCommand(a[0], g_keyFields)
                                        : kt::createCommand(a[0], g_keyFields);
         }},
        {"reindex", "TABLE", 1, 1,
         "Builds the primary index of a keyed table (TABLE with the extension .PX) again\n"
         "from the table's records, replacing a missing or damaged one. No one else may\n"
         "have the table open meanwhile; the records must be in key order.\n",
         [](const auto& a) { return kt::reindexCommand(a[0]); }},
        {"protect", "TABLE", 1, 1,
         "Stores the table again under a password (asked twice on the terminal, or given\n"
         "as below), all or nothing, while no one else has it open. The key is kept in\n"
         "the file: this keeps out a casual reader only. Keeping client data safe needs\n"
         "file permissions and disk encryption.\n",
         [](const auto& a) { return kt::protectCommand(a[0]); }},
        {"unprotect", "TABLE", 1, 1,
         "Stores a protected table again without its password (asked, or given as\n"
         "below), all or nothing, while no one else has it open.\n",
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
    std::fprintf(out, "\nTABLE is a table file (data.DB), given as a path or with a drive letter of the\n"
                      "engine's drive map ('E:\\ЗУРБЕЛИН\\proga\\data.DB').\n%s",
                 kPasswordHelp);
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
    std::vector<std::pair<std::string, std::string>> passwordSources;
    for (const Command& c : commands())
        if (args[0] == c.name)
            command = &c;
    if (!command) {
        std::fprintf(stderr, "kartoteka-table: unknown command \"%s\"\n", args[0].c_str());
        printUsage(stderr);
        return 2;
    }
    // Options anywhere after the command: the password's three ways, --verbatim.
    std::vector<std::string> rest;
    for (size_t i = 1; i < args.size(); ++i) {
        std::string name = args[i], value;
        const auto equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (name == "--verbatim" && equals == std::string::npos) {
            if (std::strcmp(command->name, "export") != 0 && std::strcmp(command->name, "import") != 0) {
                std::fprintf(stderr, "kartoteka-table: --verbatim belongs to export and import\n");
                return 2;
            }
            verbatim() = true;
            continue;
        }
        if (name == "--key" && equals == std::string::npos && std::strcmp(command->name, "create") == 0) {
            char* end = nullptr;
            const long n = i + 1 < args.size() ? std::strtol(args[i + 1].c_str(), &end, 10) : 0;
            if (n < 1 || n > 7 || !end || *end) {
                std::fprintf(stderr, "kartoteka-table: --key needs the number of key columns, 1 to 7\n");
                return 2;
            }
            g_keyFields = uint16_t(n);
            ++i;
            continue;
        }
        if (name != "--password" && name != "--password-file" && name != "--password-fd") {
            rest.push_back(args[i]);
            continue;
        }
        if (equals == std::string::npos) {
            if (i + 1 == args.size()) {
                std::fprintf(stderr, "kartoteka-table: %s needs a value\n", name.c_str());
                return 2;
            }
            value = args[++i];
        }
        passwordSources.push_back({name, value});
    }
    if (!rest.empty() && (rest[0] == "--help" || rest[0] == "-h")) {
        std::printf("usage: kartoteka-table %s %s\n\n%s\n%s", command->name, command->arguments, command->help,
                    kPasswordHelp);
        return 0;
    }
    if (int(rest.size()) < command->minArgs || int(rest.size()) > command->maxArgs) {
        std::fprintf(stderr, "usage: kartoteka-table %s %s\n", command->name, command->arguments);
        return 2;
    }
    try {
        if (passwordSources.size() > 1)
            throw kt::ToolError("give the password one way only");
        for (const auto& [how, value] : passwordSources) {
            const std::string password = how == "--password"        ? value
                                         : how == "--password-file" ? kt::passwordFromFile(value)
                                                                    : kt::passwordFromDescriptor(value);
            if (password.empty())
                throw kt::ToolError("--password needs a value");
            kt::setGivenPassword(password);
        }
        kt::EngineSession engine;
        if (const auto& password = kt::givenPassword())
            kt::require(ke_add_password(password->c_str()));
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
