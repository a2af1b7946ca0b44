#include "PathResolver.h"

#include "Disk.h"
#include "EngineError.h"
#include "Utf8.h"
#include "kartoteka_engine.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <vector>

namespace ke {

namespace {

std::vector<std::string> split(const std::string& s)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s) {
        if (c == '/' || c == '\\') {
            if (!cur.empty())
                parts.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty())
        parts.push_back(cur);
    return parts;
}

bool isDirectory(const std::string& p)
{
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string join(const std::string& dir, const std::string& name)
{
    if (dir.empty() || dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

// A folder made for the card index is its owner's alone, whatever the umask:
// the cards are clients' personal data. Existing folders are left as they are.
// The new folder's name is synced into its parent, so that a table made in it
// later does not vanish with the folder at a power cut.
bool makePrivateDirectory(const std::string& path)
{
    if (disk::current().mkdir(path, 0700) != 0)
        return false;
    ::chmod(path.c_str(), 0700);
    if (!disk::syncDirectoryOf(path))
        failIo("cannot flush the folder to disk", disk::directoryOf(path), errno);
    return true;
}

// mkdir -p: every missing directory of an absolute path.
void makeDirectories(const std::string& path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        makePrivateDirectory(path.substr(0, slash));
        if (slash == std::string::npos)
            break;
    }
}

std::string currentDirectory()
{
    std::vector<char> buf(4096);
    if (::getcwd(buf.data(), buf.size()))
        return buf.data();
    return ".";
}

} // namespace

std::string findEntryIgnoringCase(const std::string& dir, const std::string& name)
{
    struct stat st {};
    if (::lstat(join(dir, name).c_str(), &st) == 0)
        return name;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return {};
    std::string found;
    while (dirent* e = ::readdir(d)) {
        if (equalsIgnoringCase(e->d_name, name) && (found.empty() || std::string(e->d_name) < found))
            found = e->d_name;
    }
    ::closedir(d);
    return found;
}

std::string PathResolver::directory(const std::string& name) const { return resolveDirectory(name, false); }

std::string PathResolver::directoryCreatingMissing(const std::string& name) const
{
    return resolveDirectory(name, true);
}

std::string PathResolver::resolveDirectory(const std::string& name, bool createMissing) const
{
    if (name.empty())
        return currentDirectory();
    std::string base;
    std::string rest = name;
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) {
        base = m_config.driveDirectory(name[0]);
        rest = name.substr(2);
    } else if (name[0] == '/') {
        base = "/";
    } else {
        base = currentDirectory();
    }
    if (createMissing)
        makeDirectories(base);
    if (!isDirectory(base))
        fail(KE_ERR_DIRECTORY_NOT_FOUND, name + " (" + base + ")");
    std::string path = base;
    for (const std::string& part : split(rest)) {
        if (part == ".")
            continue;
        if (part == "..") {
            auto slash = path.find_last_of('/');
            path = slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
            continue;
        }
        std::string entry = findEntryIgnoringCase(path, part);
        if (entry.empty() && createMissing && makePrivateDirectory(join(path, part)))
            entry = part;
        if (entry.empty() || !isDirectory(join(path, entry)))
            fail(KE_ERR_DIRECTORY_NOT_FOUND, name + " (" + join(path, part) + ")");
        path = join(path, entry);
    }
    return path;
}

std::string PathResolver::tableFile(const std::string& dir, const std::string& tableName) const
{
    std::string name = tableName;
    if (name.find('.') == std::string::npos)
        name += ".DB";
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos) {
        // A table name with its own directory part.
        auto cut = name.find_last_of("/\\");
        std::string sub = directory(name[0] == '/' || (name.size() > 1 && name[1] == ':')
                                        ? name.substr(0, cut)
                                        : dir + "/" + name.substr(0, cut));
        return tableFile(sub, name.substr(cut + 1));
    }
    std::string entry = findEntryIgnoringCase(dir, name);
    if (entry.empty())
        fail(KE_ERR_TABLE_NOT_FOUND, join(dir, name));
    return join(dir, entry);
}

} // namespace ke
