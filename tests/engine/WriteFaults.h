// Failing writes on purpose: a disk that lets a given number of writes through
// and then fails one (or every later one) as a full disk would, so the failure
// paths of a change can be exercised, and one on which the process dies at a
// given write. Installed over the engine's disk layer.
#pragma once

#include "Disk.h"

#include <unistd.h>

#include <cerrno>

namespace ke::faults {

// Every call passed on to another disk; the disks below change only writes.
class ForwardingDisk : public disk::Disk {
public:
    explicit ForwardingDisk(disk::Disk& base) : m_base(base) {}
    int open(const std::string& path, int flags, mode_t mode) override { return m_base.open(path, flags, mode); }
    int close(int fd) override { return m_base.close(fd); }
    ssize_t pwrite(int fd, const void* bytes, size_t n, off_t offset) override { return m_base.pwrite(fd, bytes, n, offset); }
    int ftruncate(int fd, off_t length) override { return m_base.ftruncate(fd, length); }
    int sync(int fd) override { return m_base.sync(fd); }
    int unlink(const std::string& path) override { return m_base.unlink(path); }
    int renameNoReplace(const std::string& from, const std::string& to) override
    {
        return m_base.renameNoReplace(from, to);
    }
    int mkdir(const std::string& path, mode_t mode) override { return m_base.mkdir(path, mode); }

private:
    disk::Disk& m_base;
};

class FailingDisk final : public ForwardingDisk {
public:
    explicit FailingDisk(disk::Disk& base) : ForwardingDisk(base) {}
    void arm(int count, bool persistent)
    {
        m_budget = count;
        m_persistent = persistent;
    }
    ssize_t pwrite(int fd, const void* bytes, size_t n, off_t offset) override
    {
        if (m_budget == 0) {
            if (!m_persistent)
                m_budget = -1;
            errno = ENOSPC;
            return -1;
        }
        if (m_budget > 0)
            --m_budget;
        return ForwardingDisk::pwrite(fd, bytes, n, offset);
    }

private:
    int m_budget = -1;
    bool m_persistent = false;
};

// A disk on which the process dies on the spot at its n-th write: a writer
// killed in the middle of storing a change, its journal already on the disk.
class DyingDisk final : public ForwardingDisk {
public:
    DyingDisk(disk::Disk& base, int writes) : ForwardingDisk(base), m_left(writes) {}
    ssize_t pwrite(int fd, const void* bytes, size_t n, off_t offset) override
    {
        if (--m_left == 0)
            _exit(0);
        return ForwardingDisk::pwrite(fd, bytes, n, offset);
    }

private:
    int m_left;
};

// -1: off. Otherwise the number of writes that still succeed; then one write
// fails (or, when persistent, every later write fails until this is called again).
inline void failWritesAfter(int count, bool persistent = false)
{
    static FailingDisk failing(disk::current());
    failing.arm(count, persistent);
    disk::install(count < 0 ? nullptr : &failing);
}

} // namespace ke::faults
