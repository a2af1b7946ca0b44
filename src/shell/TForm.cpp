#include "TForm.h"

#include "TApplication.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

TForm::TForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void TForm::setBorderStyle(TBorderStyle style) {
    borderStyle_ = style;
    if (style == TBorderStyle::bsNone) {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        frameExtra_ = QSize(0, 0);
    } else if (style == TBorderStyle::bsDialog) {
        setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        frameExtra_ = QSize(6, 25);
    } else {
        setWindowFlags(Qt::Window);
        frameExtra_ = QSize(8, 27);
    }
}

void TForm::setDesignedBounds(int left, int top, int width, int height) {
    setDesignedClientBounds(left, top, width - frameExtra_.width(), height - frameExtra_.height());
}

void TForm::setDesignedClientBounds(int left, int top, int clientWidth, int clientHeight) {
    designedPos_ = QPoint(left, top);
    designedClientSize_ = QSize(clientWidth, clientHeight);
    resize(designedClientSize_);
    move(designedPos_);
}

QSize TForm::designedOuterSize() const { return designedClientSize_ + frameExtra_; }

bool TForm::visibleFlag() const { return isVisible(); }

void TForm::setVisibleFlag(bool visible) {
    if (visible == isVisible())
        return;
    if (!visible) {
        hide();
        return;
    }
    applyMonitorRule();
    if (!shownOnce_)
        placeAtFirstShow();
    shownOnce_ = true;
    show();
    raise();
    activateWindow();
}

void TForm::placeAtFirstShow() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    const QSize outer = frameGeometry().size().isValid() && isVisible() ? frameGeometry().size()
                                                                        : designedOuterSize();
    QRect area;
    if (position_ == TPosition::poScreenCenter)
        area = primary->geometry();
    else if (position_ == TPosition::poDesktopCenter)
        area = QRect(QPoint(0, 0), primary->virtualSize());
    else
        return;
    const int x = std::max(0, (area.width() - outer.width()) / 2);
    const int y = std::max(0, (area.height() - outer.height()) / 2);
    move(x, y);
    position_ = TPosition::poDesigned;
}

void TForm::applyMonitorRule() {}

void TForm::Close() { close(); }

void TForm::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (Application && Application->MainForm() == this) {
        Application->quit();
        return;
    }
    hide();
}

void TForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && activeControl_ &&
        activeControl_->isEnabled() && activeControl_->isVisible())
        activeControl_->setFocus(Qt::ActiveWindowFocusReason);
    QWidget::changeEvent(event);
}

bool TForm::focusNextPrevChild(bool next) { return QWidget::focusNextPrevChild(next); }

void TForm::keyPressEvent(QKeyEvent* event) { QWidget::keyPressEvent(event); }
