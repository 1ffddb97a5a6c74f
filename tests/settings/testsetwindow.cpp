// The settings window on its own: frame and rows, presets from the settings
// file, the device-dependent resolution list, the folder dialog, save and close.
#include "settings/ccfgcontrol.h"
#include "settings/setwindow.h"
#include "core/stylenoisefilter.h"
#include "tests/shared/modalanswerer.h"
#include "ui/titlebar.h"

#include "camera/camsdk.h"

#include <QtTest>
#include <QApplication>
#include <QDesktopWidget>
#include <QFileDialog>
#include <QLabel>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

#include <cstdio>
#include <unistd.h>

using Values = QMap<QString, QString>;
Q_DECLARE_METATYPE(Values)

namespace {

const QStringList kDevices{"Cam A", "Cam B"};
const QStringList kResolutionsA{"1920x1080", "1280x720"};
const QStringList kResolutionsB{"640x480", "320x240"};

QString settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::HomeLocation) + "/NorLastSetting.ini";
}

// Written with QSettings directly, not through the store under test.
void writeSettings(const Values &values)
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.beginGroup("Settings");
    for (auto it = values.begin(); it != values.end(); ++it)
        settings.setValue(it.key(), it.value());
}

Values readSettings()
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.beginGroup("Settings");
    Values values;
    for (const QString &key : settings.childKeys())
        values.insert(key, settings.value(key).toString());
    return values;
}

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QString labelText(QLayoutItem *item)
{
    QLabel *label = item && item->widget() ? qobject_cast<QLabel *>(item->widget()) : nullptr;
    return label ? label->text() : QString("<not a label>");
}

// The name label of a parameter row panel.
QString rowName(QLayoutItem *item)
{
    QWidget *panel = item ? item->widget() : nullptr;
    if (!panel || !panel->layout() || panel->layout()->count() < 1)
        return QString("<not a row>");
    return labelText(panel->layout()->itemAt(0));
}

QStringList g_debugLines;

void collectDebug(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_debugLines << message;
}

// Everything printed to standard output while it lives.
class StdoutCapture
{
public:
    StdoutCapture()
    {
        fflush(stdout);
        m_saved = dup(STDOUT_FILENO);
        m_file = std::tmpfile();
        dup2(fileno(m_file), STDOUT_FILENO);
    }
    QByteArray take()
    {
        fflush(stdout);
        dup2(m_saved, STDOUT_FILENO);
        close(m_saved);
        QByteArray text;
        std::rewind(m_file);
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0)
            text.append(buffer, int(n));
        std::fclose(m_file);
        return text;
    }

private:
    int m_saved = -1;
    FILE *m_file = nullptr;
};

} // namespace

class TestSetWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void buildsTheFrameAndRowsInOrder();
    void presetsFromTheSettingsFile_data();
    void presetsFromTheSettingsFile();
    void presetsDoNotCountAsAChange();
    void deviceChangeRefillsTheResolutions();
    void resolutionChangeCountsEvenWhenUndone();
    void cancelledFolderDialogGivesTheDocumentsFolder();
    void chosenFolderIsShownAndSaved();
    void saveWritesExactlyTheTwelveKeys();
    void saveWithoutDevicesStoresDeviceZero();
    void closeWritesNothing();
    void tracesDeviceChangeAndSave();
    void saveThatCannotBeWrittenSaysSo_data();
    void saveThatCannotBeWrittenSaysSo();
    void extraRowsPresetAndSave_data();
    void extraRowsPresetAndSave();

private:
    SetWindow *makeWindow(const QStringList &devices = kDevices, const QStringList &resolutions = kResolutionsA);

    std::unique_ptr<SetWindow> m_window;
};

void TestSetWindow::initTestCase()
{
    StyleNoiseFilter::install();
    qputenv("ORVIX_SIMULATED_CAMERAS", "Cam A|1920x1080,1280x720|tarvo;Cam B|640x480,320x240|");
    QCOMPARE(Cam_Init(), int(ORVIX_OK));
    qApp->setQuitOnLastWindowClosed(false);
}

void TestSetWindow::init()
{
    QFile::remove(settingsPath());
}

void TestSetWindow::cleanup()
{
    m_window.reset();
}

SetWindow *TestSetWindow::makeWindow(const QStringList &devices, const QStringList &resolutions)
{
    m_window.reset(new SetWindow(nullptr));
    m_window->InitUI();
    m_window->InitUIData(1, devices, resolutions, QStringList{"MJPG"});
    m_window->show();
    return m_window.get();
}

void TestSetWindow::buildsTheFrameAndRowsInOrder()
{
    {
        SetWindow frame;
        frame.InitUI();
        QCOMPARE(frame.size(), QSize(480, 480));
        QVERIFY(frame.windowFlags().testFlag(Qt::FramelessWindowHint));
        const QDesktopWidget *desktop = QApplication::desktop();
        QCOMPARE(frame.pos(), QPoint((desktop->width() - 480) / 2, (desktop->height() - 480) / 2));
    }
    SetWindow *w = makeWindow();
    // The rows may need more than 480 pixels of height; the window grows rather than clip them.
    QCOMPARE(w->width(), 480);
    QVERIFY(w->height() >= 480);

    QVERIFY(w->m_title);
    QCOMPARE(w->m_title->parentWidget(), static_cast<QWidget *>(w));
    QCOMPARE(w->m_title->m_pButtonClose->size(), QSize(40, 40));
    QVERIFY(w->m_title->m_pButtonClose->isVisible());
    QVERIFY(!w->m_title->m_pButtonSet->isVisible());
    QVERIFY(!w->m_title->m_pButtonMin->isVisible());
    QVERIFY(!w->m_title->m_pButtonMax->isVisible());
    QCOMPARE(w->m_title->m_pButtonClose->toolTip(), QStringLiteral("关闭"));

    QVBoxLayout *rows = w->mainVLayout;
    QCOMPARE(rows->count(), 15);
    QVERIFY(rows->itemAt(0)->spacerItem());
    QCOMPARE(labelText(rows->itemAt(1)), QString());
    QCOMPARE(rows->itemAt(1)->widget()->height(), 40);
    QCOMPARE(labelText(rows->itemAt(2)), QStringLiteral("文件设置"));
    QCOMPARE(rowName(rows->itemAt(3)), QStringLiteral("文件路径"));
    QCOMPARE(rowName(rows->itemAt(4)), QStringLiteral("文件格式"));
    QCOMPARE(labelText(rows->itemAt(5)), QStringLiteral("设备控制"));
    QCOMPARE(rowName(rows->itemAt(6)), QStringLiteral("设备"));
    QCOMPARE(rowName(rows->itemAt(7)), QStringLiteral("分辨率"));
    QCOMPARE(labelText(rows->itemAt(8)), QString());
    QCOMPARE(labelText(rows->itemAt(9)), QStringLiteral("图像处理"));
    QCOMPARE(rowName(rows->itemAt(10)), QStringLiteral("图像算法"));
    QCOMPARE(rowName(rows->itemAt(11)), QStringLiteral("PDF图像"));
    QCOMPARE(rowName(rows->itemAt(12)), QStringLiteral("文字识别"));
    QCOMPARE(labelText(rows->itemAt(13)), QString());
    QCOMPARE(rows->itemAt(14)->widget(), w->saveBtn->parentWidget());

    // The controls sit in their rows, and every panel is the opaque grey.
    QCOMPARE(w->ptypeTxt->parentWidget(), rows->itemAt(3)->widget());
    QCOMPARE(w->FileBtn->parentWidget(), rows->itemAt(3)->widget());
    QCOMPARE(w->ptypeCbbFormat->parentWidget(), rows->itemAt(4)->widget());
    QCOMPARE(w->ptypeCbbDev->parentWidget(), rows->itemAt(6)->widget());
    QCOMPARE(w->ptypeCbbResolution->parentWidget(), rows->itemAt(7)->widget());
    QCOMPARE(w->brightBalanceCKB->parentWidget(), rows->itemAt(10)->widget());
    QCOMPARE(w->extraChoice(Settings::Key::PdfImages)->parentWidget(), rows->itemAt(11)->widget());
    QCOMPARE(w->extraChoice(Settings::Key::Ocr)->parentWidget(), rows->itemAt(12)->widget());
    for (int i : {3, 4, 6, 7, 10, 11, 12, 14}) {
        QWidget *panel = rows->itemAt(i)->widget();
        QCOMPARE(panel->height(), 48);
        QVERIFY(panel->autoFillBackground());
        QCOMPARE(panel->palette().color(QPalette::Window), QColor(217, 217, 217, 255));
    }
    QCOMPARE(itemsOf(w->ptypeCbbFormat), (QStringList{"JPG", QStringLiteral("单页PDF")}));
    QCOMPARE(itemsOf(w->brightBalanceCKB), (QStringList{QStringLiteral("无"), QStringLiteral("文档优化")}));
    QCOMPARE(itemsOf(w->extraChoice(Settings::Key::PdfImages)),
             (QStringList{QStringLiteral("原始像素"), QStringLiteral("JPEG（小文件）")}));
    QCOMPARE(itemsOf(w->extraChoice(Settings::Key::Ocr)),
             (QStringList{QStringLiteral("关闭"), QStringLiteral("中文和英文")}));
    QCOMPARE(itemsOf(w->ptypeCbbDev), kDevices);
    QCOMPARE(w->saveBtn->text(), QStringLiteral("保存"));
    QCOMPARE(w->FileBtn->text(), QStringLiteral("浏览"));
}

void TestSetWindow::presetsFromTheSettingsFile_data()
{
    const QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    QTest::addColumn<bool>("hasFile");
    QTest::addColumn<Values>("stored");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("device");
    QTest::addColumn<QString>("resolution");
    QTest::addColumn<int>("algorithm");

    QTest::newRow("no file: defaults") << false << Values() << home << 0 << 0 << "1920x1080" << 0;
    QTest::newRow("all stored")
        << true
        << Values{{"FilePath", QStringLiteral("/data/扫描")}, {"FileFormat", "1"}, {"DevName", "1"},
                  {"XResolution", "1280"}, {"YResolution", "720"}, {"bTextEn", "1"}}
        << QStringLiteral("/data/扫描") << 1 << 1 << "1280x720" << 1;
    QTest::newRow("resolution the device lacks keeps the first")
        << true << Values{{"FilePath", "/data"}, {"XResolution", "640"}, {"YResolution", "480"}} << "/data" << 0
        << 0 << "1920x1080" << 0;
    QTest::newRow("resolution spelt otherwise names no item")
        << true << Values{{"FilePath", "/data"}, {"XResolution", "01280"}, {"YResolution", "720"}} << "/data" << 0
        << 0 << "1920x1080" << 0;
    QTest::newRow("file without keys") << true << Values{{"Other", "x"}} << home << 0 << 0 << "1920x1080" << 0;
    QTest::newRow("garbage numbers pick existing items")
        << true
        << Values{{"FilePath", "/data"}, {"FileFormat", "5"}, {"DevName", "abc"}, {"XResolution", "x"},
                  {"YResolution", "y"}, {"bTextEn", "7"}}
        << "/data" << 0 << 0 << "1920x1080" << 1;
    QTest::newRow("device beyond the list") << true << Values{{"FilePath", "/data"}, {"DevName", "99"}}
                                            << "/data" << 0 << 0 << "1920x1080" << 0;
    QTest::newRow("negative device") << true << Values{{"FilePath", "/data"}, {"DevName", "-1"}} << "/data" << 0
                                     << 0 << "1920x1080" << 0;
}

void TestSetWindow::presetsFromTheSettingsFile()
{
    QFETCH(bool, hasFile);
    QFETCH(Values, stored);
    QFETCH(QString, folder);
    QFETCH(int, format);
    QFETCH(int, device);
    QFETCH(QString, resolution);
    QFETCH(int, algorithm);
    if (hasFile)
        writeSettings(stored);

    SetWindow *w = makeWindow();
    QCOMPARE(w->edited().folder, folder);
    QCOMPARE(w->ptypeTxt->toPlainText(), folder);
    QCOMPARE(w->ptypeCbbFormat->currentIndex(), format);
    QCOMPARE(w->ptypeCbbDev->currentIndex(), device);
    QCOMPARE(w->ptypeCbbResolution->currentText(), resolution);
    QCOMPARE(w->brightBalanceCKB->currentIndex(), algorithm);
    QVERIFY(!w->isSaved());
    // Presetting reads only; the file stays as it was.
    QCOMPARE(QFile::exists(settingsPath()), hasFile);
}

void TestSetWindow::presetsDoNotCountAsAChange()
{
    writeSettings({{"DevName", "1"}, {"XResolution", "1280"}, {"YResolution", "720"}});
    SetWindow *w = makeWindow();
    QCOMPARE(w->ptypeCbbDev->currentIndex(), 1);
    QCOMPARE(w->ptypeCbbResolution->currentIndex(), 1);
    // The presets must not have refilled the list from the camera either.
    QCOMPARE(itemsOf(w->ptypeCbbResolution), kResolutionsA);
    QVERIFY(!w->captureChanged());
}

void TestSetWindow::deviceChangeRefillsTheResolutions()
{
    SetWindow *w = makeWindow(QStringList{"Cam A", "Cam B", "Gone"});
    w->ptypeCbbDev->setCurrentIndex(1);
    QVERIFY(w->captureChanged());
    QCOMPARE(itemsOf(w->ptypeCbbResolution), kResolutionsB);
    QCOMPARE(w->ptypeCbbResolution->currentIndex(), 0);

    w->ptypeCbbDev->setCurrentIndex(0);
    QCOMPARE(itemsOf(w->ptypeCbbResolution), kResolutionsA);

    // A device the camera library does not know lists nothing.
    w->ptypeCbbDev->setCurrentIndex(2);
    QCOMPARE(w->ptypeCbbResolution->count(), 0);
    QCOMPARE(w->ptypeCbbResolution->currentIndex(), -1);
}

void TestSetWindow::resolutionChangeCountsEvenWhenUndone()
{
    SetWindow *w = makeWindow();
    QVERIFY(!w->captureChanged());
    w->ptypeCbbResolution->setCurrentIndex(1);
    w->ptypeCbbResolution->setCurrentIndex(0);
    QVERIFY(w->captureChanged());
    // Format and algorithm have no change handler.
    SetWindow *other = makeWindow();
    other->ptypeCbbFormat->setCurrentIndex(1);
    other->brightBalanceCKB->setCurrentIndex(1);
    QVERIFY(!other->captureChanged());
}

void TestSetWindow::cancelledFolderDialogGivesTheDocumentsFolder()
{
    writeSettings({{"FilePath", "/data/previous"}});
    SetWindow *w = makeWindow();
    QCOMPARE(w->edited().folder, QStringLiteral("/data/previous"));

    bool sawDialog = false;
    QString caption;
    QTimer answerer;
    answerer.setInterval(20);
    connect(&answerer, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            sawDialog = true;
            caption = dialog->windowTitle();
            dialog->reject();
        }
    });
    answerer.start();
    QTest::mouseClick(w->FileBtn, Qt::LeftButton);
    answerer.stop();

    QVERIFY(sawDialog);
    QCOMPARE(caption, QString("Open File"));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QCOMPARE(w->edited().folder, documents);
    QCOMPARE(w->ptypeTxt->toPlainText(), documents);
}

void TestSetWindow::chosenFolderIsShownAndSaved()
{
    SetWindow *w = makeWindow();
    w->applyChosenFolder(QStringLiteral("/srv/扫描件"));
    QCOMPARE(w->ptypeTxt->toPlainText(), QStringLiteral("/srv/扫描件"));
    // The box cannot be typed into; only "浏览" chooses, and a save stores that.
    QVERIFY(w->ptypeTxt->isReadOnly());
    QTest::keyClicks(w->ptypeTxt, "/typed/by/hand");
    QCOMPARE(w->ptypeTxt->toPlainText(), QStringLiteral("/srv/扫描件"));
    QVERIFY(QMetaObject::invokeMethod(w, "onBtnSaveClicked"));
    QCOMPARE(readSettings().value("FilePath"), QStringLiteral("/srv/扫描件"));
    QCOMPARE(w->edited().folder, QStringLiteral("/srv/扫描件"));

    w = makeWindow();
    w->applyChosenFolder(QString());
    QCOMPARE(w->edited().folder, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

void TestSetWindow::saveWritesExactlyTheTwelveKeys()
{
    writeSettings({{"bIsWater", "1"}, {"WaterContent", "old"}, {"WaterColorR", "200"}});
    {
        QSettings other(settingsPath(), QSettings::IniFormat);
        other.setValue("Elsewhere/kept", "yes");
    }
    SetWindow *w = makeWindow();
    w->applyChosenFolder("/data/out");
    w->ptypeCbbFormat->setCurrentIndex(1);
    w->ptypeCbbDev->setCurrentIndex(1);
    w->ptypeCbbResolution->setCurrentIndex(1);
    w->brightBalanceCKB->setCurrentIndex(1);
    QVERIFY(QMetaObject::invokeMethod(w, "onBtnSaveClicked"));

    const Values expected{{"FilePath", "/data/out"}, {"DevName", "1"},     {"XResolution", "320"},
                          {"YResolution", "240"},    {"bIsWater", "0"},    {"WaterContent", ""},
                          {"WaterFont", "20"},       {"WaterColorR", "0"}, {"WaterColorG", "0"},
                          {"WaterColorB", "0"},      {"bTextEn", "1"},     {"FileFormat", "1"},
                          {"PdfImages", "0"},        {"Ocr", "0"}}; // and the rows below them
    QCOMPARE(readSettings(), expected);
    QCOMPARE(QSettings(settingsPath(), QSettings::IniFormat).value("Elsewhere/kept").toString(), QString("yes"));

    QVERIFY(w->isSaved());
    QVERIFY(w->isHidden());
    QCOMPARE(w->edited().device, 1);
    QCOMPARE(w->edited().width, 320);
    QCOMPARE(w->edited().height, 240);
    QCOMPARE(w->edited().cameraFormat, 0);
    QCOMPARE(w->edited().fileFormat, 1);
    QVERIFY(w->edited().textEnhance);
    QVERIFY(!w->edited().water);
}

void TestSetWindow::saveWithoutDevicesStoresDeviceZero()
{
    SetWindow *w = makeWindow(QStringList(), QStringList());
    QCOMPARE(w->ptypeCbbDev->currentIndex(), -1);
    QVERIFY(QMetaObject::invokeMethod(w, "onBtnSaveClicked"));
    const Values stored = readSettings();
    QCOMPARE(stored.value("DevName"), QString("0"));
    QCOMPARE(stored.value("XResolution"), QString("0"));
    QCOMPARE(stored.value("YResolution"), QString("0"));
}

void TestSetWindow::closeWritesNothing()
{
    SetWindow *w = makeWindow();
    w->ptypeCbbDev->setCurrentIndex(1);
    w->ptypeCbbFormat->setCurrentIndex(1);
    QTest::mouseClick(w->m_title->m_pButtonClose, Qt::LeftButton);
    QVERIFY(w->isHidden());
    QVERIFY(!w->isSaved());
    QVERIFY(!QFile::exists(settingsPath()));

    writeSettings({{"FilePath", "/data"}, {"DevName", "0"}});
    QFile file(settingsPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    w = makeWindow();
    w->applyChosenFolder("/elsewhere");
    w->ptypeCbbDev->setCurrentIndex(1);
    QTest::mouseClick(w->m_title->m_pButtonClose, Qt::LeftButton);
    QVERIFY(w->isHidden());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void TestSetWindow::tracesDeviceChangeAndSave()
{
    SetWindow *w = makeWindow();
    g_debugLines.clear();
    StdoutCapture out;
    const QtMessageHandler previous = qInstallMessageHandler(collectDebug);
    w->ptypeCbbDev->setCurrentIndex(1);
    w->ptypeCbbResolution->setCurrentIndex(1);
    w->brightBalanceCKB->setCurrentIndex(1);
    w->ptypeCbbFormat->setCurrentIndex(1);
    QVERIFY(QMetaObject::invokeMethod(w, "onBtnSaveClicked"));
    qInstallMessageHandler(previous);
    const QByteArray printed = out.take();

    QVERIFY(printed.startsWith("111111111111111111111111111111111\n"));
    QVERIFY(printed.contains("222222222222222222222222\n"));
    QVERIFY(printed.endsWith("SetWindow::onBtnSaveClicked width is 320,height is 240\n"));
    QVERIFY(g_debugLines.contains("GetCameraResolution is 2\n"));
    QVERIFY(g_debugLines.contains("GetCameraResolutionName Width is 640,Height is 480\n"));
    QVERIFY(g_debugLines.contains("GetCameraResolutionName Width is 320,Height is 240\n"));
    QCOMPARE(g_debugLines.last(), QString("value is 0 1,nFileType is 1"));
}

void TestSetWindow::saveThatCannotBeWrittenSaysSo_data()
{
    QTest::addColumn<QString>("home"); // below the temporary folder
    QTest::addColumn<QString>("folder"); // made there, empty for none
    QTest::newRow("a folder where the file belongs") << "" << "NorLastSetting.ini";
    QTest::newRow("home below a plain file") << "plain/home" << "";
}

// Fails even for root. The box names the file; the run keeps the choices.
void TestSetWindow::saveThatCannotBeWrittenSaysSo()
{
    QFETCH(QString, home);
    QFETCH(QString, folder);
    QTemporaryDir dir;
    QFile plain(dir.filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly) && (folder.isEmpty() || QDir(dir.path()).mkdir(folder)));
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(dir.filePath(home)));
    const QString path = settingsPath();
    SetWindow *w = makeWindow();
    ModalAnswerer answerer;
    QVERIFY(QMetaObject::invokeMethod(w, "onBtnSaveClicked"));
    qputenv("HOME", savedHome);
    QCOMPARE(answerer.titles, QStringList{QStringLiteral("错误")});
    QVERIFY2(answerer.texts.first().startsWith(QStringLiteral("设置未能保存：") + path + ": "),
             qPrintable(answerer.texts.first()));
    QVERIFY(w->isHidden() && w->isSaved()); // the run takes the choices
}

void TestSetWindow::extraRowsPresetAndSave_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("preset");
    QTest::addColumn<int>("chosen");
    const int images = int(Settings::Key::PdfImages);
    const int ocr = int(Settings::Key::Ocr);
    QTest::newRow("JPEG stored and kept") << images << "1" << 1 << 1;
    QTest::newRow("JPEG stored, pixels chosen") << images << "1" << 1 << 0;
    QTest::newRow("code from elsewhere reads as pixels, JPEG chosen") << images << "7" << 0 << 1;
    QTest::newRow("text stored, turned off") << ocr << "1" << 1 << 0;
    QTest::newRow("code from elsewhere reads as off, text chosen") << ocr << "2" << 0 << 1;
}

// Without the key a row starts on its first item and saves "0", as the twelve keys show.
void TestSetWindow::extraRowsPresetAndSave()
{
    QFETCH(int, key);
    QFETCH(QString, stored);
    QFETCH(int, preset);
    QFETCH(int, chosen);
    const Settings::Key which = Settings::Key(key);
    writeSettings({{Settings::key(which), stored}});
    SetWindow *w = makeWindow();
    QComboBox *row = w->extraChoice(which);
    QCOMPARE(row->currentIndex(), preset);
    row->setCurrentIndex(chosen);
    QVERIFY(QMetaObject::invokeMethod(w, "onBtnSaveClicked"));
    QCOMPARE(readSettings().value(Settings::key(which)), QString::number(chosen));
    const bool on = which == Settings::Key::Ocr ? w->edited().recognizesText() : w->edited().jpegPdfPages();
    QCOMPARE(on, chosen == 1);
}

QTEST_MAIN(TestSetWindow)
#include "testsetwindow.moc"
