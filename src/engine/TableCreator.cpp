#include "TableCreator.h"

#include "CodePage.h"
#include "Endian.h"
#include "Disk.h"
#include "EngineError.h"
#include "IndexBuilder.h"
#include "IndexFile.h"
#include "TableHeader.h"
#include "Utf8.h"
#include "kartoteka_engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ke {

namespace {

uint8_t fixedSize(uint8_t type, uint8_t sizeByte)
{
    switch (type) {
    case KE_FIELD_DATE: case KE_FIELD_LONG: case KE_FIELD_TIME: case KE_FIELD_AUTOINC: return 4;
    case KE_FIELD_SHORT: return 2;
    case KE_FIELD_MONEY: case KE_FIELD_NUMBER: case KE_FIELD_TIMESTAMP: return 8;
    case KE_FIELD_LOGICAL: return 1;
    default: return sizeByte;
    }
}

} // namespace

NewTable clientTableLayout()
{
    NewTable t;
    t.fields = {{"Клиент №", KE_FIELD_ALPHA, 5},           {"Фамилия", KE_FIELD_ALPHA, 40},
                {"Имя", KE_FIELD_ALPHA, 25},                {"Отчество", KE_FIELD_ALPHA, 25},
                {"Возраст", KE_FIELD_ALPHA, 25},            {"Семейное положение", KE_FIELD_ALPHA, 25},
                {"Количество детей", KE_FIELD_ALPHA, 25}};
    t.codePage = 1251;
    t.fileVersion = 0x09;
    t.blockSizeKiB = 2;
    return t;
}

void createTable(const std::string& path, const NewTable& t)
{
    const bool level3 = t.fileVersion < 5;
    const uint16_t textPage = level3 ? kDefaultDosCodePage : t.codePage;
    const CodePage* cp = CodePage::get(textPage);
    if (!cp)
        fail(KE_ERR_UNSUPPORTED_CODE_PAGE, "code page " + std::to_string(textPage));
    const size_t n = t.fields.size();
    if (n == 0 || n > 255)
        fail(KE_ERR_INVALID_PARAMETER, "a table has 1 to 255 fields");
    switch (t.blockSizeKiB) {
    case 1: case 2: case 3: case 4: case 8: case 16: case 32: break;
    default: fail(KE_ERR_INVALID_PARAMETER, "invalid block size");
    }

    std::vector<std::string> names;
    uint32_t recordSize = 0;
    for (const auto& f : t.fields) {
        auto decoded = decodeUtf8(f.name);
        if (!decoded || decoded->empty() || decoded->size() > 25 || (*decoded)[0] == U' ')
            fail(KE_ERR_INVALID_PARAMETER, "invalid field name \"" + f.name + "\"");
        for (const auto& other : names)
            if (equalsIgnoringCase(cp->toUtf8(reinterpret_cast<const uint8_t*>(other.data()), other.size()), f.name))
                fail(KE_ERR_INVALID_PARAMETER, "duplicate field name \"" + f.name + "\"");
        names.push_back(cp->fromUtf8(f.name));
        const uint8_t size = fixedSize(f.type, f.size);
        if (size == 0)
            fail(KE_ERR_INVALID_PARAMETER, "field \"" + f.name + "\" has size 0");
        recordSize += f.type == KE_FIELD_BCD ? 17 : size;
    }
    if (recordSize > uint32_t(t.blockSizeKiB) * 1024 - blk::HeaderBytes)
        fail(KE_ERR_INVALID_PARAMETER, "a record does not fit in a block");

    const size_t start = level3 ? hdr::FieldsAtLevel3 : hdr::FieldsAtLevel4;
    const size_t tableNameLen = t.fileVersion >= 12 ? hdr::LongTableNameLength : hdr::TableNameLength;
    size_t used = start + 2 * n + 4 + 4 * n + tableNameLen;
    for (const auto& nm : names)
        used += nm.size() + 1;
    used += 2 * n + t.sortOrderName.size() + 1;
    const size_t headerSize = (used + hdr::HeaderUnit - 1) / hdr::HeaderUnit * hdr::HeaderUnit;
    if (headerSize > hdr::MaxHeaderSize)
        fail(KE_ERR_INVALID_PARAMETER, "the header is too large");

    std::vector<uint8_t> h(headerSize, 0);
    putLe16(&h[hdr::RecordSize], uint16_t(recordSize));
    putLe16(&h[hdr::HeaderSize], uint16_t(headerSize));
    h[hdr::FileType] = t.keyFields ? KeyedTable : UnkeyedTable;
    putLe16(&h[hdr::KeyFields], t.keyFields);
    h[hdr::MaxTableSize] = t.blockSizeKiB;
    putLe16(&h[hdr::NumFields], uint16_t(n));
    if (!level3)
        putLe32(&h[hdr::Encryption1], hdr::KeyInDataHeader);
    h[hdr::SortOrder] = t.sortOrder;
    h[hdr::ChangeCount1] = 1;
    h[hdr::FileVersion] = t.fileVersion;
    h[hdr::Unknown3E] = hdr::Unknown3EValue;
    h[hdr::Unknown3F] = hdr::Unknown3FValue;
    h[hdr::Unknown56] = hdr::Unknown56Value;
    if (!level3) {
        putLe16(&h[hdr::FileVersionId1], uint16_t(0x0100 + t.fileVersion));
        putLe16(&h[hdr::FileVersionId2], uint16_t(0x0100 + t.fileVersion));
        putLe16(&h[hdr::FieldCountPlusOne], uint16_t(n + 1));
        putLe16(&h[hdr::CodePage], t.codePage);
    }
    size_t pos = start;
    for (const auto& f : t.fields) {
        h[pos++] = f.type;
        h[pos++] = f.type == KE_FIELD_BCD ? f.size : fixedSize(f.type, f.size);
    }
    pos += 4 + 4 * n; // name pointers: meaningless on disk
    {
        auto slash = path.rfind('/');
        std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
        size_t k = 0;
        for (char c : base)
            if (static_cast<unsigned char>(c) < 0x80 && k + 1 < tableNameLen)
                h[pos + k++] = uint8_t(c);
    }
    pos += tableNameLen;
    for (const auto& nm : names) {
        std::memcpy(&h[pos], nm.data(), nm.size());
        pos += nm.size() + 1;
    }
    for (size_t i = 0; i < n; ++i) {
        putLe16(&h[pos], uint16_t(i + 1));
        pos += 2;
    }
    std::memcpy(&h[pos], t.sortOrderName.data(), t.sortOrderName.size());
    pos += t.sortOrderName.size() + 1;
    putLe16(&h[hdr::TableNamePointer], uint16_t(pos));

    // A new table is readable by its owner only; sharing it is the owner's
    // choice. A keyed table's empty primary index goes first, never over another: a
    // table whose index is missing is only read, an index without its table is harmless.
    std::string indexPath;
    if (t.keyFields) {
        if (t.keyFields > n)
            fail(KE_ERR_INVALID_PARAMETER, "more key fields than fields");
        const TableHeader parsed = TableHeader::parse(h.data(), h.size(), h.size(), path);
        indexPath = indexPathFor(path);
        const std::string indexName = indexPath.substr(indexPath.rfind('/') + 1);
        writeNewFile(indexPath, buildIndex(parsed, {}, indexName, idx::NewChangeCount));
    }
    try {
        writeNewFile(path, h);
    } catch (...) {
        if (!indexPath.empty())
            disk::current().unlink(indexPath);
        throw;
    }
}

void writeNewFile(const std::string& path, const std::vector<uint8_t>& h, mode_t mode)
{
    // Written and synced under a name of its own, then renamed into place and
    // its folder synced, so that after a power cut the file either is not
    // there or is whole.
    disk::Disk& d = disk::current();
    const std::string draft = path + ".new-" + std::to_string(::getpid());
    const int fd = d.open(draft, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) {
        const int err = errno;
        failIo("cannot create the file", path, err);
    }
    ::fchmod(fd, mode);
    bool ok = disk::writeAll(fd, h.data(), h.size(), 0) && d.sync(fd) == 0;
    int err = errno;
    if (d.close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && d.renameNoReplace(draft, path) != 0) {
        err = errno;
        d.unlink(draft);
        if (err == EEXIST)
            fail(KE_ERR_INVALID_PARAMETER, path + ": the file exists already", err);
        failIo("cannot create the file", path, err);
    }
    if (!ok) {
        d.unlink(draft);
        failIo("cannot write the file", path, err);
    }
    if (!disk::syncDirectoryOf(path)) {
        err = errno;
        d.unlink(path);
        failIo("cannot flush the table's folder to disk", path, err);
    }
}

} // namespace ke
