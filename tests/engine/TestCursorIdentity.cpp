// A cursor acts only on the record it shows. Cursors on one table, in one
// process and in two (as two copies of the program on one card index would
// be), change it in turn; every other cursor must still show its own record,
// wherever the record moved, or know that it is gone: a Delete then removes
// nothing and an edit fails.
#include "CursorActors.h"
#include "TableChecker.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace enginetest;

namespace {

// The card's name in a step's answer ("r03 v2" -> "r03").
std::string nameIn(const std::string& answer) { return answer.substr(0, answer.find(' ')); }

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

    void stepFromTheCacheOntoADeletedCardDeletesNothing()
    {
        QTemporaryDir dir(fastTempTemplate());
        const QString path = makeTable(dir, {"r01", "r02", "r03", "r04", "r05"});
        RemoteActor other(path.toStdString());
        other.standOn("r02");
        // Here r03 goes and a new card takes its slot between the same neighbours.
        LocalActor here(path.toStdString());
        here.standOn("r03");
        QCOMPARE(here.remove(), KE_OK);
        QCOMPARE(here.insert("NEW"), KE_OK);
        // The other process's step stays in its cached stretch: it still sees r03.
        QCOMPARE(other.step(true), std::string("r03 v0"));
        QCOMPARE(other.remove(), KE_ERR_RECORD_NOT_FOUND);
        QCOMPARE(order(path), QString("r01,r02,NEW,r04,r05"));
        // Once it has read the card now stored there, that one is what it deletes.
        QCOMPARE(other.current(false), std::string("0 NEW v0"));
        QCOMPARE(other.remove(), KE_OK);
        QCOMPARE(order(path), QString("r01,r02,r04,r05"));
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

    // Three cursors, two in this process and one in another, change one table
    // in turn at random; after every change each cursor is checked against a
    // model of the table and of where it stands.
    void cursorsOfTwoProcessesAgainstAModel()
    {
        QTemporaryDir dir(fastTempTemplate());
        std::vector<std::string> model;
        for (int i = 0; i < 30; ++i)
            model.push_back("c" + std::to_string(1000 + i));
        const QString path = makeTable(dir, model);
        std::map<std::string, int> version;
        constexpr int kActors = 3;
        std::unique_ptr<Actor> actors[kActors] = {std::make_unique<LocalActor>(path.toStdString()),
                                                  std::make_unique<LocalActor>(path.toStdString()),
                                                  std::make_unique<RemoteActor>(path.toStdString())};
        std::optional<std::string> on[kActors]; // the card each cursor shows
        QRandomGenerator rng(9);
        int serial = 2000, lostSeen = 0, followed = 0, remoteFollowed = 0;
        for (int round = 0; round < 2400; ++round) {
            const int x = int(rng.bounded(kActors));
            Actor& c = *actors[x];
            const int op = int(rng.bounded(6));
            if (!on[x] || op == 0) {
                // Stand on a card at random.
                if (model.empty())
                    on[x].reset();
                else {
                    on[x] = model[rng.bounded(quint32(model.size()))];
                    c.standOn(*on[x]);
                }
            } else if (op == 1 && model.size() < 60) {
                const std::string name = "c" + std::to_string(serial++);
                QCOMPARE(c.insert(name), KE_OK);
                model.insert(std::find(model.begin(), model.end(), *on[x]), name);
                on[x] = name;
            } else if (op == 2) {
                QCOMPARE(c.modify(*on[x], ++version[*on[x]]), KE_OK);
            } else if (op == 3 && model.size() > 3) {
                QCOMPARE(c.remove(), KE_OK);
                const auto at = std::find(model.begin(), model.end(), *on[x]);
                const size_t index = size_t(at - model.begin());
                model.erase(at);
                // Another cursor that showed that card knows it is gone.
                for (int y = 0; y < kActors; ++y) {
                    if (y == x || on[y] != on[x])
                        continue;
                    QCOMPARE(actors[y]->current(true), std::to_string(KE_ERR_RECORD_DELETED));
                    QCOMPARE(actors[y]->remove(), KE_ERR_RECORD_NOT_FOUND);
                    const bool forwards = rng.bounded(2);
                    const std::string expected = forwards ? (index < model.size() ? model[index] : "EOF")
                                                          : (index > 0 ? model[index - 1] : "BOF");
                    QCOMPARE(nameIn(actors[y]->step(forwards)), expected);
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
                QCOMPARE(nameIn(c.step(forwards)), expected);
                on[x] = expected == "EOF" || expected == "BOF" ? std::nullopt : std::optional(expected);
            }
            // Each cursor still shows its own card, whatever the others did.
            for (int k = 0; k < kActors; ++k) {
                if (!on[k])
                    continue;
                QCOMPARE(actors[k]->current(false), "0 " + *on[k] + " v" + std::to_string(version[*on[k]]));
                if (k != x)
                    ++followed;
                if (k != x && (k == 2) != (x == 2))
                    ++remoteFollowed;
            }
        }
        QStringList expected;
        for (const std::string& n : model)
            expected << QString::fromStdString(n);
        QCOMPARE(order(path), expected.join(','));
        QCOMPARE(checkStructure(path), QString());
        qInfo("%d checks of another cursor (%d across the two processes), %d after its card was deleted", followed,
              remoteFollowed, lostSeen);
        QVERIFY(lostSeen > 20);
        QVERIFY(remoteFollowed > 500);
    }
};

QTEST_GUILESS_MAIN(TestCursorIdentity)
#include "TestCursorIdentity.moc"
