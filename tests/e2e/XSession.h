#pragma once

#include <QProcess>
#include <QPoint>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

// The private X server a test runs on (started by scripts/private-x, which
// CTest puts in front of every X test), with xdotool to drive real programs on
// it with real key and mouse events, and imagemagick's import to look at the
// screen.
class XSession {
public:
    // The tools among xdotool, import and xprop that are not installed.
    static QString missingTools();

    // Takes the display from DISPLAY; false with the reason when there is none
    // or it does not answer.
    bool attach(QString* error);
    QString display() const { return display_; }

    // Runs xdotool with the arguments; false (and the output in *output) on
    // failure or after the time-out.
    bool xdo(const QStringList& args, QString* output = nullptr, int timeoutMs = 10000) const;
    // Waits for a visible window whose title matches the pattern; 0 when none came.
    qulonglong waitForWindow(const QString& namePattern, int timeoutMs = 10000) const;
    // The visible windows, one line each (id, place and size, title): what a
    // failed wait saw.
    QString windowList() const;
    // Waits until no visible window's title matches the pattern.
    bool waitForWindowGone(const QString& namePattern, int timeoutMs = 10000) const;
    // The window's place and size on the screen.
    QRect geometry(qulonglong window) const;
    bool focus(qulonglong window) const;
    bool click(int x, int y) const;
    // Clicks at a point of the window's client area (the window manager's
    // frame, if any, left out) with a mouse button: 1 left, 2 middle.
    bool clickIn(qulonglong window, QPoint at, int button = 1) const;
    // Keys one after another, separated by spaces ("End shift+Home").
    bool key(const QString& keys) const;
    bool type(const QString& text) const;
    // Asks the window to close as its close box would (WM_DELETE_WINDOW),
    // for a screen without a window manager.
    bool requestClose(qulonglong window) const;
    // The window that has the keyboard focus (the root window when none of
    // the clients has it), 0 when unknown.
    qulonglong focusedWindow() const;
    // The window manager's active window (_NET_ACTIVE_WINDOW), 0 when none.
    qulonglong activeWindow() const;
    // Whether a window manager runs on the screen.
    bool managed() const;
    // A property as xprop prints it after the '=' (or ':'), trimmed; empty when unset.
    QString property(qulonglong window, const QString& name) const;
    // A screenshot of the whole screen, saved as PNG.
    bool screenshot(const QString& file) const;

private:
    QProcessEnvironment env() const;

    QString display_;
};
