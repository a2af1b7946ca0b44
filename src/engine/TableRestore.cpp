// A backup put back in place of the table: not by replacing the file, which
// would leave every program that has it open on a nameless file, but as one
// journalled change of the table itself, so that they see the restored
// records as another user's changes and a crash midway rolls it back.
#include "TableFile.h"

#include "Disk.h"
#include "EngineError.h"
#include "Format.h"
#include "kartoteka_engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ke {

namespace {

std::vector<uint8_t> wholeFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail(errno == ENOENT ? KE_ERR_TABLE_NOT_FOUND : KE_ERR_IO, path + ": cannot read the backup", errno);
    struct stat st {};
    std::vector<uint8_t> bytes;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        bytes.resize(size_t(st.st_size));
        ok = bytes.empty() || disk::readAll(fd, bytes.data(), bytes.size(), 0);
    }
    const int err = ok ? 0 : (errno ? errno : EINVAL);
    ::close(fd);
    if (!ok)
        failIo("cannot read the backup", path, err);
    return bytes;
}

} // namespace

uint64_t TableFile::restoreFrom(const std::string& backup)
{
    struct stat js {};
    if (::lstat(journalPathFor(backup).c_str(), &js) == 0)
        fail(KE_ERR_INVALID_PARAMETER, journalPathFor(backup) + " lies beside the backup: the backup may hold an unfinished "
                                                                 "change; nothing was restored");
    const std::vector<uint8_t> b = wholeFile(backup);
    const TableHeader bh = TableHeader::parse(b.data(), std::min<size_t>(b.size(), 0x10000), b.size(), backup);
    const TableCounters& bc = bh.counters;
    const uint32_t bs = bh.blockSize;
    if (bh.headerSize + uint64_t(bc.fileBlocks) * bs > b.size())
        fail(KE_ERR_CORRUPT_TABLE, backup + ": the backup is shorter than its header says; nothing was restored");

    WriteScope scope(*this);
    if (!bh.sameLayoutAs(m_header))
        fail(KE_ERR_INVALID_PARAMETER, backup + ": not a copy of " + m_path
                                           + " (another structure or password); nothing was restored");
    // Every block of the backup, in plain bytes; blocks past its last go when
    // the file is cut to its length.
    TableCounters& c = m_txnCounters;
    c.firstFreeBlock = 0;
    while (c.fileBlocks < bc.fileBlocks)
        allocateBlock();
    for (uint32_t n = 1; n <= bc.fileBlocks; ++n) {
        uint8_t* image = writableBlock(uint16_t(n));
        std::memcpy(image, b.data() + bh.blockOffset(uint16_t(n)), bs);
        decode(uint16_t(n), image);
    }
    const uint8_t changes = m_header.counters.changeCount; // one more at the commit
    c = bc;
    c.changeCount = changes;
    scope.commit();

    // Read back from the disk under the same lock: the counters and every block.
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_DONTNEED);
    std::vector<uint8_t> back(size_t(bh.headerSize + uint64_t(bc.fileBlocks) * bs));
    TableCounters stored;
    if (!disk::readAll(m_fd, back.data(), back.size(), 0))
        failIo("cannot read the restored table back", m_path, errno);
    stored.read(back.data());
    stored.changeCount = bc.changeCount;
    std::vector<uint8_t> expected(hdr::MutablePart), got(hdr::MutablePart);
    bc.write(expected.data());
    stored.write(got.data());
    if (expected != got || std::memcmp(back.data() + bh.headerSize, b.data() + bh.headerSize, back.size() - bh.headerSize) != 0)
        fail(KE_ERR_IO, m_path + ": the restored table reads back different from the backup " + backup, EIO);
    return b.size();
}

} // namespace ke
