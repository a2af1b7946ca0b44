#include "NavigatorRules.h"

#include <QTest>

// The navigator bar's size rule, layout, enabling rules and hints.
class NavigatorRulesTest : public QObject {
    Q_OBJECT

    static QList<int> xs(const NavigatorRules::Layout& l, TButtonSet visible)
    {
        QList<int> r;
        for (int i = 0; i < NavigateBtnCount; ++i)
            if (visible.contains(TNavigateBtn(i)))
                r << l.buttons[i].x();
        return r;
    }
    static QList<int> widths(const NavigatorRules::Layout& l, TButtonSet visible)
    {
        QList<int> r;
        for (int i = 0; i < NavigateBtnCount; ++i)
            if (visible.contains(TNavigateBtn(i)))
                r << l.buttons[i].width();
        return r;
    }

private slots:
    void baseWindowBarGivesSixButtonsOf86()
    {
        const TButtonSet visible{nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete};
        const auto l = NavigatorRules::layout({516, 25}, visible, false);
        QCOMPARE(l.size, QSize(516, 25));
        QCOMPARE(l.buttonWidth, 86);
        QCOMPARE(xs(l, visible), (QList<int>{0, 86, 172, 258, 344, 430}));
        QCOMPARE(widths(l, visible), (QList<int>{86, 86, 86, 86, 86, 86}));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(l.buttons[i].height(), 25);
        // Hidden buttons are parked just outside the bar.
        for (TNavigateBtn k : {nbEdit, nbPost, nbCancel, nbRefresh}) {
            QCOMPARE(l.buttons[k].x(), 517);
            QCOMPARE(l.buttons[k].width(), 86);
        }
    }

    void entryWindowBarGivesTwoButtonsOf111()
    {
        const TButtonSet visible{nbInsert, nbCancel};
        const auto l = NavigatorRules::layout({222, 25}, visible, false);
        QCOMPARE(l.buttonWidth, 111);
        QCOMPARE(l.buttons[nbInsert], QRect(0, 0, 111, 25));
        QCOMPARE(l.buttons[nbCancel], QRect(111, 0, 111, 25));
        QCOMPARE(l.buttons[nbFirst].x(), 223);
        QCOMPARE(l.buttons[nbDelete].x(), 223);
    }

    void widthIsCutToAMultipleOfTheCount()
    {
        const TButtonSet six{nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete};
        QCOMPARE(NavigatorRules::sizeRule({520, 25}, six, false), QSize(516, 25));
        QCOMPARE(NavigatorRules::sizeRule({521, 30}, six, false), QSize(516, 30));
        QCOMPARE(NavigatorRules::sizeRule({241, 25}, TButtonSet::all(), false), QSize(240, 25));
        // An aligned bar keeps its width.
        QCOMPARE(NavigatorRules::sizeRule({520, 25}, six, true), QSize(520, 25));
    }

    void minimumSizes()
    {
        const TButtonSet six{nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete};
        QCOMPARE(NavigatorRules::sizeRule({50, 5}, six, false), QSize(120, 18));
        QCOMPARE(NavigatorRules::sizeRule({119, 17}, six, true), QSize(120, 18));
        QCOMPARE(NavigatorRules::sizeRule({0, 0}, TButtonSet::all(), false), QSize(200, 18));
        const auto l = NavigatorRules::layout({10, 10}, {nbInsert, nbCancel}, false);
        QCOMPARE(l.size, QSize(40, 18));
        QCOMPARE(l.buttons[nbCancel], QRect(20, 0, 20, 18));
    }

    void noVisibleButtonCountsAsOne()
    {
        QCOMPARE(NavigatorRules::buttonCount(TButtonSet()), 1);
        QCOMPARE(NavigatorRules::sizeRule({5, 5}, TButtonSet(), false), QSize(20, 18));
        const auto l = NavigatorRules::layout({77, 25}, TButtonSet(), false);
        QCOMPARE(l.size, QSize(77, 25));
        QCOMPARE(l.buttonWidth, 77);
        for (const QRect& r : l.buttons)
            QCOMPARE(r, QRect(78, 0, 77, 25));
    }

    void alignedBarSpreadsTheRemainder()
    {
        const TButtonSet three{nbFirst, nbNext, nbRefresh};
        auto l = NavigatorRules::layout({100, 25}, three, true);
        QCOMPARE(widths(l, three), (QList<int>{33, 34, 33}));
        QCOMPARE(xs(l, three), (QList<int>{0, 33, 67}));
        // Two extra pixels over four buttons, and the last button ends at the bar's edge.
        const TButtonSet four{nbFirst, nbPrior, nbNext, nbLast};
        l = NavigatorRules::layout({102, 25}, four, true);
        QCOMPARE(widths(l, four), (QList<int>{25, 26, 25, 26}));
        const QRect last = l.buttons[nbLast];
        QCOMPARE(last.x() + last.width(), 102);
    }

    void enablingTable_data()
    {
        QTest::addColumn<bool>("bof");
        QTest::addColumn<bool>("eof");
        QTest::addColumn<bool>("canModify");
        QTest::addColumn<bool>("editing");
        QTest::addColumn<QString>("expected"); // enabled kinds, in order, as letters FPNLIDEOCR
        QTest::newRow("first record") << true << false << true << false << "NLIDER";
        QTest::newRow("inside") << false << false << true << false << "FPNLIDER";
        QTest::newRow("last record") << false << true << true << false << "FPIDER";
        QTest::newRow("empty table") << true << true << true << false << "IER";
        QTest::newRow("editing inside") << false << false << true << true << "FPNLIDOCR";
        QTest::newRow("inserting into empty") << true << true << true << true << "IOCR";
        QTest::newRow("read-only first") << true << false << false << false << "NL";
        QTest::newRow("read-only inside") << false << false << false << false << "FPNL";
        QTest::newRow("read-only last") << false << true << false << false << "FP";
        QTest::newRow("read-only empty") << true << true << false << false << "";
    }
    void enablingTable()
    {
        QFETCH(bool, bof);
        QFETCH(bool, eof);
        QFETCH(bool, canModify);
        QFETCH(bool, editing);
        QFETCH(QString, expected);
        NavigatorRules::State s{true, true, bof, eof, canModify, editing};
        const TButtonSet moves = NavigatorRules::enabledMoveButtons(s);
        const TButtonSet edits = NavigatorRules::enabledEditButtons(s);
        QVERIFY((moves.count() + edits.count()) == expected.size());
        const QString letters = QStringLiteral("FPNLIDEOCR");
        QString got;
        for (int i = 0; i < NavigateBtnCount; ++i) {
            const auto k = TNavigateBtn(i);
            if (moves.contains(k) || edits.contains(k))
                got += letters.at(i);
            // Each update touches only its own kinds.
            QVERIFY(!moves.contains(k) || NavigatorRules::moveKinds().contains(k));
            QVERIFY(!edits.contains(k) || NavigatorRules::editKinds().contains(k));
        }
        QCOMPARE(got, expected);

        // Without an active link, or on a disabled bar, nothing is enabled.
        for (NavigatorRules::State off : {NavigatorRules::State{false, true, bof, eof, canModify, editing},
                                          NavigatorRules::State{true, false, bof, eof, canModify, editing}}) {
            QVERIFY(NavigatorRules::enabledMoveButtons(off).isEmpty());
            QVERIFY(NavigatorRules::enabledEditButtons(off).isEmpty());
        }
    }

    void hintsReplaceByPosition()
    {
        auto h = NavigatorRules::buttonHints({});
        QCOMPARE(h[nbFirst], QStringLiteral("First record"));
        QCOMPARE(h[nbRefresh], QStringLiteral("Refresh data"));
        QCOMPARE(h[nbPost], QStringLiteral("Post edit"));

        // The base window's list: five entries, the fifth lands on Insert
        // (counting hidden kinds too), Delete keeps its default.
        h = NavigatorRules::buttonHints({"First", "Prior", "Next", "Last", "Delete record"});
        QCOMPARE(h[nbFirst], QStringLiteral("First"));
        QCOMPARE(h[nbLast], QStringLiteral("Last"));
        QCOMPARE(h[nbInsert], QStringLiteral("Delete record"));
        QCOMPARE(h[nbDelete], QStringLiteral("Delete record"));
        QCOMPARE(h[nbEdit], QStringLiteral("Edit record"));

        // Empty entries keep the default; entries past the tenth are ignored.
        QStringList eleven;
        for (int i = 0; i < 11; ++i)
            eleven << (i == 2 ? QString() : QStringLiteral("h%1").arg(i));
        h = NavigatorRules::buttonHints(eleven);
        QCOMPARE(h[nbNext], QStringLiteral("Next record"));
        QCOMPARE(h[nbRefresh], QStringLiteral("h9"));
    }

    void defaultListIsStoredEmpty()
    {
        QVERIFY(NavigatorRules::storedHints(defaultNavigatorHints()).isEmpty());
        QStringList almost = defaultNavigatorHints();
        almost[9] = QStringLiteral("Refresh data ");
        QCOMPARE(NavigatorRules::storedHints(almost), almost);
        QCOMPARE(NavigatorRules::storedHints({"First"}), QStringList{"First"});
    }

    void kindWords()
    {
        QCOMPARE(navigateBtnWord(nbFirst), QStringLiteral("FIRST"));
        QCOMPARE(navigateBtnWord(nbCancel), QStringLiteral("CANCEL"));
        QCOMPARE(navigateBtnWord(nbRefresh), QStringLiteral("REFRESH"));
        QCOMPARE(defaultNavigatorHints().size(), NavigateBtnCount);
    }
};

QTEST_GUILESS_MAIN(NavigatorRulesTest)
#include "NavigatorRulesTest.moc"
