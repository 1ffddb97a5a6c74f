#include "app/runguard.h"

#include <QCryptographicHash>
#include <QDebug>

QString generateKeyHash(const QString &key, const QString &salt)
{
    QByteArray data;
    data.append(key.toUtf8());
    data.append(salt.toUtf8());
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
}

namespace {
const int kStaleSegmentRetries = 8;
}

RunGuard::RunGuard(const QString &guardKey)
    : key(guardKey), memLockKey(generateKeyHash(key, "_memLockKey")),
      sharedmemKey(generateKeyHash(key, "_sharedmemKey")), sharedMem(sharedmemKey),
      memLock(memLockKey, 1, QSystemSemaphore::Open)
{
    memLock.acquire();
    dropStaleSegment();
    memLock.release();
}

// An instance that died without releasing leaves its segment behind; on
// Unix it goes away once the last handle detaches, which this one is. A
// segment a running instance holds stays. Called under memLock.
void RunGuard::dropStaleSegment()
{
    QSharedMemory fix(sharedmemKey);
    fix.attach();
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
    bool created = sharedMem.create(8);
    // The System V key keeps only part of the key file's inode: a dead
    // instance's segment, whose key file went with its temporary folder,
    // can match a new key file. Drop it (unless someone holds it) and try
    // again with a key file made anew; that one may meet another dead
    // instance's segment, so a few times. A segment someone holds keeps
    // its key file, so it keeps matching and the start is refused.
    for (int attempt = 0; attempt < kStaleSegmentRetries && !created
                          && sharedMem.error() == QSharedMemory::AlreadyExists;
         ++attempt) {
        dropStaleSegment();
        sharedMem.setNativeKey(QString());
        sharedMem.setKey(sharedmemKey);
        created = sharedMem.create(8);
    }
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
