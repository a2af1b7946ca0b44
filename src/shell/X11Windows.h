#pragma once

#include <QList>
#include <QWidget>

// What the program needs to know from the X server itself when it runs on
// X11 (the xcb platform); every function does nothing, or returns "unknown",
// on any other platform.
namespace X11Windows {

// Whether the program talks to an X server.
bool available();

// Whether a window manager that takes activation requests
// (_NET_ACTIVE_WINDOW) runs on the screen.
bool managerActivates();

// The given top-level windows that are mapped, in the X server's stacking
// order, front-most first; empty when the order is not known. Under a window
// manager the order is its client stacking list; without one, the root
// window's children.
QList<QWidget*> frontToBack(const QList<QWidget*>& windows);

// Gives the keyboard focus to the window when no window manager runs. The
// request carries the server's current time rather than the time of the last
// event the program saw, so that it is not refused as out of date when another
// client (a test tool, a focus utility) moved the focus since.
void focusWithoutManager(QWidget* window);

// Marks a window that is about to be mapped as one without a task-bar entry
// of its own (_NET_WM_STATE_SKIP_TASKBAR); the toolkit adds its own states to
// the property when it maps the window. A window manager drops the property
// when the window is withdrawn, so this is done at every show.
void skipTaskbar(QWidget* window);

} // namespace X11Windows
