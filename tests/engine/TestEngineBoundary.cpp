// The engine's C interface at its edges: every buffer the engine writes into
// has a size and is never written past or through NULL, a value longer than
// its field is refused, and the configuration's paths (relative entries, the
// XDG base directories).
#include "EngineConfig.h"
#include "EngineTestSupport.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

using namespace enginetest;

namespace {

constexpr uint8_t kGuard = 0xA5;

std::string lastContext()
{
    char text[512] = {};
    ke_result code = 0;
    ke_error_entry(1, &code, nullptr, text, sizeof text);
    return text;
}

// True when every byte of buf from `from` on still holds the guard.
bool untouchedFrom(const std::vector<uint8_t>& buf, size_t from)
{
    return std::all_of(buf.begin() + long(from), buf.end(), [](uint8_t b) { return b == kGuard; });
}

std::string native1251(const std::string& utf8)
{
    uint8_t out[512];
    size_t n = 0;
    if (ke_unicode_to_native(1251, utf8.data(), utf8.size(), out, sizeof out, &n) != KE_OK)
        qFatal("conversion failed");
    return std::string(reinterpret_cast<char*>(out), n);
}

void writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

class TestEngineBoundary : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    QString m_tableDir;

    ke_cursor* open()
    {
        ke_database* db = nullptr;
        ke_cursor* c = nullptr;
        if (ke_open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db) != KE_OK
            || ke_set_directory(db, m_tableDir.toUtf8().constData()) != KE_OK
            || ke_open_table(db, "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, &c) != KE_OK)
            return nullptr;
        return c;
    }

    // Field 1 ("Клиент №") of a record.
    static std::string number(ke_cursor* c, const std::vector<uint8_t>& rec)
    {
        uint8_t value[16];
        size_t len = 0;
        int blank = 0;
        if (ke_get_field(c, 1, rec.data(), value, sizeof value, &len, &blank) != KE_OK)
            return "<error>";
        return std::string(reinterpret_cast<char*>(value), len);
    }

private slots:
    void init()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", m_home.path().toUtf8());
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("KARTOTEKA_ENGINE_CONFIG");
        m_tableDir = m_home.path() + "/tables";
        QVERIFY(QDir().mkpath(m_tableDir));
        QFile::remove(m_tableDir + "/data.DB");
        ke::createTable((m_tableDir + "/data.DB").toStdString(), ke::clientTableLayout());
        QCOMPARE(ke_init(nullptr), KE_OK);
    }

    void cleanup() { ke_exit(); }

    void outputBuffersHaveSizes()
    {
        ke_cursor* c = open();
        QVERIFY(c);
        ke_cursor_props props {};
        QCOMPARE(ke_get_cursor_props(c, &props), KE_OK);
        const size_t rs = props.record_size;
        std::vector<uint8_t> rec(rs);
        for (const char* n : {"1", "2"}) {
            QCOMPARE(ke_init_record(c, rec.data(), rec.size()), KE_OK);
            QCOMPARE(ke_put_field(c, 1, rec.data(), rec.size(), reinterpret_cast<const uint8_t*>(n), 1), KE_OK);
            QCOMPARE(ke_set_to_end(c), KE_OK);
            QCOMPARE(ke_insert_record(c, KE_LOCK_NONE, rec.data()), KE_OK);
        }

        // Record readers: a buffer one byte short is refused before the cursor moves.
        std::vector<uint8_t> buf(rs + 16, kGuard);
        QCOMPARE(ke_set_to_begin(c), KE_OK);
        QCOMPARE(ke_get_next_record(c, KE_LOCK_NONE, buf.data(), rs - 1), KE_ERR_BUFFER_TOO_SMALL);
        QVERIFY2(lastContext().find(std::to_string(rs)) != std::string::npos, lastContext().c_str());
        QCOMPARE(ke_get_prior_record(c, KE_LOCK_NONE, buf.data(), 0), KE_ERR_BUFFER_TOO_SMALL);
        QCOMPARE(ke_get_record(c, KE_LOCK_WRITE, buf.data(), rs - 1), KE_ERR_BUFFER_TOO_SMALL);
        QVERIFY(untouchedFrom(buf, 0));
        QCOMPARE(ke_get_next_record(c, KE_LOCK_NONE, buf.data(), rs), KE_OK);
        QCOMPARE(number(c, buf), std::string("1")); // the refused calls did not move the cursor
        QVERIFY(untouchedFrom(buf, rs));
        QCOMPARE(ke_get_next_record(c, KE_LOCK_NONE, buf.data(), rs - 1), KE_ERR_BUFFER_TOO_SMALL);
        QCOMPARE(ke_get_record(c, KE_LOCK_NONE, buf.data(), rs + 16), KE_OK);
        QCOMPARE(number(c, buf), std::string("1"));
        QVERIFY(untouchedFrom(buf, rs));
        QCOMPARE(ke_get_next_record(c, KE_LOCK_NONE, nullptr, 0), KE_OK); // no buffer: only moves
        QCOMPARE(ke_get_record(c, KE_LOCK_NONE, buf.data(), rs), KE_OK);
        QCOMPARE(number(c, buf), std::string("2"));

        // Record buffers filled or changed by the engine.
        std::fill(buf.begin(), buf.end(), kGuard);
        QCOMPARE(ke_init_record(c, buf.data(), rs - 1), KE_ERR_BUFFER_TOO_SMALL);
        QCOMPARE(ke_init_record(c, nullptr, rs), KE_ERR_INVALID_PARAMETER);
        QVERIFY(untouchedFrom(buf, 0));
        QCOMPARE(ke_put_field(c, 7, buf.data(), rs - 1, reinterpret_cast<const uint8_t*>("x"), 1),
                 KE_ERR_BUFFER_TOO_SMALL);
        QCOMPARE(ke_put_field(c, 7, nullptr, rs, reinterpret_cast<const uint8_t*>("x"), 1), KE_ERR_INVALID_PARAMETER);
        QVERIFY(untouchedFrom(buf, 0));
        QCOMPARE(ke_init_record(c, buf.data(), rs), KE_OK);
        QVERIFY(std::all_of(buf.begin(), buf.begin() + long(rs), [](uint8_t b) { return b == 0; }));
        QVERIFY(untouchedFrom(buf, rs));

        // Field descriptions: room counted in descriptors.
        const size_t n = props.field_count;
        std::vector<ke_field_desc> descs(n + 1);
        std::memset(descs.data(), kGuard, descs.size() * sizeof(ke_field_desc));
        auto descUntouched = [&](size_t i) {
            const auto* p = reinterpret_cast<const uint8_t*>(&descs[i]);
            return std::all_of(p, p + sizeof(ke_field_desc), [](uint8_t b) { return b == kGuard; });
        };
        QCOMPARE(ke_get_field_descs(c, descs.data(), uint16_t(n - 1)), KE_ERR_BUFFER_TOO_SMALL);
        QCOMPARE(ke_get_field_descs(c, descs.data(), 0), KE_ERR_BUFFER_TOO_SMALL);
        QCOMPARE(ke_get_field_descs(c, nullptr, uint16_t(n)), KE_ERR_INVALID_PARAMETER);
        QVERIFY(descUntouched(0));
        QCOMPARE(ke_get_field_descs(c, descs.data(), uint16_t(n)), KE_OK);
        QCOMPARE(QString::fromUtf8(descs[n - 1].name), QString("Количество детей"));
        QVERIFY(descUntouched(n));

        // Field values.
        size_t len = 0;
        int blank = 0;
        QCOMPARE(ke_get_field(c, 1, rec.data(), nullptr, 8, &len, &blank), KE_ERR_INVALID_PARAMETER);

        // Text conversion, both ways: never through NULL, never past the end.
        std::vector<uint8_t> text(8, kGuard);
        size_t out = 99;
        QCOMPARE(ke_unicode_to_native(1251, "", 0, nullptr, 8, &out), KE_ERR_INVALID_PARAMETER);
        QCOMPARE(ke_unicode_to_native(1251, "", 0, nullptr, 0, &out), KE_OK);
        QCOMPARE(out, size_t(0));
        QCOMPARE(ke_unicode_to_native(1251, "абв", 6, text.data(), 2, &out), KE_ERR_BUFFER_TOO_SMALL);
        QCOMPARE(out, size_t(3)); // the length needed
        QVERIFY(untouchedFrom(text, 0));
        QCOMPARE(ke_unicode_to_native(1251, "абв", 6, text.data(), 3, &out), KE_OK);
        QCOMPARE(text[0], uint8_t(0xE0));
        QVERIFY(untouchedFrom(text, 3)); // no room: no terminating NUL
        QCOMPARE(ke_unicode_to_native(1251, "абв", 6, text.data(), 4, &out), KE_OK);
        QCOMPARE(text[3], uint8_t(0));
        QVERIFY(untouchedFrom(text, 4));
        std::fill(text.begin(), text.end(), kGuard);
        const uint8_t abc[] = {0xE0, 0xE1, 0xE2};
        char* utf8 = reinterpret_cast<char*>(text.data());
        QCOMPARE(ke_native_to_unicode(1251, abc, 3, nullptr, 7, &out), KE_ERR_INVALID_PARAMETER);
        QCOMPARE(ke_native_to_unicode(1251, abc, 3, utf8, 6, &out), KE_ERR_BUFFER_TOO_SMALL); // no room for the NUL
        QCOMPARE(out, size_t(6));
        QVERIFY(untouchedFrom(text, 0));
        QCOMPARE(ke_native_to_unicode(1251, abc, 3, utf8, 7, &out), KE_OK);
        QCOMPARE(std::string(utf8), std::string("абв"));
        QVERIFY(untouchedFrom(text, 7));

        // The table's path: refused when it does not fit, even with no room at all.
        ke_table_info info {};
        std::vector<uint8_t> path(m_tableDir.toUtf8().size() + 32, kGuard);
        char* where = reinterpret_cast<char*>(path.data());
        QCOMPARE(ke_get_table_info(c, &info, where, 4), KE_ERR_BUFFER_TOO_SMALL);
        QCOMPARE(ke_get_table_info(c, &info, where, 0), KE_ERR_BUFFER_TOO_SMALL);
        QVERIFY(untouchedFrom(path, 0));
        const size_t pathLength = (m_tableDir + "/data.DB").toUtf8().size();
        QCOMPARE(ke_get_table_info(c, &info, where, pathLength), KE_ERR_BUFFER_TOO_SMALL); // no room for the NUL
        QCOMPARE(ke_get_table_info(c, &info, where, pathLength + 1), KE_OK);
        QCOMPARE(QString::fromUtf8(where), m_tableDir + "/data.DB");
        QVERIFY(untouchedFrom(path, pathLength + 1));
        QCOMPARE(ke_get_table_info(c, &info, nullptr, 0), KE_OK);
        QCOMPARE(info.record_count, uint32_t(2));

        // Texts of errors are cut to the room given, on a character boundary.
        std::vector<uint8_t> message(16, kGuard);
        char* m = reinterpret_cast<char*>(message.data());
        QCOMPARE(ke_error_text(KE_ERR_BUFFER_TOO_SMALL, m, 5), KE_OK);
        QCOMPARE(std::string(m), std::string("The "));
        QVERIFY(untouchedFrom(message, 5));
        QCOMPARE(ke_error_text(KE_ERR_BUFFER_TOO_SMALL, nullptr, 5), KE_OK);
        ke_get_field_descs(c, descs.data(), 1);
        ke_result code = 0;
        QCOMPARE(ke_error_entry(1, &code, nullptr, m, 3), KE_OK);
        QCOMPARE(code, ke_result(KE_ERR_BUFFER_TOO_SMALL));
        QCOMPARE(std::strlen(m), size_t(2));
        QVERIFY(untouchedFrom(message, 5));
    }

    void valueLongerThanItsFieldIsRefused()
    {
        ke_cursor* c = open();
        QVERIFY(c);
        std::vector<uint8_t> rec(170);
        QCOMPARE(ke_init_record(c, rec.data(), rec.size()), KE_OK);
        const std::string surname = native1251("Иванова-Долгорукая-Оболенская-Трубецкая"); // 39 characters
        QCOMPARE(surname.size(), size_t(39));
        auto put = [&](uint16_t field, const std::string& v) {
            return ke_put_field(c, field, rec.data(), rec.size(), reinterpret_cast<const uint8_t*>(v.data()), v.size());
        };
        QCOMPARE(put(2, surname), KE_OK);
        const std::vector<uint8_t> before = rec;

        // One character over: refused, naming the field and its size; the record is as it was.
        for (const std::string& tooLong : {surname + "ая", std::string(300, 'x')}) {
            QCOMPARE(put(2, tooLong), KE_ERR_FIELD_TOO_LONG);
            const QString context = QString::fromUtf8(lastContext().c_str());
            QVERIFY2(context.contains("Фамилия") && context.contains("40")
                         && context.contains(QString::number(tooLong.size())),
                     qPrintable(context));
            QCOMPARE(rec, before);
        }
        char text[128] = {};
        QCOMPARE(ke_error_text(KE_ERR_FIELD_TOO_LONG, text, sizeof text), KE_OK);
        QCOMPARE(std::string(text), std::string("The value is longer than the field."));

        // The whole length fits, and the value ends at a NUL byte.
        QCOMPARE(put(2, surname + native1251("а")), KE_OK);
        QCOMPARE(put(1, std::string("12345\0" "6789", 10)), KE_OK);
        QCOMPARE(put(1, "123456"), KE_ERR_FIELD_TOO_LONG);
        QCOMPARE(ke_set_to_end(c), KE_OK);
        QCOMPARE(ke_insert_record(c, KE_LOCK_NONE, rec.data()), KE_OK);
        std::vector<uint8_t> back(170);
        QCOMPARE(ke_get_record(c, KE_LOCK_NONE, back.data(), back.size()), KE_OK);
        uint8_t value[64];
        size_t len = 0;
        int blank = 0;
        QCOMPARE(ke_get_field(c, 2, back.data(), value, sizeof value, &len, &blank), KE_OK);
        QCOMPARE(std::string(reinterpret_cast<char*>(value), len), surname + native1251("а"));
        QCOMPARE(number(c, back), std::string("12345"));
    }

    void configurationPathsAndBaseDirectories()
    {
        const QString home = m_home.path();
        QTemporaryDir elsewhere;
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        auto restore = qScopeGuard([&] { QDir::setCurrent(saved); });

        // Relative entries are relative to the file's folder, never the current directory.
        const QString conf = home + "/conf";
        writeFile(conf + "/engine.conf", "library_path = lib\nlibrary_path = ./more/\nlibrary_path = ~/x\n"
                                         "drive F = cards\ndrive g: = /srv/G\n");
        qputenv("KARTOTEKA_ENGINE_CONFIG", (conf + "/engine.conf").toUtf8());
        ke::EngineConfig c = ke::EngineConfig::load();
        const std::string h = home.toStdString();
        QCOMPARE(c.libraryPaths, std::vector<std::string>({h + "/conf/lib", h + "/conf/more/", h + "/x"}));
        QCOMPARE(c.driveDirectory('f'), h + "/conf/cards");
        QCOMPARE(c.driveDirectory('G'), std::string("/srv/G"));
        // A relative name of the file itself is taken from the current directory, once.
        writeFile(elsewhere.path() + "/sub/engine.conf", "library_path = lib\n");
        qputenv("KARTOTEKA_ENGINE_CONFIG", "sub/engine.conf");
        QCOMPARE(ke::EngineConfig::load().libraryPaths,
                 std::vector<std::string>({elsewhere.path().toStdString() + "/sub/lib"}));
        qunsetenv("KARTOTEKA_ENGINE_CONFIG");

        // XDG_CONFIG_HOME names the user's configuration folder; empty or relative is ignored.
        writeFile(home + "/.config/kartoteka/engine.conf", "library_path = /from/dot-config\n");
        writeFile(home + "/xdg-config/kartoteka/engine.conf", "library_path = /from/xdg\n");
        writeFile(elsewhere.path() + "/rel/kartoteka/engine.conf", "library_path = /from/relative\n");
        const std::vector<std::string> dotConfig {"/from/dot-config"};
        QCOMPARE(ke::EngineConfig::load().libraryPaths, dotConfig);
        qputenv("XDG_CONFIG_HOME", (home + "/xdg-config").toUtf8());
        QCOMPARE(ke::EngineConfig::load().libraryPaths, std::vector<std::string>({"/from/xdg"}));
        qputenv("XDG_CONFIG_HOME", "");
        QCOMPARE(ke::EngineConfig::load().libraryPaths, dotConfig);
        qputenv("XDG_CONFIG_HOME", "rel");
        QCOMPARE(ke::EngineConfig::load().libraryPaths, dotConfig);

        // XDG_DATA_HOME holds the default drive map, end to end through the engine.
        ke::EngineConfig none;
        QCOMPARE(none.driveDirectory('e'), h + "/.local/share/kartoteka/drives/E");
        qputenv("XDG_DATA_HOME", "");
        QCOMPARE(none.driveDirectory('e'), h + "/.local/share/kartoteka/drives/E");
        qputenv("XDG_DATA_HOME", "data");
        QCOMPARE(none.driveDirectory('e'), h + "/.local/share/kartoteka/drives/E");
        qputenv("XDG_DATA_HOME", (home + "/xdg-data").toUtf8());
        QCOMPARE(none.driveDirectory('e'), h + "/xdg-data/kartoteka/drives/E");
        ke_exit();
        QCOMPARE(ke_init(nullptr), KE_OK);
        ke_database* db = nullptr;
        QCOMPARE(ke_open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db), KE_OK);
        QCOMPARE(ke_create_directory(db, "E:\\ЗУРБЕЛИН\\proga"), KE_OK);
        QVERIFY(QFileInfo(home + "/xdg-data/kartoteka/drives/E/ЗУРБЕЛИН/proga").isDir());
        QVERIFY(!QFileInfo::exists(home + "/.local/share/kartoteka"));

        // One reader, one set of rules: what the engine refuses names file and line.
        qputenv("XDG_CONFIG_HOME", (home + "/xdg-config").toUtf8());
        for (const QByteArray& bad : {QByteArray("[engine]\n"), QByteArray("library_paths = /a\n"),
                                      QByteArray("# ok\nlibrary_path\n"), QByteArray("drive EE = /x\n")}) {
            writeFile(home + "/xdg-config/kartoteka/engine.conf", bad);
            ke_exit();
            QCOMPARE(ke_init(nullptr), KE_ERR_CONFIG);
            const std::string where = (home + "/xdg-config/kartoteka/engine.conf:").toStdString();
            QVERIFY2(lastContext().rfind(where, 0) == 0, lastContext().c_str());
            ke::EngineConfig loaded;
            std::string error;
            QVERIFY(!ke::EngineConfig::load(loaded, error));
            QCOMPARE(error, lastContext());
        }
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(ke_init(nullptr), KE_OK);
    }
};

QTEST_GUILESS_MAIN(TestEngineBoundary)
#include "TestEngineBoundary.moc"
