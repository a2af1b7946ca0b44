// A disk that loses power. It watches one folder: the real files there serve
// as the page cache, while the disk keeps apart, for every file, the bytes made
// durable by its last sync and the writes and truncations since; and, for the
// folder, the names made durable by its last sync and the creations, removals
// and renames since. At a cut every later call fails as on a machine that went
// off; afterCut() then rewrites the folder as the disk would hold it: the
// durable state plus a random subset of what was pending, each kept write
// possibly torn at a 512-byte sector, each folder change kept or undone.
#pragma once

#include "Disk.h"

#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace enginetest {

class PowerCutDisk final : public ke::disk::Disk {
public:
    explicit PowerCutDisk(std::string folder) : m_folder(std::move(folder)) { adopt(); }

    // Every file in the folder as it stands now is durable.
    void adopt()
    {
        m_nodes.clear();
        m_durableNames.clear();
        m_pendingNames.clear();
        m_fdNode.clear();
        m_folderFds.clear();
        for (const std::string& name : filesIn(m_folder)) {
            const int node = m_nextNode++;
            m_nodes[node].durable = readFile(m_folder + "/" + name);
            m_durableNames[name] = node;
        }
        m_names = m_durableNames;
        m_cutAfter = -1;
        m_failSync = -1;
        m_changes = m_syncs = 0;
        m_off = false;
    }

    // The power goes after `n` more changes of the disk (writes, truncations,
    // syncs, creations, removals, renames): the next one fails, as all later.
    void cutAfter(int n) { m_cutAfter = m_changes + n; }
    // The n-th sync from now (1: the next) fails with EIO and makes nothing durable.
    void failSyncNumber(int n) { m_failSync = m_syncs + n; }
    bool off() const { return m_off; }
    int changes() const { return m_changes; }

    // The folder as the disk holds it after the cut; then all of it is durable.
    void afterCut(QRandomGenerator& rng)
    {
        std::map<std::string, int> names = m_durableNames;
        for (const NameChange& c : m_pendingNames) {
            if (rng.bounded(2) == 0)
                continue;
            if (c.kind == NameChange::Make) {
                names[c.name] = c.node;
            } else if (c.kind == NameChange::Remove) {
                names.erase(c.name);
            } else if (names.count(c.from) && names[c.from] == c.node) {
                names.erase(c.from);
                names[c.name] = c.node;
            }
        }
        std::map<int, std::vector<uint8_t>> contents;
        for (const auto& [name, node] : names)
            if (!contents.count(node))
                contents[node] = surviving(m_nodes[node], rng);
        for (const std::string& name : filesIn(m_folder))
            ::unlink((m_folder + "/" + name).c_str());
        for (const auto& [name, node] : names)
            writeFile(m_folder + "/" + name, contents[node]);
        adopt();
    }

    int open(const std::string& path, int flags, mode_t mode) override
    {
        if (path == m_folder) {
            const int fd = ::open(path.c_str(), flags, mode);
            if (fd >= 0)
                m_folderFds.insert(fd);
            return fd;
        }
        const std::string name = nameIn(path);
        if (name.empty())
            return ::open(path.c_str(), flags, mode);
        if (m_off)
            return refuse();
        const bool exists = m_names.count(name) != 0;
        if ((!exists && (flags & O_CREAT)) || (exists && (flags & O_TRUNC)))
            if (!change())
                return refuse();
        const int fd = ::open(path.c_str(), flags, mode);
        if (fd < 0)
            return fd;
        if (!exists) {
            const int node = m_nextNode++;
            m_nodes[node] = {};
            m_names[name] = node;
            m_pendingNames.push_back({NameChange::Make, name, {}, node});
        } else if (flags & O_TRUNC) {
            m_nodes[m_names[name]].pending.push_back({true, 0, {}});
        }
        m_fdNode[fd] = m_names[name];
        return fd;
    }
    int close(int fd) override
    {
        m_fdNode.erase(fd);
        m_folderFds.erase(fd);
        return ::close(fd);
    }
    ssize_t pwrite(int fd, const void* bytes, size_t n, off_t offset) override
    {
        const auto it = m_fdNode.find(fd);
        if (it == m_fdNode.end())
            return ::pwrite(fd, bytes, n, offset);
        if (!change())
            return refuse();
        const ssize_t w = ::pwrite(fd, bytes, n, offset);
        if (w > 0) {
            const auto* p = static_cast<const uint8_t*>(bytes);
            m_nodes[it->second].pending.push_back({false, uint64_t(offset), std::vector<uint8_t>(p, p + w)});
        }
        return w;
    }
    int ftruncate(int fd, off_t length) override
    {
        const auto it = m_fdNode.find(fd);
        if (it == m_fdNode.end())
            return ::ftruncate(fd, length);
        if (!change())
            return refuse();
        const int rc = ::ftruncate(fd, length);
        if (rc == 0)
            m_nodes[it->second].pending.push_back({true, uint64_t(length), {}});
        return rc;
    }
    int sync(int fd) override
    {
        const bool folder = m_folderFds.count(fd) != 0;
        const auto it = m_fdNode.find(fd);
        if (!folder && it == m_fdNode.end())
            return ::fsync(fd);
        if (!change())
            return refuse();
        if (++m_syncs == m_failSync) {
            errno = EIO;
            return -1;
        }
        if (folder) {
            m_durableNames = m_names;
            m_pendingNames.clear();
        } else {
            Node& node = m_nodes[it->second];
            node.durable = applied(node.durable, node.pending, nullptr);
            node.pending.clear();
        }
        return 0;
    }
    int unlink(const std::string& path) override
    {
        const std::string name = nameIn(path);
        if (name.empty())
            return ::unlink(path.c_str());
        if (!change())
            return refuse();
        const int rc = ::unlink(path.c_str());
        if (rc == 0) {
            m_names.erase(name);
            m_pendingNames.push_back({NameChange::Remove, name, {}, 0});
        }
        return rc;
    }
    int renameNoReplace(const std::string& from, const std::string& to) override
    {
        const std::string a = nameIn(from), b = nameIn(to);
        if (a.empty() || b.empty())
            return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
        if (!change())
            return refuse();
        if (m_names.count(b)) {
            errno = EEXIST;
            return -1;
        }
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
            return -1;
        const int node = m_names[a];
        m_names.erase(a);
        m_names[b] = node;
        m_pendingNames.push_back({NameChange::Rename, b, a, node});
        return 0;
    }
    int mkdir(const std::string& path, mode_t mode) override { return ::mkdir(path.c_str(), mode); }

private:
    struct Pending {
        bool truncate = false;
        uint64_t offset = 0; // the length, for a truncation
        std::vector<uint8_t> bytes;
    };
    struct Node {
        std::vector<uint8_t> durable;
        std::vector<Pending> pending;
    };
    struct NameChange {
        enum Kind { Make, Remove, Rename } kind;
        std::string name; // made, removed, or renamed to
        std::string from;
        int node = 0;
    };

    static std::vector<uint8_t> applied(std::vector<uint8_t> bytes, const std::vector<Pending>& ops,
                                        QRandomGenerator* rng)
    {
        for (const Pending& op : ops) {
            if (rng && rng->bounded(2) == 0)
                continue;
            if (op.truncate) {
                bytes.resize(size_t(op.offset));
                continue;
            }
            size_t n = op.bytes.size();
            if (rng && rng->bounded(4) == 0) {
                // Torn: the sectors up to some boundary reached the disk.
                const uint64_t end = op.offset + n;
                const uint64_t firstBoundary = (op.offset / 512 + 1) * 512;
                const uint64_t sectors = end > firstBoundary ? (end - firstBoundary) / 512 + 1 : 1;
                const uint64_t cut = std::min<uint64_t>(end, firstBoundary + 512 * rng->bounded(quint32(sectors)));
                n = size_t(cut - op.offset);
            }
            if (bytes.size() < op.offset + n)
                bytes.resize(size_t(op.offset + n), 0);
            std::copy_n(op.bytes.begin(), n, bytes.begin() + long(op.offset));
        }
        return bytes;
    }
    static std::vector<uint8_t> surviving(const Node& node, QRandomGenerator& rng)
    {
        return applied(node.durable, node.pending, &rng);
    }

    static std::vector<std::string> filesIn(const std::string& folder)
    {
        std::vector<std::string> names;
        if (DIR* d = ::opendir(folder.c_str())) {
            while (dirent* e = ::readdir(d))
                if (e->d_type == DT_REG)
                    names.push_back(e->d_name);
            ::closedir(d);
        }
        return names;
    }
    static std::vector<uint8_t> readFile(const std::string& path)
    {
        std::vector<uint8_t> bytes;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) == 0) {
            bytes.resize(size_t(st.st_size));
            if (!bytes.empty() && !ke::disk::readAll(fd, bytes.data(), bytes.size(), 0))
                bytes.clear();
        }
        if (fd >= 0)
            ::close(fd);
        return bytes;
    }
    static void writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return;
        if (!bytes.empty())
            (void)!::pwrite(fd, bytes.data(), bytes.size(), 0);
        ::close(fd);
    }

    // The name of `path` in the watched folder, or "" for a file elsewhere.
    std::string nameIn(const std::string& path) const
    {
        if (path.size() <= m_folder.size() + 1 || path.compare(0, m_folder.size(), m_folder) != 0
            || path[m_folder.size()] != '/' || path.find('/', m_folder.size() + 1) != std::string::npos)
            return {};
        return path.substr(m_folder.size() + 1);
    }
    // Counts a change of the disk; false once the power is gone.
    bool change()
    {
        if (m_off || (m_cutAfter >= 0 && m_changes >= m_cutAfter)) {
            m_off = true;
            return false;
        }
        ++m_changes;
        return true;
    }
    static int refuse()
    {
        errno = EIO;
        return -1;
    }
    std::string m_folder;
    std::map<int, Node> m_nodes;
    int m_nextNode = 1;
    std::map<std::string, int> m_names, m_durableNames;
    std::vector<NameChange> m_pendingNames;
    std::map<int, int> m_fdNode;
    std::set<int> m_folderFds;
    int m_changes = 0, m_cutAfter = -1, m_syncs = 0, m_failSync = -1;
    bool m_off = false;
};

} // namespace enginetest
