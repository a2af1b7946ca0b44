// The header of a table file: parsed once at open, its counters refreshed from
// the fixed part whenever the file changes.
#pragma once

#include "Format.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ke {

struct FieldInfo {
    uint8_t type = 0;
    uint16_t size = 0;   // bytes in the record
    uint8_t sizeByte = 0; // as stored in the descriptor (the decimals of a BCD field)
    uint16_t offset = 0; // offset in the record
    std::string rawName; // in the table's code page
};

enum FileType : uint8_t { KeyedTable = 0, PrimaryIndex = 1, UnkeyedTable = 2 };

struct TableCounters {
    uint32_t numRecords = 0;
    uint16_t usedBlocks = 0, fileBlocks = 0, firstBlock = 0, lastBlock = 0, maxBlocks = 0,
             firstFreeBlock = 0;
    uint8_t changeCount = 0;

    void read(const uint8_t* fixed);
    void write(uint8_t* fixed) const;
};

struct TableHeader {
    uint16_t recordSize = 0;
    uint16_t headerSize = 0;
    uint8_t fileType = 0;
    uint32_t blockSize = 0;
    uint16_t keyFields = 0;
    uint8_t fileVersion = 0;
    uint8_t sortOrder = 0;
    bool writeProtected = false;
    bool referentialIntegrity = false;
    bool encrypted = false;
    uint32_t key = 0;       // of a password-protected table; 0 when not protected
    size_t keyOffset = 0;   // where the key is stored in the header
    uint16_t codePage = 0; // as stored; 0 for level 3
    std::string sortOrderName;
    std::vector<FieldInfo> fields;
    TableCounters counters;

    uint16_t capacity() const { return uint16_t((blockSize - blk::HeaderBytes) / recordSize); }
    uint64_t blockOffset(uint16_t block) const { return headerSize + uint64_t(block - 1) * blockSize; }
    // The code page of the table's text (level 3 tables use the DOS page).
    uint16_t textCodePage() const;
    int level() const; // 3, 4, 5 or 7

    // The same record layout, block size, format, code page and password key:
    // a cursor of one can read the other.
    bool sameLayoutAs(const TableHeader& other) const;

    // Parses a header from the first bytes of the file (as many as the file has,
    // up to its header size). Throws EngineError(KE_ERR_CORRUPT_TABLE / UNSUPPORTED) with the path.
    static TableHeader parse(const uint8_t* data, size_t length, uint64_t fileSize, const std::string& path);
};

} // namespace ke
