#include "Forms.h"
#include "StubForms.h"
#include "TForm1.h"
#include "TMenuKeyboard.h"
#include "TMessageForm.h"
#include "TestSupport.h"

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QVBoxLayout>
#include <functional>
#include <vector>

// The main window's menu: its tree and texts, access keys, first-letter
// selection, F10 and Alt, and the application-wide Ctrl+C.
class TestMainMenu : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        Application->CreateForm<TForm1>(Form1);
        Application->CreateForm<StubForm2>(Form2);
        Application->CreateForm<StubForm3>(Form3);
        Application->CreateForm<StubForm4>(Form4);
        Application->CreateForm<StubForm5>(Form5);
        Application->CreateForm<StubForm6>(Form6);
        Application->CreateForm<StubForm7>(Form7);
        Form1->setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(Form1));
    }

    void init() {
        for (TForm* f : {Form2, Form3, Form4, Form5, Form6, Form7})
            f->setVisibleFlag(false);
        Form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form1));
    }

    void mainWindowIsABorderlessStripAtTheCorner() {
        QCOMPARE(Application->MainForm(), static_cast<TForm*>(Form1));
        QCOMPARE(Form1->frameGeometry().topLeft(), QPoint(0, 0));
        QVERIFY(Form1->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(Form1->width(), 1015);
        QCOMPARE(Form1->height(), Form1->MainMenu1->height() + 1);
        QVERIFY(!Form1->windowIcon().isNull());
        QCOMPARE(Form1->windowIcon().availableSizes().size() >= 2, true);
    }

    void menuTreeAndCaptions() {
        TForm1* f = Form1;
        QCOMPARE(f->MainMenu1->actions(), (QList<QAction*>{f->N1, f->N2, f->N3, f->N8, f->N9, f->N12}));
        const QStringList bar{"Данные на клиента", "Опросники", "Тесты", "Помощь", "Авторство", "Выход"};
        for (int i = 0; i < bar.size(); ++i)
            QCOMPARE(f->MainMenu1->actions()[i]->text(), bar[i]);
        QCOMPARE(f->N1->menu()->actions(), QList<QAction*>{f->N5});
        QCOMPARE(f->N2->menu()->actions(), (QList<QAction*>{f->N11, f->N21}));
        QCOMPARE(f->N3->menu()->actions(), (QList<QAction*>{f->N6, f->N7}));
        QCOMPARE(f->N8->menu()->actions(), QList<QAction*>{f->N10});
        QVERIFY(!f->N9->menu());
        QVERIFY(!f->N12->menu());
        QCOMPARE(f->N5->text(), QStringLiteral("Данные о клиенте"));
        QCOMPARE(f->N6->text(), QStringLiteral("Тест на подчиненность"));
        QCOMPARE(f->N7->text(), QStringLiteral("На слабости"));
        QCOMPARE(f->N10->text(), QStringLiteral("Здесь должна была быть помощь"));
        for (QAction* a : {f->N1, f->N5, f->N2, f->N11, f->N21, f->N3, f->N6, f->N7, f->N8, f->N10,
                           f->N9, f->N12}) {
            QVERIFY(a->isEnabled() && a->isVisible() && !a->isChecked() && !a->isSeparator());
            QVERIFY(a->icon().isNull());
        }
        for (const char* name : {"N1", "N5", "N2", "N11", "N21", "N3", "N6", "N7", "N8", "N10", "N9", "N12"})
            QVERIFY2(f->findChild<QAction*>(QString::fromLatin1(name)), name);
    }

    void shortcutText() {
        QCOMPARE(Form1->N5->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
        QCOMPARE(Form1->N5->shortcut()[0].key(), Qt::Key_C);
        QCOMPARE(Form1->N5->shortcut()[0].keyboardModifiers(), Qt::ControlModifier);
        QCOMPARE(Form1->N5->shortcut().toString(QKeySequence::NativeText), QStringLiteral("Ctrl+C"));
        for (QAction* a : Form1->MainMenu1->actions())
            QVERIFY(a->shortcut().isEmpty());
    }

    void automaticAccessKeys() {
        // No bar caption has a digit or a Latin letter.
        for (QAction* a : Form1->MainMenu1->actions())
            QVERIFY2(!a->text().contains(QLatin1Char('&')), qPrintable(a->text()));
        // "№1" and "№2" get 1 and 2 when their submenu opens.
        QMenu* menu = Form1->N2->menu();
        menu->popup(QPoint(10, 10));
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(Form1->N11->text(), QStringLiteral("№&1"));
        QCOMPARE(Form1->N21->text(), QStringLiteral("№&2"));
        QCOMPARE(TMenuKeyboard::accessKey(Form1->N21->text()), QChar(u'2'));
        QCOMPARE(Form1->N5->text(), QStringLiteral("Данные о клиенте"));
        menu->close();
        // Opened again, nothing changes.
        menu->popup(QPoint(10, 10));
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(Form1->N11->text(), QStringLiteral("№&1"));
        menu->close();
    }

    void accessKeyRule_data() {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("first free letter, upper-case compare")
            << QStringList{"File", "fax", "Fix"} << QStringList{"&File", "f&ax", "F&ix"};
        QTest::newRow("no letter left")
            << QStringList{"Ab", "ba", "ab"} << QStringList{"&Ab", "&ba", "ab"};
        QTest::newRow("existing key kept and taken")
            << QStringList{"E&xit", "Xray", "Эх"} << QStringList{"E&xit", "X&ray", "Эх"};
        QTest::newRow("digits, Cyrillic skipped")
            << QStringList{"№1", "Шаг 2", "Я"} << QStringList{"№&1", "Шаг &2", "Я"};
    }
    void accessKeyRule() {
        QFETCH(QStringList, captions);
        QFETCH(QStringList, expected);
        QList<QAction*> items;
        for (const QString& c : captions)
            items << new QAction(c, this);
        TMenuKeyboard::assignAccessKeys(items);
        for (int i = 0; i < items.size(); ++i)
            QCOMPARE(items[i]->text(), expected[i]);
        qDeleteAll(items);
    }

    void f10AndAltActivateTheBar() {
        QTest::keyClick(Form1, Qt::Key_F10);
        QTRY_COMPARE(Form1->MainMenu1->activeAction(), Form1->N1);
        QVERIFY(!QApplication::activePopupWidget());
        QTest::keyClick(Form1->MainMenu1, Qt::Key_Escape);
        QTRY_VERIFY(!Form1->MainMenu1->activeAction());

        QTest::keyPress(Form1, Qt::Key_Alt, Qt::AltModifier);
        QTest::keyRelease(Form1, Qt::Key_Alt, Qt::NoModifier);
        QTRY_COMPARE(Form1->MainMenu1->activeAction(), Form1->N1);
        QTest::keyClick(Form1->MainMenu1, Qt::Key_Escape);
        QTRY_VERIFY(!Form1->MainMenu1->activeAction());
    }

    void firstLetterOpensSubmenuAndRunsCommand() {
        QTest::keyClick(Form1, Qt::Key_F10);
        QTRY_COMPARE(Form1->MainMenu1->activeAction(), Form1->N1);
        TestSupport::typeText(Form1->MainMenu1, QStringLiteral("т")); // "Тесты", lower case
        QTRY_COMPARE(QApplication::activePopupWidget(), Form1->N3->menu());
        TestSupport::typeText(Form1->N3->menu(), QStringLiteral("Н")); // "На слабости"
        QTRY_VERIFY(Form7->isVisible());
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QVERIFY(!Form6->isVisible());
    }

    void firstLetterOnTheBarRunsACommandItem() {
        QTest::keyClick(Form1, Qt::Key_F10);
        QTRY_COMPARE(Form1->MainMenu1->activeAction(), Form1->N1);
        TestSupport::typeText(Form1->MainMenu1, QStringLiteral("А")); // "Авторство"
        QTRY_VERIFY(Form5->isVisible());
        QVERIFY(!QApplication::activePopupWidget());
    }

    // Outside the bar's keyboard mode a typed letter does nothing: "в" would
    // otherwise pick "Выход" and end the program under a card being edited.
    void lettersActOnlyInTheBarsKeyboardMode() {
        QMenuBar* bar = Form1->MainMenu1;
        // Keys go to an open menu, else to the bar whenever it shows a
        // highlight or holds the focus (the case that used to end the program).
        auto keyTarget = [bar]() -> QWidget* {
            if (QWidget* popup = QApplication::activePopupWidget())
                return popup;
            if (bar->activeAction() || bar->hasFocus())
                return bar;
            return QApplication::focusWidget() ? QApplication::focusWidget() : Form1;
        };
        auto typeWhereTheKeyGoes = [&](const QString& text) { TestSupport::typeText(keyTarget(), text); };
        auto escape = [&] { QTest::keyClick(keyTarget(), Qt::Key_Escape); };
        const std::vector<std::function<void()>> ways = {
            [&] { // F10, Esc
                QTest::keyClick(Form1, Qt::Key_F10);
                QTRY_COMPARE(bar->activeAction(), Form1->N1);
                escape();
            },
            [&] { // F10, Т, Esc, Esc
                QTest::keyClick(Form1, Qt::Key_F10);
                QTRY_COMPARE(bar->activeAction(), Form1->N1);
                typeWhereTheKeyGoes(QStringLiteral("Т"));
                QTRY_COMPARE(QApplication::activePopupWidget(), Form1->N3->menu());
                escape(); // the submenu closes, the bar keeps its mode
                QTRY_VERIFY(!QApplication::activePopupWidget());
                QCOMPARE(bar->activeAction(), Form1->N3);
                escape();
            },
            [&] { // F10, F10
                QTest::keyClick(Form1, Qt::Key_F10);
                QTRY_COMPARE(bar->activeAction(), Form1->N1);
                QTest::keyClick(keyTarget(), Qt::Key_F10);
            },
            [&] { // a menu opened by the mouse, closed with Esc, Esc
                QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(Form1->N2).center());
                QTRY_COMPARE(QApplication::activePopupWidget(), Form1->N2->menu());
                escape();
                QTRY_VERIFY(!QApplication::activePopupWidget());
                escape();
            },
        };
        for (size_t i = 0; i < ways.size(); ++i) {
            Form1->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(Form1));
            ways[i]();
            QTest::qWait(20);
            // Straight to the bar, whatever has the focus.
            TestSupport::typeText(bar, QStringLiteral("в"));
            TestSupport::typeText(bar, QStringLiteral("А"));
            QVERIFY2(!Application->Terminated(), qPrintable(QString("way %1: a stray letter ended the program").arg(i)));
            QVERIFY2(!Form5->isVisible(), qPrintable(QString("way %1: a stray letter ran a command").arg(i)));
        }
    }

    void emptyCommandsOnlyCloseTheMenu() {
        QMenu* menu = Form1->N2->menu();
        menu->popup(QPoint(10, 10));
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_1); // access key of "№1"
        QTRY_VERIFY(!menu->isVisible());
        for (TForm* f : {Form2, Form3, Form4, Form5, Form6, Form7})
            QVERIFY(!f->isVisible());
        QVERIFY(!Application->Terminated());
    }

    void ctrlCFromATextBoxShowsTheClientBase() {
        auto* edit = new QLineEdit(Form6);
        edit->setObjectName(QStringLiteral("Edit1"));
        edit->setGeometry(10, 10, 200, 20);
        edit->setText(QStringLiteral("не копировать"));
        Form6->setActiveControl(edit);
        Form6->setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(Form6));
        QTRY_COMPARE(QApplication::focusWidget(), edit);
        edit->selectAll();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));

        QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
        QTRY_VERIFY(Form3->isVisible());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

        // Again with the client base already open: consumed, nothing moves or copies.
        Form6->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form6));
        const QPoint place = Form3->pos();
        QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
        QTest::qWait(20);
        QCOMPARE(QApplication::activeWindow(), Form6);
        QCOMPARE(Form3->pos(), place);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
        // Shift is not part of the shortcut.
        Form3->setVisibleFlag(false);
        QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::qWait(20);
        QVERIFY(!Form3->isVisible());
        delete edit;
    }

    // With a Cyrillic layout the key marked C gives "с"; the shortcut names the key,
    // so Ctrl on that key still opens the client base. Other keys stay what they are.
    void ctrlOnTheKeyMarkedCWorksWithACyrillicLayout() {
        auto* edit = new QLineEdit(Form6);
        Form6->setActiveControl(edit);
        Form6->setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(Form6));
        QTRY_COMPARE(QApplication::focusWidget(), edit);
        const auto press = [&](Qt::Key key, const QString& text, quint32 scanCode) {
            QKeyEvent override(QEvent::ShortcutOverride, key, Qt::ControlModifier, scanCode, 0, 0, text);
            QApplication::sendEvent(edit, &override);
            QKeyEvent down(QEvent::KeyPress, key, Qt::ControlModifier, scanCode, 0, 0, text);
            QApplication::sendEvent(edit, &down);
        };
        press(Qt::Key(0x43C), QStringLiteral("м"), 55); // the key marked V: no shortcut
        QVERIFY(!Form3->isVisible());
        press(Qt::Key(0x441), QStringLiteral("с"), 54); // the key marked C
        QTRY_VERIFY(Form3->isVisible());
        Form3->setVisibleFlag(false);
        delete edit;
    }

    void ctrlCDoesNothingWhileAModalWindowIsOpen() {
        bool shownMeanwhile = true;
        QString typed;
        auto answer = TestSupport::answerNextModal([&](QWidget* modal) {
            auto* edit = modal->findChild<QLineEdit*>();
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
            shownMeanwhile = Form3->isVisible();
            static_cast<QDialog*>(modal)->accept();
        });
        QDialog dialog;
        auto* edit = new QLineEdit(&dialog);
        (new QVBoxLayout(&dialog))->addWidget(edit);
        dialog.exec();
        QVERIFY(answer->answered);
        QVERIFY(!shownMeanwhile);
        QVERIFY(!Form3->isVisible());
    }

    // Last: it ends the program's event loop for good.
    void letterOfExitOnTheBarEndsTheProgram() {
        QVERIFY(!Application->Terminated());
        QTest::keyClick(Form1, Qt::Key_F10);
        QTRY_COMPARE(Form1->MainMenu1->activeAction(), Form1->N1);
        TestSupport::typeText(Form1->MainMenu1, QStringLiteral("в"));
        QVERIFY(Application->Terminated());
        QVERIFY(Form1->isVisible()); // no question, no hiding: the exit sequence follows
    }
};

KARTOTEKA_TEST_MAIN(TestMainMenu)
#include "test_main_menu.moc"
