// A verified copy of a table file (and a keyed table's index), taken between changes.
#include "TableFile.h"

#include "Disk.h"
#include "EngineError.h"
#include "kartoteka_engine.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ke {

uint64_t TableFile::copyTo(const std::string& destination, const std::function<void()>& alsoWhileLocked)
{
    // The read lock holds off every writer of the engine, in this process and
    // in others, until the copy is verified.
    ReadScope scope(*this);
    const uint64_t size = copyFileVerified(m_fd, m_path, uint64_t(m_stat.st_size), destination);
    if (alsoWhileLocked) {
        try {
            alsoWhileLocked();
        } catch (...) {
            disk::current().unlink(destination);
            throw;
        }
    }
    return size;
}

uint64_t copyFileVerified(int fd, const std::string& path, uint64_t size, const std::string& destination)
{
    disk::Disk& d = disk::current();
    const int out = d.open(destination, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        const int err = errno;
        if (err == EEXIST)
            fail(KE_ERR_INVALID_PARAMETER, destination + ": the file exists already", err);
        failIo("cannot create the copy", destination, err);
    }
    auto abandon = [&](const char* what, const std::string& path, int err) {
        d.close(out);
        d.unlink(destination);
        failIo(what, path, err);
    };
    constexpr size_t kChunk = size_t(1) << 20;
    std::vector<uint8_t> chunk(size_t(std::min<uint64_t>(size, kChunk))), back(chunk.size());
    for (uint64_t at = 0; at < size; at += chunk.size()) {
        const size_t n = size_t(std::min<uint64_t>(chunk.size(), size - at));
        if (!disk::readAll(fd, chunk.data(), n, at))
            abandon("cannot read the file", path, errno);
        if (!disk::writeAll(out, chunk.data(), n, at))
            abandon("cannot write the copy", destination, errno);
    }
    if (d.sync(out) != 0)
        abandon("cannot flush the copy to disk", destination, errno);
    // The copy's pages are clean now; dropping them makes the read-back come
    // from the disk rather than from memory.
    ::posix_fadvise(out, 0, 0, POSIX_FADV_DONTNEED);
    for (uint64_t at = 0; at < size; at += chunk.size()) {
        const size_t n = size_t(std::min<uint64_t>(chunk.size(), size - at));
        if (!disk::readAll(fd, chunk.data(), n, at))
            abandon("cannot read the file", path, errno);
        if (!disk::readAll(out, back.data(), n, at))
            abandon("cannot read the copy back", destination, errno);
        if (std::memcmp(chunk.data(), back.data(), n) != 0)
            abandon("the copy read back differs from the file", destination, EIO);
    }
    struct stat st {};
    if (::fstat(out, &st) != 0 || uint64_t(st.st_size) != size)
        abandon("the copy read back differs from the file", destination, EIO);
    if (d.close(out) != 0) {
        const int err = errno;
        d.unlink(destination);
        failIo("cannot write the copy", destination, err);
    }
    if (!disk::syncDirectoryOf(destination)) {
        const int err = errno;
        d.unlink(destination);
        failIo("cannot flush the copy's folder to disk", disk::directoryOf(destination), err);
    }
    return size;
}

} // namespace ke
