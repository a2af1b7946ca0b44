#include "TJPEGDecoder.h"

#include "Exception.h"

#include <csetjmp>
#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>

// libjpeg is C: its fatal-error hook must not let a C++ exception unwind
// through its frames. The hook long-jumps back to the setjmp in the step that
// called libjpeg; the steps hold no C++ objects, and the caller throws once the
// step has returned.

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int code;
};

extern "C" void errorExit(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    manager->code = cinfo->err->msg_code;
    std::longjmp(manager->jump, 1);
}

extern "C" void silentOutput(j_common_ptr) {}
extern "C" void silentEmit(j_common_ptr, int) {}

struct Context {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    const unsigned char* data;
    unsigned long size;
    bool created;
};

void initContext(Context& ctx, const QByteArray& jpeg) {
    ctx = Context{};
    ctx.cinfo.err = jpeg_std_error(&ctx.err.pub);
    ctx.err.pub.error_exit = errorExit;
    ctx.err.pub.output_message = silentOutput;
    ctx.err.pub.emit_message = silentEmit;
    ctx.data = reinterpret_cast<const unsigned char*>(jpeg.constData());
    ctx.size = static_cast<unsigned long>(jpeg.size());
}

// Creates the decompressor and reads the header. False on a fatal error.
bool startHeader(Context& ctx) {
    if (setjmp(ctx.err.jump))
        return false;
    jpeg_create_decompress(&ctx.cinfo);
    ctx.created = true;
    jpeg_mem_src(&ctx.cinfo, ctx.data, ctx.size);
    jpeg_read_header(&ctx.cinfo, TRUE);
    return true;
}

// Sets the output parameters and starts decompression (which runs the colour
// quantizer's first pass when a palette is wanted). False on a fatal error.
bool startDecompress(Context& ctx, bool palette) {
    if (setjmp(ctx.err.jump))
        return false;
    jpeg_decompress_struct& c = ctx.cinfo;
    c.scale_num = 1;
    c.scale_denom = 1;
    c.dct_method = JDCT_FLOAT;
    c.do_block_smoothing = TRUE;
    c.out_color_space = c.jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
    if (palette) {
        c.quantize_colors = TRUE;
        c.desired_number_of_colors = TJPEGDecoder::kPaletteColours;
    }
    jpeg_start_decompress(&c);
    return true;
}

// Reads every scanline straight into the rows of the bitmap. False on a fatal error.
bool readRows(Context& ctx, unsigned char* bits, std::size_t bytesPerLine) {
    if (setjmp(ctx.err.jump))
        return false;
    jpeg_decompress_struct& c = ctx.cinfo;
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = bits + static_cast<std::size_t>(c.output_scanline) * bytesPerLine;
        jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    return true;
}

// Owns the context so the decompressor is destroyed on every way out.
class Decompressor {
public:
    explicit Decompressor(const QByteArray& jpeg) { initContext(ctx_, jpeg); }
    ~Decompressor() {
        if (ctx_.created)
            jpeg_destroy_decompress(&ctx_.cinfo);
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    Context& ctx() { return ctx_; }
    [[noreturn]] void fail() const { throw Exception(QStringLiteral("JPEG error #%1").arg(ctx_.err.code)); }

private:
    Context ctx_;
};

} // namespace

TJPEGDecoder::Header TJPEGDecoder::ReadHeader(const QByteArray& jpeg) {
    Decompressor d(jpeg);
    if (!startHeader(d.ctx()))
        d.fail();
    const jpeg_decompress_struct& c = d.ctx().cinfo;
    Header h;
    h.width = static_cast<int>(c.image_width);
    h.height = static_cast<int>(c.image_height);
    h.grayscale = c.jpeg_color_space == JCS_GRAYSCALE;
    h.progressive = c.progressive_mode != FALSE;
    return h;
}

QImage TJPEGDecoder::Decode(const QByteArray& jpeg, bool palette) {
    Decompressor d(jpeg);
    Context& ctx = d.ctx();
    if (!startHeader(ctx) || !startDecompress(ctx, palette))
        d.fail();
    const jpeg_decompress_struct& c = ctx.cinfo;
    const int width = static_cast<int>(c.output_width);
    const int height = static_cast<int>(c.output_height);

    QImage::Format format = QImage::Format_RGB888;
    if (c.quantize_colors)
        format = QImage::Format_Indexed8;
    else if (c.out_color_space == JCS_GRAYSCALE)
        format = QImage::Format_Grayscale8;
    QImage image(width, height, format);
    if (image.isNull())
        throw Exception(QStringLiteral("Not enough memory for a %1 x %2 picture").arg(width).arg(height));

    if (c.quantize_colors) {
        QList<QRgb> colours;
        colours.reserve(c.actual_number_of_colors);
        const bool grey = c.out_color_components == 1;
        for (int i = 0; i < c.actual_number_of_colors; ++i) {
            const int r = c.colormap[0][i];
            colours.append(grey ? qRgb(r, r, r) : qRgb(r, c.colormap[1][i], c.colormap[2][i]));
        }
        image.setColorTable(colours);
    }
    if (!readRows(ctx, image.bits(), static_cast<std::size_t>(image.bytesPerLine())))
        d.fail();
    return image;
}
