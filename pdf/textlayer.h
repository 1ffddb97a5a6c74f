// The invisible text over a page picture: each recognised word drawn in text
// render mode 3 (no mark at all) at its box, stretched to the box width, so a
// reader finds, selects and copies the words where they stand and text
// extraction reads them line by line. The words of a line share its height
// and baseline, so that extraction keeps them on one line; a space glyph
// fills the gap between words that are not both CJK.
//
// One font serves the whole document: a Type0 font over a glyph-less
// TrueType font, CIDs being UTF-16 code units (CID = glyph id, so every
// glyph is the empty .notdef). Characters beyond the BMP take the free
// surrogate block as CIDs, one each, in the order first met; the mapping back
// to Unicode is written when the document ends, when all of them are known.
#ifndef TEXTLAYER_H
#define TEXTLAYER_H

#include "pdf/pagetext.h"

#include <cstdint>
#include <map>
#include <string>

class TextLayer
{
public:
    // The font's resource name in page resources.
    static const char *const kFontResource;

    // The content operators that lay `text` over a page of pageWidth x
    // pageHeight points; empty when no word can be placed.
    std::string pageOperators(const PageText &text, int pageWidth, int pageHeight);

    // The document's font, as object bodies ("<< ... >>" with any stream),
    // given the object numbers they refer to.
    static std::string type0Font(int cidFont, int toUnicode);
    static std::string cidFont(int descriptor);
    static std::string fontDescriptor(int fontFile);
    static std::string fontFileObject();
    // The CID to Unicode map, every character met so far included.
    std::string toUnicodeObject() const;

private:
    std::u16string cidsOf(const std::u32string &characters);
    uint16_t cidOf(char32_t character);

    std::map<char32_t, uint16_t> m_astralCids;
};

#endif
