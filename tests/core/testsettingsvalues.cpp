// The display-free rules of the settings: how each key's text becomes a value
// and back, the resolutions listed for a device, the default folder and how
// stored numbers pick items.
#include "camera/camsdk.h"
#include "core/resolutiontext.h"
#include "core/settings.h"

#include <QtTest>

class TestSettingsValues : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listsTheResolutionsOfADevice_data();
    void listsTheResolutionsOfADevice();
    void defaultFolder_data();
    void defaultFolder();
    void storedIndexPicksAnExistingItem_data();
    void storedIndexPicksAnExistingItem();
    void storedFlagsFollowTheScan_data();
    void storedFlagsFollowTheScan();
    void storedTextBecomesTheKeysValue_data();
    void storedTextBecomesTheKeysValue();
};

void TestSettingsValues::initTestCase()
{
    qputenv("ORVIX_SIMULATED_CAMERAS", "Cam A|1920x1080,1280x720|tarvo;Cam B|640x480,320x240|");
    QCOMPARE(Cam_Init(), int(ORVIX_OK));
}

void TestSettingsValues::listsTheResolutionsOfADevice_data()
{
    QTest::addColumn<int>("device");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("first") << 0 << QStringList{"1920x1080", "1280x720"};
    QTest::newRow("second") << 1 << QStringList{"640x480", "320x240"};
    QTest::newRow("no such device") << 2 << QStringList();
    QTest::newRow("negative, as before any device") << -1 << QStringList();
}

void TestSettingsValues::listsTheResolutionsOfADevice()
{
    QFETCH(int, device);
    QFETCH(QStringList, texts);
    QCOMPARE(ResolutionText::listForDevice(device), texts);
}

void TestSettingsValues::defaultFolder_data()
{
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("folder");
    QTest::newRow("user") << "/home/ana" << "/home/ana";
    QTest::newRow("root documents") << "/root/Documents" << "/root";
    QTest::newRow("root documents, Chinese") << QStringLiteral("/root/文档") << "/root";
    QTest::newRow("only exact paths") << "/root/Documents/" << "/root/Documents/";
    QTest::newRow("root itself") << "/root" << "/root";
}

void TestSettingsValues::defaultFolder()
{
    QFETCH(QString, home);
    QFETCH(QString, folder);
    QCOMPARE(Settings::defaultFolder(home), folder);
}

void TestSettingsValues::storedIndexPicksAnExistingItem_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::newRow("valid") << "1" << 2 << 1;
    QTest::newRow("missing key reads as 0") << "" << 2 << 0;
    QTest::newRow("not a number") << "abc" << 2 << 0;
    QTest::newRow("beyond the list") << "99" << 2 << 0;
    QTest::newRow("just beyond") << "2" << 2 << 0;
    QTest::newRow("negative") << "-1" << 2 << 0;
    QTest::newRow("trailing garbage") << "1z" << 2 << 0;
    QTest::newRow("surrounding blanks") << " 1 " << 2 << 1;
}

void TestSettingsValues::storedIndexPicksAnExistingItem()
{
    QFETCH(QString, stored);
    QFETCH(int, count);
    QFETCH(int, index);
    QCOMPARE(Settings::presetIndex("DevName", stored, count), index);
}

void TestSettingsValues::storedFlagsFollowTheScan_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("textIndex");
    QTest::addColumn<int>("formatIndex");
    QTest::newRow("0") << "0" << 0 << 0;
    QTest::newRow("1") << "1" << 1 << 1;
    QTest::newRow("missing") << "" << 0 << 0;
    QTest::newRow("7: on, and not the PDF code") << "7" << 1 << 0;
    QTest::newRow("-1") << "-1" << 1 << 0;
    QTest::newRow("garbage") << "yes" << 0 << 0;
}

void TestSettingsValues::storedFlagsFollowTheScan()
{
    QFETCH(QString, stored);
    QFETCH(int, textIndex);
    QFETCH(int, formatIndex);
    QCOMPARE(Settings::textEnhanceIndex(stored), textIndex);
    QCOMPARE(Settings::fileFormatIndex(stored), formatIndex);
}

void TestSettingsValues::storedTextBecomesTheKeysValue_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("kept");
    const auto row = [](const char *name, Settings::Key key, const QString &stored, const QString &kept) {
        QTest::newRow(name) << int(key) << stored << kept;
    };
    // One row per key, each away from the value for a missing file.
    row("folder as it stands", Settings::Key::FilePath, " /data/扫描 ", " /data/扫描 ");
    row("device", Settings::Key::DevName, "3", "3");
    row("width", Settings::Key::XResolution, "1920", "1920");
    row("height", Settings::Key::YResolution, "1080", "1080");
    row("flag: non-zero is on", Settings::Key::IsWater, "7", "1");
    row("text", Settings::Key::WaterContent, "机密", "机密");
    row("garbage is 0, not the default", Settings::Key::WaterFont, "20pt", "0");
    row("red", Settings::Key::WaterColorR, "255", "255");
    row("green", Settings::Key::WaterColorG, "12", "12");
    row("blue", Settings::Key::WaterColorB, "7", "7");
    row("flag: negative is on", Settings::Key::TextEnhance, "-1", "1");
    row("any format code", Settings::Key::FileFormat, "2", "2");
    row("hands-free", Settings::Key::AutoCapture, "1", "1");
    row("JPEG pages", Settings::Key::PdfImages, "1", "1");
    row("recognised text", Settings::Key::Ocr, "1", "1");
}

void TestSettingsValues::storedTextBecomesTheKeysValue()
{
    QFETCH(int, key);
    QFETCH(QString, stored);
    QFETCH(QString, kept);
    const Settings::Key which = Settings::Key(key);
    QCOMPARE(int(Settings::row(which).key), key); // the table is in the order of Key
    Settings value;
    value.setText(which, stored);
    QCOMPARE(value.text(which), kept);
    // No other key moved.
    const Settings untouched;
    for (const Settings::Row &row : Settings::kTable) {
        if (row.key != which)
            QVERIFY2(value.text(row.key) == untouched.text(row.key), row.name);
    }
}

QTEST_GUILESS_MAIN(TestSettingsValues)
#include "testsettingsvalues.moc"
