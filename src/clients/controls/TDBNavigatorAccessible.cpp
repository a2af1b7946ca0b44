#include "TDBNavigatorAccessible.h"

#include "TDBNavigator.h"
#include "TNavButton.h"

#include <QAccessibleWidget>
#include <mutex>

namespace {

class NavigatorAccessible : public QAccessibleWidget {
public:
    explicit NavigatorAccessible(TDBNavigator* bar) : QAccessibleWidget(bar, QAccessible::ToolBar) {}

    int childCount() const override { return int(visibleButtons().size()); }

    QAccessibleInterface* child(int index) const override {
        const QList<TNavButton*> buttons = visibleButtons();
        if (index < 0 || index >= buttons.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(buttons[index]);
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child)
            return -1;
        return int(visibleButtons().indexOf(qobject_cast<TNavButton*>(child->object())));
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        for (TNavButton* button : visibleButtons())
            if (QRect(button->mapToGlobal(QPoint(0, 0)), button->size()).contains(x, y))
                return QAccessible::queryAccessibleInterface(button);
        return nullptr;
    }

private:
    QList<TNavButton*> visibleButtons() const {
        auto* bar = static_cast<TDBNavigator*>(widget());
        QList<TNavButton*> buttons;
        for (int kind = 0; kind < NavigateBtnCount; ++kind)
            if (bar->VisibleButtons().contains(TNavigateBtn(kind)))
                buttons.append(bar->Button(TNavigateBtn(kind)));
        return buttons;
    }
};

QAccessibleInterface* factory(const QString& className, QObject* object) {
    (void)className;
    if (auto* bar = qobject_cast<TDBNavigator*>(object))
        return new NavigatorAccessible(bar);
    return nullptr;
}

} // namespace

void installNavigatorAccessibility() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(factory); });
}
