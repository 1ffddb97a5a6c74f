#ifndef RUNGUARD_H
#define RUNGUARD_H

#include <QSharedMemory>
#include <QString>
#include <QSystemSemaphore>

QString generateKeyHash(const QString &key, const QString &salt);

// One instance per machine: a named shared memory segment whose existence
// means "running", looked at only under a named system semaphore.
class RunGuard
{
public:
    explicit RunGuard(const QString &guardKey);
    ~RunGuard();
    RunGuard(const RunGuard &) = delete;
    RunGuard &operator=(const RunGuard &) = delete;

    bool isAnotherRunning();
    bool tryToRun();
    void release();

private:
    bool dropStaleSegment();

    const QString key;
    const QString memLockKey;
    const QString sharedmemKey;
    QSharedMemory sharedMem;
    QSystemSemaphore memLock;
};

#endif
