#include "TScrollBox.h"

#include <QEvent>
#include <QScrollBar>

TScrollBox::TScrollBox(QWidget* parent) : QAbstractScrollArea(parent), contents_(new QWidget(viewport())) {
    contents_->setObjectName(QStringLiteral("ScrollBoxContents"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::NoFocus);
    viewport()->setAutoFillBackground(false);
    horizontalScrollBar()->setSingleStep(8);
    verticalScrollBar()->setSingleStep(8);
    updateRanges();
}

void TScrollBox::setScrollRange(QSize range) {
    range_ = range;
    updateRanges();
}

void TScrollBox::updateRanges() {
    // Each bar's range depends on the visible size, which depends on whether
    // the other bar shows; two rounds settle it.
    for (int round = 0; round < 2; ++round) {
        const QSize visible = viewport()->size();
        horizontalScrollBar()->setRange(0, std::max(0, range_.width() - visible.width()));
        horizontalScrollBar()->setPageStep(std::max(1, visible.width()));
        verticalScrollBar()->setRange(0, std::max(0, range_.height() - visible.height()));
        verticalScrollBar()->setPageStep(std::max(1, visible.height()));
    }
    placeContents();
}

void TScrollBox::placeContents() {
    // The contents widget covers exactly the visible area at the current scroll
    // offset, so nothing beyond what the range allows is ever painted.
    const int x = horizontalScrollBar()->value();
    const int y = verticalScrollBar()->value();
    contents_->setGeometry(-x, -y, viewport()->width() + x, viewport()->height() + y);
}

void TScrollBox::ScrollInView(QWidget* control) {
    if (!control || !contents_->isAncestorOf(control))
        return;
    const QRect r(control->mapTo(contents_, QPoint(0, 0)), control->size());
    const QSize visible = viewport()->size();
    auto adjust = [](QScrollBar* bar, int start, int end, int extent, int margin) {
        int value = bar->value();
        if (start - margin < value)
            value = start - margin;
        else if (end + margin > value + extent)
            value = end + margin - extent;
        bar->setValue(value); // clamped to the fixed range by the bar
    };
    adjust(horizontalScrollBar(), r.left(), r.right() + 1, visible.width(), margin_.width());
    adjust(verticalScrollBar(), r.top(), r.bottom() + 1, visible.height(), margin_.height());
}

void TScrollBox::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateRanges();
}

void TScrollBox::scrollContentsBy(int, int) { placeContents(); }

bool TScrollBox::viewportEvent(QEvent* event) {
    // The viewport's own size changes when a scroll bar appears or goes.
    if (event->type() == QEvent::Resize)
        updateRanges();
    return QAbstractScrollArea::viewportEvent(event);
}
