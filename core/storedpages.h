#ifndef STOREDPAGES_H
#define STOREDPAGES_H

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

// The pages this run stored, in capture order: the document the list of
// tiles shows and a merge reads. Views listen to its signals.
class StoredPages : public QObject
{
    Q_OBJECT

public:
    struct Page
    {
        QString shownPath;     // what the list shows and opens
        QString pagePath;      // the page image a merge takes
        bool pdf = false;      // stored as a single-page PDF: the scan knew its format
        bool jpegPage = true;  // pagePath is a JPEG the camera wrote, so a merge takes it
    };

    using QObject::QObject;

    int count() const { return m_pages.size(); }
    Page at(int row) const { return m_pages.at(row); }
    QList<Page> all() const { return m_pages; }
    QStringList shownPaths() const;
    QStringList pagePaths() const;

    // Appends a page and returns a key that finds its row however rows move.
    quint64 append(const Page &page);
    // Puts a page at `row` (the rows from there on move down one); the row
    // count appends. Returns its key as append does.
    quint64 insertAt(int row, const Page &page);
    // The row of the page appended under `key`, or -1 once it is gone.
    int rowOf(quint64 key) const { return m_keys.indexOf(key); }
    bool removeAt(int row);
    // Moves the page at `from` so that it ends at row `to`; the others keep
    // their order. False (nothing moves) unless both are rows and differ.
    bool move(int from, int to);
    // The names a save actually used, when a taken name made it move on;
    // pageRenamed says so when they differ from the row's.
    void setPaths(int row, const QString &shownPath, const QString &pagePath);
    // Removes the files of the given rows from disk and then the rows; a file
    // that stays on disk keeps its row. A PDF page's private page image goes
    // with it. Returns the paths not removed.
    QStringList deleteFiles(const QList<int> &rows);

signals:
    void pageAdded(const QString &shownPath, bool pdf);
    void pageInserted(int row, const QString &shownPath, bool pdf);
    void pageRemoved(int row);
    void pageMoved(int from, int to);
    void pageRenamed(int row, const QString &shownPath);

private:
    QList<Page> m_pages;
    QList<quint64> m_keys; // parallel to m_pages
    quint64 m_nextKey = 1;
};

#endif
