// Taking rows out of the two path lists behind the stored-files list.
#include "core/listpaths.h"

#include <QtTest>

class TestListPaths : public QObject
{
    Q_OBJECT

private slots:
    void removeOneEntry_data();
    void removeOneEntry();
    void removeSeveralEntries_data();
    void removeSeveralEntries();
};

// Five captures; rows 1 and 3 are one-page PDFs whose page image lies in /tmp.
static QStringList shown()
{
    return {"/d/a.jpg", "/d/b.pdf", "/d/c.jpg", "/d/d.pdf", "/d/a.jpg"};
}

static QStringList pages()
{
    return {"/d/a.jpg", "/tmp/b.jpg", "/d/c.jpg", "/tmp/d.jpg", "/d/a.jpg"};
}

void TestListPaths::removeOneEntry_data()
{
    QTest::addColumn<QStringList>("shownIn");
    QTest::addColumn<QStringList>("pagesIn");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<QStringList>("shownOut");
    QTest::addColumn<QStringList>("pagesOut");

    QTest::newRow("third of five keeps the PDF rows' page images")
        << shown() << pages() << 2 << true << QStringList{"/d/a.jpg", "/d/b.pdf", "/d/d.pdf", "/d/a.jpg"}
        << QStringList{"/d/a.jpg", "/tmp/b.jpg", "/tmp/d.jpg", "/d/a.jpg"};
    QTest::newRow("last of two rows sharing a path: the first stays")
        << shown() << pages() << 4 << true << QStringList{"/d/a.jpg", "/d/b.pdf", "/d/c.jpg", "/d/d.pdf"}
        << QStringList{"/d/a.jpg", "/tmp/b.jpg", "/d/c.jpg", "/tmp/d.jpg"};
    QTest::newRow("a PDF row takes its own page image along")
        << shown() << pages() << 1 << true << QStringList{"/d/a.jpg", "/d/c.jpg", "/d/d.pdf", "/d/a.jpg"}
        << QStringList{"/d/a.jpg", "/d/c.jpg", "/tmp/d.jpg", "/d/a.jpg"};
    QTest::newRow("only entry") << QStringList{"/d/x.jpg"} << QStringList{"/d/x.jpg"} << 0 << true << QStringList{}
                                << QStringList{};
    QTest::newRow("negative row") << shown() << pages() << -1 << false << shown() << pages();
    QTest::newRow("row past the end") << shown() << pages() << 5 << false << shown() << pages();
    QTest::newRow("empty lists") << QStringList{} << QStringList{} << 0 << false << QStringList{} << QStringList{};
    QTest::newRow("row missing from the page list")
        << QStringList{"/d/a.jpg", "/d/b.jpg"} << QStringList{"/d/a.jpg"} << 1 << false
        << QStringList{"/d/a.jpg", "/d/b.jpg"} << QStringList{"/d/a.jpg"};
}

void TestListPaths::removeOneEntry()
{
    QFETCH(QStringList, shownIn);
    QFETCH(QStringList, pagesIn);
    QFETCH(int, row);
    QFETCH(bool, removed);
    QFETCH(QStringList, shownOut);
    QFETCH(QStringList, pagesOut);
    QCOMPARE(removeListEntry(shownIn, pagesIn, row), removed);
    QCOMPARE(shownIn, shownOut);
    QCOMPARE(pagesIn, pagesOut);
}

void TestListPaths::removeSeveralEntries_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QList<int>>("removedRows");
    QTest::addColumn<QStringList>("shownOut");
    QTest::addColumn<QStringList>("pagesOut");

    QTest::newRow("none") << QList<int>{} << QList<int>{} << shown() << pages();
    QTest::newRow("ascending rows come back highest first")
        << QList<int>{0, 3} << QList<int>{3, 0} << QStringList{"/d/b.pdf", "/d/c.jpg", "/d/a.jpg"}
        << QStringList{"/tmp/b.jpg", "/d/c.jpg", "/d/a.jpg"};
    QTest::newRow("duplicates count once") << QList<int>{2, 2, 2} << QList<int>{2}
                                           << QStringList{"/d/a.jpg", "/d/b.pdf", "/d/d.pdf", "/d/a.jpg"}
                                           << QStringList{"/d/a.jpg", "/tmp/b.jpg", "/tmp/d.jpg", "/d/a.jpg"};
    QTest::newRow("out of range skipped") << QList<int>{7, 4, -2} << QList<int>{4}
                                          << QStringList{"/d/a.jpg", "/d/b.pdf", "/d/c.jpg", "/d/d.pdf"}
                                          << QStringList{"/d/a.jpg", "/tmp/b.jpg", "/d/c.jpg", "/tmp/d.jpg"};
    QTest::newRow("all") << QList<int>{4, 0, 2, 1, 3} << QList<int>{4, 3, 2, 1, 0} << QStringList{}
                         << QStringList{};
}

void TestListPaths::removeSeveralEntries()
{
    QFETCH(QList<int>, rows);
    QFETCH(QList<int>, removedRows);
    QFETCH(QStringList, shownOut);
    QFETCH(QStringList, pagesOut);
    QStringList shownPaths = shown();
    QStringList pagePaths = pages();
    QCOMPARE(removeListEntries(shownPaths, pagePaths, rows), removedRows);
    QCOMPARE(shownPaths, shownOut);
    QCOMPARE(pagePaths, pagesOut);
}

QTEST_GUILESS_MAIN(TestListPaths)
#include "testlistpaths.moc"
