#include "TableHeader.h"

#include "CodePage.h"
#include "Endian.h"
#include "EngineError.h"
#include "kartoteka_engine.h"

#include <cstring>

namespace ke {

void TableCounters::read(const uint8_t* h)
{
    numRecords = le32(h + hdr::NumRecords);
    usedBlocks = le16(h + hdr::UsedBlocks);
    fileBlocks = le16(h + hdr::FileBlocks);
    firstBlock = le16(h + hdr::FirstBlock);
    lastBlock = le16(h + hdr::LastBlock);
    maxBlocks = le16(h + hdr::MaxBlocks);
    firstFreeBlock = le16(h + hdr::FirstFreeBlock);
    changeCount = h[hdr::ChangeCount1];
}

void TableCounters::write(uint8_t* h) const
{
    putLe32(h + hdr::NumRecords, numRecords);
    putLe16(h + hdr::UsedBlocks, usedBlocks);
    putLe16(h + hdr::FileBlocks, fileBlocks);
    putLe16(h + hdr::FirstBlock, firstBlock);
    putLe16(h + hdr::LastBlock, lastBlock);
    putLe16(h + hdr::MaxBlocks, maxBlocks);
    putLe16(h + hdr::FirstFreeBlock, firstFreeBlock);
    h[hdr::ChangeCount1] = changeCount;
}

uint16_t TableHeader::textCodePage() const
{
    return codePage ? codePage : kDefaultDosCodePage;
}

int TableHeader::level() const
{
    if (fileVersion <= 4)
        return 3;
    if (fileVersion <= 9)
        return 4;
    if (fileVersion <= 11)
        return 5;
    return 7;
}

namespace {

[[noreturn]] void corrupt(const std::string& path, const char* why)
{
    fail(KE_ERR_CORRUPT_TABLE, path + ": " + why);
}

uint16_t fieldBytes(uint8_t type, uint8_t sizeByte)
{
    return type == KE_FIELD_BCD ? 17 : sizeByte;
}

} // namespace

TableHeader TableHeader::parse(const uint8_t* d, size_t length, uint64_t fileSize, const std::string& path)
{
    if (length < hdr::MutablePart)
        corrupt(path, "the file is too short to hold a table header");
    TableHeader h;
    h.recordSize = le16(d + hdr::RecordSize);
    h.headerSize = le16(d + hdr::HeaderSize);
    h.fileType = d[hdr::FileType];
    const uint8_t maxTable = d[hdr::MaxTableSize];
    h.keyFields = le16(d + hdr::KeyFields);
    h.sortOrder = d[hdr::SortOrder];
    h.writeProtected = d[hdr::WriteProtected] != 0;
    h.fileVersion = d[hdr::FileVersion];
    h.referentialIntegrity = d[hdr::RefIntegrity] != 0;
    h.counters.read(d);

    if (h.fileType != KeyedTable && h.fileType != UnkeyedTable)
        fail(KE_ERR_UNSUPPORTED_TABLE, path + ": the file is not a data table (file type " + std::to_string(h.fileType) + ")");
    if (h.fileVersion < 3 || h.fileVersion > 12)
        fail(KE_ERR_UNSUPPORTED_TABLE, path + ": unknown table level (version byte " + std::to_string(h.fileVersion) + ")");
    switch (maxTable) {
    case 1: case 2: case 3: case 4: case 8: case 16: case 32:
        h.blockSize = uint32_t(maxTable) * 1024;
        break;
    default:
        corrupt(path, "invalid block size");
    }
    const bool newLayout = h.fileVersion >= 5;
    const size_t start = newLayout ? hdr::FieldsAtLevel4 : hdr::FieldsAtLevel3;
    if (h.headerSize < start || h.headerSize > fileSize)
        corrupt(path, "invalid header size");
    if (length < h.headerSize)
        corrupt(path, "the header is truncated");
    // The key: Encryption1, unless that holds the marker that sends a reader
    // to Encryption2 (level 4 and later; there a 0 also means "look there").
    const uint32_t e1 = le32(d + hdr::Encryption1);
    h.keyOffset = newLayout && (e1 == hdr::KeyInDataHeader || e1 == 0) ? hdr::Encryption2 : hdr::Encryption1;
    h.key = le32(d + h.keyOffset);
    h.encrypted = h.key != 0;
    if (newLayout)
        h.codePage = le16(d + hdr::CodePage);

    const uint16_t numFields = le16(d + hdr::NumFields);
    if (numFields == 0)
        corrupt(path, "the table has no fields");
    const size_t tableNameLen = h.fileVersion >= 12 ? hdr::LongTableNameLength : hdr::TableNameLength;
    size_t pos = start;
    if (pos + 2 * size_t(numFields) > h.headerSize)
        corrupt(path, "the field descriptors do not fit in the header");
    uint32_t sum = 0;
    for (uint16_t i = 0; i < numFields; ++i) {
        FieldInfo f;
        f.type = d[pos + 2 * i];
        f.sizeByte = d[pos + 2 * i + 1];
        f.size = fieldBytes(f.type, f.sizeByte);
        if (f.size == 0)
            corrupt(path, "a field has size 0");
        f.offset = uint16_t(sum);
        sum += f.size;
        h.fields.push_back(f);
    }
    if (sum != h.recordSize || h.recordSize == 0)
        corrupt(path, "the record size does not match the fields");
    if (h.recordSize > h.blockSize - blk::HeaderBytes)
        corrupt(path, "a record does not fit in a block");
    if (h.keyFields > numFields)
        corrupt(path, "more key fields than fields");

    pos += 2 * size_t(numFields) + 4 + 4 * size_t(numFields) + tableNameLen;
    for (auto& f : h.fields) {
        if (pos >= h.headerSize)
            corrupt(path, "the field names do not fit in the header");
        const void* end = std::memchr(d + pos, 0, h.headerSize - pos);
        if (!end)
            corrupt(path, "a field name is not terminated");
        size_t len = size_t(static_cast<const uint8_t*>(end) - (d + pos));
        f.rawName.assign(reinterpret_cast<const char*>(d + pos), len);
        pos += len + 1;
    }
    // The sort-order name follows the field numbers (protected tables keep
    // extra data there that is not parsed).
    if (!h.encrypted) {
        pos += 2 * size_t(numFields);
        if (pos < h.headerSize) {
            const void* end = std::memchr(d + pos, 0, h.headerSize - pos);
            if (end)
                h.sortOrderName.assign(reinterpret_cast<const char*>(d + pos),
                                       size_t(static_cast<const uint8_t*>(end) - (d + pos)));
        }
    }
    return h;
}

bool TableHeader::sameLayoutAs(const TableHeader& o) const
{
    if (recordSize != o.recordSize || headerSize != o.headerSize || fileType != o.fileType || blockSize != o.blockSize
        || keyFields != o.keyFields || fileVersion != o.fileVersion || encrypted != o.encrypted || key != o.key
        || keyOffset != o.keyOffset || codePage != o.codePage || fields.size() != o.fields.size())
        return false;
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].type != o.fields[i].type || fields[i].size != o.fields[i].size
            || fields[i].rawName != o.fields[i].rawName)
            return false;
    return true;
}

} // namespace ke
