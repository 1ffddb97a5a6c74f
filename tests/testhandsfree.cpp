// Scanning without the mouse on a whole main window with a simulated camera:
// the scan keys act like a click on "扫描" (and like it, do nothing under the
// busy mask or while a box is open), and the key A switches automatic
// capture, shows it on the picture and keeps it in the settings file.
#include "ui/cammainwindow.h"
#include "settings/ccfgcontrol.h"
#include "core/settings.h"
#include "tests/mainwindowfixture.h"
#include "core/previewfit.h"
#include "settings/setwindow.h"
#include "core/stylenoisefilter.h"

#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

namespace {

QString stored(const QString &key)
{
    return QSettings(CCfgControl::settingsFilePath(), QSettings::IniFormat).value("Settings/" + key).toString();
}

} // namespace

class TestHandsFree : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void scanKeysActLikeTheButton_data();
    void scanKeysActLikeTheButton();
    void doublePressScansOnceHoweverFastTheSave();
    void autoCaptureKeyIsShownAndKept();

private:
    int badgePixels(const QImage &on, const QImage &off) const;
    std::unique_ptr<CamMainWindow> m_main;
};

void TestHandsFree::initTestCase()
{
    StyleNoiseFilter::install();
    qApp->setQuitOnLastWindowClosed(false);
}

void TestHandsFree::init()
{
    m_main = makeMainWindowWithSimulatedCamera();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    QTRY_VERIFY_WITH_TIMEOUT(parts(*m_main).scanBtn->isEnabled(), 20000); // a live picture is there
}

void TestHandsFree::cleanup()
{
    m_main.reset();
    g_Camself = nullptr;
    QFile::remove(CCfgControl::settingsFilePath());
}

void TestHandsFree::scanKeysActLikeTheButton_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("scans");

    QTest::newRow("Space") << int(Qt::Key_Space) << 0 << false << "" << 1;
    QTest::newRow("Return") << int(Qt::Key_Return) << 0 << false << "" << 1;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << false << "" << 1;
    QTest::newRow("Page Down") << int(Qt::Key_PageDown) << 0 << false << "" << 1;
    QTest::newRow("Space under the busy mask") << int(Qt::Key_Space) << 0 << false << "mask" << 0;
    QTest::newRow("Page Down with a box open") << int(Qt::Key_PageDown) << 0 << false << "box" << 0;
    QTest::newRow("Space held down") << int(Qt::Key_Space) << 0 << true << "" << 0;
    QTest::newRow("Ctrl+Return") << int(Qt::Key_Return) << int(Qt::ControlModifier) << false << "" << 0;
}

void TestHandsFree::scanKeysActLikeTheButton()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, repeat);
    QFETCH(QString, state);
    QFETCH(int, scans);

    QMessageBox box(QMessageBox::Information, "Quillo", "open", QMessageBox::Ok);
    if (state == "mask")
        parts(*m_main).maskWidget->show();
    if (state == "box") {
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        QVERIFY(QApplication::activeModalWidget());
    }
    // Sent to the list, which has the focus and would eat Space, Return and
    // Page Down itself.
    parts(*m_main).imgListView->setFocus();
    QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), QString(), repeat);
    QApplication::sendEvent(parts(*m_main).imgListView, &press);
    box.close();

    QCOMPARE(m_main->session().shownPaths().size(), scans);
    if (scans) {
        QVERIFY(parts(*m_main).maskWidget->isVisible()); // the same busy mask as a click
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->session().isSaving(), 20000);
        QVERIFY(QFile::exists(m_main->session().shownPaths().first()));
    }
}

// A double tap or a bouncing pedal is one press, even when the first save
// ended before the second key came (the mask no longer guards it); a press
// a moment later scans again.
void TestHandsFree::doublePressScansOnceHoweverFastTheSave()
{
    parts(*m_main).imgListView->setFocus();
    const auto press = [this] {
        QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
        QApplication::sendEvent(parts(*m_main).imgListView, &space);
    };
    press();
    m_main->session().waitForSaves();
    QVERIFY(!parts(*m_main).maskWidget->isVisible());
    press();
    QCOMPARE(m_main->session().shownPaths().size(), 1);
    QTest::qWait(300);
    press();
    QCOMPARE(m_main->session().shownPaths().size(), 2);
    m_main->session().waitForSaves();
}

// Differing pixels in the picture's top right corner, where the badge goes.
int TestHandsFree::badgePixels(const QImage &on, const QImage &off) const
{
    QRect picture;
    {
        QMutexLocker locker(&MutexCamDataBuffLock);
        picture = fitPreviewRect(g_Camimage->size(), m_main->rotation(), QSizeF(parts(*m_main).videoWidget->size()),
                                 m_main->previewScale());
    }
    const QRect corner(picture.right() - 100, picture.top(), 100, 50);
    int differing = 0;
    for (int y = corner.top(); y <= corner.bottom(); ++y)
        for (int x = corner.left(); x <= corner.right(); ++x)
            differing += on.pixel(x, y) != off.pixel(x, y);
    return differing;
}

void TestHandsFree::autoCaptureKeyIsShownAndKept()
{
    QVERIFY(!m_main->autoCaptureOn());
    const QImage off = m_main->grab().toImage();

    // Without a settings file the mode holds for this run and no file is
    // made: readers would take a file without the twelve keys as empty values.
    QTest::keyClick(parts(*m_main).imgListView, Qt::Key_A);
    QVERIFY(m_main->autoCaptureOn());
    QVERIFY(!QFile::exists(CCfgControl::settingsFilePath()));
    const QImage on = m_main->grab().toImage();
    QVERIFY2(badgePixels(on, off) > 200, qPrintable(QString::number(badgePixels(on, off))));
    QTest::keyClick(parts(*m_main).imgListView, Qt::Key_A);
    QVERIFY(!m_main->autoCaptureOn());
    QVERIFY2(badgePixels(m_main->grab().toImage(), off) < 20, "the badge went with the mode");

    // With a settings file: kept as 1 or 0, and a save of the settings
    // window leaves it alone.
    const QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    CCfgControl().setValue({home, "0", "640", "480", "0", "", "20", "0", "0", "0", "0", "0"});
    QTest::keyClick(parts(*m_main).imgListView, Qt::Key_A);
    QCOMPARE(stored("AutoCapture"), QString("1"));
    invoke(*m_main, "onButtonSetClicked");
    m_main->settingsWindow()->ptypeCbbFormat->setCurrentIndex(1);
    QVERIFY(QMetaObject::invokeMethod(m_main->settingsWindow(), "onBtnSaveClicked"));
    QCOMPARE(stored("FileFormat"), QString("1"));
    QCOMPARE(stored("AutoCapture"), QString("1"));
    const QSettings file(CCfgControl::settingsFilePath(), QSettings::IniFormat);
    for (const Settings::Row &row : Settings::kTable)
        QVERIFY2(file.contains(QString("Settings/") + row.name), row.name);

    // The next run starts with it on.
    m_main.reset();
    g_Camself = nullptr;
    init();
    QVERIFY(m_main->autoCaptureOn());
    QTest::keyClick(parts(*m_main).imgListView, Qt::Key_A);
    QCOMPARE(stored("AutoCapture"), QString("0"));
}

QTEST_MAIN(TestHandsFree)
#include "testhandsfree.moc"
