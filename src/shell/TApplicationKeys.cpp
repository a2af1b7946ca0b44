// The application-wide key check (run before any control sees a key): the
// main window's menu shortcuts, arrow keys moving among buttons, and the
// first key or click after a refused exit.
#include "TApplication.h"

#include "Guarded.h"
#include "TForm.h"
#include "TForm1.h"

#include <QAbstractButton>
#include <QKeyEvent>

// The application-wide shortcut check: a key combination that is a shortcut
// of the main window's menu runs that command before any control sees the
// key, from whichever window has the focus, while no modal window is open.
bool TApplication::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // After an exit that could not store a record, a key or click in one of
    // the program's windows other than the menu strip means the user went
    // back to work: the next exit stores again.
    if (exitRefused_ && (type == QEvent::KeyPress || type == QEvent::MouseButtonPress) && watched->isWidgetType()) {
        auto* form = qobject_cast<TForm*>(static_cast<QWidget*>(watched)->window());
        if (form && form != mainForm_)
            exitRefused_ = false;
    }
    // Push buttons and check boxes use no arrow keys: the arrows move the
    // focus among the button's siblings (the toolkit would follow the tab chain).
    if (type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int k = key->key();
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (button && !button->autoExclusive() &&
            (k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            if (auto* form = qobject_cast<TForm*>(button->window())) {
                bool moved = false;
                guarded([&] { moved = form->SelectNextSibling(k == Qt::Key_Right || k == Qt::Key_Down); });
                if (moved)
                    return true;
            }
        }
    }
    if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) && watched->isWidgetType() &&
        mainForm_ && mainForm_->isEnabled() && !activeModalWidget()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (type == QEvent::ShortcutOverride) {
            if (mainForm_->IsShortCut(*key, false)) {
                // Claimed: no shortcut of a control gets it, the key press follows.
                event->accept();
                return true;
            }
        } else {
            bool handled = false;
            guarded([&] { handled = mainForm_->IsShortCut(*key, true); });
            if (handled) {
                event->accept();
                return true;
            }
        }
    }
    return QApplication::eventFilter(watched, event);
}
