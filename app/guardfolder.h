#ifndef GUARDFOLDER_H
#define GUARDFOLDER_H

#include <QString>

// The folder that keeps the run guard's files: one only this user can write,
// so that no other account can plant, take or remove them.
namespace GuardFolder {

// $XDG_RUNTIME_DIR when it is such a folder, else "quillo-UID" in the
// temporary folder, made 0700 when missing. Empty, with `why` set, when
// neither is a folder of this user's own that only this user can write.
QString locate(QString *why);

} // namespace GuardFolder

#endif
