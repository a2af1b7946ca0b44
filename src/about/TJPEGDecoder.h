#pragma once

#include <QByteArray>
#include <QImage>

// Decodes JPEG data held in memory with libjpeg. A fatal decoder error throws
// Exception("JPEG error #<message code>"); decoder warnings are ignored.
class TJPEGDecoder {
public:
    struct Header {
        int width = 0;
        int height = 0;
        bool grayscale = false;
        bool progressive = false;
    };

    // Reads the markers up to the first scan only.
    static Header ReadHeader(const QByteArray& jpeg);

    // Decodes the whole picture at scale 1/1 with the floating-point inverse
    // DCT and block smoothing. With `palette` the colours are quantized to at
    // most 236 and the result is Format_Indexed8 with a colour table;
    // otherwise it is Format_RGB888 (Format_Grayscale8 for a grey picture).
    static QImage Decode(const QByteArray& jpeg, bool palette);

    static constexpr int kPaletteColours = 236;
};
