#include "TMessageForm.h"

#include "Exception.h"
#include "Guarded.h"
#include "Placement.h"
#include "TApplication.h"
#include "TForm.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <algorithm>

namespace {

struct ButtonKind {
    TMsgDlgBtn flag;
    const char* name;
    const char* caption;
    TModalResult result;
};

// The order the buttons stand in, whatever order the caller names them.
constexpr ButtonKind kButtons[] = {
    {mbYes, "Yes", "&Yes", mrYes},         {mbNo, "No", "&No", mrNo},
    {mbOK, "OK", "OK", mrOk},              {mbCancel, "Cancel", "Cancel", mrCancel},
    {mbAbort, "Abort", "&Abort", mrAbort}, {mbRetry, "Retry", "&Retry", mrRetry},
    {mbIgnore, "Ignore", "&Ignore", mrIgnore},
};

QString captionFor(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::mtWarning: return QStringLiteral("Warning");
    case TMsgDlgType::mtError: return QStringLiteral("Error");
    case TMsgDlgType::mtInformation: return QStringLiteral("Information");
    case TMsgDlgType::mtConfirmation: return QStringLiteral("Confirm");
    case TMsgDlgType::mtCustom: break;
    }
    return Application ? Application->Title() : QCoreApplication::applicationName();
}

QStyle::StandardPixmap iconFor(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::mtWarning: return QStyle::SP_MessageBoxWarning;
    case TMsgDlgType::mtError: return QStyle::SP_MessageBoxCritical;
    case TMsgDlgType::mtInformation: return QStyle::SP_MessageBoxInformation;
    default: return QStyle::SP_MessageBoxQuestion;
    }
}

// n * numerator / denominator rounded to the nearest whole number, halves away from zero.
int mulDiv(int n, int numerator, int denominator) {
    const long long p = 1LL * n * numerator;
    return int((p + (p >= 0 ? denominator / 2 : -denominator / 2)) / denominator);
}

QString withoutAmpersands(QString caption) { return caption.remove(QLatin1Char('&')); }

} // namespace

TMessageForm::Metrics TMessageForm::metricsFor(const QFont& font, const QStringList& captions) {
    const QFontMetrics fm(font);
    Metrics m;
    m.averageCharWidth = fm.horizontalAdvance(
                             QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                         52;
    m.charHeight = fm.height();
    const int x = m.averageCharWidth, y = m.charHeight;
    m.horzMargin = mulDiv(8, x, 4);
    m.vertMargin = mulDiv(8, y, 8);
    m.horzSpacing = mulDiv(10, x, 4);
    m.vertSpacing = mulDiv(10, y, 8);
    m.buttonHeight = mulDiv(14, y, 8);
    m.buttonSpacing = mulDiv(4, x, 4);
    m.buttonWidth = mulDiv(50, x, 4);
    for (const QString& caption : captions)
        m.buttonWidth = std::max(m.buttonWidth, fm.horizontalAdvance(withoutAmpersands(caption)) + 8);
    return m;
}

TMessageForm::TMessageForm(const QString& message, TMsgDlgType type, TMsgDlgButtons buttons,
                           QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(captionFor(type));
    setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    if (type != TMsgDlgType::mtCustom) {
        image_ = new QLabel(this);
        image_->setObjectName(QStringLiteral("Image"));
        image_->setPixmap(style()->standardIcon(iconFor(type)).pixmap(32, 32));
    }
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("Message"));
    message_->setTextFormat(Qt::PlainText);
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    bool haveDefault = false;
    for (const ButtonKind& kind : kButtons) {
        if (!(buttons & kind.flag))
            continue;
        auto* button = new QPushButton(QString::fromLatin1(kind.caption), this);
        button->setObjectName(QString::fromLatin1(kind.name));
        const TModalResult result = kind.result;
        connect(button, &QPushButton::clicked, this, [this, result] {
            guarded([&] {
                modalResult_ = result;
                done(result);
            });
        });
        // OK (or Yes) is the default button; Cancel (or No) the cancel button.
        if (!haveDefault && (kind.flag == mbOK || kind.flag == mbYes)) {
            button->setDefault(true);
            haveDefault = true;
        }
        buttons_.push_back(button);
    }
    if (!haveDefault && !buttons_.isEmpty())
        buttons_.front()->setDefault(true);
    if (buttons & mbCancel)
        cancelResult_ = mrCancel;
    else if (buttons & mbNo)
        cancelResult_ = mrNo;
    layOut(message);
}

TMessageForm::~TMessageForm() = default;

void TMessageForm::layOut(const QString& message) {
    QStringList captions;
    for (QPushButton* b : buttons_)
        captions << b->text();
    metrics_ = metricsFor(font(), captions);
    const Metrics& m = metrics_;

    const QFontMetrics fm(font());
    const int maxTextWidth = Placement::primaryScreenRect().width() / 2;
    QRect text = fm.boundingRect(QRect(0, 0, maxTextWidth, 0),
                                 Qt::TextWordWrap | Qt::TextExpandTabs | Qt::AlignLeft, message);
    if (message.isEmpty())
        text = QRect(0, 0, 0, 0);
    int textLeft = m.horzMargin;
    int iconTextWidth = text.width();
    int textBlockHeight = text.height();
    if (image_) {
        image_->setGeometry(m.horzMargin, m.vertMargin, 32, 32);
        textLeft += 32 + m.horzSpacing;
        iconTextWidth += 32 + m.horzSpacing;
        textBlockHeight = std::max(textBlockHeight, 32);
    }
    message_->setWordWrap(true);
    message_->setText(QString(message).replace(QLatin1Char('\t'), QStringLiteral("        ")));
    message_->setGeometry(textLeft, m.vertMargin, text.width(), text.height());

    const int count = int(buttons_.size());
    const int buttonsWidth =
        count > 0 ? count * m.buttonWidth + (count - 1) * m.buttonSpacing : 0;
    const int clientWidth = std::max(iconTextWidth, buttonsWidth) + 2 * m.horzMargin;
    const int clientHeight = textBlockHeight + m.buttonHeight + m.vertSpacing + 2 * m.vertMargin;
    int x = (clientWidth - buttonsWidth) / 2;
    const int y = textBlockHeight + m.vertMargin + m.vertSpacing;
    for (QPushButton* b : buttons_) {
        b->setGeometry(x, y, m.buttonWidth, m.buttonHeight);
        x += m.buttonWidth + m.buttonSpacing;
    }
    clientSize_ = QSize(clientWidth, clientHeight);
    setFixedSize(clientSize_);

    // Centred on the primary screen, or on the active window's monitor.
    const QSize outer = clientSize_ + TForm::frameExtraFor(TBorderStyle::bsDialog);
    QPoint place = Placement::centredIn(Placement::primaryScreenRect(), outer);
    place = Placement::monitorRulePosition(QRect(place, outer), true, this);
    move(place);
}

QString TMessageForm::clipboardText() const {
    const QString dashes(27, QLatin1Char('-'));
    const QString crlf = QStringLiteral("\r\n");
    QString buttons;
    for (QPushButton* b : buttons_)
        buttons += withoutAmpersands(b->text()) + QStringLiteral("   ");
    return dashes + crlf + windowTitle() + crlf + dashes + crlf + message_->text() + crlf + dashes +
           crlf + buttons + crlf + dashes + crlf;
}

TModalResult TMessageForm::ShowModal() {
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    QPointer<QWidget> previousWindow = QApplication::activeWindow();
    QPointer<QWidget> previousFocus = QApplication::focusWidget();
    modalResult_ = mrNone;
    setWindowModality(Qt::ApplicationModal);
    exec();
    hide();
    // A result no button set: the program was told to end.
    if (modalResult_ == mrNone)
        modalResult_ = mrCancel;
    if (previousWindow && previousWindow->isVisible()) {
        previousWindow->activateWindow();
        if (previousFocus && previousFocus->window() == previousWindow)
            previousFocus->setFocus(Qt::ActiveWindowFocusReason);
    }
    return modalResult_;
}

void TMessageForm::reject() {
    modalResult_ = mrCancel;
    done(mrCancel);
}

void TMessageForm::closeEvent(QCloseEvent* event) {
    // Closing from the title bar gives Cancel, whatever buttons are shown.
    modalResult_ = mrCancel;
    QDialog::closeEvent(event);
}

void TMessageForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_C && event->modifiers() == Qt::ControlModifier) {
        guarded([this] { copyToClipboard(); });
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // Esc presses the cancel button.
        modalResult_ = cancelResult_;
        done(cancelResult_);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

TMessageForm::ClipboardWriter TMessageForm::clipboardWriter_;

namespace {
// The clipboard counts as had when what was put there reads back.
bool writeSystemClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setText(text, QClipboard::Clipboard);
    return clipboard->text(QClipboard::Clipboard) == text;
}
} // namespace

void TMessageForm::setClipboardWriter(ClipboardWriter writer) { clipboardWriter_ = std::move(writer); }

void TMessageForm::copyToClipboard() {
    QApplication::beep();
    const QString text = clipboardText();
    const bool written = clipboardWriter_ ? clipboardWriter_(text) : writeSystemClipboard(text);
    if (!written)
        throw Exception(QStringLiteral("Cannot open clipboard"));
}

std::unique_ptr<TMessageForm> CreateMessageDialog(const QString& message, TMsgDlgType type,
                                                  TMsgDlgButtons buttons) {
    return std::make_unique<TMessageForm>(message, type, buttons);
}

TModalResult MessageDlg(const QString& message, TMsgDlgType type, TMsgDlgButtons buttons) {
    auto dialog = CreateMessageDialog(message, type, buttons);
    return dialog->ShowModal();
}
