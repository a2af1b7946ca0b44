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
            graphic->Draw(painter, QPoint(0, 0));
        }
    });
}
