// The navigator's buttons pressed three ways: with the mouse, with the keys
// the client windows offer, and through the accessibility bus's press action.
// The same random walks, run each way on the same card index, must show the
// same cards, states and enabled buttons after every step and leave the same
// table. A key or a press through the bus leaves the focus where it was.
#include "ClientWindowTestSupport.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TTable.h"
#include "TestSupport.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QRandomGenerator>

using namespace ClientWindowTest;
using CursorTest::TestTable;

namespace {

enum class Way { Mouse, Keys, Bus };
enum Act { Type = 6, FocusPanel, DeleteCancel, ActCount };
const TNavigateBtn kKinds[] = {nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete};
// The keys of each kind; Insert's alternatives are used in turn.
const QList<QList<QKeyCombination>> kKeys{
    {Qt::CTRL | Qt::Key_Home}, {Qt::CTRL | Qt::Key_PageUp}, {Qt::CTRL | Qt::Key_PageDown}, {Qt::CTRL | Qt::Key_End},
    {QKeyCombination(Qt::Key_Insert), Qt::CTRL | Qt::Key_Equal, Qt::CTRL | Qt::SHIFT | Qt::Key_Plus,
     QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus)},
    {Qt::CTRL | Qt::Key_Minus}};

void press(Way way, TForm3& f, int kind, int turn) {
    TNavButton* button = f.DBNavigator->Button(kKinds[kind]);
    if (way == Way::Mouse) {
        QTest::mouseClick(button, Qt::LeftButton);
    } else if (way == Way::Keys) {
        const QKeyCombination key = kKeys[kind][turn % kKeys[kind].size()];
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
    } else {
        QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(button)->actionInterface();
        // A disabled button offers no press, as a click on it does nothing.
        QCOMPARE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()), button->isEnabled());
        if (button->isEnabled())
            actions->doAction(QAccessibleActionInterface::pressAction());
        QCoreApplication::processEvents(); // the press runs after the bus call returned
    }
}

// After each step: the boxes, the state and the enabled buttons; apart, the
// focus and where the walk itself last put it.
struct Run {
    QStringList steps, focus, focusPut;
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
    QWidget* put = f.EditDBEdit2;
    put->setFocus();
    QRandomGenerator random(seed);
    for (int step = 0; step < 30; ++step) {
        const int act = random.bounded(int(ActCount));
        if (act == Type) {
            (put = f.EditDBEdit2)->setFocus();
            TestSupport::typeText(f.EditDBEdit2, QString(QChar(0x0430 + step % 32)));
        } else if (act == FocusPanel) {
            (put = f.Panel1)->setFocus();
        } else {
            const bool deleting = act == nbDelete || act == DeleteCancel;
            // The question comes exactly when the button can be pressed.
            std::shared_ptr<const TestSupport::ModalAnswer> answer;
            if (deleting && f.DBNavigator->Button(nbDelete)->isEnabled())
                answer = TestSupport::answerNextModal([act](QWidget* modal) {
                    QTest::keyClick(modal, act == nbDelete ? Qt::Key_Return : Qt::Key_Escape);
                });
            press(way, f, deleting ? int(nbDelete) : act, step);
            if (answer && !answer->answered)
                run.steps << QStringLiteral("no delete question");
        }
        QString seen = boxTexts(f).join(QLatin1Char('|')) + QStringLiteral(" state %1 on").arg(int(f.Table1->State()));
        for (TNavigateBtn kind : kKinds)
            seen += f.DBNavigator->Button(kind)->isEnabled() ? QStringLiteral(" 1") : QStringLiteral(" 0");
        run.steps << seen;
        run.focus << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString());
        run.focusPut << put->objectName();
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
        QVERIFY(clicked.stored != normalized(threeClients())); // the walk added or deleted cards
        for (const QString& focus : clicked.focus) // a click lands on the bar's panel, never on the bar
            QVERIFY(focus == QStringLiteral("EditDBEdit2") || focus == QStringLiteral("Panel1"));
        for (Way way : {Way::Keys, Way::Bus}) {
            const Run other = walk(way, seed);
            QCOMPARE(other.steps, clicked.steps);
            QCOMPARE(other.stored, clicked.stored);
            QCOMPARE(other.focus, other.focusPut);
        }
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
    QCOMPARE(bar->childCount(), 2);
    QCOMPARE(bar->child(0)->text(QAccessible::Name), QStringLiteral("Добавить"));
    QCOMPARE(bar->child(1)->text(QAccessible::Name), QStringLiteral("Отменить"));
    QVERIFY(bar->child(1)->text(QAccessible::Description).contains(QStringLiteral("«УДАЛИТЬ»")));
    // No move buttons here, so their keys do nothing; Ctrl+minus is the button
    // above "УДАЛИТЬ": it cancels the new card and deletes nothing.
    f.EditDBEdit2->setFocus();
    QTest::keyClick(f.EditDBEdit2, Qt::Key_PageDown, Qt::ControlModifier);
    QTest::keyClick(f.EditDBEdit2, Qt::Key_Insert);
    QCOMPARE(f.Table1->State(), dsInsert);
    TestSupport::typeText(f.EditDBEdit2, QStringLiteral("Лишний"));
    QTest::keyClick(f.EditDBEdit2, Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(f.Table1->State(), dsBrowse);
    QCOMPARE(boxTexts(f), threeClients()[0]);
    QCOMPARE(normalized(table.stored()), threeClients());
}

KARTOTEKA_TEST_MAIN(TestClientWindowKeys)
#include "test_ClientWindowKeys.moc"
