// Stamped names that never replace a file; temporaries a killed save left.
#include "fileio/atomicfile.h"
#include "fileio/freestamp.h"
#include "fileio/staletemps.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

constexpr char kStamp[] = "20261025025959999";

void plant(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::NewOnly) && f.write("earlier") == 7);
}

// Another writer takes the given names between choosing and committing.
class NameThief : public fileio::FileOps
{
public:
    QStringList plantAtCommit;
    int renameNoReplace(const char *from, const char *to) override
    {
        for (const QString &path : qAsConst(plantAtCommit))
            plant(path);
        plantAtCommit.clear();
        return fileio::FileOps::renameNoReplace(from, to);
    }
};

} // namespace

class TestFileNames : public QObject
{
    Q_OBJECT

private slots:
    void nextStamp_data()
    {
        QTest::addColumn<QString>("stamp");
        QTest::addColumn<QString>("next");
        QTest::newRow("into a new year") << "20261231235959999" << "20270101000000000";
        QTest::newRow("leap day") << "20240228235959999" << "20240229000000000";
        QTest::newRow("no leap day in 2100") << "21000228235959999" << "21000301000000000";
        QTest::newRow("last stamp") << "99991231235959999" << "";
        QTest::newRow("month 13") << "20261302030405006" << "";
    }
    void nextStamp()
    {
        QFETCH(QString, stamp);
        QFETCH(QString, next);
        QCOMPARE(QString::fromStdString(fileio::nextStamp(stamp.toStdString())), next);
    }

    void newFileNeverReplaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("atCommit");
        QTest::addColumn<QString>("used"); // empty: refused
        const QString a = QString(kStamp) + ".pdf";
        QTest::newRow("next taken too") << a << QStringList{"20261025030000000.pdf"}
                                        << QStringList{a, "20261025030000001.pdf"} << "20261025030000002.pdf";
        QTest::newRow("other name taken") << "notes.pdf" << QStringList() << QStringList{"notes.pdf"} << "";
    }
    void newFileNeverReplaces()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, before);
        QFETCH(QStringList, atCommit);
        QFETCH(QString, used);
        QTemporaryDir dir;
        NameThief ops;
        for (const QString &planted : before)
            plant(dir.filePath(planted));
        for (const QString &planted : atCommit)
            ops.plantAtCommit << dir.filePath(planted);
        std::string written, error;
        int err = 0;
        const bool ok = fileio::AtomicFile::writeNew(dir.filePath(name).toStdString(), "new", 3, false, written,
                                                     error, err, ops);
        QCOMPARE(ok, !used.isEmpty());
        if (ok)
            QCOMPARE(QString::fromStdString(written), dir.filePath(used));
        else
            QCOMPARE(err, EEXIST);
        for (const QString &planted : before + atCommit)
            QCOMPARE(QFileInfo(dir.filePath(planted)).size(), 7); // "earlier", not replaced
        const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left.size(), before.size() + atCommit.size() + (ok ? 1 : 0));
    }

    void staleTemporariesSwept_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<QString>("kind"); // file, symlink, foreign (another user's)
        QTest::addColumn<bool>("swept");
        const QString ours = QString(".") + kStamp + ".jpg.a1B2c3";
        QTest::newRow("stale, ours") << ours << 120 << "file" << true;
        QTest::newRow("fresh") << ours << 10 << "file" << false;
        QTest::newRow("hidden, not ours") << ".notes.txt.a1B2c3" << 120 << "file" << false;
        QTest::newRow("not a stamp") << ".2026102502595999x.jpg.a1B2c3" << 120 << "file" << false;
        QTest::newRow("symlink") << ours << 120 << "symlink" << false;
        QTest::newRow("another user's") << ours << 120 << "foreign" << false;
    }
    void staleTemporariesSwept()
    {
        QFETCH(QString, name);
        QFETCH(int, ageSeconds);
        QFETCH(QString, kind);
        QFETCH(bool, swept);
        if (kind == "foreign" && ::geteuid() != 0)
            QSKIP("giving a file to another user needs root");
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        const QString target = dir.filePath("kept.jpg");
        plant(target);
        if (kind == "symlink")
            QVERIFY(QFile::link(target, path));
        else
            plant(path);
        if (kind == "foreign")
            QCOMPARE(::chown(QFile::encodeName(path).constData(), 4242, 4242), 0);
        const std::time_t now = std::time(nullptr) + ageSeconds;
        QCOMPARE(fileio::sweepStaleTemporaries(dir.path().toStdString(), now), swept ? 1 : 0);
        QCOMPARE(QFileInfo(path).isSymLink() || QFileInfo::exists(path), !swept);
        QCOMPARE(QFileInfo(target).size(), 7);
    }
};

QTEST_GUILESS_MAIN(TestFileNames)
#include "testfilenames.moc"
