#include "sdk/page/picturepool.h"

#include <mutex>
#include <utility>

namespace orvix {
namespace picturepool {
namespace {

// Below this a buffer is cheap to make; keeping it would only hold memory.
constexpr size_t kSmallest = size_t(1) << 20;

std::mutex g_mutex;
std::vector<uint8_t> g_kept;

} // namespace

std::vector<uint8_t> take(size_t bytes)
{
    std::vector<uint8_t> buffer;
    if (bytes >= kSmallest) {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_kept.size() >= bytes)
            buffer.swap(g_kept);
    }
    // Shrinking writes nothing; only a buffer too small (or none) is filled.
    buffer.resize(bytes);
    return buffer;
}

Frame takeFrame(int width, int height)
{
    Frame f;
    f.width = width;
    f.height = height;
    f.rgb = take(size_t(width) * size_t(height) * 3);
    return f;
}

void give(std::vector<uint8_t> &&buffer)
{
    std::vector<uint8_t> dropped;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (buffer.size() < kSmallest || buffer.size() <= g_kept.size()) {
            dropped.swap(buffer);
        } else {
            dropped.swap(g_kept);
            g_kept.swap(buffer);
        }
    }
    // Freed outside the lock.
}

} // namespace picturepool
} // namespace orvix
