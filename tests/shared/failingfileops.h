// File operations that fail on purpose: the chosen file (by the order in
// which files are created) hits a full disk at byte N, or its fsync, close,
// rename or creation fails. Every other call is the real one.
#ifndef FAILINGFILEOPS_H
#define FAILINGFILEOPS_H

#include "fileio/fileops.h"

#include <cerrno>

class FailingFileOps : public fileio::FileOps
{
public:
    enum Fault { None, DiskFullAt, FsyncFails, CloseFails, RenameFails, CreateFails };

    Fault fault = None;
    int faultyFile = 0;      // 0 = the first file created through us
    long long fullAt = 0;    // DiskFullAt: bytes that still fit
    int filesCreated = 0;

    int makeTemp(char *pathTemplate) override
    {
        if (isFaulty() && fault == CreateFails) {
            ++filesCreated;
            errno = EACCES;
            return -1;
        }
        m_written = 0;
        const int fd = fileio::FileOps::makeTemp(pathTemplate);
        m_current = filesCreated++;
        return fd;
    }
    ssize_t write(int fd, const void *data, size_t size) override
    {
        if (m_current == faultyFile && fault == DiskFullAt) {
            const long long room = fullAt - m_written;
            if (room <= 0) {
                errno = ENOSPC;
                return -1;
            }
            if ((long long)size > room)
                size = size_t(room);
        }
        const ssize_t n = fileio::FileOps::write(fd, data, size);
        if (n > 0)
            m_written += n;
        return n;
    }
    int fsync(int fd) override
    {
        if (m_current == faultyFile && fault == FsyncFails) {
            errno = EIO;
            return -1;
        }
        return fileio::FileOps::fsync(fd);
    }
    int close(int fd) override
    {
        // Like NFS or a full quota: the data is only refused when flushed.
        const int rc = fileio::FileOps::close(fd);
        if (m_current == faultyFile && fault == CloseFails) {
            errno = ENOSPC;
            return -1;
        }
        return rc;
    }
    int rename(const char *from, const char *to) override
    {
        if (m_current == faultyFile && fault == RenameFails) {
            errno = EXDEV;
            return -1;
        }
        return fileio::FileOps::rename(from, to);
    }

private:
    bool isFaulty() const { return filesCreated == faultyFile; }
    int m_current = -1;
    long long m_written = 0;
};

#endif
