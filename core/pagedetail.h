#ifndef QUILLO_CORE_PAGEDETAIL_H
#define QUILLO_CORE_PAGEDETAIL_H

#include <QImage>
#include <QPoint>

#include <limits>
#include <vector>

// The print of a picture at rest at the scale of its text, taken once per
// rest from a large grey copy of the preview. Two of them are compared tile
// by tile: each tile is aligned on its own (a page pushed or turned a little
// moves each part of it differently), and its print counts as changed when
// much of it finds no print near the same place in the other picture. Pages
// of one layout differ in their words, which changes the print of many
// tiles; the same page pushed, shadowed or under a flickering lamp changes
// hardly any.
class PageDetail
{
public:
    PageDetail() = default;
    // From a Format_Grayscale8 picture; null for a null picture.
    explicit PageDetail(const QImage &grey);

    bool isNull() const { return m_width == 0; }

    struct Difference {
        int changedTiles = 0; // tiles whose print changed
        int printedTiles = 0; // tiles with print in either picture
    };
    // Pictures of different sizes differ in every printed tile. Counting
    // stops at `enough` changed tiles.
    Difference compareWith(const PageDetail &reference, int enough = std::numeric_limits<int>::max()) const;

private:
    struct Tile {
        int x0, y0, x1, y1;
    };
    int inkIn(const Tile &tile, QPoint shift) const;
    QPoint globalShift(const PageDetail &reference) const;
    QPoint tileShift(const PageDetail &reference, const Tile &tile, QPoint around) const;
    double unmatchedPrint(const PageDetail &reference, const Tile &tile, QPoint shift, int minInk) const;
    bool printChanged(const PageDetail &reference, const Tile &tile, QPoint shift, int minInk) const;
    std::vector<Tile> tiles() const;

    int m_width = 0, m_height = 0;
    std::vector<quint8> m_level;   // brightness against the local mean
    std::vector<quint8> m_ink;     // 1 where print is
    std::vector<quint8> m_inkNear; // 1 where print, even faint, is within the tolerance
    int m_coarseWidth = 0, m_coarseHeight = 0;
    std::vector<quint8> m_coarse; // m_level averaged over blocks, for aligning
};

#endif
