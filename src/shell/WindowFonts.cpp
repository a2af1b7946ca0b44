#include "WindowFonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QRawFont>
#include <QScreen>
#include <QWidget>
#include <QtEndian>
#include <cmath>

namespace WindowFonts {

namespace {
bool namesBitmapFamily(const QFont& font) {
    const QStringList families = font.families();
    const QString first = families.isEmpty() ? font.family() : families.first();
    return first.compare(BitmapFamily, Qt::CaseInsensitive) == 0;
}

double pointsOf(const QFont& font) {
    if (font.pointSizeF() > 0)
        return font.pointSizeF();
    // A pixel size: the points it stands for at the screens' resolution.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return font.pixelSize() * 72.0 / dpi;
}
} // namespace

bool bitmapFaceExact() {
    for (const QScreen* screen : QGuiApplication::screens())
        if (std::abs(screen->devicePixelRatio() - 1.0) > 1e-6)
            return false;
    // Qt's own conversion of points to pixels, whatever resolution it uses.
    QFont probe(OutlineFamily);
    probe.setPointSize(8);
    return QFontInfo(probe).pixelSize() == 11;
}

QFont faceFor(const QFont& stored) {
    if (!namesBitmapFamily(stored))
        return stored;
    if (std::abs(pointsOf(stored) - 8.0) < 0.26 && bitmapFaceExact())
        return stored;
    QFont outline = stored;
    outline.setFamilies({OutlineFamily});
    return outline;
}

void mapStoredFonts(QWidget* widget) {
    auto remap = [](QWidget* w) {
        const QFont f = w->font();
        // Designer layouts store a family as a list of families.
        if (!(f.resolveMask() & (QFont::FamilyResolved | QFont::FamiliesResolved)))
            return;
        const QFont face = faceFor(f);
        if (face.families() != f.families() || face.family() != f.family())
            w->setFont(face);
    };
    remap(widget);
    for (QWidget* child : widget->findChildren<QWidget*>())
        remap(child);
}

int textHeight(const QFont& font) {
    const QFontInfo info(font);
    if (QFontDatabase::isScalable(info.family(), info.styleName())) {
        const QRawFont raw = QRawFont::fromFont(font);
        const QByteArray os2 = raw.isValid() ? raw.fontTable("OS/2") : QByteArray();
        const qreal em = raw.isValid() ? raw.unitsPerEm() : 0;
        // usWinAscent and usWinDescent, at bytes 74 and 76 of the table.
        if (os2.size() >= 78 && em > 0) {
            const auto* bytes = reinterpret_cast<const uchar*>(os2.constData());
            const double scale = info.pixelSize() / em;
            const long ascent = std::lround(qFromBigEndian<quint16>(bytes + 74) * scale);
            const long descent = std::lround(qFromBigEndian<quint16>(bytes + 76) * scale);
            if (ascent + descent > 0)
                return int(ascent + descent);
        }
    }
    return QFontMetrics(font).height();
}

} // namespace WindowFonts
