#include "core/greyshrink.h"

#include <vector>

namespace {

// Where a source pixel falls on the smaller grid. In units where a source
// pixel is `out` long and a new one `in`, it covers part of one new pixel and
// at most the start of the next (out <= in).
struct Split
{
    int index = 0;
    int first = 0; // weight given to `index`
    int rest = 0;  // weight given to `index + 1`
};

std::vector<Split> splits(int in, int out)
{
    std::vector<Split> result(static_cast<size_t>(in));
    for (int i = 0; i < in; ++i) {
        Split &split = result[size_t(i)];
        split.index = int(long(i) * out / in);
        const long boundary = long(split.index + 1) * in;
        const long end = long(i + 1) * out;
        split.first = int(end <= boundary ? out : boundary - long(i) * out);
        split.rest = out - split.first;
    }
    return result;
}

} // namespace

QImage shrinkGrey(const QImage &grey, int width, int height)
{
    const int inWidth = grey.width(), inHeight = grey.height();
    if (grey.format() != QImage::Format_Grayscale8 || width <= 0 || height <= 0 || width > inWidth ||
        height > inHeight)
        return QImage();
    QImage out(width, height, QImage::Format_Grayscale8);
    if (out.isNull())
        return out;
    const std::vector<Split> columns = splits(inWidth, width), rows = splits(inHeight, height);
    // A source row averaged across, times 16 to keep precision; then rows
    // summed into the new row they fall on (and the start of the next).
    std::vector<int> across(size_t(width) + 1), current(size_t(width) + 1, 0), next(size_t(width) + 1, 0);
    int row = 0;
    for (int y = 0; y < inHeight; ++y) {
        std::fill(across.begin(), across.end(), 0);
        const uchar *source = grey.constScanLine(y);
        for (int x = 0; x < inWidth; ++x) {
            const Split &split = columns[size_t(x)];
            across[size_t(split.index)] += source[x] * split.first;
            across[size_t(split.index) + 1] += source[x] * split.rest;
        }
        for (int &value : across)
            value = value * 16 / inWidth;
        const Split &split = rows[size_t(y)];
        if (split.index != row) {
            // Every source row of the new row `row` is in.
            uchar *target = out.scanLine(row);
            for (int x = 0; x < width; ++x)
                target[x] = uchar(current[size_t(x)] / (inHeight * 16));
            current.swap(next);
            std::fill(next.begin(), next.end(), 0);
            row = split.index;
        }
        for (int x = 0; x < width; ++x) {
            current[size_t(x)] += across[size_t(x)] * split.first;
            next[size_t(x)] += across[size_t(x)] * split.rest;
        }
    }
    uchar *target = out.scanLine(row);
    for (int x = 0; x < width; ++x)
        target[x] = uchar(current[size_t(x)] / (inHeight * 16));
    return out;
}
