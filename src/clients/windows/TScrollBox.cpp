#include "TScrollBox.h"

#include <QEvent>
#include <QScrollBar>
#include <QStyle>

TScrollBox::TScrollBox(QWidget* parent) : QAbstractScrollArea(parent), contents_(new QWidget(viewport())) {
    contents_->setObjectName(QStringLiteral("ScrollBoxContents"));
    setFrameShape(QFrame::NoFrame);
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
    // Which bars show follows from the box's own size and the fixed range: a
    // bar shows when the visible area is smaller than the range in its
    // direction, and a bar that shows makes the visible area smaller across.
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const QSize outer = contentsRect().size();
    bool needH = outer.width() < range_.width();
    bool needV = outer.height() < range_.height();
    for (int round = 0; round < 2; ++round) {
        needH = outer.width() - (needV ? extent : 0) < range_.width();
        needV = outer.height() - (needH ? extent : 0) < range_.height();
    }
    if (updating_)
        return;
    updating_ = true;
    setHorizontalScrollBarPolicy(needH ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(needV ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    const QSize visible(std::max(0, outer.width() - (needV ? extent : 0)),
                        std::max(0, outer.height() - (needH ? extent : 0)));
    horizontalScrollBar()->setRange(0, std::max(0, range_.width() - visible.width()));
    horizontalScrollBar()->setPageStep(std::max(1, visible.width()));
    verticalScrollBar()->setRange(0, std::max(0, range_.height() - visible.height()));
    verticalScrollBar()->setPageStep(std::max(1, visible.height()));
    updating_ = false;
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
