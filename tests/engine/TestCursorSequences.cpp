// Every sequence of up to three operations by two cursors on small tables,
// each step compared with a plain model of the table. What must always hold:
// a cursor deletes or modifies only the card it last returned, and only while
// that card is stored as it was returned; otherwise nothing changes. Where the
// rules fix a move's answer or an insert's place (the cursor's card, a crack it
// left, either end), the engine must give exactly that; elsewhere (the card
// went or was changed by the other cursor, or the other process changed the
// table since this cursor last looked) a move must still land on a real card.
#include "CursorActors.h"
#include "TableChecker.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <fcntl.h>

#include <algorithm>
#include <array>
#include <optional>

using namespace enginetest;

namespace {

enum class Op { Next, Prior, First, Last, Insert, Append, Delete, Modify };
constexpr int kOps = 8;
constexpr int kChoices = 2 * kOps; // each operation by either cursor
constexpr int kDepth = 3;
const char* const kOpNames[kOps] = {"next", "prior", "first", "last", "insert", "append", "delete", "modify"};

// What the model knows of a cursor: the card it last returned, and where it
// stands where the rules fix that.
struct CursorModel {
    enum Place { Before, After, On, Crack, Unknown } place = Before;
    std::optional<QString> seen; // the card it last returned (On: the card it stands on)
    int crack = 0; // Crack: the index of the card after it
    bool stale = false; // the other process changed the table since this cursor last looked
};

// The table file, written from an image before each run and read straight
// from its bytes after each step, without the engine.
class TableBytes {
public:
    explicit TableBytes(const std::string& path) : m_fd(::open(path.c_str(), O_RDWR | O_CREAT, 0600)) {}
    ~TableBytes() { ::close(m_fd); }
    bool reset(const QByteArray& image) const
    {
        return ::pwrite(m_fd, image.constData(), size_t(image.size()), 0) == image.size()
            && ::ftruncate(m_fd, image.size()) == 0;
    }
    // The cards in chain order ("name vN"); a damaged structure is a card of its own that no model holds.
    QStringList cards() const
    {
        QByteArray data(64 * 1024, Qt::Uninitialized);
        const ssize_t n = ::pread(m_fd, data.data(), size_t(data.size()), 0);
        data.truncate(qsizetype(std::max<ssize_t>(n, 0)));
        std::vector<QByteArray> records;
        if (const QString problem = checkStructure(data, &records); !problem.isEmpty())
            return {"damaged: " + problem};
        QStringList cards;
        const auto column = [](const QByteArray& r, int at, int size) {
            const QByteArray text = r.mid(at, size);
            const qsizetype end = text.indexOf('\0');
            return QString::fromLatin1(end < 0 ? text : text.left(end));
        };
        for (const QByteArray& r : records) // the card's name is the surname column, its version the first name
            cards << column(r, 5, 40) + " " + column(r, 45, 25);
        return cards;
    }

private:
    int m_fd;
};

class Run {
public:
    Run(const TableBytes& file, std::array<Actor*, 2> actors, bool twoProcesses, const QStringList& table)
        : m_file(file), m_actors(actors), m_twoProcesses(twoProcesses), m_table(table), m_ever(table)
    {
    }

    void standOn(int x, int index)
    {
        if (index < 0)
            return;
        m_actors[size_t(x)]->standOn(m_table[index].section(' ', 0, 0).toStdString());
        m_cursors[x] = {CursorModel::On, m_table[index]};
    }

    // One operation; an empty text when it and the table match the model.
    QString apply(int x, Op op)
    {
        Actor& a = *m_actors[size_t(x)];
        CursorModel& m = m_cursors[x];
        const QStringList before = m_table;
        QString problem;
        switch (op) {
        case Op::Next:
        case Op::Prior: problem = checkMove(m, a.step(op == Op::Next), op == Op::Next, false); break;
        case Op::First:
        case Op::Last: problem = checkMove(m, a.toEnd(op == Op::First), op == Op::First, true); break;
        case Op::Insert:
        case Op::Append: {
            const QString name = QString("n%1").arg(++m_serial), fresh = name + " v0";
            std::optional<int> at = op == Op::Append ? std::optional<int>(int(m_table.size())) : placeIndex(m);
            if (const uint16_t code = op == Op::Append ? a.append(name.toStdString()) : a.insert(name.toStdString()))
                return QString("%1 failed with %2").arg(kOpNames[int(op)]).arg(code, 0, 16);
            if (!at) // the engine's choice; the other cards keep their order
                at = int(m_file.cards().indexOf(fresh));
            m_table.insert(std::clamp(*at, 0, int(m_table.size())), fresh);
            m = {CursorModel::On, fresh};
            break;
        }
        case Op::Delete:
        case Op::Modify: {
            const QString name = m.seen ? m.seen->section(' ', 0, 0) : QString("zz");
            const int version = ++m_serial;
            const uint16_t code = op == Op::Delete ? a.remove() : a.modify(name.toStdString(), version);
            const qsizetype i = m.seen ? m_table.indexOf(*m.seen) : -1;
            if (i >= 0 && code != KE_OK)
                return QString("%1 of %2, stored as returned, failed with %3").arg(kOpNames[int(op)], *m.seen).arg(code, 0, 16);
            if (i < 0 && code != KE_ERR_RECORD_NOT_FOUND && code != KE_ERR_NO_CURRENT_RECORD
                && (op == Op::Delete || (code != KE_ERR_RECORD_CHANGED && code != KE_ERR_RECORD_DELETED)))
                return QString("%1 without the card it returned gave %2").arg(kOpNames[int(op)]).arg(code, 0, 16);
            if (i < 0) {
                // Refused: the engine may have moved the cursor for display, and returned nothing.
                if (m.place != CursorModel::Before && m.place != CursorModel::After)
                    m.place = CursorModel::Unknown;
                m.stale = false;
            } else if (op == Op::Delete) {
                m_table.removeAt(i);
                m = {CursorModel::Crack, std::nullopt, int(i)};
            } else {
                m_table[i] = QString("%1 v%2").arg(name).arg(version);
                m = {CursorModel::On, m_table[i]};
            }
            break;
        }
        }
        if (m_table != before) {
            m_ever += m_table;
            CursorModel& other = m_cursors[1 - x];
            if (other.place == CursorModel::Crack)
                other.place = CursorModel::Unknown; // where the engine keeps a crack is its own business
            other.stale = other.stale || m_twoProcesses;
        }
        if (const QStringList stored = m_file.cards(); problem.isEmpty() && stored != m_table)
            problem = "the table holds " + stored.join(',') + ", the model " + m_table.join(',');
        return problem;
    }

private:
    // The index an insert at the cursor must take, where the rules fix it.
    std::optional<int> placeIndex(const CursorModel& m) const
    {
        switch (m.place) {
        case CursorModel::Before: return 0;
        case CursorModel::After: return int(m_table.size());
        case CursorModel::Crack: return m.crack;
        case CursorModel::On:
            if (const qsizetype i = m_table.indexOf(*m.seen); i >= 0)
                return int(i);
            return std::nullopt;
        default: return std::nullopt;
        }
    }

    QString checkMove(CursorModel& m, const std::string& reply, bool forwards, bool fromEnd)
    {
        const QString answer = QString::fromStdString(reply), end = forwards ? "EOF" : "BOF";
        auto at = [&](qsizetype i) { return i >= 0 && i < m_table.size() ? m_table[i] : end; };
        std::optional<QString> expected;
        if (fromEnd) {
            expected = at(forwards ? 0 : m_table.size() - 1);
            m.stale = false;
        } else if (const std::optional<int> i = placeIndex(m); i && !m.stale) {
            // From a card to its neighbour; from a crack or an end to the card beyond it.
            expected = at(m.place == CursorModel::On ? *i + (forwards ? 1 : -1) : (forwards ? *i : *i - 1));
        }
        // Otherwise any card: of the table now, or, when a cached step may serve it, of the table before.
        const bool real = answer == end || (m.stale ? m_ever.contains(answer) : m_table.contains(answer));
        if (expected ? answer != *expected : !real)
            return QString("%1 gave %2, expected %3").arg(forwards ? "next" : "prior", answer,
                                                           expected ? *expected : "a card of the table");
        if (answer == end)
            m = {forwards ? CursorModel::After : CursorModel::Before, std::nullopt, 0, m.stale};
        else
            m = {CursorModel::On, answer, 0, m.stale};
        return {};
    }

    const TableBytes& m_file;
    std::array<Actor*, 2> m_actors;
    bool m_twoProcesses;
    QStringList m_table, m_ever; // the cards now, and every card the table held in this run
    CursorModel m_cursors[2];
    int m_serial = 0;
};

// A run as the failure message shows it: the table, the places, and the operations up to the k-th.
QString describeRun(const QStringList& names, int pa, int pb, char otherProcess, int seq, int k)
{
    QString text = QString("cards %1, A on %2, B on %3").arg(names.join(',')).arg(pa).arg(pb);
    if (otherProcess)
        text += QString(" (%1 in another process)").arg(otherProcess);
    text += ':';
    for (int i = 0, s = seq; i <= k; ++i, s /= kChoices)
        text += QString(" %1 %2").arg((s % kChoices) / kOps ? 'B' : 'A').arg(kOpNames[s % kOps]);
    return text;
}

} // namespace

class TestCursorSequences : public QObject {
    Q_OBJECT

private slots:
    void noCursorChangesACardItDidNotReturn()
    {
        QTemporaryDir dir(fastTempTemplate());
        // Tables of 0 to 4 cards in one block (a fifth insert splits it), and
        // one of four cards in two blocks: r1 r2 | r6 r7.
        struct Layout {
            std::vector<std::string> made, deleted;
        };
        std::vector<Layout> layouts;
        for (int n = 0; n <= 4; ++n) {
            layouts.push_back({});
            for (int i = 1; i <= n; ++i)
                layouts.back().made.push_back("r" + std::to_string(i));
        }
        layouts.push_back({{"r1", "r2", "r3", "r4", "r5", "r6", "r7"}, {"r3", "r4", "r5"}});

        LocalActor first, second;
        RemoteActor remote;
        QRandomGenerator sample(24);
        const std::string path = (dir.path() + "/data.DB").toStdString();
        const TableBytes file(path);
        qint64 runs = 0, remoteRuns = 0, sequences = 0;
        QElapsedTimer clock;
        clock.start();
        for (const Layout& layout : layouts) {
            QTemporaryDir layoutDir(dir.path() + "/layout-XXXXXX");
            const QString made = makeTable(layoutDir.path(), layout.made);
            {
                ke::Cursor c(made.toStdString(), {});
                for (const std::string& gone : layout.deleted) {
                    enginetest::standOn(c, gone);
                    c.remove();
                }
            }
            QFile madeFile(made);
            QVERIFY(madeFile.open(QIODevice::ReadOnly));
            const QByteArray image = madeFile.readAll();
            const QStringList start = cardsIn(made.toStdString(), true);
            const QStringList names = cardsIn(made.toStdString(), false);
            if (runs == 0) {
                QVERIFY(file.reset(image));
                for (Actor* a : std::initializer_list<Actor*>{&first, &second, &remote})
                    a->open(path);
            }
            // Each cursor on a card (before the first on an empty table). Two
            // cursors of one process are alike, so A stands no further on than
            // B; in the sampled runs with two processes either one is the other
            // process's.
            for (int pa = names.isEmpty() ? -1 : 0; pa < int(names.size()); ++pa) {
                for (int pb = pa; pb < int(names.size()); ++pb) {
                    // A run of three checks its one- and two-operation beginnings too.
                    const int firstMoves = pa == pb ? kOps : kChoices;
                    sequences += firstMoves * (1 + kChoices + kChoices * kChoices);
                    for (int seq = 0; seq < kChoices * kChoices * kChoices; ++seq) {
                        if (pa == pb && seq % kChoices >= kOps)
                            continue; // the same run with A and B named the other way round
                        const bool twoProcesses = sample.bounded(16) == 0;
                        const bool remoteIsA = twoProcesses && sample.bounded(2) == 0;
                        std::array<Actor*, 2> actors = {&first, twoProcesses ? static_cast<Actor*>(&remote) : &second};
                        if (remoteIsA)
                            std::swap(actors[0], actors[1]);
                        // The cursors stay open: rewriting the file under them is a change they must see.
                        QVERIFY(file.reset(image));
                        actors[0]->rewind();
                        actors[1]->rewind();
                        Run run(file, actors, twoProcesses, start);
                        run.standOn(0, pa);
                        run.standOn(1, pb);
                        for (int k = 0, s = seq; k < kDepth; ++k, s /= kChoices) {
                            const QString problem = run.apply((s % kChoices) / kOps, Op(s % kOps));
                            if (!problem.isEmpty())
                                QFAIL(qPrintable(describeRun(names, pa, pb, twoProcesses ? (remoteIsA ? 'A' : 'B') : 0,
                                                             seq, k) + ": " + problem));
                        }
                        ++runs;
                        remoteRuns += twoProcesses;
                    }
                }
            }
        }
        qInfo("%lld sequences of one to three operations checked (%lld runs, %lld with the cursors in two "
              "processes) in %.1f s",
              sequences, runs, remoteRuns, double(clock.elapsed()) / 1000.0);
        QVERIFY(remoteRuns > runs / 32);
    }
};

QTEST_GUILESS_MAIN(TestCursorSequences)
#include "TestCursorSequences.moc"
