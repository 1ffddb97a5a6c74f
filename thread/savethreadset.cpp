#include "thread/savethreadset.h"

SaveThreadSet::~SaveThreadSet()
{
    waitForAll();
}

void SaveThreadSet::add(QObject *worker, QThread *thread)
{
    m_running.append(Entry{worker, thread});
}

bool SaveThreadSet::contains(const QObject *worker) const
{
    for (const Entry &e : m_running) {
        if (e.worker == worker)
            return true;
    }
    return false;
}

QList<const QObject *> SaveThreadSet::workers() const
{
    QList<const QObject *> list;
    for (const Entry &e : m_running)
        list.append(e.worker);
    return list;
}

bool SaveThreadSet::finish(const QObject *worker)
{
    for (int i = 0; i < m_running.size(); ++i) {
        if (m_running.at(i).worker == worker) {
            QThread *thread = m_running.takeAt(i).thread;
            stopAndDelete(thread);
            return true;
        }
    }
    return false;
}

void SaveThreadSet::waitForAll()
{
    while (!m_running.isEmpty())
        stopAndDelete(m_running.takeFirst().thread);
}

void SaveThreadSet::stopAndDelete(QThread *thread)
{
    // The worker does its whole job in the slot connected to started(), so
    // a quit() asked for now takes effect only once the save has returned;
    // a thread not yet started runs the save and then stops as well.
    thread->quit();
    thread->wait();
    delete thread;
}
