// Every change the engine makes to files on disk (opening for writing,
// writing, shortening, syncing, removing, renaming, making folders) goes
// through this one small layer. Reads go straight to the descriptors.
//
// The layer exists so that tests can stand in a disk of their own: one that
// fails a chosen write or sync, or one that, at a simulated power cut, keeps
// only some of the writes made since the last sync (the page cache is lost
// with the power; a process kill cannot show that).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace ke::disk {

// Each call behaves as the system call of the same name: -1 with errno set
// on failure.
class Disk {
public:
    virtual ~Disk() = default;
    virtual int open(const std::string& path, int flags, mode_t mode) = 0;
    virtual int close(int fd) = 0;
    virtual ssize_t pwrite(int fd, const void* bytes, size_t n, off_t offset) = 0;
    virtual int ftruncate(int fd, off_t length) = 0;
    // Makes a file's data (or a folder's entries) durable.
    virtual int sync(int fd) = 0;
    virtual int unlink(const std::string& path) = 0;
    // Fails with EEXIST when `to` exists: a rename never replaces a file.
    virtual int renameNoReplace(const std::string& from, const std::string& to) = 0;
    virtual int mkdir(const std::string& path, mode_t mode) = 0;
};

// The disk in use: the system's, unless a test installed its own.
Disk& current();
// Installs a disk (nullptr: the system's again); returns the one it replaces.
Disk* install(Disk* disk);

// Whole writes and reads at an offset, retried on EINTR; false with errno set.
bool writeAll(int fd, const uint8_t* bytes, size_t n, uint64_t offset);
bool readAll(int fd, uint8_t* bytes, size_t n, uint64_t offset);

// The folder holding `path` ("." for a bare name).
std::string directoryOf(const std::string& path);
// Syncs the folder holding `path`, so that names made or removed in it
// survive a power cut; false with errno set.
bool syncDirectoryOf(const std::string& path);

} // namespace ke::disk
