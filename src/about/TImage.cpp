#include "TImage.h"

#include "Guarded.h"
#include "TGraphic.h"

#include <QPainter>

TImage::TImage(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void TImage::paintEvent(QPaintEvent*) {
    // A decoding error goes to the error report; the control then stays blank.
    guarded([&] {
        if (TGraphic* graphic = picture_.Graphic()) {
            QPainter painter(this);
            // At a device pixel ratio above 1 each picture pixel is repeated,
            // not blurred; the picture keeps its size and place in the window.
            painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
            graphic->Draw(painter, QPoint(0, 0));
        }
    });
}
