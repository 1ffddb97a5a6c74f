#include "app/runguard.h"

#include <QCryptographicHash>

QString generateKeyHash(const QString &key, const QString &salt)
{
    QByteArray data;
    data.append(key.toUtf8());
    data.append(salt.toUtf8());
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
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
    if (!created && sharedMem.error() == QSharedMemory::AlreadyExists) {
        // The System V key keeps only part of the key file's inode: a dead
        // instance's segment, whose key file went with its temporary folder,
        // can match a new key file. Drop it (unless someone holds it) and
        // try once more with a handle made from the key file as it is now.
        dropStaleSegment();
        sharedMem.setNativeKey(QString());
        sharedMem.setKey(sharedmemKey);
        created = sharedMem.create(8);
    }
    memLock.release();
    if (!created) {
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
