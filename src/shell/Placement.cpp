#include "Placement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <climits>

namespace Placement {

QPoint centredIn(const QRect& area, const QSize& outer) {
    const int dx = std::max(0, (area.width() - outer.width()) / 2);
    const int dy = std::max(0, (area.height() - outer.height()) / 2);
    return area.topLeft() + QPoint(dx, dy);
}

QRect primaryScreenRect() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->geometry() : QRect(0, 0, 1024, 768);
}

QRect desktopRect() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return QRect(0, 0, 1024, 768);
    return QRect(QPoint(0, 0), primary->virtualGeometry().size());
}

QScreen* monitorOf(const QRect& rect) {
    QScreen* best = nullptr;
    long long bestArea = -1;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->geometry().intersected(rect);
        const long long area = common.isEmpty() ? 0 : 1LL * common.width() * common.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    if (bestArea > 0)
        return best;
    // Nothing overlaps: take the monitor nearest to the rectangle's centre.
    const QPoint c = rect.center();
    int bestDistance = INT_MAX;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        const int dx = std::max({g.left() - c.x(), 0, c.x() - g.right()});
        const int dy = std::max({g.top() - c.y(), 0, c.y() - g.bottom()});
        if (dx + dy < bestDistance) {
            best = screen;
            bestDistance = dx + dy;
        }
    }
    return best ? best : QGuiApplication::primaryScreen();
}

QPoint monitorRulePosition(const QRect& outer, bool centre, const QWidget* exclude) {
    const QWidget* active = QApplication::activeWindow();
    if (!active || active == exclude || !active->isVisible())
        return outer.topLeft();
    QScreen* target = monitorOf(active->frameGeometry());
    QScreen* own = monitorOf(outer);
    if (!target || !own || target == own)
        return outer.topLeft();
    const QRect t = target->geometry();
    if (centre)
        return centredIn(t, outer.size());
    QPoint p = outer.topLeft() + (t.topLeft() - own->geometry().topLeft());
    if (p.x() + outer.width() > t.x() + t.width())
        p.setX(t.x() + t.width() - outer.width());
    if (p.y() + outer.height() > t.y() + t.height())
        p.setY(t.y() + t.height() - outer.height());
    return p;
}

} // namespace Placement
