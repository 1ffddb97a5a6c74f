// The PDF writer checked with an independent reader (poppler) and by reading
// the uncompressed file text libharu writes.
#include "pdf/hpdfoperation.h"
#include "tests/shared/filesizelimit.h"

#include <poppler-qt5.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>


class TestPdfWriter : public QObject
{
    Q_OBJECT

private:
    static std::vector<unsigned char> solidRgb(int w, int h, unsigned char r, unsigned char g, unsigned char b)
    {
        std::vector<unsigned char> px(size_t(w) * size_t(h) * 3);
        for (size_t i = 0; i < px.size(); i += 3) {
            px[i] = r;
            px[i + 1] = g;
            px[i + 2] = b;
        }
        return px;
    }

    static std::unique_ptr<Poppler::Document> open(const QString &path)
    {
        return std::unique_ptr<Poppler::Document>(Poppler::Document::load(path));
    }

    // Centre pixel of a page rendered at one pixel per point.
    static QColor centre(Poppler::Document *doc, int page)
    {
        std::unique_ptr<Poppler::Page> p(doc->page(page));
        QImage img = p->renderToImage(72, 72);
        return img.pixelColor(img.width() / 2, img.height() / 2);
    }

    static QStringList leftovers(const QString &dir)
    {
        return QDir(dir).entryList({".*", "*.tmp-*"}, QDir::Files | QDir::Hidden);
    }

    QTemporaryDir m_dir;

private slots:
    void pageTakesThePictureSize_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("camera page") << 3264 << 2448;
        QTest::newRow("portrait") << 480 << 640;
        QTest::newRow("tiny") << 3 << 3;
    }
    void pageTakesThePictureSize()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        auto px = solidRgb(width, height, 200, 30, 40);
        const QString path = m_dir.filePath(QStringLiteral("size-%1x%2.pdf").arg(width).arg(height));
        hpdfoperation writer;
        QCOMPARE(writer.rgb2pdf(px.data(), width, height, path.toUtf8().constData(), 0, 0), 0);

        auto doc = open(path);
        QVERIFY(doc);
        QCOMPARE(doc->numPages(), 1);
        std::unique_ptr<Poppler::Page> page(doc->page(0));
        QCOMPARE(page->pageSizeF(), QSizeF(width, height));
        QImage img = page->renderToImage(72, 72);
        QCOMPARE(img.size(), QSize(width, height));
        // The picture covers the page, corners included.
        for (QPoint p : {QPoint(0, 0), QPoint(width - 1, height - 1), QPoint(width / 2, height / 2)}) {
            QColor c = img.pixelColor(p);
            QVERIFY2(qAbs(c.red() - 200) <= 2 && qAbs(c.green() - 30) <= 2 && qAbs(c.blue() - 40) <= 2,
                     qPrintable(QStringLiteral("pixel %1,%2 is %3").arg(p.x()).arg(p.y()).arg(c.name())));
        }
        QVERIFY(leftovers(m_dir.path()).isEmpty());
    }

    void threeCallsGiveThreePagesAndOpenOnTheLast()
    {
        const QString path = m_dir.filePath("three.pdf");
        const QByteArray dest = path.toUtf8();
        const QColor colours[3] = {Qt::red, Qt::green, Qt::blue};
        const QSize sizes[3] = {QSize(40, 30), QSize(50, 70), QSize(64, 48)};
        hpdfoperation writer;
        for (int i = 0; i < 3; ++i) {
            auto px = solidRgb(sizes[i].width(), sizes[i].height(), colours[i].red(), colours[i].green(),
                               colours[i].blue());
            QCOMPARE(writer.rgb2pdf(px.data(), sizes[i].width(), sizes[i].height(), dest.constData(), 0, 7), 0);
            // The file is complete after every call.
            auto doc = open(path);
            QVERIFY(doc);
            QCOMPARE(doc->numPages(), i + 1);
        }
        auto doc = open(path);
        for (int i = 0; i < 3; ++i) {
            std::unique_ptr<Poppler::Page> page(doc->page(i));
            QCOMPARE(page->pageSizeF(), QSizeF(sizes[i]));
            QCOMPARE(centre(doc.get(), i), colours[i]);
        }

        // libharu writes uncompressed structure: the catalogue's open action
        // must name the third page of the page tree.
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        // Image streams hold NUL bytes; the QByteArray overload would stop there.
        const QString text = QString::fromLatin1(bytes.constData(), bytes.size());
        QRegularExpressionMatch kids = QRegularExpression(R"(/Kids\s*\[\s*(\d+) 0 R\s+(\d+) 0 R\s+(\d+) 0 R\s*\])")
                                           .match(text);
        QVERIFY(kids.hasMatch());
        // The action may sit in the catalogue or in an object of its own.
        QString destination = text;
        QRegularExpressionMatch ref = QRegularExpression(R"(/OpenAction\s+(\d+) 0 R)").match(text);
        if (ref.hasMatch()) {
            QRegularExpressionMatch obj =
                QRegularExpression(QStringLiteral(R"((?:^|\n)%1 0 obj\s*(\[[^\]]*\]))").arg(ref.captured(1)))
                    .match(text);
            QVERIFY2(obj.hasMatch(), "open action object missing");
            destination = QStringLiteral("/OpenAction ") + obj.captured(1);
        }
        QRegularExpressionMatch action =
            QRegularExpression(R"(/OpenAction\s*\[\s*(\d+) 0 R\s*/XYZ\s+([-\d.]+)\s+([-\d.]+)\s+([-\d.]+)\s*\])")
                .match(destination);
        QVERIFY2(action.hasMatch(), "no XYZ open action");
        QCOMPARE(action.captured(1), kids.captured(3));
        QCOMPARE(action.captured(2).toDouble(), 0.0);
        QVERIFY(qAbs(action.captured(3).toDouble() - 595.276) < 0.001);
        QCOMPARE(action.captured(4).toDouble(), 1.0);
    }

    void colourTypeOneIsGrey()
    {
        const int w = 30, h = 20;
        std::vector<unsigned char> grey(size_t(w) * h, 90);
        const QString path = m_dir.filePath("grey.pdf");
        hpdfoperation writer;
        QCOMPARE(writer.rgb2pdf(grey.data(), w, h, path.toUtf8().constData(), 1, 0), 0);
        auto doc = open(path);
        QVERIFY(doc);
        QCOMPARE(doc->numPages(), 1);
        QColor c = centre(doc.get(), 0);
        QCOMPARE(c, QColor(90, 90, 90));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("/DeviceGray"));
    }

    void badArgumentsDoNothing_data()
    {
        QTest::addColumn<bool>("nullData");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("nullDest");
        QTest::newRow("null buffer") << true << 4 << 4 << false;
        QTest::newRow("negative width") << false << -1 << 4 << false;
        QTest::newRow("negative height") << false << 4 << -4 << false;
        QTest::newRow("null destination") << false << 4 << 4 << true;
    }
    void badArgumentsDoNothing()
    {
        QFETCH(bool, nullData);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, nullDest);
        auto px = solidRgb(4, 4, 1, 2, 3);
        const QString path = m_dir.filePath("bad.pdf");
        hpdfoperation writer;
        QCOMPARE(writer.rgb2pdf(nullData ? nullptr : px.data(), width, height,
                                nullDest ? nullptr : path.toUtf8().constData(), 0, 0),
                 -4);
        QVERIFY(!writer.holdsDocument());
        QVERIFY(!QFile::exists(path));
    }

    void libharuErrorReleasesAndRefusesLaterPages()
    {
        const QString path = m_dir.filePath("restart.pdf");
        const QByteArray dest = path.toUtf8();
        auto px = solidRgb(8, 8, 10, 20, 30);
        hpdfoperation writer;
        QCOMPARE(writer.rgb2pdf(px.data(), 8, 8, dest.constData(), 0, 0), 0);
        QCOMPARE(writer.rgb2pdf(px.data(), 8, 8, dest.constData(), 0, 0), 0);
        QFile before(path);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray twoPages = before.readAll();
        before.close();

        // A zero width reaches libharu, which refuses the picture.
        QCOMPARE(writer.rgb2pdf(px.data(), 0, 8, dest.constData(), 0, 0), -12);
        QVERIFY(!writer.holdsDocument());
        QFile after(path);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), twoPages);
        QVERIFY(leftovers(m_dir.path()).isEmpty());

        // A new document written over the same file would lose the two
        // pages already there: the writer refuses and the file stays.
        QCOMPARE(writer.rgb2pdf(px.data(), 8, 8, dest.constData(), 0, 0), -12);
        auto doc = open(path);
        QVERIFY(doc);
        QCOMPARE(doc->numPages(), 2);
    }

    void failedSaveKeepsTheEarlierFile()
    {
        const QString path = m_dir.filePath("keep.pdf");
        const QByteArray dest = path.toUtf8();
        auto small = solidRgb(16, 16, 5, 6, 7);
        hpdfoperation writer;
        QCOMPARE(writer.rgb2pdf(small.data(), 16, 16, dest.constData(), 0, 0), 0);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray onePage = f.readAll();
        f.close();

        // Let the disk "fill up" halfway through the next save: files may not
        // grow past the size of the earlier one.
        auto big = solidRgb(300, 300, 9, 9, 9);
        int result = 0;
        {
            const FileSizeLimit full(rlim_t(onePage.size() + 512));
            result = writer.rgb2pdf(big.data(), 300, 300, dest.constData(), 0, 0);
        }

        QCOMPARE(result, -12);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), onePage);
        QVERIFY(leftovers(m_dir.path()).isEmpty());
    }

    void unwritableDestinationGivesMinusTwelve_data()
    {
        QTest::addColumn<QString>("dest");
        QTest::newRow("missing folder") << QStringLiteral("no/such/folder/x.pdf");
        QTest::newRow("destination is a folder") << QStringLiteral("afolder");
    }
    void unwritableDestinationGivesMinusTwelve()
    {
        QFETCH(QString, dest);
        QVERIFY(QDir(m_dir.path()).mkpath("afolder"));
        const QString good = m_dir.filePath("earlier.pdf");
        auto px = solidRgb(8, 8, 1, 1, 1);
        hpdfoperation writer;
        QCOMPARE(writer.rgb2pdf(px.data(), 8, 8, good.toUtf8().constData(), 0, 0), 0);
        QFile f(good);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray earlier = f.readAll();
        f.close();

        QCOMPARE(writer.rgb2pdf(px.data(), 8, 8, m_dir.filePath(dest).toUtf8().constData(), 0, 0), -12);
        QVERIFY(!writer.holdsDocument());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), earlier);
        QVERIFY(leftovers(m_dir.path()).isEmpty());
        QVERIFY(leftovers(m_dir.filePath("afolder")).isEmpty());
        QVERIFY(QFileInfo(m_dir.filePath("afolder")).isDir());
    }

    // With one process-wide jump target, a thread's error would jump into the
    // other thread's stack frame and crash the process.
    void concurrentFailuresStayWithTheirCall()
    {
        const int rounds = 200;
        std::atomic<int> ready{0};
        std::atomic<int> wrongResults{0};
        auto worker = [&](int index) {
            auto px = solidRgb(8, 8, 1, 2, 3);
            const QByteArray dest = m_dir.filePath(QStringLiteral("thread%1.pdf").arg(index)).toUtf8();
            for (int i = 0; i < rounds; ++i) {
                hpdfoperation writer;
                // Meet the other thread so both fail at the same moment.
                ready.fetch_add(1);
                while (ready.load() < 2 * (i + 1))
                    std::this_thread::yield();
                if (writer.rgb2pdf(px.data(), 0, 8, dest.constData(), 0, 0) != -12)
                    wrongResults.fetch_add(1);
                hpdfoperation next;
                if (next.rgb2pdf(px.data(), 8, 8, dest.constData(), 0, 0) != 0)
                    wrongResults.fetch_add(1);
            }
        };
        std::thread a(worker, 0), b(worker, 1);
        a.join();
        b.join();
        QCOMPARE(wrongResults.load(), 0);
        for (int i = 0; i < 2; ++i) {
            auto doc = open(m_dir.filePath(QStringLiteral("thread%1.pdf").arg(i)));
            QVERIFY(doc);
            QCOMPARE(doc->numPages(), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestPdfWriter)
#include "testpdfwriter.moc"
