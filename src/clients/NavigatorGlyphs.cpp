#include "NavigatorGlyphs.h"

#include <QBitmap>
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
        const QRgb transparent = image.pixel(0, image.height() - 1);
        QPixmap pixmap = QPixmap::fromImage(image.convertToFormat(QImage::Format_RGB32));
        pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(transparent, Qt::MaskOutColor)));
        return pixmap;
    }
    return {};
}
