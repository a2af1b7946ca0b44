// A verified copy of a table file, taken between changes.
#include "TableFile.h"

#include "EngineError.h"
#include "IoFaults.h"
#include "kartoteka_engine.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ke {

namespace {

bool readFully(int fd, uint8_t* p, size_t n, uint64_t offset)
{
    while (n > 0) {
        ssize_t r = ::pread(fd, p, n, off_t(offset));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            if (r == 0)
                errno = EIO; // shorter than it was a moment ago
            return false;
        }
        p += r;
        n -= size_t(r);
        offset += uint64_t(r);
    }
    return true;
}

bool writeFully(int fd, const uint8_t* p, size_t n, uint64_t offset)
{
    while (n > 0) {
        if (faults::writeShouldFail()) {
            errno = ENOSPC;
            return false;
        }
        ssize_t w = ::pwrite(fd, p, n, off_t(offset));
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0)
            return false;
        p += w;
        n -= size_t(w);
        offset += uint64_t(w);
    }
    return true;
}

void syncDirectoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        failIo("cannot open the copy's folder", dir, errno);
    const bool ok = ::fsync(fd) == 0;
    const int err = errno;
    ::close(fd);
    if (!ok)
        failIo("cannot flush the copy's folder to disk", dir, err);
}

} // namespace

uint64_t TableFile::copyTo(const std::string& destination)
{
    // The read lock holds off every writer of the engine, in this process and
    // in others, until the copy is verified.
    ReadScope scope(*this);
    const uint64_t size = uint64_t(m_stat.st_size);
    const int out = ::open(destination.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        const int err = errno;
        if (err == EEXIST)
            fail(KE_ERR_INVALID_PARAMETER, destination + ": the file exists already", err);
        failIo("cannot create the copy", destination, err);
    }
    auto abandon = [&](const char* what, const std::string& path, int err) {
        ::close(out);
        ::unlink(destination.c_str());
        failIo(what, path, err);
    };
    constexpr size_t kChunk = size_t(1) << 20;
    std::vector<uint8_t> chunk(size_t(std::min<uint64_t>(size, kChunk))), back(chunk.size());
    for (uint64_t at = 0; at < size; at += chunk.size()) {
        const size_t n = size_t(std::min<uint64_t>(chunk.size(), size - at));
        if (!readFully(m_fd, chunk.data(), n, at))
            abandon("cannot read the table", m_path, errno);
        if (!writeFully(out, chunk.data(), n, at))
            abandon("cannot write the copy", destination, errno);
    }
    if (::fsync(out) != 0)
        abandon("cannot flush the copy to disk", destination, errno);
    // The copy's pages are clean now; dropping them makes the read-back come
    // from the disk rather than from memory.
    ::posix_fadvise(out, 0, 0, POSIX_FADV_DONTNEED);
    for (uint64_t at = 0; at < size; at += chunk.size()) {
        const size_t n = size_t(std::min<uint64_t>(chunk.size(), size - at));
        if (!readFully(m_fd, chunk.data(), n, at))
            abandon("cannot read the table", m_path, errno);
        if (!readFully(out, back.data(), n, at))
            abandon("cannot read the copy back", destination, errno);
        if (std::memcmp(chunk.data(), back.data(), n) != 0)
            abandon("the copy read back differs from the table", destination, EIO);
    }
    struct stat st {};
    if (::fstat(out, &st) != 0 || uint64_t(st.st_size) != size)
        abandon("the copy read back differs from the table", destination, EIO);
    if (::close(out) != 0) {
        const int err = errno;
        ::unlink(destination.c_str());
        failIo("cannot write the copy", destination, err);
    }
    syncDirectoryOf(destination);
    return size;
}

} // namespace ke
