// The few system calls the V4L2 backend makes, behind one interface so that
// tests can play scripted cameras without a kernel driver. Sysfs reads go
// through here too; their root directory is chosen by the caller.
#ifndef ORVIX_V4L2IO_H
#define ORVIX_V4L2IO_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvix {

class V4l2Io
{
public:
    virtual ~V4l2Io() = default;

    // Opens a device node read-write, non-blocking. A descriptor or -errno.
    virtual int open(const std::string &path) = 0;
    virtual void close(int fd) = 0;
    // 0 or -errno. EINTR is retried inside.
    virtual int ioctl(int fd, unsigned long request, void *arg) = 0;
    // A shared read-write mapping, or nullptr with the reason in errno.
    virtual void *mmap(int fd, size_t length, int64_t offset) = 0;
    virtual void munmap(void *address, size_t length) = 0;
    // Waits for input: the poll revents (POLLIN, POLLERR, ...), 0 on
    // timeout, or -errno.
    virtual int poll(int fd, int timeoutMs) = 0;

    // A whole small file (sysfs attribute), trailing white space removed.
    virtual bool readFile(const std::string &path, std::string &text) = 0;
    // Entry names, without "." and "..".
    virtual std::vector<std::string> listDirectory(const std::string &path) = 0;
    // The path with symbolic links resolved, or empty when it does not exist.
    virtual std::string canonicalPath(const std::string &path) = 0;
};

// The real thing: plain system calls. We decode MJPEG and YUYV ourselves, so
// libv4l's format emulation would only add copies.
class SystemV4l2Io : public V4l2Io
{
public:
    int open(const std::string &path) override;
    void close(int fd) override;
    int ioctl(int fd, unsigned long request, void *arg) override;
    void *mmap(int fd, size_t length, int64_t offset) override;
    void munmap(void *address, size_t length) override;
    int poll(int fd, int timeoutMs) override;
    bool readFile(const std::string &path, std::string &text) override;
    std::vector<std::string> listDirectory(const std::string &path) override;
    std::string canonicalPath(const std::string &path) override;
};

// An open device node; closes it when it goes.
class V4l2Fd
{
public:
    V4l2Fd() = default;
    V4l2Fd(std::shared_ptr<V4l2Io> io, int fd) : m_io(std::move(io)), m_fd(fd) {}
    ~V4l2Fd() { reset(); }
    V4l2Fd(V4l2Fd &&other) noexcept : m_io(std::move(other.m_io)), m_fd(other.m_fd) { other.m_fd = -1; }
    V4l2Fd &operator=(V4l2Fd &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_io = std::move(other.m_io);
            m_fd = other.m_fd;
            other.m_fd = -1;
        }
        return *this;
    }
    V4l2Fd(const V4l2Fd &) = delete;
    V4l2Fd &operator=(const V4l2Fd &) = delete;

    bool valid() const { return m_fd >= 0; }
    int get() const { return m_fd; }
    void reset()
    {
        if (m_fd >= 0 && m_io)
            m_io->close(m_fd);
        m_fd = -1;
    }

private:
    std::shared_ptr<V4l2Io> m_io;
    int m_fd = -1;
};

} // namespace orvix

#endif
