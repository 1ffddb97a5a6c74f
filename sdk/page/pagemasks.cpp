#include "sdk/page/pagemasks.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace orvix {
namespace {

struct LightSample {
    double basis[6]; // 1, x, y, x*x, x*y, y*y over the frame, -1..1
    double value;    // log of the feature
};

struct TwoLevels {
    cv::Vec6d light; // quadratic surface of the log light
    double split = 0;
    double gap = 0; // bright level minus dark level
};

double lightAt(const cv::Vec6d &c, const double *b)
{
    return c[0] * b[0] + c[1] * b[1] + c[2] * b[2] + c[3] * b[3] + c[4] * b[4] + c[5] * b[5];
}

// The normal matrix depends on where the samples lie, not on their values:
// summed once per sample set, it serves every fit on that set.
cv::Matx66d normalMatrix(const std::vector<LightSample> &samples)
{
    cv::Matx66d ata = cv::Matx66d::zeros();
    for (const LightSample &s : samples)
        for (int i = 0; i < 6; ++i)
            for (int j = 0; j < 6; ++j)
                ata(i, j) += s.basis[i] * s.basis[j];
    return ata;
}

bool fitSurface(const std::vector<LightSample> &samples, const cv::Matx66d &ata, const std::vector<double> &offsets,
                cv::Vec6d &light)
{
    cv::Vec6d atb;
    for (size_t k = 0; k < samples.size(); ++k) {
        const LightSample &s = samples[k];
        const double target = s.value - offsets[k];
        for (int i = 0; i < 6; ++i)
            atb[i] += s.basis[i] * target;
    }
    return cv::solve(ata, atb, light, cv::DECOMP_CHOLESKY);
}

// Two classes under one smooth light field: the log of the feature is a
// class level plus a quadratic surface. Starts from the surface through
// everything split at its residuals' Otsu threshold, then alternates.
bool splitTwoLevels(const std::vector<LightSample> &samples, TwoLevels &out)
{
    if (samples.size() < 200)
        return false;
    std::vector<double> offsets(samples.size(), 0.0);
    const cv::Matx66d ata = normalMatrix(samples);
    cv::Vec6d light;
    if (!fitSurface(samples, ata, offsets, light))
        return false;
    cv::Mat residual(1, int(samples.size()), CV_8U);
    for (size_t i = 0; i < samples.size(); ++i)
        residual.at<uint8_t>(0, int(i))
            = cv::saturate_cast<uint8_t>(128 + 100 * (samples[i].value - lightAt(light, samples[i].basis)));
    cv::Mat unused;
    double split = (cv::threshold(residual, unused, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU) - 128) / 100;
    double level[2] = {0, 0};
    std::vector<double> residuals(samples.size());
    for (int iteration = 0; iteration < 6; ++iteration) {
        double sum[2] = {0, 0};
        size_t count[2] = {0, 0};
        for (size_t k = 0; k < samples.size(); ++k) {
            const double r = samples[k].value - lightAt(light, samples[k].basis);
            residuals[k] = r;
            sum[r > split] += r;
            ++count[r > split];
        }
        if (count[0] < 50 || count[1] < 50)
            return false;
        level[0] = sum[0] / count[0];
        level[1] = sum[1] / count[1];
        for (size_t k = 0; k < samples.size(); ++k)
            offsets[k] = level[residuals[k] > split ? 1 : 0];
        if (!fitSurface(samples, ata, offsets, light))
            return false;
        split = 0.5 * (level[0] + level[1]);
    }
    out.light = light;
    out.split = split;
    out.gap = level[1] - level[0];
    return true;
}

// Page masks from the whiteness under uneven light. Dark objects (a hand, a
// title block) may take the first split for themselves; the bright side is
// then split once more, between desk and page.
void segmentUnderUnevenLight(const cv::Mat &feature, std::vector<cv::Mat> &masks)
{
    float logOf[256];
    for (int v = 0; v < 256; ++v)
        logOf[v] = float(std::log(v + 8.0));
    std::vector<LightSample> samples;
    const int step = 4;
    for (int y = 0; y < feature.rows; y += step) {
        const double ny = 2.0 * y / feature.rows - 1.0;
        const uint8_t *row = feature.ptr<uint8_t>(y);
        for (int x = 0; x < feature.cols; x += step) {
            const double nx = 2.0 * x / feature.cols - 1.0;
            samples.push_back({{1, nx, ny, nx * nx, nx * ny, ny * ny}, logOf[row[x]]});
        }
    }
    std::vector<float> nxs(size_t(feature.cols));
    for (int x = 0; x < feature.cols; ++x)
        nxs[size_t(x)] = float(2.0 * x / feature.cols - 1.0);

    for (int pass = 0; pass < 2; ++pass) {
        TwoLevels levels;
        if (!splitTwoLevels(samples, levels) || levels.gap < 0.08)
            return; // no two distinct brightness levels: nothing lies there
        const cv::Vec6d &c = levels.light;
        cv::Mat mask(feature.size(), CV_8U);
        for (int y = 0; y < feature.rows; ++y) {
            // Per row the light is a quadratic in x.
            const double ny = 2.0 * y / feature.rows - 1.0;
            const float a = float(c[0] + c[2] * ny + c[5] * ny * ny + levels.split);
            const float b = float(c[1] + c[4] * ny), q = float(c[3]);
            const uint8_t *src = feature.ptr<uint8_t>(y);
            uint8_t *dst = mask.ptr<uint8_t>(y);
            for (int x = 0; x < feature.cols; ++x) {
                const float nx = nxs[size_t(x)];
                dst[x] = logOf[src[x]] > a + (b + q * nx) * nx ? 255 : 0;
            }
        }
        masks.push_back(mask);
        std::vector<LightSample> bright;
        for (const LightSample &s : samples)
            if (s.value - lightAt(c, s.basis) > levels.split)
                bright.push_back(s);
        samples.swap(bright);
    }
}

// Bright and colourless: 2*min - max keeps paper, drops wood and skin.
void whitenessMasks(const cv::Mat &small, std::vector<cv::Mat> &masks)
{
    cv::Mat whiteness;
    {
        std::vector<cv::Mat> ch;
        cv::split(small, ch);
        cv::Mat lo, hi;
        cv::min(ch[0], ch[1], lo);
        cv::min(lo, ch[2], lo);
        cv::max(ch[0], ch[1], hi);
        cv::max(hi, ch[2], hi);
        cv::addWeighted(lo, 2.0, hi, -1.0, 0.0, whiteness);
        cv::GaussianBlur(whiteness, whiteness, cv::Size(5, 5), 0);
        // Close lines of text away, or they, not the desk, become the dark class.
        const int k = std::max(5, std::max(small.cols, small.rows) / 36) | 1;
        cv::morphologyEx(whiteness, whiteness, cv::MORPH_CLOSE,
                         cv::getStructuringElement(cv::MORPH_RECT, cv::Size(k, k)));
    }

    cv::Mat mask;
    cv::threshold(whiteness, mask, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    masks.push_back(mask.clone());
    segmentUnderUnevenLight(whiteness, masks);
}

// Regions walled in by edges: the page's inside is one of the large ones
// even where its outline leaves the frame or a hand cuts it.
void edgeMasks(const cv::Mat &gray, std::vector<cv::Mat> &masks)
{
    cv::Mat edges, blurred, open, labels, stats, centroids;
    cv::GaussianBlur(gray, blurred, cv::Size(5, 5), 0);
    cv::Canny(blurred, edges, 30, 90);
    cv::dilate(edges, edges, cv::Mat(), cv::Point(-1, -1), 1);
    cv::bitwise_not(edges, open);
    const int n = cv::connectedComponentsWithStats(open, labels, stats, centroids, 4, CV_32S);
    std::vector<std::pair<int, int>> bySize;
    for (int i = 1; i < n; ++i)
        if (stats.at<int>(i, cv::CC_STAT_AREA) > 0.03 * gray.total())
            bySize.emplace_back(stats.at<int>(i, cv::CC_STAT_AREA), i);
    std::sort(bySize.rbegin(), bySize.rend());
    for (size_t j = 0; j < bySize.size() && j < 3; ++j)
        masks.push_back(labels == bySize[j].second);
}

} // namespace

void pageMasks(const cv::Mat &small, const cv::Mat &gray, std::vector<cv::Mat> &masks, bool sideBySide)
{
    std::vector<cv::Mat> byEdges;
    const auto find = [&](const cv::Range &r) {
        for (int i = r.start; i < r.end; ++i) {
            if (i == 0)
                whitenessMasks(small, masks);
            else
                edgeMasks(gray, byEdges);
        }
    };
    if (sideBySide)
        cv::parallel_for_(cv::Range(0, 2), find);
    else
        find(cv::Range(0, 2));
    masks.insert(masks.end(), byEdges.begin(), byEdges.end());
}

} // namespace orvix
