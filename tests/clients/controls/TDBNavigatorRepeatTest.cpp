// The auto-repeat of the navigator bar's Prior and Next while a button is
// held, on a clock the test moves by hand.
#include "ControlsTestWindow.h"
#include "CursorTestSupport.h"
#include "NavigatorTestKit.h"
#include "TMessageForm.h"
#include "TNavButton.h"
#include "TestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <algorithm>

using namespace CursorTest;
using namespace ControlsTest;
using namespace NavigatorTest;

namespace {

// A clock that the test moves by hand, and repeat timers that run on it.
class ManualClock {
public:
    class Timer : public TRepeatTimer {
    public:
        explicit Timer(ManualClock* clock) : clock_(clock) {}
        void start(int ms) override { interval_ = ms; active_ = true; due_ = clock_->now + ms; ++clock_->starts; }
        void setInterval(int ms) override
        {
            interval_ = ms;
            if (active_)
                due_ = clock_->now + ms; // a running timer restarts with the new interval
        }
        void stop() override { active_ = false; }
        bool isActive() const override { return active_; }
        int interval() const override { return interval_; }
        ManualClock* clock_;
        int interval_ = 0;
        bool active_ = false;
        long due_ = 0;
    };

    long now = 0;
    int starts = 0;
    std::vector<Timer*> timers;

    TRepeatTimerFactory factory()
    {
        return [this] {
            auto t = std::make_unique<Timer>(this);
            timers.push_back(t.get());
            return std::unique_ptr<TRepeatTimer>(std::move(t));
        };
    }
    // Moves the time on by ms, firing every tick that falls due on the way.
    void advance(long ms)
    {
        const long end = now + ms;
        for (;;) {
            Timer* next = nullptr;
            for (Timer* t : timers)
                if (t->active_ && t->due_ <= end && (!next || t->due_ < next->due_))
                    next = t;
            if (!next)
                break;
            now = next->due_;
            next->due_ = now + next->interval_;
            if (next->onTick)
                next->onTick();
        }
        now = end;
    }
};

} // namespace

class TDBNavigatorRepeatTest : public QObject {
    Q_OBJECT

private slots:
    void holdingNextRepeats()
    {
        TestTable t(TestTable::Real);
        t.append(numbered(12));
        Window w;
        ManualClock clock;
        w.navigator->setRepeatTimerFactory(clock.factory());
        w.show();
        w.table.Open();
        TNavButton* next = w.navigator->Button(nbNext);
        QTest::mousePress(next, Qt::LeftButton, Qt::NoModifier, next->rect().center());
        QCOMPARE(w.surname(), QStringLiteral("R01")); // a press alone does not move
        clock.advance(399);
        QCOMPARE(w.surname(), QStringLiteral("R01"));
        clock.advance(1);
        QCOMPARE(w.surname(), QStringLiteral("R02")); // first step at 400 ms
        clock.advance(650);                           // 1050 ms after the press
        QCOMPARE(w.surname(), QStringLiteral("R08")); // 400, 500, ..., 1000: seven steps
        QTest::mouseRelease(next, Qt::LeftButton, Qt::NoModifier, next->rect().center());
        QCOMPARE(w.surname(), QStringLiteral("R09")); // and one at release
        QVERIFY(!next->RepeatTimer()->isActive());
        clock.advance(1000);
        QCOMPARE(w.surname(), QStringLiteral("R09"));

        // Prior repeats the same way, with a timer of its own.
        TNavButton* prior = w.navigator->Button(nbPrior);
        QTest::mousePress(prior, Qt::LeftButton, Qt::NoModifier, prior->rect().center());
        clock.advance(600);
        QTest::mouseRelease(prior, Qt::LeftButton, Qt::NoModifier, prior->rect().center());
        QCOMPARE(w.surname(), QStringLiteral("R05")); // 400, 500, 600 and the release
        QVERIFY(prior->RepeatTimer() != next->RepeatTimer());
    }

    void repeatStopsAtTheEnd()
    {
        TestTable t(TestTable::Real);
        t.append(numbered(4));
        Window w;
        ManualClock clock;
        w.navigator->setRepeatTimerFactory(clock.factory());
        w.show();
        w.table.Open();
        TNavButton* next = w.navigator->Button(nbNext);
        QTest::mousePress(next, Qt::LeftButton, Qt::NoModifier, next->rect().center());
        clock.advance(700); // 400: R02, 500: R03, 600: R04, 700: finds the end
        QCOMPARE(w.surname(), QStringLiteral("R04"));
        QVERIFY(w.table.Eof());
        QVERIFY(!next->isEnabled());
        QVERIFY(!next->RepeatTimer()->isActive());
        clock.advance(1000);
        QTest::mouseRelease(next, Qt::LeftButton, Qt::NoModifier, next->rect().center());
        QCOMPARE(w.surname(), QStringLiteral("R04"));
    }

    void noRepeatWhileThePointerIsOff()
    {
        TestTable t(TestTable::Real);
        t.append(numbered(12));
        Window w;
        ManualClock clock;
        w.navigator->setRepeatTimerFactory(clock.factory());
        w.show();
        w.table.Open();
        TNavButton* next = w.navigator->Button(nbNext);
        QTest::mousePress(next, Qt::LeftButton, Qt::NoModifier, next->rect().center());
        clock.advance(500); // R03
        QCOMPARE(w.surname(), QStringLiteral("R03"));
        QTest::mouseMove(next, QPoint(next->width() + 30, next->height() / 2));
        QVERIFY(!next->isDown());
        clock.advance(500);
        QCOMPARE(w.surname(), QStringLiteral("R03"));
        QTest::mouseMove(next, next->rect().center());
        QVERIFY(next->isDown());
        clock.advance(200); // ticks click again once the pointer is back
        QCOMPARE(w.surname(), QStringLiteral("R05"));
        // Released off the button: no click at release.
        QTest::mouseMove(next, QPoint(-30, next->height() / 2));
        QTest::mouseRelease(next, Qt::LeftButton, Qt::NoModifier, QPoint(-30, next->height() / 2));
        QCOMPARE(w.surname(), QStringLiteral("R05"));
        QVERIFY(!next->RepeatTimer()->isActive());
    }

    // A report ends a press: the timer stops before the report runs, the
    // button is no longer held afterwards, and a press that was still on
    // its way when a report came (the box losing the focus to the click
    // failed to write) never starts to hold or repeat.
    void aReportEndsThePress()
    {
        TestTable t(TestTable::Fake);
        t.append(numbered(5));
        FakeEngine::instance().set_option("constraints", 1);
        Window w;
        ManualClock clock;
        w.navigator->setRepeatTimerFactory(clock.factory());
        w.show();
        w.table.Open();
        w.table.Insert();
        w.fields[1]->SetAsString(QStringLiteral("Новый"));
        FakeEngine::instance().fail("insert_record", 0x2F02, 1);
        TNavButton* next = w.navigator->Button(nbNext);
        bool activeWhenReported = true;
        TestSupport::ErrorReports reports;
        Application->setErrorPresenter([&](const QString& m) {
            reports.messages << m;
            activeWhenReported = next->RepeatTimer() && next->RepeatTimer()->isActive();
        });
        QTest::mousePress(next, Qt::LeftButton, Qt::NoModifier, next->rect().center());
        clock.advance(450);
        QCOMPARE(reports.messages.size(), 1);
        QVERIFY(!activeWhenReported);
        QVERIFY(!next->RepeatTimer()->isActive());
        QVERIFY(!next->isMouseCaptured());
        QTest::mouseRelease(next, Qt::LeftButton, Qt::NoModifier, next->rect().center());
        QCOMPARE(w.table.State(), dsInsert); // the release clicks nothing

        // A panel around the bar that takes the focus on a click: the box
        // with the typed letter loses it, and its write fails.
        w.host.setFocusPolicy(Qt::ClickFocus);
        w.edits[2]->setFocus();
        TestSupport::typeText(w.edits[2], QStringLiteral("Q"));
        FakeEngine::instance().fail("verify_field", 0x2F03, 5);
        QTest::mousePress(next, Qt::LeftButton, Qt::NoModifier, next->rect().center());
        QCOMPARE(reports.messages.size(), 2);
        QVERIFY(!next->isMouseCaptured());
        clock.advance(1000);
        QTest::mouseRelease(next, Qt::LeftButton, Qt::NoModifier, next->rect().center());
        QCOMPARE(reports.messages.size(), 2);
        QCOMPARE(w.table.State(), dsInsert);
    }
};

KARTOTEKA_TEST_MAIN(TDBNavigatorRepeatTest)
#include "TDBNavigatorRepeatTest.moc"
