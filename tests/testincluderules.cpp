// The include graph of the program's folders: a folder includes only from its
// own layer or a lower one, and no file comes back to itself through its
// includes. tests/, bench/ and fuzz/ stand outside the layers.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QStringList>
#include <QVector>
#include <QtTest>

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
