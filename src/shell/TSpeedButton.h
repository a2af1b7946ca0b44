#pragma once

#include <QKeySequence>
#include <QList>
#include <QPixmap>
#include <QWidget>

class QMouseEvent;

// A small button that never takes the keyboard focus. In flat mode it draws
// nothing while idle (its parent shows through), a thin raised edge while the
// pointer is over it, and a thin sunken edge with the glyph moved one pixel
// right and down while it is held. A left press captures the mouse; the click
// happens only when the left button is released over the button. The right
// and middle buttons do nothing. A disabled button shows its disabled glyph
// image and no edge. An error report ends a press: the button is no longer
// held, and a press still on its way when the report came is dropped.
class TSpeedButton : public QWidget {
    Q_OBJECT
public:
    // What the button draws: idle (with or without the hover edge) or held down.
    enum class TButtonState { bsUp, bsDisabled, bsDown };

    explicit TSpeedButton(QWidget* parent = nullptr);

    bool Flat() const { return flat_; }
    void setFlat(bool flat);
    // Transparent: the parent shows through the face (the default).
    bool Transparent() const { return transparent_; }
    void setTransparent(bool transparent);

    // The glyph holds numGlyphs images of equal width side by side:
    // the normal image, then the disabled one (further images are not used).
    // With a single image the disabled look is made from the normal one.
    void setGlyph(const QPixmap& glyph, int numGlyphs = 1);
    const QPixmap& Glyph() const { return glyph_; }
    int NumGlyphs() const { return numGlyphs_; }
    // The image drawn for the current enabled state.
    QPixmap currentGlyphImage() const;

    // True while the left button, pressed on this button, is held and the
    // pointer is over it (the pressed look).
    bool isDown() const { return state() == TButtonState::bsDown; }
    // True while the left button that was pressed on this button is held,
    // wherever the pointer is.
    bool isMouseCaptured() const { return captured_; }
    // True while the pointer is over the button (whether or not it is held).
    bool isMouseInControl() const { return mouseInControl_; }
    TButtonState state() const;
    // The edge drawn now: none, raised (hover) or sunken (pressed).
    enum class TEdge { None, Raised, Sunken };
    TEdge edge() const;

    // Runs the click: emits clicked(). Derived buttons (auto-repeat) call it too.
    virtual void Click();
    // A press without the mouse (the accessibility bus's press action, a
    // window's key): does what a click does, never takes the focus, and does
    // nothing while the button is disabled or hidden. Errors go on.
    virtual void Press();

    // The keys a window offers for this button, announced on the bus.
    const QList<QKeySequence>& Keys() const { return keys_; }
    void setKeys(const QList<QKeySequence>& keys) { keys_ = keys; }

    QSize sizeHint() const override { return QSize(23, 22); }

signals:
    void clicked();
    // A left press on an enabled button, after the pressed look is shown.
    void pressed();
    // The left button released (over the button or not), before any click.
    void released();

protected:
    // Hooks for derived buttons, run inside the guarded mouse handlers.
    virtual void MouseDown(QMouseEvent* event) { (void)event; }
    virtual void MouseUp(QMouseEvent* event) { (void)event; }
    // The press ended without a release: an error report cancelled it.
    virtual void PressCancelled() {}

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool pointerOver(const QPointF& pos) const;
    void cancelPress();

    QPixmap glyph_;
    int numGlyphs_ = 1;
    bool flat_ = false;
    bool transparent_ = true;
    bool captured_ = false;
    bool mouseInControl_ = false;
    QList<QKeySequence> keys_;
};
