#include "core/loginname.h"

#include <QFile>

#include <pwd.h>
#include <unistd.h>

#include <vector>

QString currentLoginName()
{
    const uid_t uid = ::geteuid();
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size_t(size > 0 ? size : 16384));
    passwd entry;
    passwd *found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name[0])
        return QFile::decodeName(found->pw_name);
    for (const char *variable : {"USER", "LOGNAME"}) {
        const QByteArray name = qgetenv(variable);
        if (!name.isEmpty())
            return QFile::decodeName(name);
    }
    return QString::number(uid);
}
