#include "Exception.h"
#include "Forms.h"
#include "Guarded.h"
#include "StubForms.h"
#include "TForm1.h"
#include "TestSupport.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTest>
#include <algorithm>
#include <stdexcept>

namespace {
QStringList destroyedNames;
QStringList events;

// A client window whose create handler fails, as when its table cannot be opened.
struct FailingForm3 : StubForm3 {
    void FormCreate() override {
        events << QStringLiteral("create Form3");
        throw Exception(QStringLiteral("Table1: Cannot open table"));
    }
};
struct FailingForm4 : StubForm4 {
    void FormCreate() override {
        events << QStringLiteral("create Form4");
        throw Exception(QStringLiteral("Table1: Cannot open table"));
    }
};
struct AbortingForm6 : StubForm6 {
    void FormCreate() override { throw EAbort(); }
};
} // namespace

// Start-up, the error report and the exit sequence of the application object.
class TestApplicationLifecycle : public QObject {
    Q_OBJECT
private slots:
    void fullStopRule_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Ошибка" << "Ошибка.";
        QTest::newRow("latin letter") << "Table1: Cannot open" << "Table1: Cannot open.";
        QTest::newRow("digit") << "Code 9" << "Code 9.";
        QTest::newRow("question mark") << "Why?" << "Why?.";
        QTest::newRow("colon") << "Reason:" << "Reason:.";
        QTest::newRow("full stop") << "Done." << "Done.";
        QTest::newRow("exclamation") << "Stop!" << "Stop!";
        QTest::newRow("parenthesis") << "(x)" << "(x)";
        QTest::newRow("comma") << "a," << "a,";
        QTest::newRow("hyphen") << "a-" << "a-";
        QTest::newRow("space") << "a " << "a ";
        QTest::newRow("slash sorts above") << "a/" << "a/.";
        QTest::newRow("empty") << "" << "";
    }
    void fullStopRule() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        TestSupport::ErrorReports reports;
        guarded([&] { throw Exception(message); });
        QCOMPARE(reports.messages, QStringList{shown});
    }

    void abortIsSilentAndOtherErrorsAreShown() {
        TestSupport::ErrorReports reports;
        guarded([] { throw EAbort(); });
        QVERIFY(reports.messages.isEmpty());
        guarded([] { throw std::runtime_error("bad thing"); });
        guarded([] { throw 42; });
        QCOMPARE(reports.messages.size(), 2);
        QCOMPARE(reports.messages[0], QStringLiteral("bad thing."));
        QVERIFY(!reports.messages[1].isEmpty());
    }

    void theReportIsAStopBoxWithTheTitleAndOneOkButton() {
        StubForm6 window;
        auto* edit = new QLineEdit(&window);
        edit->setObjectName(QStringLiteral("Edit1"));
        window.setActiveControl(edit);
        window.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTRY_COMPARE(QApplication::focusWidget(), edit);

        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
        bool windowBlocked = false;
        auto answer = TestSupport::answerNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            for (QAbstractButton* b : box->buttons())
                buttons << b->text();
            // The other windows take no input meanwhile.
            windowBlocked = QApplication::activeModalWidget() == box && window.isVisible() &&
                            !box->isAncestorOf(&window);
            box->button(QMessageBox::Ok)->click();
        });
        guarded([] { throw Exception(QStringLiteral("Ошибка чтения")); });
        QVERIFY(answer->answered);
        QCOMPARE(title, Application->Title());
        QCOMPARE(text, QStringLiteral("Ошибка чтения."));
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(buttons, QStringList{QStringLiteral("OK")});
        QVERIFY(windowBlocked);
        // Afterwards the window that was active is again, with its focus.
        QTRY_COMPARE(QApplication::activeWindow(), &window);
        QTRY_COMPARE(QApplication::focusWidget(), edit);
    }

    // Qt's own texts (an edit box's context menu) come in Russian; the report's button stays "OK".
    void qtOwnTextsAreRussian() {
        const QString paste = QCoreApplication::translate("QLineEdit", "&Paste");
        QVERIFY2(paste != QLatin1String("&Paste"), qPrintable(paste));
        QVERIFY(std::any_of(paste.begin(), paste.end(), [](QChar c) { return c.script() == QChar::Script_Cyrillic; }));
    }

    void emptyMessageGivesABoxWithNoText() {
        QString text = QStringLiteral("unset");
        auto answer = TestSupport::answerNextModal([&](QWidget* modal) {
            text = static_cast<QMessageBox*>(modal)->text();
            static_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
        });
        guarded([] { throw Exception(QString()); });
        QVERIFY(answer->answered);
        QCOMPARE(text, QString());
    }

    void startUpReportsCreateFailuresBeforeTheMainWindowAndEndsInReverseOrder() {
        events.clear();
        destroyedNames.clear();
        Application->setErrorPresenter([](const QString& text) {
            events << QStringLiteral("report %1 (main window %2)")
                          .arg(text, Form1 && Form1->isVisible() ? "visible" : "hidden");
        });
        Application->CreateForm<TForm1>(Form1);
        Application->CreateForm<StubForm2>(Form2);
        Application->CreateForm<FailingForm3>(Form3);
        Application->CreateForm<FailingForm4>(Form4);
        Application->CreateForm<StubForm5>(Form5);
        Application->CreateForm<AbortingForm6>(Form6);
        Application->CreateForm<StubForm7>(Form7);
        const std::vector<TForm*> forms = Application->Forms();
        QCOMPARE(int(forms.size()), 7);
        for (TForm* f : forms)
            connect(f, &QObject::destroyed, this, [name = f->objectName()] { destroyedNames << name; });

        bool mainShownInLoop = false, othersHidden = false;
        QTimer::singleShot(0, this, [&] {
            mainShownInLoop = Form1->isVisible();
            othersHidden = !Form3->isVisible() && !Form4->isVisible() && !Form7->isVisible();
            // A secondary window's close only hides it.
            Form7->setVisibleFlag(true);
            Form7->Close();
            events << QStringLiteral("after closing Form7: %1")
                          .arg(Application->Terminated() ? "ending" : "running");
            Form1->Close();
        });
        const int code = Application->Run();
        Application->setErrorPresenter({});

        QCOMPARE(code, 0);
        QCOMPARE(events, (QStringList{
                             "create Form3",
                             "report Table1: Cannot open table. (main window hidden)",
                             "create Form4",
                             "report Table1: Cannot open table. (main window hidden)",
                             "after closing Form7: running",
                         }));
        QVERIFY(mainShownInLoop);
        QVERIFY(othersHidden);
        QCOMPARE(destroyedNames, (QStringList{"Form7", "Form6", "Form5", "Form4", "Form3", "Form2", "Form1"}));
        QVERIFY(!Form1 && !Form2 && !Form3 && !Form4 && !Form5 && !Form6 && !Form7);
        QVERIFY(Application->Forms().empty());
        QVERIFY(!Application->MainForm());
    }

    void startedMaximizedOrMinimized_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("state");
        QTest::newRow("normal") << int(TShowCommand::Normal) << int(Qt::WindowNoState);
        QTest::newRow("maximized") << int(TShowCommand::Maximized) << int(Qt::WindowMaximized);
        QTest::newRow("minimized") << int(TShowCommand::MinimizedNoActivate) << int(Qt::WindowMinimized);
    }
    void startedMaximizedOrMinimized() {
        QFETCH(int, command);
        QFETCH(int, state);
        Application->CreateForm<TForm1>(Form1);
        Application->setStartupShowCommand(TShowCommand(command));
        int seen = -1;
        bool visible = false;
        QSize size;
        QTimer::singleShot(0, this, [&] {
            seen = int(Form1->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized));
            visible = Form1->isVisible();
            size = Form1->size();
            Form1->N12->trigger(); // "Выход"
        });
        Application->Run();
        Application->setStartupShowCommand(TShowCommand::Normal);
        QVERIFY(visible);
        QCOMPARE(seen, state);
        // Maximized, the borderless strip covers the screen; else it is 1015 wide.
        if (state == Qt::WindowMaximized)
            QCOMPARE(size, QSize(1024, 768));
        else
            QCOMPARE(size.width(), 1015);
        QVERIFY(!Form1);
    }

    // An exit request (SIGTERM, the session ending) that comes while a start-up
    // report is on the screen ends the program: the report's own loop ends, no
    // later loop runs. Last in this class: the ended loops stay ended until a
    // main loop starts again.
    void anExitRequestDuringAStartUpReportEndsTheProgram() {
        events.clear();
        QObject scope; // cancels the timers below when the test ends
        int reports = 0;
        bool timedOut = false;
        Application->setErrorPresenter([&](const QString&) {
            ++reports;
            QEventLoop box; // the report box runs a loop of its own
            QTimer::singleShot(0, &scope, [] { Application->Terminate(); });
            QTimer::singleShot(3000, &scope, [&] {
                timedOut = true;
                box.quit();
            });
            box.exec();
        });
        Application->CreateForm<TForm1>(Form1);
        Application->CreateForm<StubForm2>(Form2);
        Application->CreateForm<FailingForm3>(Form3);
        Application->CreateForm<FailingForm4>(Form4);
        Application->CreateForm<StubForm5>(Form5);
        Application->CreateForm<StubForm6>(Form6);
        Application->CreateForm<StubForm7>(Form7);
        bool mainLoopRan = false;
        QTimer::singleShot(0, &scope, [&] {
            mainLoopRan = true;
            Application->Terminate();
        });
        Application->Run();
        Application->setErrorPresenter({});
        QVERIFY2(!timedOut, "the report stayed after the exit request");
        QCOMPARE(reports, 2);
        QVERIFY(!mainLoopRan);
        QVERIFY(!Form1 && Application->Forms().empty());
    }
};

KARTOTEKA_TEST_MAIN(TestApplicationLifecycle)
#include "test_application_lifecycle.moc"
