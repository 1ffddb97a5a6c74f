#include "sdk/watermark/watermark.h"

#include "sdk/watermark/fontlocator.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <memory>

namespace orvix {
namespace {

struct FaceCloser {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using FacePtr = std::unique_ptr<std::remove_pointer<FT_Face>::type, FaceCloser>;

// One FreeType instance per drawing: FreeType objects are not shared
// between threads, and a capture is rare enough that loading is cheap.
class FontSet
{
public:
    explicit FontSet(const std::vector<std::string> &files)
    {
        if (FT_Init_FreeType(&m_library) != 0) {
            m_library = nullptr;
            return;
        }
        for (const std::string &file : installedFonts(files)) {
            FT_Face face = nullptr;
            if (FT_New_Face(m_library, file.c_str(), 0, &face) == 0)
                m_faces.emplace_back(face);
            else
                std::printf("orvix: cannot load font %s\n", file.c_str());
        }
    }
    ~FontSet()
    {
        m_faces.clear(); // faces go before their library
        if (m_library)
            FT_Done_FreeType(m_library);
    }
    FontSet(const FontSet &) = delete;
    FontSet &operator=(const FontSet &) = delete;

    bool empty() const { return m_faces.empty(); }
    FT_Face primary() const { return m_faces.front().get(); }

    void setPixelSize(int size)
    {
        for (const FacePtr &face : m_faces)
            FT_Set_Pixel_Sizes(face.get(), 0, FT_UInt(size));
    }

    // The first face that has the character, with its glyph index.
    FT_Face faceFor(char32_t c, FT_UInt &index) const
    {
        for (const FacePtr &face : m_faces) {
            index = FT_Get_Char_Index(face.get(), FT_ULong(c));
            if (index != 0)
                return face.get();
        }
        return nullptr;
    }

private:
    FT_Library m_library = nullptr;
    std::vector<FacePtr> m_faces;
};

int textWidth(FontSet &fonts, const std::u32string &text)
{
    long width = 0;
    for (char32_t c : text) {
        FT_UInt index = 0;
        FT_Face face = fonts.faceFor(c, index);
        if (face && FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) == 0)
            width += face->glyph->advance.x >> 6;
    }
    return int(std::min(width, 1L << 30));
}

void blendGlyph(Frame &frame, const FT_Bitmap &bitmap, int left, int top, const WatermarkStyle &style, bool &drawn)
{
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
        return;
    const uint8_t colour[3] = {style.r, style.g, style.b};
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const int y = top + int(row);
        if (y < 0 || y >= frame.height)
            continue;
        const uint8_t *coverage = bitmap.buffer + long(row) * bitmap.pitch;
        uint8_t *dst = frame.row(y);
        for (unsigned col = 0; col < bitmap.width; ++col) {
            const int x = left + int(col);
            const unsigned a = coverage[col];
            if (x < 0 || x >= frame.width || a == 0)
                continue;
            uint8_t *p = dst + size_t(x) * 3;
            for (int c = 0; c < 3; ++c)
                p[c] = uint8_t((p[c] * (255 - a) + colour[c] * a + 127) / 255);
            drawn = true;
        }
    }
}

} // namespace

std::u32string decodeUtf8(const char *text)
{
    std::u32string out;
    if (!text)
        return out;
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    while (*s) {
        const unsigned char lead = *s;
        int extra;
        char32_t c, minimum;
        if (lead < 0x80) {
            out.push_back(lead);
            ++s;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, c = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, c = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, c = lead & 0x07, minimum = 0x10000;
        } else {
            ++s; // stray continuation byte or invalid lead
            continue;
        }
        int i = 1;
        for (; i <= extra; ++i) {
            if ((s[i] & 0xC0) != 0x80)
                break; // also stops at the terminating NUL
            c = (c << 6) | (s[i] & 0x3F);
        }
        if (i <= extra) {
            s += i; // truncated: drop what was read, resume at the offending byte
            continue;
        }
        s += extra + 1;
        if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            continue;
        out.push_back(c);
    }
    return out;
}

bool drawWatermark(Frame &frame, const char *text, const WatermarkStyle &style)
{
    return drawWatermark(frame, text, style, knownFontFiles());
}

bool drawWatermark(Frame &frame, const char *text, const WatermarkStyle &style, const std::vector<std::string> &fontFiles)
{
    if (frame.empty() || frame.rgb.size() < frame.stride() * size_t(frame.height))
        return false;
    std::u32string chars = decodeUtf8(text);
    // Control characters have no glyph worth printing on a page.
    chars.erase(std::remove_if(chars.begin(), chars.end(), [](char32_t c) { return c < 0x20 || c == 0x7F; }),
                chars.end());
    if (chars.empty())
        return false;

    FontSet fonts(fontFiles);
    if (fonts.empty()) {
        std::printf("orvix: no font for the watermark found, watermark left out\n");
        return false;
    }

    const int shortSide = std::min(frame.width, frame.height);
    int size = style.pixelSize > 0 ? std::min(style.pixelSize, shortSide) : shortSide / 20;
    size = std::max(size, 6);
    fonts.setPixelSize(size);
    int margin = std::max(4, size / 2);
    int width = textWidth(fonts, chars);
    const int room = frame.width - 2 * margin;
    if (width > room && room > 0) {
        size = std::max(6, int(long(size) * room / width));
        fonts.setPixelSize(size);
        margin = std::max(4, size / 2);
        width = textWidth(fonts, chars);
    }
    const FT_Face primary = fonts.primary();
    const int descent = int(-primary->size->metrics.descender >> 6);
    int penX = std::max(margin, frame.width - margin - width);
    const int baseline = frame.height - margin - std::max(0, descent);

    bool drawn = false;
    int missing = 0;
    for (char32_t c : chars) {
        FT_UInt index = 0;
        FT_Face face = fonts.faceFor(c, index);
        if (!face || FT_Load_Glyph(face, index, FT_LOAD_RENDER) != 0) {
            ++missing;
            continue;
        }
        const FT_GlyphSlot glyph = face->glyph;
        blendGlyph(frame, glyph->bitmap, penX + glyph->bitmap_left, baseline - glyph->bitmap_top, style, drawn);
        penX += int(glyph->advance.x >> 6);
        if (penX >= frame.width)
            break;
    }
    if (missing > 0)
        std::printf("orvix: %d watermark characters have no glyph in the installed fonts, left out\n", missing);
    return drawn;
}

} // namespace orvix
