#include "app/guardlock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const int kPollMs = 10;

QString systemReason()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

GuardLock::GuardLock(const QString &path) : m_path(path) {}

GuardLock::~GuardLock()
{
    close();
}

void GuardLock::setPath(const QString &path)
{
    close();
    m_path = path;
}

bool GuardLock::acquire(int timeoutMs, QString *why)
{
    if (m_fd < 0) {
        m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_fd < 0) {
            *why = m_path + ": " + systemReason();
            return false;
        }
    }
    QElapsedTimer waited;
    waited.start();
    // flock has no timed form: poll without blocking until the time is up.
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            *why = m_path + ": " + systemReason();
            return false;
        }
        if (waited.elapsed() >= timeoutMs) {
            *why = QString("the lock %1 stayed taken for %2 ms").arg(m_path).arg(timeoutMs);
            return false;
        }
        QThread::msleep(kPollMs);
    }
    m_held = true;
    return true;
}

void GuardLock::release()
{
    if (!m_held)
        return;
    ::flock(m_fd, LOCK_UN);
    m_held = false;
}

void GuardLock::close()
{
    release();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
