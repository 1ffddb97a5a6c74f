// Where the watermark's font comes from: installed CJK fonts first, so that
// Chinese text draws, then common Latin ones.
#ifndef ORVIX_FONTLOCATOR_H
#define ORVIX_FONTLOCATOR_H

#include <string>
#include <vector>

namespace orvix {

// Font files we know of, in order of preference.
const std::vector<std::string> &knownFontFiles();

// Those of `candidates` that exist as readable regular files, in order.
std::vector<std::string> installedFonts(const std::vector<std::string> &candidates);

} // namespace orvix

#endif
