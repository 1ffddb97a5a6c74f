#include "sdk/v4l2/v4l2io.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace orvix {

int SystemV4l2Io::open(const std::string &path)
{
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? -errno : fd;
}

void SystemV4l2Io::close(int fd)
{
    ::close(fd);
}

int SystemV4l2Io::ioctl(int fd, unsigned long request, void *arg)
{
    int rc;
    do {
        rc = ::ioctl(fd, request, arg);
    } while (rc < 0 && errno == EINTR);
    return rc < 0 ? -errno : 0;
}

void *SystemV4l2Io::mmap(int fd, size_t length, int64_t offset)
{
    void *p = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, static_cast<off_t>(offset));
    return p == MAP_FAILED ? nullptr : p;
}

void SystemV4l2Io::munmap(void *address, size_t length)
{
    ::munmap(address, length);
}

int SystemV4l2Io::poll(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    int rc = ::poll(&p, 1, timeoutMs);
    if (rc < 0)
        return -errno;
    return rc == 0 ? 0 : p.revents;
}

bool SystemV4l2Io::readFile(const std::string &path, std::string &text)
{
    text.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[512];
    ssize_t n;
    // Sysfs attributes are small; anything longer is not one of ours.
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0 && text.size() < 4096)
        text.append(buffer, static_cast<size_t>(n));
    ::close(fd);
    if (n < 0)
        return false;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.pop_back();
    return true;
}

std::vector<std::string> SystemV4l2Io::listDirectory(const std::string &path)
{
    std::vector<std::string> names;
    DIR *dir = ::opendir(path.c_str());
    if (!dir)
        return names;
    while (dirent *entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

std::string SystemV4l2Io::canonicalPath(const std::string &path)
{
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved))
        return std::string();
    return resolved;
}

} // namespace orvix
