#ifndef RUNGUARD_H
#define RUNGUARD_H

#include "app/guardlock.h"

#include <QSharedMemory>
#include <QString>

QString generateKeyHash(const QString &key, const QString &salt);

// One instance per user: a shared memory segment whose existence means
// "running", looked at only under the guard's lock. Both are named after the
// key and the user's id, and their files lie in a folder only this user can
// write (GuardFolder), so other accounts neither share nor block them.
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

    // The file the guard locks, for tests that hold it.
    QString lockPath() const { return memLock.path(); }

private:
    bool dropStaleSegment();
    bool lock();

    const QString key;
    const QString memLockKey;
    const QString sharedmemKey;
    // Why the guard cannot work; a start then refuses. Empty while it can.
    QString problem;
    const QString folder;
    QSharedMemory sharedMem;
    GuardLock memLock;
};

#endif
