#include "tests/shared/fakev4l2io.h"

#include "sdk/v4l2/v4l2probe.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {
constexpr int64_t kOffsetStep = 1 << 24;
}

void FakeV4l2Io::addCamera(const FakeCamera &camera)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Node &node = m_nodes[camera.nodePath];
        retireBuffers(node);
        node = Node();
        node.camera = camera;
        node.generation = m_nextGeneration++;
        if (!camera.formats.empty()) {
            const FakeFormat &f = camera.formats.front();
            node.format.pixelformat = f.fourcc;
            node.format.width = f.discrete.empty() ? f.range.max_width : f.discrete.front().first;
            node.format.height = f.discrete.empty() ? f.range.max_height : f.discrete.front().second;
        }
    }
    m_changed.notify_all();
}

void FakeV4l2Io::appendEvents(const std::string &nodePath, const std::vector<FakeEvent> &events)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Node &node = m_nodes.at(nodePath);
        produce(node); // frames due so far show the scene as it was
        auto &script = node.camera.script;
        script.insert(script.end(), events.begin(), events.end());
    }
    m_changed.notify_all();
}

void FakeV4l2Io::replaceScript(const std::string &nodePath, const std::vector<FakeEvent> &events, bool loop)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Node &node = m_nodes.at(nodePath);
        produce(node); // frames due so far show the scene as it was
        node.camera.script = events;
        node.camera.loopFrames = loop;
        node.scriptPos = 0;
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

void FakeV4l2Io::retireBuffers(Node &node)
{
    for (auto &buffer : node.buffers)
        m_retired.push_back(std::move(buffer));
    node.buffers.clear();
    node.queued.clear();
    node.filled.clear();
    node.owner = -1;
    node.streaming = false;
}

void FakeV4l2Io::replug(const std::string &nodePath)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Node &node = m_nodes.at(nodePath);
        retireBuffers(node);
        node.unplugged = false;
        node.generation = m_nextGeneration++;
    }
    m_changed.notify_all();
}

void FakeV4l2Io::moveCamera(const std::string &from, const std::string &to)
{
    FakeCamera camera;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Node &old = m_nodes.at(from);
        old.unplugged = true;
        camera = old.camera;
    }
    camera.nodePath = to;
    addCamera(camera);
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

int FakeV4l2Io::framesDropped(const std::string &nodePath) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nodes.at(nodePath).dropped;
}

bool FakeV4l2Io::scriptDone(const std::string &nodePath) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Node &node = m_nodes.at(nodePath);
    return node.scriptPos >= node.camera.script.size() && node.filled.empty();
}

int FakeV4l2Io::powerLine(const std::string &nodePath) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nodes.at(nodePath).camera.powerLine;
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
    // Closing the descriptor that holds the buffers ends streaming and frees
    // the queue, as in the kernel; other descriptors change nothing.
    if (node.generation == it->second.generation && node.owner == fd)
        retireBuffers(node);
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

int FakeV4l2Io::setFormat(Node &node, int fd, v4l2_format &format, bool apply)
{
    if (format.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || node.camera.formats.empty())
        return -EINVAL;
    if (apply && !node.buffers.empty())
        return -EBUSY;
    if (apply && !node.camera.setFormatErrors.empty()) {
        const int err = node.camera.setFormatErrors.front();
        node.camera.setFormatErrors.pop_front();
        return -err;
    }
    (void)fd;
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

const FakeEvent *FakeV4l2Io::nextEvent(const Node &node) const
{
    const auto &script = node.camera.script;
    if (script.empty())
        return nullptr;
    if (node.scriptPos < script.size())
        return &script[node.scriptPos];
    const bool anyFrame =
        std::any_of(script.begin(), script.end(), [](const FakeEvent &e) { return e.kind == FakeEvent::Frame; });
    if (!node.camera.loopFrames || !anyFrame)
        return nullptr;
    return &script[node.scriptPos % script.size()];
}

// Fills the oldest queued buffer with the frame; false when none is queued.
bool FakeV4l2Io::takeFrame(Node &node, const FakeEvent *event, Clock::time_point due)
{
    if (node.queued.empty())
        return false;
    const Queued buffer = node.queued.front();
    node.queued.pop_front();
    std::vector<uint8_t> &memory = node.buffers[buffer.index];
    std::vector<uint8_t> made;
    const std::vector<uint8_t> *payload = event ? &event->payload : &made;
    const int w = static_cast<int>(node.format.width), h = static_cast<int>(node.format.height);
    if (!event)
        made = yuyvFrame(w, h, 16, 128, 128);
    else if (event->yuyvColour && event->payload.empty())
        made = yuyvFrame(w, h, event->yuv[0], event->yuv[1], event->yuv[2]), payload = &made;
    const size_t n = std::min(memory.size(), payload->size());
    if (n > 0)
        std::memcpy(memory.data(), payload->data(), n);
    Filled filled;
    filled.kind = event ? event->kind : FakeEvent::Frame;
    filled.index = buffer.index;
    filled.bytes = static_cast<uint32_t>(n);
    filled.sequence = node.sequence++;
    // A frame waiting for a buffer is captured once one is queued.
    filled.taken = std::max(due, buffer.at);
    node.filled.push_back(filled);
    return true;
}

void FakeV4l2Io::produce(Node &node)
{
    if (!node.streaming || node.unplugged || node.silent || node.stickyError || node.queueStopped)
        return;
    const auto now = Clock::now();
    const auto interval = std::chrono::milliseconds(node.camera.frameIntervalMs);
    if (now - node.nextFrameAt > std::chrono::seconds(1))
        node.nextFrameAt = now; // the clock does not catch up on a long pause
    for (int produced = 0; node.nextFrameAt <= now && produced < 64; ++produced) {
        if (node.darkLeft > 0) {
            if (!takeFrame(node, nullptr, node.nextFrameAt)) {
                if (!node.camera.dropsWhenNoBuffer)
                    return;
                ++node.dropped;
                ++node.sequence;
            }
            --node.darkLeft;
            node.nextFrameAt += interval;
            continue;
        }
        const FakeEvent *event = nextEvent(node);
        if (!event)
            return;
        switch (event->kind) {
        case FakeEvent::Frame:
        case FakeEvent::ErrorBuffer:
            if (!takeFrame(node, event, node.nextFrameAt)) {
                if (!node.camera.dropsWhenNoBuffer)
                    return;
                ++node.dropped;
                ++node.sequence;
            }
            break;
        case FakeEvent::Eio:
        case FakeEvent::Unplug: {
            // What the next DQBUF meets, once the frames before it are
            // taken; it takes no time of the camera's clock.
            if (!node.filled.empty())
                return;
            Filled filled;
            filled.kind = event->kind;
            node.filled.push_back(filled);
            ++node.scriptPos;
            return;
        }
        case FakeEvent::Silence:
            node.silent = true;
            break;
        case FakeEvent::StickyError:
            node.stickyError = true;
            break;
        case FakeEvent::QueueStopped:
            node.queueStopped = true;
            break;
        }
        ++node.scriptPos;
        node.nextFrameAt += interval;
        if (node.silent || node.stickyError || node.queueStopped)
            return;
    }
}

int FakeV4l2Io::dequeue(Node &node, v4l2_buffer &buffer)
{
    if (node.queueStopped || !node.streaming)
        return -EINVAL;
    produce(node);
    if (node.filled.empty())
        return node.stickyError ? -EIO : -EAGAIN;
    const Filled filled = node.filled.front();
    node.filled.pop_front();
    if (filled.kind == FakeEvent::Eio)
        return -EIO;
    if (filled.kind == FakeEvent::Unplug) {
        node.unplugged = true;
        m_changed.notify_all();
        return -ENODEV;
    }
    const auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::microseconds>(filled.taken.time_since_epoch()).count();
    std::memset(&buffer, 0, sizeof buffer);
    buffer.index = filled.index;
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    buffer.bytesused = filled.bytes;
    buffer.length = static_cast<uint32_t>(node.buffers[filled.index].size());
    buffer.flags = V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC |
                   (filled.kind == FakeEvent::ErrorBuffer ? V4L2_BUF_FLAG_ERROR : 0);
    buffer.sequence = filled.sequence;
    buffer.timestamp.tv_sec = static_cast<time_t>(sinceEpoch / 1000000);
    buffer.timestamp.tv_usec = static_cast<suseconds_t>(sinceEpoch % 1000000);
    ++node.dequeued;
    return 0;
}

int FakeV4l2Io::control(Node &node, unsigned long request, void *arg)
{
    const unsigned items = node.camera.powerLineItems;
    switch (request) {
    case VIDIOC_QUERYCTRL: {
        auto *q = static_cast<v4l2_queryctrl *>(arg);
        if (q->id != V4L2_CID_POWER_LINE_FREQUENCY || items == 0)
            return -EINVAL;
        q->type = V4L2_CTRL_TYPE_MENU;
        q->minimum = 0;
        q->maximum = 3;
        q->step = 1;
        q->default_value = 1;
        q->flags = 0;
        return 0;
    }
    case VIDIOC_QUERYMENU: {
        auto *m = static_cast<v4l2_querymenu *>(arg);
        if (m->id != V4L2_CID_POWER_LINE_FREQUENCY || m->index > 3 || !(items & (1u << m->index)))
            return -EINVAL;
        return 0;
    }
    case VIDIOC_S_CTRL: {
        auto *c = static_cast<v4l2_control *>(arg);
        if (c->id != V4L2_CID_POWER_LINE_FREQUENCY || items == 0 || c->value < 0 || c->value > 3 ||
            !(items & (1u << c->value)))
            return -EINVAL;
        node.camera.powerLine = c->value;
        return 0;
    }
    default:
        return -ENOTTY;
    }
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
        // The kernel always ends these with a NUL; a long card name is cut short.
        std::strncpy(reinterpret_cast<char *>(cap->driver), "fake", sizeof cap->driver - 1);
        std::strncpy(reinterpret_cast<char *>(cap->card), node->camera.card.c_str(), sizeof cap->card - 1);
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
        if (!node->camera.enumeratesFrameSizes)
            return -ENOTTY;
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
        return setFormat(*node, fd, *static_cast<v4l2_format *>(arg), true);
    case VIDIOC_TRY_FMT:
        return setFormat(*node, fd, *static_cast<v4l2_format *>(arg), false);
    case VIDIOC_REQBUFS: {
        auto *req = static_cast<v4l2_requestbuffers *>(arg);
        if (req->memory != V4L2_MEMORY_MMAP || req->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return -EINVAL;
        // The queue belongs to the descriptor that requested it.
        if (node->owner >= 0 && node->owner != fd)
            return -EBUSY;
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
            node->filled.clear();
            node->owner = -1;
            return 0;
        }
        if (!node->buffers.empty())
            return -EBUSY;
        req->count = std::min<uint32_t>(req->count, 8);
        node->buffers.assign(req->count, std::vector<uint8_t>(node->format.sizeimage));
        node->owner = fd;
        return 0;
    }
    case VIDIOC_QUERYBUF: {
        auto *b = static_cast<v4l2_buffer *>(arg);
        if (node->owner != fd || b->index >= node->buffers.size())
            return -EINVAL;
        b->length = static_cast<uint32_t>(node->buffers[b->index].size());
        b->m.offset = static_cast<uint32_t>(b->index * kOffsetStep);
        return 0;
    }
    case VIDIOC_QBUF: {
        auto *b = static_cast<v4l2_buffer *>(arg);
        if (node->owner != fd || b->index >= node->buffers.size() ||
            std::any_of(node->queued.begin(), node->queued.end(), [&](const Queued &q) { return q.index == b->index; }) ||
            std::any_of(node->filled.begin(), node->filled.end(),
                        [&](const Filled &f) { return f.kind <= FakeEvent::ErrorBuffer && f.index == b->index; }))
            return -EINVAL;
        node->queued.push_back({b->index, Clock::now()});
        m_changed.notify_all();
        return 0;
    }
    case VIDIOC_DQBUF:
        if (node->owner != fd)
            return -EINVAL;
        return dequeue(*node, *static_cast<v4l2_buffer *>(arg));
    case VIDIOC_STREAMON:
        if (node->owner != fd || node->buffers.empty())
            return -EINVAL;
        if (!node->camera.streamOnErrors.empty()) {
            const int err = node->camera.streamOnErrors.front();
            node->camera.streamOnErrors.pop_front();
            return -err;
        }
        node->streaming = true;
        node->silent = node->stickyError = node->queueStopped = false;
        node->darkLeft = node->camera.darkFramesAfterStart;
        node->nextFrameAt = Clock::now() + std::chrono::milliseconds(node->camera.frameIntervalMs);
        ++node->streamOns;
        m_changed.notify_all();
        return 0;
    case VIDIOC_STREAMOFF:
        if (node->owner != fd)
            return -EBUSY;
        node->streaming = false;
        node->stickyError = node->queueStopped = false;
        node->queued.clear();
        node->filled.clear();
        return 0;
    case VIDIOC_QUERYCTRL:
    case VIDIOC_QUERYMENU:
    case VIDIOC_S_CTRL:
        return control(*node, request, arg);
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
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        bool stale = false;
        Node *node = nodeFor(fd, stale);
        if (!node)
            return -EBADF;
        if (stale)
            return POLLERR | POLLHUP;
        produce(*node);
        // A queue in error, or one the kernel stopped, answers at once.
        if (node->stickyError || node->queueStopped || !node->streaming)
            return POLLERR;
        if (!node->filled.empty())
            return POLLIN | POLLRDNORM;
        const auto now = Clock::now();
        if (now >= deadline)
            return 0;
        auto wake = deadline;
        if (!node->silent && !node->queued.empty() && node->nextFrameAt < wake)
            wake = node->nextFrameAt;
        m_changed.wait_until(lock, std::max(wake, now + std::chrono::microseconds(200)));
    }
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
