// The password dialog: its layout, the enabling of its buttons, and what its
// buttons do to the session's password list.
#include "CursorTestSupport.h"
#include "TPasswordDialog.h"
#include "TSession.h"
#include "TestSupport.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using namespace CursorTest;

class TestTPasswordDialog : public QObject {
    Q_OBJECT
    FakeEngine& fake = FakeEngine::instance();
    std::unique_ptr<TestTable> table_;

private slots:
    void init() {
        table_ = std::make_unique<TestTable>(TestTable::Fake);
        TSession::Default().Start();
        fake.clear_log();
    }
    void cleanup() { table_.reset(); }

    void layout() {
        TPasswordDialog d(TSession::Default());
        QCOMPARE(d.windowTitle(), QStringLiteral("Enter password"));
        QCOMPARE(d.size(), QSize(273, 132));
        QCOMPARE(d.GroupBox1->geometry(), QRect(8, 8, 257, 81));
        QCOMPARE(d.GroupBox1->title(), QStringLiteral("Password"));
        QCOMPARE(d.Edit->parentWidget(), d.GroupBox1);
        QCOMPARE(d.Edit->geometry(), QRect(16, 18, 225, 20));
        QCOMPARE(d.Edit->echoMode(), QLineEdit::Password);
        QCOMPARE(d.AddButton->geometry(), QRect(16, 46, 65, 25));
        QCOMPARE(d.AddButton->text(), QStringLiteral("&Add"));
        QCOMPARE(d.RemoveButton->geometry(), QRect(88, 46, 65, 25));
        QCOMPARE(d.RemoveButton->text(), QStringLiteral("&Remove"));
        QCOMPARE(d.RemoveAllButton->geometry(), QRect(160, 46, 81, 25));
        QCOMPARE(d.RemoveAllButton->text(), QStringLiteral("Re&move all"));
        QCOMPARE(d.OKButton->geometry(), QRect(109, 98, 75, 25));
        QCOMPARE(d.OKButton->text(), QStringLiteral("&OK"));
        QVERIFY(d.OKButton->isDefault());
        QCOMPARE(d.CancelButton->geometry(), QRect(190, 98, 75, 25));
        QCOMPARE(d.CancelButton->text(), QStringLiteral("Cancel"));
        QVERIFY(!d.OKButton->isEnabled());
        QVERIFY(!d.AddButton->isEnabled());
        QVERIFY(!d.RemoveButton->isEnabled());
        QVERIFY(d.RemoveAllButton->isEnabled());
        QVERIFY(d.CancelButton->isEnabled());
        QVERIFY(d.isModal());
        // Tab order: Edit, Add, Remove, Remove all, OK, Cancel.
        QCOMPARE(d.Edit->nextInFocusChain(), d.AddButton);
        QCOMPARE(d.AddButton->nextInFocusChain(), d.RemoveButton);
        QCOMPARE(d.RemoveButton->nextInFocusChain(), d.RemoveAllButton);
        QCOMPARE(d.RemoveAllButton->nextInFocusChain(), d.OKButton);
        QCOMPARE(d.OKButton->nextInFocusChain(), d.CancelButton);
    }

    void centredWithTheFocusInEdit() {
        TPasswordDialog d(TSession::Default());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(qAbs(d.geometry().center().x() - screen.center().x()) <= 2); // centred
        QVERIFY(qAbs(d.geometry().center().y() - screen.center().y()) <= 2);
        QTRY_COMPARE(QApplication::focusWidget(), d.Edit);
    }

    void buttonsFollowTheText() {
        TPasswordDialog d(TSession::Default());
        d.Edit->setText(QStringLiteral("x"));
        QVERIFY(d.AddButton->isEnabled());
        QVERIFY(d.RemoveButton->isEnabled());
        QVERIFY(d.OKButton->isEnabled());
        d.Edit->clear();
        QVERIFY(!d.AddButton->isEnabled());
        QVERIFY(!d.RemoveButton->isEnabled());
        QVERIFY(!d.OKButton->isEnabled());
        // Once a password was added, OK stays enabled with an empty box.
        d.Edit->setText(QStringLiteral("один"));
        d.AddButton->click();
        QCOMPARE(d.Edit->text(), QString());
        QVERIFY(d.OKButton->isEnabled());
        QVERIFY(!d.AddButton->isEnabled());
        QVERIFY(fake.log().contains(QStringLiteral("add_password один")));
        QCOMPARE(fake.password_count(), 1);
    }

    void removeAndRemoveAll() {
        TPasswordDialog d(TSession::Default());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.Edit->setText(QStringLiteral("а"));
        d.AddButton->click();
        d.Edit->setText(QStringLiteral("б"));
        d.AddButton->click();
        QCOMPARE(fake.password_count(), 2);
        d.Edit->setText(QStringLiteral("а"));
        d.RemoveButton->click();
        QCOMPARE(d.Edit->text(), QString());
        QCOMPARE(fake.password_count(), 1);
        QVERIFY(fake.log().contains(QStringLiteral("drop_password а")));
        d.RemoveAllButton->click();
        QCOMPARE(fake.password_count(), 0);
        QVERIFY(fake.log().contains(QStringLiteral("drop_password (all)")));
        QTRY_COMPARE(QApplication::focusWidget(), d.Edit);
    }

    void okAddsTheTypedPasswordAndReturnsOne() {
        TPasswordDialog d(TSession::Default());
        auto answer = TestSupport::answerNextModal([&d](QWidget*) {
            TestSupport::typeText(d.Edit, QStringLiteral("ключ"));
            d.OKButton->click();
        });
        QCOMPARE(d.exec(), 1);
        QVERIFY(answer->answered);
        QVERIFY(fake.log().contains(QStringLiteral("add_password ключ")));
    }

    void okWithAnEmptyBoxAddsNothing() {
        TPasswordDialog d(TSession::Default());
        d.Edit->setText(QStringLiteral("раз"));
        d.AddButton->click();
        fake.clear_log();
        d.OKButton->click();
        QCOMPARE(d.result(), 1);
        QVERIFY(fake.log().filter(QStringLiteral("add_password")).isEmpty());
    }

    void cancelEscapeAndCloseBoxReturnTwo_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel button") << 0;
        QTest::newRow("Esc") << 1;
        QTest::newRow("close box") << 2;
    }
    void cancelEscapeAndCloseBoxReturnTwo() {
        QFETCH(int, how);
        TPasswordDialog d(TSession::Default());
        auto answer = TestSupport::answerNextModal([&d, how](QWidget*) {
            TestSupport::typeText(d.Edit, QStringLiteral("zz"));
            if (how == 0)
                d.CancelButton->click();
            else if (how == 1)
                QTest::keyClick(d.Edit, Qt::Key_Escape);
            else
                d.close();
        });
        QCOMPARE(d.exec(), 2);
        QVERIFY(answer->answered);
        QCOMPARE(fake.password_count(), 0);
    }
};

KARTOTEKA_TEST_MAIN(TestTPasswordDialog)
#include "test_TPasswordDialog.moc"
