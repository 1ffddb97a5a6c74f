#include "fileio/fileops.h"

#include <cerrno>

#include <fcntl.h>
#include <stdlib.h>
#include <stdio.h>
#include <unistd.h>

namespace fileio {

FileOps::~FileOps() = default;

int FileOps::makeTemp(char *pathTemplate)
{
    return ::mkostemp(pathTemplate, O_CLOEXEC);
}

ssize_t FileOps::write(int fd, const void *data, size_t size)
{
    return ::write(fd, data, size);
}

int FileOps::fsync(int fd)
{
    return ::fsync(fd);
}

int FileOps::close(int fd)
{
    return ::close(fd);
}

int FileOps::rename(const char *from, const char *to)
{
    return ::rename(from, to);
}

int FileOps::renameNoReplace(const char *from, const char *to)
{
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return -1;
    // The file system cannot rename without replacing: a hard link is
    // refused with EEXIST just the same.
    if (::link(from, to) == 0) {
        ::unlink(from);
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP)
        return -1;
    // Nor link (FAT and the like): claim the name with an exclusive create,
    // then rename over our own empty claim.
    const int claim = ::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (claim < 0)
        return -1;
    ::close(claim);
    if (::rename(from, to) == 0)
        return 0;
    const int err = errno;
    ::unlink(to);
    errno = err;
    return -1;
}

FileOps &FileOps::system()
{
    static FileOps ops;
    return ops;
}

} // namespace fileio
