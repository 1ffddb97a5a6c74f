#include "ui/pagelistfeed.h"

#include "core/storedpages.h"
#include "ui/picitemdata.h"

#include <QFileInfo>
#include <QStandardItemModel>

namespace {

PicItemData itemData(const QString &shownPath, PicItemData::PageKind kind)
{
    PicItemData data;
    data.picPath = shownPath;
    data.picName = QFileInfo(shownPath).fileName();
    data.pageKind = kind;
    return data;
}

// No text and no icon: the delegate paints the tile from the item's data.
QStandardItem *newItem(const QString &shownPath, bool pdf)
{
    auto *item = new QStandardItem;
    const auto kind = pdf ? PicItemData::PageKind::Pdf : PicItemData::PageKind::Jpeg;
    item->setData(QVariant::fromValue(itemData(shownPath, kind)), PicItemData::Role);
    return item;
}

} // namespace

PageListFeed::PageListFeed(StoredPages &pages, QStandardItemModel *model) : QObject(model), m_model(model)
{
    m_model->removeRows(0, m_model->rowCount());
    for (const StoredPages::Page &page : pages.all())
        append(page.shownPath, page.pdf);
    connect(&pages, &StoredPages::pageAdded, this, &PageListFeed::append);
    connect(&pages, &StoredPages::pageInserted, this, &PageListFeed::insert);
    connect(&pages, &StoredPages::pageRemoved, this, &PageListFeed::remove);
    connect(&pages, &StoredPages::pageMoved, this, &PageListFeed::move);
    connect(&pages, &StoredPages::pageRenamed, this, &PageListFeed::rename);
}

void PageListFeed::append(const QString &shownPath, bool pdf)
{
    m_model->appendRow(newItem(shownPath, pdf));
}

void PageListFeed::insert(int row, const QString &shownPath, bool pdf)
{
    m_model->insertRow(row, newItem(shownPath, pdf));
}

void PageListFeed::remove(int row)
{
    m_model->removeRow(row);
}

void PageListFeed::move(int from, int to)
{
    m_model->insertRow(to, m_model->takeRow(from));
}

void PageListFeed::rename(int row, const QString &shownPath)
{
    QStandardItem *item = m_model->item(row);
    if (!item)
        return;
    const PicItemData old = item->data(PicItemData::Role).value<PicItemData>();
    item->setData(QVariant::fromValue(itemData(shownPath, old.pageKind)), PicItemData::Role);
}
