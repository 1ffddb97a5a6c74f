// The recogniser on generated pages of known text: what it reads, in which
// order, where the boxes land on the original picture, and how it fails.
#include "bench/textpage.h"
#include "core/textrecognizer.h"
#include "tests/shared/emulatedskip.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

namespace {

enum class Input { Page, CorruptFile, MissingFile };
enum class Cancel { Never, BeforeStart, WhileReading };
enum class Data { Installed, Empty, EnglishOnly };

const QString kLatinFont = QStringLiteral("DejaVu Sans");
const QString kChineseFont = QStringLiteral("WenQuanYi Micro Hei");

QString lineText(const TextLine &line)
{
    QString text;
    for (const TextWord &word : line.words)
        text += QString::fromStdString(word.text);
    return text;
}

QRect boxOf(const TextWord &word)
{
    return QRect(word.left, word.top, word.width, word.height);
}

// Restores TESSDATA_PREFIX however a row ends.
class DataFolder
{
public:
    explicit DataFolder(Data data)
        : m_old(qgetenv("TESSDATA_PREFIX")), m_wasSet(qEnvironmentVariableIsSet("TESSDATA_PREFIX"))
    {
        if (data == Data::Installed)
            return;
        if (data == Data::EnglishOnly)
            QFile::link(QStringLiteral("/usr/share/tesseract-ocr/5/tessdata/eng.traineddata"),
                        m_folder.filePath(QStringLiteral("eng.traineddata")));
        qputenv("TESSDATA_PREFIX", m_folder.path().toUtf8());
    }
    ~DataFolder()
    {
        if (m_wasSet)
            qputenv("TESSDATA_PREFIX", m_old);
        else
            qunsetenv("TESSDATA_PREFIX");
    }

private:
    QTemporaryDir m_folder;
    QByteArray m_old;
    bool m_wasSet;
};

} // namespace

Q_DECLARE_METATYPE(Input)
Q_DECLARE_METATYPE(Cancel)
Q_DECLARE_METATYPE(Data)
Q_DECLARE_METATYPE(TextRecognizer::Result)

class TestTextRecognizer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QUILLO_SKIP_WHEN_EMULATED();
        if (!m_recognizer.load())
            QSKIP(qPrintable(QStringLiteral("Tesseract's language data is not installed (%1); scripts/setup.sh "
                                            "installs tesseract-ocr-chi-sim and tesseract-ocr-eng")
                                 .arg(QString::fromStdString(m_recognizer.error()))));
    }

    void readsLinesInOrderOnTheirPrint_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("shrunk");
        QTest::newRow("English lines") << QSize(1280, 720) << kLatinFont << 24
                                       << QStringList{"The reading room opened at nine.",
                                                      "Every volume had been catalogued twice.",
                                                      "She turned the page slowly and carefully.",
                                                      "Rain drummed on the roof of the archive."}
                                       << false;
        QTest::newRow("Chinese lines") << QSize(1280, 720) << kChineseFont << 26
                                       << QStringList{"图书馆的阅览室早上九点开门。", "书架上的每一本书都编过目录。",
                                                      "她慢慢地翻过一页纸张。"}
                                       << false;
        // Large print on a full-size capture is read from a shrunk copy.
        QTest::newRow("large page, both scripts")
            << QSize(3264, 2448) << kChineseFont << 110
            << QStringList{"The archive kept letters and maps.", "档案馆保存着信件和地图。",
                           "Students copied passages by hand.", "学生们把段落抄进笔记本。"}
            << true;
    }

    void readsLinesInOrderOnTheirPrint()
    {
        QFETCH(QSize, size);
        QFETCH(QString, family);
        QFETCH(int, pixelSize);
        QFETCH(QStringList, lines);
        QFETCH(bool, shrunk);
        const textpage::Page page = textpage::draw(size, lines, textpage::fontOf(family, pixelSize));
        QCOMPARE(int(page.lines.size()), lines.size());
        PageText out;
        QCOMPARE(m_recognizer.recognize(page.rgb.constBits(), size.width(), size.height(), out),
                 TextRecognizer::Result::Recognized);
        QCOMPARE(out.width, size.width());
        QCOMPARE(out.height, size.height());
        QCOMPARE(m_recognizer.lastScale() < 1.0, shrunk);
        // Each drawn line, in order, is a later line of the result, with
        // every word's box on the drawn line in the original's pixels.
        const int slack = pixelSize / 3;
        size_t next = 0;
        for (const textpage::Line &drawn : page.lines) {
            while (next < out.lines.size() && textpage::accuracy(lineText(out.lines[next]), drawn.text) < 0.9)
                ++next;
            QVERIFY2(next < out.lines.size(), qPrintable(QStringLiteral("not read in order: ") + drawn.text));
            for (const TextWord &word : out.lines[next].words)
                QVERIFY2(drawn.box.adjusted(-slack, -slack, slack, slack).contains(boxOf(word)),
                         qPrintable(QStringLiteral("%1 at %2,%3 %4x%5")
                                        .arg(QString::fromStdString(word.text))
                                        .arg(word.left)
                                        .arg(word.top)
                                        .arg(word.width)
                                        .arg(word.height)));
            ++next;
        }
    }

    void failsSoundly_data()
    {
        QTest::addColumn<Data>("data");
        QTest::addColumn<QString>("languages");
        QTest::addColumn<Input>("input");
        QTest::addColumn<Cancel>("cancel");
        QTest::addColumn<TextRecognizer::Result>("result");
        QTest::addColumn<QStringList>("named");
        QTest::addColumn<QStringList>("notNamed");
        const auto missing = TextRecognizer::Result::LanguagesMissing;
        QTest::newRow("no language data") << Data::Empty << "chi_sim+eng" << Input::Page << Cancel::Never << missing
                                          << QStringList{"chi_sim", "eng"} << QStringList();
        QTest::newRow("first language missing") << Data::EnglishOnly << "chi_sim+eng" << Input::Page << Cancel::Never
                                                << missing << QStringList{"chi_sim"} << QStringList{"eng"};
        QTest::newRow("second language missing") << Data::EnglishOnly << "eng+chi_sim" << Input::Page
                                                  << Cancel::Never << missing << QStringList{"chi_sim"}
                                                  << QStringList{"eng"};
        const auto unreadable = TextRecognizer::Result::Unreadable;
        QTest::newRow("corrupt JPEG") << Data::Installed << "eng" << Input::CorruptFile << Cancel::Never
                                      << unreadable << QStringList() << QStringList();
        QTest::newRow("missing file") << Data::Installed << "eng" << Input::MissingFile << Cancel::Never
                                      << unreadable << QStringList() << QStringList();
        const auto cancelled = TextRecognizer::Result::Cancelled;
        QTest::newRow("cancelled before start") << Data::Installed << "chi_sim+eng" << Input::Page
                                                << Cancel::BeforeStart << cancelled << QStringList() << QStringList();
        QTest::newRow("cancelled while reading") << Data::Installed << "chi_sim+eng" << Input::Page
                                                 << Cancel::WhileReading << cancelled << QStringList()
                                                 << QStringList();
    }

    void failsSoundly()
    {
        QFETCH(Data, data);
        QFETCH(QString, languages);
        QFETCH(Input, input);
        QFETCH(Cancel, cancel);
        QFETCH(TextRecognizer::Result, result);
        QFETCH(QStringList, named);
        QFETCH(QStringList, notNamed);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("page.jpg"));
        if (input == Input::Page) {
            const QStringList lines{"A page of a few words,", "read until the first of them."};
            QVERIFY(textpage::draw(QSize(800, 600), lines, textpage::fontOf(kLatinFont, 30)).rgb.save(path, "JPG", 90));
        } else if (input == Input::CorruptFile) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("\xff\xd8\xff\xe0") + QByteArray(4000, '\x5a'));
        }
        const DataFolder dataFolder(data);
        TextRecognizer recognizer(languages.toStdString());
        std::atomic<bool> stop(cancel == Cancel::BeforeStart);
        // A close arriving once Tesseract reads the words.
        if (cancel == Cancel::WhileReading)
            recognizer.setProgressHandler([&stop](int) { stop = true; });
        PageText out;
        out.lines.push_back(TextLine{{TextWord{"left over", 1, 2, 3, 4}}});
        const TextRecognizer::Result got = recognizer.recognizeFile(path, out, &stop);
        QCOMPARE(got, result);
        QVERIFY(out.isEmpty());
        for (const QString &language : named)
            QVERIFY2(QString::fromStdString(recognizer.error()).contains(language), recognizer.error().c_str());
        for (const QString &language : notNamed)
            QVERIFY2(!QString::fromStdString(recognizer.error()).contains(language), recognizer.error().c_str());
    }

private:
    TextRecognizer m_recognizer;
};

QTEST_MAIN(TestTextRecognizer)
#include "testtextrecognizer.moc"
