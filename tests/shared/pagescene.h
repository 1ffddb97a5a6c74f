// Generated overhead photos of a page on a desk with known page corners,
// for the page processing suites. Deterministic for a given seed.
#ifndef QUILLO_TESTS_PAGESCENE_H
#define QUILLO_TESTS_PAGESCENE_H

#include "sdk/frame.h"
#include "sdk/page/pagedetector.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstring>
#include <utility>

namespace pagescene {

enum class Occluder { None, Hand, Pen };

struct Setup {
    int width = 1600;
    int height = 1200;
    bool hasPage = true;
    double centreX = 0.5, centreY = 0.5; // fractions of the frame
    double pageWidth = 760, pageHeight = 1000; // pixels before perspective
    double angle = 0;                    // degrees, clockwise on screen
    double keystone = 0;                 // top edge shorter by this fraction
    double jitter = 0;                   // corners moved at random by up to this fraction of the page
    double blur = 0.8;                   // camera softness, pixels
    double noise = 3;                    // sensor noise, levels
    cv::Scalar desk = cv::Scalar(60, 45, 35);
    double deskTexture = 8;   // amplitude of the desk's grain
    double lightFalloff = 0;  // light at the far side is (1 - falloff) of the near side
    double lightDirection = 0; // degrees
    Occluder occluder = Occluder::None;
    int occludedSide = 1; // 0 top, 1 right, 2 bottom, 3 left (page sides)
    unsigned seed = 1;
};

struct Scene {
    orvix::Frame frame;
    orvix::Quad corners; // page top-left, top-right, bottom-right, bottom-left
};

// The page: off-white with a dark title block at its top left and lines of
// "words" below, so that orientation and text contrast can be checked.
inline cv::Mat makePage(int w, int h, cv::RNG &rng)
{
    cv::Mat page(h, w, CV_8UC3, cv::Scalar(246, 245, 240));
    const int margin = w / 10;
    cv::rectangle(page, cv::Rect(margin, margin, w / 3, h / 14), cv::Scalar(25, 25, 30), cv::FILLED);
    const int lineHeight = std::max(6, h / 45);
    for (int y = margin + h / 8; y + lineHeight < h - margin; y += lineHeight * 2) {
        int x = margin;
        while (x < w - margin - 10) {
            const int word = rng.uniform(lineHeight, lineHeight * 5);
            if (x + word > w - margin)
                break;
            cv::rectangle(page, cv::Rect(x, y, word, lineHeight), cv::Scalar(35, 35, 40), cv::FILLED);
            x += word + lineHeight;
        }
    }
    return page;
}

inline orvix::Quad pageCorners(const Setup &s)
{
    const double cx = s.centreX * s.width, cy = s.centreY * s.height;
    const double hw = s.pageWidth / 2, hh = s.pageHeight / 2, k = s.keystone;
    const double local[4][2] = {{-hw * (1 - k), -hh}, {hw * (1 - k), -hh}, {hw, hh}, {-hw, hh}};
    const double a = s.angle * CV_PI / 180.0;
    cv::RNG rng(s.seed * 7919u + 13u);
    orvix::Quad q;
    for (int i = 0; i < 4; ++i) {
        q[size_t(i)].x = cx + local[i][0] * std::cos(a) - local[i][1] * std::sin(a);
        q[size_t(i)].y = cy + local[i][0] * std::sin(a) + local[i][1] * std::cos(a);
        q[size_t(i)].x += rng.uniform(-1.0, 1.0) * s.jitter * s.pageWidth;
        q[size_t(i)].y += rng.uniform(-1.0, 1.0) * s.jitter * s.pageHeight;
    }
    return q;
}

inline cv::Mat makeDesk(const Setup &s, cv::RNG &rng)
{
    cv::Mat grain(s.height / 16 + 1, s.width / 4 + 1, CV_32F);
    rng.fill(grain, cv::RNG::NORMAL, 0, 1);
    cv::Mat smooth;
    cv::resize(grain, smooth, cv::Size(s.width, s.height), 0, 0, cv::INTER_CUBIC);
    cv::GaussianBlur(smooth, smooth, cv::Size(0, 0), 3);
    cv::Mat desk(s.height, s.width, CV_32FC3, s.desk);
    std::vector<cv::Mat> ch;
    cv::split(desk, ch);
    for (cv::Mat &c : ch)
        c += smooth * s.deskTexture;
    cv::merge(ch, desk);
    return desk;
}

inline void drawOccluder(cv::Mat &scene, const Setup &s, const orvix::Quad &q, cv::RNG &rng)
{
    const orvix::PointF a = q[size_t(s.occludedSide)], b = q[size_t((s.occludedSide + 1) % 4)];
    const double t = rng.uniform(0.35, 0.65);
    const cv::Point2d on(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t);
    const cv::Point2d c(s.centreX * s.width, s.centreY * s.height);
    cv::Point2d out = on - c;
    out *= 1.0 / std::hypot(out.x, out.y);
    const double unit = std::min(s.width, s.height) / 12.0;
    if (s.occluder == Occluder::Hand) {
        // Palm outside the page, fingers reaching over the edge.
        const cv::Scalar skin(214, 160, 130);
        const cv::Point2d palm = on + out * (unit * 1.6);
        cv::ellipse(scene, cv::Point(palm), cv::Size(int(unit * 1.3), int(unit * 1.0)),
                    std::atan2(out.y, out.x) * 180 / CV_PI, 0, 360, skin, cv::FILLED, cv::LINE_AA);
        const cv::Point2d side(-out.y, out.x);
        for (int f = -2; f <= 1; ++f) {
            const cv::Point2d base = palm + side * (unit * 0.45 * f + unit * 0.2);
            const cv::Point2d tip = base - out * (unit * 2.4);
            cv::line(scene, cv::Point(base), cv::Point(tip), skin, int(unit * 0.35), cv::LINE_AA);
        }
    } else if (s.occluder == Occluder::Pen) {
        const cv::Point2d dir(out.x * 0.8 - out.y * 0.6, out.y * 0.8 + out.x * 0.6);
        cv::line(scene, cv::Point(on - dir * (unit * 1.5)), cv::Point(on + dir * (unit * 2.0)),
                 cv::Scalar(20, 30, 90), int(unit * 0.25), cv::LINE_AA);
    }
}

inline Scene makeScene(const Setup &s)
{
    cv::RNG rng(s.seed);
    Scene result;
    cv::Mat scene = makeDesk(s, rng);
    if (s.hasPage) {
        result.corners = pageCorners(s);
        const int pw = int(std::lround(s.pageWidth)), ph = int(std::lround(s.pageHeight));
        const cv::Mat page = makePage(pw, ph, rng);
        const cv::Point2f src[4] = {{-0.5f, -0.5f}, {pw - 0.5f, -0.5f}, {pw - 0.5f, ph - 0.5f}, {-0.5f, ph - 0.5f}};
        cv::Point2f dst[4];
        for (int i = 0; i < 4; ++i)
            dst[i] = cv::Point2f(float(result.corners[size_t(i)].x), float(result.corners[size_t(i)].y));
        const cv::Mat m = cv::getPerspectiveTransform(src, dst);
        cv::Mat warped, alpha;
        cv::warpPerspective(page, warped, m, scene.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
        cv::warpPerspective(cv::Mat(ph, pw, CV_32F, cv::Scalar(1.0)), alpha, m, scene.size(),
                            cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
        // A soft contact shadow on the desk, then the page over it.
        cv::Mat shadow;
        cv::GaussianBlur(alpha, shadow, cv::Size(0, 0), 6);
        cv::Mat warpedF;
        warped.convertTo(warpedF, CV_32FC3);
        for (int y = 0; y < scene.rows; ++y) {
            cv::Vec3f *d = scene.ptr<cv::Vec3f>(y);
            const cv::Vec3f *p = warpedF.ptr<cv::Vec3f>(y);
            const float *a = alpha.ptr<float>(y);
            const float *sh = shadow.ptr<float>(y);
            for (int x = 0; x < scene.cols; ++x)
                d[x] = d[x] * (1 - 0.25f * sh[x]) * (1 - a[x]) + p[x] * a[x];
        }
    }
    if (s.occluder != Occluder::None && s.hasPage)
        drawOccluder(scene, s, result.corners, rng);
    else if (s.occluder != Occluder::None) {
        orvix::Quad fake = pageCorners(s);
        drawOccluder(scene, s, fake, rng);
    }

    // Light falls off in one direction across the frame.
    const double dir = s.lightDirection * CV_PI / 180.0;
    const double dx = std::cos(dir), dy = std::sin(dir);
    const double half = 0.5 * (std::fabs(dx) * s.width + std::fabs(dy) * s.height);
    for (int y = 0; y < scene.rows; ++y) {
        cv::Vec3f *d = scene.ptr<cv::Vec3f>(y);
        for (int x = 0; x < scene.cols; ++x) {
            const double along = ((x - s.width / 2.0) * dx + (y - s.height / 2.0) * dy) / half; // -1..1
            d[x] *= float(1.0 - s.lightFalloff * (along + 1) / 2);
        }
    }
    if (s.blur > 0)
        cv::GaussianBlur(scene, scene, cv::Size(0, 0), s.blur);
    cv::Mat noise(scene.size(), CV_32FC3);
    rng.fill(noise, cv::RNG::NORMAL, 0, s.noise);
    scene += noise;
    cv::Mat bytes;
    scene.convertTo(bytes, CV_8UC3);
    result.frame.allocate(s.width, s.height);
    std::memcpy(result.frame.rgb.data(), bytes.data, result.frame.rgb.size());
    return result;
}

// A scene drawn at random: desk colour and grain, angle, perspective, light,
// camera softness and noise, page size and shape, a hand or pen over an edge.
inline Setup randomSetup(cv::RNG &rng, unsigned seed)
{
    static const cv::Scalar desks[] = {{62, 44, 32},    {28, 28, 30},    {206, 178, 140}, {196, 196, 192},
                                       {222, 220, 214}, {120, 110, 100}, {90, 120, 150}};
    Setup s;
    s.desk = desks[rng.uniform(0, 7)];
    s.deskTexture = rng.uniform(3.0, 14.0);
    s.angle = rng.uniform(-40.0, 40.0);
    s.keystone = rng.uniform(0.0, 0.06);
    s.jitter = rng.uniform(0.0, 0.03);
    s.lightFalloff = rng.uniform(0.0, 0.5);
    s.lightDirection = rng.uniform(0.0, 360.0);
    s.blur = rng.uniform(0.6, 1.6);
    s.noise = rng.uniform(2.0, 6.0);
    s.pageHeight = rng.uniform(0.45, 0.8) * s.height;
    s.pageWidth = s.pageHeight * rng.uniform(0.65, 0.8);
    if (rng.uniform(0, 4) == 0)
        std::swap(s.pageWidth, s.pageHeight);
    s.centreX = rng.uniform(0.4, 0.6);
    s.centreY = rng.uniform(0.42, 0.58);
    s.occluder = Occluder(rng.uniform(0, 3));
    s.occludedSide = rng.uniform(0, 4);
    s.seed = seed;
    return s;
}

// Mean corner distance over the page diagonal, corners in the same order.
inline double relativeCornerError(const orvix::Quad &found, const orvix::Quad &truth)
{
    double sum = 0;
    for (size_t i = 0; i < 4; ++i)
        sum += std::hypot(found[i].x - truth[i].x, found[i].y - truth[i].y);
    return sum / 4 / std::hypot(truth[0].x - truth[2].x, truth[0].y - truth[2].y);
}

inline cv::Mat asMat(const orvix::Frame &f)
{
    return cv::Mat(f.height, f.width, CV_8UC3, const_cast<uint8_t *>(f.rgb.data()));
}

} // namespace pagescene

#endif
