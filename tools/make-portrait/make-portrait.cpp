// make-portrait: draws the program's authorship portrait, a stylised drawing
// of a person against a lit backdrop, and encodes it as a 590 x 590
// baseline JPEG: 8-bit, three YCbCr components without chroma subsampling,
// restart interval 74, with JFIF, Exif, Photoshop resource, XMP, ICC profile
// and Adobe segments ahead of the image data.
//
// Usage: make-portrait <portrait.jpg> <portrait.picture-data>
// The second file is the picture as the window layout stores it: a one-byte
// class-name length, the class name "TJPEGImage", the JPEG length as a 32-bit
// little-endian number, then the JPEG bytes.

#include <QColorSpace>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>
#include <jpeglib.h>
#include <random>
#include <vector>

namespace {

constexpr int kSize = 590;

QImage drawPortrait() {
    QImage image(kSize, kSize, QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Backdrop: a warm studio light falling off towards the corners.
    QRadialGradient back(QPointF(360, 200), 520);
    back.setColorAt(0.0, QColor(196, 176, 150));
    back.setColorAt(0.6, QColor(120, 104, 92));
    back.setColorAt(1.0, QColor(46, 40, 38));
    p.fillRect(image.rect(), back);

    // Shoulders and jacket.
    QPainterPath jacket;
    jacket.moveTo(40, 590);
    jacket.cubicTo(60, 470, 150, 420, 230, 405);
    jacket.lineTo(360, 405);
    jacket.cubicTo(440, 420, 530, 470, 550, 590);
    jacket.closeSubpath();
    QLinearGradient cloth(0, 400, 0, 590);
    cloth.setColorAt(0, QColor(58, 66, 88));
    cloth.setColorAt(1, QColor(26, 30, 44));
    p.fillPath(jacket, cloth);

    // Shirt collar opening and neck.
    QPainterPath shirt;
    shirt.moveTo(250, 405);
    shirt.lineTo(295, 500);
    shirt.lineTo(340, 405);
    shirt.closeSubpath();
    p.fillPath(shirt, QColor(226, 224, 216));
    QLinearGradient skin(240, 0, 350, 0);
    skin.setColorAt(0, QColor(205, 160, 130));
    skin.setColorAt(1, QColor(170, 124, 98));
    p.fillRect(QRectF(262, 330, 66, 95), skin);

    // Head.
    QRadialGradient face(QPointF(280, 240), 130);
    face.setColorAt(0, QColor(236, 196, 166));
    face.setColorAt(1, QColor(186, 138, 110));
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawEllipse(QRectF(205, 140, 180, 230));

    // Ears.
    p.setBrush(QColor(200, 150, 120));
    p.drawEllipse(QRectF(192, 235, 28, 56));
    p.drawEllipse(QRectF(370, 235, 28, 56));

    // Hair: a dark cap with a side parting.
    QPainterPath hair;
    hair.moveTo(200, 250);
    hair.cubicTo(180, 130, 270, 95, 310, 105);
    hair.cubicTo(380, 110, 410, 170, 392, 255);
    hair.cubicTo(380, 200, 350, 175, 300, 172);
    hair.cubicTo(260, 175, 230, 190, 200, 250);
    p.fillPath(hair, QColor(52, 38, 30));

    // Eyes, brows, nose and mouth.
    for (int x : {250, 322}) {
        p.setBrush(QColor(246, 244, 238));
        p.drawEllipse(QRectF(x, 245, 34, 16));
        p.setBrush(QColor(70, 90, 110));
        p.drawEllipse(QRectF(x + 11, 246, 13, 14));
        p.setBrush(QColor(20, 20, 24));
        p.drawEllipse(QRectF(x + 15, 250, 5, 6));
        p.setPen(QPen(QColor(60, 44, 36), 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(x - 2, 232), QPointF(x + 36, 228));
        p.setPen(Qt::NoPen);
    }
    QPainterPath nose;
    nose.moveTo(296, 262);
    nose.cubicTo(290, 290, 282, 305, 292, 312);
    nose.lineTo(306, 312);
    p.setPen(QPen(QColor(150, 104, 84), 3));
    p.setBrush(Qt::NoBrush);
    p.drawPath(nose);
    QPainterPath mouth;
    mouth.moveTo(268, 333);
    mouth.cubicTo(285, 346, 310, 346, 328, 333);
    p.setPen(QPen(QColor(150, 70, 66), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(mouth);
    p.end();

    // A fine film grain, so the picture is not unnaturally flat.
    std::mt19937 random(590);
    std::uniform_int_distribution<int> grain(-6, 6);
    for (int y = 0; y < kSize; ++y) {
        uchar* row = image.scanLine(y);
        for (int i = 0; i < kSize * 3; ++i)
            row[i] = static_cast<uchar>(std::clamp(row[i] + grain(random), 0, 255));
    }
    return image;
}

std::vector<JOCTET> exifSegment() {
    // "Exif\0\0", a little-endian TIFF header and one IFD holding Orientation = 1.
    const unsigned char data[] = {'E', 'x', 'i', 'f', 0, 0,
                                  'I', 'I', 0x2A, 0, 8, 0, 0, 0,
                                  1, 0,
                                  0x12, 0x01, 3, 0, 1, 0, 0, 0, 1, 0, 0, 0,
                                  0, 0, 0, 0};
    return {std::begin(data), std::end(data)};
}

std::vector<JOCTET> photoshopSegment() {
    // One image resource (IPTC-NAA, 0x0404, empty name) holding the 7-byte
    // record version dataset, padded to an even length.
    const unsigned char data[] = {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0,
                                  '8', 'B', 'I', 'M', 0x04, 0x04, 0, 0, 0, 0, 0, 7,
                                  0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x04, 0};
    return {std::begin(data), std::end(data)};
}

std::vector<JOCTET> xmpSegment() {
    const QByteArray packet =
        QByteArrayLiteral("http://ns.adobe.com/xap/1.0/") + '\0' +
        QByteArrayLiteral(
            "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
            "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
            "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
            "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
            "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">Portrait</rdf:li></rdf:Alt></dc:title>"
            "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>");
    return {packet.begin(), packet.end()};
}

std::vector<JOCTET> iccSegment() {
    const QByteArray profile = QColorSpace(QColorSpace::SRgb).iccProfile();
    QByteArray data = QByteArrayLiteral("ICC_PROFILE") + '\0';
    data += char(1); // this chunk's number
    data += char(1); // number of chunks
    data += profile;
    return {data.begin(), data.end()};
}

std::vector<JOCTET> adobeSegment() {
    // Version 100, no flags, transform 1: the components are YCbCr.
    const unsigned char data[] = {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 1};
    return {std::begin(data), std::end(data)};
}

QByteArray encode(const QImage& image) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr); // a tool: the default exit-on-error is fine here
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);

    cinfo.image_width = kSize;
    cinfo.image_height = kSize;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, JCS_YCbCr);
    jpeg_set_quality(&cinfo, 88, TRUE);
    for (int c = 0; c < cinfo.num_components; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    cinfo.restart_interval = 74;
    cinfo.optimize_coding = TRUE;
    cinfo.write_JFIF_header = TRUE;
    cinfo.write_Adobe_marker = FALSE; // written by hand below, as the last segment

    jpeg_start_compress(&cinfo, TRUE);
    auto marker = [&](int code, const std::vector<JOCTET>& data) {
        jpeg_write_marker(&cinfo, code, data.data(), static_cast<unsigned>(data.size()));
    };
    marker(JPEG_APP0 + 1, exifSegment());
    marker(JPEG_APP0 + 13, photoshopSegment());
    marker(JPEG_APP0 + 1, xmpSegment());
    marker(JPEG_APP0 + 2, iccSegment());
    marker(JPEG_APP0 + 14, adobeSegment());

    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray out(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    free(buffer);
    return out;
}

bool writeFile(const char* path, const QByteArray& bytes) {
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "make-portrait: cannot write %s\n", path);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-portrait <portrait.jpg> <portrait.picture-data>\n");
        return 2;
    }
    const QByteArray jpeg = encode(drawPortrait());
    const QByteArray className = QByteArrayLiteral("TJPEGImage");
    QByteArray stored;
    stored += char(className.size());
    stored += className;
    const quint32 length = static_cast<quint32>(jpeg.size());
    for (int i = 0; i < 4; ++i)
        stored += char((length >> (8 * i)) & 0xFF);
    stored += jpeg;
    if (!writeFile(argv[1], jpeg) || !writeFile(argv[2], stored))
        return 1;
    std::printf("portrait: %lld bytes of JPEG, %lld bytes stored\n", static_cast<long long>(jpeg.size()),
                static_cast<long long>(stored.size()));
    return 0;
}
