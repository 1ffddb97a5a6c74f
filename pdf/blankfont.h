// A TrueType font with one glyph, an empty .notdef, and no outlines at all.
// Embedded under invisible text it spares a viewer the search for a font it
// would never draw; every glyph id beyond the first falls to .notdef.
#ifndef BLANKFONT_H
#define BLANKFONT_H

#include <string>

namespace blankfont {

// Units per em of the font; every glyph advances one em.
constexpr int kUnitsPerEm = 1000;
constexpr int kAscent = 800;
constexpr int kDescent = -200;
// The name the font file carries and the PDF font names.
extern const char *const kName;

// The bytes of the font file, tables and checksums complete.
std::string fontFile();

} // namespace blankfont

#endif
