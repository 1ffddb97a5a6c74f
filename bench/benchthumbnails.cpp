// Figures for the thumbnail tiles and the merge into one PDF. Prints, never
// asserts. Baseline: a tile painted by decoding the whole JPEG and copying it
// pixel by pixel into a fixed 3264 x 2448 canvas, as the first design did.
#include "camera/camsdk.h"
#include "bench/scannedpage.h"
#include "core/pagemerge.h"
#include "ui/picitemdata.h"
#include "ui/picitemdelegate.h"
#include "core/tilegeometry.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <memory>

namespace {

class BaselineDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override { return QSize(164, 164); }
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        painter->save();
        const PicItemData data = index.data(Qt::UserRole + 1).value<PicItemData>();
        if (!QFileInfo::exists(data.picPath)) {
            painter->restore();
            return;
        }
        const QRectF rect = tile::tileRect(option.rect);
        QPainterPath pathMain;
        pathMain.addRoundedRect(tile::cardRect(rect), 18, 18, Qt::AbsoluteSize);
        painter->fillPath(pathMain, Qt::white);

        QImage img1(3264, 2448, QImage::Format_RGB888);
        QFile file(data.picPath);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        long lWidth = 0, lHeight = 0; // the original library always decoded in full
        unsigned char *dstBuf = nullptr;
        Cam_readBufFromJpegBuf(reinterpret_cast<const unsigned char *>(bytes.constData()), bytes.size(), &lWidth,
                               &lHeight, &dstBuf);
        for (long y = 0; y < lHeight; ++y)
            for (long x = 0; x < lWidth; ++x) {
                const long i = y * lWidth * 3 + x * 3;
                if (x < 3264 && y < 2448)
                    img1.setPixel(int(x), int(y), qRgb(dstBuf[i], dstBuf[i + 1], dstBuf[i + 2]));
            }
        delete[] dstBuf;
        const QSize shown = tile::displayedSize(tile::Kind::Jpeg, lWidth, lHeight);
        if (!shown.isEmpty())
            painter->drawImage(tile::pictureRect(tile::Kind::Jpeg, rect, shown), img1,
                               QRect(0, 0, int(lWidth), int(lHeight)));
        QFont font;
        font.setFamilies({"SourceHanSansSC-Normal", "SourceHanSansSC"});
        font.setPointSize(12);
        painter->setFont(font);
        const QString name = tile::shortenedName(data.picName);
        const int fontWidth = tile::cappedNameWidth(painter->fontMetrics().horizontalAdvance(name));
        painter->setPen(QColor("#526A7F"));
        painter->drawText(tile::nameRect(tile::Kind::Jpeg, rect, fontWidth), name, QTextOption());
        painter->restore();
    }
};

QModelIndex itemFor(QStandardItemModel &model, const QString &path)
{
    auto *item = new QStandardItem;
    item->setData(QVariant::fromValue(PicItemData{path, QFileInfo(path).fileName()}), Qt::UserRole + 1);
    model.appendRow(item);
    return item->index();
}

double msPerTile(QAbstractItemDelegate &delegate, const QModelIndex &index, int rounds)
{
    QImage canvas(164, 164, QImage::Format_RGB32);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 164, 164);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i) {
        canvas.fill(Qt::lightGray);
        QPainter painter(&canvas);
        delegate.paint(&painter, option, index);
    }
    return double(timer.nsecsElapsed()) / 1e6 / rounds;
}

// Renders a list of the tiles, scrolled from top to bottom one view height
// at a time, and returns the milliseconds taken.
double msForScrolledList(QAbstractItemDelegate *delegate, QStandardItemModel &model)
{
    QListView view;
    view.setItemDelegate(delegate);
    view.setModel(&model);
    view.setUniformItemSizes(true);
    view.resize(190, 700);
    QImage target(view.size(), QImage::Format_RGB32);
    QElapsedTimer timer;
    timer.start();
    QScrollBar *bar = view.verticalScrollBar();
    view.render(&target);
    for (int pos = 0; pos <= bar->maximum(); pos += view.viewport()->height()) {
        bar->setValue(pos);
        view.render(&target);
    }
    bar->setValue(bar->maximum());
    view.render(&target);
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString landscape = dir.filePath("20240101120000001.jpg");
    const QString portrait = dir.filePath("20240101120000002.jpg");
    writeScannedPage(landscape, 3264, 2448, 1);
    writeScannedPage(portrait, 2448, 3264, 2);
    printf("page JPEG: 3264x2448, %lld bytes\n", QFileInfo(landscape).size());

    QStandardItemModel model;
    const QModelIndex landscapeItem = itemFor(model, landscape);
    const QModelIndex portraitItem = itemFor(model, portrait);
    PicItemDelegate delegate(nullptr);
    BaselineDelegate baseline(nullptr);

    msPerTile(delegate, landscapeItem, 2); // warm caches and plugins
    const double baseTile = msPerTile(baseline, landscapeItem, 5);
    const double ourTile = msPerTile(delegate, landscapeItem, 40);
    const double ourPortrait = msPerTile(delegate, portraitItem, 40);
    printf("one tile, 3264x2448 JPEG: baseline %.1f ms, now %.2f ms (portrait %.2f ms), %.1fx cheaper "
           "(target 8x)\n",
           baseTile, ourTile, ourPortrait, baseTile / ourTile);

    QStandardItemModel list;
    QStringList pages;
    QList<StoredPages::Page> scanned;
    for (int i = 0; i < 50; ++i) {
        const QString copy = dir.filePath(QString("202401011200%1.jpg").arg(i, 5, 10, QChar('0')));
        QFile::copy(i % 2 ? portrait : landscape, copy);
        itemFor(list, copy);
        if (i < 10) {
            pages << copy;
            scanned << StoredPages::Page{copy, copy};
        }
    }
    const double baseList = msForScrolledList(&baseline, list);
    const double ourList = msForScrolledList(&delegate, list);
    printf("list of 50 tiles scrolled through (190x700 view): baseline %.0f ms, now %.0f ms, %.1fx\n", baseList,
           ourList, baseList / ourList);

    // Merge ten pages through the same loop as the merge command.
    const QString merged = dir.filePath("merged.pdf");
    QElapsedTimer timer;
    timer.start();
    // The merge's own trace lines are not figures: send them away.
    fflush(stdout);
    const int savedStdout = dup(STDOUT_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    const int added = mergeJpegPages(scanned, merged).pagesWritten;
    fflush(stdout);
    dup2(savedStdout, STDOUT_FILENO);
    close(devNull);
    close(savedStdout);
    const double mergeMs = double(timer.nsecsElapsed()) / 1e6;
    qint64 jpegBytes = 0;
    for (const QString &p : pages)
        jpegBytes += QFileInfo(p).size();
    printf("merge of 10 pages: %d pages, %.0f ms, %.1f MB (JPEGs together %.1f MB)\n", added, mergeMs,
            QFileInfo(merged).size() / 1e6, jpegBytes / 1e6);

    const QString reference = dir.filePath("img2pdf.pdf");
    timer.restart();
    const int rc = QProcess::execute("img2pdf", QStringList{"-o", reference} + pages);
    const double refMs = double(timer.nsecsElapsed()) / 1e6;
    if (rc == 0)
        printf("img2pdf on the same 10 JPEGs: %.0f ms, %.1f MB\n", refMs, QFileInfo(reference).size() / 1e6);
    else
        printf("img2pdf not available (exit %d)\n", rc);
    return 0;
}
