// Error reports: every handler hands its failure to HandleException, which
// shows it in a box on the active window's monitor (or gives it to the
// presenter a test installed); notify() is the last safety net.
#include "TApplication.h"

#include "Exception.h"
#include "Guarded.h"
#include "Placement.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
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
    if (previousWindow && previousWindow->isVisible()) {
        previousWindow->activateWindow();
        if (previousFocus && previousFocus->window() == previousWindow)
            previousFocus->setFocus(Qt::ActiveWindowFocusReason);
    }
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    // Last safety net only: handlers are entered through guarded().
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException(std::current_exception());
        return false;
    }
}
