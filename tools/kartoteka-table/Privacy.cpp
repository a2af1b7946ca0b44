#include "Privacy.h"

#include <sys/stat.h>

namespace kt {

namespace {

bool readableByOthers(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

// A path as one shell word: in single quotes, a quote inside as '\''.
std::string shellWord(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

void reportReadableByOthers(const std::string& tablePath, std::FILE* out)
{
    const std::string folder = folderOf(tablePath);
    const bool table = readableByOthers(tablePath);
    const bool dir = readableByOthers(folder);
    if (table && dir)
        std::fprintf(out, "other users can read %s and its folder; to keep them private: chmod go-rwx %s %s\n",
                     tablePath.c_str(), shellWord(tablePath).c_str(), shellWord(folder).c_str());
    else if (table)
        std::fprintf(out, "other users can read %s; to keep it private: chmod go-rwx %s\n", tablePath.c_str(),
                     shellWord(tablePath).c_str());
    else if (dir)
        std::fprintf(out, "other users can read the folder %s; to keep it private: chmod go-rwx %s\n",
                     folder.c_str(), shellWord(folder).c_str());
}

} // namespace kt
