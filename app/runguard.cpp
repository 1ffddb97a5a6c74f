#include "app/runguard.h"

#include "app/guardfolder.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QFile>

#include <unistd.h>

QString generateKeyHash(const QString &key, const QString &salt)
{
    QByteArray data;
    data.append(key.toUtf8());
    data.append(salt.toUtf8());
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
}

namespace {

const int kStaleSegmentRounds = 8;
// Every step under the lock is short: one held longer than this belongs to
// a start that is stuck, and waiting on it would hang ours.
const int kLockWaitMs = 3000;

// The key as the names are made from it: each user's instances meet only
// each other.
QString userKey(const QString &key)
{
    return key + QStringLiteral("_uid") + QString::number(::geteuid());
}

// Qt makes the key file only as it creates the segment; made beforehand,
// the file shows which segment its System V key already stands for.
void makeKeyFile(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Append);
}

} // namespace

// The segment is named by a native key, the path of its key file in the
// private folder: a segment named that way gets no system semaphore of Qt's
// own around each attach and detach, which racing starts could leave taken.
RunGuard::RunGuard(const QString &guardKey)
    : key(guardKey), memLockKey(generateKeyHash(userKey(key), "_memLockKey")),
      sharedmemKey(generateKeyHash(userKey(key), "_sharedmemKey")), folder(GuardFolder::locate(&problem))
{
    if (folder.isEmpty()) {
        qDebug("run guard: no private folder for the guard: %s", qUtf8Printable(problem));
        return;
    }
    sharedMem.setNativeKey(folder + "/quillo-segment-" + sharedmemKey);
    memLock.setPath(folder + "/quillo-lock-" + memLockKey);
    if (!lock())
        return;
    dropStaleSegment();
    memLock.release();
}

bool RunGuard::lock()
{
    if (!problem.isEmpty())
        return false;
    if (memLock.acquire(kLockWaitMs, &problem))
        return true;
    qDebug("run guard: %s", qUtf8Printable(problem));
    return false;
}

// An instance that died without releasing leaves its segment behind; on
// Unix it goes away, with its key file, once the last handle detaches,
// which this one is. A segment a running instance holds stays. Returns
// whether a segment was dropped. Called under memLock.
bool RunGuard::dropStaleSegment()
{
    QSharedMemory fix;
    fix.setNativeKey(sharedMem.nativeKey());
    if (!fix.attach())
        return false;
    fix.detach();
    return !QFile::exists(fix.nativeKey());
}

RunGuard::~RunGuard()
{
    release();
}

// A guard that cannot look counts the key as taken: the start refuses.
bool RunGuard::isAnotherRunning()
{
    if (sharedMem.isAttached())
        return false;
    if (!lock())
        return true;
    const bool isRunning = sharedMem.attach();
    if (isRunning)
        sharedMem.detach();
    memLock.release();

    if (isRunning)
        qDebug("run guard: another instance of this user is running");
    return isRunning;
}

bool RunGuard::tryToRun()
{
    if (isAnotherRunning() || !lock())
        return false;
    // The System V key keeps only part of the key file's inode: a dead
    // instance's segment, whose key file went with its folder, can match a
    // new key file. So the key file is made first and what its key finds is
    // dropped, unless someone holds it; the file made anew may meet another
    // dead instance's segment, so a few rounds. A segment someone holds
    // stays, and the create below refuses the start.
    for (int round = 0; round < kStaleSegmentRounds; ++round) {
        makeKeyFile(sharedMem.nativeKey());
        if (!dropStaleSegment())
            break;
    }
    const bool created = sharedMem.create(8);
    memLock.release();
    if (!created) {
        // Says whether another instance holds it or the system refused.
        qDebug() << "run guard: the segment cannot be created:" << sharedMem.errorString();
        release();
        return false;
    }
    return true;
}

// Without the lock the segment is left as it is: the process's end detaches
// it, and the next start drops it.
void RunGuard::release()
{
    if (!sharedMem.isAttached() || !lock())
        return;
    sharedMem.detach();
    memLock.release();
}
