// A disk that "fills up" at a given size: files of this process may not grow
// past it while the object lives. SIGXFSZ is ignored meanwhile, so the write
// that crosses the limit fails with EFBIG instead of killing the suite.
#ifndef QUILLO_TESTS_FILESIZELIMIT_H
#define QUILLO_TESTS_FILESIZELIMIT_H

#include <csignal>
#include <sys/resource.h>

class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &m_oldAction);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        sigaction(SIGXFSZ, &m_oldAction, nullptr);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    struct sigaction m_oldAction = {};
    rlimit m_saved = {};
};

#endif
