#ifndef GUARDLOCK_H
#define GUARDLOCK_H

#include <QString>

// The run guard's lock: an exclusive flock on a file of the guard's private
// folder. The system drops it with the process that holds it, so a killed
// start leaves nothing taken, and a taking that waits too long gives up
// instead of hanging the start.
class GuardLock
{
public:
    explicit GuardLock(const QString &path = QString());
    ~GuardLock();
    GuardLock(const GuardLock &) = delete;
    GuardLock &operator=(const GuardLock &) = delete;

    void setPath(const QString &path);
    QString path() const { return m_path; }

    // False, with `why` set, when the file cannot be opened or the lock is
    // still held by another after `timeoutMs`.
    bool acquire(int timeoutMs, QString *why);
    void release();

private:
    void close();

    QString m_path;
    int m_fd = -1;
    bool m_held = false;
};

#endif
