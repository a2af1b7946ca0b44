#pragma once

#include "TGraphic.h"

#include <QImage>
#include <QString>

class TPictureRegistry;

// The JPEG picture type. Its stored data is the JPEG length as a 32-bit
// little-endian number followed by the JPEG bytes. Loading keeps the bytes and
// reads only the header; the bitmap is decoded at the first Draw, once, and
// kept until the picture is destroyed.
class TJPEGImage : public TGraphic {
public:
    static const QString kClassName; // "TJPEGImage"

    // Adds the type to a registry: class name, extensions "jpeg" and "jpg",
    // description "JPEG Image File".
    static void Register(TPictureRegistry& registry);

    void ReadData(const QByteArray& data) override;
    // Takes plain JPEG bytes (as read from a .jpg file).
    void LoadFromJpeg(const QByteArray& jpeg);

    bool Empty() const override { return jpeg_.isEmpty(); }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    const QByteArray& JpegData() const { return jpeg_; }

    // Decodes on first use. After a failed decode the error is thrown once;
    // later calls give an empty bitmap rather than repeating the report at
    // every paint.
    const QImage& Bitmap();
    void Draw(QPainter& painter, QPoint at) override;

    // How many decodes this picture has run (successful or not).
    int DecodeCount() const { return decodeCount_; }

    // Whether bitmaps are decoded through a 236-colour palette: true when the
    // primary screen had 8 or fewer bits per pixel when first asked.
    static bool PaletteDisplay();
    static void SetPaletteDisplay(bool palette);

private:
    QByteArray jpeg_;
    int width_ = 0;
    int height_ = 0;
    QImage bitmap_;
    bool decodeFailed_ = false;
    int decodeCount_ = 0;
};
