// What the edit box tests share: a small table, focusing the box, its context
// menu's items, and a box whose drag handlers the test can call.
#pragma once

#include "ControlsTestWindow.h"
#include "CursorTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>

namespace EditTest {

inline QList<QStringList> three()
{
    return {ControlsTest::client("1", "R01"), ControlsTest::client("2", "R02"), ControlsTest::client("3", "R03")};
}

inline void focusBox(QWidget* box)
{
    box->setFocus(Qt::MouseFocusReason);
    QVERIFY(box->hasFocus());
}

inline QAction* menuItem(TDBEdit* box, const char* name)
{
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(4, 4), box->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(box, &event);
    auto* menu = box->findChild<QMenu*>(QStringLiteral("editMenu"));
    if (!menu)
        return nullptr;
    for (QAction* a : menu->actions())
        if (a->objectName() == QLatin1String(name))
            return a;
    return nullptr;
}

inline void closeMenu(TDBEdit* box)
{
    if (auto* menu = box->findChild<QMenu*>(QStringLiteral("editMenu"))) {
        menu->close();
        delete menu;
    }
}

// The box with its drag handlers reachable from the test.
class DropBox : public TDBEdit {
public:
    using TDBEdit::TDBEdit;
    using TDBEdit::dragEnterEvent;
    using TDBEdit::dropEvent;
};

} // namespace EditTest
