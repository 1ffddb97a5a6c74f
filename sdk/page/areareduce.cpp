#include "sdk/page/areareduce.h"

#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace orvix {
namespace {

// OpenCV's v_load_expand_q reads its four bytes as one int, which a row of
// bytes is not aligned for; copied out first, it is the same single load
// without the undefined behaviour.
inline cv::v_uint32x4 loadExpandQuarter(const uchar *p)
{
    alignas(4) uchar four[4];
    std::memcpy(four, p, sizeof four);
    return cv::v_load_expand_q(four);
}

// One source pixel's share in one output pixel, in OpenCV's own table form.
struct Share {
    int out;    // first byte of the output pixel in a row
    int source; // first byte of the source pixel in a row
    float weight;
};

// OpenCV's area table for one axis, computed with the same doubles in the
// same order, so every weight has the same float value.
std::vector<Share> areaTable(int sourceSize, int outSize, int channels, double scale)
{
    std::vector<Share> table;
    for (int d = 0; d < outSize; ++d) {
        const double first = d * scale, last = first + scale;
        const double cell = std::min(scale, sourceSize - first);
        int s1 = cvCeil(first), s2 = cvFloor(last);
        s2 = std::min(s2, sourceSize - 1);
        s1 = std::min(s1, s2);
        if (s1 - first > 1e-3)
            table.push_back({d * channels, (s1 - 1) * channels, float((s1 - first) / cell)});
        for (int s = s1; s < s2; ++s)
            table.push_back({d * channels, s * channels, float(1.0 / cell)});
        if (last - s2 > 1e-3)
            table.push_back({d * channels, s2 * channels, float(std::min(std::min(last - s2, 1.), cell) / cell)});
    }
    return table;
}

// One pass across four rows: sums[(x * CN + ch) * 4 + r] for row r.
template <int CN>
void sumAcross(const std::vector<float> &lanes, const std::vector<Share> &across,
               const std::vector<size_t> &firstShare, std::vector<float> &sums)
{
    const size_t width = firstShare.size() - 1;
    for (size_t x = 0; x < width; ++x) {
#if CV_SIMD128
        cv::v_float32x4 acc[CN];
        for (int ch = 0; ch < CN; ++ch)
            acc[ch] = cv::v_setzero_f32();
        for (size_t k = firstShare[x]; k < firstShare[x + 1]; ++k) {
            const cv::v_float32x4 w = cv::v_setall_f32(across[k].weight);
            const float *l = lanes.data() + size_t(across[k].source) * 4;
            for (int ch = 0; ch < CN; ++ch)
                acc[ch] = acc[ch] + cv::v_load(l + ch * 4) * w;
        }
        for (int ch = 0; ch < CN; ++ch)
            cv::v_store(sums.data() + (x * CN + size_t(ch)) * 4, acc[ch]);
#else
        for (int ch = 0; ch < CN; ++ch) {
            for (int r = 0; r < 4; ++r) {
                float acc = 0.f;
                for (size_t k = firstShare[x]; k < firstShare[x + 1]; ++k)
                    acc = acc + lanes[size_t(across[k].source + ch) * 4 + size_t(r)] * across[k].weight;
                sums[(x * CN + size_t(ch)) * 4 + size_t(r)] = acc;
            }
        }
#endif
    }
}

// OpenCV's sums, in its order, four source rows at a time (one per SIMD
// lane): each lane's arithmetic is exactly what OpenCV does for that row.
// The output rows whose shares of `down` are [begin, end).
void reduceBand(const cv::Mat &src, const std::vector<Share> &across, const std::vector<size_t> &firstShare,
                const std::vector<Share> &down, size_t begin, size_t end, cv::Mat &dst)
{
    if (begin >= end)
        return;
    const int cn = src.channels();
    const int rowBytes = src.cols * cn;
    const size_t outCount = static_cast<size_t>(dst.cols * cn);
    std::vector<float> lanes(static_cast<size_t>(rowBytes) * 4), sums(outCount * 4), column(outCount, 0.f);

    size_t next = begin; // the next share of `down`
    int current = down[begin].out;
    auto flush = [&](int y) {
        uint8_t *d = dst.ptr<uint8_t>(y);
        for (size_t j = 0; j < outCount; ++j)
            d[j] = cv::saturate_cast<uint8_t>(column[j]);
    };
    for (int y0 = down[begin].source; y0 <= down[end - 1].source; y0 += 4) {
        const uint8_t *rows[4];
        for (int r = 0; r < 4; ++r)
            rows[r] = src.ptr<uint8_t>(std::min(y0 + r, src.rows - 1));
        // lanes[i * 4 + r] = row r's byte i, as a float.
        int i = 0;
#if CV_SIMD128
        for (; i + 4 <= rowBytes; i += 4) {
            cv::v_float32x4 a, b, c, d;
            cv::v_transpose4x4(cv::v_cvt_f32(cv::v_reinterpret_as_s32(loadExpandQuarter(rows[0] + i))),
                               cv::v_cvt_f32(cv::v_reinterpret_as_s32(loadExpandQuarter(rows[1] + i))),
                               cv::v_cvt_f32(cv::v_reinterpret_as_s32(loadExpandQuarter(rows[2] + i))),
                               cv::v_cvt_f32(cv::v_reinterpret_as_s32(loadExpandQuarter(rows[3] + i))), a, b, c, d);
            float *l = lanes.data() + size_t(i) * 4;
            cv::v_store(l, a);
            cv::v_store(l + 4, b);
            cv::v_store(l + 8, c);
            cv::v_store(l + 12, d);
        }
#endif
        for (; i < rowBytes; ++i)
            for (int r = 0; r < 4; ++r)
                lanes[size_t(i) * 4 + size_t(r)] = float(rows[r][i]);

        // Across: each output byte's sum starts at zero and takes its shares in order.
        switch (cn) {
        case 1: sumAcross<1>(lanes, across, firstShare, sums); break;
        case 2: sumAcross<2>(lanes, across, firstShare, sums); break;
        case 3: sumAcross<3>(lanes, across, firstShare, sums); break;
        default: sumAcross<4>(lanes, across, firstShare, sums); break;
        }

        // Down, as OpenCV: an output row's sum starts with its first share
        // and is written out when the next output row begins.
        for (; next < end && down[next].source < y0 + 4; ++next) {
            const Share &s = down[next];
            const float *row = sums.data() + (s.source - y0);
            if (s.out != current) {
                flush(current);
                for (size_t j = 0; j < outCount; ++j)
                    column[j] = s.weight * row[j * 4];
                current = s.out;
            } else {
                for (size_t j = 0; j < outCount; ++j)
                    column[j] += s.weight * row[j * 4];
            }
        }
    }
    flush(current);
}

void reduceRows(const cv::Mat &src, cv::Size size, cv::Mat &dst)
{
    const int cn = src.channels();
    const std::vector<Share> across = areaTable(src.cols, size.width, cn, 1. / (double(size.width) / src.cols));
    const std::vector<Share> down = areaTable(src.rows, size.height, 1, 1. / (double(size.height) / src.rows));
    // Where each output pixel's and each output row's shares begin (they come in order).
    std::vector<size_t> firstShare(static_cast<size_t>(size.width) + 1, across.size());
    for (size_t k = across.size(); k-- > 0;)
        firstShare[size_t(across[k].out / cn)] = k;
    std::vector<size_t> firstRowShare(static_cast<size_t>(size.height) + 1, down.size());
    for (size_t k = down.size(); k-- > 0;)
        firstRowShare[size_t(down[k].out)] = k;
    dst.create(size, src.type());
    // Bands of output rows on the library's worker threads, as OpenCV's own.
    cv::parallel_for_(cv::Range(0, size.height), [&](const cv::Range &rows) {
        reduceBand(src, across, firstShare, down, firstRowShare[size_t(rows.start)], firstRowShare[size_t(rows.end)],
                   dst);
    }, 4);
}

// Whether this build's arithmetic is OpenCV's: float rounding can differ
// where a compiler fuses a multiply and an add in one and not the other.
bool sameAsOpenCv()
{
    static const bool same = [] {
        cv::Mat probe(153, 205, CV_8UC3);
        cv::RNG rng(2024);
        rng.fill(probe, cv::RNG::UNIFORM, 0, 256);
        for (const cv::Size size : {cv::Size(32, 24), cv::Size(31, 23), cv::Size(7, 100)}) {
            cv::Mat theirs, ours;
            cv::resize(probe, theirs, size, 0, 0, cv::INTER_AREA);
            reduceRows(probe, size, ours);
            if (cv::norm(theirs, ours, cv::NORM_INF) != 0)
                return false;
        }
        return true;
    }();
    return same;
}

} // namespace

void reduceByArea(const cv::Mat &src, cv::Size size, cv::Mat &dst)
{
    const bool shrinking = size.width > 0 && size.height > 0 && size.width <= src.cols && size.height <= src.rows;
    const bool whole = shrinking && src.cols % size.width == 0 && src.rows % size.height == 0;
    if (src.depth() != CV_8U || src.channels() > 4 || !shrinking || whole || !sameAsOpenCv()) {
        cv::resize(src, dst, size, 0, 0, cv::INTER_AREA);
        return;
    }
    cv::Mat out;
    reduceRows(src, size, out);
    dst = out;
}

} // namespace orvix
