#include "app/guardfolder.h"

#include <QDebug>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// lstat, not stat: a symbolic link planted in the shared temporary folder
// would lead our files wherever its owner likes.
bool isPrivateFolder(const QString &path, QString *why)
{
    struct stat state;
    if (::lstat(QFile::encodeName(path).constData(), &state) != 0) {
        *why = path + ": " + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (S_ISLNK(state.st_mode))
        *why = path + " is a symbolic link";
    else if (!S_ISDIR(state.st_mode))
        *why = path + " is not a folder";
    else if (state.st_uid != ::geteuid())
        *why = path + " belongs to user " + QString::number(state.st_uid);
    else if (state.st_mode & (S_IWGRP | S_IWOTH))
        *why = path + " may be written by other users";
    else
        return true;
    return false;
}

} // namespace

QString GuardFolder::locate(QString *why)
{
    const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty()) {
        QString unusable;
        if (QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime, &unusable))
            return runtime;
        qDebug("run guard: XDG_RUNTIME_DIR is not usable (%s)", qUtf8Printable(unusable.isEmpty() ? runtime : unusable));
    }
    const QString own = QDir::tempPath() + "/quillo-" + QString::number(::geteuid());
    if (::mkdir(QFile::encodeName(own).constData(), 0700) != 0 && errno != EEXIST) {
        *why = own + ": " + QString::fromLocal8Bit(std::strerror(errno));
        return QString();
    }
    if (!isPrivateFolder(own, why))
        return QString();
    return own;
}
