// Flattens one page of an open book: the curved page is remapped so that its
// text lines come out straight and evenly spaced at the page's proportions.
#ifndef ORVIX_BOOKFLATTEN_H
#define ORVIX_BOOKFLATTEN_H

#include "sdk/page/bookspread.h"
#include "sdk/frame.h"

namespace orvix {

// The camera's height above the desk, in frame long sides: a typical
// document camera sees a little more than its height across.
constexpr double kCameraHeightInLongSides = 1.2;

// `frame` is the picture findBookSpread looked at; `outerIsLeft` says at
// which end the page lies flat on the stack. Empty when the page is too small.
Frame flattenPage(const Frame &frame, const BookSpread &spread, const PageEdges &page, bool outerIsLeft);

// Brightens each column to the paper's level where the gutter's shadow
// darkened it; ink keeps its contrast to the paper.
void evenGutterShadow(Frame &page);

} // namespace orvix

#endif
