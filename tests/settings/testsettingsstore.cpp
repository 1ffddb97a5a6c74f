// The settings file in the (temporary) home folder: what is written reads
// back, what is absent reads as documented, and nothing in the file can
// bring a reader down.
#include "settings/ccfgcontrol.h"
#include "core/settings.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QtTest>

class TestSettingsStore : public QObject
{
    Q_OBJECT

private:
    static QString path() { return QDir::homePath() + "/NorLastSetting.ini"; }
    static void writeRaw(const QByteArray &bytes)
    {
        QFile f(path());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), qint64(bytes.size()));
    }
    static QStringList sampleValues()
    {
        return {"/root/文档", "1", "3264", "2448", "1", "机密 copy", "48", "255", "12", "0", "1", "1"};
    }

private slots:
    void init() { QFile::remove(path()); }

    void noFileReportsMinusOneAndKeepsValue()
    {
        CCfgControl cfg;
        for (const Settings::Row &row : Settings::kTable) {
            QString value = "untouched";
            QCOMPARE(cfg.readValue(row.name, value), -1);
            QCOMPARE(value, QString("untouched"));
        }
        QVERIFY(!QFile::exists(path()));
    }

    void saveThenReadReturnsEveryKeyVerbatim()
    {
        CCfgControl cfg;
        const QStringList written = sampleValues();
        QCOMPARE(cfg.setValue(written), 0);
        QVERIFY(QFile::exists(path()));
        for (int i = 0; i < 12; ++i) {
            QString value = "stale";
            QCOMPARE(cfg.readValue(Settings::kTable[i].name, value), 0);
            QCOMPARE(value, written.at(i));
        }
        // A second store object sees the same file: nothing is cached.
        QString folder;
        QCOMPARE(CCfgControl().readValue("FilePath", folder), 0);
        QCOMPARE(folder, QString("/root/文档"));
    }

    // The whole value by the table: each member under its own key, the
    // hands-free switch left to its own writer, and read back as written.
    void wholeValueIsWrittenKeyByKeyAndReadBack()
    {
        Settings value;
        value.folder = "/root/文档";
        value.device = 1;
        value.width = 3264;
        value.height = 2448;
        value.water = true;
        value.waterContent = "机密 copy";
        value.waterFont = 48;
        value.red = 255;
        value.green = 12;
        value.blue = 0;
        value.textEnhance = true;
        value.fileFormat = 1;
        value.autoCapture = true;
        CCfgControl cfg;
        QCOMPARE(cfg.write(value), 0);
        const QStringList names{"FilePath",    "DevName",     "XResolution", "YResolution",
                                "bIsWater",    "WaterContent", "WaterFont",  "WaterColorR",
                                "WaterColorG", "WaterColorB", "bTextEn",     "FileFormat"};
        QSettings check(path(), QSettings::IniFormat);
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(check.value("Settings/" + names.at(i)).toString(), sampleValues().at(i));
        QVERIFY(!check.contains("Settings/AutoCapture"));

        const Settings::Stored read = cfg.read();
        QVERIFY(read.fileExists);
        value.autoCapture = false;
        for (const Settings::Row &row : Settings::kTable) {
            QCOMPARE(read.values.text(row.key), value.text(row.key));
            QCOMPARE(read.text(row.key), row.savedByWindow ? value.text(row.key) : QString());
        }
    }

    void fileLayoutIsGroupSettingsWithEscapedText()
    {
        QCOMPARE(CCfgControl().setValue(sampleValues()), 0);
        QFile f(path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray raw = f.readAll();
        QVERIFY(raw.startsWith("[Settings]"));
        QVERIFY(raw.contains("DevName=1"));
        QVERIFY(raw.contains("XResolution=3264"));
        QVERIFY(raw.contains("FileFormat=1"));
        // No INI codec: non-ASCII text is escaped, the file stays ASCII.
        for (char c : raw)
            QVERIFY2(uchar(c) < 0x80, "raw non-ASCII byte in the settings file");
    }

    void absentKeyReadsEmptyWithStatusZero()
    {
        writeRaw("[Settings]\nFilePath=/tmp\nDevName=2\n");
        CCfgControl cfg;
        QString x = "stale";
        QString y = "stale";
        QCOMPARE(cfg.readValue("XResolution", x), 0);
        QCOMPARE(cfg.readValue("YResolution", y), 0);
        QCOMPARE(x, QString());
        QCOMPARE(y, QString());
        QCOMPARE(x.toInt(), 0);
        QString dev;
        QCOMPARE(cfg.readValue("DevName", dev), 0);
        QCOMPARE(dev, QString("2"));
        QString unknown = "stale";
        QCOMPARE(cfg.readValue("NoSuchKey", unknown), 0);
        QCOMPARE(unknown, QString());
    }

    void keysOfOtherGroupsAndExtraKeysSurviveASave()
    {
        writeRaw("[Other]\nfoo=bar\n\n[Settings]\nExtra=kept\nDevName=7\n");
        QCOMPARE(CCfgControl().setValue(sampleValues()), 0);
        QSettings check(path(), QSettings::IniFormat);
        QCOMPARE(check.value("Other/foo").toString(), QString("bar"));
        QCOMPARE(check.value("Settings/Extra").toString(), QString("kept"));
        QCOMPARE(check.value("Settings/DevName").toString(), QString("1"));
    }

    void shortListWritesEmptyTextForMissingPositions()
    {
        CCfgControl cfg;
        QCOMPARE(cfg.setValue({"/data", "0", "1920"}), 0);
        QString v = "stale";
        QCOMPARE(cfg.readValue("XResolution", v), 0);
        QCOMPARE(v, QString("1920"));
        QCOMPARE(cfg.readValue("FileFormat", v), 0);
        QCOMPARE(v, QString());
    }

    void garbageFileNeitherCrashesReadersNorBlocksTheNextSave_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray noise;
        QRandomGenerator gen(20261207);
        for (int i = 0; i < 8192; ++i)
            noise.append(char(gen.bounded(256)));
        QTest::newRow("random bytes") << noise;
        QTest::newRow("broken sections") << QByteArray("[Settings\n=\x01\x02\n[[[]]]\nDevName=\xff\xfe\n");
        QTest::newRow("serialized variants")
            << QByteArray("[Settings]\nDevName=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\xffQ)\n"
                          "XResolution=@ByteArray(\\xff\\0)\nYResolution=@Rect(1 2 3)\nFilePath=a, b, c\n");
        QTest::newRow("nul bytes") << QByteArray(4096, '\0');
        QTest::newRow("one huge line") << QByteArray("[Settings]\nFilePath=") + QByteArray(1 << 20, 'A');
    }

    void garbageFileNeitherCrashesReadersNorBlocksTheNextSave()
    {
        QFETCH(QByteArray, bytes);
        writeRaw(bytes);
        CCfgControl cfg;
        const Settings::Stored whole = cfg.read();
        QVERIFY(whole.fileExists);
        for (const Settings::Row &row : Settings::kTable) {
            QString value;
            QCOMPARE(cfg.readValue(row.name, value), 0);
            QCOMPARE(whole.text(row.key), value); // one read sees what single reads see
        }
        QCOMPARE(cfg.setValue(sampleValues()), 0);
        QString folder;
        QCOMPARE(cfg.readValue("FilePath", folder), 0);
        QCOMPARE(folder, QString("/root/文档"));
        QString height;
        QCOMPARE(cfg.readValue("YResolution", height), 0);
        QCOMPARE(height, QString("2448"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "testsettingsstore.moc"
