// A cursor acts only on the record it shows. Cursors on one table, in one
// process and in two (as two copies of the program on one card index would
// be), change it in turn; every other cursor must still show its own record,
// wherever the record moved, or know that it is gone: a Delete then removes
// nothing and an edit fails.
#include "EngineTestSupport.h"
#include "TableChecker.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
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

// A cursor the model test drives: one in this process, or one in a child
// process that gets its calls as lines through a pipe.
class Actor {
public:
    virtual ~Actor() = default;
    virtual void standOn(const std::string& name) = 0;
    virtual uint16_t insert(const std::string& name) = 0; // before the card shown
    virtual uint16_t modify(const std::string& name, int version) = 0;
    virtual uint16_t remove() = 0;
    virtual std::string step(bool forwards) = 0;
    // "code name version" of the current record, with or without the record lock.
    virtual std::string current(bool lock) = 0;
};

std::string describeCurrent(ke::Cursor& c, bool lock)
{
    std::vector<uint8_t> rec(c.header().recordSize);
    const uint16_t code = errorOf([&] { c.current(lock, rec.data()); });
    if (code != KE_OK)
        return std::to_string(code);
    const Row row = rowOf(c.header(), rec.data());
    if (lock)
        c.releaseLock();
    return std::to_string(code) + " " + row[1] + " " + row[2];
}

class LocalActor final : public Actor {
public:
    explicit LocalActor(const std::string& path) : m_cursor(path, {}) {}
    void standOn(const std::string& name) override { ::standOn(m_cursor, name); }
    uint16_t insert(const std::string& name) override
    {
        const auto r = makeRecord(m_cursor.header(), card(name));
        return errorOf([&] { m_cursor.insert(r.data(), false); });
    }
    uint16_t modify(const std::string& name, int version) override
    {
        const auto r = makeRecord(m_cursor.header(), card(name, version));
        return errorOf([&] { m_cursor.modify(r.data(), true); });
    }
    uint16_t remove() override { return errorOf([&] { m_cursor.remove(); }); }
    std::string step(bool forwards) override { return ::step(m_cursor, forwards); }
    std::string current(bool lock) override { return describeCurrent(m_cursor, lock); }

private:
    ke::Cursor m_cursor;
};

class RemoteActor final : public Actor {
public:
    explicit RemoteActor(const std::string& path)
    {
        int down[2], up[2];
        if (::pipe(down) != 0 || ::pipe(up) != 0)
            qFatal("no pipe");
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(down[1]);
            ::close(up[0]);
            serve(path, down[0], up[1]);
        }
        ::close(down[0]);
        ::close(up[1]);
        m_to = down[1];
        m_from = ::fdopen(up[0], "r");
    }
    ~RemoteActor() override
    {
        ::close(m_to);
        std::fclose(m_from);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    void standOn(const std::string& name) override { call("S " + name); }
    uint16_t insert(const std::string& name) override { return uint16_t(std::stoi(call("I " + name))); }
    uint16_t modify(const std::string& name, int version) override
    {
        return uint16_t(std::stoi(call("M " + name + " " + std::to_string(version))));
    }
    uint16_t remove() override { return uint16_t(std::stoi(call("X"))); }
    std::string step(bool forwards) override { return call(forwards ? "N" : "P"); }
    std::string current(bool lock) override { return call(lock ? "L" : "C"); }

private:
    std::string call(const std::string& line)
    {
        const std::string out = line + "\n";
        if (::write(m_to, out.data(), out.size()) != ssize_t(out.size()))
            qFatal("the other process is gone");
        char reply[256] = {};
        if (!std::fgets(reply, sizeof reply, m_from))
            qFatal("the other process is gone");
        std::string r(reply);
        if (!r.empty() && r.back() == '\n')
            r.pop_back();
        return r;
    }

    [[noreturn]] static void serve(const std::string& path, int in, int out)
    {
        FILE* commands = ::fdopen(in, "r");
        LocalActor self(path);
        char line[256];
        while (std::fgets(line, sizeof line, commands)) {
            std::string cmd(line);
            cmd.pop_back();
            const std::string arg = cmd.size() > 2 ? cmd.substr(2) : std::string();
            std::string reply;
            switch (cmd[0]) {
            case 'S': self.standOn(arg); reply = "0"; break;
            case 'I': reply = std::to_string(self.insert(arg)); break;
            case 'M': {
                const auto space = arg.find(' ');
                reply = std::to_string(self.modify(arg.substr(0, space), std::stoi(arg.substr(space + 1))));
                break;
            }
            case 'X': reply = std::to_string(self.remove()); break;
            case 'N': reply = self.step(true); break;
            case 'P': reply = self.step(false); break;
            case 'L': reply = self.current(true); break;
            default: reply = self.current(false); break;
            }
            reply += "\n";
            if (::write(out, reply.data(), reply.size()) != ssize_t(reply.size()))
                break;
        }
        _exit(0);
    }

    pid_t m_pid = -1;
    int m_to = -1;
    FILE* m_from = nullptr;
};

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
                    QCOMPARE(actors[y]->step(forwards), expected);
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
                QCOMPARE(c.step(forwards), expected);
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
