// Helpers shared by the engine tests: temporary tables, record builders and
// whole-table reads through the engine's own cursor.
#pragma once

#include "CodePage.h"
#include "Cursor.h"
#include "EngineError.h"
#include "FieldCodec.h"
#include "Journal.h"
#include "TableCreator.h"
#include "kartoteka_engine.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

namespace enginetest {

// Tests that make thousands of changes keep their tables in memory-backed
// storage where the machine has it: every change waits for the disk
// otherwise. Durability itself is tested on the ordinary temporary directory.
inline QString fastTempTemplate()
{
    QFileInfo shm("/dev/shm");
    const QString root = shm.isDir() && shm.isWritable() ? shm.absoluteFilePath() : QDir::tempPath();
    return root + "/kartoteka-engine-XXXXXX";
}

using Row = std::vector<std::string>; // UTF-8 alpha values

// The engine's result code of a call: KE_OK, or the code of the error it threw.
inline uint16_t errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const ke::EngineError& e) {
        return e.code;
    }
    return KE_OK;
}

// Text for alpha fields, decimal numbers for integer fields (empty: blank).
inline std::vector<uint8_t> makeRecord(const ke::TableHeader& h, const Row& row)
{
    std::vector<uint8_t> rec(h.recordSize, 0);
    const ke::CodePage* cp = ke::CodePage::get(h.textCodePage());
    for (size_t i = 0; i < row.size() && i < h.fields.size(); ++i) {
        const ke::FieldInfo& f = h.fields[i];
        if (f.type != KE_FIELD_ALPHA) {
            if (!row[i].empty())
                ke::codec::encodeInteger(rec.data() + f.offset, f.size, std::stoll(row[i]));
            continue;
        }
        const std::string native = cp->fromUtf8(row[i]);
        std::copy_n(native.begin(), std::min<size_t>(native.size(), f.size), rec.begin() + f.offset);
    }
    return rec;
}

inline Row rowOf(const ke::TableHeader& h, const uint8_t* rec)
{
    Row row;
    for (const auto& f : h.fields)
        row.push_back(ke::codec::toText(f, rec, h.textCodePage()));
    return row;
}

// The client card index with a card number (a Long field, the primary key) in front.
inline ke::NewTable keyedClientLayout()
{
    ke::NewTable t = ke::clientTableLayout();
    t.fields.insert(t.fields.begin(), {"Номер", KE_FIELD_LONG, 0});
    t.keyFields = 1;
    return t;
}

// The password key a table file stores (0: not protected): Encryption1, or
// Encryption2 where Encryption1 holds the marker that points there.
inline uint32_t storedKey(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray d = f.read(0x60);
    if (d.size() < 0x60)
        return 0;
    auto le32 = [&](int o) {
        return uint32_t(uint8_t(d[o])) | uint32_t(uint8_t(d[o + 1])) << 8 | uint32_t(uint8_t(d[o + 2])) << 16
            | uint32_t(uint8_t(d[o + 3])) << 24;
    };
    return le32(0x25) == 0xFF00FF00u ? le32(0x5C) : le32(0x25);
}

// Every record in chain order, read through a fresh read-only cursor (with the
// passwords of a protected table).
inline std::vector<Row> readAll(const std::string& path, const std::vector<std::string>& passwords = {})
{
    ke::OpenOptions o;
    o.readOnly = true;
    o.passwords = passwords;
    ke::Cursor c(path, o);
    std::vector<uint8_t> rec(c.header().recordSize);
    std::vector<Row> rows;
    c.setToBegin();
    for (;;) {
        try {
            c.next(false, rec.data());
        } catch (const ke::EngineError& e) {
            if (e.code == KE_ERR_EOF)
                break;
            throw;
        }
        rows.push_back(rowOf(c.header(), rec.data()));
    }
    return rows;
}

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Leaves beside a table the journal a crash leaves once a change over the
// file's bytes `before` reached the table: the journal of this very file.
inline void leaveJournal(const QString& table, const QByteArray& before)
{
    ke::JournalImage journal;
    const int fd = ::open(QFile::encodeName(table).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !ke::identityOf(fd, journal.table))
        qFatal("cannot read %s", qPrintable(table));
    ::close(fd);
    journal.originalSize = journal.newSize = uint64_t(before.size());
    journal.entries.push_back({0, std::vector<uint8_t>(before.begin(), before.end()), {}});
    const auto bytes = journal.serialize();
    QFile f(QString::fromStdString(ke::journalPathFor(table.toStdString())));
    if (!f.open(QIODevice::WriteOnly) || f.write(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())) != qsizetype(bytes.size()))
        qFatal("cannot write the journal of %s", qPrintable(table));
}

inline Row clientRow(int n)
{
    return {std::to_string(n), "Фамилия" + std::to_string(n), "Имя", "Отчество", std::to_string(20 + n % 50),
            "холост", std::to_string(n % 4)};
}

inline QString describe(const std::vector<Row>& rows)
{
    QStringList lines;
    for (const auto& r : rows) {
        QStringList f;
        for (const auto& v : r)
            f << QString::fromStdString(v);
        lines << f.join('|');
    }
    return lines.join('\n');
}

} // namespace enginetest
