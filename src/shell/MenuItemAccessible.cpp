#include "MenuItemAccessible.h"

#include "TMenuKeyboard.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace {

// The access key drawn under the caption, or nothing.
QString accessKeyOf(const QAction* action) {
    const QChar key = TMenuKeyboard::accessKey(action->text());
    return key.isNull() ? QString() : QString(key);
}

} // namespace

MenuItemAccessible::MenuItemAccessible(QAction* action, QWidget* owner) : QAccessibleObject(action), owner_(owner) {}

QWidget* MenuItemAccessible::ownerOf(QAction* action) {
    for (QObject* object : action->associatedObjects())
        if (qobject_cast<QMenu*>(object) || qobject_cast<QMenuBar*>(object))
            return static_cast<QWidget*>(object);
    return nullptr;
}

QAction* MenuItemAccessible::action() const { return static_cast<QAction*>(object()); }

void* MenuItemAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ActionInterface)
        return static_cast<QAccessibleActionInterface*>(this);
    return nullptr;
}

QWindow* MenuItemAccessible::window() const {
    return owner_ ? owner_->window()->windowHandle() : nullptr;
}

QAccessibleInterface* MenuItemAccessible::parent() const {
    return owner_ ? QAccessible::queryAccessibleInterface(owner_.data()) : nullptr;
}

QAccessibleInterface* MenuItemAccessible::child(int index) const {
    if (index == 0 && action()->menu())
        return QAccessible::queryAccessibleInterface(action()->menu());
    return nullptr;
}

int MenuItemAccessible::childCount() const { return action()->menu() ? 1 : 0; }

int MenuItemAccessible::indexOfChild(const QAccessibleInterface* child) const {
    return child && action()->menu() && child->object() == action()->menu() ? 0 : -1;
}

QAccessibleInterface* MenuItemAccessible::childAt(int, int) const { return nullptr; }

QString MenuItemAccessible::text(QAccessible::Text type) const {
    switch (type) {
    case QAccessible::Name:
        return TMenuKeyboard::plainCaption(action()->text());
    case QAccessible::Accelerator: {
        const QKeySequence shortcut = action()->shortcut();
        if (!shortcut.isEmpty())
            return shortcut.toString(QKeySequence::PortableText);
        return accessKeyOf(action());
    }
    default:
        return {};
    }
}

QRect MenuItemAccessible::rect() const {
    QRect area;
    if (auto* bar = qobject_cast<QMenuBar*>(owner_.data()))
        area = bar->actionGeometry(action());
    else if (auto* menu = qobject_cast<QMenu*>(owner_.data()))
        area = menu->actionGeometry(action());
    if (!owner_ || area.isEmpty())
        return {};
    return QRect(owner_->mapToGlobal(area.topLeft()), area.size());
}

QAccessible::State MenuItemAccessible::state() const {
    QAccessible::State s;
    QAction* item = action();
    if (!owner_ || !owner_->isVisible() || !item->isVisible())
        s.invisible = true;
    else
        s.focusable = true;
    QAction* active = nullptr;
    if (auto* bar = qobject_cast<QMenuBar*>(owner_.data()))
        active = bar->activeAction();
    else if (auto* menu = qobject_cast<QMenu*>(owner_.data()))
        active = menu->activeAction();
    s.focused = active == item;
    s.disabled = !item->isEnabled();
    s.hasPopup = item->menu() != nullptr;
    return s;
}

QStringList MenuItemAccessible::actionNames() const {
    if (!action()->isEnabled())
        return {};
    return {action()->menu() ? showMenuAction() : pressAction()};
}

void MenuItemAccessible::doAction(const QString& name) {
    QAction* item = action();
    if (!item->isEnabled() || !owner_)
        return;
    if (name == pressAction() && !item->menu()) {
        item->trigger();
    } else if (name == showMenuAction() && item->menu()) {
        if (item->menu()->isVisible())
            item->menu()->hide();
        else if (auto* bar = qobject_cast<QMenuBar*>(owner_.data()))
            bar->setActiveAction(item);
        else if (auto* menu = qobject_cast<QMenu*>(owner_.data()))
            menu->setActiveAction(item);
    }
}

QString MenuItemAccessible::keyBinding() const {
    const QKeySequence shortcut = action()->shortcut();
    return QStringLiteral("%1;;%2").arg(accessKeyOf(action()), shortcut.toString(QKeySequence::PortableText));
}

QStringList MenuItemAccessible::keyBindingsForAction(const QString& name) const {
    if (!actionNames().contains(name))
        return {};
    const QString binding = keyBinding();
    return binding == QStringLiteral(";;") ? QStringList() : QStringList{binding};
}
