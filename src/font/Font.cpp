#include "font/Font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H
#include FT_BZIP2_H
#include FT_GZIP_H
#include FT_LZW_H

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "platform/InputFile.h"

namespace lexicorn {
namespace {

namespace fs = std::filesystem;

// FreeType keeps positions in 26.6 fixed point: 64 units a pixel.
int WholePixels(FT_Pos position) { return static_cast<int>((position + 32) >> 6); }

std::string FreeTypeProblem(FT_Error error) {
    if (error == FT_Err_Out_Of_Memory) return "not enough memory";
    if (const char* text = FT_Error_String(error)) return text;
    return fmt::format("FreeType error {}", error);
}

[[noreturn]] void Refuse(const std::string& path, const std::string& problem) {
    throw FontError(fmt::format("{}: {}", path, problem));
}

// The font file, open for FreeType to read from: a missing or unreadable one is named with the
// system's reason, one beyond kMostFontBytes is refused before anything of it is read.
std::FILE* OpenFontFile(const std::string& path, std::uint64_t& size) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found)
        throw Error(kCannotOpenFile, WithSystemReason(path, ENOENT));
    if (error) throw Error(kCannotOpenFile, path + ": " + error.message());
    if (!fs::is_regular_file(status)) throw Error(kCannotOpenFile, path + ": not a regular file");
    size = fs::file_size(path, error);
    if (error) throw Error(kCannotOpenFile, path + ": " + error.message());
    if (size > kMostFontBytes)
        Refuse(path, fmt::format("the font is larger than {} MB", kMostFontBytes >> 20));
    std::FILE* file = OpenRegularFile(path);
    if (!file) throw Error(kCannotOpenFile, WithSystemReason(path, errno));
    return file;
}

// FreeType's reading of a font file: a read of `count` bytes at `offset` (fewer at the end), or
// with no count a seek, which is 0 when it stays within the file.
unsigned long ReadFontFile(FT_Stream stream, unsigned long offset, unsigned char* buffer,
                           unsigned long count) {
    if (count == 0) return offset <= stream->size ? 0 : 1;
    if (offset >= stream->size) return 0;
    count = std::min(count, stream->size - offset);
    auto* file = static_cast<std::FILE*>(stream->descriptor.pointer);
    return ReadFileAt(file, offset, {buffer, count}) ? count : 0;
}

// The memory FreeType's unpacking streams take theirs from.
FT_MemoryRec_ unpackingMemory = {
    nullptr,
    [](FT_Memory, long size) { return std::malloc(static_cast<std::size_t>(size)); },
    [](FT_Memory, void* block) { std::free(block); },
    [](FT_Memory, long, long size, void* block) {
        return std::realloc(block, static_cast<std::size_t>(size));
    },
};

// A packed font (PCF fonts come packed by gzip, compress or bzip2), unpacked once from start to end;
// none when `source` is not packed. FreeType would unpack it itself, but from the start again at
// every step back, each glyph costing as much as the whole font: a file of kilobytes that unpacks to
// hundreds of megabytes took minutes. What unpacks beyond kMostFontBytes is refused.
std::optional<std::vector<std::uint8_t>> Unpacked(FT_Stream source, const std::string& path) {
    source->memory = &unpackingMemory;
    for (const auto open : {FT_Stream_OpenGzip, FT_Stream_OpenLZW, FT_Stream_OpenBzip2}) {
        FT_StreamRec stream{};
        if (open(&stream, source) != 0) continue;
        std::vector<std::uint8_t> bytes;
        bool tooLarge = false;
        if (!stream.read) {  // a small one is unpacked into memory at once
            tooLarge = stream.size > kMostFontBytes;
            if (!tooLarge) bytes.assign(stream.base, stream.base + stream.size);
        } else {
            // Piece by piece, so that nothing past the limit is held.
            std::vector<std::uint8_t> piece(1 << 16);
            while (const unsigned long read =
                       stream.read(&stream, bytes.size(), piece.data(), piece.size())) {
                tooLarge = bytes.size() + read > kMostFontBytes;
                if (tooLarge) break;
                bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(read));
            }
        }
        if (stream.close) stream.close(&stream);
        if (tooLarge) Refuse(path, fmt::format("the font unpacks to more than {} MB", kMostFontBytes >> 20));
        return bytes;
    }
    return std::nullopt;
}

}  // namespace

struct Font::Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    // FreeType reads the font from the file, through this stream, for as long as the face lives;
    // a packed font from its unpacked bytes.
    std::FILE* file = nullptr;
    FT_StreamRec stream{};
    std::vector<std::uint8_t> unpacked;

    ~Face() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
        if (file) std::fclose(file);
    }
};

Font::Font(const std::string& path, unsigned pixelSize, Rendering rendering)
    : path_(path), rendering_(rendering), direct_(kDirectCharacters) {
    std::uint64_t size = 0;
    std::FILE* file = OpenFontFile(path, size);
    // An LVGL font shows itself in its first bytes; it is read whole, as it is within the limit.
    std::vector<std::uint8_t> start(static_cast<std::size_t>(std::min<std::uint64_t>(size, 4096)));
    if (ReadFileAt(file, 0, start) && LooksLikeLvglFont(start)) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
        const bool read = ReadFileAt(file, 0, bytes);
        const int error = errno;
        std::fclose(file);
        if (!read) throw Error(kCannotOpenFile, WithSystemReason(path, error));
        OpenLvgl(ReadLvglFont(path, bytes));
        return;
    }
    OpenWithFreeType(file, size, pixelSize);
}

void Font::OpenLvgl(LvglFont font) {
    lvgl_ = std::make_unique<LvglFont>(std::move(font));
    if (lvgl_->pixelSize != 0) sizes_ = {lvgl_->pixelSize};
    lineHeight_ = lvgl_->lineHeight;
    ascent_ = lvgl_->lineHeight - lvgl_->baseLine;
    hasKerning_ = lvgl_->HasKerning();
    if (hasKerning_) directKerning_.assign(kDirectGlyphs * kDirectGlyphs, kUnknownKerning);
    // LVGL draws a box for a character its font lacks, half a line wide, with a pixel either side.
    missingAdvance_ = lineHeight_ / 2 + 2;
}

void Font::OpenWithFreeType(std::FILE* file, std::uint64_t size, unsigned pixelSize) {
    face_ = std::make_unique<Face>();
    face_->file = file;
    const std::string& path = path_;
    const auto fail = [&](const std::string& problem) { Refuse(path, problem); };
    if (FT_Error error = FT_Init_FreeType(&face_->library)) fail(FreeTypeProblem(error));
    FT_StreamRec& stream = face_->stream;
    stream.size = static_cast<unsigned long>(size);
    stream.descriptor.pointer = face_->file;
    stream.read = ReadFontFile;
    FT_Open_Args open{};
    if (auto unpacked = Unpacked(&stream, path)) {
        face_->unpacked = std::move(*unpacked);
        open.flags = FT_OPEN_MEMORY;
        open.memory_base = face_->unpacked.data();
        open.memory_size = static_cast<FT_Long>(face_->unpacked.size());
    } else {
        open.flags = FT_OPEN_STREAM;
        open.stream = &stream;
    }
    // Each of FreeType's readers tries the file; the error is the last one's, whatever it met.
    if (FT_Error error = FT_Open_Face(face_->library, &open, 0, &face_->face))
        fail(error == FT_Err_Out_Of_Memory
                 ? FreeTypeProblem(error)
                 : "no font that FreeType reads (TrueType, OpenType, BDF, PCF), or a damaged one");
    FT_Face face = face_->face;
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0)
        fail("the font has no Unicode character map, so its glyphs cannot be found by character");
    scalable_ = FT_IS_SCALABLE(face);
    if (scalable_) {
        if (pixelSize == 0) fail("a scalable font needs a size in pixels");
        if (FT_Error error = FT_Set_Pixel_Sizes(face, 0, pixelSize)) fail(FreeTypeProblem(error));
    } else {
        // A bitmap font is drawn at its own size: the one asked for where it holds several, else
        // its first. Scalable fonts beside it take the size.
        for (FT_Int i = 0; i < face->num_fixed_sizes; ++i)
            sizes_.push_back(static_cast<unsigned>(WholePixels(face->available_sizes[i].y_ppem)));
        if (sizes_.empty()) fail("the font has neither outlines nor bitmaps");
        const auto chosen = std::find(sizes_.begin(), sizes_.end(), pixelSize);
        const FT_Int strike = chosen == sizes_.end() ? 0 : static_cast<FT_Int>(chosen - sizes_.begin());
        if (FT_Error error = FT_Select_Size(face, strike)) fail(FreeTypeProblem(error));
    }
    const FT_Size_Metrics& metrics = face->size->metrics;
    ascent_ = WholePixels(metrics.ascender);
    lineHeight_ = std::max(1, WholePixels(metrics.ascender - metrics.descender));
    hasKerning_ = FT_HAS_KERNING(face);
    if (hasKerning_) directKerning_.assign(kDirectGlyphs * kDirectGlyphs, kUnknownKerning);
    // The box a renderer draws for a character the font lacks: glyph 0.
    missingAdvance_ = FT_Load_Glyph(face, 0, LoadFlags()) == 0 ? WholePixels(face->glyph->advance.x) : 0;
    if (missingAdvance_ <= 0) missingAdvance_ = std::max(1, lineHeight_ / 2);
}

Font::~Font() = default;

std::int32_t Font::LoadFlags() const {
    return rendering_ == Rendering::kMonochrome ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL;
}

// LVGL's rule for the width of text (LVGL 8's lv_txt_get_width): the font keeps each glyph's
// advance, and the kerning of each pair, in sixteenths of a pixel; a glyph takes its advance plus
// the kerning with the glyph after it, rounded to the nearest whole pixel on its own ((n + 8) / 16,
// down), and the line is the sum of those. So rounding is per glyph, not of the line: "Cancel" in
// DejaVu Sans 16 px is 54 px where its exact advances give 54.25 and FreeType's hinted ones 51.
// Here the glyph's rounded advance is its advance, and what kerning changes of the rounding of
// the left glyph is the pair's kerning, so that the layout adds them as for any font.
int Font::LvglAdvance(std::uint32_t advance) const { return static_cast<int>((advance + 8) >> 4); }

Font::Glyph Font::LoadGlyph(char32_t c) {
    if (lvgl_) {
        // LVGL draws a tab as its space, twice as wide; its glyph is one past the font's.
        const std::uint32_t id = lvgl_->IdOf(c == U'\t' ? U' ' : c);
        if (id == 0) return {0, missingAdvance_, true};
        if (c == U'\t') return {LvglTab(), LvglAdvance(2 * lvgl_->glyphs[id].advance), true};
        return {id, LvglAdvance(lvgl_->glyphs[id].advance), true};
    }
    Glyph glyph{FT_Get_Char_Index(face_->face, c), missingAdvance_, true};
    if (glyph.index != 0 && FT_Load_Glyph(face_->face, glyph.index, LoadFlags()) == 0)
        glyph.advance = WholePixels(face_->face->glyph->advance.x);
    return glyph;
}

const Font::Glyph& Font::Other(char32_t c) {
    auto [at, fresh] = others_.try_emplace(c);
    if (fresh) at->second = LoadGlyph(c);
    return at->second;
}

int Font::CachedKerning(std::uint32_t left, std::uint32_t right) {
    auto [at, fresh] = kerning_.try_emplace(std::uint64_t{left} << 32 | right, 0);
    if (fresh && lvgl_) {
        // A tab kerns as its space with what follows, and nothing kerns with a tab.
        const bool tab = left == LvglTab();
        if (tab) left = lvgl_->IdOf(U' ');
        const auto advance = static_cast<std::int64_t>(lvgl_->glyphs[left].advance) * (tab ? 2 : 1);
        const int kerning = right == LvglTab() ? 0 : lvgl_->Kerning(left, right);
        const std::int64_t kerned = std::max<std::int64_t>(0, advance + kerning);
        at->second = std::clamp(LvglAdvance(static_cast<std::uint32_t>(kerned)) -
                                    LvglAdvance(static_cast<std::uint32_t>(advance)),
                                -127, 127);
    } else if (fresh) {
        // Scaled but not fitted: FreeType's default shrinks kerning at small sizes, which font
        // converters do not; they keep the font's value and the renderer adds it.
        FT_Vector delta{};
        if (FT_Get_Kerning(face_->face, left, right, FT_KERNING_UNFITTED, &delta) == 0)
            at->second = std::clamp(WholePixels(delta.x), -127, 127);
    }
    return at->second;
}

GlyphImage Font::Render(char32_t c) {
    GlyphImage image;
    if (lvgl_) return RenderLvgl(c);
    FT_Face face = face_->face;
    const std::int32_t mode = rendering_ == Rendering::kMonochrome ? FT_LOAD_MONOCHROME : 0;
    if (FT_Load_Glyph(face, GlyphOf(c).index, LoadFlags() | FT_LOAD_RENDER | mode) != 0) return image;
    // Bitmap fonts bring their own pixel formats; one byte a pixel is what the picture takes.
    FT_Bitmap gray;
    FT_Bitmap_Init(&gray);
    if (FT_Bitmap_Convert(face_->library, &face->glyph->bitmap, &gray, 1) == 0) {
        const int levels = std::max(2, static_cast<int>(gray.num_grays));
        image.left = face->glyph->bitmap_left;
        image.top = face->glyph->bitmap_top;
        image.width = static_cast<int>(gray.width);
        image.rows = static_cast<int>(gray.rows);
        image.coverage.resize(static_cast<std::size_t>(image.width) * image.rows);
        for (int y = 0; y < image.rows; ++y)
            for (int x = 0; x < image.width; ++x)
                image.coverage[static_cast<std::size_t>(y) * image.width + x] =
                    static_cast<std::uint8_t>(gray.buffer[y * gray.pitch + x] * 255 / (levels - 1));
    }
    FT_Bitmap_Done(face_->library, &gray);
    return image;
}

GlyphImage Font::RenderLvgl(char32_t c) {
    GlyphImage image;
    const std::uint32_t id = lvgl_->IdOf(c == U'\t' ? U' ' : c);
    if (id == 0) {  // LVGL's box for a missing character
        image.width = std::max(1, missingAdvance_ - 2);
        image.rows = std::max(1, ascent_);
        image.left = 1;
        image.top = ascent_;
        image.coverage.assign(static_cast<std::size_t>(image.width) * image.rows, 0);
        for (int y = 0; y < image.rows; ++y)
            for (int x = 0; x < image.width; ++x)
                if (y == 0 || x == 0 || y == image.rows - 1 || x == image.width - 1)
                    image.coverage[static_cast<std::size_t>(y) * image.width + x] = 255;
        return image;
    }
    const LvglFont::Glyph& glyph = lvgl_->glyphs[id];
    image.left = glyph.left;
    image.top = glyph.bottom + glyph.rows;
    image.width = glyph.width;
    image.rows = glyph.rows;
    image.coverage.assign(static_cast<std::size_t>(image.width) * image.rows, 0);
    // Compressed pixels are not drawn: the glyph's box stays empty.
    if (lvgl_->compressed) return image;
    // Plain pixels follow each other row by row, the first in the highest bits.
    const unsigned bpp = lvgl_->bitsPerPixel;
    const unsigned most = (1u << bpp) - 1;
    std::uint64_t bit = glyph.bits;
    for (std::uint8_t& pixel : image.coverage) {
        unsigned value = 0;
        for (unsigned i = 0; i < bpp; ++i, ++bit) {
            const std::size_t byte = static_cast<std::size_t>(bit >> 3);
            const unsigned set =
                byte < lvgl_->bitmaps.size() ? (lvgl_->bitmaps[byte] >> (7 - (bit & 7))) & 1 : 0;
            value = value << 1 | set;
        }
        pixel = static_cast<std::uint8_t>(value * 255 / most);
    }
    return image;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return lines;
        start = end + 1;
    }
}

}  // namespace lexicorn
