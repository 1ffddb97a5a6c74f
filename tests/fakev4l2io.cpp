#include "fakev4l2io.h"

#include "v4l2probe.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace {
constexpr int64_t kOffsetStep = 1 << 24;
}

void FakeV4l2Io::addCamera(const FakeCamera &camera)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Node node;
    node.camera = camera;
    if (!camera.formats.empty()) {
        const FakeFormat &f = camera.formats.front();
        node.format.pixelformat = f.fourcc;
        node.format.width = f.discrete.empty() ? f.range.max_width : f.discrete.front().first;
        node.format.height = f.discrete.empty() ? f.range.max_height : f.discrete.front().second;
    }
    m_nodes[camera.nodePath] = node;
}

void FakeV4l2Io::appendEvents(const std::string &nodePath, const std::vector<FakeEvent> &events)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto &script = m_nodes.at(nodePath).camera.script;
        script.insert(script.end(), events.begin(), events.end());
    }
    m_changed.notify_all();
}

void FakeV4l2Io::unplug(const std::string &nodePath)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nodes.at(nodePath).unplugged = true;
    }
    m_changed.notify_all();
}

void FakeV4l2Io::replug(const std::string &nodePath)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Node &node = m_nodes.at(nodePath);
        for (auto &buffer : node.buffers)
            m_retired.push_back(std::move(buffer));
        node.buffers.clear();
        node.queued.clear();
        node.streaming = false;
        node.unplugged = false;
        ++node.generation;
    }
    m_changed.notify_all();
}

int FakeV4l2Io::openDescriptors() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_fds.size());
}

int FakeV4l2Io::liveMappings() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_mappings.size());
}

int FakeV4l2Io::streamOnCount(const std::string &nodePath) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nodes.at(nodePath).streamOns;
}

int FakeV4l2Io::framesDequeued(const std::string &nodePath) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nodes.at(nodePath).dequeued;
}

bool FakeV4l2Io::scriptDone(const std::string &nodePath) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Node &node = m_nodes.at(nodePath);
    return node.scriptPos >= node.camera.script.size();
}

std::vector<v4l2_pix_format> FakeV4l2Io::formatHistory(const std::string &nodePath) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nodes.at(nodePath).history;
}

int FakeV4l2Io::open(const std::string &path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_nodes.find(path);
    if (it == m_nodes.end() || it->second.unplugged)
        return -ENOENT;
    if (it->second.camera.openErrno)
        return -it->second.camera.openErrno;
    const int fd = m_nextFd++;
    m_fds[fd] = {path, it->second.generation};
    return fd;
}

void FakeV4l2Io::close(int fd)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_fds.find(fd);
    if (it == m_fds.end())
        return;
    Node &node = m_nodes.at(it->second.path);
    if (node.generation == it->second.generation) {
        // Closing the streaming descriptor ends streaming, as in the kernel.
        node.streaming = false;
        node.queued.clear();
    }
    m_fds.erase(it);
}

FakeV4l2Io::Node *FakeV4l2Io::nodeFor(int fd, bool &stale)
{
    auto it = m_fds.find(fd);
    if (it == m_fds.end())
        return nullptr;
    Node &node = m_nodes.at(it->second.path);
    stale = node.unplugged || node.generation != it->second.generation;
    return &node;
}

int FakeV4l2Io::setFormat(Node &node, v4l2_format &format, bool apply)
{
    if (format.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
        return -EINVAL;
    if (apply && !node.buffers.empty())
        return -EBUSY;
    v4l2_pix_format &pix = format.fmt.pix;
    const FakeFormat *chosen = &node.camera.formats.front();
    for (const FakeFormat &f : node.camera.formats) {
        if (f.fourcc == pix.pixelformat)
            chosen = &f;
    }
    int width = static_cast<int>(pix.width), height = static_cast<int>(pix.height);
    if (!chosen->discrete.empty()) {
        // The nearest size the camera has, as UVC drivers answer.
        auto best = chosen->discrete.front();
        long bestDistance = -1;
        for (const auto &size : chosen->discrete) {
            const long distance = std::labs(size.first - width) + std::labs(size.second - height);
            if (bestDistance < 0 || distance < bestDistance) {
                bestDistance = distance;
                best = size;
            }
        }
        width = best.first;
        height = best.second;
    } else {
        const v4l2_frmsize_stepwise &r = chosen->range;
        width = std::clamp<int>(width, r.min_width, r.max_width);
        height = std::clamp<int>(height, r.min_height, r.max_height);
        if (r.step_width > 1)
            width -= (width - static_cast<int>(r.min_width)) % static_cast<int>(r.step_width);
        if (r.step_height > 1)
            height -= (height - static_cast<int>(r.min_height)) % static_cast<int>(r.step_height);
    }
    std::memset(&pix, 0, sizeof pix);
    pix.pixelformat = chosen->fourcc;
    pix.width = static_cast<uint32_t>(width);
    pix.height = static_cast<uint32_t>(height);
    pix.field = V4L2_FIELD_NONE;
    pix.bytesperline = chosen->fourcc == V4L2_PIX_FMT_YUYV ? static_cast<uint32_t>(width) * 2 : 0;
    pix.sizeimage = static_cast<uint32_t>(width) * static_cast<uint32_t>(height) * 2 + 4096;
    if (apply) {
        node.format = pix;
        node.history.push_back(pix);
    }
    return 0;
}

bool FakeV4l2Io::eventReady(const Node &node) const
{
    if (node.unplugged)
        return true;
    if (!node.streaming)
        return false;
    const auto &script = node.camera.script;
    if (node.scriptPos >= script.size()) {
        const bool anyFrame = std::any_of(script.begin(), script.end(),
                                          [](const FakeEvent &e) { return e.kind == FakeEvent::Frame; });
        if (!(node.camera.loopFrames && anyFrame))
            return false;
    }
    const FakeEvent::Kind next = script[node.scriptPos % script.size()].kind;
    if (next == FakeEvent::Eio || next == FakeEvent::Unplug)
        return true;
    return !node.queued.empty();
}

int FakeV4l2Io::dequeue(Node &node, v4l2_buffer &buffer)
{
    if (!node.streaming)
        return -EINVAL;
    if (!eventReady(node))
        return -EAGAIN;
    auto &script = node.camera.script;
    if (node.scriptPos >= script.size())
        node.scriptPos = 0; // looping
    const FakeEvent &event = script[node.scriptPos++];
    if (event.kind == FakeEvent::Eio)
        return -EIO;
    if (event.kind == FakeEvent::Unplug) {
        node.unplugged = true;
        m_changed.notify_all();
        return -ENODEV;
    }
    const uint32_t index = node.queued.front();
    node.queued.pop_front();
    std::vector<uint8_t> &memory = node.buffers[index];
    const size_t n = std::min(memory.size(), event.payload.size());
    if (n > 0)
        std::memcpy(memory.data(), event.payload.data(), n);
    std::memset(&buffer, 0, sizeof buffer);
    buffer.index = index;
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    buffer.bytesused = static_cast<uint32_t>(n);
    buffer.length = static_cast<uint32_t>(memory.size());
    buffer.flags = event.kind == FakeEvent::ErrorBuffer ? V4L2_BUF_FLAG_ERROR : 0;
    buffer.sequence = static_cast<uint32_t>(node.dequeued++);
    return 0;
}

int FakeV4l2Io::ioctl(int fd, unsigned long request, void *arg)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    bool stale = false;
    Node *node = nodeFor(fd, stale);
    if (!node)
        return -EBADF;
    if (stale)
        return -ENODEV;
    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto *cap = static_cast<v4l2_capability *>(arg);
        std::memset(cap, 0, sizeof *cap);
        std::strncpy(reinterpret_cast<char *>(cap->driver), "fake", sizeof cap->driver);
        std::strncpy(reinterpret_cast<char *>(cap->card), node->camera.card.c_str(), sizeof cap->card);
        cap->device_caps = node->camera.deviceCaps;
        cap->capabilities = node->camera.deviceCaps | V4L2_CAP_DEVICE_CAPS | V4L2_CAP_META_CAPTURE;
        return 0;
    }
    case VIDIOC_ENUM_FMT: {
        auto *desc = static_cast<v4l2_fmtdesc *>(arg);
        if (desc->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || desc->index >= node->camera.formats.size())
            return -EINVAL;
        const FakeFormat &f = node->camera.formats[desc->index];
        desc->pixelformat = f.fourcc;
        desc->flags = f.emulated ? V4L2_FMT_FLAG_EMULATED : 0;
        return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
        auto *fs = static_cast<v4l2_frmsizeenum *>(arg);
        for (const FakeFormat &f : node->camera.formats) {
            if (f.fourcc != fs->pixel_format)
                continue;
            if (!f.discrete.empty()) {
                if (fs->index >= f.discrete.size())
                    return -EINVAL;
                fs->type = V4L2_FRMSIZE_TYPE_DISCRETE;
                fs->discrete.width = static_cast<uint32_t>(f.discrete[fs->index].first);
                fs->discrete.height = static_cast<uint32_t>(f.discrete[fs->index].second);
                return 0;
            }
            if (fs->index > 0)
                return -EINVAL;
            fs->type = f.continuous ? V4L2_FRMSIZE_TYPE_CONTINUOUS : V4L2_FRMSIZE_TYPE_STEPWISE;
            fs->stepwise = f.range;
            return 0;
        }
        return -EINVAL;
    }
    case VIDIOC_G_FMT: {
        auto *format = static_cast<v4l2_format *>(arg);
        format->fmt.pix = node->format;
        return 0;
    }
    case VIDIOC_S_FMT:
        return setFormat(*node, *static_cast<v4l2_format *>(arg), true);
    case VIDIOC_TRY_FMT:
        return setFormat(*node, *static_cast<v4l2_format *>(arg), false);
    case VIDIOC_REQBUFS: {
        auto *req = static_cast<v4l2_requestbuffers *>(arg);
        if (req->memory != V4L2_MEMORY_MMAP || req->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return -EINVAL;
        if (node->streaming)
            return -EBUSY;
        if (req->count == 0) {
            for (const auto &b : node->buffers) {
                for (const auto &m : m_mappings) {
                    if (m.first == b.data())
                        return -EBUSY; // still mapped
                }
            }
            node->buffers.clear();
            node->queued.clear();
            return 0;
        }
        if (!node->buffers.empty())
            return -EBUSY;
        req->count = std::min<uint32_t>(req->count, 8);
        node->buffers.assign(req->count, std::vector<uint8_t>(node->format.sizeimage));
        return 0;
    }
    case VIDIOC_QUERYBUF: {
        auto *b = static_cast<v4l2_buffer *>(arg);
        if (b->index >= node->buffers.size())
            return -EINVAL;
        b->length = static_cast<uint32_t>(node->buffers[b->index].size());
        b->m.offset = static_cast<uint32_t>(b->index * kOffsetStep);
        return 0;
    }
    case VIDIOC_QBUF: {
        auto *b = static_cast<v4l2_buffer *>(arg);
        if (b->index >= node->buffers.size() ||
            std::find(node->queued.begin(), node->queued.end(), b->index) != node->queued.end())
            return -EINVAL;
        node->queued.push_back(b->index);
        m_changed.notify_all();
        return 0;
    }
    case VIDIOC_DQBUF:
        return dequeue(*node, *static_cast<v4l2_buffer *>(arg));
    case VIDIOC_STREAMON:
        if (node->buffers.empty())
            return -EINVAL;
        node->streaming = true;
        ++node->streamOns;
        m_changed.notify_all();
        return 0;
    case VIDIOC_STREAMOFF:
        node->streaming = false;
        node->queued.clear();
        return 0;
    default:
        return -ENOTTY;
    }
}

void *FakeV4l2Io::mmap(int fd, size_t length, int64_t offset)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    bool stale = false;
    Node *node = nodeFor(fd, stale);
    const size_t index = static_cast<size_t>(offset / kOffsetStep);
    if (!node || stale || index >= node->buffers.size() || length > node->buffers[index].size()) {
        errno = EINVAL;
        return nullptr;
    }
    void *address = node->buffers[index].data();
    m_mappings[address] = length;
    return address;
}

void FakeV4l2Io::munmap(void *address, size_t)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mappings.erase(address);
}

int FakeV4l2Io::poll(int fd, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    bool stale = false;
    Node *node = nodeFor(fd, stale);
    if (!node)
        return -EBADF;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!m_changed.wait_until(lock, deadline, [&] {
            nodeFor(fd, stale);
            return stale || eventReady(*node);
        }))
        return 0;
    if (stale)
        return POLLERR | POLLHUP;
    const int interval = node->camera.frameIntervalMs;
    if (interval > 0) {
        // Pace frames like a camera; an unplug still cuts in.
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(interval));
        lock.lock();
        if (!nodeFor(fd, stale))
            return -EBADF;
        if (stale)
            return POLLERR | POLLHUP;
    }
    return POLLIN | POLLRDNORM;
}

std::vector<uint8_t> yuyvFrame(int width, int height, uint8_t y, uint8_t u, uint8_t v)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * 2);
    for (size_t i = 0; i + 3 < bytes.size(); i += 4) {
        bytes[i] = y;
        bytes[i + 1] = u;
        bytes[i + 2] = y;
        bytes[i + 3] = v;
    }
    return bytes;
}

std::vector<uint8_t> withoutHuffmanTables(const std::vector<uint8_t> &jpeg)
{
    std::vector<uint8_t> out;
    size_t i = 0;
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return jpeg;
    out.insert(out.end(), jpeg.begin(), jpeg.begin() + 2);
    i = 2;
    while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
        const uint8_t marker = jpeg[i + 1];
        const size_t length = (static_cast<size_t>(jpeg[i + 2]) << 8) | jpeg[i + 3];
        if (marker == 0xDA) // start of scan: the rest is entropy-coded data
            break;
        if (marker != 0xC4)
            out.insert(out.end(), jpeg.begin() + static_cast<long>(i), jpeg.begin() + static_cast<long>(i + 2 + length));
        i += 2 + length;
    }
    out.insert(out.end(), jpeg.begin() + static_cast<long>(i), jpeg.end());
    return out;
}

std::unique_ptr<orvix::V4l2Device> attachDevice(const std::shared_ptr<FakeV4l2Io> &io, const FakeCamera &camera)
{
    io->addCamera(camera);
    orvix::V4l2DeviceInfo info;
    info.nodePath = camera.nodePath;
    info.name = camera.card;
    info.accessible = true;
    const int fd = io->open(camera.nodePath);
    info.formats = orvix::queryFormats(*io, fd);
    io->close(fd);
    return std::make_unique<orvix::V4l2Device>(io, info);
}
