#include "StubForms.h"
#include "TestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

// Where windows open at their first show, and that they keep their place after.
class TestWindowPlacement : public QObject {
    Q_OBJECT
private slots:
    void firstShowOn1024x768_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("client base, screen centre") << 3 << QPoint(212, 218);
        QTest::newRow("client entry, screen centre") << 4 << QPoint(212, 234);
        QTest::newRow("authorship, desktop centre, no frame") << 5 << QPoint(225, 123);
        QTest::newRow("subordination test, as designed") << 6 << QPoint(185, 209);
        QTest::newRow("weaknesses test, as designed") << 7 << QPoint(223, 258);
    }
    void firstShowOn1024x768() {
        QFETCH(int, which);
        QFETCH(QPoint, expected);
        std::unique_ptr<TForm> form = make(which);
        form->setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(form->frameGeometry().topLeft(), expected);
        // The rule is used once and then becomes "as designed".
        QCOMPARE(form->position(), TPosition::poDesigned);
    }

    void largerThanTheScreenGoesToZero_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<QSize>("outer");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("screen centre, too wide")
            << int(TPosition::poScreenCenter) << QSize(1100, 400) << QPoint(0, 184);
        QTest::newRow("screen centre, too tall")
            << int(TPosition::poScreenCenter) << QSize(600, 800) << QPoint(212, 0);
        QTest::newRow("desktop centre, too big both ways")
            << int(TPosition::poDesktopCenter) << QSize(1300, 900) << QPoint(0, 0);
    }
    void largerThanTheScreenGoesToZero() {
        QFETCH(int, position);
        QFETCH(QSize, outer);
        QFETCH(QPoint, expected);
        StubForm form("Big", "Big", TBorderStyle::bsSizeable, TPosition(position));
        form.setDesignedBounds(300, 300, outer.width(), outer.height());
        form.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.frameGeometry().topLeft(), expected);
    }

    void movedClosedAndReopenedComesBackWhereItWas() {
        StubForm3 form;
        form.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.frameGeometry().topLeft(), QPoint(212, 218));
        form.move(40, 60);
        QTRY_COMPARE(form.frameGeometry().topLeft(), QPoint(40, 60));
        form.Close();
        QVERIFY(!form.isVisible());
        form.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.frameGeometry().topLeft(), QPoint(40, 60));
    }

    void showingAVisibleCoveredWindowDoesNothing() {
        StubForm5 covered;
        StubForm6 front;
        covered.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(&covered));
        front.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(&front));
        const QPoint place = covered.frameGeometry().topLeft();
        QCOMPARE(TForm::zOrder().value(0), &front);

        covered.setVisibleFlag(true);
        QTest::qWait(50);
        QCOMPARE(QApplication::activeWindow(), &front);
        QCOMPARE(TForm::zOrder().value(0), &front);
        QCOMPARE(covered.frameGeometry().topLeft(), place);
    }

    void minimizedWindowIsNotRestoredByShowing() {
        StubForm7 form;
        form.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(form.windowState() & Qt::WindowMinimized);
        form.setVisibleFlag(true);
        QTest::qWait(20);
        QVERIFY(form.windowState() & Qt::WindowMinimized);
    }

    void hidingActivatesTheFrontMostOtherWindow() {
        StubForm3 back;
        StubForm6 middle;
        StubForm7 front;
        back.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(&back));
        middle.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(&middle));
        front.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(&front));
        front.Close();
        QTRY_COMPARE(QApplication::activeWindow(), &middle);
        // A hidden window is skipped; the next one in front is taken.
        middle.setVisibleFlag(false);
        QTRY_COMPARE(QApplication::activeWindow(), &back);
    }

    void activeControlGetsTheFocusOnActivation() {
        StubForm3 form;
        auto* first = new QLineEdit(&form);
        first->setObjectName(QStringLiteral("EditDBEdit1"));
        first->setGeometry(10, 10, 100, 20);
        auto* stored = new QLineEdit(&form);
        stored->setObjectName(QStringLiteral("EditDBEdit2"));
        stored->setGeometry(10, 40, 100, 20);
        form.setActiveControl(stored);
        form.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTRY_COMPARE(QApplication::focusWidget(), stored);

        // Leaving and coming back keeps the control last focused.
        first->setFocus();
        QCOMPARE(form.activeControl(), first);
        StubForm6 other;
        other.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTRY_COMPARE(QApplication::focusWidget(), first);
    }

    void tabAndArrowKeysMoveTheFocus() {
        StubForm6 form;
        QPushButton* buttons[3];
        for (int i = 0; i < 3; ++i) {
            buttons[i] = new QPushButton(QStringLiteral("B%1").arg(i), &form);
            buttons[i]->setObjectName(QStringLiteral("Button%1").arg(i + 1));
            buttons[i]->setGeometry(10, 10 + 30 * i, 80, 25);
        }
        // The middle one is no tab stop: Tab skips it, arrows do not.
        buttons[1]->setFocusPolicy(Qt::ClickFocus);
        form.setActiveControl(buttons[0]);
        form.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTRY_COMPARE(QApplication::focusWidget(), buttons[0]);

        QTest::keyClick(buttons[0], Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), buttons[2]);
        QTest::keyClick(buttons[2], Qt::Key_Tab); // wraps to the first
        QCOMPARE(QApplication::focusWidget(), buttons[0]);
        QTest::keyClick(buttons[0], Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), buttons[2]);
        QTest::keyClick(buttons[2], Qt::Key_Tab, Qt::ControlModifier); // not with Ctrl
        QCOMPARE(QApplication::focusWidget(), buttons[2]);

        QTest::keyClick(buttons[2], Qt::Key_Up);
        QCOMPARE(QApplication::focusWidget(), buttons[1]);
        QTest::keyClick(buttons[1], Qt::Key_Left);
        QCOMPARE(QApplication::focusWidget(), buttons[0]);
        QTest::keyClick(buttons[0], Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), buttons[1]);
        QTest::keyClick(buttons[1], Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), buttons[2]);
    }

    void textHeightScaling() {
        // The designed font ("MS Sans Serif" 8 pt) is 13 pixels high: no scaling.
        StubForm6 plain;
        auto* label = new QPushButton(&plain);
        label->setObjectName(QStringLiteral("Button1"));
        label->setGeometry(10, 20, 100, 26);
        QCOMPARE(QFontMetrics(plain.font()).height(), 13);
        QCOMPARE(plain.ScaleForTextHeight(), 1.0);
        QCOMPARE(label->geometry(), QRect(10, 20, 100, 26));

        // A font twice as high scales the controls and the client size.
        StubForm6 big;
        QFont font(QStringLiteral("Liberation Serif"));
        font.setPixelSize(22);
        big.setFont(font);
        const int h = QFontMetrics(font).height();
        QVERIFY(h != 13);
        auto* button = new QPushButton(&big);
        button->setObjectName(QStringLiteral("Button1"));
        button->setGeometry(13, 26, 130, 39);
        const QSize client = big.size();
        const double factor = big.ScaleForTextHeight();
        QCOMPARE(factor, h / 13.0);
        QCOMPARE(button->geometry(),
                 QRect(qRound(13 * factor), qRound(26 * factor), qRound(130 * factor),
                       qRound(39 * factor)));
        QCOMPARE(big.size(), QSize(qRound(client.width() * factor), qRound(client.height() * factor)));
        // Applied once only.
        QCOMPARE(big.ScaleForTextHeight(), 1.0);
    }

private:
    static std::unique_ptr<TForm> make(int which) {
        switch (which) {
        case 3: return std::make_unique<StubForm3>();
        case 4: return std::make_unique<StubForm4>();
        case 5: return std::make_unique<StubForm5>();
        case 6: return std::make_unique<StubForm6>();
        default: return std::make_unique<StubForm7>();
        }
    }
};

KARTOTEKA_TEST_MAIN(TestWindowPlacement)
#include "test_window_placement.moc"
