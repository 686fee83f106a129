#include "app/JpegPicture.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace orvan::app {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (a corrupt but decodable stream) are not worth a message box.
void OutputMessage(j_common_ptr) {}

struct Decoder {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    QImage image;
};

// Kept apart, with no locals of its own live across setjmp, so a longjmp from
// the library leaves nothing half-built behind.
bool Decode(Decoder* d, const unsigned char* data, unsigned long size) {
    d->cinfo.err = jpeg_std_error(&d->err.pub);
    d->err.pub.error_exit = ErrorExit;
    d->err.pub.output_message = OutputMessage;
    d->err.message[0] = '\0';
    if (setjmp(d->err.jump)) {
        jpeg_destroy_decompress(&d->cinfo);
        d->image = QImage();
        return false;
    }
    jpeg_create_decompress(&d->cinfo);
    jpeg_mem_src(&d->cinfo, data, size);
    jpeg_read_header(&d->cinfo, TRUE);
    d->cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d->cinfo);
    d->image = QImage(static_cast<int>(d->cinfo.output_width),
                      static_cast<int>(d->cinfo.output_height), QImage::Format_RGB888);
    while (d->cinfo.output_scanline < d->cinfo.output_height) {
        JSAMPROW row = d->image.scanLine(static_cast<int>(d->cinfo.output_scanline));
        jpeg_read_scanlines(&d->cinfo, &row, 1);
    }
    jpeg_finish_decompress(&d->cinfo);
    jpeg_destroy_decompress(&d->cinfo);
    return true;
}

}  // namespace

QImage DecodeJpeg(const QByteArray& bytes, QString* error) {
    if (bytes.isEmpty()) {
        if (error) *error = QStringLiteral("empty JPEG data");
        return {};
    }
    Decoder d{};
    if (!Decode(&d, reinterpret_cast<const unsigned char*>(bytes.constData()),
                static_cast<unsigned long>(bytes.size()))) {
        if (error) *error = QString::fromLocal8Bit(d.err.message);
        return {};
    }
    return d.image;
}

QImage BoardPicture() {
    QFile f(QStringLiteral(":/orvan/board.jpg"));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return DecodeJpeg(f.readAll());
}

}  // namespace orvan::app
