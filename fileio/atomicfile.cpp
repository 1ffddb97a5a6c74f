#include "fileio/atomicfile.h"

#include "fileio/freestamp.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileio {
namespace {

mode_t currentUmask()
{
    // umask() can only be read by setting it, which races with other threads.
    FILE *status = std::fopen("/proc/self/status", "re");
    mode_t mask = 022;
    if (status) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                break;
            }
        }
        std::fclose(status);
    }
    return mask;
}

} // namespace

AtomicFile::AtomicFile(const std::string &finalPath, FileOps &ops) : m_ops(ops), m_finalPath(finalPath) {}

AtomicFile::~AtomicFile()
{
    if (!m_committed)
        discard();
}

bool AtomicFile::fail(const char *what, const std::string &path, int err)
{
    m_failed = true;
    m_errno = err;
    m_error = std::string(what) + " " + path + (err ? std::string(": ") + std::strerror(err) : std::string());
    discard();
    return false;
}

void AtomicFile::discard()
{
    if (m_fd >= 0) {
        m_ops.close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
}

bool AtomicFile::open()
{
    if (m_finalPath.empty() || m_finalPath.back() == '/')
        return fail("not a file path:", "\"" + m_finalPath + "\"", 0);
    const size_t slash = m_finalPath.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : m_finalPath.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? m_finalPath : m_finalPath.substr(slash + 1);
    const std::string pattern = dir + "." + base + ".XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const int fd = m_ops.makeTemp(buf.data());
    if (fd < 0)
        return fail("cannot create a file next to", m_finalPath, errno);
    m_fd = fd;
    m_tempPath = buf.data();
    // mkstemp makes 0600; a stored page should be as readable as any new file.
    if (!m_private)
        ::fchmod(m_fd, 0666 & ~currentUmask());
    return true;
}

bool AtomicFile::write(const void *data, size_t size)
{
    if (m_failed || m_fd < 0)
        return false;
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = m_ops.write(m_fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail("cannot write", m_tempPath, errno);
        }
        if (n == 0)
            return fail("cannot write", m_tempPath, ENOSPC);
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool AtomicFile::closeForCommit()
{
    if (m_failed || m_fd < 0)
        return false;
    // EINVAL: a file system that cannot sync (a pipe-like target); nothing to wait for.
    if (m_ops.fsync(m_fd) != 0 && errno != EINVAL)
        return fail("cannot flush", m_tempPath, errno);
    const int fd = m_fd;
    m_fd = -1;
    if (m_ops.close(fd) != 0)
        return fail("cannot close", m_tempPath, errno);
    return true;
}

void AtomicFile::syncFolder() const
{
    const size_t slash = m_finalPath.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : m_finalPath.substr(0, slash));
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

bool AtomicFile::commit()
{
    if (!closeForCommit())
        return false;
    // rename replaces whatever sits at the path, a symlink included, without
    // following it.
    if (m_ops.rename(m_tempPath.c_str(), m_finalPath.c_str()) != 0)
        return fail("cannot move the new file to", m_finalPath, errno);
    m_committed = true;
    syncFolder();
    return true;
}

bool AtomicFile::commitNew()
{
    if (!closeForCommit())
        return false;
    while (m_ops.renameNoReplace(m_tempPath.c_str(), m_finalPath.c_str()) != 0) {
        const int err = errno;
        const std::string next = err == EEXIST ? nextFreeStampedPath(m_finalPath) : std::string();
        if (next.empty())
            return fail("cannot move the new file to", m_finalPath, err);
        m_finalPath = next;
    }
    m_committed = true;
    syncFolder();
    return true;
}

bool AtomicFile::keepTemporary()
{
    if (!closeForCommit())
        return false;
    m_committed = true;
    syncFolder();
    return true;
}

bool AtomicFile::writeWhole(const std::string &finalPath, const void *data, size_t size, std::string &error,
                            int &errorNumber, FileOps &ops)
{
    AtomicFile file(finalPath, ops);
    const bool ok = file.open() && file.write(data, size) && file.commit();
    error = file.error();
    errorNumber = file.errorNumber();
    return ok;
}

bool AtomicFile::writeNew(const std::string &finalPath, const void *data, size_t size, bool privateFile,
                          std::string &usedPath, std::string &error, int &errorNumber, FileOps &ops)
{
    AtomicFile file(finalPath, ops);
    file.setPrivate(privateFile);
    const bool ok = file.open() && file.write(data, size) && file.commitNew();
    usedPath = file.finalPath();
    error = file.error();
    errorNumber = file.errorNumber();
    return ok;
}

} // namespace fileio
