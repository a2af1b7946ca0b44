#include "TSpeedButton.h"

#include "Accessibility.h"
#include "Guarded.h"
#include "TApplication.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>
#include <QStyle>
#include <QStyleOption>

TSpeedButton::TSpeedButton(QWidget* parent) : QWidget(parent) {
    Accessibility::install();
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover, false);
    setAutoFillBackground(false);
    if (Application)
        connect(Application, &TApplication::mouseCaptureCancelled, this, &TSpeedButton::cancelPress);
}

void TSpeedButton::cancelPress() {
    if (!captured_)
        return;
    captured_ = false;
    update();
    guarded([this] { PressCancelled(); });
}

void TSpeedButton::setFlat(bool flat) {
    flat_ = flat;
    update();
}

void TSpeedButton::setTransparent(bool transparent) {
    transparent_ = transparent;
    setAttribute(Qt::WA_OpaquePaintEvent, !transparent);
    update();
}

void TSpeedButton::setGlyph(const QPixmap& glyph, int numGlyphs) {
    glyph_ = glyph;
    numGlyphs_ = std::max(1, numGlyphs);
    update();
}

QPixmap TSpeedButton::currentGlyphImage() const {
    if (glyph_.isNull())
        return {};
    const int w = glyph_.width() / numGlyphs_;
    const int index = (!isEnabled() && numGlyphs_ > 1) ? 1 : 0;
    QPixmap image = glyph_.copy(index * w, 0, w, glyph_.height());
    if (!isEnabled() && numGlyphs_ == 1) {
        // No disabled image of its own: let the style grey out the normal one.
        QStyleOption option;
        option.initFrom(this);
        image = style()->generatedIconPixmap(QIcon::Disabled, image, &option);
    }
    return image;
}

TSpeedButton::TButtonState TSpeedButton::state() const {
    if (!isEnabled())
        return TButtonState::bsDisabled;
    if (captured_ && mouseInControl_)
        return TButtonState::bsDown;
    return TButtonState::bsUp;
}

TSpeedButton::TEdge TSpeedButton::edge() const {
    const TButtonState s = state();
    if (s == TButtonState::bsDown)
        return TEdge::Sunken;
    if (!flat_)
        return TEdge::Raised;
    if (s == TButtonState::bsDisabled)
        return TEdge::None;
    // Held with the pointer off the button, or merely hovered: the raised edge.
    if (captured_ || mouseInControl_)
        return TEdge::Raised;
    return TEdge::None;
}

void TSpeedButton::Click() { emit clicked(); }

void TSpeedButton::Press() {
    if (isEnabled() && isVisible())
        Click();
}

bool TSpeedButton::pointerOver(const QPointF& pos) const {
    return rect().contains(pos.toPoint());
}

void TSpeedButton::paintEvent(QPaintEvent*) {
    guarded([&] {
        QPainter p(this);
        if (!transparent_)
            p.fillRect(rect(), palette().color(QPalette::Button));
        const QRect r = rect();
        const TEdge e = edge();
        if (e != TEdge::None) {
            const QColor light = palette().color(QPalette::Light);
            const QColor dark = palette().color(QPalette::Dark);
            const QColor topLeft = e == TEdge::Raised ? light : dark;
            const QColor bottomRight = e == TEdge::Raised ? dark : light;
            p.setPen(topLeft);
            p.drawLine(r.left(), r.top(), r.right(), r.top());
            p.drawLine(r.left(), r.top(), r.left(), r.bottom());
            p.setPen(bottomRight);
            p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
            p.drawLine(r.right(), r.top(), r.right(), r.bottom());
        }
        const QPixmap image = currentGlyphImage();
        if (!image.isNull()) {
            QPoint at((r.width() - image.width()) / 2, (r.height() - image.height()) / 2);
            if (state() == TButtonState::bsDown)
                at += QPoint(1, 1);
            // On a screen of another device pixel ratio the glyph's pixels
            // are repeated, never blended: 16-colour glyphs stay sharp.
            const qreal ratio = devicePixelRatioF();
            if (std::abs(ratio - 1.0) > 1e-6) {
                QPixmap sharp = image.scaled(image.size() * ratio, Qt::IgnoreAspectRatio,
                                             Qt::FastTransformation);
                sharp.setDevicePixelRatio(ratio);
                p.drawPixmap(at, sharp);
            } else {
                p.drawPixmap(at, image);
            }
        }
    });
}

void TSpeedButton::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    if (Application && Application->CaptureCancelledDuringPress())
        return;
    guarded([&] {
        captured_ = true;
        mouseInControl_ = true;
        update();
        emit pressed();
        MouseDown(event);
    });
}

void TSpeedButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is just another press.
    mousePressEvent(event);
}

void TSpeedButton::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (!captured_)
        return;
    const bool over = pointerOver(event->position());
    if (over != mouseInControl_) {
        mouseInControl_ = over;
        update();
    }
}

void TSpeedButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton || !captured_)
        return;
    const bool over = pointerOver(event->position());
    captured_ = false;
    mouseInControl_ = over;
    update();
    guarded([&] {
        emit released();
        MouseUp(event);
        if (over && isEnabled())
            Click();
    });
}

void TSpeedButton::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    // No hover while another control holds the mouse.
    QWidget* grabber = QWidget::mouseGrabber();
    if (grabber && grabber != this)
        return;
    if (!captured_ && QApplication::mouseButtons() != Qt::NoButton)
        return;
    mouseInControl_ = true;
    update();
}

void TSpeedButton::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (!mouseInControl_)
        return;
    mouseInControl_ = false;
    update();
}

void TSpeedButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled())
            captured_ = false;
        update();
    }
    QWidget::changeEvent(event);
}
