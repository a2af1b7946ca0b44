// What a screen reader finds in each window the user can open: every control
// has a role and a name, the flat buttons are push buttons that press, the
// names say what the controls do, the menu items carry their keys, and a
// questionnaire's result can be read after it changes.
#include "ClientWindowTestSupport.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "TForm6.h"
#include "TForm7.h"
#include "TSpeedButton.h"
#include "TestSupport.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>

using namespace ClientWindowTest;
using CursorTest::TestTable;

namespace {

// The toolkit's and the scroll box's inner parts, which screen readers pass over as fillers.
bool innerPart(const QObject* object) {
    const QString name = object->objectName();
    return name.isEmpty() || name.startsWith(QLatin1String("qt_")) || name == QLatin1String("ScrollBoxContents");
}

// Walks the visible part of the tree; a failure names the node.
void walk(QAccessibleInterface* node, const QString& path, QStringList* seen, QStringList* faults) {
    if (node->state().invisible)
        return;
    const QString name = node->text(QAccessible::Name);
    const QAccessible::Role role = node->role();
    const bool inner = qobject_cast<QWidget*>(node->object()) && innerPart(node->object());
    if (!inner) {
        if (role == QAccessible::NoRole || role == QAccessible::Client || name.isEmpty())
            faults->append(QStringLiteral("%1/%2: role 0x%3, name \"%4\"")
                               .arg(path, node->object()->objectName())
                               .arg(int(role), 0, 16)
                               .arg(name));
        seen->append(QStringLiteral("0x%1 %2").arg(int(role), 0, 16).arg(name));
    }
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), path + QLatin1Char('/') + node->object()->objectName(), seen, faults);
}

QAccessibleInterface* of(QObject* object) { return QAccessible::queryAccessibleInterface(object); }

} // namespace

class TestAccessibleWindows : public QObject {
    Q_OBJECT
private slots:
    void everyVisibleControlIsNamed();
};

void TestAccessibleWindows::everyVisibleControlIsNamed() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    TForm1 f1;
    TForm3 f3;
    f3.FormCreate();
    TForm4 f4;
    f4.FormCreate();
    TForm5 f5;
    TForm6 f6;
    f6.FormCreate();
    TForm7 f7;
    f7.FormCreate();
    const QList<TForm*> windows{&f1, &f3, &f4, &f5, &f6, &f7};
    int total = 0;
    for (TForm* w : windows) {
        w->setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QStringList seen, faults;
        walk(of(w), QString(), &seen, &faults);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        QCOMPARE(of(w)->role(), QAccessible::Window);
        qInfo("%s: %d named objects\n  %s", qPrintable(w->objectName()), int(seen.size()),
              qPrintable(seen.join(QStringLiteral("\n  "))));
        total += int(seen.size());
    }
    qInfo("all windows: %d named objects", total);

    // The base window's buttons: named by the words under them, never by the
    // hints (the Add button's hint is "Delete record"); their keys in the description.
    QAccessibleInterface* bar = of(f3.DBNavigator);
    const QStringList words{"Первый", "Предыдущий", "Следующий", "Последний", "Добавить", "Удалить"};
    QCOMPARE(bar->childCount(), 6);
    for (int i = 0; i < 6; ++i) {
        QAccessibleInterface* button = bar->child(i);
        QCOMPARE(button->role(), QAccessible::Button);
        QCOMPARE(button->text(QAccessible::Name), words[i]);
        QVERIFY(!button->state().focusable);
        QVERIFY(button->text(QAccessible::Description).contains(QStringLiteral("Клавиша: ")));
    }
    QVERIFY(bar->child(4)->text(QAccessible::Description).contains(QStringLiteral("Insert")));
    QVERIFY(bar->child(1)->state().disabled); // Prior, on the first card
    QVERIFY(bar->child(1)->actionInterface()->actionNames().isEmpty());
    QCOMPARE(bar->child(2)->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
             QStringList{QStringLiteral("Ctrl+PgDown")});

    // The authorship window's close button presses like a click: the window hides.
    QAccessibleInterface* close = of(f5.SpeedButton1);
    QCOMPARE(close->role(), QAccessible::Button);
    QCOMPARE(close->text(QAccessible::Name), QStringLiteral("Закрыть"));
    close->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(!f5.isVisible());

    // Menu items: the access keys the strip draws, and the shortcut.
    auto binding = [](QAction* item) {
        return of(item)->actionInterface()->keyBindingsForAction(of(item)->actionInterface()->actionNames().value(0));
    };
    QCOMPARE(binding(f1.N11), QStringList{QStringLiteral("1;;")});
    QCOMPARE(binding(f1.N21), QStringList{QStringLiteral("2;;")});
    QCOMPARE(binding(f1.N5), QStringList{QStringLiteral(";;Ctrl+C")});
    QCOMPARE(binding(f1.N6), QStringList{});
    QCOMPARE(of(f1.N11)->text(QAccessible::Name), QStringLiteral("№1"));
    QCOMPARE(of(f1.N2)->child(0)->child(0)->object(), f1.N11);

    // A question's answers are labelled by the question.
    for (QRadioButton* answer : {f6.RadioButton1, f6.RadioButton9, f6.RadioButton13}) {
        const auto labels = of(answer)->relations(QAccessible::Label);
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels[0].first->object(), answer->parent());
        QVERIFY(labels[0].first->text(QAccessible::Name).startsWith(QStringLiteral("№")));
    }
    // The result box is named by the score and the word beside it, after each change.
    QCOMPARE(of(f6.Memo1)->text(QAccessible::Name), QStringLiteral("Ваш результат: 0 баллов"));
    f6.RadioButton1->setChecked(true);
    f6.RadioButton5->setChecked(true);
    QTest::mouseClick(f6.Button1, Qt::LeftButton);
    QCOMPARE(of(f6.Memo1)->text(QAccessible::Name), QStringLiteral("Ваш результат: 7 баллов"));
    QVERIFY(of(f6.Memo1)->textInterface()->text(0, 20).startsWith(QStringLiteral("Вы настоящий")));
    QTest::mouseClick(f6.Button2, Qt::LeftButton);
    QCOMPARE(of(f6.Memo1)->text(QAccessible::Name), QStringLiteral("Ваш результат: 0 баллов"));
    QCOMPARE(of(f7.Memo1)->text(QAccessible::Name), QStringLiteral("Ваш результат: 0 баллов"));
}

KARTOTEKA_TEST_MAIN(TestAccessibleWindows)
#include "test_AccessibleWindows.moc"
