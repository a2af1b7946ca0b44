// Random inserts, deletes, key changes and plain changes on a keyed table,
// each checked against a sorted model after every step: the whole table in
// key order, the cursor on the changed record with its neighbours in key
// order, a key stored twice refused and nothing changed then. The key is
// three numeric fields, compared in the model by value (blank first), never
// by the bytes the engine compares; small blocks make the index grow to two
// levels and shrink back to nothing. At the end the engine's check and pxlib
// read the index.
#include "EngineTestSupport.h"
#include "FieldCodec.h"
#include "KeyedPxlibPeer.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <optional>
#include <tuple>

using namespace enginetest;

namespace {

using Key = std::tuple<std::optional<int>, std::optional<int>, std::optional<double>>;
using Model = std::map<Key, std::string>;

// Group S, Number I, Amount N (the key), then Text A200: four records a 1 KiB block.
ke::NewTable keyedLayout()
{
    ke::NewTable t;
    t.fields = {{"Группа", KE_FIELD_SHORT, 0}, {"Номер", KE_FIELD_LONG, 0}, {"Сумма", KE_FIELD_NUMBER, 0},
                {"Текст", KE_FIELD_ALPHA, 200}};
    t.keyFields = 3;
    t.blockSizeKiB = 1;
    t.codePage = 1251;
    return t;
}

std::vector<uint8_t> recordOf(const Key& k, const std::string& text)
{
    std::vector<uint8_t> r(214, 0);
    if (std::get<0>(k))
        ke::codec::encodeInteger(r.data(), 2, *std::get<0>(k));
    if (std::get<1>(k))
        ke::codec::encodeInteger(r.data() + 2, 4, *std::get<1>(k));
    if (std::get<2>(k))
        ke::codec::encodeDouble(r.data() + 6, *std::get<2>(k));
    std::memcpy(r.data() + 14, text.data(), std::min<size_t>(text.size(), 200));
    return r;
}

Key keyOf(const uint8_t* r)
{
    const auto a = ke::codec::decodeInteger(r, 2), b = ke::codec::decodeInteger(r + 2, 4);
    return {a ? std::optional<int>(int(*a)) : std::nullopt, b ? std::optional<int>(int(*b)) : std::nullopt,
            ke::codec::decodeDouble(r + 6)};
}

std::string textOf(const uint8_t* r) { return std::string(reinterpret_cast<const char*>(r + 14), strnlen(reinterpret_cast<const char*>(r + 14), 200)); }

// Keys from a small domain, so that collisions (and refusals) are frequent.
Key randomKey(QRandomGenerator& rng)
{
    auto maybe = [&](int v) { return rng.bounded(20) == 0 ? std::nullopt : std::optional<int>(v); };
    const std::optional<double> amount = rng.bounded(20) == 0 ? std::nullopt : std::optional<double>(double(int(rng.bounded(7)) - 3) * 0.5);
    return {maybe(int(rng.bounded(9)) - 4), maybe(int(rng.bounded(200)) - 100), amount};
}

QString show(const Key& k)
{
    auto part = [](auto v) { return v ? QString::number(*v) : QString("_"); };
    return QString("(%1,%2,%3)").arg(part(std::get<0>(k)), part(std::get<1>(k)), part(std::get<2>(k)));
}

// The whole table through a fresh read-only cursor, in its order.
QStringList tableRows(const std::string& path)
{
    ke::OpenOptions ro;
    ro.readOnly = true;
    ke::Cursor c(path, ro);
    std::vector<uint8_t> rec(c.header().recordSize);
    QStringList rows;
    c.setToBegin();
    while (errorOf([&] { c.next(false, rec.data()); }) == KE_OK)
        rows << show(keyOf(rec.data())) + QString::fromStdString(textOf(rec.data()));
    return rows;
}

QStringList modelRows(const Model& m)
{
    QStringList rows;
    for (const auto& [k, text] : m)
        rows << show(k) + QString::fromStdString(text);
    return rows;
}

} // namespace

class TestKeyedModel : public QObject {
    Q_OBJECT

private slots:
    void randomChangesKeepKeyOrderAndTheIndex()
    {
        QTemporaryDir dir(fastTempTemplate());
        const std::string path = (dir.path() + "/keyed.DB").toStdString();
        ke::createTable(path, keyedLayout());
        ke::Cursor c(path, {});
        std::vector<uint8_t> rec(c.header().recordSize);
        Model model;
        QRandomGenerator rng(20261210);
        int refused = 0, moved = 0, maxLevels = 0, step = 0;
        // Grow past two index levels, churn, shrink to nothing, grow again.
        const struct { int steps, insertPercent, deletePercent; } phases[] = {{900, 80, 10}, {600, 40, 30}, {1000, 5, 85}, {150, 80, 10}};
        size_t smallest = 0;
        for (const auto& phase : phases) {
            for (int s = 0; s < phase.steps; ++s, ++step) {
                const int roll = int(rng.bounded(100));
                std::optional<Key> landed;
                if (model.empty() || roll < phase.insertPercent) {
                    const Key k = randomKey(rng);
                    const std::string text = "new " + std::to_string(step);
                    const uint16_t code = errorOf([&] { c.insert(recordOf(k, text).data(), false); });
                    QCOMPARE(code, uint16_t(model.count(k) ? KE_ERR_KEY_VIOLATION : KE_OK));
                    if (code == KE_OK) {
                        model[k] = text;
                        landed = k;
                    } else {
                        ++refused;
                    }
                } else {
                    // Stand on a record picked from the model, by stepping through the table.
                    auto it = model.begin();
                    std::advance(it, long(rng.bounded(quint32(model.size()))));
                    c.setToBegin();
                    for (auto walk = model.begin();; ++walk) {
                        c.next(false, rec.data());
                        if (walk == it)
                            break;
                    }
                    QCOMPARE(show(keyOf(rec.data())), show(it->first));
                    if (roll < phase.insertPercent + phase.deletePercent) {
                        c.remove();
                        model.erase(it);
                    } else {
                        const bool rekey = rng.bounded(3) != 0;
                        const Key k = rekey ? randomKey(rng) : it->first;
                        const std::string text = "changed " + std::to_string(step);
                        const uint16_t code = errorOf([&] { c.modify(recordOf(k, text).data(), true); });
                        const bool clash = k != it->first && model.count(k);
                        QCOMPARE(code, uint16_t(clash ? KE_ERR_KEY_VIOLATION : KE_OK));
                        if (clash) {
                            ++refused;
                        } else {
                            moved += k != it->first ? 1 : 0;
                            model.erase(it);
                            model[k] = text;
                            landed = k;
                        }
                    }
                }
                if (landed) {
                    // The cursor stands on the stored record; its neighbours are the model's.
                    c.current(false, rec.data());
                    QCOMPARE(show(keyOf(rec.data())), show(*landed));
                    auto at = model.find(*landed);
                    const uint16_t nextCode = errorOf([&] { c.next(false, rec.data()); });
                    if (std::next(at) == model.end())
                        QCOMPARE(nextCode, uint16_t(KE_ERR_EOF));
                    else
                        QCOMPARE(show(keyOf(rec.data())), show(std::next(at)->first));
                }
                smallest = std::min(smallest, model.size());
                const QStringList rows = tableRows(path);
                if (rows != modelRows(model))
                    QFAIL(qPrintable(QString("step %1: the table differs from the model").arg(step)));
                if (step % 25 == 0) {
                    ke::OpenOptions ro;
                    ro.readOnly = true;
                    maxLevels = std::max<int>(maxLevels, ke::Cursor(path, ro).indexLevels());
                }
            }
            if (&phase == &phases[0] || &phase == &phases[3]) {
                ke::OpenOptions ro;
                ro.readOnly = true;
                ke::Cursor reader(path, ro);
                QStringList problems;
                reader.check([&](const std::string& p) { problems << QString::fromStdString(p); });
                QCOMPARE(problems, QStringList());
                QCOMPARE(verifyWithPxlib(path.substr(0, path.size() - 3)), QStringList());
            }
            if (&phase == &phases[1])
                smallest = model.size();
            if (&phase == &phases[2])
                QCOMPARE(smallest, size_t(0)); // shrunk to nothing on the way
        }
        qInfo("%d steps: %zu records left, %d refused as key violations, %d records moved to a new key, index up to %d levels",
              step, model.size(), refused, moved, maxLevels);
        QVERIFY(maxLevels >= 2);
        QVERIFY(refused > 20 && moved > 100);
    }
};

QTEST_GUILESS_MAIN(TestKeyedModel)
#include "TestKeyedModel.moc"
