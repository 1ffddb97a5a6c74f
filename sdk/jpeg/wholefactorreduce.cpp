#include "sdk/jpeg/wholefactorreduce.h"

#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace orvix {

void reduceByWholeFactor(const cv::Mat &src, int factor, cv::Mat &dst)
{
    // 16-bit column sums hold up to 257 rows of 255. At a factor of 2
    // OpenCV rounds its own way (and is quick there already).
    if (src.depth() != CV_8U || factor < 3 || factor > 256 || src.cols % factor || src.rows % factor) {
        cv::resize(src, dst, cv::Size(src.cols / std::max(1, factor), src.rows / std::max(1, factor)), 0, 0,
                   cv::INTER_AREA);
        return;
    }
    const int cn = src.channels();
    const int width = src.cols / factor, height = src.rows / factor;
    const int rowBytes = src.cols * cn;
    cv::Mat out(height, width, src.type());
    // OpenCV's scaling: the integer sum times a float reciprocal, rounded.
    const float scale = 1.f / float(factor * factor);
    std::vector<uint16_t> columns(static_cast<size_t>(rowBytes));
    for (int y = 0; y < height; ++y) {
        std::fill(columns.begin(), columns.end(), uint16_t(0));
        for (int k = 0; k < factor; ++k) {
            const uint8_t *s = src.ptr<uint8_t>(y * factor + k);
            uint16_t *c = columns.data();
            int i = 0;
#if CV_SIMD128
            for (; i + 8 <= rowBytes; i += 8)
                cv::v_store(c + i, cv::v_add_wrap(cv::v_load(c + i), cv::v_load_expand(s + i)));
#endif
            for (; i < rowBytes; ++i)
                c[i] = uint16_t(c[i] + s[i]);
        }
        uint8_t *d = out.ptr<uint8_t>(y);
        for (int x = 0; x < width; ++x) {
            const uint16_t *block = columns.data() + size_t(x) * factor * cn;
            for (int ch = 0; ch < cn; ++ch) {
                int sum = 0;
                for (int j = 0; j < factor; ++j)
                    sum += block[j * cn + ch];
                d[x * cn + ch] = cv::saturate_cast<uint8_t>(float(sum) * scale);
            }
        }
    }
    dst = out;
}

} // namespace orvix
