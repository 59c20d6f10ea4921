#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "font/Font.h"

namespace lexicorn {

/// A colour of the picture, 8 bits a channel.
struct Colour {
    std::uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const Colour&) const = default;
};

/// A rectangle of pixels, x and y from the top left.
struct Box {
    int x = 0, y = 0, width = 0, height = 0;
    bool Contains(int px, int py) const { return px >= x && px < x + width && py >= y && py < y + height; }
    bool operator==(const Box&) const = default;
};

/// An RGB picture to draw text and lines on; what falls outside it is cut off.
class Picture {
  public:
    Picture(int width, int height, Colour background);

    int Width() const { return width_; }
    int Height() const { return height_; }
    Colour At(int x, int y) const;
    /// Rows of RGB bytes from the top, three a pixel.
    const std::vector<std::uint8_t>& Pixels() const { return pixels_; }

    void Fill(const Box& box, Colour colour);
    /// Paints `colour` through a glyph's coverage with its pen position at (x, baseline).
    void Draw(const GlyphImage& glyph, int x, int baseline, Colour colour);

  private:
    void Blend(int x, int y, Colour colour, unsigned coverage);

    int width_;
    int height_;
    std::vector<std::uint8_t> pixels_;
};

/// The picture as a PNG file (8-bit RGB).
std::string EncodePng(const Picture& picture);

/// Writes the picture as a PNG file, whole or not at all; throws Error naming the file.
void SavePng(const Picture& picture, const std::filesystem::path& path);

}  // namespace lexicorn
