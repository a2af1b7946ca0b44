#include "Accessibility.h"

#include "Guarded.h"
#include "MenuItemAccessible.h"
#include "TSpeedButton.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QPointer>
#include <QWidget>
#include <mutex>

namespace {

const char* const RoleProperty = "kartotekaAccessibleRole";

// A flat button as a push button: its name and description are the widget's
// accessible name and description, its state follows the button, and its one
// action does what a click does.
class SpeedButtonAccessible : public QAccessibleWidget {
public:
    explicit SpeedButtonAccessible(TSpeedButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

    TSpeedButton* button() const { return static_cast<TSpeedButton*>(widget()); }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.pressed = button()->isDown();
        return s;
    }

    QStringList actionNames() const override {
        if (!button()->isEnabled())
            return {};
        return {pressAction()};
    }

    // The press runs once the bus call has been answered: the delete question
    // runs a loop of its own, and a screen reader must not wait for it.
    void doAction(const QString& name) override {
        if (name != pressAction())
            return;
        QMetaObject::invokeMethod(
            button(), [target = QPointer<TSpeedButton>(button())] {
                if (target)
                    guarded([&] { target->Press(); });
            },
            Qt::QueuedConnection);
    }

    QStringList keyBindingsForAction(const QString& name) const override {
        if (name != pressAction())
            return {};
        QStringList keys;
        for (const QKeySequence& key : button()->Keys())
            keys.append(key.toString(QKeySequence::PortableText));
        return keys;
    }
};

QAccessibleInterface* factory(const QString& className, QObject* object) {
    (void)className;
    if (auto* action = qobject_cast<QAction*>(object)) {
        QWidget* owner = MenuItemAccessible::ownerOf(action);
        return owner ? new MenuItemAccessible(action, owner) : nullptr;
    }
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (auto* button = qobject_cast<TSpeedButton*>(widget))
        return new SpeedButtonAccessible(button);
    const QVariant role = widget->property(RoleProperty);
    if (role.isValid())
        return new QAccessibleWidget(widget, QAccessible::Role(role.toInt()));
    return nullptr;
}

} // namespace

namespace Accessibility {

void install() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(factory); });
}

void setRole(QWidget* widget, QAccessible::Role role) {
    install();
    widget->setProperty(RoleProperty, int(role));
}

} // namespace Accessibility
