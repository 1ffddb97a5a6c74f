// One streaming session on an open capture node: the driver's buffers mapped
// into our memory, queued, and the stream switched on. Everything is undone,
// in reverse order, when the object goes.
#ifndef ORVIX_V4L2STREAM_H
#define ORVIX_V4L2STREAM_H

#include "sdk/v4l2/v4l2io.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace orvix {

class V4l2Stream
{
public:
    struct Buffer {
        uint32_t index = 0;
        const uint8_t *data = nullptr;
        size_t bytesUsed = 0;
        uint32_t flags = 0;
        // When the driver captured it, on the steady clock; zero when the
        // driver gives no monotonic time stamp.
        std::chrono::steady_clock::time_point captured;
        // When the buffer was last handed to the driver: the frame in it
        // was captured after this.
        std::chrono::steady_clock::time_point queued;
    };

    ~V4l2Stream();
    V4l2Stream(const V4l2Stream &) = delete;
    V4l2Stream &operator=(const V4l2Stream &) = delete;

    // Requests, maps and queues `count` buffers and starts streaming. On
    // failure returns nullptr and sets `error` to -errno.
    static std::unique_ptr<V4l2Stream> start(std::shared_ptr<V4l2Io> io, int fd, uint32_t count, int &error);

    // 0 with a filled buffer, or -errno (-EAGAIN: nothing ready yet).
    int dequeue(Buffer &buffer);
    // Hands a dequeued buffer back to the driver. 0 or -errno.
    int requeue(uint32_t index);
    size_t bufferCount() const { return m_mappings.size(); }

private:
    struct Mapping {
        void *address = nullptr;
        size_t length = 0;
    };
    V4l2Stream(std::shared_ptr<V4l2Io> io, int fd) : m_io(std::move(io)), m_fd(fd) {}
    void release();

    std::shared_ptr<V4l2Io> m_io;
    int m_fd;
    bool m_requested = false;
    bool m_streaming = false;
    std::vector<Mapping> m_mappings;
    std::vector<std::chrono::steady_clock::time_point> m_queuedAt;
};

} // namespace orvix

#endif
