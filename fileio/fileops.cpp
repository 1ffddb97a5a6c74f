#include "fileio/fileops.h"

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

FileOps &FileOps::system()
{
    static FileOps ops;
    return ops;
}

} // namespace fileio
