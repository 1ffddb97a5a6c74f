// The include graph of the program's folders: a folder includes only from its
// own layer or a lower one, and no file comes back to itself through its
// includes. tests/, bench/ and fuzz/ stand outside the layers. Headers do
// not befriend suites.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QVector>
#include <QtTest>

#include <algorithm>

namespace {

// Lowest first. A file's layer is the top folder it lies in, so the
// sub-folders of sdk/ count as sdk.
const QStringList kLayers = {"camera", "fileio", "sdk", "pdf", "thread", "core", "settings", "ui", "app"};

struct Include
{
    QString written; // between the quotes or the angle brackets
    bool quoted = false;
    int line = 0;
    QString file; // the file of the tree it reaches, relative to the root; empty for any other
};

using IncludeMap = QMap<QString, QVector<Include>>;

int layerOf(const QString &relativePath)
{
    return kLayers.indexOf(relativePath.section(QLatin1Char('/'), 0, 0));
}

// Every .h and .cpp under the layer folders, relative to the source root, with
// the includes it names in order, <...> ones too. Every rule of this suite
// reads the tree through this one list.
IncludeMap includesPerFile(const QString &root)
{
    static const QRegularExpression directive(QStringLiteral("^\\s*#\\s*include\\s*([<\"])([^>\"]+)[>\"]"));
    const QDir top(root);
    IncludeMap found;
    for (const QString &layer : kLayers) {
        QDirIterator it(top.filePath(layer), {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            found.insert(top.relativeFilePath(it.next()), {});
    }
    for (auto file = found.begin(); file != found.end(); ++file) {
        QFile source(top.filePath(file.key()));
        if (!source.open(QIODevice::ReadOnly))
            continue;
        for (int line = 1; !source.atEnd(); ++line) {
            const QRegularExpressionMatch match = directive.match(QString::fromUtf8(source.readLine()));
            if (!match.hasMatch())
                continue;
            Include include;
            include.written = match.captured(2);
            include.quoted = match.captured(1) == QLatin1String("\"");
            include.line = line;
            // Where the compiler looks for "...": beside the including file, then from the root.
            const QStringList candidates = {QDir::cleanPath(QFileInfo(file.key()).path() + '/' + include.written),
                                            QDir::cleanPath(include.written)};
            for (const QString &candidate : candidates) {
                if (include.quoted && found.contains(candidate)) {
                    include.file = candidate;
                    break;
                }
            }
            file.value().append(include);
        }
    }
    return found;
}

// Depth first along the includes that reach files of the tree; an include of
// a file on the path being walked closes a circle.
void walk(const IncludeMap &includes, const QString &file, QStringList &path, QHash<QString, int> &state,
          QStringList &circles)
{
    enum { Unseen, OnPath, Done };
    state[file] = OnPath;
    path.append(file);
    for (const Include &include : includes.value(file)) {
        if (include.file.isEmpty())
            continue;
        const int seen = state.value(include.file, Unseen);
        if (seen == OnPath)
            circles << (path.mid(path.indexOf(include.file)) + QStringList{include.file}).join(" -> ");
        else if (seen == Unseen)
            walk(includes, include.file, path, state, circles);
    }
    path.removeLast();
    state[file] = Done;
}

} // namespace

class TestIncludeRules : public QObject
{
    Q_OBJECT

private:
    IncludeMap m_includes;

private slots:
    void initTestCase() { m_includes = includesPerFile(QStringLiteral(QUILLO_SOURCE_DIR)); }

    void foldersIncludeDownward_data()
    {
        QTest::addColumn<int>("layer");
        for (int layer = 0; layer < kLayers.size(); ++layer)
            QTest::newRow(qPrintable(kLayers.at(layer))) << layer;
    }
    void foldersIncludeDownward()
    {
        QFETCH(int, layer);
        int files = 0;
        QStringList upward;
        for (auto file = m_includes.cbegin(); file != m_includes.cend(); ++file) {
            if (layerOf(file.key()) != layer)
                continue;
            ++files;
            for (const Include &include : file.value()) {
                const int target = layerOf(include.file.isEmpty() ? include.written : include.file);
                if (include.quoted && target > layer)
                    upward << QStringLiteral("%1:%2 -> %3 (%4/)")
                                  .arg(file.key())
                                  .arg(include.line)
                                  .arg(include.written, kLayers.at(target));
            }
        }
        // An empty layer means the scan looked in the wrong place, not that the rule holds.
        QVERIFY2(files > 0, qPrintable(QStringLiteral("no .h or .cpp under %1/").arg(kLayers.at(layer))));
        QVERIFY2(upward.isEmpty(), qPrintable("included from a higher layer:\n  " + upward.join("\n  ")));
    }

    // System headers are on every include path, so only this keeps a third-party
    // library inside the folder whose target links it.
    void thirdPartyHeadersStayHome_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("homes");
        QTest::newRow("V4L2") << "^(linux/videodev2\\.h|libv4l2\\.h|libv4lconvert\\.h)$" << QStringList{"sdk/v4l2/"};
        QTest::newRow("OpenCV") << "^opencv2/" << QStringList{"sdk/page/", "sdk/jpeg/", "sdk/simulated/"};
        QTest::newRow("libjpeg-turbo") << "^(turbojpeg|jpeglib)\\.h$" << QStringList{"sdk/jpeg/"};
        QTest::newRow("FreeType") << "^(ft2build\\.h|freetype/)" << QStringList{"sdk/watermark/"};
        QTest::newRow("libharu") << "^hpdf" << QStringList{"pdf/"};
        QTest::newRow("Tesseract") << "^(tesseract|leptonica)/" << QStringList{"core/textrecognizer.cpp"};
    }
    void thirdPartyHeadersStayHome()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, homes);
        const QRegularExpression header(pattern);
        QStringList strays;
        int atHome = 0;
        for (auto file = m_includes.cbegin(); file != m_includes.cend(); ++file) {
            const bool home = std::any_of(homes.cbegin(), homes.cend(),
                                          [&](const QString &h) { return file.key().startsWith(h); });
            for (const Include &include : file.value()) {
                if (!include.file.isEmpty() || !header.match(include.written).hasMatch())
                    continue;
                if (home)
                    ++atHome;
                else
                    strays << QStringLiteral("%1:%2 -> %3").arg(file.key()).arg(include.line).arg(include.written);
            }
        }
        // None at home means the pattern or the home went stale, not that the rule holds.
        QVERIFY2(atHome > 0, qPrintable("no include matches at home: " + homes.join(", ")));
        QVERIFY2(strays.isEmpty(), qPrintable("outside " + homes.join(", ") + ":\n  " + strays.join("\n  ")));
    }

    // The camera library's sub-folders are targets of their own, so two of
    // them that include each other could not be linked one after the other.
    void sdkFoldersIncludeOneWay()
    {
        QSet<QPair<QString, QString>> reaches;
        for (auto file = m_includes.cbegin(); file != m_includes.cend(); ++file) {
            const QString from = QFileInfo(file.key()).path();
            for (const Include &include : file.value()) {
                const QString to = QFileInfo(include.file).path();
                if (from.startsWith("sdk/") && to.startsWith("sdk/") && from != to)
                    reaches.insert({from, to});
            }
        }
        QVERIFY2(!reaches.isEmpty(), "no sdk sub-folder includes another: the scan found no sub-folders");
        QStringList both;
        for (const auto &pair : reaches) {
            if (pair.first < pair.second && reaches.contains({pair.second, pair.first}))
                both << pair.first + " <-> " + pair.second;
        }
        QVERIFY2(both.isEmpty(), qPrintable("sub-folders that include each other:\n  " + both.join("\n  ")));
    }

    // Suites see the code through its public seams; a befriended suite would
    // pin private members in place.
    void noHeaderBefriendsASuite()
    {
        static const QRegularExpression friendSuite(QStringLiteral("^\\s*friend\\s+(class\\s+)?Test\\w*\\s*;"));
        QStringList friends;
        int headers = 0;
        for (auto file = m_includes.cbegin(); file != m_includes.cend(); ++file) {
            if (!file.key().endsWith(QLatin1String(".h")))
                continue;
            ++headers;
            QFile header(QDir(QStringLiteral(QUILLO_SOURCE_DIR)).filePath(file.key()));
            QVERIFY2(header.open(QIODevice::ReadOnly), qPrintable(file.key()));
            for (int line = 1; !header.atEnd(); ++line) {
                if (friendSuite.match(QString::fromUtf8(header.readLine())).hasMatch())
                    friends << QStringLiteral("%1:%2").arg(file.key()).arg(line);
            }
        }
        QVERIFY(headers > 0);
        QVERIFY2(friends.isEmpty(), qPrintable("suites befriended in:\n  " + friends.join("\n  ")));
    }

    void noIncludeCircle()
    {
        int reaching = 0;
        for (const QVector<Include> &includes : m_includes) {
            for (const Include &include : includes)
                reaching += include.file.isEmpty() ? 0 : 1;
        }
        QVERIFY2(reaching > 0, "no include reaches a file of the tree: nothing to walk");
        QHash<QString, int> state;
        QStringList path;
        QStringList circles;
        for (auto file = m_includes.cbegin(); file != m_includes.cend(); ++file) {
            if (!state.contains(file.key()))
                walk(m_includes, file.key(), path, state, circles);
        }
        QVERIFY2(circles.isEmpty(), qPrintable("files that include themselves:\n  " + circles.join("\n  ")));
    }
};

QTEST_GUILESS_MAIN(TestIncludeRules)
#include "testincluderules.moc"
