// The title bar on its own: buttons by type, the maximise/restore record,
// dragging its window, double clicks, painting and the scrolling title.
#include "core/stylenoisefilter.h"
#include "ui/titlebar.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QtTest>

class TestTitleBar : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void initialState();
    void buttonTypeHides_data();
    void buttonTypeHides();
    void maximiseAndRestoreSwapButtons();
    void restoreInfoRoundTrip();
    void dragStepsAgainstPreviousPosition_data();
    void dragStepsAgainstPreviousPosition();
    void noDragWhileMaximised();
    void closeOnlyBarDragsEvenWithMaximiseHidden();
    void releaseEndsDrag();
    void doubleClickToggles();
    void doubleClickIgnoredByOtherTypes_data();
    void doubleClickIgnoredByOtherTypes();
    void transparentBarPaintsNothing();
    void widthFollowsWindowAtPaint();
    void titleContentFontAndColour();
    void titleIconScaledExactly();
    void rollShowsShrinkingTitle();
    void rollCounterSharedByBars();
    void rollTimerTicksEvery200ms();
    void styleSheetFromFile();

private:
    struct Host {
        QWidget window;
        TitleBar *bar;
        Host() : bar(new TitleBar(&window))
        {
            window.setGeometry(100, 100, 600, 300);
            bar->setTitleWidth(600);
        }
    };

    // One step of the scrolling title, as its timer takes it.
    static void rollOnce(TitleBar &bar)
    {
        QVERIFY(QMetaObject::invokeMethod(&bar, "onRollTitle", Qt::DirectConnection));
    }

    static void sendMouse(TitleBar *bar, QEvent::Type type, QPoint global, Qt::MouseButton button)
    {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, bar->mapFromGlobal(global), global, button, held, Qt::NoModifier);
        QApplication::sendEvent(bar, &event);
    }
};

static void initQuilloResources()
{
    Q_INIT_RESOURCE(quillo);
}

void TestTitleBar::initTestCase()
{
    StyleNoiseFilter::install();
    initQuilloResources();
}

void TestTitleBar::initialState()
{
    TitleBar bar;
    QCOMPARE(bar.backgroundColor(), QColor(153, 153, 153));
    QVERIFY(bar.isTransparent());
    QVERIFY(!bar.isDragging());
    QPoint restorePos(1, 1);
    QSize restoreSize(1, 1);
    bar.getRestoreInfo(restorePos, restoreSize);
    QCOMPARE(restorePos, QPoint(0, 0));
    QVERIFY(!restoreSize.isValid());
    QCOMPARE(bar.buttonType(), MIN_MAX_BUTTON);
    QCOMPARE(bar.windowBorderWidth(), 0);
    QCOMPARE(bar.titleRollInterval(), 0);
    QCOMPARE(bar.height(), 50);
    QCOMPARE(bar.minimumHeight(), 50);
    QCOMPARE(bar.maximumHeight(), 50);
    QCOMPARE(bar.m_pButtonClose->size(), QSize(40, 40));
    QCOMPARE(bar.m_pTitleContent->objectName(), QString("TitleContent"));

    auto *layout = qobject_cast<QHBoxLayout *>(bar.layout());
    QVERIFY(layout);
    QCOMPARE(layout->objectName(), QString("titleLayout"));
    QCOMPARE(layout->contentsMargins(), QMargins(5, 5, 5, 5));
    QCOMPARE(layout->count(), 8);
    QCOMPARE(layout->itemAt(0)->widget(), bar.m_pIcon);
    QCOMPARE(layout->itemAt(0)->alignment(), Qt::AlignCenter | Qt::AlignLeft);
    QCOMPARE(layout->itemAt(1)->widget(), bar.m_pTitleContent);
    QCOMPARE(layout->stretch(1), 1);
    QVERIFY(layout->itemAt(2)->spacerItem());
    QCOMPARE(layout->itemAt(3)->widget(), bar.m_pButtonSet);
    QCOMPARE(layout->itemAt(4)->widget(), bar.m_pButtonMin);
    QCOMPARE(layout->itemAt(5)->widget(), bar.m_pButtonRestore);
    QCOMPARE(layout->itemAt(6)->widget(), bar.m_pButtonMax);
    QCOMPARE(layout->itemAt(7)->widget(), bar.m_pButtonClose);
    QCOMPARE(layout->itemAt(7)->alignment(), Qt::Alignment(Qt::AlignCenter));
}

void TestTitleBar::buttonTypeHides_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("setShown");
    QTest::addColumn<bool>("minShown");
    QTest::addColumn<bool>("restoreShown");
    QTest::addColumn<bool>("maxShown");
    QTest::newRow("min") << int(MIN_BUTTON) << true << true << false << false;
    QTest::newRow("min-max") << int(MIN_MAX_BUTTON) << true << true << false << true;
    QTest::newRow("close-only") << int(ONLY_CLOSE_BUTTON) << false << false << false << false;
}

void TestTitleBar::buttonTypeHides()
{
    QFETCH(int, type);
    QFETCH(bool, setShown);
    QFETCH(bool, minShown);
    QFETCH(bool, restoreShown);
    QFETCH(bool, maxShown);
    Host host;
    host.bar->setButtonType(TitleButtonType(type));
    host.window.show();
    QCOMPARE(host.bar->buttonType(), TitleButtonType(type));
    QCOMPARE(host.bar->m_pButtonSet->isVisible(), setShown);
    QCOMPARE(host.bar->m_pButtonMin->isVisible(), minShown);
    QCOMPARE(host.bar->m_pButtonRestore->isVisible(), restoreShown);
    QCOMPARE(host.bar->m_pButtonMax->isVisible(), maxShown);
    QVERIFY(host.bar->m_pButtonClose->isVisible());
}

void TestTitleBar::maximiseAndRestoreSwapButtons()
{
    Host host;
    host.bar->setButtonType(MIN_MAX_BUTTON);
    host.window.show();
    QSignalSpy maxSpy(host.bar, SIGNAL(signalButtonMaxClicked()));
    QSignalSpy restoreSpy(host.bar, SIGNAL(signalButtonRestoreClicked()));
    QSignalSpy minSpy(host.bar, SIGNAL(signalButtonMinClicked()));
    QSignalSpy closeSpy(host.bar, SIGNAL(signalButtonCloseClicked()));
    QSignalSpy setSpy(host.bar, SIGNAL(signalButtonSetClicked()));

    host.bar->m_pButtonMax->click();
    QCOMPARE(maxSpy.count(), 1);
    QVERIFY(!host.bar->m_pButtonMax->isVisible());
    QVERIFY(host.bar->m_pButtonRestore->isVisible());

    host.bar->m_pButtonRestore->click();
    QCOMPARE(restoreSpy.count(), 1);
    QVERIFY(host.bar->m_pButtonMax->isVisible());
    QVERIFY(!host.bar->m_pButtonRestore->isVisible());

    host.bar->m_pButtonMin->click();
    host.bar->m_pButtonClose->click();
    host.bar->m_pButtonSet->click();
    QCOMPARE(minSpy.count(), 1);
    QCOMPARE(closeSpy.count(), 1);
    QCOMPARE(setSpy.count(), 1);
    QCOMPARE(maxSpy.count(), 1);
    QCOMPARE(restoreSpy.count(), 1);
}

void TestTitleBar::restoreInfoRoundTrip()
{
    TitleBar bar;
    bar.saveRestoreInfo(QPoint(12, -7), QSize(780, 480));
    QPoint pos(1, 1);
    QSize size(1, 1);
    bar.getRestoreInfo(pos, size);
    QCOMPARE(pos, QPoint(12, -7));
    QCOMPARE(size, QSize(780, 480));
}

void TestTitleBar::dragStepsAgainstPreviousPosition_data()
{
    QTest::addColumn<int>("button");
    QTest::newRow("left") << int(Qt::LeftButton);
    QTest::newRow("right") << int(Qt::RightButton);
    QTest::newRow("middle") << int(Qt::MiddleButton);
}

void TestTitleBar::dragStepsAgainstPreviousPosition()
{
    QFETCH(int, button);
    const auto mouseButton = Qt::MouseButton(button);
    Host host;
    host.bar->setButtonType(MIN_MAX_BUTTON);
    host.window.show();
    const QPoint start = host.window.pos();

    sendMouse(host.bar, QEvent::MouseButtonPress, QPoint(300, 120), mouseButton);
    QCOMPARE(host.window.pos(), start);
    sendMouse(host.bar, QEvent::MouseMove, QPoint(310, 125), mouseButton);
    QCOMPARE(host.window.pos(), start + QPoint(10, 5));
    // The next step counts from (310, 125), not from the press position.
    sendMouse(host.bar, QEvent::MouseMove, QPoint(305, 140), mouseButton);
    QCOMPARE(host.window.pos(), start + QPoint(5, 20));
    sendMouse(host.bar, QEvent::MouseMove, QPoint(305, 140), mouseButton);
    QCOMPARE(host.window.pos(), start + QPoint(5, 20));
}

void TestTitleBar::noDragWhileMaximised()
{
    Host host;
    host.bar->setButtonType(MIN_MAX_BUTTON);
    host.window.show();
    host.bar->m_pButtonMax->click();
    const QPoint start = host.window.pos();
    sendMouse(host.bar, QEvent::MouseButtonPress, QPoint(300, 120), Qt::LeftButton);
    sendMouse(host.bar, QEvent::MouseMove, QPoint(350, 170), Qt::LeftButton);
    QCOMPARE(host.window.pos(), start);
    sendMouse(host.bar, QEvent::MouseButtonRelease, QPoint(350, 170), Qt::LeftButton);

    host.bar->m_pButtonRestore->click();
    sendMouse(host.bar, QEvent::MouseButtonPress, QPoint(300, 120), Qt::LeftButton);
    sendMouse(host.bar, QEvent::MouseMove, QPoint(350, 170), Qt::LeftButton);
    QCOMPARE(host.window.pos(), start + QPoint(50, 50));
}

void TestTitleBar::closeOnlyBarDragsEvenWithMaximiseHidden()
{
    Host host;
    host.bar->setButtonType(ONLY_CLOSE_BUTTON);
    host.window.show();
    QVERIFY(host.bar->m_pButtonMax->isHidden());
    const QPoint start = host.window.pos();
    sendMouse(host.bar, QEvent::MouseButtonPress, QPoint(300, 120), Qt::LeftButton);
    sendMouse(host.bar, QEvent::MouseMove, QPoint(280, 100), Qt::LeftButton);
    QCOMPARE(host.window.pos(), start + QPoint(-20, -20));
}

void TestTitleBar::releaseEndsDrag()
{
    Host host;
    host.window.show();
    const QPoint start = host.window.pos();
    sendMouse(host.bar, QEvent::MouseButtonPress, QPoint(300, 120), Qt::LeftButton);
    sendMouse(host.bar, QEvent::MouseMove, QPoint(301, 121), Qt::LeftButton);
    sendMouse(host.bar, QEvent::MouseButtonRelease, QPoint(301, 121), Qt::LeftButton);
    QVERIFY(!host.bar->isDragging());
    QMouseEvent hover(QEvent::MouseMove, host.bar->mapFromGlobal(QPoint(400, 200)), QPoint(400, 200),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(host.bar, &hover);
    QCOMPARE(host.window.pos(), start + QPoint(1, 1));
}

void TestTitleBar::doubleClickToggles()
{
    Host host;
    host.bar->setButtonType(MIN_MAX_BUTTON);
    host.window.show();
    QSignalSpy maxSpy(host.bar, SIGNAL(signalButtonMaxClicked()));
    QSignalSpy restoreSpy(host.bar, SIGNAL(signalButtonRestoreClicked()));

    QTest::mouseDClick(host.bar, Qt::LeftButton, Qt::NoModifier, QPoint(300, 25));
    QCOMPARE(maxSpy.count(), 1);
    QCOMPARE(restoreSpy.count(), 0);
    QVERIFY(host.bar->m_pButtonMax->isHidden());
    QVERIFY(!host.bar->m_pButtonRestore->isHidden());

    QTest::mouseDClick(host.bar, Qt::LeftButton, Qt::NoModifier, QPoint(300, 25));
    QCOMPARE(maxSpy.count(), 1);
    QCOMPARE(restoreSpy.count(), 1);
    QVERIFY(!host.bar->m_pButtonMax->isHidden());
    QVERIFY(host.bar->m_pButtonRestore->isHidden());
}

void TestTitleBar::doubleClickIgnoredByOtherTypes_data()
{
    QTest::addColumn<int>("type");
    QTest::newRow("min") << int(MIN_BUTTON);
    QTest::newRow("close-only") << int(ONLY_CLOSE_BUTTON);
}

void TestTitleBar::doubleClickIgnoredByOtherTypes()
{
    QFETCH(int, type);
    Host host;
    host.bar->setButtonType(TitleButtonType(type));
    host.window.show();
    QSignalSpy maxSpy(host.bar, SIGNAL(signalButtonMaxClicked()));
    QSignalSpy restoreSpy(host.bar, SIGNAL(signalButtonRestoreClicked()));
    QTest::mouseDClick(host.bar, Qt::LeftButton, Qt::NoModifier, QPoint(300, 25));
    QCOMPARE(maxSpy.count(), 0);
    QCOMPARE(restoreSpy.count(), 0);
    QVERIFY(host.bar->m_pButtonMax->isHidden());
    QVERIFY(host.bar->m_pButtonRestore->isHidden());
}

void TestTitleBar::transparentBarPaintsNothing()
{
    Host host;
    host.window.show();
    const QColor canvas(255, 0, 255);
    // Sample the top margin, where no child widget lies.
    const QPoint sample(host.bar->width() / 2, 1);

    QImage before(host.bar->size(), QImage::Format_ARGB32);
    before.fill(canvas);
    host.bar->render(&before, QPoint(), QRegion(), QWidget::RenderFlags());
    QCOMPARE(before.pixelColor(sample), canvas);

    host.bar->setBackgroundColor(54, 146, 238, false);
    QImage after(host.bar->size(), QImage::Format_ARGB32);
    after.fill(canvas);
    host.bar->render(&after, QPoint(), QRegion(), QWidget::RenderFlags());
    QCOMPARE(after.pixelColor(sample), QColor(54, 146, 238));
    QCOMPARE(after.pixelColor(QPoint(0, 0)), QColor(54, 146, 238));
    QCOMPARE(after.pixelColor(QPoint(host.bar->width() - 1, 49)), QColor(54, 146, 238));

    host.bar->setBackgroundColor(10, 20, 30, true);
    QImage again(host.bar->size(), QImage::Format_ARGB32);
    again.fill(canvas);
    host.bar->render(&again, QPoint(), QRegion(), QWidget::RenderFlags());
    QCOMPARE(again.pixelColor(sample), canvas);
}

void TestTitleBar::widthFollowsWindowAtPaint()
{
    Host host;
    host.bar->setWindowBorderWidth(4);
    host.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host.window));
    host.window.resize(900, 300);
    host.bar->repaint();
    QCOMPARE(host.bar->width(), 896);
    host.window.resize(700, 300);
    host.bar->repaint();
    QCOMPARE(host.bar->width(), 696);
}

void TestTitleBar::titleContentFontAndColour()
{
    TitleBar bar;
    bar.setTitleContent("Quillo", 9);
    const QFont font = bar.m_pTitleContent->font();
    QCOMPARE(font.family(), QString("Microsoft YaHei"));
    QCOMPARE(font.pointSize(), 9);
    QCOMPARE(font.weight(), int(QFont::Bold));
    QVERIFY(!font.italic());
    QCOMPARE(bar.m_pTitleContent->text(), QString("Quillo"));
    QCOMPARE(bar.m_pTitleContent->palette().color(QPalette::WindowText), QColor(Qt::white));
    QCOMPARE(bar.titleContent(), QString("Quillo"));
}

void TestTitleBar::titleIconScaledExactly()
{
    TitleBar bar;
    bar.setTitleIcon(":/img/new/logo.svg", QSize(40, 20));
    QCOMPARE(bar.m_pIcon->pixmap(Qt::ReturnByValue).size(), QSize(40, 20));
    bar.setTitleIcon("/no/such/logo.svg", QSize(32, 32));
    QVERIFY(bar.m_pIcon->pixmap(Qt::ReturnByValue).isNull());
}

void TestTitleBar::rollShowsShrinkingTitle()
{
    TitleBar bar;
    bar.setTitleContent("abcd", 9);
    // The shared counter may stand anywhere after other bars rolled: step to
    // the start of a cycle first, which comes within five ticks.
    for (int i = 0; i < 6; ++i) {
        rollOnce(bar);
        if (bar.m_pTitleContent->text() == "abcd")
            break;
    }
    QCOMPARE(bar.m_pTitleContent->text(), QString("abcd"));
    const QStringList expected = {"bcd", "cd", "d", "", "abcd", "bcd"};
    for (const QString &text : expected) {
        rollOnce(bar);
        QCOMPARE(bar.m_pTitleContent->text(), text);
    }
}

void TestTitleBar::rollCounterSharedByBars()
{
    TitleBar first;
    TitleBar second;
    first.setTitleContent("abcd", 9);
    second.setTitleContent("wxyz", 9);
    for (int i = 0; i < 6; ++i) {
        rollOnce(first);
        if (first.m_pTitleContent->text() == "abcd")
            break;
    }
    QCOMPARE(first.m_pTitleContent->text(), QString("abcd"));
    rollOnce(second);
    QCOMPARE(second.m_pTitleContent->text(), QString("xyz"));
    rollOnce(first);
    QCOMPARE(first.m_pTitleContent->text(), QString("cd"));
}

void TestTitleBar::rollTimerTicksEvery200ms()
{
    TitleBar bar;
    bar.setTitleContent("abcd", 9);
    bar.setTitleRoll();
    QCOMPARE(bar.titleRollInterval(), 200);
    QTRY_VERIFY_WITH_TIMEOUT(bar.m_pTitleContent->text() != "abcd", 2000);
}

void TestTitleBar::styleSheetFromFile()
{
    TitleBar bar;
    bar.setStyleSheet("QLabel{color:red;}");
    QTemporaryFile sheet;
    QVERIFY(sheet.open());
    sheet.write("QPushButton{border:none;}");
    sheet.close();
    bar.loadStyleSheet(sheet.fileName());
    QCOMPARE(bar.styleSheet(), QString("QLabel{color:red;}QPushButton{border:none;}"));
    bar.loadStyleSheet("/no/such/sheet.qss");
    QCOMPARE(bar.styleSheet(), QString("QLabel{color:red;}QPushButton{border:none;}"));
}

QTEST_MAIN(TestTitleBar)
#include "testtitlebar.moc"
