#pragma once

#include <QAccessible>

class QWidget;

// What the program adds to the accessibility bus, beside what the toolkit
// gives its own controls: the flat buttons become push buttons with a press
// action, and plain containers (panels, the picture) can be given the role
// they play. Nothing here changes what is drawn or how the mouse works.
namespace Accessibility {

// Installs the program's accessible-object factory (once; later calls do nothing).
void install();

// The role a plain widget announces on the bus instead of the toolkit's
// generic one. Set it before the widget is first looked at by the bus.
void setRole(QWidget* widget, QAccessible::Role role);

} // namespace Accessibility
