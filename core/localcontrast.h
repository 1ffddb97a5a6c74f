#ifndef QUILLO_CORE_LOCALCONTRAST_H
#define QUILLO_CORE_LOCALCONTRAST_H

#include <QImage>

#include <vector>

// A grey picture divided by its own local mean brightness: a lamp's flicker
// (the whole picture brighter or darker) and a soft shadow (a region darker
// by a smooth factor) cancel out, while print, page edges and hands stay.
// Each value is kLocalMean times the pixel's share of the mean of the square
// of side 2 * radius + 1 around it (clipped to the picture), at most 255.
// `grey` is Format_Grayscale8; `out` holds width * height values, row by row.
constexpr int kLocalMean = 128;
void divideByLocalMean(const QImage &grey, int radius, std::vector<quint8> &out);

#endif
