// Start-up and the settings file as a user meets them: hand-written UTF-8
// values, an empty folder key, a folder that does not exist yet, a camera
// outside the Tarvo family, and the store's own trace lines.
#include "tests/shared/mainwindowfixture.h"
#include "settings/ccfgcontrol.h"
#include "tests/shared/modalanswerer.h"
#include "core/stylenoisefilter.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QStringList g_traces;

void collectTrace(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_traces << message;
}

QStringList twelveZeros()
{
    QStringList values;
    for (int i = 0; i < 12; ++i)
        values << QStringLiteral("0");
    return values;
}

QString settingsPath()
{
    return QDir::homePath() + "/NorLastSetting.ini";
}

void writeRaw(const QByteArray &bytes)
{
    QFile f(settingsPath());
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

} // namespace

class TestStartupSettings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static std::unique_ptr<CamMainWindow> makeWindow(const char *cameras)
    {
        qputenv("ORVIX_SIMULATED_CAMERAS", cameras);
        ModalAnswerer answerer;
        return std::unique_ptr<CamMainWindow>(new CamMainWindow(nullptr));
    }

    // Scans one page and waits until its save has been handled.
    static QString scanAndWait(CamMainWindow *w)
    {
        invoke(*w, "slotScanBtnClicked");
        QElapsedTimer t;
        t.start();
        while (w->session().isSaving() && t.elapsed() < 20000)
            QTest::qWait(5);
        QTest::qSleep(2); // a new millisecond, a new name
        return w->session().shownPaths().isEmpty() ? QString() : w->session().shownPaths().last();
    }

private slots:
    void initTestCase()
    {
        StyleNoiseFilter::install();
        QVERIFY(m_dir.isValid());
    }

    void init() { QFile::remove(settingsPath()); }

    // Raw UTF-8 reads as UTF-8; other bytes and the store's own escapes read
    // as they always did.
    void valuesReadAsWritten_data()
    {
        QTest::addColumn<QByteArray>("raw");    // the value's bytes in the file; empty: written by the store
        QTest::addColumn<QString>("expected");
        QTest::newRow("hand-written UTF-8 watermark") << QByteArray("测试水印") << QStringLiteral("测试水印");
        QTest::newRow("hand-written UTF-8 folder")
            << QByteArray("/home/user/文档测试") << QStringLiteral("/home/user/文档测试");
        QTest::newRow("Latin-1 byte") << QByteArray("caf\xe9") << QStringLiteral("café");
        QTest::newRow("store's escapes of UTF-8 lookalike") << QByteArray() << QStringLiteral("Ã©文档");
        QTest::newRow("plain ASCII") << QByteArray("plain text") << QStringLiteral("plain text");
    }
    void valuesReadAsWritten()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, expected);
        CCfgControl cfg;
        if (raw.isEmpty()) {
            QStringList values = twelveZeros();
            values[5] = expected;
            cfg.setValue(values);
        } else {
            writeRaw("[Settings]\nWaterContent=" + raw + "\nFileFormat=0\n");
        }
        QString value;
        QCOMPARE(cfg.readValue("WaterContent", value), 0);
        QCOMPARE(value, expected);
        QCOMPARE(cfg.read().values.waterContent, expected);
    }

    void storeTracesWhatHappened()
    {
        CCfgControl cfg;
        const QStringList values = twelveZeros();
        g_traces.clear();
        QtMessageHandler previous = qInstallMessageHandler(collectTrace);
        cfg.setValue(values); // a fresh, written file
        QString value;
        writeRaw("[Settings\nFilePath=/tmp\n");
        cfg.readValue("FilePath", value);
        writeRaw("[Settings\nFilePath=/tmp\n");
        cfg.setValue(values); // written, over content that was not valid
        const QStringList afterRead = g_traces;
        QFile written(settingsPath());
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll().contains("FileFormat=0"));
        written.close();
        QFile::remove(settingsPath());
        QVERIFY(QDir().mkpath(settingsPath())); // a folder where the file should be
        cfg.setValue(values);
        qInstallMessageHandler(previous);
        QDir(settingsPath()).removeRecursively();
        // Qt keeps the unwritten values for the path; let them reach a file
        // so that later reads start from what is on disk.
        QSettings(settingsPath(), QSettings::IniFormat).sync();

        const QString all = g_traces.join('|');
        QCOMPARE(afterRead.filter("not written").size(), 0);
        QVERIFY2(afterRead.filter("is not valid INI").size() == 1, qPrintable(all));
        QVERIFY2(g_traces.filter("not written").size() == 1, qPrintable(all));
    }

    // An empty "FilePath" means the home folder; a folder that does not exist
    // yet is made, whatever its characters.
    void scanFolder_data()
    {
        QTest::addColumn<QByteArray>("filePath");
        QTest::addColumn<QString>("expectedFolder");
        QTest::newRow("empty") << QByteArray() << QDir::homePath();
        const QString missing = m_dir.filePath(QStringLiteral("新的/文档测试"));
        QTest::newRow("missing, hand-written UTF-8") << missing.toUtf8() << missing;
    }
    void scanFolder()
    {
        QFETCH(QByteArray, filePath);
        QFETCH(QString, expectedFolder);
        writeRaw("[Settings]\nFilePath=" + filePath + "\nDevName=0\nXResolution=640\nYResolution=480\n");
        auto w = makeWindow("Plain|640x480|");
        const QString page = scanAndWait(w.get());
        QCOMPARE(QFileInfo(page).absolutePath(), expectedFolder);
        QCOMPARE(QImageReader(page).format(), QByteArray("jpeg"));
        QCOMPARE(w->session().mergeFolder(), expectedFolder);
    }

    // A camera outside the Tarvo family: button up, library off, and the
    // first scan uncropped; the first click turns all three on together.
    void cropStartsOffOutsideTheTarvoFamily()
    {
        auto w = makeWindow("Plain|640x480|");
        QVERIFY(!w->session().isTarvoDevice());
        QVERIFY(!parts(*w).cutBtn->isDown());
        QCOMPARE(QImageReader(scanAndWait(w.get())).size(), QSize(640, 480));
        invoke(*w, "slotCutBtnClicked");
        QVERIFY(parts(*w).cutBtn->isDown());
        const QSize cropped = QImageReader(scanAndWait(w.get())).size();
        QVERIFY2(cropped.width() < 640 || cropped.height() < 480, qPrintable(QString::number(cropped.width())));
    }
};

QTEST_MAIN(TestStartupSettings)
#include "teststartupsettings.moc"
