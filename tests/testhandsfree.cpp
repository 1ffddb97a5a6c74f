// Scanning without the mouse on a whole main window with a simulated camera:
// the scan keys act like a click on "扫描" (and like it, do nothing under the
// busy mask, while a box is open or without a picture), a held key acts once,
// Space and Return press a button that has the focus from Tab, and the key A
// switches automatic capture, shows it on the picture and keeps it in the
// settings file. Key times are given to the events as X gives them.
#include "ui/cammainwindow.h"
#include "settings/ccfgcontrol.h"
#include "core/settings.h"
#include "tests/mainwindowfixture.h"
#include "core/previewfit.h"
#include "settings/setwindow.h"
#include "core/stylenoisefilter.h"

#include <QFile>
#include <QKeyEvent>
#include <QSignalSpy>
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
    void heldAndRepeatedKeys_data();
    void heldAndRepeatedKeys();
    void focusedButtons_data();
    void focusedButtons();
    void autoCaptureKeyIsShownAndKept();
    void onlyAutomaticScansAreCounted();

private:
    int badgePixels(const QImage &on, const QImage &off) const;
    // A key event at `timeMs` to the widget with the focus, as X delivers it.
    void sendKey(QEvent::Type type, int key, ulong timeMs, bool autoRepeat = false);
    // A press and release a second after the last tap.
    void tap(int key);
    // Lets a scan's save end, so that only the key rules decide the next press.
    void settle();
    std::unique_ptr<CamMainWindow> m_main;
    ulong m_tapTime = 1000000;
};

void TestHandsFree::sendKey(QEvent::Type type, int key, ulong timeMs, bool autoRepeat)
{
    QWidget *receiver = QApplication::focusWidget() ? QApplication::focusWidget() : m_main.get();
    QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
    event.setTimestamp(timeMs);
    QApplication::sendEvent(receiver, &event);
}

void TestHandsFree::tap(int key)
{
    m_tapTime += 1000;
    sendKey(QEvent::KeyPress, key, m_tapTime);
    sendKey(QEvent::KeyRelease, key, m_tapTime + 80);
}

void TestHandsFree::settle()
{
    m_main->session().waitForSaves();
    QTRY_VERIFY_WITH_TIMEOUT(!parts(*m_main).maskWidget->isVisible(), 20000);
}

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
    QTest::newRow("snapshot button under X") << int(Qt::Key_WebCam) << 0 << false << "" << 1;
    QTest::newRow("snapshot button elsewhere") << int(Qt::Key_Camera) << 0 << false << "" << 1;
    QTest::newRow("Space without a picture") << int(Qt::Key_Space) << 0 << false << "no picture" << 0;
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
    if (state == "no picture") {
        m_main->session().stop();
        {
            QMutexLocker locker(&MutexCamDataBuffLock);
            delete g_Camimage;
            g_Camimage = nullptr;
        }
        m_main->grab(); // a paint without a frame disables the buttons
        QVERIFY(!parts(*m_main).scanBtn->isEnabled());
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

// Key events as tokens: P press, R release, lower case with the auto-repeat
// flag, then the time in ms; S is Space, D Page Down.
void TestHandsFree::heldAndRepeatedKeys_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("scans");

    // X's auto-repeat after 500 ms: a release and a press every 33 ms, 2 ms apart.
    const auto heldSpace = [](int downMs, bool flagged) {
        QStringList events{"PS0"};
        for (int t = 500; t < downMs; t += 33)
            events << QString(flagged ? "rS%1" : "RS%1").arg(t) << QString(flagged ? "pS%1" : "PS%1").arg(t + 2);
        return events << QString("RS%1").arg(downMs);
    };
    QTest::newRow("held 1.5 s, repeated as release/press pairs") << heldSpace(1500, false) << 1;
    QTest::newRow("held 3 s, repeated as release/press pairs") << heldSpace(3000, false) << 1;
    QTest::newRow("held 3 s, repeats flagged") << heldSpace(3000, true) << 1;
    QTest::newRow("pedal pressed twice 0.6 s apart") << QStringList{"PS0", "RS120", "PS600", "RS720"} << 2;
    QTest::newRow("up 150 ms is a new press") << QStringList{"PS0", "RS100", "PS250", "RS300"} << 2;
    QTest::newRow("double tap, up 100 ms") << QStringList{"PS0", "RS50", "PS150", "RS200"} << 1;
    QTest::newRow("bouncing pedal") << QStringList{"PS0", "RS4", "PS9", "RS300"} << 1;
    QTest::newRow("Page Down while Space is held") << QStringList{"PS0", "PD300", "RD400", "RS500"} << 1;
    QTest::newRow("held, released, pressed again") << (heldSpace(2000, false) << "PS2700" << "RS2800") << 2;
}

void TestHandsFree::heldAndRepeatedKeys()
{
    QFETCH(QStringList, events);
    QFETCH(int, scans);
    parts(*m_main).imgListView->setFocus();
    for (const QString &event : events) {
        const bool press = event[0].toUpper() == 'P';
        const int key = event[1] == 'S' ? Qt::Key_Space : Qt::Key_PageDown;
        sendKey(press ? QEvent::KeyPress : QEvent::KeyRelease, key, 50000 + event.mid(2).toULong(),
                event[0].isLower());
        settle();
    }
    QCOMPARE(m_main->session().shownPaths().size(), scans);
}

void TestHandsFree::focusedButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("focus"); // "tab", or "click" on the button before the key
    QTest::addColumn<bool>("mask");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("presses");
    QTest::addColumn<int>("scans");

    QTest::newRow("Space on a Tab-focused button") << "rotateRightBtn" << "tab" << false << int(Qt::Key_Space) << 1 << 0;
    QTest::newRow("Return on a Tab-focused button") << "rotateRightBtn" << "tab" << false << int(Qt::Key_Return) << 1 << 0;
    QTest::newRow("Space on the title bar's button") << "m_pButtonMin" << "tab" << false << int(Qt::Key_Space) << 1 << 0;
    QTest::newRow("Page Down scans past the button") << "rotateRightBtn" << "tab" << false << int(Qt::Key_PageDown) << 0 << 1;
    QTest::newRow("focused button under the mask") << "rotateRightBtn" << "tab" << true << int(Qt::Key_Space) << 0 << 0;
    QTest::newRow("a click takes no focus") << "rotateRightBtn" << "click" << false << int(Qt::Key_Space) << 0 << 1;
}

void TestHandsFree::focusedButtons()
{
    QFETCH(QString, button);
    QFETCH(QString, focus);
    QFETCH(bool, mask);
    QFETCH(int, key);
    QFETCH(int, presses);
    QFETCH(int, scans);

    QPushButton *target = button == "m_pButtonMin" ? parts(*m_main).m_titleBar->m_pButtonMin
                                                   : m_main->findChild<QPushButton *>(button);
    QVERIFY(target);
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    if (focus == "click") {
        QTest::mouseClick(target, Qt::LeftButton);
        QVERIFY(QApplication::focusWidget() != target);
    }
    for (int i = 0; focus == "tab" && QApplication::focusWidget() != target && i < 50; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    if (focus == "tab")
        QCOMPARE(QApplication::focusWidget(), target);
    if (mask)
        parts(*m_main).maskWidget->show();

    QSignalSpy clicks(target, &QPushButton::clicked);
    tap(key);
    QCOMPARE(clicks.count(), presses);
    QCOMPARE(m_main->session().shownPaths().size(), scans);
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
    parts(*m_main).imgListView->setFocus();
    const QImage off = m_main->grab().toImage();

    // Without a settings file the mode holds for this run and no file is
    // made: readers would take a file without the twelve keys as empty values.
    tap(Qt::Key_A);
    QVERIFY(m_main->autoCaptureOn());
    QVERIFY(!QFile::exists(CCfgControl::settingsFilePath()));
    const QImage on = m_main->grab().toImage();
    QVERIFY2(badgePixels(on, off) > 200, qPrintable(QString::number(badgePixels(on, off))));
    tap(Qt::Key_A);
    QVERIFY(!m_main->autoCaptureOn());
    QVERIFY2(badgePixels(m_main->grab().toImage(), off) < 20, "the badge went with the mode");

    // With a settings file: kept as 1 or 0, and a save of the settings
    // window leaves it alone.
    const QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    CCfgControl().setValue({home, "0", "640", "480", "0", "", "20", "0", "0", "0", "0", "0"});
    tap(Qt::Key_A);
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
    tap(Qt::Key_A);
    QCOMPARE(stored("AutoCapture"), QString("0"));
}

// The page lying there is scanned once the mode is on; a key's scan is not
// counted, and switching the mode on again starts afresh.
void TestHandsFree::onlyAutomaticScansAreCounted()
{
    parts(*m_main).imgListView->setFocus();
    tap(Qt::Key_A);
    QCOMPARE(m_main->autoScanCount(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_main->autoScanCount(), 1, 20000);
    settle();
    tap(Qt::Key_Space);
    QCOMPARE(m_main->session().shownPaths().size(), 2);
    QCOMPARE(m_main->autoScanCount(), 1);
    settle();
    tap(Qt::Key_A);
    tap(Qt::Key_A);
    QCOMPARE(m_main->autoScanCount(), 0);
}

QTEST_MAIN(TestHandsFree)
#include "testhandsfree.moc"
