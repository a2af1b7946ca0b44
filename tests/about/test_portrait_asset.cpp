// The committed portrait: its JPEG structure read marker by marker, and its
// stored form.

#include "JpegTestData.h"

#include <QTest>
#include <QtEndian>

namespace {

struct Segment {
    unsigned char marker;
    QByteArray payload; // without the length field
};

// The marker segments from SOI up to and including SOS.
QList<Segment> segmentsUpToScan(const QByteArray& jpeg) {
    QList<Segment> list;
    int pos = 2;
    while (pos + 4 <= jpeg.size()) {
        if (static_cast<unsigned char>(jpeg[pos]) != 0xFF)
            qFatal("segment at %d does not start with 0xFF", pos);
        const auto marker = static_cast<unsigned char>(jpeg[pos + 1]);
        const int length = qFromBigEndian<quint16>(jpeg.constData() + pos + 2);
        list.append({marker, jpeg.mid(pos + 4, length - 2)});
        pos += 2 + length;
        if (marker == 0xDA)
            break;
    }
    return list;
}

} // namespace

class TestPortraitAsset : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        jpeg = portraitJpegBytes();
        segments = segmentsUpToScan(jpeg);
        QVERIFY(segments.size() > 8);
    }

    void startsAndEndsAsAJpeg() {
        QVERIFY(jpeg.startsWith(QByteArray("\xFF\xD8", 2)));
        QVERIFY(jpeg.endsWith(QByteArray("\xFF\xD9", 2)));
        // Small enough to keep in memory for the whole run, large enough to be a real picture.
        QVERIFY(jpeg.size() > 20000 && jpeg.size() < 200000);
    }

    void metadataSegmentsComeFirstInOrder() {
        QList<QByteArray> found;
        for (const Segment& s : segments) {
            if (s.marker == 0xE0 && s.payload.startsWith("JFIF\0"))
                found << "JFIF";
            else if (s.marker == 0xE1 && s.payload.startsWith(QByteArray("Exif\0\0", 6)))
                found << "Exif";
            else if (s.marker == 0xED && s.payload.startsWith(QByteArray("Photoshop 3.0\0", 14)))
                found << "Photoshop";
            else if (s.marker == 0xE1 && s.payload.startsWith(QByteArray("http://ns.adobe.com/xap/1.0/\0", 29)))
                found << "XMP";
            else if (s.marker == 0xE2 && s.payload.startsWith(QByteArray("ICC_PROFILE\0", 12)))
                found << "ICC";
            else if (s.marker == 0xEE && s.payload.startsWith("Adobe"))
                found << "Adobe";
            else if (s.marker >= 0xE0 && s.marker <= 0xEF)
                found << "other APP";
            else
                break; // the first table or frame segment ends the metadata
        }
        QCOMPARE(found, (QList<QByteArray>{"JFIF", "Exif", "Photoshop", "XMP", "ICC", "Adobe"}));
    }

    void iccProfileIsOneCompleteChunk() {
        for (const Segment& s : segments) {
            if (s.marker != 0xE2)
                continue;
            QCOMPARE(int(s.payload[12]), 1);
            QCOMPARE(int(s.payload[13]), 1);
            const QByteArray profile = s.payload.mid(14);
            QCOMPARE(qFromBigEndian<quint32>(profile.constData()), quint32(profile.size()));
            QCOMPARE(profile.mid(36, 4), QByteArray("acsp"));
            return;
        }
        QFAIL("no ICC profile");
    }

    void adobeSegmentSaysYCbCr() {
        for (const Segment& s : segments)
            if (s.marker == 0xEE) {
                QCOMPARE(s.payload.size(), 12);
                QCOMPARE(int(s.payload[11]), 1); // transform 1: YCbCr
                return;
            }
        QFAIL("no Adobe segment");
    }

    void baselineFrame590x590WithoutSubsampling() {
        int frames = 0;
        for (const Segment& s : segments) {
            QVERIFY2(!(s.marker >= 0xC1 && s.marker <= 0xCF && s.marker != 0xC4 && s.marker != 0xC8 &&
                       s.marker != 0xCC),
                     "only a baseline frame is allowed");
            if (s.marker != 0xC0)
                continue;
            ++frames;
            const QByteArray& f = s.payload;
            QCOMPARE(int(static_cast<unsigned char>(f[0])), 8); // bits per sample
            QCOMPARE(qFromBigEndian<quint16>(f.constData() + 1), quint16(590));
            QCOMPARE(qFromBigEndian<quint16>(f.constData() + 3), quint16(590));
            QCOMPARE(int(f[5]), 3);
            for (int c = 0; c < 3; ++c) {
                QCOMPARE(int(f[6 + 3 * c]), c + 1);                                // component ids 1, 2, 3
                QCOMPARE(int(static_cast<unsigned char>(f[7 + 3 * c])), 0x11); // 1 x 1 sampling
            }
        }
        QCOMPARE(frames, 1);
    }

    void restartInterval74() {
        for (const Segment& s : segments)
            if (s.marker == 0xDD) {
                QCOMPARE(qFromBigEndian<quint16>(s.payload.constData()), quint16(74));
                // The scan really carries restart markers.
                QVERIFY(jpeg.contains(QByteArray("\xFF\xD0", 2)));
                QVERIFY(jpeg.contains(QByteArray("\xFF\xD7", 2)));
                return;
            }
        QFAIL("no restart interval");
    }

    void storedFormIsPrefixAndTheSameBytes() {
        const QByteArray stored = readTestFile(sourcePath("resources/portrait.picture-data"));
        QCOMPARE(stored.size(), jpeg.size() + 15);
        QCOMPARE(int(stored[0]), 10);
        QCOMPARE(stored.mid(1, 10), QByteArray("TJPEGImage"));
        QCOMPARE(qFromLittleEndian<quint32>(stored.constData() + 11), quint32(jpeg.size()));
        QCOMPARE(stored.mid(15), jpeg);
    }

private:
    QByteArray jpeg;
    QList<Segment> segments;
};

QTEST_GUILESS_MAIN(TestPortraitAsset)
#include "test_portrait_asset.moc"
