// The scan's rules without a window or camera: stamp, format codes, where
// each value comes from and how the processing record is filled.
#include "settings/ccfgcontrol.h"
#include "core/scanplan.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

using namespace scanplan;

class TestScanPlan : public QObject
{
    Q_OBJECT

private:
    static Settings::Stored fullFile(int format, const QString &folder)
    {
        Settings::Stored f;
        f.fileExists = true;
        f.values.fileFormat = format;
        f.values.water = true;
        f.values.red = 10;
        f.values.green = 20;
        f.values.blue = 30;
        f.values.waterFont = 44;
        f.values.textEnhance = true;
        f.values.waterContent = QStringLiteral("机密 copy");
        f.values.folder = folder;
        return f;
    }

    static ScanInputs inputs(const Settings::Stored &file)
    {
        ScanInputs in;
        in.stamp = "20260102030405006";
        in.homeDir = "/home/user";
        in.pageFolder = "/home/user/.cache/quillo/pages";
        in.file = file;
        return in;
    }

    // Every byte of the record except the given fields must be 0.
    static bool onlyTheseFieldsSet(IMAGEPARAM p)
    {
        p.nCropType = 0;
        p.bIsTextEn = false;
        p.nRotate = 0;
        p.bIsWater = false;
        p.nR = p.nG = p.nB = 0;
        unsigned char zero[sizeof(IMAGEPARAM)] = {};
        return std::memcmp(&p, zero, sizeof p) == 0;
    }

    QString settingsFile() const { return CCfgControl::settingsFilePath(); }

private slots:
    void init() { QFile::remove(settingsFile()); }

    void stamp_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("stamp");
        QTest::newRow("small fields padded") << QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6)) << "20260102030405006";
        QTest::newRow("end of a year, 24-hour clock")
            << QDateTime(QDate(2025, 12, 31), QTime(23, 59, 59, 999)) << "20251231235959999";
        QTest::newRow("midnight") << QDateTime(QDate(2026, 7, 1), QTime(0, 0, 0, 0)) << "20260701000000000";
    }
    void stamp()
    {
        QFETCH(QDateTime, when);
        QFETCH(QString, stamp);
        QCOMPARE(makeStamp(when), stamp);
        QCOMPARE(makeStamp(when).size(), 17);
    }

    void formatCodes_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("capture");
        QTest::addColumn<QString>("pdf");
        QTest::newRow("0 jpg") << "0" << "/data/20260102030405006.jpg" << "/data/20260102030405006.jpg"
                               << "/data/20260102030405006.jpg" << "";
        QTest::newRow("1 single-page pdf") << "1" << "/data/20260102030405006.pdf"
                                           << "/home/user/.cache/quillo/pages/20260102030405006.jpg"
                                           << "/home/user/.cache/quillo/pages/20260102030405006.jpg"
                                           << "/data/20260102030405006.pdf";
        QTest::newRow("2 as jpg") << "2" << "/data/20260102030405006.jpg" << "/data/20260102030405006.jpg"
                                  << "/data/20260102030405006.jpg" << "";
        QTest::newRow("-1 as jpg") << "-1" << "/data/20260102030405006.jpg" << "/data/20260102030405006.jpg"
                                   << "/data/20260102030405006.jpg" << "";
        QTest::newRow("empty as jpg") << "" << "/data/20260102030405006.jpg" << "/data/20260102030405006.jpg"
                                      << "/data/20260102030405006.jpg" << "";
        QTest::newRow("garbage as jpg") << "pdf" << "/data/20260102030405006.jpg"
                                        << "/data/20260102030405006.jpg" << "/data/20260102030405006.jpg" << "";
    }
    void formatCodes()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QFETCH(QString, page);
        QFETCH(QString, capture);
        QFETCH(QString, pdf);
        Settings read;
        read.setText(Settings::Key::FileFormat, stored);
        const ScanPlan plan = planScan(inputs(fullFile(read.fileFormat, "/data")));
        QCOMPARE(plan.listShownPath, shown);
        QCOMPARE(plan.listPagePath, page);
        QCOMPARE(plan.captureJpegPath, capture);
        QCOMPARE(plan.pdfPath, pdf);
        // The JPEG name in the folder is always lower-case jpg.
        QCOMPARE(plan.filePath, QStringLiteral("/data/20260102030405006.jpg"));
    }

    void noSettingsFile()
    {
        ScanInputs in = inputs(Settings::Stored());
        in.cropIndex = 3;
        const ScanPlan plan = planScan(in);
        QCOMPARE(plan.formatCode, int(FormatJpg));
        QCOMPARE(plan.filePath, QStringLiteral("/home/user/20260102030405006.jpg"));
        QCOMPARE(plan.settingsFolder, QStringLiteral("/home/user"));
        QCOMPARE(plan.param.bIsWater, false);
        QCOMPARE(plan.param.bIsTextEn, false);
        QCOMPARE(plan.param.nR + plan.param.nG + plan.param.nB, 0);
        QCOMPARE(plan.param.nCropType, 1);
        QVERIFY(plan.waterContent.isEmpty());
        QVERIFY(onlyTheseFieldsSet(plan.param));
        QVERIFY(!plan.jpegPdfPages); // pages of pixels unless asked
    }

    void settingsFileValues()
    {
        const ScanPlan plan = planScan(inputs(fullFile(0, "/srv/scans")));
        QCOMPARE(plan.folder, QStringLiteral("/srv/scans"));
        QCOMPARE(plan.param.bIsWater, true);
        QCOMPARE(plan.param.nR, 10);
        QCOMPARE(plan.param.nG, 20);
        QCOMPARE(plan.param.nB, 30);
        QCOMPARE(plan.param.bIsTextEn, true);
        // The font size is read but never handed over.
        QCOMPARE(plan.param.nFont, 0);
        QCOMPARE(plan.waterContent, QStringLiteral("机密 copy").toUtf8());
        QCOMPARE(plan.waterContent.constData()[plan.waterContent.size()], '\0');
        QVERIFY(onlyTheseFieldsSet(plan.param));
    }

    void emptyKeys()
    {
        Settings::Stored f;
        f.fileExists = true;
        for (const Settings::Row &row : Settings::kTable)
            f.values.setText(row.key, QString()); // every key present but empty
        const ScanPlan plan = planScan(inputs(f));
        QCOMPARE(plan.formatCode, 0);
        // An empty folder falls back to home, never to the root.
        QCOMPARE(plan.filePath, QStringLiteral("/home/user/20260102030405006.jpg"));
        QCOMPARE(plan.settingsFolder, QStringLiteral("/home/user"));
        QCOMPARE(plan.param.bIsWater, false);
        QCOMPARE(plan.param.nR, 0);
    }

    void settingsWindowValues_data()
    {
        QTest::addColumn<bool>("formatFromWindow");
        QTest::addColumn<bool>("valuesFromWindow");
        QTest::newRow("saved window") << true << true;
        QTest::newRow("window opened, not saved") << false << false;
    }
    void settingsWindowValues()
    {
        QFETCH(bool, formatFromWindow);
        QFETCH(bool, valuesFromWindow);
        ScanInputs in = inputs(fullFile(0, "/from/file"));
        in.formatFromWindow = formatFromWindow;
        in.valuesFromWindow = valuesFromWindow;
        in.window.fileFormat = 1;
        in.window.water = false;
        in.window.red = 200;
        in.window.green = 201;
        in.window.blue = 202;
        in.window.textEnhance = false;
        in.window.waterContent = "window";
        in.window.folder = "/from/window";
        in.file.values.pdfImages = 1;
        in.window.pdfImages = 0;
        const ScanPlan plan = planScan(in);
        QCOMPARE(plan.jpegPdfPages, !valuesFromWindow);
        if (formatFromWindow) {
            QCOMPARE(plan.formatCode, 1);
            QCOMPARE(plan.pdfPath, QStringLiteral("/from/window/20260102030405006.pdf"));
            QCOMPARE(plan.param.nR, 200);
            QCOMPARE(plan.param.nG, 201);
            QCOMPARE(plan.param.nB, 202);
            QCOMPARE(plan.param.bIsWater, false);
            QCOMPARE(plan.param.bIsTextEn, false);
            QCOMPARE(plan.waterContent, QByteArray("window"));
        } else {
            QCOMPARE(plan.formatCode, 0);
            QCOMPARE(plan.filePath, QStringLiteral("/from/file/20260102030405006.jpg"));
            QCOMPARE(plan.param.nR, 10);
            QCOMPARE(plan.param.bIsWater, true);
            QCOMPARE(plan.waterContent, QStringLiteral("机密 copy").toUtf8());
        }
        // The folder kept for later merges is always the settings file's.
        QCOMPARE(plan.settingsFolder, QStringLiteral("/from/file"));
    }

    void cropParity_data()
    {
        QTest::addColumn<int>("counter");
        QTest::addColumn<int>("cropType");
        QTest::newRow("1 on") << 1 << 1;
        QTest::newRow("2 off") << 2 << 0;
        QTest::newRow("0 off") << 0 << 0;
        QTest::newRow("7 on") << 7 << 1;
        QTest::newRow("-1 on") << -1 << 1;
        QTest::newRow("-2 off") << -2 << 0;
    }
    void cropParity()
    {
        QFETCH(int, counter);
        QFETCH(int, cropType);
        ScanInputs in = inputs(Settings::Stored());
        in.cropIndex = counter;
        QCOMPARE(planScan(in).param.nCropType, cropType);
    }

    void rotationTruncation_data()
    {
        QTest::addColumn<double>("degrees");
        QTest::addColumn<int>("rotate");
        QTest::newRow("270.0") << 270.0 << 270;
        QTest::newRow("450.0") << 450.0 << 450;
        QTest::newRow("-90.0") << -90.0 << -90;
        QTest::newRow("89.9 toward zero") << 89.9 << 89;
        QTest::newRow("-89.9 toward zero") << -89.9 << -89;
        QTest::newRow("nan") << std::nan("") << 0;
        QTest::newRow("beyond int") << 1e20 << 0;
    }
    void rotationTruncation()
    {
        QFETCH(double, degrees);
        QFETCH(int, rotate);
        ScanInputs in = inputs(Settings::Stored());
        in.rotation = degrees;
        QCOMPARE(int(planScan(in).param.nRotate), rotate);
    }

    // The store's read against a real settings file in the test's HOME.
    void readerMissingFile()
    {
        const Settings::Stored v = CCfgControl().read();
        QVERIFY(!v.fileExists);
        const ScanPlan plan = planScan(inputs(v));
        QCOMPARE(plan.folder, QStringLiteral("/home/user"));
    }

    void readerSavedFile()
    {
        CCfgControl cfg;
        cfg.setValue({"/data/扫描", "0", "640", "480", "1", "水印", "20", "1", "2", "3", "1", "1"});
        const Settings::Stored v = cfg.read();
        QVERIFY(v.fileExists);
        const ScanPlan plan = planScan(inputs(v));
        QCOMPARE(plan.formatCode, 1);
        QCOMPARE(plan.pdfPath, QStringLiteral("/data/扫描/20260102030405006.pdf"));
        QCOMPARE(plan.param.nR, 1);
        QCOMPARE(plan.param.nG, 2);
        QCOMPARE(plan.param.nB, 3);
        QCOMPARE(plan.param.bIsWater, true);
        QCOMPARE(plan.param.bIsTextEn, true);
        QCOMPARE(plan.waterContent, QStringLiteral("水印").toUtf8());
    }

    void readerKeysMissingFromFile()
    {
        {
            QSettings ini(settingsFile(), QSettings::IniFormat);
            ini.setValue("Settings/DevName", "0");
            ini.setValue("Settings/bIsWater", "1");
        }
        const Settings::Stored v = CCfgControl().read();
        QVERIFY(v.fileExists);
        // An absent key reads as empty text: 0, not the value for a missing file.
        QCOMPARE(v.values.waterFont, 0);
        const ScanPlan plan = planScan(inputs(v));
        QCOMPARE(plan.formatCode, 0);
        QCOMPARE(plan.filePath, QStringLiteral("/home/user/20260102030405006.jpg"));
        QCOMPARE(plan.param.bIsWater, true);
    }
};

QTEST_GUILESS_MAIN(TestScanPlan)
#include "testscanplan.moc"
