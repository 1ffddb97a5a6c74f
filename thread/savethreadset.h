#ifndef SAVETHREADSET_H
#define SAVETHREADSET_H

#include <QList>
#include <QObject>
#include <QThread>

// The save threads still running, each with the worker that runs on it.
// Scans may overlap: each thread is stopped and released when its own
// worker reports the end. Destroying the set lets every running save finish
// first, so closing the window never loses a page or leaves a thread behind.
class SaveThreadSet
{
public:
    SaveThreadSet() = default;
    ~SaveThreadSet();
    SaveThreadSet(const SaveThreadSet &) = delete;
    SaveThreadSet &operator=(const SaveThreadSet &) = delete;

    // Takes ownership of `thread`; `worker` is only used to find it again
    // (it deletes itself when the thread finishes).
    void add(QObject *worker, QThread *thread);

    // Ends the event loop of `worker`'s thread, waits for it and deletes the
    // thread. False when `worker` is not in the set.
    bool finish(const QObject *worker);

    // Lets every save run to its end, then stops and deletes all threads.
    void waitForAll();

    bool isEmpty() const { return m_running.isEmpty(); }
    int count() const { return m_running.size(); }
    bool contains(const QObject *worker) const;
    QList<const QObject *> workers() const;

private:
    struct Entry
    {
        const QObject *worker;
        QThread *thread;
    };
    static void stopAndDelete(QThread *thread);

    QList<Entry> m_running;
};

#endif
