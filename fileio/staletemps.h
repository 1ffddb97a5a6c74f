// Temporaries a killed writer left behind. AtomicFile writes ".NAME.XXXXXX"
// next to NAME; after a crash nothing else ever removes them.
#ifndef QUILLO_FILEIO_STALETEMPS_H
#define QUILLO_FILEIO_STALETEMPS_H

#include <ctime>
#include <string>

namespace fileio {

// Seconds after which a temporary counts as abandoned: no save takes that long.
constexpr int kStaleTemporarySeconds = 60;

// True for the name of a temporary the writer makes for a stamped page:
// "." + 17 digits + ".jpg" or ".pdf" + "." + six letters or digits.
bool isPageTemporaryName(const std::string &name);

// Removes from `folder` the page temporaries that are regular files (not
// symlinks) owned by this user and last changed more than
// kStaleTemporarySeconds before `now`. Nothing else is touched. Returns how
// many were removed.
int sweepStaleTemporaries(const std::string &folder, std::time_t now = std::time(nullptr));

} // namespace fileio

#endif
