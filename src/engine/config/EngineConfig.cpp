#include "EngineConfig.h"

#include "EngineError.h"
#include "kartoteka_engine.h"

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace ke {

namespace {

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// An XDG base directory: the variable when it holds an absolute path (an
// empty or relative value is ignored, as the XDG rules say), else the default
// below the home directory.
std::string baseDirectory(const char* variable, const char* fallback)
{
    if (const char* v = std::getenv(variable); v && v[0] == '/')
        return v;
    return homeDirectory() + fallback;
}

std::string currentDirectory()
{
    std::vector<char> buf(4096);
    if (::getcwd(buf.data(), buf.size()))
        return buf.data();
    return "/";
}

// The folder a configuration file lies in, as an absolute path.
std::string folderOf(const std::string& file)
{
    const std::string absolute = file.empty() || file[0] == '/' ? file : currentDirectory() + "/" + file;
    const size_t slash = absolute.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return absolute.substr(0, slash);
}

// "~" and "~/..." name the home directory; any other relative path is
// relative to the configuration file's folder (never the current directory).
std::string absolutePath(const std::string& v, const std::string& folder)
{
    if (v == "~")
        return homeDirectory();
    if (v.rfind("~/", 0) == 0)
        return homeDirectory() + v.substr(1);
    if (v[0] == '/')
        return v;
    std::string rest = v;
    while (rest.rfind("./", 0) == 0)
        rest.erase(0, 2);
    if (rest.empty() || rest == ".")
        return folder;
    return folder == "/" ? "/" + rest : folder + "/" + rest;
}

} // namespace

std::string homeDirectory()
{
    if (const char* h = std::getenv("HOME"); h && *h)
        return h;
    if (passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

std::string configHome() { return baseDirectory("XDG_CONFIG_HOME", "/.config"); }

std::string dataHome() { return baseDirectory("XDG_DATA_HOME", "/.local/share"); }

EngineConfig EngineConfig::load()
{
    EngineConfig c;
    c.readFile("/etc/kartoteka/engine.conf", false);
    c.readFile(configHome() + "/kartoteka/engine.conf", false);
    if (const char* env = std::getenv("KARTOTEKA_ENGINE_CONFIG"); env && *env)
        c.readFile(env, true);
    return c;
}

bool EngineConfig::load(EngineConfig& config, std::string& error)
{
    try {
        config = load();
        return true;
    } catch (const EngineError& e) {
        error = e.context;
    } catch (...) {
        error = "cannot read the engine configuration";
    }
    return false;
}

void EngineConfig::readFile(const std::string& path, bool required)
{
    if (!required && ::access(path.c_str(), F_OK) != 0)
        return;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fail(KE_ERR_CONFIG, path + ": cannot read the configuration file: " + std::strerror(errno), errno);
    }
    std::stringstream ss;
    ss << in.rdbuf();
    parse(ss.str(), path, folderOf(path));
}

void EngineConfig::parse(const std::string& text, const std::string& fileName, const std::string& folder)
{
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    auto bad = [&](const std::string& why) {
        fail(KE_ERR_CONFIG, fileName + ":" + std::to_string(lineNo) + ": " + why);
    };
    while (std::getline(in, raw)) {
        ++lineNo;
        std::string line = trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        auto eq = line.find('=');
        if (eq == std::string::npos)
            bad("expected \"name = value\"");
        std::string key = trim(line.substr(0, eq));
        std::string value = trim(line.substr(eq + 1));
        if (value.empty())
            bad("no value for \"" + key + "\"");
        value = absolutePath(value, folder);
        if (key == "library_path") {
            libraryPaths.push_back(value);
        } else if (key.rfind("drive", 0) == 0 && (key.size() == 5 || key[5] == ' ' || key[5] == '\t')) {
            std::string letter = trim(key.substr(5));
            if (letter.size() == 2 && letter[1] == ':')
                letter.pop_back();
            if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0])))
                bad("expected a drive letter after \"drive\"");
            drives[char(std::toupper(static_cast<unsigned char>(letter[0])))] = value;
        } else {
            bad("unknown setting \"" + key + "\"");
        }
    }
}

std::string EngineConfig::driveDirectory(char letter) const
{
    const char up = char(std::toupper(static_cast<unsigned char>(letter)));
    auto it = drives.find(up);
    if (it != drives.end())
        return it->second;
    return dataHome() + "/kartoteka/drives/" + std::string(1, up);
}

} // namespace ke
