#include "thread/pagefolder.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace pagefolder {
namespace {

constexpr mode_t kPrivateFolder = 0700;

bool refuse(QString *reason, const QString &why)
{
    qDebug("page folder %s not used: %s\n", qUtf8Printable(path()), qUtf8Printable(why));
    if (reason)
        *reason = why;
    return false;
}

} // namespace

QString path()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/quillo/pages");
}

bool prepare(QString *reason)
{
    const QString folder = path();
    const QByteArray native = QFile::encodeName(folder);
    // The parent ("quillo") may be shared with other caches of ours; only the
    // pages folder itself must be private.
    if (!QDir().mkpath(QFileInfo(folder).absolutePath()))
        return refuse(reason, QStringLiteral("cannot create %1").arg(QFileInfo(folder).absolutePath()));
    if (::mkdir(native.constData(), kPrivateFolder) != 0 && errno != EEXIST)
        return refuse(reason, QStringLiteral("cannot create it: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    struct stat st;
    if (::lstat(native.constData(), &st) != 0)
        return refuse(reason, QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISLNK(st.st_mode))
        return refuse(reason, QStringLiteral("it is a symlink"));
    if (!S_ISDIR(st.st_mode))
        return refuse(reason, QStringLiteral("it is not a folder"));
    if (st.st_uid != ::geteuid())
        return refuse(reason, QStringLiteral("it belongs to user %1").arg(st.st_uid));
    if ((st.st_mode & 07777) != kPrivateFolder && ::chmod(native.constData(), kPrivateFolder) != 0)
        return refuse(reason, QStringLiteral("cannot make it private: %1")
                                  .arg(QString::fromLocal8Bit(std::strerror(errno))));
    return true;
}

QStringList clear()
{
    QStringList removed;
    if (!prepare())
        return removed;
    QDir dir(path());
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (dir.remove(name))
            removed.append(name);
    }
    if (!removed.isEmpty())
        qDebug("removed %d page images left by an earlier run\n", int(removed.size()));
    return removed;
}

void removePage(const QString &pagePath)
{
    const QFileInfo page(pagePath);
    if (pagePath.isEmpty() || page.absolutePath() != QFileInfo(path()).absoluteFilePath())
        return;
    if (page.exists() && !QFile::remove(pagePath))
        qDebug("page image %s could not be removed\n", qUtf8Printable(pagePath));
}

} // namespace pagefolder
