#include "font/Picture.h"

#include <png.h>

#include <algorithm>
#include <stdexcept>

#include "platform/AtomicFile.h"

namespace lexicorn {

Picture::Picture(int width, int height, Colour background)
    : width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      pixels_(static_cast<std::size_t>(width_) * height_ * 3) {
    Fill({0, 0, width_, height_}, background);
}

Colour Picture::At(int x, int y) const {
    const std::uint8_t* pixel = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 3];
    return {pixel[0], pixel[1], pixel[2]};
}

void Picture::Fill(const Box& box, Colour colour) {
    const int left = std::max(box.x, 0), right = std::min(box.x + box.width, width_);
    const int top = std::max(box.y, 0), bottom = std::min(box.y + box.height, height_);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) Blend(x, y, colour, 255);
}

void Picture::Draw(const GlyphImage& glyph, int x, int baseline, Colour colour) {
    for (int row = 0; row < glyph.rows; ++row)
        for (int column = 0; column < glyph.width; ++column)
            if (const unsigned coverage =
                    glyph.coverage[static_cast<std::size_t>(row) * glyph.width + column])
                Blend(x + glyph.left + column, baseline - glyph.top + row, colour, coverage);
}

void Picture::Blend(int x, int y, Colour colour, unsigned coverage) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    std::uint8_t* pixel = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 3];
    const std::uint8_t channels[3] = {colour.red, colour.green, colour.blue};
    for (int i = 0; i < 3; ++i)
        pixel[i] =
            static_cast<std::uint8_t>((channels[i] * coverage + pixel[i] * (255 - coverage) + 127) / 255);
}

std::string EncodePng(const Picture& picture) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) throw std::bad_alloc();
    png_infop info = png_create_info_struct(png);
    std::string bytes;
    // libpng reports its failures by a long jump back to here; nothing with a destructor is made
    // between here and the end.
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::bad_alloc();
    }
    png_set_write_fn(
        png, &bytes,
        [](png_structp writer, png_bytep data, png_size_t length) {
            try {
                static_cast<std::string*>(png_get_io_ptr(writer))
                    ->append(reinterpret_cast<const char*>(data), length);
            } catch (const std::bad_alloc&) {
                png_error(writer, "out of memory");  // an exception must not pass through libpng
            }
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.Width()),
                 static_cast<png_uint_32>(picture.Height()), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(picture.Width()) * 3;
    for (int y = 0; y < picture.Height(); ++y)
        png_write_row(png, const_cast<png_bytep>(picture.Pixels().data() + y * stride));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

void SavePng(const Picture& picture, const std::filesystem::path& path) {
    WriteFileAtomically(path, EncodePng(picture));
}

}  // namespace lexicorn
