// The capture session without any window: simulated cameras, scans saved on
// their own threads, the run's pages, their deletion and their merge, seen
// through the session's signals and the files on disk.
#include "core/capturesession.h"
#include "thread/pagefolder.h"
#include "tests/shared/failingfileops.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class TestCaptureSession : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void discoveryReports_data();
    void discoveryReports();
    void scanListsThePageAndReportsItsSave();
    void failedSaveTakesThePageOut();
    void savedSettingsChooseFolderAndFormat();
    void deleteKeepsRowsWhoseFilesStay();
    void mergeWaitsForSavesAndReportsAStop();
    void takenStampMovesOn_data();
    void takenStampMovesOn();
    void pageImagesArePrivateAndGoWithTheirPage_data();
    void pageImagesArePrivateAndGoWithTheirPage();

private:
    // A started session on one simulated camera, crop off.
    std::unique_ptr<CaptureSession> startedSession(const char *cameras);
};

void TestCaptureSession::init()
{
    QFile::remove(QDir::homePath() + "/NorLastSetting.ini");
}

std::unique_ptr<CaptureSession> TestCaptureSession::startedSession(const char *cameras)
{
    qputenv("ORVIX_SIMULATED_CAMERAS", cameras);
    Cam_Init();
    std::unique_ptr<CaptureSession> session(new CaptureSession);
    if (session->discover() != CaptureSession::Ready)
        return nullptr;
    session->setAutoCrop(false);
    session->start();
    return session;
}

void TestCaptureSession::discoveryReports_data()
{
    QTest::addColumn<QByteArray>("cameras");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("tarvo");
    QTest::newRow("none") << QByteArray() << int(CaptureSession::NoCamera) << false;
    QTest::newRow("none accessible") << QByteArray("Locked|640x480|noaccess") << int(CaptureSession::NoAccess)
                                     << false;
    QTest::newRow("Tarvo") << QByteArray("T|800x600|tarvo") << int(CaptureSession::Ready) << true;
    QTest::newRow("other") << QByteArray("U|640x480|") << int(CaptureSession::Ready) << false;
}

void TestCaptureSession::discoveryReports()
{
    QFETCH(QByteArray, cameras);
    QFETCH(int, result);
    QFETCH(bool, tarvo);
    qputenv("ORVIX_SIMULATED_CAMERAS", cameras);
    Cam_Init();
    CaptureSession session;
    QCOMPARE(session.discover(), result);
    QCOMPARE(session.isConnected(), result == CaptureSession::Ready);
    QCOMPARE(session.isTarvoDevice(), tarvo);
    // A second listing gives the same, not twice the devices.
    const QStringList names = session.deviceNames();
    QCOMPARE(session.discover(), result);
    QCOMPARE(session.deviceNames(), names);
}

void TestCaptureSession::scanListsThePageAndReportsItsSave()
{
    auto session = startedSession("Sim|640x480|");
    QVERIFY(session);
    QSignalSpy added(&session->pages(), &StoredPages::pageAdded);
    QSignalSpy finished(session.get(), &CaptureSession::saveFinished);
    QSignalSpy ended(session.get(), &CaptureSession::savesEnded);

    session->scan(2, 90.0, nullptr);
    // Listed at once, before the file exists; the merge folder only once it does.
    QCOMPARE(added.count(), 1);
    QCOMPARE(session->pages().count(), 1);
    QVERIFY(session->mergeFolder().isEmpty());
    QVERIFY(finished.wait(20000));
    QCOMPARE(ended.count(), 1);
    QCOMPARE(finished.first().at(0).toInt(), 0);
    QVERIFY(finished.first().at(1).value<SaveOutcome>().written);

    const StoredPages::Page page = session->pages().at(0);
    QVERIFY(!page.pdf);
    QCOMPARE(page.shownPath, page.pagePath);
    QCOMPARE(QFileInfo(page.shownPath).absolutePath(), QDir::homePath());
    QCOMPARE(session->mergeFolder(), QDir::homePath());
    // Turned a quarter: the stored page is upright for the reader.
    QCOMPARE(QImageReader(page.shownPath).size(), QSize(480, 640));
    QVERIFY(!session->isSaving());
}

void TestCaptureSession::failedSaveTakesThePageOut()
{
    auto session = startedSession("Broken|640x480|failcapture");
    QVERIFY(session);
    QSignalSpy removed(&session->pages(), &StoredPages::pageRemoved);
    QSignalSpy finished(session.get(), &CaptureSession::saveFinished);
    session->scan(2, 0.0, nullptr);
    session->waitForSaves();
    QCOMPARE(finished.count(), 1);
    const SaveOutcome outcome = finished.first().at(1).value<SaveOutcome>();
    QVERIFY(!outcome.written);
    QVERIFY(!outcome.message().isEmpty());
    QCOMPARE(removed.count(), 1);
    QCOMPARE(session->pages().count(), 0);
    QVERIFY(session->mergeFolder().isEmpty());
}

void TestCaptureSession::savedSettingsChooseFolderAndFormat()
{
    QTemporaryDir folder;
    auto session = startedSession("Sim|640x480|");
    QVERIFY(session);
    Settings saved;
    saved.folder = folder.path();
    saved.fileFormat = 1;
    session->scan(2, 0.0, &saved);
    session->waitForSaves();
    QCOMPARE(session->pages().count(), 1);
    const StoredPages::Page page = session->pages().at(0);
    // The scan knew the format: the page says it is a PDF, its image lies in the page folder.
    QVERIFY(page.pdf);
    QCOMPARE(QFileInfo(page.shownPath).absolutePath(), folder.path());
    QVERIFY(QFile::exists(page.shownPath));
    QCOMPARE(QFileInfo(page.pagePath).absolutePath(), pagefolder::path());
    // The merge folder is the settings file's (here: none, so home), never the window's.
    QCOMPARE(session->mergeFolder(), QDir::homePath());
    QFile::remove(page.pagePath);
}

void TestCaptureSession::deleteKeepsRowsWhoseFilesStay()
{
    QTemporaryDir dir;
    StoredPages pages;
    const QString gone = dir.filePath("a.jpg");
    const QString stubborn = dir.filePath("b.jpg");
    QFile(gone).open(QIODevice::WriteOnly);
    QVERIFY(QDir().mkpath(stubborn + "/inside")); // a non-empty folder: remove() fails
    for (const QString &path : {gone, stubborn, gone})
        pages.append(StoredPages::Page{path, path, false});
    QSignalSpy removed(&pages, &StoredPages::pageRemoved);

    const QStringList failed = pages.deleteFiles({2, 1, 0, 0, 7});
    QCOMPARE(failed, QStringList{stubborn});
    QCOMPARE(pages.shownPaths(), QStringList{stubborn});
    // Highest row first, so that the lower rows keep their numbers meanwhile.
    QCOMPARE(removed.count(), 2);
    QCOMPARE(removed.at(0).at(0).toInt(), 2);
    QCOMPARE(removed.at(1).at(0).toInt(), 0);
    QVERIFY(!QFile::exists(gone));
}

void TestCaptureSession::mergeWaitsForSavesAndReportsAStop()
{
    auto session = startedSession("Sim|640x480|");
    QVERIFY(session);
    for (int i = 0; i < 2; ++i) {
        session->scan(2, 0.0, nullptr);
        QTest::qSleep(2); // a new millisecond, a new name
    }
    // No waiting here: the merge lets both saves end first.
    QString pdf;
    MergeResult result = session->merge(&pdf);
    QCOMPARE(result.pagesWritten, 2);
    QVERIFY(!result.stoppedEarly());
    QVERIFY(QFile::exists(pdf));
    QCOMPARE(QFileInfo(pdf).absolutePath(), QDir::homePath());

    // A disk that refuses the file: the merge stops and says how far it got.
    FailingFileOps refusing;
    refusing.fault = FailingFileOps::CreateFails;
    session->setFileOps(&refusing);
    QTest::qSleep(2);
    result = session->merge(&pdf);
    session->setFileOps(&fileio::FileOps::system());
    QVERIFY(result.stoppedEarly());
    QCOMPARE(result.pagesWritten, 0);
    QVERIFY(!QFile::exists(pdf));
    QVERIFY(!result.message(pdf).isEmpty());
}

namespace {

QString stampOf(const QString &path)
{
    return QFileInfo(path).fileName().left(17);
}

// Takes `path` as another writer would; false when it exists already.
bool take(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::NewOnly) && f.write("earlier") == 7;
}

} // namespace

void TestCaptureSession::takenStampMovesOn_data()
{
    QTest::addColumn<int>("format"); // -1: a merge
    QTest::addColumn<bool>("duringSave"); // taken while the page is written, else before the scan
    QTest::newRow("jpg, restored files") << 0 << false;
    QTest::newRow("pdf, restored files") << 1 << false;
    QTest::newRow("merge, restored files") << -1 << false;
    QTest::newRow("jpg, taken during the save") << 0 << true;
}

void TestCaptureSession::takenStampMovesOn()
{
    QFETCH(int, format);
    QFETCH(bool, duringSave);
    auto session = startedSession("Sim|640x480|");
    QVERIFY(session);
    QTemporaryDir scans;
    Settings saved;
    // A merge goes to the settings file's folder (home): its first write there.
    saved.folder = format < 0 ? scans.path() : QDir::homePath();
    saved.fileFormat = qMax(format, 0);
    QSignalSpy finished(session.get(), &CaptureSession::saveFinished);
    QStringList planted;
    if (format < 0 || duringSave)
        session->scan(2, 0.0, &saved);
    if (duringSave && !take((planted << session->pages().at(0).shownPath).last()))
        QSKIP("the save was written before its name could be taken");
    session->waitForSaves();
    // Every stamp of the next seconds taken, as by a clock that went back.
    const QDateTime now = QDateTime::currentDateTime();
    const QString suffix = format == 0 ? ".jpg" : ".pdf";
    for (int ms = 0; ms < 3000 && !duringSave; ++ms)
        QVERIFY(take((planted << QDir::homePath() + "/" + scanplan::makeStamp(now.addMSecs(ms)) + suffix).last()));
    const QString stale = QDir::homePath() + "/.20200101000000000" + suffix + ".Xy12Z9";
    QFile staleFile(stale);
    QVERIFY(take(stale) && staleFile.open(QIODevice::ReadWrite));
    QVERIFY(staleFile.setFileTime(now.addSecs(-300), QFileDevice::FileModificationTime));

    QString stored;
    if (format < 0) {
        QVERIFY(!session->merge(&stored).stoppedEarly());
    } else {
        if (!duringSave)
            session->scan(2, 0.0, &saved);
        session->waitForSaves();
        QCOMPARE(session->pages().count(), 1);
        stored = session->pages().at(0).shownPath;
        QCOMPARE(stored, finished.first().at(1).value<SaveOutcome>().path);
        QCOMPARE(stampOf(session->pages().at(0).pagePath), stampOf(stored));
    }
    QVERIFY(stampOf(stored) > stampOf(planted.last()));
    QVERIFY(QFileInfo(stored).size() > 100);
    for (const QString &path : qAsConst(planted))
        QCOMPARE(QFileInfo(path).size(), 7); // "earlier", not replaced
    // A stale temporary of a killed save went with the run's first write there.
    QCOMPARE(QFile::exists(stale), duringSave);
    for (const QString &path : planted + QStringList{stored, stale})
        QFile::remove(path);
}

void TestCaptureSession::pageImagesArePrivateAndGoWithTheirPage_data()
{
    QTest::addColumn<QString>("end"); // how the page leaves the run
    QTest::newRow("deleted") << "delete";
    QTest::newRow("run killed, next start") << "crash";
}

void TestCaptureSession::pageImagesArePrivateAndGoWithTheirPage()
{
    QFETCH(QString, end);
    // A looser folder from before is made private again; the umask does not matter.
    QVERIFY(QDir().mkpath(pagefolder::path()));
    QVERIFY(QFile::setPermissions(pagefolder::path(), QFileDevice::Permissions(0x7755)));
    const mode_t oldMask = ::umask(0);
    auto session = startedSession("Sim|640x480|");
    QVERIFY(session);
    Settings saved;
    saved.folder = QDir::homePath();
    saved.fileFormat = 1;
    session->scan(2, 0.0, &saved);
    session->waitForSaves();
    ::umask(oldMask);
    QCOMPARE(session->pages().count(), 1);
    const QString image = session->pages().at(0).pagePath;
    // Neither the folder nor the image open to anyone else: 0700 and 0600.
    QCOMPARE(int(QFileInfo(image).permissions() & 0x77), 0);
    QCOMPARE(int(QFileInfo(pagefolder::path()).permissions() & 0x77), 0);
    if (end == "delete") {
        QVERIFY(session->pages().deleteFiles({0}).isEmpty());
    } else {
        // What a killed run left: the next start removes it.
        const QString left = pagefolder::path() + "/20200101000000000.jpg";
        QVERIFY(QFile::copy(image, left));
        CaptureSession next;
        QVERIFY(!QFile::exists(left));
    }
    QVERIFY(!QFile::exists(image));
}

QTEST_MAIN(TestCaptureSession)
#include "testcapturesession.moc"
