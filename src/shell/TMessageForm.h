#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;

// The kind of a message dialog: gives its caption and its icon.
enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// The buttons a message dialog can show, combined with "|" (for example mbOK | mbCancel).
// They always appear in the order Yes, No, OK, Cancel, Abort, Retry, Ignore.
enum TMsgDlgBtn : unsigned {
    mbOK = 1,
    mbCancel = 2,
    mbYes = 4,
    mbNo = 8,
    mbAbort = 16,
    mbRetry = 32,
    mbIgnore = 64,
};
using TMsgDlgButtons = unsigned;

// Results of a modal window.
using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4,
                       mrIgnore = 5, mrYes = 6, mrNo = 7;

// The message dialog: built for one question, run modally, freed after it.
// Its geometry comes from the message font (see layOut()).
class TMessageForm : public QDialog {
    Q_OBJECT
public:
    TMessageForm(const QString& message, TMsgDlgType type, TMsgDlgButtons buttons,
                 QWidget* parent = nullptr);
    ~TMessageForm() override;

    // Runs the dialog modally and gives the result of the button chosen; closing
    // it from the title bar, Esc, or the program being told to end give mrCancel.
    TModalResult ShowModal();
    TModalResult ModalResult() const { return modalResult_; }

    // The dialog as plain text, the way Ctrl+C puts it on the clipboard.
    QString clipboardText() const;

    // Metrics derived from the message font, in pixels.
    struct Metrics {
        int averageCharWidth = 0; // X: width of A..Z a..z over 52
        int charHeight = 0;       // Y
        int horzMargin = 0, vertMargin = 0, horzSpacing = 0, vertSpacing = 0;
        int buttonWidth = 0, buttonHeight = 0, buttonSpacing = 0;
    };
    const Metrics& metrics() const { return metrics_; }
    static Metrics metricsFor(const QFont& font, const QStringList& buttonCaptions);

    QLabel* Image() const { return image_; }   // the 32 x 32 icon, or nullptr for mtCustom
    QLabel* Message() const { return message_; }
    const QList<QPushButton*>& Buttons() const { return buttons_; }
    // The client size the layout arrived at.
    QSize designedClientSize() const { return clientSize_; }

    // Puts text on the clipboard; false when the clipboard cannot be had.
    // Replaceable so that the failure can be exercised; an empty writer restores the system one.
    using ClipboardWriter = std::function<bool(const QString&)>;
    static void setClipboardWriter(ClipboardWriter writer);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void layOut(const QString& message);
    void copyToClipboard();

    Metrics metrics_;
    QLabel* image_ = nullptr;
    QLabel* message_ = nullptr;
    QList<QPushButton*> buttons_;
    QSize clientSize_;
    TModalResult modalResult_ = mrNone;
    TModalResult cancelResult_ = mrCancel;
    static ClipboardWriter clipboardWriter_;
};

// Builds a message dialog for one question, runs it and frees it. Returns the
// result of the chosen button (mrOk, mrCancel, ...).
TModalResult MessageDlg(const QString& message, TMsgDlgType type, TMsgDlgButtons buttons);

// Builds the dialog without running it (for callers that want to look at it first).
std::unique_ptr<TMessageForm> CreateMessageDialog(const QString& message, TMsgDlgType type,
                                                  TMsgDlgButtons buttons);
