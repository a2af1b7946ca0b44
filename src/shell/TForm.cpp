#include "TForm.h"

#include "Accessibility.h"
#include "Guarded.h"
#include "Placement.h"
#include "TApplication.h"
#include "WindowFonts.h"
#include "X11Windows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLayout>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace {
// Front-most first. Windows enter at the front when shown or activated.
QList<TForm*>& stacking() {
    static QList<TForm*> list;
    return list;
}
} // namespace

TForm::TForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    // A window on the accessibility bus (a plain widget would be a filler).
    Accessibility::setRole(this, QAccessible::Window);
    // The windows' default font: "MS Sans Serif" at 8 points.
    QFont standard(QStringLiteral("MS Sans Serif"));
    standard.setPointSize(8);
    setFont(WindowFonts::faceFor(standard));
    setAttribute(Qt::WA_QuitOnClose, false);
    // The active control follows the focus inside this window.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && now != this && now->window() == this)
            activeControl_ = now;
    });
}

TForm::~TForm() { stacking().removeAll(this); }

QList<TForm*> TForm::zOrder() { return stacking(); }

QSize TForm::frameExtraFor(TBorderStyle style) {
    switch (style) {
    case TBorderStyle::bsNone: return QSize(0, 0);
    case TBorderStyle::bsDialog: return QSize(6, 25);
    case TBorderStyle::bsSizeable: break;
    }
    return QSize(8, 27);
}

void TForm::setBorderStyle(TBorderStyle style) {
    borderStyle_ = style;
    frameExtra_ = frameExtraFor(style);
    const QPoint keep = pos();
    const Qt::WindowFlags base = windowFlags() & ~Qt::WindowType_Mask;
    Qt::WindowFlags flags;
    if (style == TBorderStyle::bsNone)
        flags = Qt::Window | Qt::FramelessWindowHint;
    else if (style == TBorderStyle::bsDialog)
        flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    else
        flags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
    setWindowFlags((base & ~(Qt::FramelessWindowHint | Qt::CustomizeWindowHint |
                             Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                             Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)) |
                   flags);
    move(keep);
}

void TForm::setDesignedBounds(int left, int top, int width, int height) {
    setDesignedClientBounds(left, top, width - frameExtra_.width(), height - frameExtra_.height());
}

void TForm::setDesignedClientBounds(int left, int top, int clientWidth, int clientHeight) {
    resize(std::max(0, clientWidth), std::max(0, clientHeight));
    move(left, top);
}

QSize TForm::designedOuterSize() const { return size() + frameExtra_; }

bool TForm::visibleFlag() const { return isVisible(); }

void TForm::setVisibleFlag(bool visible) {
    if (visible == isVisible())
        return;
    if (!visible) {
        // Hiding the active window activates the front-most other one.
        const bool wasActive = isActiveWindow() && !(windowState() & Qt::WindowMinimized);
        hide();
        if (wasActive)
            activateNextWindow();
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
    const QSize outer = designedOuterSize();
    switch (position_) {
    case TPosition::poScreenCenter: {
        const QPoint centred = Placement::centredIn(Placement::primaryScreenRect(), outer);
        // The monitor rule runs once more on the centred place.
        move(Placement::monitorRulePosition(QRect(centred, outer), true, this));
        break;
    }
    case TPosition::poDesktopCenter:
        move(Placement::centredIn(Placement::desktopRect(), outer));
        break;
    case TPosition::poDesigned:
        break;
    }
    position_ = TPosition::poDesigned;
}

void TForm::applyMonitorRule() {
    const QSize outer = designedOuterSize();
    move(Placement::monitorRulePosition(QRect(pos(), outer),
                                        position_ == TPosition::poScreenCenter, this));
}

double TForm::ScaleForTextHeight() {
    if (scaled_)
        return 1.0;
    scaled_ = true;
    mapStoredFonts();
    const int textHeight = WindowFonts::textHeight(font());
    if (textHeight == DesignedTextHeight || textHeight <= 0)
        return 1.0;
    const double factor = double(textHeight) / DesignedTextHeight;
    auto scale = [factor](int v) { return int(std::lround(v * factor)); };
    // Only the controls of the stored layout move: Qt's own inner widgets
    // (named qt_*) and anything a layout manages are left alone.
    const auto children = findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (child->isWindow() || child->objectName().isEmpty() ||
            child->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QWidget* parent = child->parentWidget();
        if (parent && parent->layout() && parent->layout()->indexOf(child) >= 0)
            continue;
        const QRect g = child->geometry();
        child->setGeometry(scale(g.x()), scale(g.y()), scale(g.width()), scale(g.height()));
    }
    if (!layout())
        resize(scale(width()), scale(this->height()));
    return factor;
}

void TForm::mapStoredFonts() { WindowFonts::mapStoredFonts(this); }

void TForm::Close() { close(); }

void TForm::closeEvent(QCloseEvent* event) {
    // Closing never destroys a window; the main window's close ends the program.
    event->ignore();
    guarded([this] {
        if (Application && Application->MainForm() == this) {
            Application->Terminate();
            return;
        }
        setVisibleFlag(false);
    });
}

void TForm::bringToFrontOfOrder() {
    stacking().removeAll(this);
    stacking().prepend(this);
}

void TForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    guarded([&] {
        // One task-bar entry for the program: the main window's. (Secondary
        // windows are also transient for it, which most task bars honour.)
        if (!event->spontaneous() && parentWidget())
            X11Windows::skipTaskbar(this);
        bringToFrontOfOrder();
        if (!event->spontaneous())
            FormShow();
    });
}

void TForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    guarded([this] {
        stacking().removeAll(this);
        FormHide();
    });
}

void TForm::activateNextWindow() {
    // The front-most other visible, enabled window; ordinary windows before
    // those that stay on top. On X11 the order is the X server's (a window
    // manager or the user may have restacked windows without activating
    // them); windows it does not list follow in the order the program saw.
    QList<QWidget*> mine;
    for (TForm* form : stacking())
        if (form != this && form->isVisible() && form->isEnabled())
            mine << form;
    QList<QWidget*> order = X11Windows::frontToBack(mine);
    for (QWidget* form : mine)
        if (!order.contains(form))
            order << form;
    QWidget* choice = nullptr;
    for (int pass = 0; pass < 2 && !choice; ++pass) {
        for (QWidget* form : order) {
            const bool onTop = form->windowFlags() & Qt::WindowStaysOnTopHint;
            if (onTop == (pass == 1)) {
                choice = form;
                break;
            }
        }
    }
    if (!choice)
        return;
    if (X11Windows::available() && !X11Windows::managerActivates()) {
        // Without a window manager Qt's request carries the time of the last
        // event the program saw; the server refuses it when the focus was set
        // later by another client, and the focus stays on the root window.
        X11Windows::focusWithoutManager(choice);
    }
    choice->activateWindow();
}

bool TForm::canTakeFocus(const QWidget* control) const {
    // Any shown, enabled control of the window, whatever its focus policy: a
    // panel that a click or Tab never focuses can still be the active control.
    return control && control->window() == this && control->isEnabled() && control->isVisible();
}

void TForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        guarded([this] {
            bringToFrontOfOrder();
            FormActivate();
            QWidget* control = activeControl_;
            if (canTakeFocus(control) && QApplication::focusWidget() != control)
                control->setFocus(Qt::ActiveWindowFocusReason);
        });
    }
    QWidget::changeEvent(event);
}

// Arrow keys that the focused control leaves alone move the focus among its
// siblings, tab stop or not: Right and Down to the next, Left and Up to the previous.
void TForm::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool arrow = key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up ||
                       key == Qt::Key_Down;
    if (arrow && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        bool moved = false;
        guarded([&] { moved = SelectNextSibling(key == Qt::Key_Right || key == Qt::Key_Down); });
        if (moved) {
            event->accept();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

bool TForm::SelectNextSibling(bool forward) {
    QWidget* focused = QApplication::focusWidget();
    if (!focused || focused->window() != this || focused == this)
        return false;
    // A control made of inner widgets counts as its outer, named widget.
    while (focused->parentWidget() && focused->parentWidget() != this &&
           focused->objectName().startsWith(QLatin1String("qt_")))
        focused = focused->parentWidget();
    QWidget* parent = focused->parentWidget();
    if (!parent)
        return false;
    // Siblings in the window's tab order.
    QList<QWidget*> siblings;
    QWidget* w = this;
    do {
        w = w->nextInFocusChain();
        if (w->parentWidget() == parent && !w->isWindow() && !siblings.contains(w))
            siblings << w;
    } while (w != this);
    if (!siblings.contains(focused))
        return false;
    const int n = int(siblings.size());
    const int start = int(siblings.indexOf(focused));
    for (int step = 1; step < n; ++step) {
        QWidget* candidate = siblings[(start + (forward ? step : n - step)) % n];
        if (candidate->isVisible() && candidate->isEnabled() &&
            candidate->focusPolicy() != Qt::NoFocus) {
            candidate->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return false;
}
