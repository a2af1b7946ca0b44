#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

// Screen geometry shared by the windows and the message dialog.
namespace Placement {

// (area size - outer size) div 2 from the area's corner; a negative offset becomes 0.
QPoint centredIn(const QRect& area, const QSize& outer);

// The primary screen's rectangle (the whole screen, not only its work area).
QRect primaryScreenRect();

// The whole virtual desktop's size, taken from (0, 0) without any offset.
QRect desktopRect();

// The monitor that holds most of a rectangle (the nearest one if none does).
QScreen* monitorOf(const QRect& rect);

// The monitor rule for a window about to be shown: when the program's active
// window is on another monitor than `outer`, gives the place on the active
// window's monitor (centred if `centre`, else shifted by the offset between the
// monitors and pulled back inside its right and bottom edges). Otherwise gives
// outer's own top-left corner. `exclude` is the window being shown itself.
QPoint monitorRulePosition(const QRect& outer, bool centre, const QWidget* exclude);

} // namespace Placement
