// The main window as built: geometry read from the widgets themselves, the
// hidden buttons, the busy mask, the wiring, and the frame commands.
#include "tests/shared/mainwindowfixture.h"
#include "tests/shared/modalanswerer.h"
#include "ui/picitemdelegate.h"
#include "core/stylenoisefilter.h"
#include "ui/titlebar.h"

#include <QAction>
#include <QGraphicsDropShadowEffect>
#include <QScreen>
#include <QtTest>

#include <memory>

class TestMainWindowLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowFrameAndTitleBar();
    void columnsAndButtonsGeometry();
    void onlyThreeToolButtonsShow();
    void buttonsLookAndTexts();
    void listSetUp();
    void busyMaskCoversTopLeft();
    void connectionsMade_data();
    void connectionsMade();
    void titleButtonsDriveWindow();
    void maximiseCoversAvailableAreaAndRestoreReturns();
    void doubleClickOnBarMaximisesAndRestores();
    void maskStaysAfterMaximise();
    void cropIndicatorFollowsParity_data();
    void cropIndicatorFollowsParity();
    void restoreLeavesCropIndicator();
    void closeInUploadModeOnlyHides();
    void closeOtherwiseCloses();
    void iconsDrawn_data();
    void iconsDrawn();
    void pdfPlaceholderDrawn();

private:
    std::unique_ptr<CamMainWindow> w;
};

static void initQuilloResources()
{
    Q_INIT_RESOURCE(quillo);
}

// Counts close events, so a close can be told from a plain hide.
class CloseCounter : public QObject
{
public:
    int closes = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            ++closes;
        return false;
    }
};

static QRect geometryInWindow(QWidget *widget, QWidget *window)
{
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

void TestMainWindowLayout::initTestCase()
{
    initQuilloResources();
    StyleNoiseFilter::install();
}

void TestMainWindowLayout::init()
{
    ModalAnswerer answerer; // no camera here: the start-up's error box
    w.reset(new CamMainWindow);
    QCOMPARE(answerer.texts, QStringList{"请正确连接扫描仪！"});
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
}

void TestMainWindowLayout::cleanup()
{
    w.reset();
}

void TestMainWindowLayout::windowFrameAndTitleBar()
{
    QCOMPARE(w->size(), QSize(780, 480));
    QCOMPARE(w->minimumSize(), QSize(780, 480));
    QVERIFY(w->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(!(w->windowFlags() & Qt::WindowTitleHint));
    QVERIFY(!w->windowIcon().isNull());
    QCOMPARE(w->palette().color(QPalette::Button), QColor(217, 217, 217));
    QVERIFY(w->autoFillBackground());

    TitleBar *bar = parts(*w).m_titleBar;
    QCOMPARE(bar->parentWidget(), static_cast<QWidget *>(w.get()));
    QCOMPARE(bar->geometry(), QRect(0, 0, 780, 50));
    QCOMPARE(bar->buttonType(), MIN_MAX_BUTTON);
    QVERIFY(!bar->isTransparent());
    QCOMPARE(bar->backgroundColor(), QColor(54, 146, 238));
    QCOMPARE(bar->m_pTitleContent->text(), QString("Quillo"));
    QCOMPARE(bar->m_pTitleContent->font().pointSize(), 9);
    QCOMPARE(bar->m_pIcon->pixmap(Qt::ReturnByValue).size(), QSize(32, 32));
    QVERIFY(bar->m_pButtonSet->isVisible());
    QVERIFY(bar->m_pButtonMin->isVisible());
    QVERIFY(bar->m_pButtonMax->isVisible());
    QVERIFY(bar->m_pButtonClose->isVisible());
    QVERIFY(!bar->m_pButtonRestore->isVisible());

    const struct {
        QPushButton *button;
        const char *toolTip;
    } titleButtons[] = {{bar->m_pButtonSet, "设置"},
                        {bar->m_pButtonMin, "最小化"},
                        {bar->m_pButtonMax, "最大化"},
                        {bar->m_pButtonClose, "关闭"},
                        {bar->m_pButtonRestore, "还原"}};
    for (const auto &entry : titleButtons) {
        QCOMPARE(entry.button->size(), QSize(40, 40));
        QCOMPARE(entry.button->iconSize(), QSize(30, 30));
        QVERIFY(!entry.button->icon().isNull());
        QCOMPARE(entry.button->toolTip(), QString::fromUtf8(entry.toolTip));
    }
    QVERIFY(bar->m_pButtonClose->styleSheet().contains("QPushButton:pressed{background:rgb(255,0,0,255);}"));
    QVERIFY(bar->m_pButtonMin->styleSheet().contains("QPushButton:pressed{background:rgb(0,102,206,255);}"));

    // The bar lies above the central widget.
    QCOMPARE(w->childAt(300, 10), static_cast<QWidget *>(bar));
}

void TestMainWindowLayout::columnsAndButtonsGeometry()
{
    QCOMPARE(geometryInWindow(parts(*w).rightWidget, w.get()), QRect(560, 0, 220, 480));
    QCOMPARE(geometryInWindow(parts(*w).leftWidget, w.get()), QRect(0, 0, 560, 480));
    QCOMPARE(parts(*w).rightWidget->contentsMargins(), QMargins(0, 50, 0, 0));
    QVERIFY(parts(*w).rightWidget->autoFillBackground());

    QCOMPARE(parts(*w).imgListView->width(), 165);
    const QRect list = geometryInWindow(parts(*w).imgListView, w.get());
    QVERIFY2(list.top() >= 50, "the list starts below the title bar");
    const QRect rightTop = geometryInWindow(parts(*w).rightTopWidget, w.get());
    QCOMPARE(list.right(), rightTop.right() - parts(*w).rightTopWidget->layout()->contentsMargins().right());

    const QRect band = geometryInWindow(parts(*w).leftBottomWidget, w.get());
    QCOMPARE(band, QRect(0, 340, 560, 140));
    QCOMPARE(parts(*w).leftBottomWidget->palette().color(QPalette::Window), QColor(217, 217, 217));
    QCOMPARE(parts(*w).leftBottomWidget->layout()->spacing(), 17);

    QCOMPARE(parts(*w).toolBarWidget->size(), QSize(300, 70));
    QCOMPARE(parts(*w).scanBtn->size(), QSize(240, 36));
    const QRect strip = geometryInWindow(parts(*w).toolBarWidget, w.get());
    const QRect scan = geometryInWindow(parts(*w).scanBtn, w.get());
    QVERIFY(qAbs(strip.center().x() - band.center().x()) <= 1);
    QVERIFY(qAbs(scan.center().x() - band.center().x()) <= 1);
    QVERIFY(strip.bottom() < scan.top());
    QVERIFY(band.contains(strip));
    QVERIFY(band.contains(scan));
    QVERIFY(scan.bottom() >= band.bottom() - parts(*w).leftBottomWidget->layout()->contentsMargins().bottom());

    QCOMPARE(parts(*w).MergePDFBtn->size(), QSize(165, 36));
    QCOMPARE(parts(*w).saveBtn->size(), QSize(165, 36));
    const QRect merge = geometryInWindow(parts(*w).MergePDFBtn, w.get());
    QVERIFY(merge.bottom() > 400);
    QVERIFY(merge.right() > 760);

    auto *shadow = qobject_cast<QGraphicsDropShadowEffect *>(parts(*w).toolBarWidget->graphicsEffect());
    QVERIFY(shadow);
    QCOMPARE(shadow->offset(), QPointF(5.0, 5.0));
    QCOMPARE(shadow->color(), QColor(0, 0, 0, 25));
    QCOMPARE(shadow->blurRadius(), 18.0);
    QCOMPARE(parts(*w).toolBarWidget->styleSheet(), QString("background:rgba(247,247,247,255);border-radius:18px;"));
}

void TestMainWindowLayout::onlyThreeToolButtonsShow()
{
    QWidget *strip = parts(*w).toolBarWidget;
    QVERIFY(parts(*w).rotateLeftBtn->isVisibleTo(strip));
    QVERIFY(parts(*w).rotateRightBtn->isVisibleTo(strip));
    QVERIFY(parts(*w).cutBtn->isVisibleTo(strip));
    QVERIFY(!parts(*w).oneTOneBtn->isVisibleTo(strip));
    QVERIFY(!parts(*w).zoomInBtn->isVisibleTo(strip));
    QVERIFY(!parts(*w).zoomOutBtn->isVisibleTo(strip));
    QVERIFY(!parts(*w).bookBtn->isVisibleTo(strip));
    // The hidden four stay in the strip's layout.
    QCOMPARE(parts(*w).toolBarWidget->layout()->count(), 9);
    QCOMPARE(parts(*w).toolBarWidget->layout()->indexOf(parts(*w).oneTOneBtn), 0);
    QCOMPARE(parts(*w).toolBarWidget->layout()->indexOf(parts(*w).bookBtn), 8);
    QVERIFY(parts(*w).toolBarWidget->layout()->itemAt(3)->spacerItem());
    QVERIFY(parts(*w).toolBarWidget->layout()->itemAt(6)->spacerItem());

    // Rotate left and right sit between the stretches, crop at the right end.
    const QRect left = geometryInWindow(parts(*w).rotateLeftBtn, w.get());
    const QRect right = geometryInWindow(parts(*w).rotateRightBtn, w.get());
    const QRect cut = geometryInWindow(parts(*w).cutBtn, w.get());
    const QRect stripRect = geometryInWindow(strip, w.get());
    QVERIFY(left.right() < right.left());
    QVERIFY(right.right() < cut.left());
    QVERIFY(left.left() - stripRect.left() > 20);
    QVERIFY(stripRect.right() - cut.right() < 20);

    // No camera: upload mode is off, so the upload button takes no place.
    QVERIFY(!parts(*w).saveBtn->isVisibleTo(w.get()));
    QVERIFY(parts(*w).MergePDFBtn->isVisibleTo(w.get()));
    QVERIFY(parts(*w).scanBtn->isVisibleTo(w.get()));
}

void TestMainWindowLayout::buttonsLookAndTexts()
{
    const struct {
        QPushButton *button;
        const char *toolTip;
        const char *pressed;
    } tools[] = {
        {parts(*w).oneTOneBtn, "1:1显示", "background-color:white"},
        {parts(*w).zoomInBtn, "放大", "background-color:white"},
        {parts(*w).zoomOutBtn, "缩小", "QPushButton:hover{background:rgb(227,227,227,255);}"},
        {parts(*w).rotateLeftBtn, "左旋", "QPushButton:pressed{background:rgb(170,170,170,255);}"},
        {parts(*w).rotateRightBtn, "右旋", "QPushButton:pressed{background:rgb(170,170,170,255);}"},
        {parts(*w).cutBtn, "裁切", "QPushButton:pressed{background:rgb(170,170,170,255);}"},
        {parts(*w).bookBtn, "拍书模式", "QPushButton:hover{background:rgb(227,227,227,255);}"},
    };
    for (const auto &tool : tools) {
        QCOMPARE(tool.button->size(), QSize(50, 50));
        QCOMPARE(tool.button->iconSize(), QSize(20, 20));
        QVERIFY(!tool.button->icon().isNull());
        QVERIFY(tool.button->text().isEmpty());
        QCOMPARE(tool.button->toolTip(), QString::fromUtf8(tool.toolTip));
        QVERIFY2(tool.button->styleSheet().contains(tool.pressed), tool.toolTip);
    }
    QVERIFY(!parts(*w).cutBtn->isCheckable());

    QCOMPARE(parts(*w).scanBtn->text(), QString("扫描"));
    QCOMPARE(parts(*w).saveBtn->text(), QString("上传"));
    QCOMPARE(parts(*w).MergePDFBtn->text(), QString("合并pdf"));
    QVERIFY(parts(*w).scanBtn->styleSheet().contains("padding-left:3px;padding-top:3px;"));
}

void TestMainWindowLayout::listSetUp()
{
    QListView *view = parts(*w).imgListView;
    QCOMPARE(view->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(view->viewMode(), QListView::IconMode);
    QCOMPARE(view->resizeMode(), QListView::Adjust);
    QCOMPARE(view->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(view->contextMenuPolicy(), Qt::CustomContextMenu);
    QVERIFY(qobject_cast<PicItemDelegate *>(view->itemDelegate()));
    QCOMPARE(view->model(), static_cast<QAbstractItemModel *>(parts(*w).listViewProxyModel));
    QCOMPARE(parts(*w).listViewProxyModel->sourceModel(), static_cast<QAbstractItemModel *>(parts(*w).listViewModel));
    QCOMPARE(parts(*w).listViewModel->rowCount(), 0);

    const QList<QAction *> actions = parts(*w).listViewMenu->actions();
    QCOMPARE(actions.size(), 1);
    QCOMPARE(actions.first()->text(), QString("删除"));
    QVERIFY(actions.first()->shortcut().isEmpty());
    QVERIFY(QObject::disconnect(actions.first(), SIGNAL(triggered()), w.get(), SLOT(slotTableViewMenuDelFile())));
}

void TestMainWindowLayout::busyMaskCoversTopLeft()
{
    QCOMPARE(parts(*w).maskWidget->parentWidget(), static_cast<QWidget *>(w.get()));
    QCOMPARE(parts(*w).maskWidget->geometry(), QRect(0, 0, 780, 480));
    QVERIFY(parts(*w).maskWidget->isHidden());
    QCOMPARE(parts(*w).maskLabel->text(), QString("处理中，请稍等..."));
    QCOMPARE(parts(*w).maskWidget->styleSheet(), QString("QWidget{background-color:rgba(0,0,0,0.5);}"));

    // Shown, it lies above the title bar and the controls and takes their clicks.
    parts(*w).maskWidget->show();
    QCOMPARE(w->childAt(300, 10), static_cast<QWidget *>(parts(*w).maskWidget));
    const QPoint scanCentre = parts(*w).scanBtn->mapTo(w.get(), parts(*w).scanBtn->rect().center());
    QWidget *hit = w->childAt(scanCentre);
    QVERIFY(hit == parts(*w).maskWidget || hit == parts(*w).maskLabel);
    parts(*w).maskWidget->hide();
}

void TestMainWindowLayout::connectionsMade_data()
{
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QByteArray>("slot");
    const QByteArray clicked = SIGNAL(clicked());
    QTest::newRow("1") << "bar" << QByteArray(SIGNAL(signalButtonMinClicked())) << QByteArray(SLOT(onButtonMinClicked()));
    QTest::newRow("2") << "bar" << QByteArray(SIGNAL(signalButtonRestoreClicked()))
                       << QByteArray(SLOT(onButtonRestoreClicked()));
    QTest::newRow("3") << "bar" << QByteArray(SIGNAL(signalButtonMaxClicked())) << QByteArray(SLOT(onButtonMaxClicked()));
    QTest::newRow("4") << "bar" << QByteArray(SIGNAL(signalButtonCloseClicked()))
                       << QByteArray(SLOT(onButtonCloseClicked()));
    QTest::newRow("5") << "bar" << QByteArray(SIGNAL(signalButtonSetClicked())) << QByteArray(SLOT(onButtonSetClicked()));
    QTest::newRow("6") << "scan" << clicked << QByteArray(SLOT(slotScanBtnClicked()));
    QTest::newRow("7") << "1t1" << clicked << QByteArray(SLOT(slotOneTOneBtnClicked()));
    QTest::newRow("8") << "zoomin" << clicked << QByteArray(SLOT(slotZoomInBtnClicked()));
    QTest::newRow("9") << "zoomout" << clicked << QByteArray(SLOT(slotZoomOutBtnClicked()));
    QTest::newRow("10") << "left" << clicked << QByteArray(SLOT(slotRotateLeftBtnClicked()));
    QTest::newRow("11") << "right" << clicked << QByteArray(SLOT(slotRotateRightBtnClicked()));
    QTest::newRow("12") << "cut" << clicked << QByteArray(SLOT(slotCutBtnClicked()));
    QTest::newRow("13") << "save" << clicked << QByteArray(SLOT(slotSaveBtnClicked()));
    QTest::newRow("14") << "merge" << clicked << QByteArray(SLOT(slotMergeBtnCliecked()));
    QTest::newRow("15") << "book" << clicked << QByteArray(SLOT(slotbookBtnClicked()));
    QTest::newRow("16") << "list" << QByteArray(SIGNAL(doubleClicked(QModelIndex)))
                        << QByteArray(SLOT(slotImgListViewPressed(QModelIndex)));
    QTest::newRow("17") << "list" << QByteArray(SIGNAL(customContextMenuRequested(QPoint)))
                        << QByteArray(SLOT(slotListViewContextMenu(QPoint)));
}

// Disconnecting succeeds only for a connection that exists; reconnect after.
void TestMainWindowLayout::connectionsMade()
{
    QFETCH(QString, sender);
    QFETCH(QByteArray, signal);
    QFETCH(QByteArray, slot);
    const QHash<QString, QObject *> senders = {
        {"bar", parts(*w).m_titleBar},       {"scan", parts(*w).scanBtn},     {"1t1", parts(*w).oneTOneBtn},
        {"zoomin", parts(*w).zoomInBtn},     {"zoomout", parts(*w).zoomOutBtn}, {"left", parts(*w).rotateLeftBtn},
        {"right", parts(*w).rotateRightBtn}, {"cut", parts(*w).cutBtn},       {"save", parts(*w).saveBtn},
        {"merge", parts(*w).MergePDFBtn},    {"book", parts(*w).bookBtn},     {"list", parts(*w).imgListView}};
    QObject *from = senders.value(sender);
    QVERIFY(from);
    QVERIFY2(QObject::disconnect(from, signal.constData(), w.get(), slot.constData()), slot.constData());
    QVERIFY(!QObject::disconnect(from, signal.constData(), w.get(), slot.constData()));
    QVERIFY(QObject::connect(from, signal.constData(), w.get(), slot.constData()));
}

void TestMainWindowLayout::titleButtonsDriveWindow()
{
    const QRect normal = w->geometry();
    parts(*w).m_titleBar->m_pButtonMax->click();
    QVERIFY(w->geometry() != normal);
    parts(*w).m_titleBar->m_pButtonRestore->click();
    QCOMPARE(w->geometry(), normal);

    parts(*w).m_titleBar->m_pButtonMin->click();
    QVERIFY(w->windowState() & Qt::WindowMinimized);
}

void TestMainWindowLayout::maximiseCoversAvailableAreaAndRestoreReturns()
{
    w->move(37, 41);
    const QRect before = w->geometry();
    invoke(*w, "onButtonMaxClicked");
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(w->geometry(), available.adjusted(-3, -3, 3, 3));
    QPoint savedPos;
    QSize savedSize;
    parts(*w).m_titleBar->getRestoreInfo(savedPos, savedSize);
    QCOMPARE(savedPos, before.topLeft());
    QCOMPARE(savedSize, QSize(780, 480));
    invoke(*w, "onButtonRestoreClicked");
    QCOMPARE(w->geometry(), before);
}

void TestMainWindowLayout::doubleClickOnBarMaximisesAndRestores()
{
    const QRect before = w->geometry();
    TitleBar *bar = parts(*w).m_titleBar;
    QTest::mouseDClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(300, 25));
    QCOMPARE(w->geometry(), QGuiApplication::primaryScreen()->availableGeometry().adjusted(-3, -3, 3, 3));
    QVERIFY(bar->m_pButtonMax->isHidden());
    QTest::mouseDClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(300, 25));
    QCOMPARE(w->geometry(), before);
    QVERIFY(!bar->m_pButtonMax->isHidden());
    QVERIFY(bar->m_pButtonRestore->isHidden());
}

void TestMainWindowLayout::maskStaysAfterMaximise()
{
    parts(*w).m_titleBar->m_pButtonMax->click();
    QVERIFY(w->width() > 780 || w->height() > 480);
    parts(*w).maskWidget->show();
    QCOMPARE(parts(*w).maskWidget->geometry(), QRect(0, 0, 780, 480));
    // The bar follows the wider window at its next paint.
    parts(*w).m_titleBar->repaint();
    QCOMPARE(parts(*w).m_titleBar->width(), w->width());
}

void TestMainWindowLayout::cropIndicatorFollowsParity_data()
{
    QTest::addColumn<bool>("maximise");
    QTest::addColumn<int>("cropIndex");
    QTest::addColumn<bool>("down");
    QTest::newRow("minimise, odd") << false << 3 << true;
    QTest::newRow("minimise, even") << false << 2 << false;
    QTest::newRow("maximise, odd") << true << 1 << true;
    QTest::newRow("maximise, even") << true << 4 << false;
}

void TestMainWindowLayout::cropIndicatorFollowsParity()
{
    QFETCH(bool, maximise);
    QFETCH(int, cropIndex);
    QFETCH(bool, down);
    setCrop(*w, cropIsOn(cropIndex));
    parts(*w).cutBtn->setDown(!down);
    if (maximise)
        invoke(*w, "onButtonMaxClicked");
    else
        invoke(*w, "onButtonMinClicked");
    QCOMPARE(parts(*w).cutBtn->isDown(), down);
}

void TestMainWindowLayout::restoreLeavesCropIndicator()
{
    invoke(*w, "onButtonMaxClicked");
    setCrop(*w, cropIsOn(2));
    parts(*w).cutBtn->setDown(true);
    invoke(*w, "onButtonRestoreClicked");
    QVERIFY(parts(*w).cutBtn->isDown());
}

void TestMainWindowLayout::closeInUploadModeOnlyHides()
{
    CloseCounter counter;
    w->installEventFilter(&counter);
    w->ShowCommitButton(true);
    setCrop(*w, cropIsOn(4));
    parts(*w).m_titleBar->m_pButtonClose->click();
    QCOMPARE(w->cropCounter(), 1);
    QVERIFY(w->isHidden());
    QCOMPARE(counter.closes, 0);
    w->removeEventFilter(&counter);
}

void TestMainWindowLayout::closeOtherwiseCloses()
{
    CloseCounter counter;
    w->installEventFilter(&counter);
    setCrop(*w, cropIsOn(2));
    QVERIFY(w->session().deviceNames().isEmpty());
    parts(*w).m_titleBar->m_pButtonClose->click();
    QCOMPARE(w->cropCounter(), 1);
    QCOMPARE(counter.closes, 1);
    QVERIFY(w->isHidden());
    w->removeEventFilter(&counter);
}

void TestMainWindowLayout::iconsDrawn_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("light");
    const char *const titleIcons[] = {"set", "min", "max", "close", "restore"};
    for (const char *name : titleIcons)
        QTest::newRow(name) << QString(":/img/new/%1.svg").arg(name) << true;
    const char *const toolIcons[] = {"new/left", "new/right", "new/cut", "camera/1t1", "camera/zoomin",
                                     "camera/zoomout", "camera/book_normal"};
    for (const char *name : toolIcons)
        QTest::newRow(name) << QString(":/img/%1.svg").arg(name) << false;
}

// White strokes for the blue bar, dark ones for the light tool strip.
void TestMainWindowLayout::iconsDrawn()
{
    QFETCH(QString, path);
    QFETCH(bool, light);
    const QImage icon = QImage(path).convertToFormat(QImage::Format_ARGB32);
    QVERIFY2(!icon.isNull(), qPrintable(path));
    qint64 drawn = 0;
    qint64 lightness = 0;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            const QColor pixel = icon.pixelColor(x, y);
            if (pixel.alpha() > 128) {
                ++drawn;
                lightness += pixel.lightness();
            }
        }
    }
    QVERIFY2(drawn > 10, qPrintable(path));
    const qint64 meanLightness = lightness / drawn;
    QVERIFY2(light ? meanLightness > 200 : meanLightness < 100, qPrintable(path));
}

// The picture installed for PDF tiles, read the way the tiles read it.
void TestMainWindowLayout::pdfPlaceholderDrawn()
{
    const QString path = QDir::cleanPath(QStringLiteral(QUILLO_TEST_DATA_DIR) + "/../../resources/pdf.svg");
    const QImage placeholder(path);
    QVERIFY2(!placeholder.isNull(), qPrintable(path));
    QCOMPARE(placeholder.size(), QSize(200, 260));
    // A sheet: its middle is drawn, not transparent.
    QVERIFY(placeholder.pixelColor(100, 130).alpha() == 255);
}

QTEST_MAIN(TestMainWindowLayout)
#include "testmainwindowlayout.moc"
