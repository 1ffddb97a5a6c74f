#include "sdk/page/previewoutliner.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdlib>

namespace orvix {
namespace {

// The signature is a coarse grid of 2x2 green averages: enough to see a
// page or a hand move, a few thousand reads per frame.
constexpr int kSignatureColumns = 80;
// A sample changed when it moved by more than sensor noise can (about four
// standard deviations of a noisy camera's frame-to-frame difference).
constexpr int kChangedLevel = 32;
// The picture moved when more samples changed than small live marks (a
// clock, a cursor) account for.
constexpr int kChangedShareDivisor = 150;

} // namespace

void PreviewOutliner::takeSignature(const Frame &frame, std::vector<uint8_t> &out) const
{
    const int columns = std::min(kSignatureColumns, frame.width / 2);
    const int rows = std::max(1, std::min(frame.height / 2, columns * frame.height / std::max(1, frame.width)));
    out.resize(size_t(columns) * size_t(rows));
    for (int r = 0; r < rows; ++r) {
        const int y = int((long long)(2 * r + 1) * frame.height / (2 * rows));
        const int y1 = std::min(frame.height - 1, y + 1);
        const uint8_t *a = frame.row(y);
        const uint8_t *b = frame.row(y1);
        for (int c = 0; c < columns; ++c) {
            const int x = int((long long)(2 * c + 1) * frame.width / (2 * columns));
            const size_t g0 = size_t(x) * 3 + 1;
            const size_t g1 = size_t(std::min(frame.width - 1, x + 1)) * 3 + 1;
            out[size_t(r) * size_t(columns) + size_t(c)] = uint8_t((a[g0] + a[g1] + b[g0] + b[g1] + 2) / 4);
        }
    }
}

bool PreviewOutliner::pictureMoved(const Frame &frame)
{
    takeSignature(frame, m_current);
    if (m_current.size() != m_signature.size())
        return true;
    int changed = 0;
    for (size_t i = 0; i < m_current.size(); ++i)
        changed += std::abs(int(m_current[i]) - int(m_signature[i])) > kChangedLevel;
    return changed > std::max(4, int(m_current.size()) / kChangedShareDivisor);
}

void PreviewOutliner::annotate(Frame &frame)
{
    if (frame.empty() || frame.width < 16 || frame.height < 16
        || frame.rgb.size() < frame.stride() * size_t(frame.height))
        return;
    ++m_sinceLook;
    const bool resized = frame.width != m_width || frame.height != m_height;
    bool look = resized || m_looks == 0 || m_sinceLook >= kRefreshFrames;
    bool haveSignature = false;
    if (!look && m_sinceLook >= kMinFramesBetweenLooks) {
        look = pictureMoved(frame);
        haveSignature = true;
    }
    if (look) {
        if (!haveSignature)
            takeSignature(frame, m_current);
        m_signature.swap(m_current);
        m_width = frame.width;
        m_height = frame.height;
        m_sinceLook = 0;
        ++m_looks;
        Quad found;
        m_found = PageDetector(kPreviewDetectLongSide, false).detect(frame, found);
        if (m_found)
            m_corners = found;
    }
    if (m_found)
        drawOutline(frame, m_corners);
}

void drawOutline(Frame &frame, const Quad &corners)
{
    cv::Mat view(frame.height, frame.width, CV_8UC3, frame.rgb.data());
    std::vector<cv::Point> outline;
    for (const PointF &p : corners)
        outline.emplace_back(int(p.x + 0.5), int(p.y + 0.5));
    const int thickness = std::max(2, std::max(frame.width, frame.height) / 400);
    cv::polylines(view, outline, true, cv::Scalar(kOutlineColour[0], kOutlineColour[1], kOutlineColour[2]),
                  thickness, cv::LINE_AA);
}

} // namespace orvix
