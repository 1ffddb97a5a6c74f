// The invisible text over PDF pages, read back with poppler's tools and qpdf:
// what extraction reads, where the words lie, that nothing shows, and that
// documents without text keep the bytes they had.
#include "pdf/jpegpage.h"
#include "core/pagemerge.h"
#include "pdf/streamedpdf.h"
#include "tests/shared/emulatedskip.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kPageWidth = 400;
constexpr int kPageHeight = 200;

QByteArray pictureJpeg()
{
    QImage picture(kPageWidth, kPageHeight, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter(&picture).fillRect(0, 90, kPageWidth, 20, Qt::black);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPEG");
    return bytes;
}

// "word left top width height; ... | next line": boxes in picture pixels.
PageText pageText(const QString &layout, int scale)
{
    PageText text{kPageWidth * scale, kPageHeight * scale, {}};
    for (const QString &line : layout.split(" | ", Qt::SkipEmptyParts)) {
        text.lines.emplace_back();
        for (const QString &word : line.split("; ")) {
            const QStringList f = word.split(' ');
            text.lines.back().words.push_back(
                TextWord{f[0].toStdString(), f[1].toInt(), f[2].toInt(), f[3].toInt(), f[4].toInt()});
        }
    }
    return text;
}

bool writePage(const QString &path, const QByteArray &jpeg, bool asPixels, const PageText *text)
{
    StreamedPdf pdf(QFile::encodeName(path).toStdString());
    const auto added = pdf.open() ? asPixels ? jpegpage::addDecoded(pdf, jpeg, path, text)
                                             : jpegpage::add(pdf, jpeg, path, text)
                                  : jpegpage::Added::NotWritten;
    return added == (asPixels ? jpegpage::Added::AsPixels : jpegpage::Added::AsJpeg) && pdf.finish();
}

// A program's standard output; a failure or anything on standard error fails the test.
QByteArray output(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0 || !process.readAllStandardError().isEmpty())
        return "failed: " + program.toUtf8();
    return process.readAllStandardOutput();
}

QStringList textLines(const QString &pdf, const QStringList &options = {})
{
    QStringList lines;
    for (const QString &line : QString::fromUtf8(output("pdftotext", options + QStringList{pdf, "-"})).split('\n'))
        if (!line.simplified().remove('\f').isEmpty())
            lines << line.simplified().remove('\f');
    return lines;
}

QString pageTextOf(const QString &pdf, int page)
{
    return textLines(pdf, {"-f", QString::number(page), "-l", QString::number(page)}).join('|');
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestTextLayer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_jpeg = pictureJpeg();

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        if (QStandardPaths::findExecutable("pdftotext").isEmpty() || QStandardPaths::findExecutable("qpdf").isEmpty())
            QSKIP("poppler-utils or qpdf is not installed");
    }

    void wordsReadBackWhereTheyStand_data()
    {
        QTest::addColumn<QString>("words");
        QTest::addColumn<int>("scale"); // the picture the boxes refer to, against the page
        QTest::addColumn<bool>("asPixels");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("english") << "Hello 20 20 80 20; world, 110 20 90 20; again 210 20 70 20" << 1 << false
                                 << QStringList{"Hello world, again"};
        QTest::newRow("chinese over english")
            << "文字识别 20 20 120 30; 中文和英文 150 20 150 30 | Text 20 60 60 20; recognition 90 60 150 20"
            << 1 << false << QStringList{"文字识别 中文和英文", "Text recognition"};
        QTest::newRow("picture twice the page")
            << "Second 40 40 160 40; line 220 40 100 40 | Third 40 120 140 40; row 200 120 100 40" << 2 << false
            << QStringList{"Second line", "Third row"};
        QTest::newRow("pixel page") << "Pixels 20 150 100 30; too 130 150 60 30" << 1 << true
                                    << QStringList{"Pixels too"};
        QTest::newRow("touching boxes") << "Touching 20 20 100 20; boxes 120 20 80 20; overlap 199 20 80 20" << 1
                                        << false << QStringList{"Touching boxes overlap"};
        // An empty word and a zero-width box go; a box beyond the page is cut at its edge.
        QTest::newRow("odd words") << "😀x 20 20 40 20;  70 20 30 20; zero 110 20 0 20 | out 350 150 100 100" << 1
                                   << false << QStringList{"😀x", "out"};
    }

    void wordsReadBackWhereTheyStand()
    {
        QUILLO_SKIP_WHEN_EMULATED(); // poppler's tools and qpdf read the files
        QFETCH(QString, words);
        QFETCH(int, scale);
        QFETCH(bool, asPixels);
        QFETCH(QStringList, lines);
        const PageText text = pageText(words, scale);
        const QString withText = m_dir.filePath(QString("%1.pdf").arg(QTest::currentDataTag()));
        const QString bare = m_dir.filePath(QString("%1-bare.pdf").arg(QTest::currentDataTag()));
        QVERIFY(writePage(withText, m_jpeg, asPixels, &text));
        QVERIFY(writePage(bare, m_jpeg, asPixels, nullptr));

        QVERIFY(output("qpdf", {"--check", withText}).contains("No syntax or stream encoding errors"));
        QCOMPARE(textLines(withText), lines);
        QCOMPARE(textLines(withText, {"-layout"}), lines);
        // Nothing of the text shows: the page renders as the bare one does.
        const QByteArray shown = output("pdftoppm", {"-r", "72", "-gray", withText});
        QVERIFY(shown.size() > kPageWidth * kPageHeight);
        QCOMPARE(shown, output("pdftoppm", {"-r", "72", "-gray", bare}));

        // Every word on its box (cut at the page's edge), within a few points.
        QMap<QString, QRectF> given;
        const QRectF picture(0, 0, text.width, text.height);
        for (const TextLine &line : text.lines)
            for (const TextWord &word : line.words) {
                const QRectF box = QRectF(word.left, word.top, word.width, word.height) & picture;
                given[QString::fromStdString(word.text)] = QRectF(box.topLeft() / scale, box.size() / scale);
            }
        const QRegularExpression wordBox(
            R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
        QStringList found;
        const QString boxes = QString::fromUtf8(output("pdftotext", {"-bbox", withText, "-"}));
        for (auto match = wordBox.globalMatch(boxes); match.hasNext();) {
            const QRegularExpressionMatch m = match.next();
            found << m.captured(5);
            const QRectF expected = given.value(m.captured(5));
            const qreal box[] = {m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                                   m.captured(4).toDouble()};
            QVERIFY2(qAbs(box[0] - expected.left()) < 3 && qAbs(box[1] - expected.top()) < 3 &&
                         qAbs(box[2] - expected.right()) < 3 && qAbs(box[3] - expected.bottom()) < 3,
                     qPrintable(m.captured(0)));
        }
        QCOMPARE(found.join(' '), lines.join(' '));
    }

    void documentsKeepTheirPages_data()
    {
        // "golden": a small pixel page whose bytes must stay as they were before pages had text.
        // The others: three JPEG pages, text on the first and last.
        QTest::addColumn<QString>("way");
        QTest::addColumn<QStringList>("pageTexts");
        const QStringList texts{"First page", "", "末页 Last"};
        QTest::newRow("no text") << "golden" << QStringList{};
        QTest::newRow("no word placeable") << "golden" << QStringList{"zero 1 0 0 1;  0 0 1 1"};
        QTest::newRow("jpeg merge") << "jpeg" << texts;
        QTest::newRow("raw merge") << "raw" << texts;
        QTest::newRow("merge without text") << "none" << QStringList{"", "", ""};
        QTest::newRow("kept temporary") << "temporary" << texts;
    }

    void documentsKeepTheirPages()
    {
        QUILLO_SKIP_WHEN_EMULATED(); // poppler's tools and qpdf read the files
        QFETCH(QString, way);
        QFETCH(QStringList, pageTexts);
        QTemporaryDir folder;
        QString written = folder.filePath("doc.pdf");
        StreamedPdf writer(QFile::encodeName(written).toStdString());
        QVERIFY(way == "jpeg" || way == "raw" || way == "none" || writer.open());
        if (way == "golden") {
            const PageText text = pageText(pageTexts.value(0), 1);
            const unsigned char pixels[6] = {1, 2, 3, 250, 251, 252};
            QVERIFY(writer.addRgbPage(pixels, 2, 1, pageTexts.isEmpty() ? nullptr : &text) && writer.finish());
            const QByteArray hash = QCryptographicHash::hash(bytesOf(written), QCryptographicHash::Sha1).toHex();
            QCOMPARE(hash, QByteArray("542a76782e0783bc05664f3da894b2c679639530"));
            return;
        }

        QList<StoredPages::Page> pages;
        std::map<QString, PageText> texts;
        for (int i = 0; i < pageTexts.size(); ++i) {
            const QString page = folder.filePath(QString("page%1.jpg").arg(i));
            QFile file(page);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(m_jpeg) == m_jpeg.size());
            pages << StoredPages::Page{page, page};
            QStringList placed;
            for (const QString &word : pageTexts[i].split(' ', Qt::SkipEmptyParts))
                placed << QString("%1 %2 %3 50 30").arg(word).arg(20 + 60 * placed.size()).arg(40 + 10 * i);
            texts[page] = pageText(placed.join("; "), 1);
        }
        std::function<const PageText *(const StoredPages::Page &)> textOf = [&texts](const StoredPages::Page &page) {
            const PageText &text = texts[page.pagePath];
            return text.isEmpty() ? nullptr : &text;
        };
        if (way == "temporary") {
            for (const StoredPages::Page &page : pages)
                QVERIFY(jpegpage::add(writer, m_jpeg, page.pagePath, textOf(page)) == jpegpage::Added::AsJpeg);
            QVERIFY(writer.finishAsTemporary());
            // Hidden beside the final name, which stays free.
            QCOMPARE(QFileInfo(QString::fromStdString(writer.temporaryPath())).dir(), QDir(folder.path()));
            QVERIFY(QFileInfo(QString::fromStdString(writer.temporaryPath())).fileName().startsWith(".doc.pdf."));
            QVERIFY(!QFile::exists(written));
            written = QString::fromStdString(writer.temporaryPath());
        } else {
            if (way == "none")
                textOf = nullptr;
            QCOMPARE(mergePagesWithText(pages, written, textOf, way != "raw", fileio::FileOps::system(), &written)
                         .pagesWritten,
                     pages.size());
            // The raw format's pages are pixels, never the JPEGs' bytes.
            QCOMPARE(output("pdfimages", {"-list", written}).count(" jpeg "), way == "raw" ? 0 : pages.size());
        }
        QVERIFY(output("qpdf", {"--check", written}).contains("No syntax or stream encoding errors"));
        for (int i = 0; i < pageTexts.size(); ++i)
            QCOMPARE(pageTextOf(written, i + 1), pageTexts[i]);
    }
};

QTEST_MAIN(TestTextLayer)
#include "testtextlayer.moc"
