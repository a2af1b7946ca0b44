#pragma once

#include <QAbstractScrollArea>
#include <QSize>

// A scroll box whose scroll range is fixed rather than sized to its contents.
// Its controls sit on contents() at their stored positions. A scroll bar shows
// only while the visible area is smaller than the range, and scrolling never
// goes further than range minus visible size, so whatever lies beyond the range
// and is cut off by a small window cannot be brought into view.
class TScrollBox : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TScrollBox(QWidget* parent = nullptr);

    // The widget that carries the box's controls.
    QWidget* contents() const { return contents_; }

    QSize scrollRange() const { return range_; }
    void setScrollRange(QSize range);
    // The distance kept between a control scrolled into view and the edge.
    QSize scrollMargin() const { return margin_; }
    void setScrollMargin(QSize margin) { margin_ = margin; }

    // Scrolls just enough for the control to show, within the fixed range.
    void ScrollInView(QWidget* control);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;

private:
    void updateRanges();
    void placeContents();

    QWidget* contents_;
    QSize range_{0, 0};
    QSize margin_{0, 0};
    bool updating_ = false;
};
