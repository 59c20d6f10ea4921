#include "gui/Logo.h"

#include <jpeglib.h>

#include <QFile>
#include <csetjmp>
#include <cstdio>

// The resources live in a static library, so they are registered by hand before first use.
static void RegisterResources() { Q_INIT_RESOURCE(wizard); }

namespace lexicorn::app {
namespace {

// libjpeg reports fatal errors through a callback that must not return; it jumps back instead.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf resume;
};

[[noreturn]] void JumpBack(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->resume, 1);
}

void Silence(j_common_ptr, int) {}

}  // namespace

QImage DecodeJpeg(const QByteArray& data) {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = JumpBack;
    errors.base.emit_message = Silence;
    // Declared before the jump point so that a jump back never skips its construction.
    QImage image;
    if (setjmp(errors.resume)) {
        jpeg_destroy_decompress(&info);
        return {};
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_RGBX;  // four bytes a pixel, as QImage::Format_RGBX8888 holds them
    jpeg_start_decompress(&info);
    image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                   QImage::Format_RGBX8888);
    while (!image.isNull() && info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return image;
}

QImage ProductLogo() {
    RegisterResources();
    QFile file(QStringLiteral(":/lexicorn/logo.jpg"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return DecodeJpeg(file.readAll());
}

QString ReleaseNotesResource() {
    RegisterResources();
    return QStringLiteral(":/lexicorn/release-notes.md");
}

}  // namespace lexicorn::app
