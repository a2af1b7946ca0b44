// Errors raised inside the window base's own handlers (show, hide, close,
// activation) reach the application error report and the
// program goes on; none unwinds through the toolkit's frames, which would end
// the program.
#include "Exception.h"
#include "StubForms.h"
#include "TApplication.h"
#include "TestSupport.h"

#include <QTest>
#include <memory>

namespace {

// A window whose handlers fail on request, like a handler that meets an error.
struct FailingForm : StubForm6 {
    QString failIn;
    int hides = 0;
    void fail(const char* handler) {
        if (failIn == QLatin1String(handler))
            throw Exception(QStringLiteral("%1 failed").arg(QLatin1String(handler)));
    }
    void FormShow() override { fail("show"); }
    void FormHide() override {
        ++hides;
        fail("hide");
    }
    void FormActivate() override { fail("activate"); }
};

} // namespace

class TestHandlerErrors : public QObject {
    Q_OBJECT
private slots:
    void init() {
        reports.clear();
        Application->setErrorPresenter([this](const QString& text) { reports << text; });
    }
    void cleanup() { Application->setErrorPresenter({}); }

    void showHideCloseAndActivationErrorsAreReported() {
        auto other = std::make_unique<StubForm3>();
        other->setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(other.get()));
        FailingForm form;

        // The show handler fails: reported, and the window is shown all the same.
        form.failIn = QStringLiteral("show");
        form.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(reports, QStringList{QStringLiteral("show failed.")});
        QVERIFY(form.isVisible());
        QVERIFY(QTest::qWaitForWindowActive(&form));

        // The activate handler fails while the other window is activated and back.
        form.failIn = QStringLiteral("activate");
        other->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(other.get()));
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(reports.size(), 2);
        QCOMPARE(reports.last(), QStringLiteral("activate failed."));

        // Closing runs the hide handler, which fails: the window is hidden,
        // the error reported, and the other window is active again.
        form.failIn = QStringLiteral("hide");
        QVERIFY(!form.close()); // a close is always turned into a hide
        QVERIFY(!form.isVisible());
        QCOMPARE(form.hides, 1);
        QCOMPARE(reports.size(), 3);
        QCOMPARE(reports.last(), QStringLiteral("hide failed."));
        QVERIFY(QTest::qWaitForWindowActive(other.get()));
        QVERIFY(!TForm::zOrder().contains(&form));

        // Shown again, nothing fails and nothing more is reported.
        form.failIn.clear();
        form.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(reports.size(), 3);
    }

private:
    QStringList reports;
};

KARTOTEKA_TEST_MAIN(TestHandlerErrors)
#include "test_handler_errors.moc"
