// Decoding JPEG data with libjpeg: colours, palette, grey pictures, damaged data.

#include "Exception.h"
#include "JpegTestData.h"
#include "TJPEGDecoder.h"
#include "TJPEGImage.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QTest>
#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>

namespace {

QString messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.message();
    }
    return {};
}

struct Difference {
    int max = 0;
    double mean = 0;
};

// Per-channel difference of two pictures of the same size, both read as RGB.
Difference compareRgb(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    Difference d;
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 3; ++i) {
            const int diff = std::abs(int(p[i]) - int(q[i]));
            d.max = std::max(d.max, diff);
            sum += diff;
        }
    }
    d.mean = sum / (double(x.width()) * x.height() * 3);
    return d;
}

QByteArray greyJpeg() {
    QImage grey(64, 48, QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x)
            grey.scanLine(y)[x] = uchar((x * 4 + y * 2) & 0xFF);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    if (!writer.write(grey))
        qFatal("cannot encode a grey JPEG: %s", qPrintable(writer.errorString()));
    return bytes;
}

} // namespace

class TestJpegDecoder : public QObject {
    Q_OBJECT
private slots:
    void trueColourDisplayNeedsNoPalette() {
        // The offscreen display has 32 bits per pixel.
        QVERIFY(!TJPEGImage::PaletteDisplay());
    }

    void headerOfThePortrait() {
        const TJPEGDecoder::Header h = TJPEGDecoder::ReadHeader(portraitJpegBytes());
        QCOMPARE(h.width, 590);
        QCOMPARE(h.height, 590);
        QVERIFY(!h.grayscale);
        QVERIFY(!h.progressive);
    }

    void colourDecodeAgreesWithAnIndependentDecoder() {
        const QByteArray jpeg = portraitJpegBytes();
        const QImage ours = TJPEGDecoder::Decode(jpeg, false);
        QCOMPARE(ours.format(), QImage::Format_RGB888);
        QCOMPARE(ours.size(), QSize(590, 590));
        QImage reference;
        QVERIFY2(reference.loadFromData(jpeg, "jpeg"), "the toolkit's own JPEG reader is needed as a reference");
        QCOMPARE(reference.size(), ours.size());
        // Only the inverse DCT differs (floating point against integer): a
        // shifted row or swapped channel would show as large differences.
        const Difference d = compareRgb(ours, reference);
        QVERIFY2(d.max <= 4, qPrintable(QStringLiteral("max %1").arg(d.max)));
        QVERIFY2(d.mean < 0.5, qPrintable(QStringLiteral("mean %1").arg(d.mean)));
    }

    void paletteDecodeUsesAtMost236Colours() {
        const QByteArray jpeg = portraitJpegBytes();
        const QImage indexed = TJPEGDecoder::Decode(jpeg, true);
        QCOMPARE(indexed.format(), QImage::Format_Indexed8);
        QCOMPARE(indexed.size(), QSize(590, 590));
        QVERIFY(indexed.colorCount() <= 236);
        QVERIFY2(indexed.colorCount() > 64, "a portrait in colour should use much of the palette");
        for (int y = 0; y < indexed.height(); ++y)
            for (int x = 0; x < indexed.width(); ++x)
                QVERIFY(indexed.constScanLine(y)[x] < indexed.colorCount());
        // Dithered, but close to the true-colour picture on average.
        const Difference d = compareRgb(indexed, TJPEGDecoder::Decode(jpeg, false));
        QVERIFY2(d.mean < 6, qPrintable(QStringLiteral("mean %1").arg(d.mean)));
    }

    void greyPicture() {
        const QByteArray jpeg = greyJpeg();
        const TJPEGDecoder::Header h = TJPEGDecoder::ReadHeader(jpeg);
        QVERIFY(h.grayscale);
        QCOMPARE(QSize(h.width, h.height), QSize(64, 48));
        const QImage grey = TJPEGDecoder::Decode(jpeg, false);
        QCOMPARE(grey.format(), QImage::Format_Grayscale8);
        QImage reference;
        QVERIFY(reference.loadFromData(jpeg, "jpeg"));
        QVERIFY(compareRgb(grey, reference).max <= 4);
        const QImage indexed = TJPEGDecoder::Decode(jpeg, true);
        QCOMPARE(indexed.format(), QImage::Format_Indexed8);
        QVERIFY(indexed.colorCount() <= 236);
        for (QRgb c : indexed.colorTable())
            QVERIFY(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c));
    }

    void missingQuantTablesFailAtDecodeNotAtLoad() {
        const QByteArray broken = withoutSegments(portraitJpegBytes(), 0xDB);
        QVERIFY(broken.size() < portraitJpegBytes().size());
        const TJPEGDecoder::Header h = TJPEGDecoder::ReadHeader(broken);
        QCOMPARE(h.width, 590);
        QCOMPARE(messageOf([&] { TJPEGDecoder::Decode(broken, false); }),
                 QStringLiteral("JPEG error #%1").arg(int(JERR_NO_QUANT_TABLE)));
        QCOMPARE(messageOf([&] { TJPEGDecoder::Decode(broken, true); }),
                 QStringLiteral("JPEG error #%1").arg(int(JERR_NO_QUANT_TABLE)));
    }

    void headerErrorsCarryTheDecoderCode() {
        QCOMPARE(messageOf([] { TJPEGDecoder::ReadHeader(QByteArray("GIF89a....")); }),
                 QStringLiteral("JPEG error #%1").arg(int(JERR_NO_SOI)));
        // A start-of-frame claiming a zero width.
        QByteArray jpeg = portraitJpegBytes();
        const int sof = int(jpeg.indexOf(QByteArray("\xFF\xC0", 2)));
        QVERIFY(sof > 0);
        jpeg[sof + 7] = 0;
        jpeg[sof + 8] = 0;
        QCOMPARE(messageOf([&] { TJPEGDecoder::ReadHeader(jpeg); }),
                 QStringLiteral("JPEG error #%1").arg(int(JERR_EMPTY_IMAGE)));
    }

    void truncatedScanIsAWarningOnly() {
        const QByteArray jpeg = portraitJpegBytes();
        const QImage full = TJPEGDecoder::Decode(jpeg, false);
        QImage cut;
        QCOMPARE(messageOf([&] { cut = TJPEGDecoder::Decode(jpeg.left(jpeg.size() / 2), false); }), QString());
        QCOMPARE(cut.size(), full.size());
        // The rows decoded before the data ran out are the same.
        QCOMPARE(cut.copy(0, 0, 590, 100), full.copy(0, 0, 590, 100));
    }

    void bitmapIsDecodedOnceAndKept() {
        TJPEGImage::SetPaletteDisplay(false);
        TJPEGImage image;
        image.LoadFromJpeg(portraitJpegBytes());
        QCOMPARE(image.DecodeCount(), 0);
        const qint64 key = image.Bitmap().cacheKey();
        for (int i = 0; i < 5; ++i)
            QCOMPARE(image.Bitmap().cacheKey(), key);
        QCOMPARE(image.DecodeCount(), 1);
        QCOMPARE(image.Bitmap().format(), QImage::Format_RGB888);
    }

    void paletteDisplayGivesIndexedBitmap() {
        TJPEGImage::SetPaletteDisplay(true);
        TJPEGImage image;
        image.LoadFromJpeg(portraitJpegBytes());
        const QImage bitmap = image.Bitmap();
        TJPEGImage::SetPaletteDisplay(false);
        QCOMPARE(bitmap.format(), QImage::Format_Indexed8);
        QVERIFY(bitmap.colorCount() <= 236);
    }

    void failedDecodeIsReportedOnce() {
        TJPEGImage image;
        image.LoadFromJpeg(withoutSegments(portraitJpegBytes(), 0xDB));
        QVERIFY(messageOf([&] { image.Bitmap(); }).startsWith(QLatin1String("JPEG error #")));
        QCOMPARE(messageOf([&] { image.Bitmap(); }), QString());
        QVERIFY(image.Bitmap().isNull());
        QCOMPARE(image.DecodeCount(), 1);
    }
};

QTEST_MAIN(TestJpegDecoder)
#include "test_jpeg_decoder.moc"
