// A file that appears under its final name only when every byte of it has
// been written, flushed and closed without error. Until then the bytes go to
// a hidden temporary file (".name.XXXXXX") in the destination folder, so a
// crash or a full disk never leaves a damaged or half-written file that looks
// like a stored page, nor a visible leftover in the user's folder.
#ifndef QUILLO_FILEIO_ATOMICFILE_H
#define QUILLO_FILEIO_ATOMICFILE_H

#include "fileio/fileops.h"

#include <cstddef>
#include <string>

namespace fileio {

class AtomicFile
{
public:
    explicit AtomicFile(const std::string &finalPath, FileOps &ops = FileOps::system());
    // Removes the temporary file unless commit() or keepTemporary() succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Keeps the file 0600 whatever the umask; call before open().
    void setPrivate(bool on) { m_private = on; }

    // Creates the temporary file. False (with error()) when the folder is
    // missing or not writable, or the path names no file.
    bool open();
    // Appends all of `size` bytes; a short or failed write is an error.
    bool write(const void *data, size_t size);
    // fsync, close, then rename over the final name. After a failure the
    // final name is untouched and the temporary file is gone.
    bool commit();
    // As commit(), but never replaces an entry at the final name: when one is
    // there (or appears meanwhile) a stamped name moves on to the next free
    // stamp, and finalPath() tells the name used; any other name fails with
    // EEXIST.
    bool commitNew();
    // fsync and close, and keep the bytes in tempPath(): nothing is renamed,
    // and the file outlives this object. The caller renames or removes it.
    bool keepTemporary();
    const std::string &finalPath() const { return m_finalPath; }

    // Why the last step failed, in English for trace lines, and its errno
    // (0 when no system call failed).
    const std::string &error() const { return m_error; }
    int errorNumber() const { return m_errno; }
    const std::string &tempPath() const { return m_tempPath; }

    // open, write, commit in one go.
    static bool writeWhole(const std::string &finalPath, const void *data, size_t size, std::string &error,
                           int &errorNumber, FileOps &ops = FileOps::system());
    // The same with commitNew(): `usedPath` receives the name written.
    static bool writeNew(const std::string &finalPath, const void *data, size_t size, bool privateFile,
                         std::string &usedPath, std::string &error, int &errorNumber,
                         FileOps &ops = FileOps::system());

private:
    bool fail(const char *what, const std::string &path, int err);
    void discard();
    bool closeForCommit();
    void syncFolder() const;

    FileOps &m_ops;
    std::string m_finalPath;
    std::string m_tempPath;
    std::string m_error;
    int m_errno = 0;
    int m_fd = -1;
    bool m_failed = false;
    bool m_committed = false; // or kept: the destructor leaves the file
    bool m_private = false;
};

} // namespace fileio

#endif
