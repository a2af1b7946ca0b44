// A cursor's view of its table's primary index as a whole: the check, the
// reasons that keep the table read-only, and the rebuild.
#include "Cursor.h"

#include "Disk.h"
#include "EngineError.h"
#include "IndexBuilder.h"
#include "IndexFile.h"
#include "TableAccess.h"
#include "kartoteka_engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>

namespace ke {

uint32_t Cursor::check(const std::function<void(const std::string&)>& report)
{
    uint32_t problems = m_file.check(report);
    if (header().fileType == KeyedTable && header().keyFields > 0)
        problems += checkIndex(m_file, indexPathFor(path()), report);
    return problems;
}

uint64_t Cursor::copyTo(const std::string& destination)
{
    if (header().fileType != KeyedTable || header().keyFields == 0)
        return m_file.copyTo(destination);
    const std::string index = indexPathFor(path());
    const std::string name = destination.substr(destination.rfind('/') + 1);
    const std::string target = disk::directoryOf(destination) + "/" + name.substr(0, name.rfind('.'))
        + index.substr(index.rfind('.'));
    return m_file.copyTo(destination, [&] {
        const int fd = ::open(index.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT)
                return; // nothing to copy: the copy reports the index missing, as the table does
            failIo("cannot read the primary index", index, errno);
        }
        struct stat st {};
        try {
            if (::fstat(fd, &st) != 0)
                failIo("cannot read the primary index", index, errno);
            copyFileVerified(fd, index, uint64_t(st.st_size), target);
        } catch (...) {
            ::close(fd);
            throw;
        }
        ::close(fd);
    });
}

uint64_t Cursor::restoreFrom(const std::string& backup)
{
    // Any block may change: the index is built from the restored records in the same change.
    if (!m_keyed)
        return m_file.restoreFrom(backup);
    m_keyed->rebuildAtCommit(true);
    try {
        const uint64_t size = m_file.restoreFrom(backup);
        m_keyed->rebuildAtCommit(false);
        return size;
    } catch (...) {
        m_keyed->rebuildAtCommit(false);
        throw;
    }
}

std::string Cursor::readOnlyReason()
{
    TableFile::ReadScope scope(m_file);
    return ke::readOnlyReason(path(), header(), m_file.counters().numRecords);
}

uint8_t Cursor::indexLevels()
{
    if (header().keyFields == 0)
        return 0;
    try {
        TableFile::ReadScope scope(m_file);
        IndexFile index(indexPathFor(path()), false);
        index.refresh(header());
        return index.mismatch().empty() ? index.header().levels : 0;
    } catch (const EngineError&) {
        return 0;
    }
}

void Cursor::rebuildIndex()
{
    if (!m_exclusive)
        fail(KE_ERR_TABLE_IN_USE, path() + ": the primary index is rebuilt only with the table opened exclusively");
    // Under the write lock, so that no change and no roll-back runs meanwhile;
    // the table itself is not changed.
    TableFile::WriteScope scope(m_file);
    const KeyOrder key = KeyOrder::of(header());
    const std::vector<ChainBlock> chain = chainOf(m_file, key.length);
    std::set<std::string> keys;
    std::vector<uint8_t> previous;
    uint32_t record = 0;
    for (const ChainBlock& c : chain) {
        const BlockView v = m_file.block(c.block);
        for (int i = 0; i < v.count; ++i) {
            const uint8_t* k = v.records + size_t(i) * header().recordSize;
            ++record;
            const bool repeated = !keys.insert(std::string(reinterpret_cast<const char*>(k), key.length)).second;
            if (repeated || (!previous.empty() && key.ordered() && key.compare(previous.data(), k) > 0))
                fail(KE_ERR_CORRUPT_TABLE, path() + ": record " + std::to_string(record)
                                               + (repeated ? " repeats the key of an earlier record (" : " is out of key order (")
                                               + key.describe(header(), k) + "); the index cannot be rebuilt");
            previous.assign(k, k + key.length);
        }
    }
    const std::string indexPath = indexPathFor(path());
    uint8_t changeCount = idx::NewChangeCount;
    try {
        IndexFile old(indexPath, false);
        old.refresh(header());
        if (old.mismatch().empty() && old.header().changeCount != 0)
            changeCount = old.header().changeCount; // keep the counter other readers may compare
    } catch (const EngineError&) {
    }
    installIndexFile(path(), indexPath, buildIndex(header(), chain, indexPath.substr(indexPath.rfind('/') + 1), changeCount));
}

} // namespace ke
