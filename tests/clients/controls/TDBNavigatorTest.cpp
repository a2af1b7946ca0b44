// The navigator bar on a real cursor: its size rule on the widget, which
// buttons are enabled in each cursor state, what each button does, the delete
// question and hints. The auto-repeat of Prior and Next: TDBNavigatorRepeatTest.
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

class TDBNavigatorTest : public QObject {
    Q_OBJECT

private slots:
    void newBarDefaults()
    {
        TDBNavigator nav;
        QCOMPARE(nav.VisibleButtons(), TButtonSet::all());
        QVERIFY(!nav.Flat());
        QVERIFY(nav.ConfirmDelete());
        QVERIFY(nav.Hints().isEmpty());
        QCOMPARE(nav.focusPolicy(), Qt::NoFocus);
        QCOMPARE(nav.FocusedButton(), nbFirst);
        for (int i = 0; i < NavigateBtnCount; ++i) {
            TNavButton* b = nav.Button(TNavigateBtn(i));
            QCOMPARE(int(b->Index()), i);
            QCOMPARE(b->focusPolicy(), Qt::NoFocus);
            QVERIFY(!b->isEnabled()); // no data source
            QCOMPARE(b->NumGlyphs(), 2);
            QVERIFY(!b->Glyph().isNull());
            QCOMPARE(b->AutoRepeat(), i == nbPrior || i == nbNext);
        }
        // Ten buttons of at least 20 pixels: the bar cuts its width to 24 each.
        QCOMPARE(nav.height(), 25);
        QCOMPARE(nav.width() % 10, 0);
        QCOMPARE(nav.ButtonWidth(), nav.width() / 10);
        nav.setFlat(true);
        for (int i = 0; i < NavigateBtnCount; ++i)
            QVERIFY(nav.Button(TNavigateBtn(i))->Flat());
    }

    void sizeRuleOnTheWidget()
    {
        QWidget host;
        host.resize(700, 100);
        auto* nav = new TDBNavigator(&host);
        nav->setVisibleButtons({nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete});
        nav->SetBounds(8, 4, 520, 25);
        QCOMPARE(nav->geometry(), QRect(8, 4, 516, 25));
        QCOMPARE(nav->ButtonWidth(), 86);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(nav->Button(TNavigateBtn(i))->geometry(), QRect(86 * i, 0, 86, 25));
        QCOMPARE(nav->Button(nbEdit)->x(), 517);
        QVERIFY(!nav->Button(nbEdit)->isVisibleTo(nav));

        // A plain resize of a shown bar is corrected as well.
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        nav->resize(530, 10);
        QCOMPARE(nav->size(), QSize(528, 18));
        QCOMPARE(nav->Button(nbDelete)->geometry(), QRect(440, 0, 88, 18));
        nav->resize(30, 30);
        QCOMPARE(nav->size(), QSize(120, 30));

        // The entry window's bar.
        nav->setVisibleButtons({nbInsert, nbCancel});
        nav->SetBounds(16, 0, 222, 25);
        QCOMPARE(nav->size(), QSize(222, 25));
        QCOMPARE(nav->Button(nbInsert)->geometry(), QRect(0, 0, 111, 25));
        QCOMPARE(nav->Button(nbCancel)->geometry(), QRect(111, 0, 111, 25));
        QVERIFY(nav->Button(nbCancel)->isVisible());
        QVERIFY(!nav->Button(nbFirst)->isVisible());

        // No visible button: the count is one.
        nav->setVisibleButtons({});
        nav->SetBounds(0, 0, 5, 5);
        QCOMPARE(nav->size(), QSize(20, 18));

        // An aligned bar keeps its width and spreads the remainder.
        nav->setVisibleButtons({nbFirst, nbPrior, nbNext});
        nav->setAligned(true);
        nav->SetBounds(0, 0, 100, 25);
        QCOMPARE(nav->width(), 100);
        QCOMPARE(nav->Button(nbFirst)->width(), 33);
        QCOMPARE(nav->Button(nbPrior)->geometry(), QRect(33, 0, 34, 25));
        QCOMPARE(nav->Button(nbNext)->geometry(), QRect(67, 0, 33, 25));
    }

    void glyphsAreDrawnWithoutTheirBackground()
    {
        QWidget host;
        host.resize(300, 60);
        auto* nav = new TDBNavigator(&host);
        nav->setFlat(true);
        nav->setVisibleButtons({nbFirst, nbNext});
        nav->SetBounds(0, 0, 80, 25);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        auto count = [](const QImage& image, QRgb colour) {
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    n += (image.pixel(x, y) & 0xffffff) == colour;
            return n;
        };
        TNavButton* first = nav->Button(nbFirst);
        QVERIFY(!first->isEnabled()); // no data source: the disabled image
        QImage image = first->grab().toImage();
        QCOMPARE(count(image, 0x808000), 0);
        QCOMPARE(count(image, 0x000000), 0);
        QVERIFY(count(image, 0x808080) > 5);
        first->setEnabled(true);
        image = first->grab().toImage();
        QCOMPARE(count(image, 0x808000), 0);
        QVERIFY(count(image, 0x000000) > 5);
        // The glyph stands in the middle of the button.
        QCOMPARE(image.pixel(image.width() / 2 - 2, image.height() / 2) & 0xffffff, QRgb(0));
    }

    void destroyedDataSourceIsCleared()
    {
        TestTable t(TestTable::Real);
        t.append(numbered(2));
        TTable table;
        setUpClientTable(&table);
        auto* source = new TDataSource;
        source->setDataSet(&table);
        TDBNavigator nav;
        nav.setDataSource(source);
        table.Open();
        QCOMPARE(enabledLetters(&nav), QStringLiteral("NLIDER"));
        delete source;
        QVERIFY(!nav.DataSource());
        QCOMPARE(enabledLetters(&nav), QString());
        nav.BtnClick(nbNext); // does nothing, no crash
        QVERIFY(table.Bof());
    }

    void hintsByPosition()
    {
        TDBNavigator nav;
        QCOMPARE(nav.Button(nbInsert)->Hint(), QStringLiteral("Insert record"));
        nav.setHints({"First", "Prior", "Next", "Last", "Delete record"});
        QCOMPARE(nav.Button(nbFirst)->Hint(), QStringLiteral("First"));
        QCOMPARE(nav.Button(nbInsert)->Hint(), QStringLiteral("Delete record"));
        QCOMPARE(nav.Button(nbDelete)->Hint(), QStringLiteral("Delete record"));
        QCOMPARE(nav.Button(nbRefresh)->Hint(), QStringLiteral("Refresh data"));
        nav.setHints(defaultNavigatorHints());
        QVERIFY(nav.Hints().isEmpty());
        QCOMPARE(nav.Button(nbFirst)->Hint(), QStringLiteral("First record"));
        // Hints are kept, never shown as tool tips.
        QVERIFY(nav.Button(nbFirst)->toolTip().isEmpty());
    }

    void enablingFollowsTheCursor()
    {
        TestTable t(TestTable::Real);
        t.append(numbered(3));
        Window w;
        QCOMPARE(enabledLetters(w.navigator), QString()); // closed table
        w.table.Open();
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("NLIDER"));
        w.table.Next();
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("FPNLIDER"));
        w.table.Last();
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("FPIDER"));
        w.table.Edit();
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("FPIDOCR"));
        w.table.Cancel();
        w.table.First();
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("NLIDER"));
        w.table.Prior(); // at the start already: nothing moves
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("NLIDER"));
        w.table.Insert();
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("NLIDOCR"));
        w.table.Cancel(); // reading the view again clears BOF
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("FPNLIDER"));
        // Disabling the bar disables everything; enabling brings it back.
        w.navigator->setEnabled(false);
        QCOMPARE(enabledLetters(w.navigator), QString());
        w.navigator->setEnabled(true);
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("FPNLIDER"));
        w.table.Close();
        QCOMPARE(enabledLetters(w.navigator), QString());
    }

    void enablingOnAnEmptyTable()
    {
        TestTable t(TestTable::Real);
        Window w;
        w.table.Open();
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("IER"));
        w.table.Insert();
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("IOCR"));
    }

    void enablingOnAReadOnlyTable()
    {
        TestTable t(TestTable::Fake);
        t.append(numbered(3));
        FakeEngine::instance().set_option("read_only_file", 1);
        Window w;
        w.table.Open();
        QVERIFY(!w.table.CanModify());
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("NL"));
        w.table.Next();
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("FPNL"));
        w.table.Last();
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("FP"));
    }

    void moveButtons()
    {
        TestTable t(TestTable::Real);
        t.append(numbered(4));
        Window w;
        w.show();
        w.table.Open();
        QStringList actions;
        w.navigator->BeforeAction = [&](TDBNavigator* s, TNavigateBtn k) {
            QCOMPARE(s, w.navigator);
            actions << QStringLiteral("before %1").arg(int(k));
        };
        w.navigator->OnClick = [&](TDBNavigator*, TNavigateBtn k) { actions << QStringLiteral("click %1").arg(int(k)); };
        clickButton(w.navigator, nbNext);
        QCOMPARE(w.surname(), QStringLiteral("R02"));
        QCOMPARE(actions, (QStringList{"before 2", "click 2"}));
        clickButton(w.navigator, nbLast);
        QCOMPARE(w.surname(), QStringLiteral("R04"));
        QVERIFY(w.table.Eof());
        clickButton(w.navigator, nbPrior);
        QCOMPARE(w.surname(), QStringLiteral("R03"));
        clickButton(w.navigator, nbFirst);
        QCOMPARE(w.surname(), QStringLiteral("R01"));
        QVERIFY(w.table.Bof());
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R01"));
        // A disabled button does not react.
        actions.clear();
        clickButton(w.navigator, nbPrior);
        QVERIFY(actions.isEmpty());
        // Pressing a button records it as the focused kind without taking the focus.
        QCOMPARE(w.navigator->FocusedButton(), nbFirst);
        clickButton(w.navigator, nbLast);
        QCOMPARE(w.navigator->FocusedButton(), nbLast);
        QVERIFY(!w.navigator->hasFocus());
        QVERIFY(!w.navigator->Button(nbLast)->hasFocus());
    }

    void editPostCancelRefreshButtons()
    {
        TestTable t(TestTable::Real);
        t.append(numbered(2));
        Window w;
        w.show();
        w.table.Open();
        clickButton(w.navigator, nbEdit);
        QCOMPARE(w.table.State(), dsEdit);
        QVERIFY(!w.edits[1]->isReadOnly());
        w.fields[1]->SetAsString(QStringLiteral("Изменён"));
        clickButton(w.navigator, nbPost);
        QCOMPARE(w.table.State(), dsBrowse);
        QCOMPARE(t.stored().at(0).at(1), QStringLiteral("Изменён"));
        QVERIFY(w.edits[1]->isReadOnly());

        clickButton(w.navigator, nbEdit);
        w.fields[1]->SetAsString(QStringLiteral("Забыть"));
        clickButton(w.navigator, nbCancel);
        QCOMPARE(w.table.State(), dsBrowse);
        QCOMPARE(w.surname(), QStringLiteral("Изменён"));
        QCOMPARE(w.edits[1]->text(), QStringLiteral("Изменён"));

        // After Last, Next finds nothing until Refresh reads the view again,
        // which also sees what another writer added meanwhile.
        clickButton(w.navigator, nbLast);
        QCOMPARE(w.surname(), QStringLiteral("R02"));
        t.append({client("9", "R09")});
        w.table.Next();
        QCOMPARE(w.surname(), QStringLiteral("R02"));
        QVERIFY(!w.navigator->Button(nbNext)->isEnabled());
        clickButton(w.navigator, nbRefresh);
        QVERIFY(w.navigator->Button(nbNext)->isEnabled());
        QCOMPARE(w.table.State(), dsBrowse);
        QVERIFY(!w.table.Eof());
        clickButton(w.navigator, nbNext);
        QCOMPARE(w.surname(), QStringLiteral("R09"));
    }

    void insertButtonTwiceLeavesNoEmptyRecord()
    {
        TestTable t(TestTable::Real);
        t.append(numbered(2));
        Window w;
        w.show();
        w.table.Open();
        clickButton(w.navigator, nbInsert);
        QCOMPARE(w.table.State(), dsInsert);
        clickButton(w.navigator, nbInsert);
        QCOMPARE(w.table.State(), dsInsert);
        clickButton(w.navigator, nbCancel);
        QCOMPARE(t.stored().size(), 2);

        // Insert, type, Insert: the first new record is posted, a second one starts.
        clickButton(w.navigator, nbInsert);
        w.edits[1]->setFocus();
        TestSupport::typeText(w.edits[1], QStringLiteral("Новый"));
        clickButton(w.navigator, nbInsert);
        QCOMPARE(w.table.State(), dsInsert);
        QCOMPARE(w.edits[1]->text(), QString());
        const auto stored = t.stored();
        QCOMPARE(stored.size(), 3);
        QCOMPARE(stored.at(0).at(1), QStringLiteral("Новый"));
    }

    void deleteAnswered_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("OK") << "OK" << true;
        QTest::newRow("Enter") << "Enter" << true;
        QTest::newRow("Cancel") << "Cancel" << false;
        QTest::newRow("Esc") << "Esc" << false;
        QTest::newRow("close box") << "close" << false;
    }
    void deleteAnswered()
    {
        QFETCH(QString, answer);
        QFETCH(bool, deleted);
        TestTable t(TestTable::Real);
        t.append(numbered(3));
        Window w;
        w.show();
        w.table.Open();
        w.table.Next();
        QString text, caption;
        auto reply = TestSupport::answerNextModal([&](QWidget* modal) {
            auto* form = qobject_cast<TMessageForm*>(modal);
            QVERIFY(form);
            caption = form->windowTitle();
            text = form->Message()->text();
            if (answer == "OK")
                QTest::mouseClick(form->findChild<QPushButton*>("OK"), Qt::LeftButton);
            else if (answer == "Cancel")
                QTest::mouseClick(form->findChild<QPushButton*>("Cancel"), Qt::LeftButton);
            else if (answer == "Enter")
                QTest::keyClick(form, Qt::Key_Return);
            else if (answer == "Esc")
                QTest::keyClick(form, Qt::Key_Escape);
            else
                form->close();
        });
        clickButton(w.navigator, nbDelete);
        QVERIFY(reply->answered);
        QVERIFY(!reply->timedOut);
        QCOMPARE(caption, QStringLiteral("Confirm"));
        QCOMPARE(text, QStringLiteral("Delete record?"));
        const auto stored = t.stored();
        QCOMPARE(stored.size(), deleted ? 2 : 3);
        if (deleted) {
            QCOMPARE(stored.at(1).at(1), QStringLiteral("R03"));
            QCOMPARE(w.surname(), QStringLiteral("R03"));
        } else {
            QCOMPARE(w.surname(), QStringLiteral("R02"));
        }
        QCOMPARE(w.table.State(), dsBrowse);
    }

    void deleteWithoutConfirmationAndDuringInsert()
    {
        TestTable t(TestTable::Real);
        t.append(numbered(2));
        Window w;
        w.show();
        w.table.Open();
        w.navigator->setConfirmDelete(false);
        // While a new record is typed, Delete drops it and deletes nothing stored.
        clickButton(w.navigator, nbInsert);
        w.fields[1]->SetAsString(QStringLiteral("Новый"));
        clickButton(w.navigator, nbDelete);
        QCOMPARE(w.table.State(), dsBrowse);
        QCOMPARE(t.stored().size(), 2);
        QCOMPARE(w.surname(), QStringLiteral("R01"));
        // Without the question the current record goes at once.
        clickButton(w.navigator, nbDelete);
        QCOMPARE(t.stored().size(), 1);
        clickButton(w.navigator, nbDelete);
        QCOMPARE(t.stored().size(), 0);
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("IER"));
    }

    void clickWithClosedTableOnlyCallsOnClick()
    {
        TestTable t(TestTable::Real);
        Window w;
        QStringList actions;
        w.navigator->BeforeAction = [&](TDBNavigator*, TNavigateBtn) { actions << "before"; };
        w.navigator->OnClick = [&](TDBNavigator*, TNavigateBtn) { actions << "click"; };
        w.navigator->BtnClick(nbInsert);
        QCOMPARE(actions, QStringList{"click"});
        QCOMPARE(w.table.State(), dsInactive);
    }

    void errorOfAnOperationReachesTheReport()
    {
        TestTable t(TestTable::Fake);
        t.append(numbered(2));
        Window w;
        w.show();
        w.table.Open();
        w.table.Insert();
        w.fields[1]->SetAsString(QStringLiteral("Новый"));
        FakeEngine::instance().fail("insert_record", 0x2F02, 1);
        TestSupport::ErrorReports reports;
        clickButton(w.navigator, nbNext);
        QCOMPARE(reports.messages.size(), 1);
        QCOMPARE(w.table.State(), dsInsert); // the post was refused: the new record stays
        QCOMPARE(enabledLetters(w.navigator), QStringLiteral("NLIDOCR"));
    }

};

KARTOTEKA_TEST_MAIN(TDBNavigatorTest)
#include "TDBNavigatorTest.moc"
