// A cursor acts only on the record it shows. Two cursors on one table (as two
// copies of the program on one card index would be) change it in turn; the
// other cursor must still show its own record, wherever the record moved, or
// know that it is gone: a Delete then removes nothing and an edit fails.
#include "EngineTestSupport.h"
#include "TableChecker.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace enginetest;

namespace {

Row card(const std::string& name, int version = 0)
{
    return {name.substr(0, 5), name, "v" + std::to_string(version)};
}

std::string nameOf(const ke::Cursor& c, const std::vector<uint8_t>& rec) { return rowOf(c.header(), rec.data())[1]; }

// What a cursor shows now, "-" when it shows nothing.
std::string shown(ke::Cursor& c)
{
    std::vector<uint8_t> rec(c.header().recordSize);
    return errorOf([&] { c.current(false, rec.data()); }) == KE_OK ? nameOf(c, rec) : "-";
}

std::string step(ke::Cursor& c, bool forwards)
{
    std::vector<uint8_t> rec(c.header().recordSize);
    const uint16_t r = errorOf([&] { forwards ? c.next(false, rec.data()) : c.prior(false, rec.data()); });
    return r == KE_OK ? nameOf(c, rec) : r == KE_ERR_EOF ? "EOF" : r == KE_ERR_BOF ? "BOF" : "error";
}

void standOn(ke::Cursor& c, const std::string& name)
{
    c.setToBegin();
    while (step(c, true) != name) {
    }
}

QString makeTable(QTemporaryDir& dir, const std::vector<std::string>& names)
{
    const QString path = dir.path() + "/data.DB";
    ke::NewTable layout = ke::clientTableLayout();
    layout.blockSizeKiB = 1; // five records a block
    ke::createTable(path.toStdString(), layout);
    ke::Cursor c(path.toStdString(), {});
    for (const std::string& n : names) {
        c.setToEnd();
        const auto r = makeRecord(c.header(), card(n));
        c.insert(r.data(), false);
    }
    return path;
}

QString order(const QString& path)
{
    QStringList names;
    for (const Row& r : readAll(path.toStdString()))
        names << QString::fromStdString(r[1]);
    return names.join(',');
}

} // namespace

class TestCursorIdentity : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir {fastTempTemplate()};

private slots:
    void deleteThroughAStaleCursorRemovesNothing()
    {
        QTemporaryDir dir(fastTempTemplate());
        const QString path = makeTable(dir, {"r01", "r02", "r03", "r04", "r05"});
        ke::Cursor a(path.toStdString(), {}), b(path.toStdString(), {});
        standOn(a, "r03");
        // Through b, r03 goes and a new card comes first, in the same block.
        standOn(b, "r03");
        b.remove();
        b.setToBegin();
        const auto fresh = makeRecord(b.header(), card("NEW"));
        b.insert(fresh.data(), false);
        QCOMPARE(order(path), QString("NEW,r01,r02,r04,r05"));

        std::vector<uint8_t> rec(a.header().recordSize);
        QCOMPARE(errorOf([&] { a.current(true, rec.data()); }), KE_ERR_RECORD_DELETED); // an edit
        const auto changed = makeRecord(a.header(), card("r03", 1));
        QCOMPARE(errorOf([&] { a.modify(changed.data(), true); }), KE_ERR_RECORD_DELETED);
        QCOMPARE(errorOf([&] { a.remove(); }), KE_ERR_RECORD_NOT_FOUND);
        QCOMPARE(order(path), QString("NEW,r01,r02,r04,r05"));
        // a stands where deleting r03 would have left it.
        QCOMPARE(step(a, true), std::string("r04"));
        QCOMPARE(step(a, false), std::string("r02"));
    }

    void cursorFollowsItsRecordIntoTheBlockThatTakesItOver()
    {
        QTemporaryDir dir(fastTempTemplate());
        const QString path = makeTable(dir, {"r01", "r02", "r03", "r04", "r05", "r11", "r12", "r13", "r14", "r15",
                                             "r16", "r17", "r18", "r19", "r20"});
        ke::Cursor a(path.toStdString(), {}), b(path.toStdString(), {});
        for (const char* gone : {"r02", "r03", "r04", "r05"}) {
            standOn(a, gone);
            a.remove();
        }
        standOn(b, "r15");
        // The only card left in the first block goes: that block takes over the next one's cards.
        standOn(a, "r01");
        a.remove();
        QCOMPARE(shown(b), std::string("r15"));
        QCOMPARE(step(b, true), std::string("r16"));
        QCOMPARE(step(b, false), std::string("r15"));
        QCOMPARE(step(b, false), std::string("r14"));
        QCOMPARE(checkStructure(path), QString());
    }

    // Two cursors change one table in turn at random; after every change each
    // cursor is checked against a model of the table and of where it stands.
    void twoCursorsAgainstAModel()
    {
        QTemporaryDir dir(fastTempTemplate());
        std::vector<std::string> model;
        for (int i = 0; i < 30; ++i)
            model.push_back("c" + std::to_string(1000 + i));
        const QString path = makeTable(dir, model);
        std::map<std::string, int> version;
        ke::Cursor cursors[2] = {ke::Cursor(path.toStdString(), {}), ke::Cursor(path.toStdString(), {})};
        std::optional<std::string> on[2]; // the card each cursor shows
        QRandomGenerator rng(9);
        int serial = 2000, lostSeen = 0, followed = 0;
        for (int round = 0; round < 3000; ++round) {
            const int x = int(rng.bounded(2));
            ke::Cursor& c = cursors[x];
            const int op = int(rng.bounded(6));
            if (!on[x] || op == 0) {
                // Stand on a card at random.
                if (model.empty())
                    on[x].reset();
                else {
                    on[x] = model[rng.bounded(quint32(model.size()))];
                    standOn(c, *on[x]);
                }
            } else if (op == 1 && model.size() < 60) {
                const std::string name = "c" + std::to_string(serial++);
                const auto r = makeRecord(c.header(), card(name));
                c.insert(r.data(), false); // before the card shown
                model.insert(std::find(model.begin(), model.end(), *on[x]), name);
                on[x] = name;
            } else if (op == 2) {
                const auto r = makeRecord(c.header(), card(*on[x], ++version[*on[x]]));
                c.modify(r.data(), true);
            } else if (op == 3 && model.size() > 3) {
                c.remove();
                const auto at = std::find(model.begin(), model.end(), *on[x]);
                const size_t index = size_t(at - model.begin());
                model.erase(at);
                // The other cursor, if it showed that card, knows it is gone.
                const int y = 1 - x;
                if (on[y] == on[x]) {
                    std::vector<uint8_t> rec(c.header().recordSize);
                    QCOMPARE(errorOf([&] { cursors[y].current(true, rec.data()); }), KE_ERR_RECORD_DELETED);
                    QCOMPARE(errorOf([&] { cursors[y].remove(); }), KE_ERR_RECORD_NOT_FOUND);
                    const bool forwards = rng.bounded(2);
                    const std::string expected = forwards ? (index < model.size() ? model[index] : "EOF")
                                                          : (index > 0 ? model[index - 1] : "BOF");
                    QCOMPARE(step(cursors[y], forwards), expected);
                    on[y] = expected == "EOF" || expected == "BOF" ? std::nullopt : std::optional(expected);
                    ++lostSeen;
                }
                on[x].reset();
            } else {
                // Step either way; the model says where.
                const bool forwards = rng.bounded(2);
                const auto at = std::find(model.begin(), model.end(), *on[x]);
                std::string expected = forwards ? (at + 1 == model.end() ? "EOF" : *(at + 1))
                                                : (at == model.begin() ? "BOF" : *(at - 1));
                QCOMPARE(step(c, forwards), expected);
                on[x] = expected == "EOF" || expected == "BOF" ? std::nullopt : std::optional(expected);
            }
            // Each cursor still shows its own card, whatever the other did.
            for (int k = 0; k < 2; ++k) {
                if (!on[k])
                    continue;
                std::vector<uint8_t> rec(cursors[k].header().recordSize);
                QCOMPARE(errorOf([&] { cursors[k].current(false, rec.data()); }), KE_OK);
                const Row row = rowOf(cursors[k].header(), rec.data());
                QCOMPARE(row[1], *on[k]);
                QCOMPARE(row[2], "v" + std::to_string(version[*on[k]]));
                if (k != x)
                    ++followed;
            }
        }
        QStringList expected;
        for (const std::string& n : model)
            expected << QString::fromStdString(n);
        QCOMPARE(order(path), expected.join(','));
        QCOMPARE(checkStructure(path), QString());
        qInfo("%d checks of the other cursor, %d of them after its card was deleted", followed, lostSeen);
        QVERIFY(lostSeen > 20);
    }
};

QTEST_GUILESS_MAIN(TestCursorIdentity)
#include "TestCursorIdentity.moc"
