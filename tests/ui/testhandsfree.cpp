// Scanning without the mouse on a whole main window with a simulated camera:
// the scan keys act like a click on "扫描" (and like it, do nothing under the
// busy mask or while a box is open), and the key A switches automatic
// capture, shows it on the picture and keeps it in the settings file.
#include "ui/cammainwindow.h"
#include "settings/ccfgcontrol.h"
#include "core/settings.h"
#include "tests/shared/mainwindowfixture.h"
#include "core/previewfit.h"
#include "settings/setwindow.h"
#include "core/stylenoisefilter.h"

#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QSignalSpy>
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
    void keyTimesAndFocus_data();
    void keyTimesAndFocus();
    void modeKeyIsShownAndKept_data();
    void modeKeyIsShownAndKept();

private:
    int badgePixels(const QImage &on, const QImage &off) const;
    // To the focus widget, with the time X would give it.
    void sendKey(QEvent::Type type, int key, ulong timeMs)
    {
        QKeyEvent event(type, key, Qt::NoModifier);
        event.setTimestamp(timeMs);
        QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : m_main.get(), &event);
    }
    std::unique_ptr<CamMainWindow> m_main;
    ulong m_tapTime = 1000000;
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
    QTest::newRow("snapshot button under X") << int(Qt::Key_WebCam) << 0 << false << "" << 1;
    QTest::newRow("snapshot button elsewhere") << int(Qt::Key_Camera) << 0 << false << "" << 1;
    QTest::newRow("Return without a picture") << int(Qt::Key_Return) << 0 << false << "no picture" << 0;
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
    parts(*m_main).scanBtn->setEnabled(state != "no picture"); // as a paint without a frame leaves it
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

// Events "<P|R><S|E|D><ms>": press or release of Space, Return or Page Down. Each save ends before
// the next event unless the mask is kept up: the key rules decide. X sends a held key as such taps.
void TestHandsFree::keyTimesAndFocus_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("focus"); // on rotateRightBtn by "tab", or "click" it first; else as the window starts
    QTest::addColumn<bool>("mask");
    QTest::addColumn<int>("presses");
    QTest::addColumn<int>("scans");
    QTest::newRow("pedal pressed twice 0.6 s apart") << "PS0 RS120 PS600 RS720" << "" << false << 0 << 2;
    QTest::newRow("double tap, up 100 ms") << "PS0 RS50 PS150 RS200" << "" << false << 0 << 1;
    QTest::newRow("Space on a Tab-focused button") << "PS0 RS80" << "tab" << false << 1 << 0;
    QTest::newRow("Return on a Tab-focused button") << "PE0 RE80" << "tab" << false << 1 << 0;
    QTest::newRow("Page Down scans past it") << "PD0 RD80" << "tab" << false << 0 << 1;
    QTest::newRow("focused button under the mask") << "PS0 RS80" << "tab" << true << 0 << 0;
    QTest::newRow("Space after a click on the button") << "PS0 RS80" << "click" << false << 0 << 1;
}

void TestHandsFree::keyTimesAndFocus()
{
    QFETCH(QString, events);
    QFETCH(QString, focus);
    QFETCH(bool, mask);
    QFETCH(int, presses);
    QFETCH(int, scans);
    QPushButton *button = parts(*m_main).rotateRightBtn;
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    if (focus == "click")
        QTest::mouseClick(button, Qt::LeftButton);
    for (int i = 0; focus == "tab" && QApplication::focusWidget() != button && i < 50; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget() == button, focus == "tab");
    parts(*m_main).maskWidget->setVisible(mask);

    QSignalSpy clicks(button, &QPushButton::clicked);
    for (const QString &event : events.split(' ')) {
        const int key = event[1] == 'S' ? Qt::Key_Space : event[1] == 'E' ? Qt::Key_Return : Qt::Key_PageDown;
        sendKey(event[0] == 'P' ? QEvent::KeyPress : QEvent::KeyRelease, key, event.mid(2).toULong() + 1);
        m_main->session().waitForSaves();
        if (!mask)
            QTRY_VERIFY_WITH_TIMEOUT(!parts(*m_main).maskWidget->isVisible(), 20000);
    }
    QCOMPARE(clicks.count(), presses);
    QCOMPARE(m_main->session().shownPaths().size(), scans);
}

// Differing pixels in the picture's top right corner, where the badge goes.
int TestHandsFree::badgePixels(const QImage &on, const QImage &off) const
{
    const QRect picture = fitPreviewRect(CaptureSession::frame().image.size(), m_main->rotation(),
                                         QSizeF(parts(*m_main).videoWidget->size()), m_main->previewScale());
    const QRect corner(picture.right() - 100, picture.top(), 100, 50);
    int differing = 0;
    for (int y = corner.top(); y <= corner.bottom(); ++y)
        for (int x = corner.left(); x <= corner.right(); ++x)
            differing += on.pixel(x, y) != off.pixel(x, y);
    return differing;
}

void TestHandsFree::modeKeyIsShownAndKept_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("name");
    QTest::newRow("A: automatic capture") << int(Qt::Key_A) << "AutoCapture";
    QTest::newRow("B: book mode") << int(Qt::Key_B) << "BookMode";
}

void TestHandsFree::modeKeyIsShownAndKept()
{
    QFETCH(int, key);
    QFETCH(QString, name);
    const auto modeOn = [this, key] { return key == Qt::Key_A ? m_main->autoCaptureOn() : m_main->bookModeOn(); };
    QVERIFY(!modeOn());
    parts(*m_main).imgListView->setFocus();
    // Pressed a second apart, as a key scans again only once it was up a moment.
    const auto tap = [this](int pressed) {
        sendKey(QEvent::KeyPress, pressed, m_tapTime += 1000);
        sendKey(QEvent::KeyRelease, pressed, m_tapTime + 80);
    };
    const QImage off = m_main->grab().toImage();

    // Without a settings file the mode holds for this run and no file is
    // made: readers would take a file without the twelve keys as empty values.
    tap(key);
    QVERIFY(modeOn());
    QVERIFY(!QFile::exists(CCfgControl::settingsFilePath()));
    const QImage on = m_main->grab().toImage();
    QVERIFY2(badgePixels(on, off) > 200, qPrintable(QString::number(badgePixels(on, off))));
    tap(key);
    QVERIFY(!modeOn());
    QVERIFY2(badgePixels(m_main->grab().toImage(), off) < 20, "the badge went with the mode");

    // With a settings file: kept as 1 or 0, and a save of the settings
    // window leaves it alone.
    const QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    CCfgControl().setValue({home, "0", "640", "480", "0", "", "20", "0", "0", "0", "0", "0"});
    tap(key);
    QCOMPARE(stored(name), QString("1"));
    invoke(*m_main, "onButtonSetClicked");
    m_main->settingsWindow()->ptypeCbbFormat->setCurrentIndex(1);
    QVERIFY(QMetaObject::invokeMethod(m_main->settingsWindow(), "onBtnSaveClicked"));
    QCOMPARE(stored("FileFormat"), QString("1"));
    QCOMPARE(stored(name), QString("1"));
    const QSettings file(CCfgControl::settingsFilePath(), QSettings::IniFormat);
    // The twelve keys and the mode's own; another mode's key is written only by its key.
    for (const Settings::Row &row : Settings::kTable)
        if (row.savedByWindow || name == row.name)
            QVERIFY2(file.contains(QString("Settings/") + row.name), row.name);

    // The next run starts with it on.
    m_main.reset();
    g_Camself = nullptr;
    init();
    QVERIFY(modeOn());
    tap(key);
    QCOMPARE(stored(name), QString("0"));
}

QTEST_MAIN(TestHandsFree)
#include "testhandsfree.moc"
