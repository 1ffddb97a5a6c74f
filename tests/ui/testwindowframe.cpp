// The frameless main window on a real X server: dragging it by its title bar,
// maximising and restoring by double click, positions read back from X.
#include "ui/cammainwindow.h"
#include "tests/shared/modalanswerer.h"
#include "core/stylenoisefilter.h"
#include "ui/titlebar.h"

#include <QScreen>
#include <QWindow>
#include <QtTest>

#include <memory>

class TestWindowFrame : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsCentredWithoutFrame();
    void dragFollowsMouse_data();
    void dragFollowsMouse();
    void doubleClickMaximisesAndRestores();
    void noDragWhileMaximised();

private:
    // Where X has the window's top-left corner now.
    QPoint serverPos() const { return w->mapToGlobal(QPoint(0, 0)); }
    // A window-local point for a global mouse position, as X maps it now.
    QPoint localFor(QPoint global) const { return global - serverPos(); }

    std::unique_ptr<CamMainWindow> w;
    QWindow *handle = nullptr;
    TitleBar *bar = nullptr;
};

static void initQuilloResources()
{
    Q_INIT_RESOURCE(quillo);
}

void TestWindowFrame::initTestCase()
{
    initQuilloResources();
    StyleNoiseFilter::install();
}

void TestWindowFrame::init()
{
    ModalAnswerer answerer; // no camera here: the start-up's error box
    w.reset(new CamMainWindow);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    handle = w->windowHandle();
    QVERIFY(handle);
    bar = w->findChild<TitleBar *>();
    QVERIFY(bar);
}

void TestWindowFrame::cleanup()
{
    w.reset();
    handle = nullptr;
    bar = nullptr;
}

void TestWindowFrame::startsCentredWithoutFrame()
{
    const QSize screen = QGuiApplication::primaryScreen()->size();
    const QPoint centred((screen.width() - 780) / 2, (screen.height() - 480) / 2);
    QTRY_COMPARE(serverPos(), centred);
    QCOMPARE(w->frameGeometry(), w->geometry());
    QVERIFY(handle->flags() & Qt::FramelessWindowHint);
}

void TestWindowFrame::dragFollowsMouse_data()
{
    QTest::addColumn<int>("button");
    QTest::newRow("left") << int(Qt::LeftButton);
    QTest::newRow("right") << int(Qt::RightButton);
    QTest::newRow("middle") << int(Qt::MiddleButton);
}

void TestWindowFrame::dragFollowsMouse()
{
    QFETCH(int, button);
    const auto mouseButton = Qt::MouseButton(button);
    QTRY_VERIFY(serverPos() == w->pos());
    const QPoint start = serverPos();
    const QPoint grab = start + QPoint(300, 25); // on the bar, clear of its buttons

    QTest::mousePress(handle, mouseButton, Qt::NoModifier, localFor(grab));
    QTest::mouseMove(handle, localFor(grab + QPoint(40, 30)));
    QTRY_COMPARE(serverPos(), start + QPoint(40, 30));
    // Each step counts from the last mouse position.
    QTest::mouseMove(handle, localFor(grab + QPoint(25, 60)));
    QTRY_COMPARE(serverPos(), start + QPoint(25, 60));
    QTest::mouseRelease(handle, mouseButton, Qt::NoModifier, localFor(grab + QPoint(25, 60)));

    // After the release the mouse moves alone.
    QTest::mouseMove(handle, localFor(grab + QPoint(90, 90)));
    QTest::qWait(100);
    QCOMPARE(serverPos(), start + QPoint(25, 60));
}

void TestWindowFrame::doubleClickMaximisesAndRestores()
{
    QTRY_VERIFY(serverPos() == w->pos());
    const QRect normal(serverPos(), w->size());
    const QRect grown = QGuiApplication::primaryScreen()->availableGeometry().adjusted(-3, -3, 3, 3);

    QTest::mouseDClick(handle, Qt::LeftButton, Qt::NoModifier, QPoint(300, 25));
    QTRY_COMPARE(QRect(serverPos(), w->size()), grown);
    QTRY_COMPARE(bar->width(), grown.width());

    QTest::mouseDClick(handle, Qt::LeftButton, Qt::NoModifier, QPoint(300, 25));
    QTRY_COMPARE(QRect(serverPos(), w->size()), normal);
    QTRY_COMPARE(bar->width(), 780);
}

void TestWindowFrame::noDragWhileMaximised()
{
    QTest::mouseDClick(handle, Qt::LeftButton, Qt::NoModifier, QPoint(300, 25));
    const QRect grown = QGuiApplication::primaryScreen()->availableGeometry().adjusted(-3, -3, 3, 3);
    QTRY_COMPARE(serverPos(), grown.topLeft());

    const QPoint grab = serverPos() + QPoint(300, 25);
    QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, localFor(grab));
    QTest::mouseMove(handle, localFor(grab + QPoint(50, 50)));
    QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, localFor(grab + QPoint(50, 50)));
    QTest::qWait(100);
    QCOMPARE(serverPos(), grown.topLeft());
}

QTEST_MAIN(TestWindowFrame)
#include "testwindowframe.moc"
