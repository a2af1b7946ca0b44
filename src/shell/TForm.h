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
    QSize designedOuterSize() const;

    // The control that gets the focus whenever the window is activated.
    QWidget* activeControl() const { return activeControl_; }
    void setActiveControl(QWidget* control) { activeControl_ = control; }

    // The create handler, run by the application once the layout is loaded.
    virtual void FormCreate() {}

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void placeAtFirstShow();
    void applyMonitorRule();

    TPosition position_ = TPosition::poDesigned;
    TBorderStyle borderStyle_ = TBorderStyle::bsSizeable;
    QPoint designedPos_;
    QSize designedClientSize_{320, 240};
    QSize frameExtra_{8, 27}; // outer minus client size of a sizeable frame, as designed
    bool shownOnce_ = false;
    QPointer<QWidget> activeControl_;
};
