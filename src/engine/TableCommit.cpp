// Committing a change: the journal first, durable with its folder entry; then
// the table's blocks and header, synced; then the journal removed, durable
// too. Any failed step undoes what reached the table, so a change either
// stands complete or the table is as it was, also after a power cut.
#include "TableFile.h"

#include "Disk.h"
#include "EngineError.h"
#include "kartoteka_engine.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>

namespace ke {

void TableFile::writeJournal(const JournalImage& journal)
{
    disk::Disk& d = disk::current();
    const std::vector<uint8_t> bytes = journal.serialize();
    // Made anew, never through a link nor over anything another program or
    // user left at its name.
    const mode_t journalMode = m_stat.st_mode & 0666;
    const int jfd = d.open(m_journalPath, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, journalMode);
    if (jfd < 0) {
        if (errno == EEXIST)
            fail(KE_ERR_IO, m_journalPath + ": something lies where the journal is to be written (put there by another "
                                            "program or user); it was left alone, and the change was not made", EEXIST);
        failIo("cannot create the journal", m_journalPath, errno);
    }
    auto abandon = [&](const std::string& what, int err) {
        // The table is untouched; a journal that stayed would only roll back nothing.
        d.close(jfd);
        d.unlink(m_journalPath);
        failIo(what, m_journalPath, err);
    };
    // The journal holds the table's bytes: it takes the table's group and
    // grants exactly what the table grants (no more, whatever the umask), so
    // that whoever may change a shared table can also roll a change of it
    // back. A change whose journal cannot have the group is not made.
    struct stat js {};
    if (::fstat(jfd, &js) != 0)
        abandon("cannot read the journal's status", errno);
    if (js.st_gid != m_stat.st_gid && ::fchown(jfd, uid_t(-1), m_stat.st_gid) != 0) {
        const int err = errno;
        const group* g = ::getgrgid(m_stat.st_gid);
        abandon("cannot give the journal the table's group " + (g ? std::string(g->gr_name) : std::to_string(m_stat.st_gid))
                    + ", so the other members could not roll an unfinished change back; the change was not made",
                err);
    }
    if (::fchmod(jfd, journalMode) != 0)
        abandon("cannot give the journal the table's permissions", errno);
    bool ok = disk::writeAll(jfd, bytes.data(), bytes.size(), 0) && d.sync(jfd) == 0;
    int err = errno;
    if (d.close(jfd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    const char* what = "cannot write the journal";
    if (ok && !disk::syncDirectoryOf(m_journalPath)) {
        ok = false;
        err = errno;
        what = "cannot flush the journal's folder to disk";
    }
    if (!ok) {
        d.unlink(m_journalPath);
        failIo(what, m_journalPath, err);
    }
}

void TableFile::commitTransaction()
{
    // The companion's part first: bringing it in step reads the table's images.
    const Companion::Change companion = m_companion ? m_companion->prepare() : Companion::Change {};
    TableCounters c = m_txnCounters;
    c.changeCount = uint8_t(c.changeCount + 1);
    std::array<uint8_t, hdr::MutablePart> fixed = m_fixed;
    c.write(fixed.data());

    const uint64_t oldSize = uint64_t(m_stat.st_size);
    const uint64_t blocksEnd = m_header.headerSize + uint64_t(c.fileBlocks) * m_header.blockSize;
    const bool shrink = c.fileBlocks < m_header.counters.fileBlocks;
    const uint64_t newSize = shrink ? blocksEnd : std::max(oldSize, blocksEnd);

    // A key change also rewrites where the header keeps the key.
    std::vector<uint8_t> keyBytes, oldKeyBytes;
    if (m_newScrambler) {
        const uint32_t key = m_newScrambler->key();
        if (m_header.keyOffset == hdr::Encryption2) {
            putLe32(&fixed[hdr::Encryption1], hdr::KeyInDataHeader);
            keyBytes = {uint8_t(key), uint8_t(key >> 8), uint8_t(key >> 16), uint8_t(key >> 24)};
            oldKeyBytes.resize(4);
            if (!disk::readAll(m_fd, oldKeyBytes.data(), 4, hdr::Encryption2))
                failIo("cannot read the table", m_path, errno);
        } else {
            putLe32(&fixed[hdr::Encryption1], key);
        }
    }

    // The bytes each block image puts into the file (a protected table's scrambled).
    const scramble::BlockScrambler* storing = scrambler();
    std::map<uint16_t, std::vector<uint8_t>> scrambled;
    auto storedBytes = [&](uint16_t n, const Image& im) -> const uint8_t* {
        if (!storing)
            return im.bytes.data();
        std::vector<uint8_t>& out = scrambled[n];
        if (out.empty()) {
            out = im.bytes;
            storing->scramble(out.data(), out.size(), n);
        }
        return out.data();
    };

    JournalImage journal;
    journal.table = m_identity;
    journal.originalSize = oldSize;
    journal.newSize = newSize;
    journal.entries.push_back({0, std::vector<uint8_t>(m_fixed.begin(), m_fixed.end()), chunkHashes(fixed.data(), fixed.size())});
    if (!oldKeyBytes.empty())
        journal.entries.push_back({hdr::Encryption2, oldKeyBytes, chunkHashes(keyBytes.data(), keyBytes.size())});
    for (const auto& [n, im] : m_images)
        if (!im.original.empty())
            journal.entries.push_back({m_header.blockOffset(n), im.original, chunkHashes(storedBytes(n, im), im.original.size())});
    if (!companion.writes.empty()) {
        journal.companionName = companion.path.substr(companion.path.rfind('/') + 1);
        if (!identityOf(companion.fd, journal.companion))
            failIo("cannot read the file's status", companion.path, errno);
        journal.companionSize = companion.oldSize;
        journal.companionNewSize = companion.newSize;
        journal.companionEntries = companion.originals;
    }
    if (newSize < oldSize) {
        JournalEntry tail; // cut off by the change: no bytes written there
        tail.offset = newSize;
        tail.original.resize(size_t(oldSize - newSize));
        if (!disk::readAll(m_fd, tail.original.data(), tail.original.size(), newSize))
            failIo("cannot read the table", m_path, errno);
        journal.entries.push_back(std::move(tail));
    }

    // 1. The journal, durable with its name before the table is touched, and
    // only while the table's path still leads to the open file.
    if (const AtPath where = atPath(); where != AtPath::Same)
        failReplaced(where);
    writeJournal(journal);
    disk::Disk& d = disk::current();

    // 2. The change itself. A failure puts the original bytes back, synced,
    // before the journal goes; should that fail too, the journal stays and the
    // next access rolls the change back.
    auto undo = [&](int err, const char* what) {
        try {
            rollBack(m_fd, journal);
            rollBackCompanion(journal);
            d.unlink(m_journalPath);
            disk::syncDirectoryOf(m_journalPath); // a journal that came back would restore the same bytes
        } catch (...) {
        }
        dropCache();
        failIo(what, m_path, err);
    };
    for (const auto& [n, im] : m_images)
        if (!disk::writeAll(m_fd, storedBytes(n, im), im.bytes.size(), m_header.blockOffset(n)))
            undo(errno, "cannot write the table");
    if (!keyBytes.empty() && !disk::writeAll(m_fd, keyBytes.data(), keyBytes.size(), hdr::Encryption2))
        undo(errno, "cannot write the table");
    if (!disk::writeAll(m_fd, fixed.data(), fixed.size(), 0))
        undo(errno, "cannot write the table");
    if (newSize < oldSize && d.ftruncate(m_fd, off_t(newSize)) != 0)
        undo(errno, "cannot shorten the table");
    for (const JournalEntry& w : companion.writes)
        if (!disk::writeAll(companion.fd, w.original.data(), w.original.size(), w.offset))
            undo(errno, "cannot write the primary index");
    if (companion.newSize < companion.oldSize && d.ftruncate(companion.fd, off_t(companion.newSize)) != 0)
        undo(errno, "cannot shorten the primary index");
    if (d.sync(m_fd) != 0)
        undo(errno, "cannot flush the table to disk");
    if (!companion.writes.empty() && d.sync(companion.fd) != 0)
        undo(errno, "cannot flush the primary index to disk");

    // 3. Commit: the journal goes, and its removal is durable. Until the folder
    // is synced the journal may come back after a power cut and undo a change
    // already reported as stored, so a failed sync undoes the change now.
    if (d.unlink(m_journalPath) != 0)
        undo(errno, "cannot remove the journal");
    if (!disk::syncDirectoryOf(m_journalPath))
        undo(errno, "cannot flush the table's folder to disk");

    m_fixed = fixed;
    m_header.counters = c;
    if (m_newScrambler) {
        m_header.key = m_newScrambler->key();
        m_header.encrypted = m_header.key != 0;
        m_scrambler = m_header.encrypted ? std::move(m_newScrambler) : nullptr;
        m_newScrambler.reset();
    }
    ::fstat(m_fd, &m_stat);
    dropCache();
    ++m_generation;
    m_processChanges->fetch_add(1);
    if (m_companion)
        m_companion->committed();
}

} // namespace ke
