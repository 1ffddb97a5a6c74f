// Paints out what covers a page's outer margin (the thumbs or fingers that
// hold a book open) with the paper's own colour, never where text lies.
#ifndef ORVIX_MARGINCLEAN_H
#define ORVIX_MARGINCLEAN_H

#include "sdk/frame.h"

namespace orvix {

struct MarginCleaning {
    int painted = 0; // regions painted out
    int kept = 0;    // regions left because they reach the text
};

// Looks at regions that are not paper and touch the page's outer side;
// one that stays clear of the text is painted with the paper's colour.
MarginCleaning cleanOuterMargin(Frame &page, bool outerIsLeft);

} // namespace orvix

#endif
