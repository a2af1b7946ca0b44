// The navigator's buttons pressed three ways: with the mouse, with the keys
// the client windows offer, and through the accessibility bus's press action.
// The same random walks, run each way on the same card index, must show the
// same cards, states and enabled buttons after every step and leave the same
// table. The bar never takes the focus; a key or a press through the bus
// leaves it where it was.
#include "ClientWindowKeys.h"
#include "ClientWindowTestSupport.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TTable.h"
#include "TestSupport.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLabel>
#include <QRandomGenerator>

using namespace ClientWindowTest;
using CursorTest::TestTable;

namespace {

enum class Way { Mouse, Keys, Bus };
enum Act { First, Prior, Next, Last, Insert, DeleteOk, DeleteCancel, Type, FocusPanel, ActCount };

struct Seen {
    QStringList boxes;
    int state;
    QList<bool> enabled;
    QString focus;
    QString focusPut; // where the walk last put the focus itself
    // The cards, states and buttons; the focus is compared apart (a click
    // lands on the bar's panel, which takes the focus; a key or the bus does not).
    bool sameCards(const Seen& o) const { return boxes == o.boxes && state == o.state && enabled == o.enabled; }
};

QString describe(const Seen& s) {
    QStringList on;
    for (bool e : s.enabled)
        on << (e ? QStringLiteral("1") : QStringLiteral("0"));
    return QStringLiteral("[%1] state %2 buttons %3 focus %4")
        .arg(s.boxes.join(QLatin1Char('|')))
        .arg(s.state)
        .arg(on.join(QString()), s.focus);
}

const TNavigateBtn kKinds[] = {nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete};

// The combination pressed for a kind; the Insert button's alternatives in turn.
QKeyCombination keyFor(TNavigateBtn kind, int turn) {
    switch (kind) {
    case nbFirst: return Qt::CTRL | Qt::Key_Home;
    case nbPrior: return Qt::CTRL | Qt::Key_PageUp;
    case nbNext: return Qt::CTRL | Qt::Key_PageDown;
    case nbLast: return Qt::CTRL | Qt::Key_End;
    case nbInsert: {
        const QKeyCombination insert[] = {QKeyCombination(Qt::Key_Insert), Qt::CTRL | Qt::Key_Equal,
                                          QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus),
                                          Qt::CTRL | Qt::SHIFT | Qt::Key_Plus};
        return insert[turn % 4];
    }
    default: return Qt::CTRL | Qt::Key_Minus;
    }
}

void press(Way way, TForm3& f, TNavigateBtn kind, int turn) {
    TNavButton* button = f.DBNavigator->Button(kind);
    switch (way) {
    case Way::Mouse:
        QTest::mouseClick(button, Qt::LeftButton);
        break;
    case Way::Keys: {
        const QKeyCombination key = keyFor(kind, turn);
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
        break;
    }
    case Way::Bus: {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(button);
        QAccessibleActionInterface* actions = iface->actionInterface();
        // A disabled button offers no press, as a click on it does nothing.
        QCOMPARE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()), button->isEnabled());
        if (button->isEnabled())
            actions->doAction(QAccessibleActionInterface::pressAction());
        QCoreApplication::processEvents(); // the press runs after the bus call returned
        break;
    }
    }
}

struct Run {
    QList<Seen> steps;
    QList<QStringList> stored;
};

Run walk(Way way, quint32 seed) {
    Run run;
    TestTable table(TestTable::Real);
    table.append(threeClients());
    TForm3 f;
    f.FormCreate();
    f.setVisibleFlag(true);
    if (!QTest::qWaitForWindowActive(&f))
        return run;
    f.EditDBEdit2->setFocus();
    QString focusPut = QStringLiteral("EditDBEdit2");
    QRandomGenerator random(seed);
    for (int step = 0; step < 30; ++step) {
        const int act = random.bounded(int(ActCount));
        if (act == Type) {
            f.EditDBEdit2->setFocus();
            focusPut = QStringLiteral("EditDBEdit2");
            TestSupport::typeText(f.EditDBEdit2, QString(QChar(0x0430 + step % 32)));
        } else if (act == FocusPanel) {
            f.Panel1->setFocus();
            focusPut = QStringLiteral("Panel1");
        } else if (act == DeleteOk || act == DeleteCancel) {
            const bool enabled = f.DBNavigator->Button(nbDelete)->isEnabled();
            auto answer = TestSupport::answerNextModal(
                [act](QWidget* modal) { QTest::keyClick(modal, act == DeleteOk ? Qt::Key_Return : Qt::Key_Escape); });
            press(way, f, nbDelete, step);
            if (enabled != answer->answered)
                qWarning("step %d: the delete question %s", step, enabled ? "did not come" : "came for a disabled button");
        } else {
            press(way, f, kKinds[act], step);
        }
        Seen seen{boxTexts(f), int(f.Table1->State()), {}, QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(), focusPut};
        for (TNavigateBtn kind : kKinds)
            seen.enabled << f.DBNavigator->Button(kind)->isEnabled();
        run.steps << seen;
    }
    f.Table1->CheckBrowseMode();
    run.stored = normalized(table.stored());
    return run;
}

} // namespace

class TestClientWindowKeys : public QObject {
    Q_OBJECT
private slots:
    void keysAndBusPressDoWhatClicksDo();
    void entryWindowKeysAndNames();
};

void TestClientWindowKeys::keysAndBusPressDoWhatClicksDo() {
    for (quint32 seed : {7u, 2024u, 31337u}) {
        const Run clicked = walk(Way::Mouse, seed);
        QCOMPARE(clicked.steps.size(), 30);
        for (Way way : {Way::Keys, Way::Bus}) {
            const Run other = walk(way, seed);
            QCOMPARE(other.steps.size(), clicked.steps.size());
            for (int i = 0; i < clicked.steps.size(); ++i)
                QVERIFY2(other.steps[i].sameCards(clicked.steps[i]),
                         qPrintable(QStringLiteral("seed %1, %2, step %3:\n  clicked %4\n  now     %5")
                                        .arg(seed)
                                        .arg(way == Way::Keys ? QStringLiteral("keys") : QStringLiteral("bus"))
                                        .arg(i)
                                        .arg(describe(clicked.steps[i]), describe(other.steps[i]))));
            // Without the mouse the focus stays where the walk put it.
            for (const Seen& s : other.steps)
                QCOMPARE(s.focus, s.focusPut);
            QCOMPARE(other.stored, clicked.stored);
        }
        // The walk did something: cards were added or deleted, and the bar never had the focus.
        QVERIFY(clicked.stored != normalized(threeClients()));
        for (const Seen& s : clicked.steps)
            QVERIFY(s.focus == QStringLiteral("EditDBEdit2") || s.focus == QStringLiteral("Panel1"));
    }
}

void TestClientWindowKeys::entryWindowKeysAndNames() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    TForm4 f;
    f.FormCreate();
    f.setVisibleFlag(true);
    QVERIFY(QTest::qWaitForWindowActive(&f));
    // The bus shows the two visible buttons only, the second named by what it does.
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(f.DBNavigator);
    QCOMPARE(bar->role(), QAccessible::ToolBar);
    QCOMPARE(bar->childCount(), 2);
    QCOMPARE(bar->child(0)->text(QAccessible::Name), QStringLiteral("Добавить"));
    QCOMPARE(bar->child(1)->text(QAccessible::Name), QStringLiteral("Отменить"));
    QVERIFY(bar->child(1)->text(QAccessible::Description).contains(QStringLiteral("«УДАЛИТЬ»")));
    QVERIFY(bar->child(1)->text(QAccessible::Description).contains(QStringLiteral("Ctrl+минус")));
    QCOMPARE(bar->indexOfChild(bar->child(1)), 1);

    f.EditDBEdit2->setFocus();
    // No move buttons here: their keys do nothing.
    QTest::keyClick(f.EditDBEdit2, Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(boxTexts(f), threeClients()[0]);
    // Insert starts a card; Ctrl+minus is the button above "УДАЛИТЬ": it cancels, deleting nothing.
    QTest::keyClick(f.EditDBEdit2, Qt::Key_Insert);
    QCOMPARE(f.Table1->State(), dsInsert);
    TestSupport::typeText(f.EditDBEdit2, QStringLiteral("Лишний"));
    QTest::keyClick(f.EditDBEdit2, Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(f.Table1->State(), dsBrowse);
    QCOMPARE(normalized(table.stored()), threeClients());
    QCOMPARE(QApplication::focusWidget(), f.EditDBEdit2);
}

KARTOTEKA_TEST_MAIN(TestClientWindowKeys)
#include "test_ClientWindowKeys.moc"
