// The few file-system calls a stored file goes through, behind one seam so
// that tests can make any of them fail (a full disk at byte N, a failing
// fsync or close) without root and without a real small filesystem.
#ifndef QUILLO_FILEIO_FILEOPS_H
#define QUILLO_FILEIO_FILEOPS_H

#include <cstddef>
#include <sys/types.h>

namespace fileio {

class FileOps
{
public:
    virtual ~FileOps();

    // Each behaves as the POSIX call of the same name: -1 and errno on failure.
    virtual int makeTemp(char *pathTemplate);
    virtual ssize_t write(int fd, const void *data, size_t size);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int rename(const char *from, const char *to);
    // rename that fails with EEXIST instead of replacing an entry at `to`:
    // renameat2(RENAME_NOREPLACE), or link() and unlink() on a file system
    // without it. Never a check followed by a rename.
    virtual int renameNoReplace(const char *from, const char *to);

    // The real calls; one shared instance, stateless.
    static FileOps &system();
};

} // namespace fileio

#endif
