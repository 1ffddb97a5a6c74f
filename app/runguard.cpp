#include "app/runguard.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QFile>

QString generateKeyHash(const QString &key, const QString &salt)
{
    QByteArray data;
    data.append(key.toUtf8());
    data.append(salt.toUtf8());
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
}

namespace {

const int kStaleSegmentRounds = 8;

// The segment's name as Qt makes it from the key, handed over as a native
// key: a segment named that way gets no system semaphore of Qt's own around
// each attach and detach. memLock already keeps the guard's steps apart, and
// that second lock, dropped and made anew by every racing start, could be
// left taken by nobody: the next detach then waited for ever.
QString segmentName(const QString &sharedmemKey)
{
    return QSharedMemory(sharedmemKey).nativeKey();
}

// Qt makes the key file only as it creates the segment; made beforehand,
// the file shows which segment its System V key already stands for.
void makeKeyFile(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Append);
}

} // namespace

RunGuard::RunGuard(const QString &guardKey)
    : key(guardKey), memLockKey(generateKeyHash(key, "_memLockKey")),
      sharedmemKey(generateKeyHash(key, "_sharedmemKey")),
      memLock(memLockKey, 1, QSystemSemaphore::Open)
{
    sharedMem.setNativeKey(segmentName(sharedmemKey));
    memLock.acquire();
    dropStaleSegment();
    memLock.release();
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

bool RunGuard::isAnotherRunning()
{
    if (sharedMem.isAttached())
        return false;

    memLock.acquire();
    const bool isRunning = sharedMem.attach();
    if (isRunning)
        sharedMem.detach();
    memLock.release();

    return isRunning;
}

bool RunGuard::tryToRun()
{
    if (isAnotherRunning())
        return false;

    memLock.acquire();
    // The System V key keeps only part of the key file's inode: a dead
    // instance's segment, whose key file went with its temporary folder, can
    // match a new key file. So the key file is made first and what its key
    // finds is dropped, unless someone holds it; the file made anew may
    // meet another dead instance's segment, so a few rounds. A segment
    // someone holds stays, and the create below refuses the start.
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

void RunGuard::release()
{
    memLock.acquire();
    if (sharedMem.isAttached())
        sharedMem.detach();
    memLock.release();
}
