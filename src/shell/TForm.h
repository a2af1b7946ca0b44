#pragma once

#include <QPointer>
#include <QWidget>

// Where a window goes at its first showing; afterwards it keeps its place.
enum class TPosition { poDesigned, poScreenCenter, poDesktopCenter };
enum class TBorderStyle { bsNone, bsSizeable, bsDialog };

// The base of every window of the program. A window is created once at
// start-up, hidden, and lives until the program ends: closing a secondary
// window hides it with all its state, closing the main window ends the program.
class TForm : public QWidget {
    Q_OBJECT
public:
    explicit TForm(QWidget* parent = nullptr);
    ~TForm() override;

    // Visible := value. Setting it on a window that is already visible does
    // nothing: the window is not raised, activated or restored.
    void setVisibleFlag(bool visible);
    bool visibleFlag() const;

    // The close request: hides a secondary window, ends the program for the main one.
    void Close();

    TPosition position() const { return position_; }
    void setPosition(TPosition position) { position_ = position; }
    TBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(TBorderStyle style);

    // The stored place and outer size (frame included), as laid out at design time.
    void setDesignedBounds(int left, int top, int width, int height);
    // The stored place with a client size (for windows that store ClientWidth/ClientHeight).
    void setDesignedClientBounds(int left, int top, int clientWidth, int clientHeight);
    // The outer size the placement rules work with: the client size plus the
    // frame the windows were designed with (a sizeable frame adds 8 x 27).
    QSize designedOuterSize() const;
    static QSize frameExtraFor(TBorderStyle style);

    // The control that gets the focus whenever the window is activated; it
    // follows the focus while the window is active.
    QWidget* activeControl() const { return activeControl_; }
    void setActiveControl(QWidget* control) { activeControl_ = control; }
    // Whether a control of this window can be given the focus now.
    bool canTakeFocus(const QWidget* control) const;

    // The text-height scaling of a loaded window: when the height of "0" in
    // the window's font is not the designed 13 pixels, the named controls and
    // the client size are scaled by (that height) / 13. Run once by the
    // application after the layout is loaded; gives the factor applied.
    double ScaleForTextHeight();
    static constexpr int DesignedTextHeight = 13;

    // The create handler, run by the application once the layout is loaded.
    virtual void FormCreate() {}
    // The show and hide handlers, run when the visible flag changes (not when
    // the window is minimized or restored), and the activate handler. None of
    // the program's windows has one; an error in them goes to the error report.
    virtual void FormShow() {}
    virtual void FormHide() {}
    virtual void FormActivate() {}

    // Before the program ends: a window with a pending record settles it as a
    // move would (a modified one is stored, an unmodified one dropped). Throws
    // when it cannot be stored; the record then stays pending.
    virtual void SettleForExit() {}

    // The window's menu shortcuts: true when the key combination is one of
    // them; when `run` is set the command runs as well.
    virtual bool IsShortCut(const QKeyEvent& key, bool run) {
        (void)key;
        (void)run;
        return false;
    }

    // Moves the focus from the focused control to its next (or previous)
    // sibling that can take it, tab stop or not, wrapping around.
    bool SelectNextSibling(bool forward);

    // The program's visible windows, front-most first, as far as the program
    // has seen them come to the front.
    static QList<TForm*> zOrder();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void placeAtFirstShow();
    void mapStoredFonts();
    void applyMonitorRule();
    void bringToFrontOfOrder();
    void activateNextWindow();

    TPosition position_ = TPosition::poDesigned;
    TBorderStyle borderStyle_ = TBorderStyle::bsSizeable;
    QSize frameExtra_{8, 27};
    bool shownOnce_ = false;
    bool scaled_ = false;
    QPointer<QWidget> activeControl_;
};
