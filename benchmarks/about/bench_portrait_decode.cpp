// Decoding the portrait: the program's decoder against a plain libjpeg loop
// on the same bytes, in one run. Prints the times and their ratio.
//
// Usage: bench_portrait_decode [portrait.jpg] [rounds]

#include "TJPEGDecoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <jpeglib.h>
#include <vector>

namespace {

// The plain loop: default error manager, memory source, RGB output into one
// buffer, with the decoder settings given.
std::size_t plainDecode(const QByteArray& jpeg, J_DCT_METHOD method) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                 static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.dct_method = method;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = std::size_t(cinfo.output_width) * 3;
    std::vector<unsigned char> pixels(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels.data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return pixels[pixels.size() / 2];
}

template <class F> double bestMs(int rounds, F&& f) {
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                  : QStringLiteral(KARTOTEKA_PORTRAIT_PATH);
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 30;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return 1;
    }
    const QByteArray jpeg = file.readAll();
    volatile std::size_t sink = 0;
    // Warm up caches and the library once each.
    sink = sink + std::size_t(TJPEGDecoder::Decode(jpeg, false).width()) + plainDecode(jpeg, JDCT_FLOAT);

    const double ours = bestMs(rounds, [&] { sink = sink + std::size_t(TJPEGDecoder::Decode(jpeg, false).width()); });
    const double plainFloat = bestMs(rounds, [&] { sink = sink + plainDecode(jpeg, JDCT_FLOAT); });
    const double plainDefault = bestMs(rounds, [&] { sink = sink + plainDecode(jpeg, JDCT_ISLOW); });
    const double palette = bestMs(rounds, [&] { sink = sink + std::size_t(TJPEGDecoder::Decode(jpeg, true).width()); });

    std::printf("%s, %lld bytes, best of %d rounds\n", qPrintable(path), static_cast<long long>(jpeg.size()), rounds);
    std::printf("program decoder (float IDCT, RGB):   %8.3f ms\n", ours);
    std::printf("plain libjpeg loop (float IDCT):     %8.3f ms\n", plainFloat);
    std::printf("plain libjpeg loop (default IDCT):   %8.3f ms\n", plainDefault);
    std::printf("program decoder, 236-colour palette: %8.3f ms\n", palette);
    std::printf("ratio program / plain, same IDCT:    %8.3f (target <= 1.2)\n", ours / plainFloat);
    std::printf("ratio program / plain, default IDCT: %8.3f\n", ours / plainDefault);
    return 0;
}
