// The engine's C interface as the client layer uses it: session, databases,
// directory and table lookup, cursor movement and the crack rules, changes,
// record locks between cursors, field access, texts and errors.
#include "EngineTestSupport.h"
#include "TableChecker.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

using namespace enginetest;

namespace {

std::string lastContext()
{
    char text[512] = {};
    ke_result code = 0;
    int32_t native = 0;
    ke_error_entry(1, &code, &native, text, sizeof text);
    return text;
}

} // namespace

class TestEngineApi : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    QString m_tableDir;

    std::string tablePath() const { return (m_tableDir + "/data.DB").toStdString(); }

    ke_cursor* open(ke_open_mode mode = KE_OPEN_READ_WRITE, ke_database** dbOut = nullptr)
    {
        ke_database* db = nullptr;
        if (ke_open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db) != KE_OK)
            return nullptr;
        if (ke_set_directory(db, m_tableDir.toUtf8().constData()) != KE_OK)
            return nullptr;
        ke_cursor* c = nullptr;
        if (ke_open_table(db, "data.DB", "PARADOX", nullptr, 0, mode, KE_SHARE_SHARED, &c) != KE_OK)
            return nullptr;
        if (dbOut)
            *dbOut = db;
        return c;
    }

    std::vector<uint8_t> record(ke_cursor* c, const Row& row)
    {
        ke_cursor_props p {};
        ke_get_cursor_props(c, &p);
        std::vector<uint8_t> rec(p.record_size);
        ke_init_record(c, rec.data(), rec.size());
        for (size_t i = 0; i < row.size(); ++i) {
            uint8_t native[256];
            size_t n = 0;
            if (ke_unicode_to_native(p.code_page, row[i].data(), row[i].size(), native, sizeof native, &n) != KE_OK)
                qFatal("conversion failed");
            ke_put_field(c, uint16_t(i + 1), rec.data(), rec.size(), native, n);
        }
        return rec;
    }

    std::string field(ke_cursor* c, const std::vector<uint8_t>& rec, uint16_t n)
    {
        uint8_t value[256];
        size_t len = 0;
        int blank = 0;
        if (ke_get_field(c, n, rec.data(), value, sizeof value, &len, &blank) != KE_OK)
            return "<error>";
        char utf8[1024];
        size_t out = 0;
        ke_native_to_unicode(1251, value, len, utf8, sizeof utf8, &out);
        return std::string(utf8, out);
    }

private slots:
    void init()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", m_home.path().toUtf8());
        qunsetenv("KARTOTEKA_ENGINE_CONFIG");
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DATA_HOME");
        m_tableDir = m_home.path() + "/tables-" + QString::number(std::rand());
        QVERIFY(QDir().mkpath(m_tableDir));
        ke::createTable(tablePath(), ke::clientTableLayout());
        QCOMPARE(ke_init(nullptr), KE_OK);
    }

    void cleanup() { ke_exit(); }

    void sessionStartsOnce()
    {
        QCOMPARE(ke_init(nullptr), KE_ERR_ALREADY_INITIALIZED);
        QCOMPARE(ke_exit(), KE_OK);
        ke_database* db = nullptr;
        QCOMPARE(ke_open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db), KE_ERR_NOT_INITIALIZED);
        QCOMPARE(ke_init(nullptr), KE_OK);
    }

    void missingDirectoryAndTableNameThePath()
    {
        ke_database* db = nullptr;
        QCOMPARE(ke_open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db), KE_OK);
        const QByteArray missing = (m_tableDir + "/nowhere").toUtf8();
        QCOMPARE(ke_set_directory(db, missing.constData()), KE_ERR_DIRECTORY_NOT_FOUND);
        QVERIFY2(lastContext().find("nowhere") != std::string::npos, lastContext().c_str());
        QCOMPARE(ke_set_directory(db, m_tableDir.toUtf8().constData()), KE_OK);
        ke_cursor* c = nullptr;
        QCOMPARE(ke_open_table(db, "other.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, &c),
                 KE_ERR_TABLE_NOT_FOUND);
        QVERIFY(c == nullptr);
        QVERIFY2(lastContext() == (m_tableDir + "/other.DB").toStdString(), lastContext().c_str());
        QCOMPARE(ke_open_table(db, "data.DB", "DBASE", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, &c),
                 KE_ERR_UNKNOWN_DRIVER);
        QCOMPARE(ke_open_database("alias", KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db), KE_ERR_UNKNOWN_DATABASE);
    }

    void driveLetterAndCaseInsensitiveNames()
    {
        // Default drive E lives under the home directory.
        const QString proga = m_home.path() + "/.local/share/kartoteka/drives/E/ЗУРБЕЛИН/proga";
        QVERIFY(QDir().mkpath(proga));
        ke::createTable((proga + "/DATA.DB").toStdString(), ke::clientTableLayout());
        ke_database* db = nullptr;
        QCOMPARE(ke_open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db), KE_OK);
        QCOMPARE(ke_set_directory(db, "E:\\ЗУРБЕЛИН\\proga"), KE_OK);
        ke_cursor* c = nullptr;
        QCOMPARE(ke_open_table(db, "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, &c), KE_OK);
        QCOMPARE(ke_close_cursor(c), KE_OK);
        QCOMPARE(ke_set_directory(db, "e:\\зурбелин\\PROGA"), KE_OK);
        QCOMPARE(ke_open_table(db, "Data.db", "PARADOX", nullptr, 0, KE_OPEN_READ_ONLY, KE_SHARE_SHARED, &c), KE_OK);
        QCOMPARE(ke_close_cursor(c), KE_OK);

        // A drive map entry moves the drive elsewhere.
        QTemporaryDir other;
        QVERIFY(QDir().mkpath(other.path() + "/Зурбелин/Proga"));
        ke::createTable((other.path() + "/Зурбелин/Proga/data.DB").toStdString(), ke::clientTableLayout());
        QFile conf(m_home.path() + "/engine.conf");
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(("# test drive\ndrive E: = " + other.path() + "\nlibrary_path = /opt/x\n").toUtf8());
        conf.close();
        qputenv("KARTOTEKA_ENGINE_CONFIG", conf.fileName().toUtf8());
        ke_exit();
        QCOMPARE(ke_init(nullptr), KE_OK);
        QCOMPARE(ke_open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db), KE_OK);
        QCOMPARE(ke_set_directory(db, "E:\\ЗУРБЕЛИН\\proga"), KE_OK);
        QCOMPARE(ke_open_table(db, "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, &c), KE_OK);
    }

    void badConfigurationNamesFileAndLine()
    {
        ke_exit();
        QFile conf(m_home.path() + "/bad.conf");
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("drive E = /tmp\nthis is wrong\n");
        conf.close();
        qputenv("KARTOTEKA_ENGINE_CONFIG", conf.fileName().toUtf8());
        QCOMPARE(ke_init(nullptr), KE_ERR_CONFIG);
        const std::string ctx = lastContext();
        QVERIFY2(ctx.find(conf.fileName().toStdString() + ":2:") == 0, ctx.c_str());
        qputenv("KARTOTEKA_ENGINE_CONFIG", (m_home.path() + "/absent.conf").toUtf8());
        QCOMPARE(ke_init(nullptr), KE_ERR_CONFIG);
        qunsetenv("KARTOTEKA_ENGINE_CONFIG");
        QCOMPARE(ke_init(nullptr), KE_OK);
    }

    void propertiesAndFieldDescriptions()
    {
        ke_cursor* c = open();
        QVERIFY(c);
        ke_cursor_props p {};
        QCOMPARE(ke_get_cursor_props(c, &p), KE_OK);
        QCOMPARE(p.record_size, uint16_t(170));
        QCOMPARE(p.field_count, uint16_t(7));
        QCOMPARE(p.code_page, uint16_t(1251));
        QCOMPARE(p.read_only, uint8_t(0));
        std::vector<ke_field_desc> d(p.field_count);
        QCOMPARE(ke_get_field_descs(c, d.data(), uint16_t(d.size())), KE_OK);
        QCOMPARE(QString::fromUtf8(d[0].name), QString("Клиент №"));
        QCOMPARE(QString::fromUtf8(d[5].name), QString("Семейное положение"));
        QCOMPARE(d[0].size, uint16_t(5));
        QCOMPARE(d[1].size, uint16_t(40));
        QCOMPARE(d[1].offset, uint16_t(5));
        QCOMPARE(d[6].type, uint8_t(KE_FIELD_ALPHA));
    }

    void emptyTableAndCracks()
    {
        ke_cursor* c = open();
        QVERIFY(c);
        std::vector<uint8_t> rec(170);
        QCOMPARE(ke_set_to_begin(c), KE_OK);
        QCOMPARE(ke_get_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_ERR_NO_CURRENT_RECORD);
        QCOMPARE(ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_ERR_EOF);
        QCOMPARE(ke_get_prior_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_ERR_BOF);
        QCOMPARE(ke_set_to_end(c), KE_OK);
        QCOMPARE(ke_get_prior_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_ERR_BOF);
        QCOMPARE(ke_delete_record(c), KE_ERR_NO_CURRENT_RECORD);

        // Insert into the empty table: the cursor stands on the new record.
        auto r1 = record(c, clientRow(1));
        QCOMPARE(ke_insert_record(c, KE_LOCK_NONE, r1.data()), KE_OK);
        QCOMPARE(ke_get_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(field(c, rec, 2), clientRow(1)[1]);
        QCOMPARE(ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_ERR_EOF);
        QCOMPARE(ke_get_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_ERR_NO_CURRENT_RECORD);
        QCOMPARE(ke_get_prior_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(field(c, rec, 1), std::string("1"));
        QCOMPARE(ke_get_prior_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_ERR_BOF);
        QCOMPARE(checkStructure(QString::fromStdString(tablePath())), QString());
    }

    void insertGoesBeforeTheCurrentRecord()
    {
        ke_cursor* c = open();
        QVERIFY(c);
        std::vector<uint8_t> rec(170);
        for (int i : {1, 2, 3}) {
            QCOMPARE(ke_set_to_end(c), KE_OK);
            auto r = record(c, clientRow(i));
            QCOMPARE(ke_insert_record(c, KE_LOCK_NONE, r.data()), KE_OK);
        }
        // Stand on record 2, insert: the new one takes its place.
        QCOMPARE(ke_set_to_begin(c), KE_OK);
        QCOMPARE(ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(field(c, rec, 1), std::string("2"));
        QCOMPARE(ke_make_insertion_point(c), KE_OK);
        auto r9 = record(c, clientRow(9));
        QCOMPARE(ke_insert_record(c, KE_LOCK_NONE, r9.data()), KE_OK);
        QCOMPARE(ke_get_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(field(c, rec, 1), std::string("9"));
        QCOMPARE(ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(field(c, rec, 1), std::string("2"));
        // At the start crack, insert goes first.
        QCOMPARE(ke_set_to_begin(c), KE_OK);
        auto r0 = record(c, clientRow(0));
        QCOMPARE(ke_insert_record(c, KE_LOCK_NONE, r0.data()), KE_OK);
        std::vector<Row> rows = readAll(tablePath());
        QStringList order;
        for (const auto& r : rows)
            order << QString::fromStdString(r[0]);
        QCOMPARE(order.join(','), QString("0,1,9,2,3"));
    }

    void deleteLeavesTheCursorOnTheCrack()
    {
        ke_cursor* c = open();
        QVERIFY(c);
        std::vector<uint8_t> rec(170);
        for (int i = 1; i <= 4; ++i) {
            QCOMPARE(ke_set_to_end(c), KE_OK);
            auto r = record(c, clientRow(i));
            QCOMPARE(ke_insert_record(c, KE_LOCK_NONE, r.data()), KE_OK);
        }
        QCOMPARE(ke_set_to_begin(c), KE_OK);
        QCOMPARE(ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK); // on 2
        QCOMPARE(ke_delete_record(c), KE_OK);
        QCOMPARE(ke_get_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_ERR_NO_CURRENT_RECORD);
        QCOMPARE(ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(field(c, rec, 1), std::string("3"));
        QCOMPARE(ke_delete_record(c), KE_OK); // delete 3: prior from the crack is 1
        QCOMPARE(ke_get_prior_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(field(c, rec, 1), std::string("1"));
        // Delete the last record: next finds nothing, prior finds the one before.
        QCOMPARE(ke_set_to_end(c), KE_OK);
        QCOMPARE(ke_get_prior_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(field(c, rec, 1), std::string("4"));
        QCOMPARE(ke_delete_record(c), KE_OK);
        QCOMPARE(ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_ERR_EOF);
        QCOMPARE(ke_delete_record(c), KE_ERR_NO_CURRENT_RECORD);
        QCOMPARE(ke_get_prior_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(field(c, rec, 1), std::string("1"));
        QCOMPARE(ke_delete_record(c), KE_OK);
        QCOMPARE(ke_get_next_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_ERR_EOF);
        QCOMPARE(ke_get_prior_record(c, KE_LOCK_NONE, rec.data(), rec.size()), KE_ERR_BOF);
        QVERIFY(readAll(tablePath()).empty());
        QCOMPARE(checkStructure(QString::fromStdString(tablePath())), QString());
        QCOMPARE(QFileInfo(QString::fromStdString(tablePath())).size(), qint64(2048));
    }

    void modifyAndRecordLocksBetweenCursors()
    {
        ke_cursor* a = open();
        ke_cursor* b = open();
        QVERIFY(a && b);
        std::vector<uint8_t> rec(170);
        for (int i = 1; i <= 2; ++i) {
            ke_set_to_end(a);
            auto r = record(a, clientRow(i));
            QCOMPARE(ke_insert_record(a, KE_LOCK_NONE, r.data()), KE_OK);
        }
        QCOMPARE(ke_set_to_begin(a), KE_OK);
        QCOMPARE(ke_get_next_record(a, KE_LOCK_WRITE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(ke_set_to_begin(b), KE_OK);
        QCOMPARE(ke_get_next_record(b, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(ke_get_record(b, KE_LOCK_WRITE, rec.data(), rec.size()), KE_ERR_RECORD_LOCKED);
        auto changed = record(b, {"1", "Иванова"});
        QCOMPARE(ke_modify_record(b, changed.data(), 1), KE_ERR_RECORD_LOCKED);
        QCOMPARE(ke_delete_record(b), KE_ERR_RECORD_LOCKED);
        // The other record is free.
        QCOMPARE(ke_get_next_record(b, KE_LOCK_WRITE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(ke_release_record_lock(b), KE_OK);
        QCOMPARE(ke_release_record_lock(b), KE_ERR_NOT_LOCKED);
        // The holder modifies and releases; then the other may lock.
        auto mine = record(a, {"1", "Петрова"});
        QCOMPARE(ke_modify_record(a, mine.data(), 1), KE_OK);
        QCOMPARE(ke_get_prior_record(b, KE_LOCK_WRITE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(field(b, rec, 2), std::string("Петрова"));
        QCOMPARE(ke_release_record_lock(b), KE_OK);
        // Closing the cursor frees its lock.
        QCOMPARE(ke_get_record(a, KE_LOCK_WRITE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(ke_get_record(b, KE_LOCK_WRITE, rec.data(), rec.size()), KE_ERR_RECORD_LOCKED);
        QCOMPARE(ke_close_cursor(a), KE_OK);
        QCOMPARE(ke_get_record(b, KE_LOCK_WRITE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(ke_close_cursor(a), KE_ERR_INVALID_HANDLE);
    }

    void changesThroughOneCursorAreSeenByAnother()
    {
        ke_cursor* a = open();
        ke_cursor* b = open();
        QVERIFY(a && b);
        std::vector<uint8_t> rec(170);
        for (int i = 1; i <= 3; ++i) {
            ke_set_to_end(a);
            auto r = record(a, clientRow(i));
            QCOMPARE(ke_insert_record(a, KE_LOCK_NONE, r.data()), KE_OK);
        }
        QCOMPARE(ke_set_to_begin(b), KE_OK);
        QCOMPARE(ke_get_next_record(b, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(ke_get_next_record(b, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK); // b on 2
        // a modifies 2: b reads the new value.
        QCOMPARE(ke_set_to_begin(a), KE_OK);
        ke_get_next_record(a, KE_LOCK_NONE, rec.data(), rec.size());
        ke_get_next_record(a, KE_LOCK_NONE, rec.data(), rec.size());
        auto r = record(a, {"2", "Новая"});
        QCOMPARE(ke_modify_record(a, r.data(), 0), KE_OK);
        QCOMPARE(ke_get_record(b, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(field(b, rec, 2), std::string("Новая"));
        // a deletes 2: b has no current record; its neighbours are 1 and 3.
        QCOMPARE(ke_delete_record(a), KE_OK);
        QVERIFY(ke_get_record(b, KE_LOCK_NONE, rec.data(), rec.size()) != KE_OK);
        QCOMPARE(ke_get_next_record(b, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(field(b, rec, 1), std::string("3"));
        // a inserts before 3 while b stands on 3: b stays on 3.
        auto r5 = record(a, clientRow(5));
        QCOMPARE(ke_set_to_begin(a), KE_OK);
        QCOMPARE(ke_insert_record(a, KE_LOCK_NONE, r5.data()), KE_OK);
        QCOMPARE(ke_get_record(b, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(field(b, rec, 1), std::string("3"));
        QCOMPARE(ke_get_prior_record(b, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(field(b, rec, 1), std::string("1"));
    }

    void fieldValuesAndBlanks()
    {
        ke_cursor* c = open();
        QVERIFY(c);
        std::vector<uint8_t> rec(170, 0xAA);
        QCOMPARE(ke_init_record(c, rec.data(), rec.size()), KE_OK);
        QVERIFY(std::all_of(rec.begin(), rec.end(), [](uint8_t b) { return b == 0; }));
        uint8_t value[64];
        size_t len = 99;
        int blank = 0;
        QCOMPARE(ke_get_field(c, 2, rec.data(), value, sizeof value, &len, &blank), KE_OK);
        QCOMPARE(blank, 1);
        QCOMPARE(len, size_t(0));
        const char* text = "12345\0" "890";
        QCOMPARE(ke_put_field(c, 1, rec.data(), rec.size(), reinterpret_cast<const uint8_t*>(text), 9), KE_OK);
        QCOMPARE(ke_get_field(c, 1, rec.data(), value, sizeof value, &len, &blank), KE_OK);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(value), int(len)), QByteArray("12345"));
        QCOMPARE(rec[5], uint8_t(0)); // the next field is untouched
        QCOMPARE(ke_get_field(c, 1, rec.data(), value, 3, &len, &blank), KE_ERR_BUFFER_TOO_SMALL);
        QCOMPARE(len, size_t(5));
        QCOMPARE(ke_get_field(c, 8, rec.data(), value, sizeof value, &len, &blank), KE_ERR_INVALID_PARAMETER);
        QCOMPARE(ke_get_field(c, 0, rec.data(), value, sizeof value, &len, &blank), KE_ERR_INVALID_PARAMETER);
        QCOMPARE(ke_put_field(c, 1, rec.data(), rec.size(), nullptr, 0), KE_OK);
        QCOMPARE(ke_get_field(c, 1, rec.data(), value, sizeof value, &len, &blank), KE_OK);
        QCOMPARE(blank, 1);
        QCOMPARE(ke_verify_field(c, 1, reinterpret_cast<const uint8_t*>("x"), 1, &blank), KE_OK);
        QCOMPARE(blank, 0);
    }

    void codePageConversion()
    {
        const std::string text = "Ёжик в тумане №5";
        uint8_t native[64];
        size_t n = 0;
        QCOMPARE(ke_unicode_to_native(1251, text.data(), text.size(), native, sizeof native, &n), KE_OK);
        QCOMPARE(n, size_t(16));
        QCOMPARE(native[0], uint8_t(0xA8)); // Ё in 1251
        QCOMPARE(native[14], uint8_t(0xB9)); // № in 1251
        char back[128];
        size_t m = 0;
        QCOMPARE(ke_native_to_unicode(1251, native, n, back, sizeof back, &m), KE_OK);
        QCOMPARE(std::string(back, m), text);

        QCOMPARE(ke_unicode_to_native(866, "Клиент №", strlen("Клиент №"), native, sizeof native, &n), KE_OK);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(native), int(n)), QByteArray("\x8A\xAB\xA8\xA5\xAD\xE2\x20\xFC", 8));
        QCOMPARE(ke_native_to_unicode(866, native, n, back, sizeof back, &m), KE_OK);
        QCOMPARE(std::string(back, m), std::string("Клиент №"));

        // Characters the page cannot hold are refused, never replaced.
        const std::string euro = "цена 5€";
        QCOMPARE(ke_unicode_to_native(866, euro.data(), euro.size(), native, sizeof native, &n), KE_ERR_UNMAPPABLE_CHARACTER);
        QVERIFY2(lastContext().find("U+20AC") != std::string::npos, lastContext().c_str());
        const std::string greek = "λ";
        QCOMPARE(ke_unicode_to_native(1251, greek.data(), greek.size(), native, sizeof native, &n), KE_ERR_UNMAPPABLE_CHARACTER);
        QCOMPARE(ke_unicode_to_native(1252, euro.data(), euro.size(), native, sizeof native, &n), KE_ERR_UNMAPPABLE_CHARACTER);
        QCOMPARE(ke_unicode_to_native(1252, "5€", strlen("5€"), native, sizeof native, &n), KE_OK);
        QCOMPARE(native[1], uint8_t(0x80));
        QCOMPARE(ke_unicode_to_native(1252, "café", 5, native, sizeof native, &n), KE_OK);
        QCOMPARE(n, size_t(4));
        QCOMPARE(native[3], uint8_t(0xE9));
        QCOMPARE(ke_unicode_to_native(1251, "\xC3\x28", 2, native, sizeof native, &n), KE_ERR_INVALID_PARAMETER);
        QCOMPARE(ke_unicode_to_native(1251, "abc", 3, native, 2, &n), KE_ERR_BUFFER_TOO_SMALL);
        QCOMPARE(ke_unicode_to_native(932, "abc", 3, native, sizeof native, &n), KE_ERR_UNSUPPORTED_CODE_PAGE);
    }

    void everyCodeHasAText()
    {
        const ke_result codes[] = {KE_ERR_BOF, KE_ERR_EOF, KE_ERR_NO_CURRENT_RECORD, KE_ERR_RECORD_NOT_FOUND,
                                   KE_ERR_NOT_INITIALIZED, KE_ERR_ALREADY_INITIALIZED, KE_ERR_TABLE_READ_ONLY,
                                   KE_ERR_INSUFFICIENT_RIGHTS, KE_ERR_RECORD_LOCKED, KE_ERR_CANNOT_DECRYPT,
                                   KE_ERR_NO_MEMORY, KE_ERR_INVALID_HANDLE, KE_ERR_INVALID_PARAMETER,
                                   KE_ERR_DIRECTORY_NOT_FOUND, KE_ERR_TABLE_NOT_FOUND, KE_ERR_IO,
                                   KE_ERR_CORRUPT_TABLE, KE_ERR_UNSUPPORTED_TABLE, KE_ERR_TABLE_FULL, KE_ERR_CONFIG,
                                   KE_ERR_NO_MORE_ENTRIES, KE_ERR_FIELD_NOT_TEXT, KE_ERR_UNMAPPABLE_CHARACTER,
                                   KE_ERR_BUFFER_TOO_SMALL, KE_ERR_NOT_LOCKED, KE_ERR_TABLE_IN_USE,
                                   KE_ERR_UNKNOWN_DATABASE, KE_ERR_UNKNOWN_DRIVER, KE_ERR_UNSUPPORTED_CODE_PAGE,
                                   KE_ERR_INTERNAL, KE_ERR_RECORD_DELETED, KE_ERR_RECORD_CHANGED};
        QSet<QString> texts;
        for (ke_result code : codes) {
            char text[256] = {};
            QCOMPARE(ke_error_text(code, text, sizeof text), KE_OK);
            QVERIFY2(strlen(text) > 5, QByteArray::number(code, 16).constData());
            texts.insert(text);
        }
        QCOMPARE(texts.size(), int(std::size(codes))); // all different
        char text[8];
        QCOMPARE(ke_error_text(0x7777, text, sizeof text), KE_ERR_INVALID_PARAMETER);
        // Entries: numbered from 1, then no more.
        ke_cursor* c = open();
        QCOMPARE(ke_get_next_record(c, KE_LOCK_NONE, nullptr, 0), KE_ERR_EOF);
        ke_result code = 0;
        int32_t native = -1;
        char ctx[256];
        QCOMPARE(ke_error_entry(1, &code, &native, ctx, sizeof ctx), KE_OK);
        QCOMPARE(code, KE_ERR_EOF);
        QCOMPARE(native, 0);
        QCOMPARE(std::string(ctx), tablePath());
        QCOMPARE(ke_error_entry(2, &code, &native, ctx, sizeof ctx), KE_ERR_NO_MORE_ENTRIES);
        QCOMPARE(ke_error_entry(0, &code, &native, ctx, sizeof ctx), KE_ERR_NO_MORE_ENTRIES);
    }

    void exclusiveOpenKeepsOthersOut()
    {
        ke_database* db = nullptr;
        ke_cursor* a = open(KE_OPEN_READ_WRITE, &db);
        QVERIFY(a);
        ke_cursor* b = nullptr;
        QCOMPARE(ke_open_table(db, "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_EXCLUSIVE, &b),
                 KE_ERR_TABLE_IN_USE);
        QCOMPARE(ke_close_cursor(a), KE_OK);
        QCOMPARE(ke_open_table(db, "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_EXCLUSIVE, &b), KE_OK);
        QCOMPARE(ke_open_table(db, "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_ONLY, KE_SHARE_SHARED, &a),
                 KE_ERR_TABLE_IN_USE);
    }
};

QTEST_GUILESS_MAIN(TestEngineApi)
#include "TestEngineApi.moc"
