#include "sdk/v4l2/v4l2stream.h"

#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>

namespace orvix {

V4l2Stream::~V4l2Stream()
{
    release();
}

std::unique_ptr<V4l2Stream> V4l2Stream::start(std::shared_ptr<V4l2Io> io, int fd, uint32_t count, int &error)
{
    std::unique_ptr<V4l2Stream> stream(new V4l2Stream(std::move(io), fd));
    V4l2Io &dev = *stream->m_io;

    v4l2_requestbuffers request;
    std::memset(&request, 0, sizeof request);
    request.count = count;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if ((error = dev.ioctl(fd, VIDIOC_REQBUFS, &request)) != 0)
        return nullptr;
    stream->m_requested = true;
    if (request.count < 2) {
        error = -ENOMEM;
        return nullptr;
    }
    for (uint32_t i = 0; i < request.count; ++i) {
        v4l2_buffer buffer;
        std::memset(&buffer, 0, sizeof buffer);
        buffer.index = i;
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        if ((error = dev.ioctl(fd, VIDIOC_QUERYBUF, &buffer)) != 0)
            return nullptr;
        void *address = dev.mmap(fd, buffer.length, buffer.m.offset);
        if (!address) {
            error = errno ? -errno : -ENOMEM;
            return nullptr;
        }
        stream->m_mappings.push_back({address, buffer.length});
        stream->m_queuedAt.push_back(std::chrono::steady_clock::now());
        if ((error = dev.ioctl(fd, VIDIOC_QBUF, &buffer)) != 0)
            return nullptr;
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if ((error = dev.ioctl(fd, VIDIOC_STREAMON, &type)) != 0)
        return nullptr;
    stream->m_streaming = true;
    error = 0;
    return stream;
}

int V4l2Stream::dequeue(Buffer &out)
{
    v4l2_buffer buffer;
    std::memset(&buffer, 0, sizeof buffer);
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    const int rc = m_io->ioctl(m_fd, VIDIOC_DQBUF, &buffer);
    if (rc != 0)
        return rc;
    if (buffer.index >= m_mappings.size())
        return -EINVAL;
    const Mapping &mapping = m_mappings[buffer.index];
    out.index = buffer.index;
    out.data = static_cast<const uint8_t *>(mapping.address);
    // A driver claiming more than the buffer holds must not make us read past it.
    out.bytesUsed = buffer.bytesused <= mapping.length ? buffer.bytesused : mapping.length;
    out.flags = buffer.flags;
    out.queued = m_queuedAt[buffer.index];
    out.captured = {};
    // uvcvideo stamps frames on the monotonic clock, which is the steady clock's.
    const bool monotonic =
        (buffer.flags & V4L2_BUF_FLAG_TIMESTAMP_MASK) == V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
    if (monotonic && (buffer.timestamp.tv_sec != 0 || buffer.timestamp.tv_usec != 0))
        out.captured = std::chrono::steady_clock::time_point(std::chrono::microseconds(
            static_cast<int64_t>(buffer.timestamp.tv_sec) * 1000000 + buffer.timestamp.tv_usec));
    return 0;
}

int V4l2Stream::requeue(uint32_t index)
{
    if (index < m_queuedAt.size())
        m_queuedAt[index] = std::chrono::steady_clock::now();
    v4l2_buffer buffer;
    std::memset(&buffer, 0, sizeof buffer);
    buffer.index = index;
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    return m_io->ioctl(m_fd, VIDIOC_QBUF, &buffer);
}

void V4l2Stream::release()
{
    // Failures here mean the camera is gone; the mappings are ours to drop anyway.
    if (m_streaming) {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        m_io->ioctl(m_fd, VIDIOC_STREAMOFF, &type);
        m_streaming = false;
    }
    for (const Mapping &mapping : m_mappings)
        m_io->munmap(mapping.address, mapping.length);
    m_mappings.clear();
    if (m_requested) {
        v4l2_requestbuffers request;
        std::memset(&request, 0, sizeof request);
        request.count = 0;
        request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        request.memory = V4L2_MEMORY_MMAP;
        m_io->ioctl(m_fd, VIDIOC_REQBUFS, &request);
        m_requested = false;
    }
}

} // namespace orvix
