// Opening the settings window from the main window, saving in it, the capture
// restart that follows a device or resolution change, and the release of the
// windows the main window no longer refers to.
#include "tests/shared/mainwindowfixture.h"
#include "settings/ccfgcontrol.h"
#include "settings/setwindow.h"
#include "core/stylenoisefilter.h"
#include "ui/titlebar.h"

#include "camera/camsdk.h"

#include <QtTest>
#include <QApplication>
#include <QImageReader>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

namespace {

const QStringList kResolutionsA{"1920x1080", "1280x720"};
const QStringList kResolutionsB{"640x480", "320x240"};

QString settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::HomeLocation) + "/NorLastSetting.ini";
}

QString stored(const QString &key)
{
    return QSettings(settingsPath(), QSettings::IniFormat).value("Settings/" + key).toString();
}

QList<SetWindow *> liveSettingsWindows()
{
    QList<SetWindow *> windows;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<SetWindow *>(widget))
            windows << window;
    return windows;
}

void releaseDeferred()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QSize currentFrameSize()
{
    return CaptureSession::frame().image.size();
}

} // namespace

class TestSettingsApply : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void openingShowsAWindowForTheCurrentDevice();
    void openingShowsTheCropState_data();
    void openingShowsTheCropState();
    void saveOfFolderFormatOrAlgorithmRestartsNothing();
    void saveAfterDeviceChangeRestartsOnThatDevice();
    void resolutionChangedAndBackStillRestarts();
    void savedResolutionLastsForTheRun();
    void closeWritesNothingAndKeepsTheCapture();
    void secondOpeningReplacesTheFirst();
    void repeatedOpeningsReleaseOldWindows();
    void replacedWindowOutlivesItsOwnSlot();
    void mainWindowTakesTheLastWindowAlong();

private:
    SetWindow *open();
    QString scanAndWait();

    std::unique_ptr<CamMainWindow> m_main;
    // One entry per restart of the capture, with the device it restarted on.
    std::unique_ptr<QSignalSpy> m_restarts;
};

void TestSettingsApply::initTestCase()
{
    StyleNoiseFilter::install();
    qputenv("ORVIX_SIMULATED_CAMERAS", "Cam A|1920x1080,1280x720|tarvo;Cam B|640x480,320x240|");
    qApp->setQuitOnLastWindowClosed(false);
}

void TestSettingsApply::init()
{
    QFile::remove(settingsPath());
    // A start-up without a usable camera shows a box; answer it rather than hang.
    QTimer answerer;
    answerer.setInterval(50);
    connect(&answerer, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->done(0);
    });
    answerer.start();
    m_main.reset(new CamMainWindow(nullptr));
    answerer.stop();
    m_main->show();
    // Let the first expose through now: a pending one would otherwise be
    // painted while the settings window is created, and a paint with a frame
    // enables the view buttons again.
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    QCOMPARE(m_main->session().deviceNames(), (QStringList{"Cam A", "Cam B"}));
    QCOMPARE(m_main->session().currentDevice(), 0);
    m_restarts.reset(new QSignalSpy(&m_main->session(), &CaptureSession::deviceChanged));
}

void TestSettingsApply::cleanup()
{
    Cam_CameraCaptureStop();
    m_restarts.reset();
    m_main.reset();
    g_Camself = nullptr;
    releaseDeferred();
    QVERIFY(liveSettingsWindows().isEmpty());
}

SetWindow *TestSettingsApply::open()
{
    invoke(*m_main, "onButtonSetClicked");
    return m_main->settingsWindow();
}

// Scans one page and waits for its save to end; returns the path the list shows.
QString TestSettingsApply::scanAndWait()
{
    invoke(*m_main, "slotScanBtnClicked");
    [&] { QTRY_VERIFY_WITH_TIMEOUT(!m_main->session().isSaving(), 20000); }();
    return m_main->session().shownPaths().isEmpty() ? QString() : m_main->session().shownPaths().last();
}

void TestSettingsApply::openingShowsAWindowForTheCurrentDevice()
{
    QVERIFY(!m_main->settingsWindow());
    QVERIFY(m_main->session().isTarvoDevice());
    parts(*m_main).scanBtn->setEnabled(true);

    SetWindow *w = open();
    QVERIFY(w);
    QVERIFY(w->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("Quillo设置界面"));
    QCOMPARE(w->windowModality(), Qt::WindowModal);
    QVERIFY(!w->isSaved());
    QCOMPARE(m_main->session().resolutions(), kResolutionsA);
    QCOMPARE(w->ptypeCbbResolution->currentText(), kResolutionsA.first());
    QCOMPARE(w->ptypeCbbDev->count(), 2);
    QCOMPARE(w->ptypeCbbDev->itemText(1), QString("Cam B"));
    // A Tarvo device's view buttons wait for the next frame.
    QVERIFY(!parts(*m_main).scanBtn->isEnabled());
}

void TestSettingsApply::openingShowsTheCropState_data()
{
    QTest::addColumn<int>("cropIndex");
    QTest::addColumn<bool>("down");
    QTest::newRow("odd") << 3 << true;
    QTest::newRow("even") << 2 << false;
}

void TestSettingsApply::openingShowsTheCropState()
{
    QFETCH(int, cropIndex);
    QFETCH(bool, down);
    setCrop(*m_main, cropIsOn(cropIndex));
    parts(*m_main).cutBtn->setDown(!down);
    open();
    QCOMPARE(parts(*m_main).cutBtn->isDown(), down);
}

void TestSettingsApply::saveOfFolderFormatOrAlgorithmRestartsNothing()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    SetWindow *w = open();
    w->applyChosenFolder(folder.path());
    w->ptypeCbbFormat->setCurrentIndex(1);
    w->brightBalanceCKB->setCurrentIndex(1);
    invoke(*w, "onBtnSaveClicked");

    QCOMPARE(m_restarts->count(), 0);
    QCOMPARE(m_main->session().currentDevice(), 0);
    QVERIFY(w->isHidden());
    QCOMPARE(stored("FilePath"), folder.path());
    QCOMPARE(stored("FileFormat"), QString("1"));

    // What the next scan reads: the saved window, not the file.
    QCOMPARE(m_main->settingsWindow(), w);
    QVERIFY(w->isSaved());
    QCOMPARE(w->edited().folder, folder.path());
    QCOMPARE(w->edited().fileFormat, 1);
    QVERIFY(w->edited().textEnhance);
    QVERIFY(!w->edited().water);
    QCOMPARE(w->edited().waterContent, QString());
    QCOMPARE(QList<int>({w->edited().red, w->edited().green, w->edited().blue}), QList<int>({0, 0, 0}));

    // Even with the file changed behind its back, the scan follows the window.
    {
        QSettings file(settingsPath(), QSettings::IniFormat);
        file.setValue("Settings/FilePath", "/nonexistent/elsewhere");
        file.setValue("Settings/FileFormat", "0");
    }
    const QString shown = scanAndWait();
    QCOMPARE(QFileInfo(shown).absolutePath(), folder.path());
    QCOMPARE(QFileInfo(shown).suffix(), QString("pdf"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(shown), 20000);
}

void TestSettingsApply::saveAfterDeviceChangeRestartsOnThatDevice()
{
    SetWindow *w = open();
    w->ptypeCbbDev->setCurrentIndex(1);
    w->ptypeCbbResolution->setCurrentIndex(1);
    invoke(*w, "onBtnSaveClicked");

    QCOMPARE(m_restarts->count(), 1);
    QCOMPARE(m_restarts->last().at(0).toInt(), 1);
    QCOMPARE(m_main->session().captureWidth(), 320);
    QCOMPARE(m_main->session().captureHeight(), 240);
    QCOMPARE(m_main->session().currentDevice(), 1);
    QCOMPARE(stored("DevName"), QString("1"));
    QCOMPARE(stored("XResolution"), QString("320"));
    QTRY_COMPARE_WITH_TIMEOUT(currentFrameSize(), QSize(320, 240), 20000);

    // The next opening lists the device now in use.
    SetWindow *second = open();
    QVERIFY(second != w);
    QCOMPARE(m_main->session().resolutions(), kResolutionsB);
    QCOMPARE(second->ptypeCbbDev->currentIndex(), 1);
    QCOMPARE(second->ptypeCbbResolution->currentText(), QString("320x240"));
}

void TestSettingsApply::resolutionChangedAndBackStillRestarts()
{
    SetWindow *w = open();
    w->ptypeCbbResolution->setCurrentIndex(1);
    w->ptypeCbbResolution->setCurrentIndex(0);
    invoke(*w, "onBtnSaveClicked");
    QCOMPARE(m_restarts->count(), 1);
    QCOMPARE(m_restarts->last().at(0).toInt(), 0);
    QCOMPARE(m_main->session().captureWidth(), 1920);
    QCOMPARE(m_main->session().captureHeight(), 1080);
    QTRY_COMPARE_WITH_TIMEOUT(currentFrameSize(), QSize(1920, 1080), 20000);
}

// The size saved in the settings window is the size of every later scan,
// and the scans do not switch the preview back to the start-up size.
void TestSettingsApply::savedResolutionLastsForTheRun()
{
    setCrop(*m_main, false); // no cropping: the page keeps the camera's size
    SetWindow *w = open();
    w->ptypeCbbResolution->setCurrentIndex(1);
    invoke(*w, "onBtnSaveClicked");
    QCOMPARE(m_restarts->count(), 1);
    QCOMPARE(m_main->session().captureWidth(), 1280);
    for (int i = 0; i < 2; ++i) {
        const QString page = scanAndWait();
        QCOMPARE(QImageReader(page).size(), QSize(1280, 720));
        QTest::qSleep(2); // a new millisecond, a new name
    }
    QTRY_COMPARE_WITH_TIMEOUT(currentFrameSize(), QSize(1280, 720), 20000);
}

void TestSettingsApply::closeWritesNothingAndKeepsTheCapture()
{
    parts(*m_main).scanBtn->setEnabled(false);
    SetWindow *w = open();
    w->ptypeCbbDev->setCurrentIndex(1);
    emit w->m_title->signalButtonCloseClicked();

    QVERIFY(!QFile::exists(settingsPath()));
    QCOMPARE(m_restarts->count(), 0);
    QCOMPARE(m_main->session().currentDevice(), 0);
    QVERIFY(w->isHidden());
    QCOMPARE(m_main->settingsWindow(), w);
    QVERIFY(!w->isSaved());
    QVERIFY(parts(*m_main).scanBtn->isEnabled());

    // A saved window's choices stop counting once a later window is closed
    // unsaved: the scan reads the file again.
    QTemporaryDir saved;
    QTemporaryDir dropped;
    SetWindow *first = open();
    first->applyChosenFolder(saved.path());
    invoke(*first, "onBtnSaveClicked");
    SetWindow *second = open();
    second->applyChosenFolder(dropped.path());
    second->ptypeCbbFormat->setCurrentIndex(1);
    emit second->m_title->signalButtonCloseClicked();
    const QString shown = scanAndWait();
    QCOMPARE(QFileInfo(shown).absolutePath(), saved.path());
    QCOMPARE(QFileInfo(shown).suffix(), QString("jpg"));
}

void TestSettingsApply::secondOpeningReplacesTheFirst()
{
    SetWindow *first = open();
    QPointer<SetWindow> firstAlive(first);
    first->ptypeCbbFormat->setCurrentIndex(1);
    invoke(*first, "onBtnSaveClicked");
    QVERIFY(first->isSaved());

    // The capture moved to the other camera meanwhile.
    m_main->session().restart(1, 640, 480, 0, false);
    SetWindow *second = open();
    QVERIFY(second != first);
    QCOMPARE(m_main->settingsWindow(), second);
    QCOMPARE(m_main->session().resolutions(), kResolutionsB);
    QCOMPARE(second->ptypeCbbResolution->itemText(0), kResolutionsB.first());
    // Open and unsaved: the main window goes back to reading the file.
    QVERIFY(!m_main->settingsWindow()->isSaved());
    releaseDeferred();
    QVERIFY(firstAlive.isNull());
    QCOMPARE(liveSettingsWindows(), QList<SetWindow *>{second});
}

void TestSettingsApply::repeatedOpeningsReleaseOldWindows()
{
    QPointer<SetWindow> first(open());
    for (int i = 0; i < 100; ++i)
        open();
    releaseDeferred();
    QVERIFY(first.isNull());
    QCOMPARE(liveSettingsWindows(), QList<SetWindow *>{m_main->settingsWindow()});
}

void TestSettingsApply::replacedWindowOutlivesItsOwnSlot()
{
    SetWindow *old = open();
    QPointer<SetWindow> oldAlive(old);
    bool aliveInSlot = false;
    // A new opening from inside the old window's save click.
    connect(old->saveBtn, &QPushButton::clicked, m_main.get(), [&] {
        invoke(*m_main, "onButtonSetClicked");
        aliveInSlot = !oldAlive.isNull() && old->isSaved();
    });
    old->saveBtn->click();
    QVERIFY(aliveInSlot);
    QVERIFY(!oldAlive.isNull());
    QVERIFY(m_main->settingsWindow() != old);
    releaseDeferred();
    QVERIFY(oldAlive.isNull());
}

void TestSettingsApply::mainWindowTakesTheLastWindowAlong()
{
    QPointer<SetWindow> last(open());
    emit last->m_title->signalButtonCloseClicked();
    Cam_CameraCaptureStop();
    m_main.reset();
    QVERIFY(last.isNull());
}

QTEST_MAIN(TestSettingsApply)
#include "testsettingsapply.moc"
