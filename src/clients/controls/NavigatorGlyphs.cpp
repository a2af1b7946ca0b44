#include "NavigatorGlyphs.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

QPixmap NavigatorGlyphs::load(const QString& name)
{
    // Resource names are matched without regard to case, so "DBN_FIRST" and
    // "dbn_first" name the same bitmap.
    const QDir dir(QStringLiteral(":/glyphs"));
    const QStringList files = dir.entryList(QDir::Files);
    for (const QString& file : files) {
        if (QFileInfo(file).completeBaseName().compare(name, Qt::CaseInsensitive) != 0)
            continue;
        QImage image(dir.filePath(file));
        if (image.isNull())
            return {};
        QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        const QRgb transparent = argb.pixel(0, argb.height() - 1);
        for (int y = 0; y < argb.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(argb.scanLine(y));
            for (int x = 0; x < argb.width(); ++x)
                if (line[x] == transparent)
                    line[x] = qRgba(0, 0, 0, 0);
        }
        const QPixmap pixmap = QPixmap::fromImage(argb);
        return pixmap;
    }
    return {};
}
