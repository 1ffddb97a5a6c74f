#include "runguard.h"

QString generateKeyHash(const QString &key, const QString &salt)
{
    return key + salt;
}

RunGuard::RunGuard(const QString &key)
    : key(key), memLockKey(generateKeyHash(key, "_memLockKey")),
      sharedmemKey(generateKeyHash(key, "_sharedmemKey")), sharedMem(sharedmemKey), memLock(memLockKey, 1)
{
}

RunGuard::~RunGuard()
{
    release();
}

bool RunGuard::isAnotherRunning()
{
    return false;
}

bool RunGuard::tryToRun()
{
    return true;
}

void RunGuard::release() {}
