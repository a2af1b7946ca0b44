#include "StubForms.h"
#include "TMessageForm.h"
#include "TestSupport.h"

#include <QScreen>
#include <QTest>

// Two monitors: the primary 1024 x 768 at (0, 0) and a 1280 x 1024 one to its right.
// A window about to be shown moves to the monitor of the program's active window.
class TestMonitorRule : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QCOMPARE(QGuiApplication::screens().size(), 2);
        QCOMPARE(QGuiApplication::screens()[1]->geometry(), QRect(1024, 0, 1280, 1024));
    }

    void screenCentredWindowCentresOnTheActiveWindowsMonitor() {
        StubForm anchor("Anchor", "Anchor", TBorderStyle::bsSizeable, TPosition::poDesigned);
        anchor.setDesignedBounds(1100, 100, 300, 200);
        anchor.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(&anchor));
        StubForm3 form; // 600 x 331
        form.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.frameGeometry().topLeft(), QPoint(1024 + (1280 - 600) / 2, (1024 - 331) / 2));
    }

    void otherWindowsShiftAndArePulledBackInside() {
        StubForm anchor("Anchor", "Anchor", TBorderStyle::bsSizeable, TPosition::poDesigned);
        anchor.setDesignedBounds(1100, 100, 300, 200);
        anchor.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(&anchor));

        StubForm6 fits; // (185, 209), 626 x 343: shifted by the monitors' offset
        fits.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(&fits));
        QCOMPARE(fits.frameGeometry().topLeft(), QPoint(185 + 1024, 209));

        // Back the other way: the active window on the primary monitor, a
        // window near the far corner of the second one.
        anchor.setVisibleFlag(false);
        fits.setVisibleFlag(false);
        QTRY_VERIFY(!QApplication::activeWindow());
        StubForm home("Home", "Home", TBorderStyle::bsSizeable, TPosition::poDesigned);
        home.setDesignedBounds(100, 100, 300, 200);
        home.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(&home));
        QCOMPARE(home.frameGeometry().topLeft(), QPoint(100, 100));
        StubForm corner("Corner", "Corner", TBorderStyle::bsSizeable, TPosition::poDesigned);
        corner.setDesignedBounds(2000, 800, 400, 300);
        corner.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(&corner));
        // Shifted to (976, 800), it would pass 1024 and 768: pulled back left and up.
        QCOMPARE(corner.frameGeometry().topLeft(), QPoint(1024 - 400, 768 - 300));
    }

    void nothingMovesWithoutAnActiveWindowOrOnTheSameMonitor() {
        StubForm6 alone;
        QVERIFY(!QApplication::activeWindow());
        alone.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(&alone));
        QCOMPARE(alone.frameGeometry().topLeft(), QPoint(185, 209));

        StubForm7 same; // the active window is on the primary monitor too
        same.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(&same));
        QCOMPARE(same.frameGeometry().topLeft(), QPoint(223, 258));
    }

    void desktopCentreUsesTheWholeDesktop() {
        QTRY_VERIFY(!QApplication::activeWindow());
        StubForm5 form; // 574 x 521, no frame
        form.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.frameGeometry().topLeft(), QPoint((2304 - 574) / 2, (1024 - 521) / 2));
    }

    void messageDialogOpensOnTheActiveWindowsMonitor() {
        StubForm anchor("Anchor", "Anchor", TBorderStyle::bsSizeable, TPosition::poDesigned);
        anchor.setDesignedBounds(1100, 100, 300, 200);
        anchor.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(&anchor));
        auto dialog = CreateMessageDialog(QStringLiteral("Delete record?"),
                                          TMsgDlgType::mtConfirmation, mbOK | mbCancel);
        const QSize outer = dialog->size() + TForm::frameExtraFor(TBorderStyle::bsDialog);
        QCOMPARE(dialog->pos(),
                 QPoint(1024 + (1280 - outer.width()) / 2, (1024 - outer.height()) / 2));
    }
};

KARTOTEKA_TEST_MAIN(TestMonitorRule)
#include "test_monitor_rule.moc"
