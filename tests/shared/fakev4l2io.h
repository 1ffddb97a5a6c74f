// Scripted cameras behind the backend's system-call surface. Device nodes,
// ioctls, buffers and poll are played in memory the way uvcvideo behaves:
// frames are produced by the camera's clock into queued buffers (and lost
// when none is queued), errors stay until STREAMOFF, a stopped queue answers
// POLLERR at once. Sysfs reads go to a real directory tree the test builds
// (fakesysfs.h).
#ifndef QUILLO_TESTS_FAKEV4L2IO_H
#define QUILLO_TESTS_FAKEV4L2IO_H

#include "sdk/v4l2/v4l2device.h"
#include "sdk/v4l2/v4l2io.h"

#include <linux/videodev2.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct FakeFormat {
    uint32_t fourcc = 0;
    std::vector<std::pair<int, int>> discrete; // empty: use the range below
    v4l2_frmsize_stepwise range{};
    bool continuous = false;
    bool emulated = false;
};

struct FakeEvent {
    enum Kind {
        Frame,
        ErrorBuffer,  // a frame the driver flags as damaged
        Eio,          // DQBUF fails once with EIO
        Unplug,       // the camera goes away
        Silence,      // no more frames until the next STREAMON
        StickyError,  // POLLERR and EIO from DQBUF until STREAMOFF
        QueueStopped, // the kernel ended streaming: POLLERR, EINVAL from DQBUF
    };
    Kind kind = Frame;
    std::vector<uint8_t> payload;
    // With an empty payload: a YUYV frame of this colour at the size the
    // driver agreed, whatever it is when the frame is taken.
    bool yuyvColour = false;
    uint8_t yuv[3] = {0, 0, 0};
};

struct FakeCamera {
    std::string nodePath;
    int openErrno = 0; // e.g. EACCES
    std::string card = "Fake Camera";
    uint32_t deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    std::vector<FakeFormat> formats;
    std::vector<FakeEvent> script;
    bool loopFrames = false; // replay the script for ever once it ends
    int frameIntervalMs = 2;
    // A real camera loses frames while no buffer is queued; scripted tests
    // that count frames let the clock wait for a buffer instead.
    bool dropsWhenNoBuffer = false;
    // Black frames sent first after every STREAMON (YUYV only), as sensors
    // do while their exposure settles.
    int darkFramesAfterStart = 0;
    // errno values the next calls fail with, one per call.
    std::deque<int> streamOnErrors;
    std::deque<int> setFormatErrors;
    bool enumeratesFrameSizes = true;
    // Power-line frequency menu: bit i set when item i is offered
    // (0 off, 1 50 Hz, 2 60 Hz, 3 auto); 0 for no such control.
    unsigned powerLineItems = 0;
    int powerLine = 1;
};

class FakeV4l2Io : public orvix::SystemV4l2Io
{
public:
    // Plugs a camera in; one already at that node is gone for good.
    void addCamera(const FakeCamera &camera);
    void appendEvents(const std::string &nodePath, const std::vector<FakeEvent> &events);
    // The script from the next frame on.
    void replaceScript(const std::string &nodePath, const std::vector<FakeEvent> &events, bool loop);
    void unplug(const std::string &nodePath);
    // Plugged in again under the same node: descriptors opened before stay dead.
    void replug(const std::string &nodePath);
    // Unplugged and plugged in again under another node number.
    void moveCamera(const std::string &from, const std::string &to);

    int openDescriptors() const;
    int liveMappings() const;
    int streamOnCount(const std::string &nodePath) const;
    int framesDequeued(const std::string &nodePath) const;
    int framesDropped(const std::string &nodePath) const;
    bool scriptDone(const std::string &nodePath) const;
    int powerLine(const std::string &nodePath) const;
    std::vector<v4l2_pix_format> formatHistory(const std::string &nodePath) const;

    int open(const std::string &path) override;
    void close(int fd) override;
    int ioctl(int fd, unsigned long request, void *arg) override;
    void *mmap(int fd, size_t length, int64_t offset) override;
    void munmap(void *address, size_t length) override;
    int poll(int fd, int timeoutMs) override;

private:
    using Clock = std::chrono::steady_clock;
    struct Filled {
        FakeEvent::Kind kind = FakeEvent::Frame;
        uint32_t index = 0;
        uint32_t bytes = 0;
        uint32_t sequence = 0;
        Clock::time_point taken;
    };
    struct Queued {
        uint32_t index = 0;
        Clock::time_point at;
    };
    struct Node {
        FakeCamera camera;
        bool unplugged = false;
        size_t scriptPos = 0;
        v4l2_pix_format format{};
        std::vector<std::vector<uint8_t>> buffers;
        int owner = -1; // the descriptor that holds the buffers
        std::deque<Queued> queued;
        std::deque<Filled> filled;
        bool streaming = false;
        bool silent = false;
        bool stickyError = false;
        bool queueStopped = false;
        int darkLeft = 0;
        Clock::time_point nextFrameAt;
        uint32_t sequence = 0;
        int streamOns = 0;
        int dequeued = 0;
        int dropped = 0;
        std::vector<v4l2_pix_format> history;
        int generation = 0;
    };
    struct Descriptor {
        std::string path;
        int generation = 0;
    };
    // The node behind fd; nullptr for an unknown descriptor, `stale` for one
    // opened before the camera went away.
    Node *nodeFor(int fd, bool &stale);
    const FakeEvent *nextEvent(const Node &node) const;
    // Runs the camera's clock up to now.
    void produce(Node &node);
    bool takeFrame(Node &node, const FakeEvent *event, Clock::time_point due);
    void retireBuffers(Node &node);
    int setFormat(Node &node, int fd, v4l2_format &format, bool apply);
    int dequeue(Node &node, v4l2_buffer &buffer);
    int control(Node &node, unsigned long request, void *arg);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, Node> m_nodes;
    std::map<int, Descriptor> m_fds;
    std::vector<std::vector<uint8_t>> m_retired; // buffers of replugged nodes, still mapped maybe
    std::map<void *, size_t> m_mappings;
    int m_nextFd = 100;
    int m_nextGeneration = 1;
};

// Plugs the camera into the fake layer and opens it as the library would
// after probing: its formats read through the fake ioctls.
std::unique_ptr<orvix::V4l2Device> attachDevice(const std::shared_ptr<FakeV4l2Io> &io, const FakeCamera &camera);

// Test payloads.
std::vector<uint8_t> yuyvFrame(int width, int height, uint8_t y, uint8_t u, uint8_t v);
// The JPEG with every Huffman table segment taken out, as MJPEG cameras send.
std::vector<uint8_t> withoutHuffmanTables(const std::vector<uint8_t> &jpeg);

#endif
