// The rotate, crop, book and upload commands of the main window's tool bar.
#include "tests/shared/mainwindowfixture.h"
#include "core/rotationcounter.h"
#include "core/stylenoisefilter.h"

#include <QtTest>

namespace {
QStringList g_trace;
QtMessageHandler g_previousHandler = nullptr;

void captureTrace(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // Only the GUI thread's lines: the camera's delivery thread may trace too.
    if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread())
        g_trace << message;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}
} // namespace

class TestEditCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void startsUnrotated();
    void rotationFollowsTheClickSequence_data();
    void rotationFollowsTheClickSequence();
    void cropClicksToggleTheCamera();
    void rotatingReappliesTheCropIndicator();
    void bookModeChangesNothing();
    void uploadHidesInUploadModeAndClosesOtherwise_data();
    void uploadHidesInUploadModeAndClosesOtherwise();

private:
    void resetRotation();

    std::unique_ptr<CamMainWindow> m_window;
};

void TestEditCommands::initTestCase()
{
    StyleNoiseFilter::install();
    m_window = makeMainWindowWithSimulatedCamera();
    QVERIFY(m_window);
    g_previousHandler = qInstallMessageHandler(captureTrace);
}

void TestEditCommands::cleanupTestCase()
{
    qInstallMessageHandler(g_previousHandler);
    m_window.reset();
}

// The rotation counters start afresh only with a new window.
void TestEditCommands::resetRotation()
{
    m_window.reset();
    m_window = makeMainWindowWithSimulatedCamera();
}


void TestEditCommands::startsUnrotated()
{
    QCOMPARE(m_window->rotation(), 0.0);
    QCOMPARE(m_window->rotateLeftClicks(), 0);
    QCOMPARE(m_window->rotateRightClicks(), 0);
    // The simulated camera is outside the Tarvo family: the counter says
    // "off", as the button and the library do.
    QCOMPARE(m_window->cropCounter(), 2);
}

void TestEditCommands::rotationFollowsTheClickSequence_data()
{
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::addColumn<qreal>("rotate");
    QTest::newRow("R") << "R" << 0 << 1 << 90.0;
    QTest::newRow("R R") << "RR" << 0 << 2 << 180.0;
    QTest::newRow("R R R R") << "RRRR" << 0 << 4 << 360.0;
    QTest::newRow("R R R R R") << "RRRRR" << 0 << 1 << 90.0;
    QTest::newRow("L") << "L" << 1 << 0 << 270.0;
    QTest::newRow("L L") << "LL" << 2 << 0 << 180.0;
    QTest::newRow("L L L L") << "LLLL" << 4 << 0 << 0.0;
    QTest::newRow("R L") << "RL" << 1 << 1 << 0.0;
    QTest::newRow("L R") << "LR" << 1 << 1 << 360.0;
    QTest::newRow("R R L") << "RRL" << 1 << 2 << 90.0;
    QTest::newRow("L R R") << "LRR" << 1 << 2 << 450.0;
    QTest::newRow("R L R L") << "RLRL" << 2 << 2 << 0.0;
    // Beyond the table: the formulas' extremes.
    QTest::newRow("R R R L L L L (lowest)") << "RRRLLLL" << 4 << 3 << -90.0;
    QTest::newRow("R L L L L (down to -270)") << "RLLLL" << 4 << 1 << -270.0;
    QTest::newRow("L R R R R (up to 630)") << "LRRRR" << 1 << 4 << 630.0;
}

void TestEditCommands::rotationFollowsTheClickSequence()
{
    QFETCH(QString, clicks);
    QFETCH(int, left);
    QFETCH(int, right);
    QFETCH(qreal, rotate);

    resetRotation();
    RotationCounter counter;
    for (const QChar c : clicks) {
        if (c == 'R') {
            QMetaObject::invokeMethod(m_window.get(), "slotRotateRightBtnClicked", Qt::DirectConnection);
            rotateRight(counter);
        } else {
            QMetaObject::invokeMethod(m_window.get(), "slotRotateLeftBtnClicked", Qt::DirectConnection);
            rotateLeft(counter);
        }
    }
    QCOMPARE(m_window->rotateLeftClicks(), left);
    QCOMPARE(m_window->rotateRightClicks(), right);
    QCOMPARE(m_window->rotation(), rotate);
    QCOMPARE(counter.leftIndex, left);
    QCOMPARE(counter.rightIndex, right);
    QCOMPARE(counter.rotate, rotate);
}

void TestEditCommands::cropClicksToggleTheCamera()
{
    resetRotation(); // the crop counter starts at 1 (on) for a Tarvo camera, 2 otherwise
    setCrop(*m_window, true);
    const int start = m_window->cropCounter();
    g_trace.clear();

    QMetaObject::invokeMethod(m_window.get(), "slotCutBtnClicked", Qt::DirectConnection);
    QCOMPARE(m_window->cropCounter(), start + 1);
    QCOMPARE(g_trace, (QStringList{QString("on_CropButton_clicked is %1\n").arg(start),
                                   QString("on_CropButton_clicked is %1\n").arg(start + 1), "no crop\n"}));
    QVERIFY(!m_window->session().autoCrop());
    QVERIFY(!parts(*m_window).cutBtn->isDown());

    g_trace.clear();
    QMetaObject::invokeMethod(m_window.get(), "slotCutBtnClicked", Qt::DirectConnection);
    QCOMPARE(m_window->cropCounter(), start + 2);
    QCOMPARE(g_trace, (QStringList{QString("on_CropButton_clicked is %1\n").arg(start + 1),
                                   QString("on_CropButton_clicked is %1\n").arg(start + 2), "crop\n"}));
    QVERIFY(m_window->session().autoCrop());
    QVERIFY(parts(*m_window).cutBtn->isDown());

    // Clicking through the real button reaches the same slot.
    parts(*m_window).cutBtn->setEnabled(true);
    parts(*m_window).cutBtn->click();
    QCOMPARE(m_window->cropCounter(), start + 3);
    QVERIFY(!m_window->session().autoCrop());
    QVERIFY(!parts(*m_window).cutBtn->isDown());
}

void TestEditCommands::rotatingReappliesTheCropIndicator()
{
    resetRotation();
    setCrop(*m_window, true);
    parts(*m_window).cutBtn->setDown(false);
    QMetaObject::invokeMethod(m_window.get(), "slotRotateLeftBtnClicked", Qt::DirectConnection);
    QVERIFY(parts(*m_window).cutBtn->isDown());

    setCrop(*m_window, false);
    parts(*m_window).cutBtn->setDown(true);
    QMetaObject::invokeMethod(m_window.get(), "slotRotateRightBtnClicked", Qt::DirectConnection);
    QVERIFY(!parts(*m_window).cutBtn->isDown());

    // Rotating is a preview and next-scan setting only: the camera's cropping is not touched.
    QVERIFY(!m_window->session().autoCrop());
}

void TestEditCommands::bookModeChangesNothing()
{
    resetRotation();
    invoke(*m_window, "slotRotateLeftBtnClicked");
    invoke(*m_window, "slotRotateLeftBtnClicked");
    setCrop(*m_window, true);
    const int crop = m_window->cropCounter();
    g_trace.clear();
    QMetaObject::invokeMethod(m_window.get(), "slotbookBtnClicked", Qt::DirectConnection);
    QCOMPARE(m_window->rotation(), 180.0);
    QCOMPARE(m_window->rotateLeftClicks(), 2);
    QCOMPARE(m_window->rotateRightClicks(), 0);
    QCOMPARE(m_window->cropCounter(), crop);
    QVERIFY(m_window->session().autoCrop());
    QVERIFY(g_trace.isEmpty());
}

void TestEditCommands::uploadHidesInUploadModeAndClosesOtherwise_data()
{
    QTest::addColumn<bool>("uploadMode");
    QTest::newRow("upload mode hides") << true;
    QTest::newRow("otherwise closes") << false;
}

void TestEditCommands::uploadHidesInUploadModeAndClosesOtherwise()
{
    QFETCH(bool, uploadMode);
    CamMainWindow &w = *m_window;
    w.ShowCommitButton(uploadMode);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QSignalSpy committed(&w, SIGNAL(commitend()));
    QMetaObject::invokeMethod(&w, "slotSaveBtnClicked", Qt::DirectConnection);
    QCOMPARE(committed.count(), 1);
    QVERIFY(!w.isVisible());
    QCOMPARE(parts(w).saveBtn->isVisibleTo(&w), uploadMode);
    w.ShowCommitButton(false);
}

QTEST_MAIN(TestEditCommands)
#include "testeditcommands.moc"
