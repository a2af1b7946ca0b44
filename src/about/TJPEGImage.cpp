#include "TJPEGImage.h"

#include "Exception.h"
#include "TJPEGDecoder.h"
#include "TPictureRegistry.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QtEndian>
#include <optional>

const QString TJPEGImage::kClassName = QStringLiteral("TJPEGImage");

namespace {
std::optional<bool>& paletteDisplaySetting() {
    static std::optional<bool> setting;
    return setting;
}
} // namespace

void TJPEGImage::Register(TPictureRegistry& registry) {
    registry.registerType({kClassName,
                           {QStringLiteral("jpeg"), QStringLiteral("jpg")},
                           QStringLiteral("JPEG Image File"),
                           [] { return std::unique_ptr<TGraphic>(new TJPEGImage()); }});
    // Registration runs at start-up: take the display depth now, as it is
    // at program start, not whenever the first picture happens to be drawn.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        PaletteDisplay();
}

bool TJPEGImage::PaletteDisplay() {
    std::optional<bool>& setting = paletteDisplaySetting();
    if (!setting) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen)
            return false; // no display yet: ask again later
        setting = screen->depth() <= 8;
    }
    return *setting;
}

void TJPEGImage::SetPaletteDisplay(bool palette) { paletteDisplaySetting() = palette; }

void TJPEGImage::ReadData(const QByteArray& data) {
    if (data.size() < 4)
        throw Exception(QStringLiteral("JPEG picture data is truncated"));
    const quint32 length = qFromLittleEndian<quint32>(data.constData());
    if (length > static_cast<quint32>(data.size() - 4))
        throw Exception(QStringLiteral("JPEG picture data is truncated: %1 bytes announced, %2 present")
                            .arg(length)
                            .arg(data.size() - 4));
    LoadFromJpeg(data.mid(4, static_cast<qsizetype>(length)));
}

void TJPEGImage::LoadFromJpeg(const QByteArray& jpeg) {
    const TJPEGDecoder::Header header = TJPEGDecoder::ReadHeader(jpeg);
    jpeg_ = jpeg;
    width_ = header.width;
    height_ = header.height;
    bitmap_ = QImage();
    decodeFailed_ = false;
}

const QImage& TJPEGImage::Bitmap() {
    if (bitmap_.isNull() && !decodeFailed_ && !jpeg_.isEmpty()) {
        ++decodeCount_;
        decodeFailed_ = true; // until the decode below succeeds
        bitmap_ = TJPEGDecoder::Decode(jpeg_, PaletteDisplay());
        decodeFailed_ = false;
    }
    return bitmap_;
}

void TJPEGImage::Draw(QPainter& painter, QPoint at) {
    const QImage& bitmap = Bitmap();
    if (!bitmap.isNull())
        painter.drawImage(at, bitmap);
}
