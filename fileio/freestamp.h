// Names made of a capture stamp, "yyyyMMddhhmmsszzz" (17 digits, local time),
// and the rule that keeps them from meeting an existing file: a stamp that is
// taken moves on to the next millisecond until every name it would give is
// free. The program and the camera library both follow it from here.
#ifndef QUILLO_FILEIO_FREESTAMP_H
#define QUILLO_FILEIO_FREESTAMP_H

#include <functional>
#include <string>
#include <vector>

namespace fileio {

constexpr size_t kStampDigits = 17;

// True for exactly 17 digits that name a real calendar time.
bool isStamp(const std::string &text);

// One millisecond later, carrying through seconds, minutes, hours, days,
// months and years; empty when `stamp` is not a stamp or is the last one.
std::string nextStamp(const std::string &stamp);

// One name a stamp gives: folder + "/" + stamp + suffix.
struct StampedName
{
    std::string folder;
    std::string suffix;
};

// The first stamp from `stamp` on for which no name in `names` exists (as
// any kind of entry, a dangling symlink included) and `inUse` says no;
// empty when none is found within a bounded number of steps.
std::string freeStamp(const std::string &stamp, const std::vector<StampedName> &names,
                      const std::function<bool(const std::string &)> &inUse = {});

// The same file name under the next free stamp in its folder, for a path
// whose file name is a stamp and a suffix starting with '.'; empty when the
// path's name is not of that form or no stamp is free.
std::string nextFreeStampedPath(const std::string &path);

} // namespace fileio

#endif
