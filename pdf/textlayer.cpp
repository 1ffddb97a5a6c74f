#include "pdf/textlayer.h"

#include "pdf/blankfont.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

const char *const TextLayer::kFontResource = "/F1";

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr uint16_t kSpaceCid = 0x20;
// The narrowest gap, in ems, that extraction reads as a space between words.
constexpr double kLeastGap = 0.08;
// CIDs handed to characters beyond the BMP: the surrogates, never characters themselves.
constexpr uint16_t kFirstAstralCid = 0xD800;
constexpr uint16_t kLastAstralCid = 0xDFFF;

// Fixed two decimals whatever the C locale says, trailing zeros dropped.
std::string number(double value)
{
    long hundredths = std::lround(value * 100.0);
    std::string text = hundredths < 0 ? "-" : "";
    hundredths = std::labs(hundredths);
    text += std::to_string(hundredths / 100);
    const long fraction = hundredths % 100;
    if (fraction != 0) {
        text += '.';
        text += char('0' + fraction / 10);
        if (fraction % 10 != 0)
            text += char('0' + fraction % 10);
    }
    return text;
}

std::string hex4(unsigned value)
{
    char out[8];
    std::snprintf(out, sizeof out, "%04X", value & 0xFFFFu);
    return out;
}

// Code points of UTF-8 text; a broken sequence reads as U+FFFD.
std::u32string decodeUtf8(const std::string &utf8)
{
    std::u32string out;
    size_t i = 0;
    while (i < utf8.size()) {
        const unsigned lead = static_cast<unsigned char>(utf8[i]);
        // Bytes after the lead, and the least value that needs as many (longer forms are invalid).
        int extra = -1;
        char32_t value = 0;
        char32_t least = 0;
        if (lead < 0x80) {
            extra = 0;
            value = lead;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            extra = 1;
            value = lead & 0x1F;
            least = 0x80;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            extra = 2;
            value = lead & 0x0F;
            least = 0x800;
        } else if (lead >= 0xF0 && lead < 0xF5) {
            extra = 3;
            value = lead & 0x07;
            least = 0x10000;
        }
        bool valid = extra >= 0 && i + size_t(extra) < utf8.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const unsigned next = static_cast<unsigned char>(utf8[i + size_t(k)]);
            valid = (next & 0xC0) == 0x80;
            value = (value << 6) | (next & 0x3F);
        }
        valid = valid && value >= least && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
        out += valid ? value : kReplacement;
        i += valid ? size_t(extra) + 1 : 1;
    }
    return out;
}

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

// Scripts written without spaces between words.
bool isCjk(char32_t c)
{
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

std::string streamObject(const std::string &dictionary, const std::string &data)
{
    return "<< " + dictionary + "/Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
           "\nendstream\n";
}

struct PlacedWord
{
    double x = 0;
    double width = 0;
    std::u16string cids;
    char32_t first = 0;
    char32_t last = 0;
};

// One word at `size`, the line's font size, stretched to `width`.
std::string show(double x, double baseline, double size, double width, const std::u16string &cids)
{
    std::string ops = number(100.0 * width / (size * double(cids.size()))) + " Tz 1 0 0 1 " + number(x) + " " +
                      number(baseline) + " Tm <";
    for (const char16_t cid : cids)
        ops += hex4(cid);
    return ops + "> Tj\n";
}

} // namespace

uint16_t TextLayer::cidOf(char32_t character)
{
    if (character < 0x10000)
        return uint16_t(character);
    const auto known = m_astralCids.find(character);
    if (known != m_astralCids.end())
        return known->second;
    const size_t next = kFirstAstralCid + m_astralCids.size();
    if (next > kLastAstralCid)
        return uint16_t(kReplacement);
    m_astralCids.emplace(character, uint16_t(next));
    return uint16_t(next);
}

std::u16string TextLayer::cidsOf(const std::u32string &characters)
{
    std::u16string cids;
    for (const char32_t c : characters)
        cids += char16_t(cidOf(c));
    return cids;
}

std::string TextLayer::pageOperators(const PageText &text, int pageWidth, int pageHeight)
{
    // Boxes are in the picture's pixels; the page may be the picture at another size.
    const int pictureWidth = text.width > 0 ? text.width : pageWidth;
    const int pictureHeight = text.height > 0 ? text.height : pageHeight;
    const double scaleX = double(pageWidth) / pictureWidth;
    const double scaleY = double(pageHeight) / pictureHeight;

    std::string ops;
    for (const TextLine &line : text.lines) {
        std::vector<PlacedWord> placed;
        long lineTop = pictureHeight;
        long lineBottom = 0;
        for (const TextWord &word : line.words) {
            const long left = std::clamp<long>(word.left, 0, pictureWidth);
            const long right = std::clamp<long>(long(word.left) + word.width, 0, pictureWidth);
            const long top = std::clamp<long>(word.top, 0, pictureHeight);
            const long bottom = std::clamp<long>(long(word.top) + word.height, 0, pictureHeight);
            std::u32string characters = decodeUtf8(word.text);
            characters.erase(std::remove_if(characters.begin(), characters.end(), isControl), characters.end());
            if (right <= left || bottom <= top || characters.empty())
                continue;
            PlacedWord out;
            out.cids = cidsOf(characters);
            out.x = double(left) * scaleX;
            out.width = double(right - left) * scaleX;
            out.first = characters.front();
            out.last = characters.back();
            placed.push_back(std::move(out));
            lineTop = std::min(lineTop, top);
            lineBottom = std::max(lineBottom, bottom);
        }
        // One size and baseline a line, the line's whole height: words of
        // differing sizes would part into lines of their own in extraction.
        const double size = double(lineBottom - lineTop) * scaleY;
        // Extraction parts words by the gap between them: boxes that touch
        // or overlap would run together, so the first of two gives way.
        for (size_t i = 1; i < placed.size(); ++i) {
            PlacedWord &before = placed[i - 1];
            const double room = placed[i].x - before.x - kLeastGap * size;
            if (room < before.width && room > 0 && !(isCjk(before.last) && isCjk(placed[i].first)))
                before.width = std::max(room, before.width / 2);
        }
        // The font's descent below the baseline reaches the line's bottom.
        const double baseline =
            double(pageHeight) - double(lineBottom) * scaleY - size * blankfont::kDescent / blankfont::kUnitsPerEm;
        if (!placed.empty())
            ops += std::string(kFontResource) + " " + number(size) + " Tf\n";
        for (size_t i = 0; i < placed.size(); ++i) {
            const PlacedWord &word = placed[i];
            if (i > 0) {
                // A space glyph filling the gap, so extraction separates the
                // words whatever its own spacing rules; CJK runs take none.
                const PlacedWord &before = placed[i - 1];
                const double gapStart = before.x + before.width;
                if (word.x > gapStart && !(isCjk(before.last) && isCjk(word.first)))
                    ops += show(gapStart, baseline, size, word.x - gapStart, std::u16string(1, char16_t(kSpaceCid)));
            }
            ops += show(word.x, baseline, size, word.width, word.cids);
        }
    }
    if (ops.empty())
        return ops;
    return "BT\n3 Tr\n" + ops + "ET\n";
}

std::string TextLayer::type0Font(int cidFont, int toUnicode)
{
    return "<< /Type /Font /Subtype /Type0 /BaseFont /" + std::string(blankfont::kName) +
           " /Encoding /Identity-H /DescendantFonts [" + std::to_string(cidFont) + " 0 R] /ToUnicode " +
           std::to_string(toUnicode) + " 0 R >>\n";
}

std::string TextLayer::cidFont(int descriptor)
{
    return "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + std::string(blankfont::kName) +
           " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor " +
           std::to_string(descriptor) + " 0 R /DW " + std::to_string(blankfont::kUnitsPerEm) +
           " /CIDToGIDMap /Identity >>\n";
}

std::string TextLayer::fontDescriptor(int fontFile)
{
    const std::string ascent = std::to_string(blankfont::kAscent);
    const std::string descent = std::to_string(blankfont::kDescent);
    return "<< /Type /FontDescriptor /FontName /" + std::string(blankfont::kName) +
           " /Flags 4 /FontBBox [0 " + descent + " " + std::to_string(blankfont::kUnitsPerEm) + " " + ascent +
           "] /ItalicAngle 0 /Ascent " + ascent + " /Descent " + descent +
           " /CapHeight 700 /StemV 80 /FontFile2 " + std::to_string(fontFile) + " 0 R >>\n";
}

std::string TextLayer::fontFileObject()
{
    const std::string font = blankfont::fontFile();
    return streamObject("/Length1 " + std::to_string(font.size()) + " ", font);
}

std::string TextLayer::toUnicodeObject() const
{
    // CIDs are UTF-16 code units: a range per high byte, the surrogates left out.
    std::vector<std::string> ranges;
    for (unsigned high = 0; high < 0x100; ++high) {
        if (high >= 0xD8 && high <= 0xDF)
            continue;
        const std::string low = hex4(high << 8);
        ranges.push_back("<" + low + "> <" + hex4((high << 8) | 0xFF) + "> <" + low + ">\n");
    }
    std::vector<std::string> chars;
    for (const auto &entry : m_astralCids) {
        const char32_t offset = entry.first - 0x10000;
        chars.push_back("<" + hex4(entry.second) + "> <" + hex4(0xD800 + (offset >> 10)) +
                        hex4(0xDC00 + (offset & 0x3FF)) + ">\n");
    }
    std::string cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                       "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                       "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                       "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    // At most a hundred entries a block.
    const auto blocks = [&cmap](const std::vector<std::string> &entries, const char *kind) {
        for (size_t i = 0; i < entries.size(); i += 100) {
            const size_t end = std::min(entries.size(), i + 100);
            cmap += std::to_string(end - i) + " begin" + kind + "\n";
            for (size_t k = i; k < end; ++k)
                cmap += entries[k];
            cmap += std::string("end") + kind + "\n";
        }
    };
    blocks(ranges, "bfrange");
    blocks(chars, "bfchar");
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend";
    return streamObject("", cmap);
}
