#include "TMessageForm.h"
#include "TestSupport.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTest>

// The message dialog: its metrics and layout, its results and its clipboard copy.
class TestMessageDialog : public QObject {
    Q_OBJECT
private slots:
    void deleteQuestionParts() {
        auto dialog = CreateMessageDialog(QStringLiteral("Delete record?"),
                                          TMsgDlgType::mtConfirmation, mbOK | mbCancel);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Confirm"));
        QVERIFY(dialog->Image());
        QCOMPARE(dialog->Image()->objectName(), QStringLiteral("Image"));
        QVERIFY(!dialog->Image()->pixmap().isNull());
        QCOMPARE(dialog->Message()->objectName(), QStringLiteral("Message"));
        QCOMPARE(dialog->Message()->text(), QStringLiteral("Delete record?"));
        QCOMPARE(dialog->Buttons().size(), 2);
        QCOMPARE(dialog->Buttons()[0]->objectName(), QStringLiteral("OK"));
        QCOMPARE(dialog->Buttons()[0]->text(), QStringLiteral("OK"));
        QCOMPARE(dialog->Buttons()[1]->objectName(), QStringLiteral("Cancel"));
        QCOMPARE(dialog->Buttons()[1]->text(), QStringLiteral("Cancel"));
        QVERIFY(dialog->Buttons()[0]->isDefault());
        QVERIFY(!dialog->Buttons()[1]->isDefault());
        QVERIFY(dialog->windowFlags() & Qt::WindowCloseButtonHint);
    }

    void buttonsKeepTheirOrderWhateverTheCallerSays() {
        auto dialog = CreateMessageDialog(QStringLiteral("?"), TMsgDlgType::mtWarning,
                                          mbCancel | mbOK | mbNo | mbYes);
        QStringList names;
        for (QPushButton* b : dialog->Buttons())
            names << b->objectName();
        QCOMPARE(names, (QStringList{"Yes", "No", "OK", "Cancel"}));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Warning"));
    }

    void metricsFromTheMessageFont() {
        QFont font(QStringLiteral("Liberation Serif"));
        font.setPixelSize(15);
        const QFontMetrics fm(font);
        const int x = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52;
        const int y = fm.height();
        const auto m = TMessageForm::metricsFor(font, {QStringLiteral("OK"), QStringLiteral("Cancel")});
        QCOMPARE(m.averageCharWidth, x);
        QCOMPARE(m.charHeight, y);
        QCOMPARE(m.horzMargin, qRound(8 * x / 4.0));
        QCOMPARE(m.vertMargin, qRound(8 * y / 8.0));
        QCOMPARE(m.horzSpacing, qRound(10 * x / 4.0));
        QCOMPARE(m.vertSpacing, qRound(10 * y / 8.0));
        QCOMPARE(m.buttonHeight, qRound(14 * y / 8.0));
        QCOMPARE(m.buttonSpacing, qRound(4 * x / 4.0));
        QCOMPARE(m.buttonWidth, std::max(qRound(50 * x / 4.0), fm.horizontalAdvance(QStringLiteral("Cancel")) + 8));

        // A caption wider than 50 X / 4 widens every button to it plus 8.
        const QString wide = QStringLiteral("A very very long caption indeed");
        const auto w = TMessageForm::metricsFor(font, {QStringLiteral("OK"), wide});
        QCOMPARE(w.buttonWidth, fm.horizontalAdvance(wide) + 8);
        QVERIFY(w.buttonWidth > qRound(50 * x / 4.0));
    }

    void layoutOfTheDeleteQuestion() {
        auto dialog = CreateMessageDialog(QStringLiteral("Delete record?"),
                                          TMsgDlgType::mtConfirmation, mbOK | mbCancel);
        const auto& m = dialog->metrics();
        const QFontMetrics fm(dialog->font());
        const QRect text = fm.boundingRect(QRect(0, 0, 512, 0), Qt::TextWordWrap | Qt::TextExpandTabs,
                                           QStringLiteral("Delete record?"));
        QCOMPARE(dialog->Image()->geometry(), QRect(m.horzMargin, m.vertMargin, 32, 32));
        QCOMPARE(dialog->Message()->geometry().topLeft(),
                 QPoint(m.horzMargin + 32 + m.horzSpacing, m.vertMargin));
        QCOMPARE(dialog->Message()->width(), text.width());
        const int block = std::max(32, text.height());
        const int buttons = 2 * m.buttonWidth + m.buttonSpacing;
        const int width = std::max(32 + m.horzSpacing + text.width(), buttons) + 2 * m.horzMargin;
        const int height = block + m.buttonHeight + m.vertSpacing + 2 * m.vertMargin;
        QCOMPARE(dialog->size(), QSize(width, height));
        const int top = block + m.vertMargin + m.vertSpacing;
        const int left = (width - buttons) / 2;
        QCOMPARE(dialog->Buttons()[0]->geometry(), QRect(left, top, m.buttonWidth, m.buttonHeight));
        QCOMPARE(dialog->Buttons()[1]->geometry(),
                 QRect(left + m.buttonWidth + m.buttonSpacing, top, m.buttonWidth, m.buttonHeight));
        // Centred on the 1024 x 768 screen with its dialog frame.
        const QSize outer = dialog->size() + QSize(6, 25);
        QCOMPARE(dialog->pos(), QPoint((1024 - outer.width()) / 2, (768 - outer.height()) / 2));
    }

    void longTextWrapsAtHalfTheScreen() {
        const QString words = QStringLiteral("слово ").repeated(80).trimmed();
        auto dialog = CreateMessageDialog(words, TMsgDlgType::mtInformation, mbOK);
        QVERIFY(dialog->Message()->width() <= 512);
        QVERIFY(dialog->Message()->width() > 400);
        QVERIFY(dialog->Message()->height() >= 3 * QFontMetrics(dialog->font()).height());
        QVERIFY(dialog->width() <= 512 + 32 + 2 * dialog->metrics().horzMargin + dialog->metrics().horzSpacing);
    }

    void customDialogHasNoIconAndTheTitle() {
        auto dialog = CreateMessageDialog(QStringLiteral("x"), TMsgDlgType::mtCustom, mbOK);
        QVERIFY(!dialog->Image());
        QCOMPARE(dialog->windowTitle(), Application->Title());
        QCOMPARE(dialog->Message()->x(), dialog->metrics().horzMargin);
    }

    void results_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("expected");
        QTest::newRow("OK button") << "ok" << mrOk;
        QTest::newRow("Cancel button") << "cancel" << mrCancel;
        QTest::newRow("Enter") << "enter" << mrOk;
        QTest::newRow("Esc") << "esc" << mrCancel;
        QTest::newRow("close box") << "close" << mrCancel;
    }
    void results() {
        QFETCH(QString, how);
        QFETCH(int, expected);
        auto answer = TestSupport::answerNextModal([how](QWidget* modal) {
            auto* dialog = qobject_cast<TMessageForm*>(modal);
            QVERIFY(dialog);
            if (how == QLatin1String("ok"))
                QTest::mouseClick(dialog->Buttons()[0], Qt::LeftButton);
            else if (how == QLatin1String("cancel"))
                QTest::mouseClick(dialog->Buttons()[1], Qt::LeftButton);
            else if (how == QLatin1String("enter"))
                QTest::keyClick(dialog, Qt::Key_Return);
            else if (how == QLatin1String("esc"))
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->close();
        });
        const int result = MessageDlg(QStringLiteral("Delete record?"), TMsgDlgType::mtConfirmation,
                                      mbOK | mbCancel);
        QVERIFY(answer->answered);
        QVERIFY(!answer->timedOut);
        QCOMPARE(answer->modalClass, QStringLiteral("TMessageForm"));
        QCOMPARE(result, expected);
    }

    void ctrlCCopiesTheDialogAsText() {
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QString copied;
        auto answer = TestSupport::answerNextModal([&](QWidget* modal) {
            QTest::keyClick(modal, Qt::Key_C, Qt::ControlModifier);
            copied = QGuiApplication::clipboard()->text();
            QVERIFY(modal->isVisible()); // copying does not close it
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        TestSupport::ErrorReports reports;
        MessageDlg(QStringLiteral("Delete record?"), TMsgDlgType::mtConfirmation, mbOK | mbCancel);
        QVERIFY(answer->answered);
        const QString dashes = QStringLiteral("---------------------------");
        QCOMPARE(dashes.size(), 27);
        QCOMPARE(copied, dashes + "\r\nConfirm\r\n" + dashes + "\r\nDelete record?\r\n" + dashes +
                             "\r\nOK   Cancel   \r\n" + dashes + "\r\n");
        QVERIFY(reports.messages.isEmpty());
    }

    void ampersandsLeaveTheCopiedCaptions() {
        auto dialog = CreateMessageDialog(QStringLiteral("Сохранить?"), TMsgDlgType::mtConfirmation,
                                          mbYes | mbNo);
        QVERIFY(dialog->clipboardText().contains(QStringLiteral("\r\nYes   No   \r\n")));
        QVERIFY(dialog->clipboardText().contains(QStringLiteral("\r\nСохранить?\r\n")));
    }

    void clipboardThatCannotBeHadIsReported() {
        TMessageForm::setClipboardWriter([](const QString&) { return false; });
        TestSupport::ErrorReports reports;
        auto answer = TestSupport::answerNextModal([](QWidget* modal) {
            QTest::keyClick(modal, Qt::Key_C, Qt::ControlModifier);
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        const int result = MessageDlg(QStringLiteral("Delete record?"), TMsgDlgType::mtConfirmation,
                                      mbOK | mbCancel);
        TMessageForm::setClipboardWriter({});
        QCOMPARE(result, mrCancel);
        QCOMPARE(reports.messages, QStringList{QStringLiteral("Cannot open clipboard.")});
    }
};

KARTOTEKA_TEST_MAIN(TestMessageDialog)
#include "test_message_dialog.moc"
