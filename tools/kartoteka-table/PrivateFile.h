// Files the tool writes with client data: readable and writable by their owner
// only, whatever the umask, and never seen half-written.
#pragma once

#include <cstdint>
#include <string>

namespace kt {

// A new file that appears at `path` whole or not at all: written to a
// temporary file beside it, synced, and renamed over the path at commit, the
// folder synced after.
class PrivateFile {
public:
    explicit PrivateFile(std::string path);
    ~PrivateFile(); // without commit: the temporary file goes
    PrivateFile(const PrivateFile&) = delete;
    PrivateFile& operator=(const PrivateFile&) = delete;

    int fd() const { return fd_; }
    void commit();

private:
    std::string path_;
    std::string temporary_;
    int fd_ = -1;
};

// Writes all bytes or throws ToolError naming `what`.
void writeAll(int fd, const char* data, size_t size, const std::string& what);
// Creates a folder readable by its owner only when it is missing (its parent
// must exist); an existing one must be the user's own and closed to others'
// writing, else ToolError.
void makePrivateFolder(const std::string& path);
// Copies a file to a new one readable by its owner only, synced, then reads the
// copy back and compares it; the copy's length.
uint64_t copyVerified(const std::string& from, const std::string& to);
// The whole content of a file ("-": standard input).
std::string readWholeFile(const std::string& path);

} // namespace kt
