// The stored-files list: adding rows, the selection, the context menu,
// deleting exactly the chosen row, and opening a file on double click.
#include "tests/shared/mainwindowfixture.h"
#include "tests/shared/modalanswerer.h"
#include "ui/picitemdata.h"
#include "core/stylenoisefilter.h"

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <memory>

// Records what the desktop would be asked to open.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

class TestImageList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void addKeepsOrderAndRecord();
    void addScrollsToNewest();
    void selectedFileFollowsSelection();
    void deleteWithNothingSelectedChangesNothing();
    void deleteOnlyItem();
    void deleteThirdOfFiveKeepsTheOthersAndTheirPages();
    void deleteOneOfTwoRowsSharingAPath();
    void deleteRowWhoseFileIsAlreadyGone();
    void menuActionDeletes();
    void noMenuOnEmptySpace();
    void menuOnItem();
    void doubleClickOpensRowFile();
    void singleClickOnlySelects();
    void reorderMovesTilesAndPagesAlike_data();
    void reorderMovesTilesAndPagesAlike();
    void tilesFollowEveryPageChange_data();
    void tilesFollowEveryPageChange();

private:
    // Adds a row the way a scan does: both lists first, then the item.
    void addCapture(const QString &shown, const QString &page);
    QString makeFile(const QString &name);
    void selectRow(int row);
    QStringList modelPaths() const;
    QStringList selectedFiles() const;
    // Runs `call` while a timer watches for a popup menu and closes it.
    QMenu *popupDuring(const std::function<void()> &call);

    std::unique_ptr<CamMainWindow> w;
    std::unique_ptr<QTemporaryDir> dir;
};

static void initQuilloResources()
{
    Q_INIT_RESOURCE(quillo);
}

void TestImageList::initTestCase()
{
    initQuilloResources();
    StyleNoiseFilter::install();
}

void TestImageList::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
    ModalAnswerer answerer; // no camera here: the start-up's error box
    w.reset(new CamMainWindow);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
}

void TestImageList::cleanup()
{
    w.reset();
    dir.reset();
}

void TestImageList::addCapture(const QString &shown, const QString &page)
{
    StoredPages::Page stored;
    stored.shownPath = shown;
    stored.pagePath = page;
    stored.pdf = shown.endsWith(".pdf");
    w->session().pages().append(stored);
}

QString TestImageList::makeFile(const QString &name)
{
    const QString path = dir->filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("page");
    return path;
}

void TestImageList::selectRow(int row)
{
    const QModelIndex index = parts(*w).listViewProxyModel->index(row, 0);
    parts(*w).imgListView->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
}

QStringList TestImageList::modelPaths() const
{
    QStringList paths;
    for (int row = 0; row < parts(*w).listViewModel->rowCount(); ++row)
        paths.append(parts(*w).listViewModel->index(row, 0).data(PicItemData::Role).value<PicItemData>().picPath);
    return paths;
}

// What the delete command works on: the files of the selected tiles.
QStringList TestImageList::selectedFiles() const
{
    QStringList paths;
    for (const QModelIndex &index : parts(*w).imgListView->selectionModel()->selectedIndexes())
        paths.append(index.data(PicItemData::Role).value<PicItemData>().picPath);
    return paths;
}

QMenu *TestImageList::popupDuring(const std::function<void()> &call)
{
    QMenu *seen = nullptr;
    QTimer watcher;
    watcher.setInterval(20);
    connect(&watcher, &QTimer::timeout, [&seen] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            seen = menu;
            menu->close();
        }
    });
    watcher.start();
    call();
    // A menu shown without a modal loop would still be open here.
    QTest::qWait(100);
    watcher.stop();
    return seen;
}

void TestImageList::addKeepsOrderAndRecord()
{
    const QString a = makeFile("20260101090000000.jpg");
    const QString b = dir->filePath("20260101090001000.pdf");
    addCapture(a, a);
    addCapture(b, "/tmp/20260101090001000.jpg");
    QCOMPARE(parts(*w).listViewModel->rowCount(), 2);
    QCOMPARE(parts(*w).listViewProxyModel->rowCount(), 2);
    QCOMPARE(modelPaths(), (QStringList{a, b}));

    QStandardItem *item = parts(*w).listViewModel->item(1);
    QVERIFY(item->text().isEmpty());
    QVERIFY(item->icon().isNull());
    const PicItemData data = item->data(PicItemData::Role).value<PicItemData>();
    QCOMPARE(data.picPath, b);
    QCOMPARE(data.picName, QString("20260101090001000.pdf"));
    // The tile is told what the scan stored rather than reading the name.
    QVERIFY(data.pageKind == PicItemData::PageKind::Pdf);
    QVERIFY(parts(*w).listViewModel->item(0)->data(PicItemData::Role).value<PicItemData>().pageKind ==
            PicItemData::PageKind::Jpeg);
}

void TestImageList::addScrollsToNewest()
{
    for (int i = 0; i < 8; ++i)
        addCapture(makeFile(QString("p%1.jpg").arg(i)), dir->filePath(QString("p%1.jpg").arg(i)));
    QApplication::processEvents();
    QScrollBar *bar = parts(*w).imgListView->verticalScrollBar();
    QVERIFY2(bar->maximum() > 0, "eight tiles overflow the column");
    QTRY_COMPARE(bar->value(), bar->maximum());
    const QModelIndex last = parts(*w).listViewProxyModel->index(7, 0);
    QVERIFY(parts(*w).imgListView->viewport()->rect().intersects(parts(*w).imgListView->visualRect(last)));
}

void TestImageList::selectedFileFollowsSelection()
{
    const QString a = makeFile("a.jpg");
    const QString b = makeFile("b.jpg");
    addCapture(a, a);
    addCapture(b, b);
    QVERIFY(selectedFiles().isEmpty());
    selectRow(1);
    QCOMPARE(selectedFiles(), QStringList{b});
    selectRow(0);
    QCOMPARE(selectedFiles(), QStringList{a});
}

void TestImageList::deleteWithNothingSelectedChangesNothing()
{
    const QString a = makeFile("a.jpg");
    const QString b = makeFile("b.jpg");
    addCapture(a, a);
    addCapture(b, b);
    invoke(*w, "slotTableViewMenuDelFile");
    QCOMPARE(modelPaths(), (QStringList{a, b}));
    QCOMPARE(w->session().shownPaths(), (QStringList{a, b}));
    QCOMPARE(w->session().pagePaths(), (QStringList{a, b}));
    QVERIFY(QFile::exists(a));
    QVERIFY(QFile::exists(b));
}

void TestImageList::deleteOnlyItem()
{
    const QString a = makeFile("a.jpg");
    addCapture(a, a);
    selectRow(0);
    invoke(*w, "slotTableViewMenuDelFile");
    QCOMPARE(parts(*w).listViewModel->rowCount(), 0);
    QVERIFY(w->session().shownPaths().isEmpty());
    QVERIFY(w->session().pagePaths().isEmpty());
    QVERIFY(!QFile::exists(a));
    QVERIFY(selectedFiles().isEmpty());
}

// Rows 1 and 3 are one-page PDF captures whose page images lie elsewhere.
void TestImageList::deleteThirdOfFiveKeepsTheOthersAndTheirPages()
{
    const QString a = makeFile("a.jpg");
    const QString b = makeFile("b.pdf");
    const QString bPage = makeFile("b-page.jpg");
    const QString c = makeFile("c.jpg");
    const QString d = makeFile("d.pdf");
    const QString dPage = makeFile("d-page.jpg");
    const QString e = makeFile("e.jpg");
    addCapture(a, a);
    addCapture(b, bPage);
    addCapture(c, c);
    addCapture(d, dPage);
    addCapture(e, e);

    selectRow(2);
    invoke(*w, "slotTableViewMenuDelFile");

    QCOMPARE(modelPaths(), (QStringList{a, b, d, e}));
    QCOMPARE(w->session().shownPaths(), (QStringList{a, b, d, e}));
    QCOMPARE(w->session().pagePaths(), (QStringList{a, bPage, dPage, e}));
    QVERIFY(!QFile::exists(c));
    for (const QString &kept : {a, b, bPage, d, dPage, e})
        QVERIFY2(QFile::exists(kept), qPrintable(kept));
    QVERIFY(parts(*w).imgListView->selectionModel()->selectedIndexes().isEmpty());
}

void TestImageList::deleteOneOfTwoRowsSharingAPath()
{
    const QString a = makeFile("a.jpg");
    const QString b = makeFile("b.jpg");
    addCapture(a, a);
    addCapture(b, b);
    addCapture(a, a);

    selectRow(2);
    invoke(*w, "slotTableViewMenuDelFile");

    QCOMPARE(modelPaths(), (QStringList{a, b}));
    QCOMPARE(w->session().shownPaths(), (QStringList{a, b}));
    QCOMPARE(w->session().pagePaths(), (QStringList{a, b}));
    QVERIFY(!QFile::exists(a));
    QVERIFY(QFile::exists(b));
}

void TestImageList::deleteRowWhoseFileIsAlreadyGone()
{
    const QString a = makeFile("a.jpg");
    const QString gone = dir->filePath("gone.jpg");
    addCapture(a, a);
    addCapture(gone, gone);
    selectRow(1);
    invoke(*w, "slotTableViewMenuDelFile");
    QCOMPARE(modelPaths(), QStringList{a});
    QCOMPARE(w->session().shownPaths(), QStringList{a});
    QVERIFY(QFile::exists(a));
}

void TestImageList::menuActionDeletes()
{
    const QString a = makeFile("a.jpg");
    const QString b = makeFile("b.jpg");
    addCapture(a, a);
    addCapture(b, b);
    selectRow(0);
    parts(*w).listViewMenu->actions().first()->trigger();
    QCOMPARE(modelPaths(), QStringList{b});
    QCOMPARE(w->session().pagePaths(), QStringList{b});
    QVERIFY(!QFile::exists(a));
}

void TestImageList::noMenuOnEmptySpace()
{
    const QString a = makeFile("a.jpg");
    addCapture(a, a);
    const QPoint empty(parts(*w).imgListView->viewport()->width() / 2, parts(*w).imgListView->viewport()->height() - 5);
    QVERIFY(!parts(*w).imgListView->indexAt(empty).isValid());
    QMenu *seen = popupDuring([&] { QMetaObject::invokeMethod(w.get(), "slotListViewContextMenu", Qt::DirectConnection, Q_ARG(QPoint, empty)); });
    QVERIFY(!seen);
    QCOMPARE(modelPaths(), QStringList{a});
}

void TestImageList::menuOnItem()
{
    const QString a = makeFile("a.jpg");
    addCapture(a, a);
    const QPoint onItem = parts(*w).imgListView->visualRect(parts(*w).listViewProxyModel->index(0, 0)).center();
    QMenu *seen = popupDuring([&] { QMetaObject::invokeMethod(w.get(), "slotListViewContextMenu", Qt::DirectConnection, Q_ARG(QPoint, onItem)); });
    QCOMPARE(seen, parts(*w).listViewMenu);
    QCOMPARE(seen->actions().size(), 1);
    QCOMPARE(seen->actions().first()->text(), QString("删除"));
    // Closing the menu without choosing deletes nothing.
    QCOMPARE(modelPaths(), QStringList{a});
    QVERIFY(QFile::exists(a));
}

void TestImageList::doubleClickOpensRowFile()
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler("file", &recorder, "open");
    const QString a = makeFile("a.jpg");
    const QString b = makeFile("b.pdf");
    addCapture(a, a);
    addCapture(b, makeFile("b-page.jpg"));
    QApplication::processEvents();

    const QPoint centre = parts(*w).imgListView->visualRect(parts(*w).listViewProxyModel->index(1, 0)).center();
    // The way a desktop delivers it: a click, then the double click.
    QTest::mouseClick(parts(*w).imgListView->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(parts(*w).imgListView->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QDesktopServices::unsetUrlHandler("file");
    // The PDF of a PDF capture is what opens, not its page image.
    QCOMPARE(recorder.opened, QList<QUrl>{QUrl::fromLocalFile(b)});
}

void TestImageList::singleClickOnlySelects()
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler("file", &recorder, "open");
    const QString a = makeFile("a.jpg");
    addCapture(a, a);
    QApplication::processEvents();
    const QPoint centre = parts(*w).imgListView->visualRect(parts(*w).listViewProxyModel->index(0, 0)).center();
    QTest::mouseClick(parts(*w).imgListView->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::qWait(50);
    QVERIFY(recorder.opened.isEmpty());
    QCOMPARE(selectedFiles(), QStringList{a});

    // A stale index from outside the list opens nothing.
    QMetaObject::invokeMethod(w.get(), "slotImgListViewPressed", Qt::DirectConnection, Q_ARG(QModelIndex, QModelIndex()));
    QDesktopServices::unsetUrlHandler("file");
    QVERIFY(recorder.opened.isEmpty());
}

void TestImageList::reorderMovesTilesAndPagesAlike_data()
{
    QTest::addColumn<int>("selected"); // -1: none
    QTest::addColumn<int>("key");      // with Ctrl; 0: the session moves row 0 to the end
    QTest::addColumn<QList<int>>("order");
    QTest::newRow("Ctrl+Up on the newest") << 3 << int(Qt::Key_Up) << QList<int>{0, 1, 3, 2};
    QTest::newRow("Ctrl+Down on the first") << 0 << int(Qt::Key_Down) << QList<int>{1, 0, 2, 3};
    QTest::newRow("Ctrl+Up on the first") << 0 << int(Qt::Key_Up) << QList<int>{0, 1, 2, 3};
    QTest::newRow("nothing selected") << -1 << int(Qt::Key_Up) << QList<int>{0, 1, 2, 3};
    QTest::newRow("pages moved by the session") << -1 << 0 << QList<int>{1, 2, 3, 0};
}

void TestImageList::reorderMovesTilesAndPagesAlike()
{
    QFETCH(int, selected);
    QFETCH(int, key);
    QFETCH(QList<int>, order);
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QStringList files;
    for (int i = 0; i < 4; ++i) {
        files << makeFile(QString("2026010109000%1000.jpg").arg(i));
        addCapture(files.last(), files.last());
    }
    if (selected >= 0)
        selectRow(selected);
    if (key)
        QTest::keyClick(w.get(), Qt::Key(key), Qt::ControlModifier);
    else
        w->session().pages().move(0, 3);

    QStringList expected;
    for (const int i : order)
        expected << files[i];
    QCOMPARE(modelPaths(), expected);
    QCOMPARE(w->session().pagePaths(), expected);
    if (selected < 0)
        return;
    // The moved tile stays selected, and a delete takes exactly it.
    QCOMPARE(selectedFiles(), QStringList{files[selected]});
    invoke(*w, "slotTableViewMenuDelFile");
    expected.removeAll(files[selected]);
    QCOMPARE(modelPaths(), expected);
    QCOMPARE(w->session().pagePaths(), expected);
    QVERIFY(!QFileInfo::exists(files[selected]));
}

// However the pages change, the tiles show them: the same files in the same
// order, each with its name and kind (removals and moves: the tests above).
void TestImageList::tilesFollowEveryPageChange_data()
{
    QTest::addColumn<QString>("change"); // what is done to row 1 of a.jpg, b.pdf, c.jpg
    QTest::newRow("right page of a spread inserted") << "insert";
    QTest::newRow("saved under another name") << "rename";
}

void TestImageList::tilesFollowEveryPageChange()
{
    QFETCH(QString, change);
    for (const char *name : {"a.jpg", "b.pdf", "c.jpg"})
        addCapture(dir->filePath(name), dir->filePath(name));
    StoredPages &pages = w->session().pages();
    if (change == "insert")
        pages.insertAt(1, StoredPages::Page{dir->filePath("a-right.jpg"), dir->filePath("a-right.jpg")});
    else
        pages.setPaths(1, dir->filePath("b-1.pdf"), dir->filePath("b-1.jpg"));
    QCOMPARE(modelPaths(), pages.shownPaths());
    for (int row = 0; row < pages.count(); ++row) {
        const PicItemData data = parts(*w).listViewModel->item(row)->data(PicItemData::Role).value<PicItemData>();
        QCOMPARE(data.picName, QFileInfo(pages.at(row).shownPath).fileName());
        QCOMPARE(data.pageKind == PicItemData::PageKind::Pdf, pages.at(row).pdf);
    }
}

QTEST_MAIN(TestImageList)
#include "testimagelist.moc"
