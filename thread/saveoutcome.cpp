#include "thread/saveoutcome.h"

#include <cerrno>

SaveOutcome SaveOutcome::success(const QString &path, const QString &pagePath)
{
    SaveOutcome o;
    o.written = true;
    o.path = path;
    o.pagePath = pagePath;
    return o;
}

SaveOutcome SaveOutcome::failure(const QString &path, const QString &reason, const QString &detail)
{
    SaveOutcome o;
    o.path = path;
    o.reason = reason;
    o.detail = detail;
    return o;
}

QString SaveOutcome::message() const
{
    if (written)
        return QString();
    return QStringLiteral("文件 %1 未能保存：%2。").arg(path, reason);
}

QString fileFailureReason(int err)
{
    switch (err) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return QStringLiteral("磁盘空间不足");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入该文件夹的权限");
    case EROFS:
        return QStringLiteral("文件夹是只读的");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件夹不存在");
    case ENAMETOOLONG:
        return QStringLiteral("文件路径过长");
    case EIO:
        return QStringLiteral("磁盘读写出错");
    default:
        return QStringLiteral("写入文件失败");
    }
}
