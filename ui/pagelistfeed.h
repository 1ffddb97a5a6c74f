// The list's item model as a picture of this run's stored pages. Every
// change reaches the model through the pages' own signals, so no other code
// edits the model and the tiles cannot drift from what a merge reads.
#ifndef PAGELISTFEED_H
#define PAGELISTFEED_H

#include <QObject>
#include <QString>

class QStandardItem;
class QStandardItemModel;
class StoredPages;

class PageListFeed : public QObject
{
    Q_OBJECT

public:
    // Fills `model` with the rows `pages` has now and keeps it in step; goes
    // with the model.
    PageListFeed(StoredPages &pages, QStandardItemModel *model);

private:
    void append(const QString &shownPath, bool pdf);
    void insert(int row, const QString &shownPath, bool pdf);
    void remove(int row);
    void move(int from, int to);
    void rename(int row, const QString &shownPath);

    QStandardItemModel *m_model;
};

#endif
