// The primary index file of a keyed table (<table>.PX): its header, its
// blocks of entries, and the change images a write works on. The file is
// only ever read or written while its table's transaction lock is held, and
// every change reaches it through its table's journalled commit.
#pragma once

#include "BlockAllocation.h"
#include "Endian.h"
#include "Journal.h"
#include "KeyOrder.h"
#include "TableHeader.h"

#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ke {

struct IndexHeader {
    uint16_t entrySize = 0, headerSize = 0;
    uint32_t blockSize = 0;
    // The block counters at the offsets a table has them; numRecords counts entries of all levels.
    TableCounters counters;
    uint16_t root = 0;
    uint8_t levels = 0;
    uint16_t numKeyFields = 0;
    uint32_t encryption = 0;
    uint8_t changeCount = 0;

    uint16_t keyLength() const { return uint16_t(entrySize - idx::EntryTail); }
    uint16_t capacity() const { return uint16_t((blockSize - blk::HeaderBytes) / entrySize); }
    uint64_t blockOffset(uint16_t n) const { return headerSize + uint64_t(n - 1) * blockSize; }

    // Reads the fixed part; a sentence in `problem` when the bytes are no
    // index of the table `table` (empty when they are).
    static IndexHeader parse(const uint8_t* d, size_t length, uint64_t fileSize, const TableHeader& table,
                             std::string& problem);
    // The counters, root and levels into the fixed part.
    void writeCounters(uint8_t* fixed) const;
};

// One block of entries, as stored.
struct IndexBlockView {
    uint16_t next = 0, prev = 0;
    int count = 0;
    const uint8_t* entries = nullptr;
};

// An entry's words after its key.
inline uint16_t entryPointer(const uint8_t* e, uint16_t keyLength) { return indexWord(e + keyLength); }
inline uint16_t entryCount(const uint8_t* e, uint16_t keyLength) { return indexWord(e + keyLength + idx::WordBytes); }

class IndexFile {
public:
    // Opens the index; throws KE_ERR_TABLE_NOT_FOUND when it is missing, KE_ERR_IO.
    IndexFile(std::string path, bool writable);
    ~IndexFile();
    IndexFile(const IndexFile&) = delete;
    IndexFile& operator=(const IndexFile&) = delete;

    const std::string& path() const { return m_path; }
    // Why the index does not belong to the table (empty when it does), as of the last refresh.
    const std::string& mismatch() const { return m_mismatch; }
    const IndexHeader& header() const { return m_txn ? m_txnHeader : m_header; }

    // Reads the header again when the file changed; drops the cached blocks then.
    void refresh(const TableHeader& table);

    IndexBlockView block(uint16_t n);

    // A change: images of the blocks and the header, written by the table's commit.
    void begin();
    void end();
    bool changing() const { return m_txn; }
    IndexHeader& txnHeader() { return m_txnHeader; }
    uint8_t* writableBlock(uint16_t n);
    uint16_t allocateBlock();
    void freeBlock(uint16_t n);

    // The change as regions of the file: what they held and what they get.
    struct Pending {
        bool changed = false; // false: nothing to write
        uint64_t oldSize = 0, newSize = 0;
        std::vector<JournalEntry> originals, writes;
    };
    Pending pending();
    // The whole file replaced by `bytes`.
    Pending pendingWhole(const std::vector<uint8_t>& bytes);
    // The change reached the file.
    void committed();
    int fd() const { return m_fd; }

private:
    const uint8_t* rawBlock(uint16_t n);

    std::string m_path;
    bool m_writable;
    int m_fd = -1;
    struct stat m_stat {};
    IndexHeader m_header, m_txnHeader;
    std::array<uint8_t, hdr::MutablePart> m_fixed {};
    std::string m_mismatch;
    std::map<uint16_t, std::vector<uint8_t>> m_cache;
    using Image = BlockImage;
    std::map<uint16_t, Image> m_images;
    bool m_txn = false;
};

// The index file that belongs to a table file ("data.DB" gives "data.PX", in
// the case found on disk; "data.PX" when there is none).
std::string indexPathFor(const std::string& tablePath);

} // namespace ke
