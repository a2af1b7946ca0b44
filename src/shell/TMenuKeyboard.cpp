#include "TMenuKeyboard.h"

#include "Guarded.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QSet>
#include <QTimer>

namespace {

// Lets Alt on its own put the bar into keyboard mode whatever the style.
class AltNavigationStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_MenuBar_AltKeyNavigation)
            return 1;
        if (hint == SH_UnderlineShortcut)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

bool eligible(QChar c) {
    const QChar u = c.toUpper();
    return (u >= QLatin1Char('A') && u <= QLatin1Char('Z')) ||
           (u >= QLatin1Char('0') && u <= QLatin1Char('9'));
}

} // namespace

TMenuKeyboard::TMenuKeyboard(QMenuBar* bar, QWidget* window)
    : QObject(bar), bar_(bar), window_(window) {
    auto* style = new AltNavigationStyle();
    style->setParent(bar);
    bar->setStyle(style);
    assignAccessKeys(bar->actions());
    bar->installEventFilter(this);
    window->installEventFilter(this);
    for (QAction* item : bar->actions())
        if (item->menu()) {
            watchMenu(item->menu());
            // A menu of the bar open, by mouse or key: Esc brings the bar's mode.
            connect(item->menu(), &QMenu::aboutToShow, this, [this] { keyboardMode_ = true; });
        }
}

void TMenuKeyboard::watchMenu(QMenu* menu) {
    menu->installEventFilter(this);
    // The keys are the same whenever they are given; given now as well, they
    // are on the accessibility bus before the submenu first opens.
    assignAccessKeys(menu->actions());
    connect(menu, &QMenu::aboutToShow, this, [menu] { assignAccessKeys(menu->actions()); });
    for (QAction* item : menu->actions())
        if (item->menu())
            watchMenu(item->menu());
}

QString TMenuKeyboard::plainCaption(QString caption) {
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return caption;
}

QChar TMenuKeyboard::accessKey(const QString& caption) {
    for (int i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        if (caption[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return caption[i + 1].toUpper();
    }
    return QChar();
}

void TMenuKeyboard::assignAccessKeys(const QList<QAction*>& items) {
    QSet<QChar> taken;
    for (QAction* item : items) {
        const QChar key = accessKey(item->text());
        if (!key.isNull())
            taken.insert(key);
    }
    for (QAction* item : items) {
        if (item->isSeparator() || !accessKey(item->text()).isNull())
            continue;
        const QString caption = item->text();
        for (int i = 0; i < caption.size(); ++i) {
            const QChar c = caption[i];
            if (c == QLatin1Char('&') || !eligible(c) || taken.contains(c.toUpper()))
                continue;
            taken.insert(c.toUpper());
            QString marked = caption;
            marked.insert(i, QLatin1Char('&'));
            item->setText(marked);
            break;
        }
    }
}

bool TMenuKeyboard::selectByFirstLetter(QWidget* menu, const QList<QAction*>& items,
                                        const QString& typed) {
    if (typed.size() != 1 || !typed[0].isPrint() || typed[0].isSpace())
        return false;
    const QChar wanted = typed[0].toUpper();
    // An access key takes precedence; the toolkit handles those itself.
    for (QAction* item : items)
        if (item->isVisible() && item->isEnabled() && accessKey(item->text()) == wanted)
            return false;
    for (QAction* item : items) {
        if (!item->isVisible() || !item->isEnabled() || item->isSeparator() ||
            !accessKey(item->text()).isNull())
            continue;
        const QString caption = plainCaption(item->text());
        if (caption.isEmpty() || caption[0].toUpper() != wanted)
            continue;
        if (item->menu()) {
            if (auto* bar = qobject_cast<QMenuBar*>(menu))
                bar->setActiveAction(item);
            else if (auto* popup = qobject_cast<QMenu*>(menu)) {
                popup->setActiveAction(item);
                QKeyEvent open(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                QApplication::sendEvent(popup, &open);
            }
        } else {
            // A command item closes the whole menu, then runs.
            while (QWidget* open = QApplication::activePopupWidget())
                open->close();
            // The bar leaves its keyboard mode too.
            if (keyboardMode_ || bar_->hasFocus() || bar_->activeAction())
                leaveKeyboardMode();
            item->trigger();
        }
        return true;
    }
    return false;
}

void TMenuKeyboard::toggleBar() {
    if (!keyboardMode_ || !bar_->activeAction()) {
        activateBar();
        return;
    }
    leaveKeyboardMode();
}

void TMenuKeyboard::leaveKeyboardMode() {
    keyboardMode_ = false;
    while (QWidget* open = QApplication::activePopupWidget())
        open->close();
    QKeyEvent leave(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(bar_, &leave);
    bar_->setActiveAction(nullptr);
}

void TMenuKeyboard::activateBar() {
    // The bar's own Alt handling puts it into keyboard mode; F10 goes the same way.
    keyboardMode_ = true;
    // A highlight left by a closed menu is not the mode: start afresh on the first item.
    bar_->setActiveAction(nullptr);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
    for (int attempt = 0; attempt < 2 && !bar_->activeAction(); ++attempt) {
        // The Alt key toggles the mode: a bar left in it by a closed menu
        // needs a second toggle.
        QApplication::sendEvent(window_, &press);
        QApplication::sendEvent(window_, &release);
    }
    if (!bar_->activeAction()) {
        // The toolkit's own mode did not come (its Alt state was left toggled):
        // give the bar the keyboard with its first item highlighted.
        bar_->setFocus(Qt::MenuBarFocusReason);
        for (QAction* item : bar_->actions())
            if (item->isVisible() && !item->isSeparator()) {
                bar_->setActiveAction(item);
                break;
            }
    }
}

bool TMenuKeyboard::eventFilter(QObject* watched, QEvent* event) {
    // The mode ends when the bar loses the keyboard to anything but its own
    // menus, and with the Alt key (the toolkit toggles it itself).
    if (watched == bar_ && event->type() == QEvent::FocusOut && !QApplication::activePopupWidget())
        keyboardMode_ = false;
    if (watched == window_ && event->type() == QEvent::WindowDeactivate && !QApplication::activePopupWidget())
        keyboardMode_ = false;
    if (event->type() == QEvent::KeyRelease && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Alt &&
        (watched == bar_ || watched == window_)) {
        // The toolkit toggles the bar on Alt alone; follow what it did.
        QTimer::singleShot(0, this, [this] { keyboardMode_ = bar_->activeAction() != nullptr; });
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == window_) {
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::NoModifier &&
            window_->isActiveWindow()) {
            toggleBar();
            return true;
        }
        return false;
    }
    // F10 while the bar has the keyboard leaves its mode again.
    if (watched == bar_ && key->key() == Qt::Key_F10 && key->modifiers() == Qt::NoModifier) {
        toggleBar();
        return true;
    }
    const Qt::KeyboardModifiers mods = key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (mods != Qt::NoModifier)
        return false;
    bool handled = false;
    if (auto* menu = qobject_cast<QMenu*>(watched)) {
        guarded([&] { handled = selectByFirstLetter(menu, menu->actions(), key->text()); });
    } else if (watched == bar_ && key->key() == Qt::Key_Escape) {
        // Esc from the bar itself (no menu open) leaves the mode.
        keyboardMode_ = false;
        return false;
    } else if (watched == bar_ && keyboardMode_ && bar_->activeAction()) {
        // Only in the bar's keyboard mode (an item highlighted): the bar may
        // keep the focus after leaving it, and a stray letter must do nothing.
        guarded([&] { handled = selectByFirstLetter(bar_, bar_->actions(), key->text()); });
    }
    return handled;
}
