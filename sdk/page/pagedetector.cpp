#include "sdk/page/pagedetector.h"

#include "sdk/page/pagemasks.h"
#include "sdk/page/pagewarp.h"

#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace orvix {
namespace {

using Quadf = std::array<cv::Point2f, 4>;

// (max - min) / max of a page's paper; skin is about 0.25-0.45, wood more.
constexpr float kMostPaperChroma = 0.3f;

struct Line {
    cv::Point2f point;
    cv::Point2f dir; // unit length
};

double cross(cv::Point2f a, cv::Point2f b) { return double(a.x) * b.y - double(a.y) * b.x; }
double length(cv::Point2f v) { return std::hypot(double(v.x), double(v.y)); }

bool intersect(const Line &a, const Line &b, cv::Point2f &out)
{
    const double det = cross(a.dir, b.dir);
    if (std::fabs(det) < 1e-6)
        return false;
    const double t = cross(b.point - a.point, b.dir) / det;
    out = a.point + a.dir * float(t);
    return true;
}

cv::Point2f centroidOf(const Quadf &q) { return (q[0] + q[1] + q[2] + q[3]) * 0.25f; }

// Outward unit normal of side i of a convex quad.
cv::Point2f outwardNormal(const Quadf &q, int i)
{
    const cv::Point2f a = q[i], b = q[(i + 1) % 4];
    const cv::Point2f u = (b - a) * float(1.0 / std::max(1e-9, length(b - a)));
    cv::Point2f n(u.y, -u.x);
    if ((((a + b) * 0.5f) - centroidOf(q)).dot(n) < 0)
        n = -n;
    return n;
}

// Clockwise on screen, starting with the corner whose following edge points
// closest to the frame's +x: the page keeps the orientation it has in the frame.
Quadf orderCorners(Quadf q)
{
    const cv::Point2f c = centroidOf(q);
    std::sort(q.begin(), q.end(), [c](cv::Point2f a, cv::Point2f b) {
        return std::atan2(a.y - c.y, a.x - c.x) < std::atan2(b.y - c.y, b.x - c.x);
    });
    int start = 0;
    double bestAngle = 1e9;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2f e = q[(i + 1) % 4] - q[i];
        const double angle = std::fabs(std::atan2(e.y, e.x));
        if (angle < bestAngle) {
            bestAngle = angle;
            start = i;
        }
    }
    Quadf out;
    for (int i = 0; i < 4; ++i)
        out[i] = q[(start + i) % 4];
    return out;
}

bool plausibleQuad(const Quadf &q, cv::Size size)
{
    double sign = 0;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2f e1 = q[(i + 1) % 4] - q[i];
        const cv::Point2f e2 = q[(i + 2) % 4] - q[(i + 1) % 4];
        const double l1 = length(e1), l2 = length(e2);
        if (l1 < 0.05 * std::max(size.width, size.height))
            return false;
        const double s = cross(e1, e2) / (l1 * l2); // sine of the turn
        if (sign == 0)
            sign = s > 0 ? 1 : -1;
        if (s * sign < std::sin(35.0 * CV_PI / 180.0))
            return false; // concave, or a corner sharper than 35 / wider than 145 degrees
    }
    std::vector<cv::Point2f> poly(q.begin(), q.end());
    return cv::contourArea(poly) >= 0.03 * size.area();
}

float grayAt(const cv::Mat &gray, float x, float y)
{
    x = std::min(std::max(x, 0.f), float(gray.cols) - 1.001f);
    y = std::min(std::max(y, 0.f), float(gray.rows) - 1.001f);
    const int ix = int(x), iy = int(y);
    const float fx = x - ix, fy = y - iy;
    const uint8_t *r0 = gray.ptr<uint8_t>(iy) + ix;
    const uint8_t *r1 = gray.ptr<uint8_t>(iy + 1) + ix;
    return (r0[0] * (1 - fx) + r0[1] * fx) * (1 - fy) + (r1[0] * (1 - fx) + r1[1] * fx) * fy;
}

// Mean of R, G and B at a sub-pixel position of the full frame.
float frameGrayAt(const Frame &f, float x, float y)
{
    x = std::min(std::max(x, 0.f), float(f.width) - 1.001f);
    y = std::min(std::max(y, 0.f), float(f.height) - 1.001f);
    const int ix = int(x), iy = int(y);
    const float fx = x - ix, fy = y - iy;
    auto px = [&f](int xx, int yy) {
        const uint8_t *p = f.row(yy) + size_t(xx) * 3;
        return (p[0] + p[1] + p[2]) * (1.f / 3.f);
    };
    return (px(ix, iy) * (1 - fx) + px(ix + 1, iy) * fx) * (1 - fy)
           + (px(ix, iy + 1) * (1 - fx) + px(ix + 1, iy + 1) * fx) * fy;
}

bool alongBorder(cv::Point2f a, cv::Point2f b, cv::Size size)
{
    const float m = 3.f;
    const float right = size.width - 1.f, bottom = size.height - 1.f;
    return (a.x < m && b.x < m) || (a.y < m && b.y < m) || (a.x > right - m && b.x > right - m)
           || (a.y > bottom - m && b.y > bottom - m);
}

// Fraction of each side where the inside is clearly brighter than the outside.
// A side on the frame border (page running out of view) is left out, but at
// least two sides must be seen: the frame's own outline is no page.
bool edgeSupport(const cv::Mat &gray, const Quadf &q, double &mean)
{
    const float offset = std::max(2.f, 0.004f * std::max(gray.cols, gray.rows));
    const cv::Rect2f frame(0, 0, gray.cols - 1.f, gray.rows - 1.f);
    double sum = 0, worst = 1;
    int seen = 0;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2f a = q[i], b = q[(i + 1) % 4];
        if (alongBorder(a, b, gray.size()))
            continue;
        const cv::Point2f n = outwardNormal(q, i);
        const int samples = 48;
        int good = 0, visible = 0;
        for (int k = 0; k < samples; ++k) {
            const float t = 0.05f + 0.9f * (k + 0.5f) / samples;
            const cv::Point2f p = a + (b - a) * t;
            const cv::Point2f in = p - n * offset, out = p + n * offset;
            if (!frame.contains(in) || !frame.contains(out))
                continue;
            ++visible;
            const float inside = grayAt(gray, in.x, in.y);
            if (inside - grayAt(gray, out.x, out.y) > 4.f + 0.04f * inside)
                ++good;
        }
        if (visible < samples / 4)
            continue; // mostly out of view
        const double support = double(good) / visible;
        sum += support;
        worst = std::min(worst, support);
        ++seen;
    }
    mean = seen ? sum / seen : 0;
    return seen >= 2 && worst >= 0.25 && mean >= 0.55;
}

// Paper is colourless under the usual light, whatever its brightness; a hand
// or a wooden object on a dark desk is not. Judged on the brighter half of
// the inside (paper, not print), shrunk away from the edges.
bool looksLikePaper(const cv::Mat &rgb, const Quadf &q)
{
    const cv::Point2f c = centroidOf(q);
    std::vector<cv::Point> inner;
    for (const cv::Point2f &p : q)
        inner.emplace_back(c + (p - c) * 0.85f);
    cv::Mat inside = cv::Mat::zeros(rgb.size(), CV_8U);
    cv::fillConvexPoly(inside, inner, cv::Scalar(255));
    std::vector<std::pair<int, float>> samples; // brightness, chroma
    for (int y = 0; y < rgb.rows; y += 2) {
        const uint8_t *m = inside.ptr<uint8_t>(y);
        const cv::Vec3b *px = rgb.ptr<cv::Vec3b>(y);
        for (int x = 0; x < rgb.cols; x += 2) {
            if (!m[x])
                continue;
            const int hi = std::max({px[x][0], px[x][1], px[x][2]});
            const int lo = std::min({px[x][0], px[x][1], px[x][2]});
            samples.emplace_back(hi, hi > 0 ? float(hi - lo) / hi : 0.f);
        }
    }
    if (samples.size() < 20)
        return false;
    std::sort(samples.begin(), samples.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<float> chroma;
    for (size_t i = samples.size() / 2; i < samples.size(); ++i)
        chroma.push_back(samples[i].second);
    std::nth_element(chroma.begin(), chroma.begin() + chroma.size() / 2, chroma.end());
    return chroma[chroma.size() / 2] < kMostPaperChroma;
}

// Fits each side of a rough quad to the region's outline near that side, so
// a notch (a hand over the edge) or a rounded corner does not pull it off.
Quadf fitSidesToOutline(const Quadf &rough, const std::vector<cv::Point> &outline)
{
    Line lines[4];
    for (int i = 0; i < 4; ++i) {
        const cv::Point2f a = rough[i], b = rough[(i + 1) % 4];
        const double len = length(b - a);
        const cv::Point2f u = (b - a) * float(1.0 / len);
        const cv::Point2f n(u.y, -u.x);
        const double tolerance = std::max(3.0, 0.02 * len);
        std::vector<cv::Point2f> near;
        for (const cv::Point &p : outline) {
            const cv::Point2f d = cv::Point2f(p) - a;
            const double t = d.dot(u);
            if (t > 0.1 * len && t < 0.9 * len && std::fabs(d.dot(n)) < tolerance)
                near.push_back(cv::Point2f(p));
        }
        lines[i] = {a, u};
        if (near.size() >= 10) {
            cv::Vec4f l;
            cv::fitLine(near, l, cv::DIST_HUBER, 0, 0.01, 0.01);
            lines[i] = {cv::Point2f(l[2], l[3]), cv::Point2f(l[0], l[1])};
        }
    }
    Quadf out = rough;
    for (int i = 0; i < 4; ++i) {
        cv::Point2f c;
        if (intersect(lines[(i + 3) % 4], lines[i], c))
            out[i] = c;
    }
    return out;
}

// Four corners of a convex outline. A page running out of view has a fifth
// side along the frame border; its neighbours are extended to meet outside.
bool roughQuad(const std::vector<cv::Point> &hull, cv::Size size, Quadf &quad)
{
    const double perimeter = cv::arcLength(hull, true);
    std::vector<cv::Point> approx;
    for (double eps = 0.005; eps < 0.12; eps += 0.005) {
        cv::approxPolyDP(hull, approx, eps * perimeter, true);
        if (approx.size() < 4)
            return false;
        if (approx.size() == 4) {
            for (int i = 0; i < 4; ++i)
                quad[i] = cv::Point2f(approx[size_t(i)]);
            return true;
        }
        if (approx.size() != 5)
            continue;
        for (int i = 0; i < 5; ++i) {
            const cv::Point2f a(approx[size_t(i)]), b(approx[size_t((i + 1) % 5)]);
            if (!alongBorder(a, b, size))
                continue;
            const cv::Point2f before(approx[size_t((i + 4) % 5)]), after(approx[size_t((i + 2) % 5)]);
            const Line in{before, (a - before) * float(1.0 / std::max(1e-9, length(a - before)))};
            const Line out{after, (b - after) * float(1.0 / std::max(1e-9, length(b - after)))};
            cv::Point2f corner;
            if (!intersect(in, out, corner) || length(corner - (a + b) * 0.5f) > std::max(size.width, size.height))
                return false;
            quad = {after, approx[size_t((i + 3) % 5)], before, corner};
            return true;
        }
    }
    return false;
}

// Quads around the largest regions of a mask. The opening is wide enough to
// cut the page loose where it touches the desk through narrow gaps (between
// fingers, along a shadow); the sides are fitted away from the corners.
void quadsFromMask(cv::Mat mask, std::vector<Quadf> &quads)
{
    // Holes (a title block, a picture) go first, or the opening would eat
    // the thin strip of paper between them and the page's edge.
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    mask = cv::Mat::zeros(mask.size(), CV_8U);
    cv::drawContours(mask, contours, -1, cv::Scalar(255), cv::FILLED);
    const int k = std::max(5, std::max(mask.cols, mask.rows) / 60) | 1;
    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(k, k));
    cv::morphologyEx(mask, mask, cv::MORPH_OPEN, kernel);
    cv::morphologyEx(mask, mask, cv::MORPH_CLOSE, kernel);

    contours.clear();
    cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
    std::vector<std::pair<double, size_t>> bySize;
    for (size_t i = 0; i < contours.size(); ++i) {
        const double area = cv::contourArea(contours[i]);
        if (area >= 0.03 * mask.total())
            bySize.emplace_back(area, i);
    }
    std::sort(bySize.rbegin(), bySize.rend());
    for (size_t j = 0; j < bySize.size() && j < 3; ++j) {
        const std::vector<cv::Point> &outline = contours[bySize[j].second];
        std::vector<cv::Point> hull;
        cv::convexHull(outline, hull);
        Quadf rough;
        if (roughQuad(hull, mask.size(), rough))
            quads.push_back(fitSidesToOutline(rough, outline));
    }
}

// Sub-pixel edges at full resolution: along each side, the strongest
// bright-inside step within a few pixels; robust line fits through them.
Line refineSide(const Frame &frame, const Quadf &q, int i, int radius)
{
    const cv::Point2f a = q[i], b = q[(i + 1) % 4];
    const double len = length(b - a);
    const cv::Point2f u = (b - a) * float(1.0 / len);
    const cv::Point2f n = outwardNormal(q, i);
    const int samples = 64;
    std::vector<cv::Point2f> edge;
    std::vector<float> profile(size_t(2 * radius + 3));
    for (int k = 0; k < samples; ++k) {
        const cv::Point2f p = a + u * float(len * (0.06 + 0.88 * (k + 0.5) / samples));
        for (int s = -radius - 1; s <= radius + 1; ++s) {
            float v = 0;
            for (int j = -1; j <= 1; ++j) {
                const cv::Point2f at = p + n * float(s) + u * float(2 * j);
                v += frameGrayAt(frame, at.x, at.y);
            }
            profile[size_t(s + radius + 1)] = v / 3;
        }
        auto step = [&profile, radius](int s) {
            return profile[size_t(s + radius)] - profile[size_t(s + radius + 2)];
        };
        int best = 0;
        float bestStep = -1e9f;
        for (int s = -radius + 1; s <= radius - 1; ++s) {
            if (step(s) > bestStep) {
                bestStep = step(s);
                best = s;
            }
        }
        if (bestStep < 8.f)
            continue;
        const float y0 = step(best - 1), y1 = bestStep, y2 = step(best + 1);
        const float denom = y0 - 2 * y1 + y2;
        const float delta = denom < 0 ? 0.5f * (y0 - y2) / denom : 0.f;
        edge.push_back(p + n * (float(best) + std::max(-0.5f, std::min(0.5f, delta))));
    }
    if (edge.size() < 8)
        return {a, u};
    cv::Vec4f l;
    cv::fitLine(edge, l, cv::DIST_HUBER, 0, 0.01, 0.01);
    // Drop what the first fit calls outliers (an occluder's own edge), refit.
    const cv::Point2f lp(l[2], l[3]), ld(l[0], l[1]);
    const cv::Point2f ln(ld.y, -ld.x);
    std::vector<float> residual;
    for (const cv::Point2f &e : edge)
        residual.push_back(std::fabs((e - lp).dot(ln)));
    std::vector<float> sorted = residual;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const float limit = std::max(1.0f, 2.5f * sorted[sorted.size() / 2]);
    std::vector<cv::Point2f> inliers;
    for (size_t j = 0; j < edge.size(); ++j)
        if (residual[j] <= limit)
            inliers.push_back(edge[j]);
    if (inliers.size() >= 6)
        cv::fitLine(inliers, l, cv::DIST_L2, 0, 0.01, 0.01);
    // A fine line far from the coarse one found something else (an
    // occluder's edge, text): the coarse side is safer then.
    // Compared where the edge was seen: a side may run out of view.
    const Line fine{cv::Point2f(l[2], l[3]), cv::Point2f(l[0], l[1])};
    const double shift = std::fabs((fine.point - a).dot(n));
    if (shift <= radius && std::fabs(cross(fine.dir, u)) < std::sin(6.0 * CV_PI / 180.0))
        return fine;
    return {a, u};
}

// The sides are independent; the library's worker threads share them.
Quadf refineOnFrame(const Frame &frame, const Quadf &q, int radius)
{
    Line lines[4];
    cv::parallel_for_(cv::Range(0, 4), [&](const cv::Range &sides) {
        for (int i = sides.start; i < sides.end; ++i)
            lines[i] = refineSide(frame, q, i, radius);
    });
    Quadf out = q;
    for (int i = 0; i < 4; ++i) {
        cv::Point2f c;
        if (intersect(lines[(i + 3) % 4], lines[i], c))
            out[i] = c;
    }
    return out;
}

// Area averaging straight from a camera frame is slow at odd factors; a
// nearest-neighbour pick down to twice the size, then exact 2x2 averaging,
// costs a fraction and is as good for finding a page.
void shrink(const cv::Mat &full, cv::Size size, cv::Mat &out)
{
    if (full.cols >= 4 * size.width && full.rows >= 4 * size.height) {
        cv::Mat twice;
        cv::resize(full, twice, size * 2, 0, 0, cv::INTER_NEAREST);
        cv::resize(twice, out, size, 0, 0, cv::INTER_AREA);
    } else {
        cv::resize(full, out, size, 0, 0, cv::INTER_AREA);
    }
}

bool cornersInView(const Quad &q, const Frame &frame)
{
    for (const PointF &p : q)
        if (p.x < 0 || p.y < 0 || p.x > frame.width - 1 || p.y > frame.height - 1)
            return false;
    return true;
}

} // namespace

PageDetector::PageDetector(int workLongSide, bool refine, int quickLongSide)
    : m_workLongSide(std::max(64, workLongSide)), m_quickLongSide(quickLongSide), m_refine(refine)
{
}

bool PageDetector::detect(const Frame &frame, Quad &corners) const
{
    if (frame.empty() || frame.width < 16 || frame.height < 16
        || frame.rgb.size() < frame.stride() * size_t(frame.height))
        return false;
    // A page running out of view has corners the small copy can only
    // extrapolate, from short stretches of its sides: the larger copy
    // places them better.
    if (m_quickLongSide >= 64 && m_quickLongSide < m_workLongSide && detectAt(frame, m_quickLongSide, corners)
        && cornersInView(corners, frame))
        return true;
    return detectAt(frame, m_workLongSide, corners);
}

bool PageDetector::detectAt(const Frame &frame, int longSide, Quad &corners) const
{
    const cv::Mat full(frame.height, frame.width, CV_8UC3, const_cast<uint8_t *>(frame.rgb.data()));
    const double scale = std::min(1.0, double(longSide) / std::max(frame.width, frame.height));
    cv::Mat small;
    if (scale < 1.0)
        shrink(full, cv::Size(std::max(16, int(frame.width * scale)), std::max(16, int(frame.height * scale))), small);
    else
        small = full;

    cv::Mat gray;
    cv::cvtColor(small, gray, cv::COLOR_RGB2GRAY);
    std::vector<cv::Mat> masks;
    pageMasks(small, gray, masks, m_refine);

    // Of the outlines that the picture bears out, the larger wins unless it
    // is clearly worse supported: a page's inner half can look like a page
    // too (text below it, light falling off across it).
    // A scan waits for its detection: the masks are outlined side by side
    // on the worker threads. The preview's looks (no refining) stay on their
    // own thread, where CPU counts, not waiting. Either way the quads are
    // taken in the masks' order.
    std::vector<std::vector<Quadf>> perMask(masks.size());
    const auto outline = [&](const cv::Range &r) {
        for (int i = r.start; i < r.end; ++i)
            quadsFromMask(masks[size_t(i)], perMask[size_t(i)]);
    };
    if (m_refine)
        cv::parallel_for_(cv::Range(0, int(masks.size())), outline);
    else
        outline(cv::Range(0, int(masks.size())));
    std::vector<Quadf> quads;
    for (const std::vector<Quadf> &found : perMask)
        quads.insert(quads.end(), found.begin(), found.end());
    std::vector<std::pair<Quadf, double>> supported;
    double largestArea = 0;
    for (Quadf q : quads) {
        q = orderCorners(q);
        double support = 0;
        if (!plausibleQuad(q, gray.size()) || !edgeSupport(gray, q, support) || !looksLikePaper(small, q))
            continue;
        supported.emplace_back(q, support);
        largestArea = std::max(largestArea, cv::contourArea(std::vector<cv::Point2f>(q.begin(), q.end())));
    }
    bool found = false;
    double bestScore = 0;
    Quadf best;
    for (const auto &candidate : supported) {
        const Quadf &q = candidate.first;
        const double area = cv::contourArea(std::vector<cv::Point2f>(q.begin(), q.end()));
        const double score = candidate.second + 0.5 * area / largestArea;
        if (!found || score > bestScore) {
            found = true;
            bestScore = score;
            best = q;
        }
    }
    if (!found)
        return false;

    const double sx = double(small.cols) / frame.width, sy = double(small.rows) / frame.height;
    Quadf onFrame;
    for (int i = 0; i < 4; ++i)
        onFrame[i] = cv::Point2f(float((best[i].x + 0.5) / sx - 0.5), float((best[i].y + 0.5) / sy - 0.5));
    if (m_refine) {
        // A wide first look catches sides the small copy got a little askew
        // (short visible stretches), a narrow second one settles them.
        const double upscale = 1.0 / scale;
        onFrame = refineOnFrame(frame, onFrame, int(std::ceil(4 * upscale)) + 4);
        onFrame = refineOnFrame(frame, onFrame, int(std::ceil(1.5 * upscale)) + 3);
    }
    for (int i = 0; i < 4; ++i)
        corners[size_t(i)] = {onFrame[i].x, onFrame[i].y};
    return true;
}

Frame PageDetector::warpPage(const Frame &frame, const Quad &c)
{
    auto dist = [](const PointF &a, const PointF &b) { return std::hypot(a.x - b.x, a.y - b.y); };
    const double width = 0.5 * (dist(c[0], c[1]) + dist(c[3], c[2]));
    const double height = 0.5 * (dist(c[0], c[3]) + dist(c[1], c[2]));
    const int limit = 2 * std::max(frame.width, frame.height);
    const int w = std::min(limit, std::max(8, int(std::lround(width))));
    const int h = std::min(limit, std::max(8, int(std::lround(height))));

    // Corners sit on the page's outer edge, half a pixel outside the first
    // and last pixel centres of the result.
    const cv::Point2f src[4] = {{float(c[0].x), float(c[0].y)}, {float(c[1].x), float(c[1].y)},
                                {float(c[2].x), float(c[2].y)}, {float(c[3].x), float(c[3].y)}};
    const cv::Point2f dst[4] = {{-0.5f, -0.5f}, {w - 0.5f, -0.5f}, {w - 0.5f, h - 0.5f}, {-0.5f, h - 0.5f}};
    // Mapped from the output back into the frame, as the warp samples it.
    const cv::Matx33d outputToFrame(cv::getPerspectiveTransform(dst, src));
    // Whatever of the page lies out of view comes out as blank paper.
    return warpPerspectiveWhite(frame, outputToFrame, w, h);
}

} // namespace orvix
