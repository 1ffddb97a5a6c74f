// Generated overhead photos of an open book: two flat pages bent over a
// spine, seen by a camera straight above, with the gutter's shadow and
// thumbs on the outer margins. The flat pages are the truth a result is
// compared with. Deterministic for a given seed.
#ifndef QUILLO_TESTS_BOOKSCENE_H
#define QUILLO_TESTS_BOOKSCENE_H

#include "sdk/frame.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace bookscene {

struct Setup {
    int width = 1632;
    int height = 1224;
    double pageWidth = 640;    // one flat page on the desk, pixels
    double pageHeight = 900;
    double offsetX = 0, offsetY = 0; // the spine away from the frame's centre, pixels
    double cameraHeight = 1.2; // in frame long sides
    double lift = 40;          // how much higher the outer paper lies than the spine, pixels
    double curl = 90;          // how far from the spine the paper rises, pixels
    double shadow = 0.45;      // the gutter's darkening at the spine
    double shadowWidth = 40;   // pixels
    double angle = 0;          // degrees, anticlockwise on screen
    bool thumbs = false;       // a thumb on each outer margin
    double thumbReach = 0.5;   // how far into the outer margin the thumbs reach, of the margin
    double margin = 0.1;       // the text's margin, of the page width
    bool singleSheet = false;  // one flat sheet instead of a book
    cv::Scalar desk = cv::Scalar(70, 55, 45);
    unsigned seed = 1;
};

struct Scene {
    orvix::Frame frame;
};

// Ground x offset from the spine and height of the paper at arc length t.
struct Profile {
    std::vector<double> offset, height; // per quarter pixel of arc
    double step = 0.25;
};

inline Profile paperProfile(const Setup &s)
{
    Profile p;
    const int n = int(s.pageWidth / p.step) + 2;
    double x = 0.0;
    for (int i = 0; i < n; ++i) {
        const double t = i * p.step;
        const double slope = std::min(0.95, s.lift / s.curl * std::exp(-t / s.curl));
        p.offset.push_back(x);
        p.height.push_back(s.lift * (1.0 - std::exp(-t / s.curl)));
        x += p.step * std::sqrt(1.0 - slope * slope);
    }
    return p;
}

inline cv::Mat toMat(const orvix::Frame &f)
{
    return cv::Mat(f.height, f.width, CV_8UC3, const_cast<uint8_t *>(f.rgb.data()));
}

// Where arc step i of a page shows, in columns of the upright picture (side
// -1 left, +1 right), and how much larger the paper is seen there.
inline double shownColumn(const Setup &s, const Profile &p, size_t i, int side, double *magnification = nullptr)
{
    const double camera = s.cameraHeight * std::max(s.width, s.height), cx = 0.5 * s.width;
    const double m = camera / (camera - p.height[i]);
    if (magnification)
        *magnification = m;
    return cx + (cx + s.offsetX + side * p.offset[i] - cx) * m;
}

// One page bent and seen from above, drawn over `scene`.
inline void drawPage(cv::Mat &scene, const cv::Mat &page, const Setup &s, int side)
{
    const Profile p = paperProfile(s);
    const double cy = 0.5 * s.height, top = cy + s.offsetY - 0.5 * s.pageHeight;
    const double k = page.cols / s.pageWidth;
    // Image column of each arc step, then each column's arc by interpolation.
    std::vector<double> column(p.offset.size()), magnification(p.offset.size());
    for (size_t i = 0; i < p.offset.size(); ++i)
        column[i] = shownColumn(s, p, i, side, &magnification[i]);
    cv::Mat mapX(scene.size(), CV_32F, cv::Scalar(-1)), mapY(scene.size(), CV_32F, cv::Scalar(-1));
    cv::Mat shade(scene.size(), CV_32F, cv::Scalar(1));
    for (size_t i = 0; i + 1 < column.size(); ++i) {
        const double a = column[i], b = column[i + 1];
        const int x0 = int(std::ceil(std::min(a, b))), x1 = int(std::floor(std::max(a, b) - 1e-9));
        for (int x = std::max(0, x0); x <= std::min(scene.cols - 1, x1); ++x) {
            const double f = (x - a) / (b - a);
            const double t = (i + f) * p.step;
            if (t > s.pageWidth)
                continue;
            const double m = magnification[i] + f * (magnification[i + 1] - magnification[i]);
            const double u = (side < 0 ? s.pageWidth - t : t) * k;
            const float dark = float(1.0 - s.shadow * std::exp(-t / s.shadowWidth));
            for (int y = 0; y < scene.rows; ++y) {
                const double v = (cy + (y - cy) / m - top) * k;
                if (v < 0 || v > page.rows - 1)
                    continue;
                mapX.at<float>(y, x) = float(std::min(u, page.cols - 1.0));
                mapY.at<float>(y, x) = float(v);
                shade.at<float>(y, x) = dark;
            }
        }
    }
    cv::Mat drawn = scene.clone(), shade3;
    cv::remap(page, drawn, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);
    drawn.convertTo(drawn, CV_32FC3);
    cv::merge(std::vector<cv::Mat>(3, shade), shade3);
    cv::Mat(drawn.mul(shade3)).convertTo(scene, CV_8UC3);
}

inline void drawThumb(cv::Mat &scene, const Setup &s, int side, cv::RNG &rng)
{
    const Profile p = paperProfile(s);
    const double edge = shownColumn(s, p, p.offset.size() - 1, side);
    const double tip = edge - side * s.thumbReach * (s.margin * s.pageWidth);
    const double length = 0.14 * s.pageHeight, breadth = 0.05 * s.pageHeight;
    const double y = 0.5 * s.height + s.offsetY + rng.uniform(-0.25, 0.25) * s.pageHeight;
    const cv::Point2d centre(tip + side * length * 0.5, y);
    const cv::Scalar skin(206, 150, 122);
    cv::ellipse(scene, cv::Point(centre), cv::Size(int(length * 0.5), int(breadth * 0.5)), 0, 0, 360, skin,
                cv::FILLED, cv::LINE_AA);
    cv::ellipse(scene, cv::Point(centre + cv::Point2d(side * length * 0.3, breadth * 0.4)),
                cv::Size(int(length * 0.4), int(breadth * 0.7)), 0, 0, 360, skin * 0.9, cv::FILLED, cv::LINE_AA);
}

// An open book with `left` and `right` as its flat pages (RGB, any size of
// the page's proportions), or one flat sheet of `left` with singleSheet.
inline Scene makeScene(const Setup &s, const cv::Mat &left, const cv::Mat &right)
{
    cv::RNG rng(s.seed);
    cv::Mat scene(s.height, s.width, CV_8UC3, s.desk);
    cv::Mat grain(scene.size(), CV_8UC3);
    rng.fill(grain, cv::RNG::NORMAL, 0, 6);
    scene += grain;
    if (s.singleSheet) {
        cv::Mat sheet;
        cv::resize(left, sheet, cv::Size(int(s.pageWidth), int(s.pageHeight)), 0, 0, cv::INTER_AREA);
        const cv::Rect at(int(0.5 * (s.width - s.pageWidth) + s.offsetX), int(0.5 * (s.height - s.pageHeight) + s.offsetY),
                          sheet.cols, sheet.rows);
        sheet.copyTo(scene(at & cv::Rect(0, 0, s.width, s.height)));
    } else {
        drawPage(scene, left, s, -1);
        drawPage(scene, right, s, +1);
        if (s.thumbs) {
            drawThumb(scene, s, -1, rng);
            drawThumb(scene, s, +1, rng);
        }
    }
    if (s.angle != 0.0) {
        const cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(0.5f * s.width, 0.5f * s.height), s.angle, 1.0);
        cv::warpAffine(scene, scene, turn, scene.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    }
    cv::GaussianBlur(scene, scene, cv::Size(0, 0), 0.7);
    cv::Mat noise(scene.size(), CV_8UC3);
    rng.fill(noise, cv::RNG::NORMAL, 0, 2);
    scene += noise;
    Scene out;
    out.frame.allocate(s.width, s.height);
    std::memcpy(out.frame.rgb.data(), scene.data, out.frame.rgb.size());
    return out;
}

} // namespace bookscene

#endif
