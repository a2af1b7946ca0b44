#include "PrivateFile.h"

#include "Engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace kt {

namespace {

[[noreturn]] void failWith(const std::string& what, int err)
{
    throw ToolError(what + ": " + std::strerror(err));
}

bool readFully(int fd, char* p, size_t n)
{
    while (n > 0) {
        const ssize_t r = ::read(fd, p, n);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            if (r == 0)
                errno = EIO;
            return false;
        }
        p += r;
        n -= size_t(r);
    }
    return true;
}

void syncFolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int err = errno;
        if (fd >= 0)
            ::close(fd);
        failWith("cannot flush " + folder + " to disk", err);
    }
    ::close(fd);
}

} // namespace

void writeAll(int fd, const char* data, size_t size, const std::string& what)
{
    while (size > 0) {
        const ssize_t w = ::write(fd, data, size);
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0)
            failWith("cannot write " + what, errno);
        data += w;
        size -= size_t(w);
    }
}

PrivateFile::PrivateFile(std::string path) : path_(std::move(path))
{
    const auto slash = path_.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    std::string pattern = folder + "." + name + ".XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC); // mode 0600
    if (fd_ < 0)
        failWith("cannot create a file in the folder of " + path_, errno);
    temporary_ = pattern;
}

PrivateFile::~PrivateFile()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
}

void PrivateFile::commit()
{
    // The new file durable before it takes the old one's name, and the name
    // durable after: a power cut leaves the old file or the new one, whole.
    const int fd = fd_;
    fd_ = -1;
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        failWith("cannot flush " + path_ + " to disk", err);
    }
    if (::close(fd) != 0)
        failWith("cannot write " + path_, errno);
    if (::rename(temporary_.c_str(), path_.c_str()) != 0)
        failWith("cannot create " + path_, errno);
    temporary_.clear();
    syncFolderOf(path_);
}

void makePrivateFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) == 0)
        return;
    const int err = errno;
    struct stat st {};
    if (err != EEXIST)
        failWith("cannot create the folder " + path, err);
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw ToolError(path + " exists and is not a folder");
    // Whoever else may write into the folder could put files beside the copy
    // or swap it after it was verified.
    if (st.st_uid != ::geteuid())
        throw ToolError(path + " belongs to another user; give a folder of your own");
    if (st.st_mode & (S_IWGRP | S_IWOTH)) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", unsigned(st.st_mode & 07777));
        throw ToolError("others can write into " + path + " (mode " + mode
                        + "); give a folder only you can write to (chmod go-w makes it one)");
    }
}

uint64_t copyVerified(const std::string& from, const std::string& to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        failWith("cannot read " + from, errno);
    const int out = ::open(to.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        if (err == EEXIST)
            throw ToolError(to + " exists already; a backup never overwrites a file");
        failWith("cannot create " + to, err);
    }
    auto abandon = [&](const std::string& what, int err) {
        ::close(in);
        ::close(out);
        ::unlink(to.c_str());
        failWith(what, err);
    };
    std::vector<char> chunk(1 << 20), back(1 << 20);
    uint64_t size = 0;
    for (;;) {
        const ssize_t r = ::read(in, chunk.data(), chunk.size());
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            abandon("cannot read " + from, errno);
        if (r == 0)
            break;
        try {
            writeAll(out, chunk.data(), size_t(r), to);
        } catch (const ToolError&) {
            abandon("cannot write " + to, errno);
        }
        size += uint64_t(r);
    }
    if (::fsync(out) != 0)
        abandon("cannot flush " + to + " to disk", errno);
    ::posix_fadvise(out, 0, 0, POSIX_FADV_DONTNEED); // read back from the disk, not from memory
    if (::lseek(in, 0, SEEK_SET) != 0 || ::lseek(out, 0, SEEK_SET) != 0)
        abandon("cannot read " + to + " back", errno);
    for (uint64_t done = 0; done < size;) {
        const size_t n = size_t(std::min<uint64_t>(chunk.size(), size - done));
        if (!readFully(in, chunk.data(), n) || !readFully(out, back.data(), n))
            abandon("cannot read " + to + " back", errno);
        if (std::memcmp(chunk.data(), back.data(), n) != 0)
            abandon(to + " read back differs from " + from, EIO);
        done += n;
    }
    ::close(in);
    if (::close(out) != 0) {
        const int err = errno;
        ::unlink(to.c_str());
        failWith("cannot write " + to, err);
    }
    syncFolderOf(to);
    return size;
}

std::string readWholeFile(const std::string& path)
{
    const bool standardInput = path == "-";
    const int fd = standardInput ? 0 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        failWith("cannot read " + path, errno);
    std::string text;
    std::vector<char> chunk(1 << 20);
    for (;;) {
        const ssize_t r = ::read(fd, chunk.data(), chunk.size());
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            const int err = errno;
            if (!standardInput)
                ::close(fd);
            failWith("cannot read " + path, err);
        }
        if (r == 0)
            break;
        text.append(chunk.data(), size_t(r));
    }
    if (!standardInput)
        ::close(fd);
    return text;
}

} // namespace kt
