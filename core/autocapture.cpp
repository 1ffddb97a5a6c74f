#include "core/autocapture.h"

#include "core/localcontrast.h"

#include <QDebug>
#include <QLineF>

#include <algorithm>
#include <cstdlib>

namespace {

// Brightness against the mean of a neighbourhood a twentieth of the width
// each way: wider than a line of print, narrower than a shadow's soft edge.
constexpr int kLocalMeanDivisor = 20;

// A pixel moved when its normalised value changed by more than this between
// two samples (about a fifth of the local brightness); sensor noise of +-3
// levels, averaged by the reduction, stays below a tenth of it.
constexpr int kMotionLevel = 28;
// Something moves when more than this share of the picture moved: more than
// the simulated camera's live marks (a dot and a frame counter, well under
// 1 %), far less than a hand reaching over the page. Such a change is a
// turn; a shadow sliding in or a flickering lamp, cancelled by the
// normalisation, stays below it, and a camera outline that merely wavers is
// waited out but is no turn.
constexpr double kMotionShare = 0.012;
// The picture must then stay still this long: a hand that paused mid-turn
// rarely holds a second, and the delay after the hand leaves stays near 1 s.
constexpr qint64 kSettleMs = 1000;
// A longer gap between frames (camera restarted, window stalled) counts as
// motion and as a turn: what happened meanwhile was not seen.
constexpr qint64 kMaxGapMs = 1000;

// Something reaching into the still picture across its edge (an arm, with
// the hand at rest on the page) is not a page at rest. The edge is a band a
// fortieth of the width deep, in cells a sixteenth of the width long; a cell
// is crossed when a tenth of it changed by an eighth of the local brightness
// against the picture last judged: less than a moving hand needs, since a
// skin-coloured arm on a light desk differs from it by little more than its
// edges and its shadow, and still far more than noise at rest. An
// arm, even reaching in at a corner, crosses a few cells: at most an eighth
// of them. More is a shadow's edge lying along the band or a different view
// (the camera moved), judged as usual.
constexpr int kEdgeDivisor = 40;
constexpr int kEdgeCellDivisor = 16;
constexpr int kEdgeLevel = kLocalMean / 8;
constexpr double kEdgeCellShare = 0.1;
constexpr double kMaxReachShare = 0.125;
// Something lying across the edge longer than this is part of the desk (the
// other half of a book, a stapler), so that pages are not refused for ever.
constexpr qint64 kReachPatienceMs = 8000;

// A new page changes the print of at least this many tiles against the page
// scanned last. Measured: a card laid on a form changes 8 or more, pages of
// one layout with other words far more; the same page pushed, shadowed or
// under a flickering lamp changes none in most scenes, but up to 3 in some
// (a push moves print across a tile's edge), so 3 took a pushed page twice.
constexpr int kNewPageTiles = 5;
// Counting stops at four times that: the decision needs no more, the
// benchmark still sees the margin, and a new page costs little to judge.
constexpr int kTilesCounted = 4 * kNewPageTiles;

// The camera's page outline must lie this far inside the frame (whole page
// in view) and its corners move less than this share of the width between
// samples (steady).
constexpr int kOutlineInset = 1;
constexpr double kOutlineJitterShare = 0.02;

double motionShare(const std::vector<quint8> &a, const std::vector<quint8> &b)
{
    size_t moved = 0;
    for (size_t i = 0; i < a.size(); ++i)
        moved += std::abs(int(a[i]) - int(b[i])) > kMotionLevel;
    return a.empty() ? 0.0 : double(moved) / double(a.size());
}

} // namespace

bool AutoCapture::wantsFrame(qint64 msecs) const
{
    return m_lastFed < 0 || msecs < m_lastFed || msecs - m_lastFed >= kSampleIntervalMs;
}

bool AutoCapture::somethingReachesIn() const
{
    if (m_scannedEdge.size() != m_previous.size())
        return false;
    const int band = std::max(1, m_width / kEdgeDivisor);
    const int cell = std::max(band, m_width / kEdgeCellDivisor);
    int cells = 0, crossed = 0;
    auto look = [&](int x0, int y0, int x1, int y1) {
        int moved = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const size_t i = size_t(y) * size_t(m_width) + size_t(x);
                moved += std::abs(int(m_previous[i]) - int(m_scannedEdge[i])) > kEdgeLevel;
            }
        ++cells;
        crossed += moved > kEdgeCellShare * (x1 - x0) * (y1 - y0);
    };
    for (int x = 0; x < m_width; x += cell) {
        look(x, 0, std::min(m_width, x + cell), band);
        look(x, m_height - band, std::min(m_width, x + cell), m_height);
    }
    for (int y = band; y < m_height - band; y += cell) {
        look(0, y, band, std::min(m_height - band, y + cell));
        look(m_width - band, y, m_width, std::min(m_height - band, y + cell));
    }
    return crossed > 0 && crossed <= kMaxReachShare * cells;
}

bool AutoCapture::outlineSettled(const QPolygonF *outline)
{
    if (!outline)
        return true;
    const QPolygonF previous = m_previousOutline;
    m_previousOutline = *outline;
    if (outline->size() != 4)
        return false; // no page seen, or not a quadrilateral
    const QRectF inside = QRectF(0, 0, m_width, m_height).adjusted(kOutlineInset, kOutlineInset, -kOutlineInset,
                                                                   -kOutlineInset);
    for (const QPointF &corner : *outline)
        if (!inside.contains(corner))
            return false; // part of the page out of view, or covered at the edge
    if (previous.size() != 4)
        return false;
    const double jitter = kOutlineJitterShare * m_width;
    for (int i = 0; i < 4; ++i)
        if (QLineF(previous.at(i), outline->at(i)).length() > jitter)
            return false;
    return true;
}

bool AutoCapture::feed(const QImage &grey, qint64 msecs, const QPolygonF *outline, const DetailSource &detail)
{
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8) {
        qDebug("auto capture: frame ignored (not a grey picture)\n");
        return false;
    }
    if (grey.width() != m_width || grey.height() != m_height) {
        // A new size is a new camera set-up: start watching afresh, but
        // keep nothing from the old size to compare with.
        m_width = grey.width();
        m_height = grey.height();
        m_previous.clear();
        m_scannedEdge.clear();
        m_scanned = PageDetail();
        m_hasReference = false;
        m_previousOutline.clear();
    }
    std::vector<quint8> current;
    divideByLocalMean(grey, std::max(2, m_width / kLocalMeanDivisor), current);

    const bool gap = m_lastFed < 0 || msecs < m_lastFed || msecs - m_lastFed > kMaxGapMs;
    m_lastFed = msecs;
    const bool outlineOk = outlineSettled(outline);
    const double moved = m_previous.empty() ? 1.0 : motionShare(current, m_previous);
    m_previous.swap(current);
    m_lastGrey = grey;
    if (gap || !outlineOk || moved > kMotionShare) {
        m_lastMotion = msecs;
        m_judged = false;
        m_reachReported = false;
        m_turned = m_turned || gap || moved > kMotionShare;
        return false;
    }
    if (m_judged || msecs - m_lastMotion < kSettleMs)
        return false;
    if (m_hasReference && somethingReachesIn()) {
        if (msecs - m_lastMotion < kReachPatienceMs) {
            if (!m_reachReported)
                qDebug("auto capture: something reaches into the picture across its edge; waiting for it to leave\n");
            m_reachReported = true;
            return false;
        }
        qDebug("auto capture: what lies across the picture's edge is taken as part of the desk\n");
    }

    return judgeRest(detail);
}

bool AutoCapture::judgeRest(const DetailSource &detail)
{
    const bool turned = m_turned;
    m_judged = true;
    m_turned = false;
    if (m_hasReference && !turned) {
        m_scannedEdge = m_previous; // a shadow or the light changed: the same page
        return false;
    }
    const PageDetail now(detail ? detail() : m_lastGrey);
    if (now.isNull()) {
        m_judged = false; // the frame went away meanwhile: look again
        m_turned = turned;
        return false;
    }
    if (!m_hasReference) {
        m_lastDifference = -1;
        takeAsScanned(now);
        return true;
    }
    const PageDetail::Difference difference = now.compareWith(m_scanned, kTilesCounted);
    m_lastDifference = difference.changedTiles;
    const bool newPage = difference.changedTiles >= kNewPageTiles;
    qDebug("auto capture: page at rest, print changed in %d of %d tiles: %s\n", difference.changedTiles,
           difference.printedTiles, newPage ? "a new page" : "the same page");
    // The same page, perhaps pushed a little: how it lies now is what the
    // next page is compared with, so nudges do not add up.
    takeAsScanned(now);
    return newPage;
}

void AutoCapture::takeAsScanned(const PageDetail &detail)
{
    m_scanned = detail;
    m_scannedEdge = m_previous;
    m_hasReference = true;
}

void AutoCapture::markScanned(const QImage &detail)
{
    if (m_previous.empty())
        return;
    const PageDetail now(detail.isNull() ? m_lastGrey : detail);
    if (now.isNull())
        return;
    takeAsScanned(now);
    m_judged = true;
    m_turned = false;
}

void AutoCapture::reset()
{
    m_previous.clear();
    m_scannedEdge.clear();
    m_lastGrey = QImage();
    m_scanned = PageDetail();
    m_hasReference = false;
    m_lastFed = -1;
    m_lastMotion = -1;
    m_turned = false;
    m_judged = false;
    m_reachReported = false;
    m_previousOutline.clear();
    m_lastDifference = -1;
}
