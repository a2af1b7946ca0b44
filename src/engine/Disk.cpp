#include "Disk.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ke::disk {

namespace {

class SystemDisk final : public Disk {
public:
    int open(const std::string& path, int flags, mode_t mode) override { return ::open(path.c_str(), flags, mode); }
    int close(int fd) override { return ::close(fd); }
    ssize_t pwrite(int fd, const void* bytes, size_t n, off_t offset) override { return ::pwrite(fd, bytes, n, offset); }
    int ftruncate(int fd, off_t length) override { return ::ftruncate(fd, length); }
    int sync(int fd) override
    {
        // Folders need fsync; a file's data and length need only fdatasync.
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode))
            return ::fsync(fd);
        return ::fdatasync(fd);
    }
    int unlink(const std::string& path) override { return ::unlink(path.c_str()); }
    int renameNoReplace(const std::string& from, const std::string& to) override
    {
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return 0;
        if (errno != EINVAL && errno != ENOSYS)
            return -1;
        // A file system without the no-replace flag: a hard link refuses an
        // existing name just the same.
        if (::link(from.c_str(), to.c_str()) != 0)
            return -1;
        return ::unlink(from.c_str());
    }
    int mkdir(const std::string& path, mode_t mode) override { return ::mkdir(path.c_str(), mode); }
};

SystemDisk g_system;
Disk* g_current = &g_system;

} // namespace

Disk& current() { return *g_current; }

Disk* install(Disk* disk)
{
    Disk* previous = g_current;
    g_current = disk ? disk : &g_system;
    return previous == &g_system ? nullptr : previous;
}

bool writeAll(int fd, const uint8_t* bytes, size_t n, uint64_t offset)
{
    Disk& d = current();
    while (n > 0) {
        const ssize_t w = d.pwrite(fd, bytes, n, off_t(offset));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (w == 0) {
            errno = ENOSPC;
            return false;
        }
        bytes += w;
        n -= size_t(w);
        offset += uint64_t(w);
    }
    return true;
}

bool readAll(int fd, uint8_t* bytes, size_t n, uint64_t offset)
{
    while (n > 0) {
        const ssize_t r = ::pread(fd, bytes, n, off_t(offset));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            if (r == 0)
                errno = EIO; // the file is shorter than it must be
            return false;
        }
        bytes += r;
        n -= size_t(r);
        offset += uint64_t(r);
    }
    return true;
}

std::string directoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

bool syncDirectoryOf(const std::string& path)
{
    Disk& d = current();
    const int fd = d.open(directoryOf(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool ok = d.sync(fd) == 0;
    const int err = errno;
    d.close(fd);
    errno = err;
    return ok;
}

} // namespace ke::disk
