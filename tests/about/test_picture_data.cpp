// The stored picture data of a window layout: class name, length, JPEG bytes.

#include "Exception.h"
#include "TGraphic.h"
#include "TJPEGImage.h"
#include "TPicture.h"
#include "TPictureRegistry.h"

#include <QFile>
#include <QTest>
#include <QtEndian>

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return f.readAll();
}

QByteArray portraitJpeg() {
    return readFile(qEnvironmentVariable("KARTOTEKA_SOURCE_DIR") + QStringLiteral("/resources/portrait.jpg"));
}

QByteArray storedForm(const QByteArray& className, const QByteArray& jpeg, quint32 announced) {
    QByteArray data;
    data += char(className.size());
    data += className;
    char length[4];
    qToLittleEndian(announced, length);
    data += QByteArray(length, 4);
    data += jpeg;
    return data;
}

QString messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.message();
    }
    return {};
}

} // namespace

class TestPictureData : public QObject {
    Q_OBJECT
private slots:
    void registryKnowsJpeg() {
        const TPictureRegistry& registry = TPictureRegistry::instance();
        const TPictureRegistry::Entry* byName = registry.findByClassName(QStringLiteral("TJPEGImage"));
        QVERIFY(byName);
        QCOMPARE(byName->description, QStringLiteral("JPEG Image File"));
        QCOMPARE(registry.findByExtension(QStringLiteral("jpg")), byName);
        QCOMPARE(registry.findByExtension(QStringLiteral(".JPEG")), byName);
        QVERIFY(!registry.findByExtension(QStringLiteral("bmp")));
        QVERIFY(!registry.findByClassName(QStringLiteral("tjpegimage")));
        auto graphic = byName->create();
        QVERIFY(dynamic_cast<TJPEGImage*>(graphic.get()));
    }

    void goodDataLoadsHeaderOnly() {
        const QByteArray jpeg = portraitJpeg();
        TPicture picture;
        picture.LoadFromStoredData(storedForm("TJPEGImage", jpeg, quint32(jpeg.size())));
        auto* image = dynamic_cast<TJPEGImage*>(picture.Graphic());
        QVERIFY(image);
        QCOMPARE(image->Width(), 590);
        QCOMPARE(image->Height(), 590);
        QCOMPARE(image->JpegData(), jpeg);
        QCOMPARE(image->DecodeCount(), 0); // nothing decoded until it is drawn
    }

    void committedStoredFormLoads() {
        const QByteArray stored =
            readFile(qEnvironmentVariable("KARTOTEKA_SOURCE_DIR") + QStringLiteral("/resources/portrait.picture-data"));
        TPicture picture;
        picture.LoadFromStoredData(stored);
        QVERIFY(picture.Graphic());
        QCOMPARE(static_cast<TJPEGImage*>(picture.Graphic())->JpegData(), portraitJpeg());
    }

    void malformed_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("message");
        const QByteArray jpeg = portraitJpeg();
        const QByteArray good = storedForm("TJPEGImage", jpeg, quint32(jpeg.size()));
        QTest::newRow("empty") << QByteArray() << QStringLiteral("Picture data is empty");
        QTest::newRow("name cut short") << good.left(6) << QStringLiteral("Picture data is truncated");
        QTest::newRow("zero-length name") << QByteArray(1, '\0') << QStringLiteral("Picture data is truncated");
        QTest::newRow("length field cut short") << good.left(13) << QStringLiteral("JPEG picture data is truncated");
        QTest::newRow("no length field") << good.left(11) << QStringLiteral("JPEG picture data is truncated");
        QTest::newRow("length past the end")
            << storedForm("TJPEGImage", jpeg, quint32(jpeg.size() + 1))
            << QStringLiteral("JPEG picture data is truncated: %1 bytes announced, %2 present")
                   .arg(jpeg.size() + 1)
                   .arg(jpeg.size());
        QTest::newRow("huge length") << storedForm("TJPEGImage", jpeg, 0xFFFFFFFFu)
                                     << QStringLiteral("JPEG picture data is truncated: 4294967295 bytes "
                                                       "announced, %1 present")
                                            .arg(jpeg.size());
        QTest::newRow("bytes cut off") << good.left(good.size() - 100)
                                       << QStringLiteral("JPEG picture data is truncated: %1 bytes announced, %2 present")
                                              .arg(jpeg.size())
                                              .arg(jpeg.size() - 100);
        QTest::newRow("wrong class") << storedForm("TBitmap", jpeg, quint32(jpeg.size()))
                                     << QStringLiteral("Unknown picture type \"TBitmap\"");
        QTest::newRow("name length past the end") << (QByteArray(1, char(200)) + "TJPEGImage")
                                                  << QStringLiteral("Picture data is truncated");
    }
    void malformed() {
        QFETCH(QByteArray, data);
        QFETCH(QString, message);
        TPicture picture;
        QCOMPARE(messageOf([&] { picture.LoadFromStoredData(data); }), message);
        QVERIFY(!picture.Graphic());
    }

    void notAJpegFailsWithDecoderCode() {
        const QByteArray junk("this is not a picture at all, just some text");
        TPicture picture;
        const QString message =
            messageOf([&] { picture.LoadFromStoredData(storedForm("TJPEGImage", junk, quint32(junk.size()))); });
        QVERIFY2(message.startsWith(QLatin1String("JPEG error #")), qPrintable(message));
        QVERIFY(!picture.Graphic());
    }

    void emptyJpegFails() {
        TPicture picture;
        const QString message = messageOf([&] { picture.LoadFromStoredData(storedForm("TJPEGImage", {}, 0)); });
        QVERIFY2(message.startsWith(QLatin1String("JPEG error #")), qPrintable(message));
    }

    void failedLoadDropsThePreviousPicture() {
        const QByteArray jpeg = portraitJpeg();
        TPicture picture;
        picture.LoadFromStoredData(storedForm("TJPEGImage", jpeg, quint32(jpeg.size())));
        QVERIFY(picture.Graphic());
        QVERIFY(!messageOf([&] { picture.LoadFromStoredData(QByteArray("\x03TXY", 4)); }).isEmpty());
        QVERIFY(!picture.Graphic());
    }
};

QTEST_GUILESS_MAIN(TestPictureData)
#include "test_picture_data.moc"
