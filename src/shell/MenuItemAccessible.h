#pragma once

#include <QAccessibleObject>
#include <QPointer>

class QAction;
class QWidget;

// A menu item on the accessibility bus, as the toolkit shows it, with one
// addition: its keys. The key binding follows the bus's convention for menu
// items, "access key;path;shortcut": the access key the menu strip draws
// under a character of the caption ("1" for "№1"), and the shortcut (Ctrl+C
// for "Данные о клиенте"). An item with neither has an empty binding.
class MenuItemAccessible : public QAccessibleObject, public QAccessibleActionInterface {
public:
    // owner: the menu bar or menu the item stands in.
    MenuItemAccessible(QAction* action, QWidget* owner);

    // The menu bar or menu an action stands in, or null.
    static QWidget* ownerOf(QAction* action);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QString text(QAccessible::Text type) const override;
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QAccessible::State state() const override;

    QStringList actionNames() const override;
    void doAction(const QString& name) override;
    QStringList keyBindingsForAction(const QString& name) const override;

    // "access key;path;shortcut" for the bus.
    QString keyBinding() const;

private:
    QAction* action() const;

    QPointer<QWidget> owner_;
};
