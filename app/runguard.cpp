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
    // An instance that died without releasing leaves its segment behind; on
    // Unix it goes away once the last handle detaches, which this one is.
    memLock.acquire();
    {
        QSharedMemory fix(sharedmemKey);
        fix.attach();
    }
    memLock.release();
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
    const bool created = sharedMem.create(8);
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
