// Book mode from the camera's still to the session's rows: the pages' names
// through the library's boundary (never meeting a file that exists), the
// save worker's report, and the right page's row right after the left's.
#include "tests/shared/bookpages.h"
#include "camera/orvixext.h"
#include "core/capturesession.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString kStamp = QStringLiteral("20260102030405006");

QString stampPlus(int ms)
{
    return QString::number(kStamp.toLongLong() + ms);
}

} // namespace

class TestBookCapture : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QStringList cameras;
        for (bool sheet : {false, true}) {
            bookscene::Setup s;
            s.singleSheet = sheet;
            const orvix::Frame f = bookpages::spread(s).frame;
            const QString path = m_dir.filePath(sheet ? "sheet.png" : "spread.png");
            QVERIFY(QImage(f.rgb.data(), f.width, f.height, int(f.stride()), QImage::Format_RGB888).save(path));
            cameras << QStringLiteral("%1|1632x1224|scene=%2").arg(sheet ? "Sheet" : "Book", path);
        }
        qputenv("ORVIX_SIMULATED_CAMERAS", cameras.join(';').toUtf8());
        QCOMPARE(Cam_Init(), 0);
    }

    void stampsNeverCollide_data()
    {
        QTest::addColumn<int>("camera");
        QTest::addColumn<QList<int>>("taken"); // stamps (ms after the scan's) already there
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right"); // -1: one page
        QTest::newRow("spread, free folder") << 0 << QList<int>{} << 0 << 1;
        QTest::newRow("spread, next stamp taken") << 0 << QList<int>{1} << 0 << 2;
        QTest::newRow("spread, its stamp taken") << 0 << QList<int>{0} << 1 << 2;
        QTest::newRow("single sheet") << 1 << QList<int>{} << 0 << -1;
    }

    void stampsNeverCollide()
    {
        QFETCH(int, camera);
        QFETCH(QList<int>, taken);
        QFETCH(int, left);
        QFETCH(int, right);
        QTemporaryDir folder;
        const auto named = [&folder](int ms) { return folder.filePath(stampPlus(ms) + ".jpg"); };
        for (int ms : taken) {
            QFile f(named(ms));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("kept") == 4);
        }
        QCOMPARE(Cam_SetCameraFormat(camera, 0), 0);
        const QByteArray path = named(0).toUtf8();
        QByteArray leftPath(path.size() + 1, 'x'), rightPath(path.size() + 1, 'x');
        int count = -1;
        QCOMPARE(Orvix_CameraCaptureBookFiles(0, path.constData(), IMAGEPARAM{}, 0, leftPath.data(), rightPath.data(),
                                              leftPath.size(), &count),
                 0);
        QCOMPARE(count, right < 0 ? 1 : 2);
        QCOMPARE(QString::fromUtf8(leftPath.constData()), named(left));
        QCOMPARE(QString::fromUtf8(rightPath.constData()), right < 0 ? QString() : named(right));
        for (int ms : taken) {
            QFile f(named(ms));
            QVERIFY(f.open(QIODevice::ReadOnly) && f.readAll() == "kept");
        }
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), taken.size() + count);
    }

    void rightPageFollowsItsLeftPage_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("jpg") << 0;
        QTest::newRow("single-page pdf") << 1;
    }

    void rightPageFollowsItsLeftPage()
    {
        QFETCH(int, format);
        QTemporaryDir folder;
        {
            QSettings file(QDir::homePath() + "/NorLastSetting.ini", QSettings::IniFormat);
            file.setValue("Settings/BookMode", "1");
            file.setValue("Settings/FilePath", folder.path());
            file.setValue("Settings/FileFormat", QString::number(format));
        }
        std::unique_ptr<CaptureSession> session(new CaptureSession);
        QCOMPARE(session->discover(), int(CaptureSession::Ready));
        session->setAutoCrop(false);
        session->start();
        QVERIFY(session->bookMode().isOn());
        QSignalSpy inserted(&session->pages(), &StoredPages::pageInserted);

        // The second scan is listed before the first one's right page is known.
        session->scan(2, 0.0, nullptr);
        session->scan(2, 0.0, nullptr);
        session->waitForSaves();
        const QList<StoredPages::Page> pages = session->pages().all();
        QCOMPARE(pages.size(), 4);
        // The first right page goes between the scans; the last one is appended.
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted.at(0).at(0).toInt(), 1);
        QSet<QString> names;
        for (const StoredPages::Page &page : pages) {
            QVERIFY2(QFile::exists(page.shownPath) && QFile::exists(page.pagePath), qPrintable(page.shownPath));
            QCOMPARE(page.shownPath.endsWith(".pdf"), format == 1);
            names << QFileInfo(page.shownPath).fileName();
        }
        QCOMPARE(names.size(), 4);
        // Each right page's stamp comes after its left page's.
        for (int i = 0; i < 4; i += 2)
            QVERIFY(QFileInfo(pages[i + 1].shownPath).baseName() > QFileInfo(pages[i].shownPath).baseName());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), 4);
    }
};

QTEST_GUILESS_MAIN(TestBookCapture)
#include "testbookcapture.moc"
