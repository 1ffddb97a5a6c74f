#include "fileio/staletemps.h"

#include "fileio/freestamp.h"

#include <cctype>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileio {
namespace {

constexpr size_t kRandomChars = 6;

struct DirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};

bool isPageSuffix(const std::string &suffix)
{
    return suffix == ".jpg" || suffix == ".pdf";
}

} // namespace

bool isPageTemporaryName(const std::string &name)
{
    const size_t suffixAt = 1 + kStampDigits;
    const size_t randomAt = suffixAt + 4 + 1;
    if (name.size() != randomAt + kRandomChars || name[0] != '.' || name[randomAt - 1] != '.')
        return false;
    if (!isStamp(name.substr(1, kStampDigits)) || !isPageSuffix(name.substr(suffixAt, 4)))
        return false;
    for (size_t i = randomAt; i < name.size(); ++i) {
        if (!std::isalnum(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}

int sweepStaleTemporaries(const std::string &folder, std::time_t now)
{
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 0;
    // fdopendir owns dirFd from here on.
    std::unique_ptr<DIR, DirCloser> dir(::fdopendir(dirFd));
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    const uid_t me = ::geteuid();
    int removed = 0;
    while (const dirent *entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (!isPageTemporaryName(name))
            continue;
        struct stat st;
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != me || now - st.st_mtime <= kStaleTemporarySeconds)
            continue;
        if (::unlinkat(dirFd, name.c_str(), 0) == 0)
            ++removed;
    }
    return removed;
}

} // namespace fileio
