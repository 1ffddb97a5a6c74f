#include "sdk/simulated/simulatedscene.h"

#include "camera/camsdk.h"
#include "sdk/jpeg/jpegcodec.h"
#include "sdk/lasterror.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace orvix {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSubpixelBits = 4; // fillConvexPoly fixed point

const cv::Scalar kDeskTop(118, 96, 74);
const cv::Scalar kDeskBottom(88, 70, 55);
const cv::Scalar kShadow(62, 50, 40);
const cv::Scalar kPaper(247, 246, 240);
const cv::Scalar kInk(38, 38, 46);

cv::Mat wrap(Frame &f) { return cv::Mat(f.height, f.width, CV_8UC3, f.rgb.data()); }

cv::Point fixedPoint(const cv::Point2f &p)
{
    return cv::Point(cvRound(p.x * (1 << kSubpixelBits)), cvRound(p.y * (1 << kSubpixelBits)));
}

void fillQuad(cv::Mat &m, const std::vector<cv::Point2f> &quad, const cv::Scalar &colour)
{
    cv::Point pts[4];
    for (int i = 0; i < 4; ++i)
        pts[i] = fixedPoint(quad[static_cast<size_t>(i)]);
    cv::fillConvexPoly(m, pts, 4, colour, cv::LINE_AA, kSubpixelBits);
}

void paintDesk(cv::Mat &m)
{
    const int h = m.rows;
    for (int y = 0; y < h; ++y) {
        const double t = h > 1 ? double(y) / (h - 1) : 0.0;
        // A faint grain every few rows keeps the desk from looking flat.
        const double grain = (y * 7919 % 23 == 0) ? -6.0 : 0.0;
        m.row(y).setTo(kDeskTop * (1.0 - t) + kDeskBottom * t + cv::Scalar(grain, grain, grain));
    }
}

// Word boxes in page coordinates (0..1 both ways), laid out like a letter:
// a heading, then paragraphs whose last line ends early.
std::vector<cv::Rect2f> textLayout()
{
    std::vector<cv::Rect2f> words;
    uint32_t seed = 12345;
    auto random = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return double((seed >> 8) & 0xFFFF) / 65535.0;
    };
    const double left = 0.10, right = 0.90;
    double v = 0.08;
    for (double u = left; u < 0.55;) { // heading
        const double len = 0.06 + random() * 0.08;
        words.emplace_back(float(u), float(v), float(std::min(len, 0.55 - u)), 0.022f);
        u += len + 0.025;
    }
    v += 0.06;
    int lineInParagraph = 0;
    while (v < 0.90) {
        const bool lastOfParagraph = lineInParagraph == 5;
        const double end = lastOfParagraph ? left + 0.3 + random() * 0.3 : right;
        for (double u = left; u < end - 0.02;) {
            const double len = std::min(0.025 + random() * 0.09, end - u);
            words.emplace_back(float(u), float(v), float(len), 0.011f);
            u += len + 0.017;
        }
        v += lastOfParagraph ? 0.055 : 0.032;
        lineInParagraph = lastOfParagraph ? 0 : lineInParagraph + 1;
    }
    return words;
}

std::vector<cv::Point2f> toPoints(const PageCorners &c)
{
    std::vector<cv::Point2f> pts;
    for (const PagePoint &p : c)
        pts.emplace_back(float(p.x), float(p.y));
    return pts;
}

bool readFile(const std::string &path, std::vector<uint8_t> &bytes, std::string &why)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "cannot open " + path;
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || size > (512LL << 20)) {
        why = path + " is empty or too large";
        return false;
    }
    in.seekg(0);
    bytes.resize(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char *>(bytes.data()), size)) {
        why = "cannot read " + path;
        return false;
    }
    return true;
}

uint32_t bigEndian32(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void restore(Frame &live, const Frame &still, int x, int y, int w, int h)
{
    for (int r = y; r < y + h; ++r)
        std::memcpy(live.row(r) + size_t(x) * 3, still.row(r) + size_t(x) * 3, size_t(w) * 3);
}

} // namespace

PageCorners deskPageCorners(int width, int height)
{
    double pageHeight = 0.76 * height;
    double pageWidth = pageHeight / std::sqrt(2.0);
    if (pageWidth > 0.7 * width) {
        pageWidth = 0.7 * width;
        pageHeight = pageWidth * std::sqrt(2.0);
    }
    const double cx = 0.5 * width, cy = 0.485 * height;
    const double topNarrowing = 0.94; // the camera looks from the bottom edge
    const double angle = 5.0 * kPi / 180.0;
    const double local[4][2] = {{-pageWidth / 2 * topNarrowing, -pageHeight / 2},
                                {pageWidth / 2 * topNarrowing, -pageHeight / 2},
                                {pageWidth / 2, pageHeight / 2},
                                {-pageWidth / 2, pageHeight / 2}};
    PageCorners corners;
    for (int i = 0; i < 4; ++i) {
        const double x = local[i][0], y = local[i][1];
        corners[size_t(i)] = {cx + x * std::cos(angle) - y * std::sin(angle),
                              cy + x * std::sin(angle) + y * std::cos(angle)};
    }
    return corners;
}

Frame renderDeskScene(int width, int height)
{
    Frame frame;
    if (width <= 0 || height <= 0)
        return frame;
    frame.allocate(width, height);
    cv::Mat m = wrap(frame);
    paintDesk(m);

    const std::vector<cv::Point2f> page = toPoints(deskPageCorners(width, height));
    const float shadowDx = 0.004f * width, shadowDy = 0.007f * height;
    std::vector<cv::Point2f> shadow = page;
    for (cv::Point2f &p : shadow)
        p += cv::Point2f(shadowDx, shadowDy);
    fillQuad(m, shadow, kShadow);
    fillQuad(m, page, kPaper);

    const std::vector<cv::Point2f> unit = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const cv::Mat toPage = cv::getPerspectiveTransform(unit, page);
    for (const cv::Rect2f &word : textLayout()) {
        std::vector<cv::Point2f> box = {word.tl(), {word.x + word.width, word.y}, word.br(),
                                        {word.x, word.y + word.height}};
        cv::perspectiveTransform(box, box, toPage);
        fillQuad(m, box, kInk);
    }
    return frame;
}

bool loadScenePicture(const std::string &path, Frame &out, std::string &why)
{
    std::vector<uint8_t> bytes;
    if (!readFile(path, bytes, why))
        return false;
    if (bytes.size() > 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
        if (jpeg::decode(bytes.data(), bytes.size(), out) != ORVIX_OK) {
            why = path + ": " + lastError();
            return false;
        }
        return true;
    }
    static const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 24 || std::memcmp(bytes.data(), pngSignature, 8) != 0) {
        why = path + " is neither a JPEG nor a PNG file";
        return false;
    }
    const uint64_t w = bigEndian32(&bytes[16]), h = bigEndian32(&bytes[20]);
    if (w == 0 || h == 0 || w * h > jpeg::kMaxPixels) {
        why = path + " has an unacceptable size";
        return false;
    }
    cv::Mat bgr;
    try {
        bgr = cv::imdecode(bytes, cv::IMREAD_COLOR);
    } catch (const cv::Exception &e) {
        why = path + ": " + e.what();
        return false;
    }
    if (bgr.empty() || bgr.type() != CV_8UC3) {
        why = "cannot decode " + path;
        return false;
    }
    out.allocate(bgr.cols, bgr.rows);
    cv::Mat rgb = wrap(out);
    cv::cvtColor(bgr, rgb, cv::COLOR_BGR2RGB);
    return true;
}

Frame fitPictureToScene(const Frame &picture, int width, int height, double share)
{
    Frame frame;
    if (width <= 0 || height <= 0 || picture.empty())
        return frame;
    frame.allocate(width, height);
    cv::Mat m = wrap(frame);
    m.setTo(kDeskBottom);
    const double scale =
        std::clamp(share, 0.01, 1.0) * std::min(double(width) / picture.width, double(height) / picture.height);
    const int w = std::clamp(int(std::lround(picture.width * scale)), 1, width);
    const int h = std::clamp(int(std::lround(picture.height * scale)), 1, height);
    const cv::Mat src(picture.height, picture.width, CV_8UC3,
                      const_cast<uint8_t *>(picture.rgb.data()));
    cv::Mat target = m(cv::Rect((width - w) / 2, (height - h) / 2, w, h));
    cv::resize(src, target, target.size(), 0, 0, scale < 1.0 ? cv::INTER_AREA : cv::INTER_LINEAR);
    return frame;
}

void LiveMarks::paint(Frame &live, const Frame &still, uint64_t frameNumber)
{
    if (live.empty() || live.width != still.width || live.height != still.height)
        return;
    for (const Box &b : m_dirty)
        restore(live, still, b.x, b.y, b.w, b.h);
    m_dirty.clear();

    cv::Mat m = wrap(live);
    const cv::Rect bounds(0, 0, live.width, live.height);
    auto remember = [&](cv::Rect r) {
        r &= bounds;
        if (r.area() > 0)
            m_dirty.push_back({r.x, r.y, r.width, r.height});
    };

    // A disc gliding to and fro along the bottom edge, one sweep in six seconds.
    const int radius = std::max(3, live.height / 60);
    const int period = 90;
    const int phase = int(frameNumber % uint64_t(2 * period));
    const double t = phase < period ? double(phase) / period : double(2 * period - phase) / period;
    const int span = std::max(1, live.width - 2 * radius - 4);
    const cv::Point centre(radius + 2 + int(t * span), int(live.height * 0.945));
    cv::circle(m, centre, radius, cv::Scalar(228, 64, 44), cv::FILLED, cv::LINE_AA);
    remember(cv::Rect(centre.x - radius - 2, centre.y - radius - 2, 2 * radius + 5, 2 * radius + 5));

    // The frame number on a dark label in the top-left corner.
    const std::string text = std::to_string(frameNumber);
    const double fontScale = std::max(0.3, live.height / 900.0);
    const int thickness = std::max(1, live.height / 600);
    int baseline = 0;
    const cv::Size size = cv::getTextSize(text, cv::FONT_HERSHEY_SIMPLEX, fontScale, thickness, &baseline);
    const int pad = std::max(2, thickness * 2);
    const cv::Point origin(int(live.width * 0.015) + pad, int(live.height * 0.012) + pad + size.height);
    const cv::Rect label(origin.x - pad, origin.y - size.height - pad, size.width + 2 * pad,
                         size.height + baseline + 2 * pad);
    cv::rectangle(m, label & bounds, cv::Scalar(30, 30, 30), cv::FILLED);
    cv::putText(m, text, origin, cv::FONT_HERSHEY_SIMPLEX, fontScale, cv::Scalar(240, 240, 240),
                thickness, cv::LINE_AA);
    remember(cv::Rect(label.x - 2, label.y - 2, label.width + 4, label.height + 4));
}

} // namespace orvix
