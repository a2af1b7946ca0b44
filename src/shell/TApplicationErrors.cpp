// Error reports: every handler hands its failure to HandleException, which
// shows it in a box on the active window's monitor (or gives it to the
// presenter a test installed); notify() is the last safety net.
#include "TApplication.h"

#include "Exception.h"
#include "Guarded.h"
#include "Placement.h"
#include "TForm.h"
#include "X11Windows.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>

void reportHandlerException(std::exception_ptr error) noexcept {
    try {
        if (Application)
            Application->HandleException(error);
    } catch (...) {
        // The report itself failed; there is nowhere left to show it.
    }
}

QString TApplication::reportText(const QString& message) {
    // "Sorts above" is a comparison of the character codes.
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

void TApplication::HandleException(std::exception_ptr error) {
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    ++captureCancels_;
    emit mouseCaptureCancelled();
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ShowException(reportText(e.message()));
    } catch (const std::exception& e) {
        ShowException(reportText(QString::fromUtf8(e.what())));
    } catch (...) {
        ShowException(reportText(QStringLiteral("Unknown error")));
    }
}

void TApplication::ShowException(const QString& message) {
    if (presenter_) {
        presenter_(message);
        return;
    }
    QPointer<QWidget> previousWindow = activeWindow();
    QPointer<QWidget> previousFocus = focusWidget();
    QMessageBox box(QMessageBox::Critical, title_, message, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("ErrorReport"));
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK")); // not translated
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    // The box shows on the monitor of the active window.
    if (previousWindow) {
        const QRect area = Placement::monitorOf(previousWindow->frameGeometry())->geometry();
        box.adjustSize();
        box.move(Placement::centredIn(area, box.size()));
    }
    box.exec();
    restoreAfterReport(previousWindow, previousFocus);
}

void TApplication::restoreAfterReport(QWidget* window, QWidget* focus) {
    if (!window || !window->isVisible())
        return;
    auto* form = qobject_cast<TForm*>(window);
    const bool usable = focus && (form ? form->canTakeFocus(focus)
                                       : focus->window() == window && focus->isEnabled() && focus->isVisible());
    if (usable) {
        // The window's activation gives the focus to its active control, and
        // the window system may deliver it later: that control is now the one
        // the keys went to, so that nothing can move them elsewhere.
        if (form)
            form->setActiveControl(focus);
        focus->setFocus(Qt::ActiveWindowFocusReason);
    }
    // A control that is gone, hidden or disabled: the window's own activation decides.
    if (X11Windows::available() && !X11Windows::managerActivates())
        X11Windows::focusWithoutManager(window);
    window->activateWindow();
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    // A press is delivered in steps (the focus moves first, a failing control
    // may report then); its control asks whether a report came meanwhile.
    const bool press = event->spontaneous() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick);
    const QScopedValueRollback<int> pressStart(cancelsAtPress_, press ? captureCancels_ : cancelsAtPress_);
    // Last safety net only: handlers are entered through guarded().
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException(std::current_exception());
        return false;
    }
}
