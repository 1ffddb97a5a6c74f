#include "core/autocapture.h"

#include <QDebug>
#include <QLineF>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

// Each frame is divided by its own local mean brightness before anything is
// compared, so a lamp's flicker (the whole picture brighter or darker) and
// a soft shadow (a region darker by a smooth factor) cancel out, while
// print, page edges and hands stay. The neighbourhood is a twentieth of the
// width: wider than a line of print, narrower than a shadow's soft edge.
constexpr int kLocalMeanDivisor = 20;
// Brightness added to both sides of the division so the dark desk's noise
// does not blow up into large ratios.
constexpr int kDarkFloor = 12;
// 128 stands for "as bright as the neighbourhood".
constexpr int kUnity = 128;

// A pixel moved when its normalised value changed by more than this between
// two samples (about a fifth of the local brightness); sensor noise of +-3
// levels, averaged by the reduction, stays below a tenth of it.
constexpr int kMotionLevel = 28;
// Something moves when more than this share of the picture moved: more than
// the simulated camera's live marks (a dot and a frame counter, well under
// 1 %), far less than a hand reaching over the page.
constexpr double kMotionShare = 0.012;
// The picture must then stay still this long: a hand that paused mid-turn
// rarely holds a second, and the delay after the hand leaves stays near 1 s.
constexpr qint64 kSettleMs = 1000;
// A longer gap between frames (camera restarted, window stalled) counts as
// motion: what happened meanwhile was not seen.
constexpr qint64 kMaxGapMs = 1000;

// Comparing the page at rest with the page scanned last: the two are first
// aligned by the best whole-pixel shift up to a twenty-fifth of the width (a
// page pushed by hand), then each pixel's run of five along the line may
// match the other picture kTolerance pixel away in any direction (a slight
// turn or half-pixel shift). A pixel differs when even the best run is
// further away than kPageLevel on average.
constexpr int kShiftDivisor = 25;
constexpr int kSearchStep = 4;
constexpr int kPageLevel = 30;
constexpr int kTolerance = 1;
constexpr int kRunHalf = 2; // runs of five pixels
// A new page when more than this share of the compared area differs. On the
// benchmark's sequences the same page after a push, a shadow or flicker
// differs by at most 2.5 %, different pages of running text (even with the
// same paragraph layout) by 4.6 % or more; the threshold sits between.
// Single pixels instead of runs let a gap between words pass for the white
// between lines and brought look-alike pages down to 1.7 %.
constexpr double kNewPageShare = 0.035;

// The camera's page outline must lie this far inside the frame (whole page
// in view) and its corners move less than this share of the width between
// samples (steady).
constexpr int kOutlineInset = 1;
constexpr double kOutlineJitterShare = 0.02;

void normalise(const QImage &grey, std::vector<quint8> &out)
{
    const int w = grey.width();
    const int h = grey.height();
    const int radius = std::max(2, w / kLocalMeanDivisor);
    std::vector<quint32> integral(size_t(w + 1) * size_t(h + 1), 0);
    for (int y = 0; y < h; ++y) {
        const uchar *row = grey.constScanLine(y);
        quint32 rowSum = 0;
        quint32 *above = &integral[size_t(y) * size_t(w + 1)];
        quint32 *here = above + (w + 1);
        for (int x = 0; x < w; ++x) {
            rowSum += row[x];
            here[x + 1] = above[x + 1] + rowSum;
        }
    }
    out.resize(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const uchar *row = grey.constScanLine(y);
        const int y0 = std::max(0, y - radius), y1 = std::min(h, y + radius + 1);
        const quint32 *top = &integral[size_t(y0) * size_t(w + 1)];
        const quint32 *bottom = &integral[size_t(y1) * size_t(w + 1)];
        for (int x = 0; x < w; ++x) {
            const int x0 = std::max(0, x - radius), x1 = std::min(w, x + radius + 1);
            const quint32 sum = bottom[x1] - bottom[x0] - top[x1] + top[x0];
            const float count = float((x1 - x0) * (y1 - y0));
            const float value = kUnity * (row[x] + kDarkFloor) * count / (float(sum) + kDarkFloor * count);
            out[size_t(y) * size_t(w) + size_t(x)] = quint8(std::min(value, 255.0f));
        }
    }
}

double motionShare(const std::vector<quint8> &a, const std::vector<quint8> &b)
{
    size_t moved = 0;
    for (size_t i = 0; i < a.size(); ++i)
        moved += std::abs(int(a[i]) - int(b[i])) > kMotionLevel;
    return a.empty() ? 0.0 : double(moved) / double(a.size());
}

// Share of `from`'s pixels (inside `margin`) whose surroundings match
// nothing in `to` near the shifted place. Matching a short run of pixels
// along the line, not a single pixel, keeps a gap between two words from
// passing for the white between two lines.
double unmatchedShare(const std::vector<quint8> &from, const std::vector<quint8> &to, int w, int h, int dx,
                      int dy, int margin)
{
    const int limit = kPageLevel * (2 * kRunHalf + 1);
    size_t unmatched = 0, compared = 0;
    for (int y = margin; y < h - margin; ++y) {
        const quint8 *src = &from[size_t(y) * size_t(w)];
        for (int x = margin; x < w - margin; ++x) {
            bool matched = false;
            for (int ny = -kTolerance; ny <= kTolerance && !matched; ++ny) {
                const quint8 *row = &to[size_t(y + dy + ny) * size_t(w)];
                for (int nx = -kTolerance; nx <= kTolerance && !matched; ++nx) {
                    int sum = 0;
                    for (int k = -kRunHalf; k <= kRunHalf; ++k)
                        sum += std::abs(int(src[x + k]) - int(row[x + dx + nx + k]));
                    matched = sum <= limit;
                }
            }
            unmatched += !matched;
            ++compared;
        }
    }
    return compared ? double(unmatched) / double(compared) : 0.0;
}

double pageDifference(const std::vector<quint8> &reference, const std::vector<quint8> &current, int w, int h)
{
    const int reach = std::max(2, w / kShiftDivisor);
    const int margin = reach + kTolerance + kRunHalf;
    if (w <= 2 * margin || h <= 2 * margin)
        return 1.0;
    // Best shift on every fourth pixel each way: enough to find a pushed
    // page, and the judgement stays a few milliseconds once per page.
    qint64 bestCost = std::numeric_limits<qint64>::max();
    int bestDx = 0, bestDy = 0;
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            qint64 cost = 0;
            for (int y = margin; y < h - margin && cost < bestCost; y += kSearchStep) {
                const quint8 *cur = &current[size_t(y) * size_t(w)];
                const quint8 *ref = &reference[size_t(y + dy) * size_t(w)];
                for (int x = margin; x < w - margin; x += kSearchStep)
                    cost += std::abs(int(cur[x]) - int(ref[x + dx]));
            }
            if (cost < bestCost) {
                bestCost = cost;
                bestDx = dx;
                bestDy = dy;
            }
        }
    }
    // Both ways: print that appeared and print that went away.
    return std::max(unmatchedShare(current, reference, w, h, bestDx, bestDy, margin),
                    unmatchedShare(reference, current, w, h, -bestDx, -bestDy, margin));
}

} // namespace

bool AutoCapture::wantsFrame(qint64 msecs) const
{
    return m_lastFed < 0 || msecs < m_lastFed || msecs - m_lastFed >= kSampleIntervalMs;
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

bool AutoCapture::feed(const QImage &grey, qint64 msecs, const QPolygonF *outline)
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
        m_reference.clear();
        m_hasReference = false;
        m_previousOutline.clear();
    }
    std::vector<quint8> current;
    normalise(grey, current);

    const bool gap = m_lastFed < 0 || msecs < m_lastFed || msecs - m_lastFed > kMaxGapMs;
    m_lastFed = msecs;
    const bool outlineOk = outlineSettled(outline);
    const bool moving = gap || m_previous.empty() || !outlineOk || motionShare(current, m_previous) > kMotionShare;
    m_previous.swap(current);
    if (moving) {
        m_lastMotion = msecs;
        m_judged = false;
        return false;
    }
    if (m_judged || msecs - m_lastMotion < kSettleMs)
        return false;

    // At rest: judge this still spell once.
    m_judged = true;
    if (!m_hasReference) {
        m_lastDifference = -1;
    } else {
        m_lastDifference = pageDifference(m_reference, m_previous, m_width, m_height);
        // The same page, perhaps pushed a little: what it looks like now is
        // what the next page is compared with, so nudges do not add up.
        if (m_lastDifference <= kNewPageShare) {
            m_reference = m_previous;
            return false;
        }
    }
    m_reference = m_previous;
    m_hasReference = true;
    return true;
}

void AutoCapture::markScanned()
{
    if (m_previous.empty())
        return;
    m_reference = m_previous;
    m_hasReference = true;
    m_judged = true;
}

void AutoCapture::reset()
{
    m_previous.clear();
    m_reference.clear();
    m_hasReference = false;
    m_lastFed = -1;
    m_lastMotion = -1;
    m_judged = false;
    m_previousOutline.clear();
    m_lastDifference = -1;
}
