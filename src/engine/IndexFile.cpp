#include "IndexFile.h"

#include "BlockAllocation.h"
#include "BlockView.h"
#include "Disk.h"
#include "EngineError.h"
#include "PathResolver.h"
#include "kartoteka_engine.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ke {

namespace {

std::string num(uint64_t n) { return std::to_string(n); }

} // namespace

std::string indexPathFor(const std::string& tablePath)
{
    const auto slash = tablePath.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : tablePath.substr(0, slash));
    const std::string file = slash == std::string::npos ? tablePath : tablePath.substr(slash + 1);
    const std::string stem = file.substr(0, file.rfind('.')) + ".PX";
    const std::string found = findEntryIgnoringCase(dir, stem);
    return dir + "/" + (found.empty() ? stem : found);
}

IndexHeader IndexHeader::parse(const uint8_t* d, size_t length, uint64_t fileSize, const TableHeader& table,
                               std::string& problem)
{
    IndexHeader h;
    problem.clear();
    if (length < idx::Descriptors) {
        problem = "it is too short to hold an index header";
        return h;
    }
    h.entrySize = le16(d + idx::EntrySize);
    h.headerSize = le16(d + idx::HeaderSize);
    h.counters.read(d);
    h.root = le16(d + idx::Root);
    h.levels = d[idx::Levels];
    h.numKeyFields = le16(d + idx::NumKeyFields);
    h.encryption = le32(d + idx::Encryption);
    h.changeCount = d[idx::ChangeCount];
    const uint8_t code = d[idx::BlockSizeCode];
    if (code == 1 || code == 2 || code == 3 || code == 4 || code == 8 || code == 16 || code == 32)
        h.blockSize = uint32_t(code) * 1024;

    uint32_t keyLength = 0;
    for (uint16_t i = 0; i < table.keyFields && i < table.fields.size(); ++i)
        keyLength += table.fields[i].size;
    if (d[idx::FileType] != PrimaryIndex)
        problem = "it is not a primary index (file type " + num(d[idx::FileType]) + ")";
    else if (h.numKeyFields != table.keyFields)
        problem = "it indexes " + num(h.numKeyFields) + " key fields, the table has " + num(table.keyFields);
    else if (h.entrySize != keyLength + idx::EntryTail)
        problem = "its entries have " + num(h.entrySize) + " bytes, the table's key needs " + num(keyLength + idx::EntryTail);
    else if (h.blockSize == 0 || h.blockSize < blk::HeaderBytes + h.entrySize)
        problem = "its block size is invalid";
    else if (h.headerSize < idx::Descriptors + 2 * size_t(h.numKeyFields) || h.headerSize > length)
        problem = "its header size is invalid";
    else if (h.encryption != 0)
        problem = "it is password-protected";
    else if (fileSize < h.headerSize + uint64_t(h.counters.fileBlocks) * h.blockSize)
        problem = "the file ends before its last block";
    else if (h.root > h.counters.fileBlocks || (h.root == 0) != (h.levels == 0))
        problem = "its root block is invalid";
    if (!problem.empty())
        return h;
    for (uint16_t i = 0; i < h.numKeyFields; ++i) {
        const FieldInfo& f = table.fields[i];
        const uint8_t type = d[idx::Descriptors + 2 * i], size = d[idx::Descriptors + 2 * i + 1];
        if (type != f.type || (f.type != KE_FIELD_BCD && size != f.size)) {
            problem = "its key field " + num(i + 1) + " differs from the table's";
            return h;
        }
    }
    return h;
}

void IndexHeader::writeCounters(uint8_t* d) const
{
    counters.write(d);
    putLe16(d + idx::Root, root);
    d[idx::Levels] = levels;
    d[idx::ChangeCount] = changeCount;
}

IndexFile::IndexFile(std::string path, bool writable) : m_path(std::move(path)), m_writable(writable)
{
    m_fd = disk::current().open(m_path, (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC, 0);
    if (m_fd < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            fail(KE_ERR_TABLE_NOT_FOUND, m_path + ": the primary index is missing", err);
        failIo("cannot open the primary index", m_path, err);
    }
}

IndexFile::~IndexFile()
{
    if (m_fd >= 0)
        disk::current().close(m_fd);
}

void IndexFile::refresh(const TableHeader& table)
{
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        failIo("cannot read the file's status", m_path, errno);
    // The fixed part first: every change rewrites it. Only a changed index is parsed again.
    std::array<uint8_t, hdr::MutablePart> fixed {};
    const size_t fixedBytes = size_t(std::min<uint64_t>(uint64_t(st.st_size), fixed.size()));
    if (fixedBytes && !disk::readAll(m_fd, fixed.data(), fixedBytes, 0))
        failIo("cannot read the primary index", m_path, errno);
    if (fixed == m_fixed && st.st_size == m_stat.st_size && st.st_ino == m_stat.st_ino
        && st.st_mtim.tv_sec == m_stat.st_mtim.tv_sec && st.st_mtim.tv_nsec == m_stat.st_mtim.tv_nsec)
        return;
    const uint64_t headerBytes = fixedBytes == fixed.size() ? le16(fixed.data() + idx::HeaderSize) : 0;
    std::vector<uint8_t> head(size_t(std::min<uint64_t>(uint64_t(st.st_size), std::max<uint64_t>(headerBytes, fixedBytes))));
    if (!head.empty() && !disk::readAll(m_fd, head.data(), head.size(), 0))
        failIo("cannot read the primary index", m_path, errno);
    m_cache.clear();
    m_stat = st;
    m_header = IndexHeader::parse(head.data(), head.size(), uint64_t(st.st_size), table, m_mismatch);
    m_fixed = fixed;
}

const uint8_t* IndexFile::rawBlock(uint16_t n)
{
    if (m_txn) {
        auto it = m_images.find(n);
        if (it != m_images.end())
            return it->second.bytes.data();
    }
    if (!m_mismatch.empty())
        fail(KE_ERR_CORRUPT_TABLE, m_path + ": the primary index does not belong to the table: " + m_mismatch);
    if (n == 0 || n > m_header.counters.fileBlocks)
        fail(KE_ERR_CORRUPT_TABLE, m_path + ": an index link points outside the file (block " + num(n) + ")");
    auto it = m_cache.find(n);
    if (it != m_cache.end())
        return it->second.data();
    std::vector<uint8_t> bytes(m_header.blockSize);
    if (!disk::readAll(m_fd, bytes.data(), bytes.size(), m_header.blockOffset(n)))
        failIo("cannot read the primary index", m_path, errno);
    return m_cache.emplace(n, std::move(bytes)).first->second.data();
}

IndexBlockView IndexFile::block(uint16_t n)
{
    const uint8_t* b = rawBlock(n);
    const IndexHeader& h = header();
    IndexBlockView v;
    v.next = le16(b + blk::Next);
    v.prev = le16(b + blk::Prev);
    const int last = les16(b + blk::LastOffset);
    if (last >= 0) {
        if (last % h.entrySize != 0 || last / h.entrySize + 1 > h.capacity())
            fail(KE_ERR_CORRUPT_TABLE, m_path + ": index block " + num(n) + " has an invalid entry count");
        v.count = last / h.entrySize + 1;
    }
    v.entries = b + blk::Records;
    return v;
}

void IndexFile::begin()
{
    if (!m_writable)
        fail(KE_ERR_TABLE_READ_ONLY, m_path);
    if (!m_mismatch.empty())
        fail(KE_ERR_CORRUPT_TABLE, m_path + ": the primary index does not belong to the table: " + m_mismatch);
    m_images.clear();
    m_txnHeader = m_header;
    m_txn = true;
}

void IndexFile::end()
{
    m_txn = false;
    m_images.clear();
}

uint8_t* IndexFile::writableBlock(uint16_t n)
{
    auto it = m_images.find(n);
    if (it != m_images.end())
        return it->second.bytes.data();
    const uint8_t* raw = rawBlock(n);
    Image im;
    im.bytes.assign(raw, raw + m_header.blockSize);
    im.original = im.bytes;
    return m_images.emplace(n, std::move(im)).first->second.bytes.data();
}

uint16_t IndexFile::allocateBlock()
{
    IndexHeader& h = m_txnHeader;
    if (const uint16_t free = takeBlock(h.counters, h.blockSize, m_path, [&](uint16_t n) { return writableBlock(n); }))
        return free;
    const uint16_t n = h.counters.fileBlocks;
    m_images[n] = newBlockImage(m_fd, uint64_t(m_stat.st_size), h.blockOffset(n), h.blockSize, m_path);
    return n;
}

void IndexFile::freeBlock(uint16_t n)
{
    markFree(writableBlock(n), m_txnHeader.blockSize, m_txnHeader.entrySize, m_txnHeader.counters, n);
}

IndexFile::Pending IndexFile::pending()
{
    Pending p;
    p.oldSize = uint64_t(m_stat.st_size);
    const uint64_t blocksEnd = m_txnHeader.headerSize + uint64_t(m_txnHeader.counters.fileBlocks) * m_txnHeader.blockSize;
    p.newSize = m_txnHeader.counters.fileBlocks < m_header.counters.fileBlocks ? blocksEnd : std::max(p.oldSize, blocksEnd);
    std::array<uint8_t, hdr::MutablePart> fixed = m_fixed;
    m_txnHeader.writeCounters(fixed.data());
    p.changed = !m_images.empty() || fixed != m_fixed;
    if (!p.changed)
        return p;
    p.originals.push_back({0, std::vector<uint8_t>(m_fixed.begin(), m_fixed.end()), chunkHashes(fixed.data(), fixed.size())});
    p.writes.push_back({0, std::vector<uint8_t>(fixed.begin(), fixed.end()), {}});
    for (const auto& [n, im] : m_images) {
        const uint64_t offset = m_txnHeader.blockOffset(n);
        if (offset >= p.newSize)
            continue; // cut off with the file's end
        if (!im.original.empty())
            p.originals.push_back({offset, im.original, chunkHashes(im.bytes.data(), im.original.size())});
        p.writes.push_back({offset, im.bytes, {}});
    }
    if (p.newSize < p.oldSize) {
        JournalEntry tail;
        tail.offset = p.newSize;
        tail.original.resize(size_t(p.oldSize - p.newSize));
        if (!disk::readAll(m_fd, tail.original.data(), tail.original.size(), p.newSize))
            failIo("cannot read the primary index", m_path, errno);
        p.originals.push_back(std::move(tail));
    }
    return p;
}

IndexFile::Pending IndexFile::pendingWhole(const std::vector<uint8_t>& bytes)
{
    Pending p;
    p.changed = true;
    p.oldSize = uint64_t(m_stat.st_size);
    p.newSize = bytes.size();
    JournalEntry old;
    old.original.resize(size_t(p.oldSize));
    if (!old.original.empty() && !disk::readAll(m_fd, old.original.data(), old.original.size(), 0))
        failIo("cannot read the primary index", m_path, errno);
    old.newHashes = chunkHashes(bytes.data(), size_t(std::min(p.oldSize, p.newSize)));
    p.originals.push_back(std::move(old));
    p.writes.push_back({0, bytes, {}});
    return p;
}

void IndexFile::committed()
{
    m_txn = false;
    m_images.clear();
    m_cache.clear();
    m_fixed.fill(0); // the next refresh reads the header again
}

} // namespace ke
