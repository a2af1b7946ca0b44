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

std::string expandHome(const std::string& v)
{
    if (v == "~")
        return homeDirectory();
    if (v.rfind("~/", 0) == 0)
        return homeDirectory() + v.substr(1);
    return v;
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

EngineConfig EngineConfig::load()
{
    EngineConfig c;
    c.readFile("/etc/kartoteka/engine.conf", false);
    c.readFile(homeDirectory() + "/.config/kartoteka/engine.conf", false);
    if (const char* env = std::getenv("KARTOTEKA_ENGINE_CONFIG"); env && *env)
        c.readFile(env, true);
    return c;
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
    parse(ss.str(), path);
}

void EngineConfig::parse(const std::string& text, const std::string& fileName)
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
        value = expandHome(value);
        if (key == "library_path") {
            if (value[0] != '/')
                bad("a library path must be absolute");
            libraryPaths.push_back(value);
        } else if (key.rfind("drive", 0) == 0 && (key.size() == 5 || key[5] == ' ' || key[5] == '\t')) {
            std::string letter = trim(key.substr(5));
            if (letter.size() == 2 && letter[1] == ':')
                letter.pop_back();
            if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0])))
                bad("expected a drive letter after \"drive\"");
            if (value[0] != '/')
                bad("a drive directory must be absolute");
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
    return homeDirectory() + "/.local/share/kartoteka/drives/" + std::string(1, up);
}

} // namespace ke
