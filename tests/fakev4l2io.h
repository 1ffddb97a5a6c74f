// Scripted cameras behind the backend's system-call surface. Device nodes,
// ioctls, buffers and poll are played in memory; sysfs reads go to a real
// directory tree the test builds.
#ifndef QUILLO_TESTS_FAKEV4L2IO_H
#define QUILLO_TESTS_FAKEV4L2IO_H

#include "v4l2device.h"
#include "v4l2io.h"

#include <linux/videodev2.h>

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
    enum Kind { Frame, ErrorBuffer, Eio, Unplug };
    Kind kind = Frame;
    std::vector<uint8_t> payload;
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
};

class FakeV4l2Io : public orvix::SystemV4l2Io
{
public:
    void addCamera(const FakeCamera &camera);
    void appendEvents(const std::string &nodePath, const std::vector<FakeEvent> &events);
    void unplug(const std::string &nodePath);
    // Plugged in again under the same node: descriptors opened before stay dead.
    void replug(const std::string &nodePath);

    int openDescriptors() const;
    int liveMappings() const;
    int streamOnCount(const std::string &nodePath) const;
    int framesDequeued(const std::string &nodePath) const;
    bool scriptDone(const std::string &nodePath) const;
    std::vector<v4l2_pix_format> formatHistory(const std::string &nodePath) const;

    int open(const std::string &path) override;
    void close(int fd) override;
    int ioctl(int fd, unsigned long request, void *arg) override;
    void *mmap(int fd, size_t length, int64_t offset) override;
    void munmap(void *address, size_t length) override;
    int poll(int fd, int timeoutMs) override;

private:
    struct Node {
        FakeCamera camera;
        bool unplugged = false;
        size_t scriptPos = 0;
        v4l2_pix_format format{};
        std::vector<std::vector<uint8_t>> buffers;
        std::deque<uint32_t> queued;
        bool streaming = false;
        int streamOns = 0;
        int dequeued = 0;
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
    bool eventReady(const Node &node) const;
    int setFormat(Node &node, v4l2_format &format, bool apply);
    int dequeue(Node &node, v4l2_buffer &buffer);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, Node> m_nodes;
    std::map<int, Descriptor> m_fds;
    std::vector<std::vector<uint8_t>> m_retired; // buffers of replugged nodes, still mapped maybe
    std::map<void *, size_t> m_mappings;
    int m_nextFd = 100;
};

// Plugs the camera into the fake layer and opens it as the library would
// after probing: its formats read through the fake ioctls.
std::unique_ptr<orvix::V4l2Device> attachDevice(const std::shared_ptr<FakeV4l2Io> &io, const FakeCamera &camera);

// Test payloads.
std::vector<uint8_t> yuyvFrame(int width, int height, uint8_t y, uint8_t u, uint8_t v);
// The JPEG with every Huffman table segment taken out, as MJPEG cameras send.
std::vector<uint8_t> withoutHuffmanTables(const std::vector<uint8_t> &jpeg);

#endif
