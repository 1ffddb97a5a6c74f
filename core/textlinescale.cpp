#include "core/textlinescale.h"

#include <algorithm>
#include <vector>

namespace {

// Columns measured apart, so that a slight tilt or two text columns still
// give clean gaps between lines.
constexpr int kStrips = 16;
// Shorter runs of inked rows are specks, not lines.
constexpr int kMinLineHeight = 4;

// Mean brightness of square blocks, the background a pixel is judged against.
struct BlockMeans
{
    int size = 1;
    int columns = 0;
    int rows = 0;
    // Per block, the mean of the 3x3 blocks around it: wide enough to span a
    // character, so the paper around it sets the level.
    std::vector<int> around;

    int at(int x, int y) const { return around[size_t((y / size) * columns + x / size)]; }
};

BlockMeans blockMeans(const unsigned char *grey, int width, int height, int stride)
{
    BlockMeans blocks;
    blocks.size = std::max(8, width / 64);
    blocks.columns = (width + blocks.size - 1) / blocks.size;
    blocks.rows = (height + blocks.size - 1) / blocks.size;
    std::vector<long> sums(size_t(blocks.columns * blocks.rows), 0);
    std::vector<int> counts(sums.size(), 0);
    for (int y = 0; y < height; ++y) {
        const unsigned char *row = grey + long(y) * stride;
        const int by = y / blocks.size;
        for (int x = 0; x < width; ++x) {
            const size_t index = size_t(by * blocks.columns + x / blocks.size);
            sums[index] += row[x];
            ++counts[index];
        }
    }
    std::vector<int> means(sums.size());
    for (size_t i = 0; i < sums.size(); ++i)
        means[i] = int(sums[i] / std::max(1, counts[i]));
    blocks.around.resize(means.size());
    for (int by = 0; by < blocks.rows; ++by)
        for (int bx = 0; bx < blocks.columns; ++bx) {
            int sum = 0, count = 0;
            for (int j = std::max(0, by - 1); j <= std::min(blocks.rows - 1, by + 1); ++j)
                for (int i = std::max(0, bx - 1); i <= std::min(blocks.columns - 1, bx + 1); ++i) {
                    sum += means[size_t(j * blocks.columns + i)];
                    ++count;
                }
            blocks.around[size_t(by * blocks.columns + bx)] = sum / count;
        }
    return blocks;
}

// Heights of the runs of inked rows in one strip. A strip whose quietest
// rows carry ink has the paper's side edge in it, and is left out; a run
// with a row inked nearly across the strip is the paper's top or bottom
// edge, and one taller than an eighth of the picture is no line of print.
void addLineHeights(const std::vector<int> &inkPerRow, int stripWidth, std::vector<int> &heights)
{
    std::vector<int> sorted = inkPerRow;
    const size_t quiet = sorted.size() / 10;
    std::nth_element(sorted.begin(), sorted.begin() + long(quiet), sorted.end());
    const int baseline = sorted[quiet];
    if (baseline > stripWidth / 20)
        return;
    const int needed = baseline + std::max(2, stripWidth / 100);
    int start = -1, fullest = 0;
    for (int y = 0; y <= int(inkPerRow.size()); ++y) {
        const bool inked = y < int(inkPerRow.size()) && inkPerRow[size_t(y)] >= needed;
        if (inked && start < 0) {
            start = y;
            fullest = 0;
        }
        if (inked)
            fullest = std::max(fullest, inkPerRow[size_t(y)] - baseline);
        if (!inked && start >= 0) {
            const int runHeight = y - start;
            if (runHeight >= kMinLineHeight && runHeight <= int(inkPerRow.size()) / 8 && fullest * 5 < stripWidth * 4)
                heights.push_back(runHeight);
            start = -1;
        }
    }
}

} // namespace

int TextLineScale::medianLineHeight(const unsigned char *grey, int width, int height, int stride)
{
    if (!grey || width < kStrips || height < kMinLineHeight || stride < width)
        return 0;
    const BlockMeans blocks = blockMeans(grey, width, height, stride);
    const int stripWidth = width / kStrips;
    std::vector<std::vector<int>> ink(kStrips, std::vector<int>(size_t(height), 0));
    for (int y = 0; y < height; ++y) {
        const unsigned char *row = grey + long(y) * stride;
        for (int x = 0; x < stripWidth * kStrips; ++x) {
            const int background = blocks.at(x, y);
            // Print is far darker than the paper around it; shading is not.
            if (row[x] * 4 < background * 3 && background - row[x] > 24)
                ++ink[size_t(x / stripWidth)][size_t(y)];
        }
    }
    std::vector<int> heights;
    for (const std::vector<int> &strip : ink)
        addLineHeights(strip, stripWidth, heights);
    if (heights.empty())
        return 0;
    std::nth_element(heights.begin(), heights.begin() + long(heights.size() / 2), heights.end());
    return heights[heights.size() / 2];
}

double TextLineScale::scaleFor(int lineHeight, int target)
{
    if (lineHeight <= 0 || target <= 0 || lineHeight <= target)
        return 1.0;
    return double(target) / lineHeight;
}
