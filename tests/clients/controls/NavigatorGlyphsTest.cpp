#include "NavigatorGlyphs.h"

#include <QBitmap>
#include <QImage>
#include <QTest>

// The glyph bitmaps: found by name without regard to case, two images side by
// side, the bottom-left colour transparent.
class NavigatorGlyphsTest : public QObject {
    Q_OBJECT
private slots:
    void everyKindHasItsGlyph()
    {
        for (int i = 0; i < NavigateBtnCount; ++i) {
            const auto kind = TNavigateBtn(i);
            const QPixmap glyph = NavigatorGlyphs::forKind(kind);
            QVERIFY2(!glyph.isNull(), qPrintable(navigateBtnWord(kind)));
            const int imageWidth = (kind == nbPrior || kind == nbNext) ? 10 : 14;
            QCOMPARE(glyph.size(), QSize(2 * imageWidth, 13));
        }
    }

    void nameIsMatchedWithoutRegardToCase()
    {
        const QImage a = NavigatorGlyphs::load("DBN_POST").toImage();
        const QImage b = NavigatorGlyphs::load("dbn_post").toImage();
        const QImage c = NavigatorGlyphs::load("Dbn_Post").toImage();
        QVERIFY(!a.isNull());
        QCOMPARE(a, b);
        QCOMPARE(a, c);
        QVERIFY(NavigatorGlyphs::load("dbn_nothing").isNull());
        QVERIFY(a != NavigatorGlyphs::load("dbn_cancel").toImage());
    }

    void backgroundIsTransparentAndShapesAreDrawn()
    {
        for (int i = 0; i < NavigateBtnCount; ++i) {
            const QPixmap glyph = NavigatorGlyphs::forKind(TNavigateBtn(i));
            const QImage image = glyph.toImage().convertToFormat(QImage::Format_ARGB32);
            const int w = glyph.width() / 2;
            QCOMPARE(qAlpha(image.pixel(0, 12)), 0);
            int normalBlack = 0, disabledGrey = 0, disabledWhite = 0, olive = 0;
            for (int y = 0; y < 13; ++y)
                for (int x = 0; x < glyph.width(); ++x) {
                    const QRgb p = image.pixel(x, y);
                    if (qAlpha(p) == 0) {
                        ++olive;
                        continue;
                    }
                    const QRgb c = p & 0xffffff;
                    if (x < w) {
                        QCOMPARE(c, QRgb(0x000000)); // the normal image is black only
                        ++normalBlack;
                    } else if (c == 0x808080) {
                        ++disabledGrey;
                    } else if (c == 0xffffff) {
                        ++disabledWhite;
                    } else {
                        QFAIL("disabled image uses a colour other than dark grey and white");
                    }
                }
            QVERIFY(normalBlack > 5);
            QVERIFY(disabledGrey > 5);
            QVERIFY(disabledWhite > 0);
            QVERIFY(olive > 13 * glyph.width() / 2);
        }
    }
};

QTEST_MAIN(NavigatorGlyphsTest)
#include "NavigatorGlyphsTest.moc"
