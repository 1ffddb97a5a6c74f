#include "sdk/simulated/simulatedpages.h"

#include "sdk/simulated/simulatedscene.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>

namespace orvix {
namespace {

// Share of the turn in which the hand carries the page across; the rest
// is the hand going back out.
constexpr double kCarryShare = 0.6;
const cv::Scalar kSkin(214, 168, 140);
const cv::Scalar kHandShadow(0, 0, 0);

bool isPictureName(const std::string &name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || name[0] == '.')
        return false;
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == "jpg" || ext == "jpeg" || ext == "png";
}

cv::Mat wrap(Frame &f) { return cv::Mat(f.height, f.width, CV_8UC3, f.rgb.data()); }

} // namespace

bool PageTurner::isFolder(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

PageTurner::PageTurner(const std::string &folder, double holdSeconds) : m_hold(holdSeconds)
{
    if (DIR *dir = opendir(folder.c_str())) {
        while (const dirent *entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (isPictureName(name))
                m_files.push_back(folder + "/" + name);
        }
        closedir(dir);
    }
    std::sort(m_files.begin(), m_files.end());
    if (m_files.empty())
        std::fprintf(stderr, "orvix: %s holds no JPEG or PNG pictures, showing the desk\n", folder.c_str());
}

PageTurner::Moment PageTurner::momentAt(double seconds) const
{
    Moment m;
    if (m_files.empty())
        return m;
    const double period = m_hold + kTurnSeconds;
    const double t = std::max(0.0, seconds);
    m.page = std::min(m_files.size() - 1, size_t(t / period));
    const double local = t - double(m.page) * period;
    if (local >= m_hold && m.page + 1 < m_files.size())
        m.turn = (local - m_hold) / kTurnSeconds;
    return m;
}

const Frame &PageTurner::picture(size_t index, int width, int height)
{
    if (width != m_width || height != m_height) {
        m_fitted.assign(m_files.size(), nullptr);
        m_width = width;
        m_height = height;
    }
    std::shared_ptr<const Frame> &slot = m_fitted[index];
    if (!slot) {
        Frame decoded;
        std::string why;
        if (loadScenePicture(m_files[index], decoded, why)) {
            slot = std::make_shared<const Frame>(fitPictureToScene(decoded, width, height, kPageShare));
        } else {
            std::fprintf(stderr, "orvix: page %s unusable (%s), showing the desk\n", m_files[index].c_str(),
                         why.c_str());
            slot = std::make_shared<const Frame>(renderDeskScene(width, height));
        }
    }
    return *slot;
}

// A palm with four fingers pointing left and the arm leading out of the
// picture to the right, over a soft shadow.
void PageTurner::paintHand(Frame &frame, double x) const
{
    cv::Mat m = wrap(frame);
    const double s = frame.height / 240.0;
    const int y = frame.height / 2;
    for (int pass = 0; pass < 2; ++pass) {
        const bool shadow = pass == 0;
        const cv::Point shift = shadow ? cv::Point(int(6 * s), int(9 * s)) : cv::Point(0, 0);
        cv::Mat layer = shadow ? m.clone() : m;
        const cv::Scalar colour = shadow ? kHandShadow : kSkin;
        const cv::Point palm(int(x) + shift.x, y + shift.y);
        cv::ellipse(layer, palm, cv::Size(int(34 * s), int(40 * s)), 0, 0, 360, colour, cv::FILLED, cv::LINE_AA);
        for (int f = 0; f < 4; ++f) {
            const int fy = palm.y - int(29 * s) + int(f * 19 * s);
            cv::line(layer, cv::Point(palm.x - int(73 * s), fy), palm + cv::Point(0, fy - palm.y), colour,
                     std::max(1, int(14 * s)), cv::LINE_AA);
        }
        cv::rectangle(layer, cv::Point(palm.x, palm.y - int(30 * s)),
                      cv::Point(frame.width + int(20 * s), palm.y + int(30 * s)), colour, cv::FILLED);
        if (shadow)
            cv::addWeighted(layer, 0.3, m, 0.7, 0, m);
    }
}

void PageTurner::render(double seconds, int width, int height, Frame &out)
{
    if (m_files.empty()) {
        out = renderDeskScene(width, height);
        return;
    }
    const Moment now = momentAt(seconds);
    if (now.turn < 0) {
        out = picture(now.page, width, height);
        return;
    }
    // The next page lies under the one being turned; left of the hand the
    // old page is still flat.
    const Frame &old = picture(now.page, width, height);
    out = picture(now.page + 1, width, height);
    const double outside = width + 90.0 * height / 240.0;
    const double left = 0.1 * width;
    double handX;
    if (now.turn < kCarryShare) {
        handX = outside + (left - outside) * (now.turn / kCarryShare);
        const int keep = std::clamp(int(handX), 0, width);
        for (int y = 0; y < height; ++y)
            std::copy(old.row(y), old.row(y) + size_t(keep) * 3, out.row(y));
    } else {
        handX = left + (outside - left) * ((now.turn - kCarryShare) / (1 - kCarryShare));
    }
    paintHand(out, handX);
}

} // namespace orvix
