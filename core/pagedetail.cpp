#include "core/pagedetail.h"

#include "core/localcontrast.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

// Brightness is taken against the mean of a square a tenth of the width
// across: wider than a few lines of print, narrower than a shadow's edge.
constexpr int kLocalMeanDivisor = 20;
// Print is darker than three quarters of its surroundings' mean brightness;
// paper and its noise stay far above that. Print in one picture is found in
// the other where that is darker than seven eighths: a shadow's soft edge
// or a lamp's flicker shifts the local mean by a tenth at most and must not
// make faint edges (a picture's, a page's own shadow) come and go.
constexpr int kInkLevel = kLocalMean * 3 / 4;
constexpr int kFaintInkLevel = kLocalMean * 7 / 8;
// Print found within one pixel counts as the same print: resampling moves
// an edge by half a pixel, a page turned a degree shifts a tile's ends by
// about one pixel against its middle.
constexpr int kTolerance = 1;
// Tiles are a twentieth of the width: at 1280 pixels four lines of print a
// dozen letters long, small enough that a few changed words or a card laid
// on the page change whole tiles, large enough to align on their own.
constexpr int kTilesAcross = 20;
// A tile has print when at least 1 % of it is print (a short word); emptier
// tiles hold only the odd speck and are not judged.
constexpr double kMinInkShare = 0.01;
// A tile's print changed when more than this share of it (either side's)
// finds no print nearby in the other. Measured on the benchmark's sequences:
// looks at the same page, pushed, shadowed or flickering, left at most 5 %
// of a tile's print unmatched (3362 tiles); book pages of one layout left
// more than a quarter unmatched in 28 tiles or more, a card on a form in 9.
constexpr double kChangedShare = 0.25;
// Alignment: the whole picture is first shifted on a copy averaged over
// blocks of kCoarseStep pixels, by up to a twenty-fifth of the width (a page
// pushed by hand); each tile then looks kTileReach blocks further (a page
// turned a degree moves its corners a few blocks against its middle) and
// settles within half a block, where the print is looked for.
constexpr int kCoarseStep = 4;
constexpr int kShiftDivisor = 25;
constexpr int kTileReach = 2;
constexpr int kRefineReach = kCoarseStep / 2;
// Sampling for the whole-picture shift: every fourth block each way.
constexpr int kGlobalStride = 4;

// Mean absolute difference between `a` inside `rect` (x0, y0, x1, y1) and
// `b` shifted by (dx, dy), on every `stride`th pixel; max() when nothing of
// the rectangle lies inside `b` after the shift.
double meanDifference(const std::vector<quint8> &a, const std::vector<quint8> &b, int w, int h, int x0, int y0,
                      int x1, int y1, int dx, int dy, int stride)
{
    x0 = std::max(x0, -dx);
    y0 = std::max(y0, -dy);
    x1 = std::min(x1, w - dx);
    y1 = std::min(y1, h - dy);
    if (x1 <= x0 || y1 <= y0)
        return std::numeric_limits<double>::max();
    qint64 sum = 0, count = 0;
    for (int y = y0; y < y1; y += stride) {
        const quint8 *ra = &a[size_t(y) * size_t(w)];
        // Indexed by x + dx, never offset by a negative shift on its own:
        // on the first row that would point before the buffer.
        const quint8 *rb = &b[size_t(y + dy) * size_t(w)];
        for (int x = x0; x < x1; x += stride)
            sum += std::abs(int(ra[x]) - int(rb[x + dx]));
        count += (x1 - x0 + stride - 1) / stride;
    }
    return count > 0 ? double(sum) / double(count) : std::numeric_limits<double>::max();
}

} // namespace

PageDetail::PageDetail(const QImage &grey)
{
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8)
        return;
    m_width = grey.width();
    m_height = grey.height();
    divideByLocalMean(grey, std::max(2, m_width / kLocalMeanDivisor), m_level);

    const size_t n = m_level.size();
    m_ink.resize(n);
    for (size_t i = 0; i < n; ++i)
        m_ink[i] = m_level[i] < kInkLevel;
    // Print, even faint, within the tolerance: spread by that much each way,
    // first along the rows, then across them.
    std::vector<quint8> faint(n);
    for (size_t i = 0; i < n; ++i)
        faint[i] = m_level[i] < kFaintInkLevel;
    std::vector<quint8> across(faint);
    for (int k = 1; k <= kTolerance; ++k)
        for (int y = 0; y < m_height; ++y) {
            const quint8 *ink = &faint[size_t(y) * size_t(m_width)];
            quint8 *out = &across[size_t(y) * size_t(m_width)];
            for (int x = k; x < m_width; ++x)
                out[x] |= ink[x - k];
            for (int x = 0; x + k < m_width; ++x)
                out[x] |= ink[x + k];
        }
    m_inkNear = across;
    for (int k = 1; k <= kTolerance; ++k)
        for (int y = 0; y < m_height; ++y) {
            quint8 *out = &m_inkNear[size_t(y) * size_t(m_width)];
            for (const int from : {y - k, y + k}) {
                if (from < 0 || from >= m_height)
                    continue;
                const quint8 *row = &across[size_t(from) * size_t(m_width)];
                for (int x = 0; x < m_width; ++x)
                    out[x] |= row[x];
            }
        }

    m_coarseWidth = m_width / kCoarseStep;
    m_coarseHeight = m_height / kCoarseStep;
    m_coarse.assign(size_t(m_coarseWidth) * size_t(m_coarseHeight), 0);
    for (int cy = 0; cy < m_coarseHeight; ++cy)
        for (int cx = 0; cx < m_coarseWidth; ++cx) {
            int sum = 0;
            for (int y = cy * kCoarseStep; y < (cy + 1) * kCoarseStep; ++y)
                for (int x = cx * kCoarseStep; x < (cx + 1) * kCoarseStep; ++x)
                    sum += m_level[size_t(y) * size_t(m_width) + size_t(x)];
            m_coarse[size_t(cy) * size_t(m_coarseWidth) + size_t(cx)] = quint8(sum / (kCoarseStep * kCoarseStep));
        }
}

std::vector<PageDetail::Tile> PageDetail::tiles() const
{
    const int side = std::max(kCoarseStep * 2, m_width / kTilesAcross);
    std::vector<Tile> out;
    for (int y = 0; y < m_height; y += side)
        for (int x = 0; x < m_width; x += side)
            out.push_back({x, y, std::min(m_width, x + side), std::min(m_height, y + side)});
    return out;
}

int PageDetail::inkIn(const Tile &tile, QPoint shift) const
{
    int ink = 0;
    for (int y = std::max(0, tile.y0 + shift.y()); y < std::min(m_height, tile.y1 + shift.y()); ++y)
        for (int x = std::max(0, tile.x0 + shift.x()); x < std::min(m_width, tile.x1 + shift.x()); ++x)
            ink += m_ink[size_t(y) * size_t(m_width) + size_t(x)];
    return ink;
}

QPoint PageDetail::globalShift(const PageDetail &reference) const
{
    const int reach = std::max(2, m_coarseWidth / kShiftDivisor);
    double best = std::numeric_limits<double>::max();
    QPoint shift;
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx) {
            const double cost = meanDifference(m_coarse, reference.m_coarse, m_coarseWidth, m_coarseHeight, reach,
                                               reach, m_coarseWidth - reach, m_coarseHeight - reach, dx, dy,
                                               kGlobalStride);
            if (cost < best) {
                best = cost;
                shift = QPoint(dx, dy);
            }
        }
    return shift;
}

QPoint PageDetail::tileShift(const PageDetail &reference, const Tile &tile, QPoint around) const
{
    // Aligned on the tile and half a tile around it: print at a tile's
    // border, with little else in it, is aligned by what lies beside it.
    const int side = (tile.x1 - tile.x0) / kCoarseStep, margin = side / 2;
    const int x0 = tile.x0 / kCoarseStep - margin, y0 = tile.y0 / kCoarseStep - margin;
    const int x1 = tile.x1 / kCoarseStep + margin, y1 = tile.y1 / kCoarseStep + margin;
    double best = std::numeric_limits<double>::max();
    QPoint coarse = around;
    for (int dy = around.y() - kTileReach; dy <= around.y() + kTileReach; ++dy)
        for (int dx = around.x() - kTileReach; dx <= around.x() + kTileReach; ++dx) {
            const double cost = meanDifference(m_coarse, reference.m_coarse, m_coarseWidth, m_coarseHeight,
                                               std::max(0, x0), std::max(0, y0), std::min(m_coarseWidth, x1),
                                               std::min(m_coarseHeight, y1), dx, dy, 1);
            if (cost < best) {
                best = cost;
                coarse = QPoint(dx, dy);
            }
        }
    return coarse * kCoarseStep;
}

double PageDetail::unmatchedPrint(const PageDetail &reference, const Tile &tile, QPoint shift, int minInk) const
{
    const int x0 = std::max(tile.x0, -shift.x()), x1 = std::min(tile.x1, m_width - shift.x());
    const int y0 = std::max(tile.y0, -shift.y()), y1 = std::min(tile.y1, m_height - shift.y());
    int ink = 0, lost = 0, referenceInk = 0, referenceLost = 0;
    for (int y = y0; y < y1; ++y) {
        const quint8 *mine = &m_ink[size_t(y) * size_t(m_width)];
        const quint8 *mineNear = &m_inkNear[size_t(y) * size_t(m_width)];
        // Row starts only: the shift is added to x, so a negative shift never
        // points before the buffer.
        const size_t there = size_t(y + shift.y()) * size_t(m_width);
        const quint8 *theirs = &reference.m_ink[there];
        const quint8 *theirsNear = &reference.m_inkNear[there];
        const int sx = shift.x();
        for (int x = x0; x < x1; ++x) {
            ink += mine[x];
            lost += mine[x] & (theirsNear[x + sx] ^ 1);
            referenceInk += theirs[x + sx];
            referenceLost += theirs[x + sx] & (mineNear[x] ^ 1);
        }
    }
    return std::max(double(lost) / std::max(ink, minInk), double(referenceLost) / std::max(referenceInk, minInk));
}

bool PageDetail::printChanged(const PageDetail &reference, const Tile &tile, QPoint shift, int minInk) const
{
    // The block shift is right to half a block; the print is looked for at
    // the pixels around it in steps the tolerance bridges.
    constexpr int step = 2 * kTolerance;
    if (unmatchedPrint(reference, tile, shift, minInk) <= kChangedShare)
        return false;
    for (int dy = -kRefineReach; dy <= kRefineReach; dy += step)
        for (int dx = -kRefineReach; dx <= kRefineReach; dx += step)
            if ((dx || dy) && unmatchedPrint(reference, tile, shift + QPoint(dx, dy), minInk) <= kChangedShare)
                return false;
    return true;
}

PageDetail::Difference PageDetail::compareWith(const PageDetail &reference, int enough) const
{
    Difference difference;
    const std::vector<Tile> all = tiles();
    const bool comparable = reference.m_width == m_width && reference.m_height == m_height;
    const QPoint global = comparable ? globalShift(reference) : QPoint();
    for (const Tile &tile : all) {
        const int minInk = std::max(1, int(kMinInkShare * (tile.x1 - tile.x0) * (tile.y1 - tile.y0)));
        const bool printed = inkIn(tile, QPoint()) >= minInk ||
                             (comparable && reference.inkIn(tile, global * kCoarseStep) >= minInk);
        if (!printed)
            continue;
        ++difference.printedTiles;
        if (!comparable || printChanged(reference, tile, tileShift(reference, tile, global), minInk))
            if (++difference.changedTiles >= enough)
                break;
    }
    return difference;
}
