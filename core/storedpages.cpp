#include "core/storedpages.h"

#include "thread/pagefolder.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <functional>

QStringList StoredPages::shownPaths() const
{
    QStringList paths;
    for (const Page &page : m_pages)
        paths.append(page.shownPath);
    return paths;
}

QStringList StoredPages::pagePaths() const
{
    QStringList paths;
    for (const Page &page : m_pages)
        paths.append(page.pagePath);
    return paths;
}

quint64 StoredPages::append(const Page &page)
{
    const quint64 key = m_nextKey++;
    m_pages.append(page);
    m_keys.append(key);
    emit pageAdded(page.shownPath, page.pdf);
    return key;
}

quint64 StoredPages::insertAt(int row, const Page &page)
{
    if (row < 0 || row >= m_pages.size())
        return append(page);
    const quint64 key = m_nextKey++;
    m_pages.insert(row, page);
    m_keys.insert(row, key);
    emit pageInserted(row, page.shownPath, page.pdf);
    return key;
}

bool StoredPages::removeAt(int row)
{
    if (row < 0 || row >= m_pages.size())
        return false;
    m_pages.removeAt(row);
    m_keys.removeAt(row);
    emit pageRemoved(row);
    return true;
}

bool StoredPages::move(int from, int to)
{
    if (from < 0 || from >= m_pages.size() || to < 0 || to >= m_pages.size() || from == to)
        return false;
    m_pages.move(from, to);
    m_keys.move(from, to);
    emit pageMoved(from, to);
    return true;
}

void StoredPages::setPaths(int row, const QString &shownPath, const QString &pagePath)
{
    if (row < 0 || row >= m_pages.size())
        return;
    Page &page = m_pages[row];
    if (page.shownPath == shownPath && page.pagePath == pagePath)
        return;
    page.shownPath = shownPath;
    page.pagePath = pagePath;
    emit pageRenamed(row, shownPath);
}

QStringList StoredPages::deleteFiles(const QList<int> &rows)
{
    QList<int> doomed;
    QStringList failed;
    for (const int row : rows) {
        if (row < 0 || row >= m_pages.size() || doomed.contains(row))
            continue;
        const QString path = m_pages.at(row).shownPath;
        // The list never hides a file the user believes gone.
        if (QFileInfo::exists(path) && !QFile::remove(path)) {
            qDebug() << "delete: could not remove" << path << "from disk; the row stays";
            failed.append(path);
            continue;
        }
        pagefolder::removePage(m_pages.at(row).pagePath);
        doomed.append(row);
    }
    // Highest first, so that lower rows keep their numbers.
    std::sort(doomed.begin(), doomed.end(), std::greater<int>());
    for (const int row : qAsConst(doomed))
        removeAt(row);
    return failed;
}
