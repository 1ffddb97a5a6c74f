#include "ui/cammainwindow.h"

#include "ui/pagelistfeed.h"
#include "ui/picitemdelegate.h"
#include "ui/buttonstyle.h"
#include "ui/titlebar.h"
#include "ui/windowmetrics.h"
#include "ui_cammainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDesktopWidget>
#include <QGraphicsDropShadowEffect>
#include <QPalette>


void CamMainWindow::initUI()
{
    resize(windowmetrics::kWindowWidth, windowmetrics::kWindowHeight);
    setMinimumSize(windowmetrics::kWindowWidth, windowmetrics::kWindowHeight);
    setWindowIcon(QIcon(":/img/new/logo.svg"));
    setWindowFlags(Qt::FramelessWindowHint);
    const QDesktopWidget *desktop = QApplication::desktop();
    move((desktop->width() - width()) / 2, (desktop->height() - height()) / 2);
    setAutoFillBackground(true);
    setPalette(QPalette(QColor(217, 217, 217, 255)));

    m_titleBar = new TitleBar(this);
    m_titleBar->setTitleIcon(":/img/new/logo.svg", QSize(32, 32));
    m_titleBar->setTitleContent("Quillo", 9);
    m_titleBar->setTitleWidth(width());
    m_titleBar->setButtonType(MIN_MAX_BUTTON);
    m_titleBar->setBackgroundColor(54, 146, 238, false);
    ButtonStyle::title(m_titleBar->m_pButtonSet, ":/img/new/set.svg", tr("设置"), ButtonStyle::kTitleButtonSheet);
    ButtonStyle::title(m_titleBar->m_pButtonMin, ":/img/new/min.svg", tr("最小化"), ButtonStyle::kTitleButtonSheet);
    ButtonStyle::title(m_titleBar->m_pButtonMax, ":/img/new/max.svg", tr("最大化"), ButtonStyle::kTitleButtonSheet);
    ButtonStyle::title(m_titleBar->m_pButtonClose, ":/img/new/close.svg", tr("关闭"), ButtonStyle::kTitleCloseSheet);
    ButtonStyle::title(m_titleBar->m_pButtonRestore, ":/img/new/restore.svg", tr("还原"), ButtonStyle::kTitleButtonSheet);

    winVLayout = new QVBoxLayout;
    mainVLayout = new QHBoxLayout;
    leftVLayout = new QVBoxLayout;
    videoHLayout = new QHBoxLayout;
    leftBottomVLayout = new QVBoxLayout;
    rightVLayout = new QVBoxLayout;
    rightTopVLayout = new QVBoxLayout;
    rightBottomVLayout = new QVBoxLayout;
    toolBarHLayout = new QHBoxLayout;
    mainWidget = new QWidget;
    leftWidget = new QWidget;
    videoWidget = new QWidget;
    leftBottomWidget = new QWidget;
    rightWidget = new QWidget;
    rightTopWidget = new QWidget;
    rightBottomWidget = new QWidget;
    toolBarWidget = new QWidget;

    // The four hidden buttons stay wired and in the strip; nothing shows them.
    scanBtn = new QPushButton;
    oneTOneBtn = new QPushButton;
    oneTOneBtn->setVisible(false);
    zoomInBtn = new QPushButton;
    zoomInBtn->setVisible(false);
    zoomOutBtn = new QPushButton;
    zoomOutBtn->setVisible(false);
    rotateLeftBtn = new QPushButton;
    rotateRightBtn = new QPushButton;
    cutBtn = new QPushButton;
    bookBtn = new QPushButton;
    bookBtn->setVisible(false);
    imgListView = new QListView;
    saveBtn = new QPushButton;
    // Upload mode starts off; ShowCommitButton shows the button when it is on.
    saveBtn->setVisible(false);
    MergePDFBtn = new QPushButton;

    ButtonStyle::tool(oneTOneBtn, ":/img/camera/1t1.svg", tr("1:1显示"), ButtonStyle::kToolWhiteSheet);
    ButtonStyle::tool(zoomInBtn, ":/img/camera/zoomin.svg", tr("放大"), ButtonStyle::kToolWhiteSheet);
    ButtonStyle::tool(zoomOutBtn, ":/img/camera/zoomout.svg", tr("缩小"), ButtonStyle::kToolGreySheet);
    ButtonStyle::tool(rotateLeftBtn, ":/img/new/left.svg", tr("左旋"), ButtonStyle::kToolSheet);
    ButtonStyle::tool(rotateRightBtn, ":/img/new/right.svg", tr("右旋"), ButtonStyle::kToolSheet);
    // Crop mode shows as a pressed-down look (setDown), not as a checked state.
    ButtonStyle::tool(cutBtn, ":/img/new/cut.svg", tr("裁切"), ButtonStyle::kToolSheet);
    ButtonStyle::tool(bookBtn, ":/img/camera/book_normal.svg", tr("拍书模式"), ButtonStyle::kToolGreySheet);

    toolBarWidget->setFixedSize(300, 70);
    ButtonStyle::text(scanBtn, tr("扫描"), QSize(windowmetrics::kScanButtonWidth, windowmetrics::kScanButtonHeight));
    scanBtn->setToolTip(tr("扫描（空格、回车、PageDown）"));
    ButtonStyle::text(saveBtn, tr("上传"), QSize(165, 36));
    ButtonStyle::text(MergePDFBtn, tr("合并pdf"),
                      QSize(windowmetrics::kMergeButtonWidth, windowmetrics::kMergeButtonHeight));

    rightWidget->setFixedWidth(windowmetrics::kListColumnWidth);
    const QPalette rightPalette = rightWidget->palette();
    rightWidget->setAutoFillBackground(true);
    rightWidget->setPalette(rightPalette);
    // The list starts below the title bar, which lies over the window's top.
    rightWidget->setContentsMargins(0, 50, 0, 0);

    QPalette bandPalette = leftBottomWidget->palette();
    bandPalette.setColor(QPalette::Window, QColor(217, 217, 217, 255));
    leftBottomWidget->setAutoFillBackground(true);
    leftBottomWidget->setPalette(bandPalette);
    leftBottomWidget->setFixedHeight(windowmetrics::kBottomBandHeight);

    toolBarWidget->setStyleSheet("background:rgba(247,247,247,255);border-radius:18px;");
    QGraphicsDropShadowEffect *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setOffset(5.0, 5.0);
    shadow->setColor(QColor(0, 0, 0, 25));
    shadow->setBlurRadius(18.0);
    toolBarWidget->setGraphicsEffect(shadow);

    // 164-wide tiles in a 165-wide view: a single column that scrolls.
    imgListView->setSelectionMode(QAbstractItemView::SingleSelection);
    imgListView->setViewMode(QListView::IconMode);
    imgListView->setResizeMode(QListView::Adjust);
    imgListView->setStyleSheet("border:none;background:rgb(237,237,237,255)");
    imgListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listViewModel = new QStandardItemModel;
    imgListView->setItemDelegate(new PicItemDelegate(this));
    listViewProxyModel = new QSortFilterProxyModel(imgListView);
    listViewProxyModel->setSourceModel(listViewModel);
    new PageListFeed(m_session.pages(), listViewModel);
    imgListView->setModel(listViewProxyModel);
    imgListView->setContextMenuPolicy(Qt::CustomContextMenu);
    imgListView->setFixedWidth(165);

    listViewMenu = new QMenu(imgListView);
    QAction *deleteAction = listViewMenu->addAction(tr("删除"));
    connect(deleteAction, SIGNAL(triggered()), this, SLOT(slotTableViewMenuDelFile()));

    toolBarHLayout->addWidget(oneTOneBtn);
    toolBarHLayout->addWidget(zoomInBtn);
    toolBarHLayout->addWidget(zoomOutBtn);
    toolBarHLayout->addStretch();
    toolBarHLayout->addWidget(rotateLeftBtn);
    toolBarHLayout->addWidget(rotateRightBtn);
    toolBarHLayout->addStretch();
    toolBarHLayout->addWidget(cutBtn);
    toolBarHLayout->addWidget(bookBtn);
    leftBottomVLayout->addWidget(toolBarWidget, 0, Qt::AlignBottom | Qt::AlignHCenter);
    leftBottomVLayout->addWidget(scanBtn, 0, Qt::AlignBottom | Qt::AlignHCenter);
    rightTopVLayout->addWidget(imgListView, 0, Qt::AlignRight);
    rightBottomVLayout->addWidget(MergePDFBtn, 0, Qt::AlignRight | Qt::AlignHCenter);
    rightBottomVLayout->addWidget(saveBtn, 0, Qt::AlignRight);
    leftVLayout->addWidget(videoWidget);
    leftVLayout->addWidget(leftBottomWidget);
    rightVLayout->addWidget(rightTopWidget);
    rightVLayout->addWidget(rightBottomWidget, 0, Qt::AlignBottom | Qt::AlignRight);
    mainVLayout->addWidget(leftWidget);
    mainVLayout->addWidget(rightWidget);
    winVLayout->addWidget(mainWidget);

    toolBarWidget->setLayout(toolBarHLayout);
    leftWidget->setLayout(leftVLayout);
    videoWidget->setLayout(videoHLayout);
    leftBottomWidget->setLayout(leftBottomVLayout);
    rightWidget->setLayout(rightVLayout);
    rightTopWidget->setLayout(rightTopVLayout);
    rightBottomWidget->setLayout(rightBottomVLayout);
    mainWidget->setLayout(mainVLayout);
    ui->centralwidget->setLayout(winVLayout);

    winVLayout->setAlignment(Qt::AlignBottom);
    leftVLayout->setMargin(0);
    leftBottomVLayout->setSpacing(17);
    rightVLayout->setMargin(0);
    rightVLayout->setSpacing(0);
    mainVLayout->setMargin(0);
    mainVLayout->setSpacing(0);
    winVLayout->setMargin(0);
    winVLayout->setSpacing(0);
}

void CamMainWindow::addMaskWidgetUI()
{
    maskWidget = new QWidget(this);
    maskWidget->setStyleSheet("QWidget{background-color:rgba(0,0,0,0.5);}");
    // Set once: the mask keeps covering the top-left 780 x 480 after a maximise.
    maskWidget->setGeometry(0, 0, width(), height());
    QVBoxLayout *maskLayout = new QVBoxLayout;
    maskLabel = new QLabel;
    maskLabel->setText(tr("处理中，请稍等..."));
    maskLabel->setStyleSheet("color:white;background:transparent;");
    maskLayout->addStretch();
    maskLayout->addWidget(maskLabel, 0, Qt::AlignHCenter);
    maskLayout->addStretch();
    maskWidget->setLayout(maskLayout);
    maskWidget->hide();
}

void CamMainWindow::initConnection()
{
    connect(m_titleBar, SIGNAL(signalButtonMinClicked()), this, SLOT(onButtonMinClicked()));
    connect(m_titleBar, SIGNAL(signalButtonRestoreClicked()), this, SLOT(onButtonRestoreClicked()));
    connect(m_titleBar, SIGNAL(signalButtonMaxClicked()), this, SLOT(onButtonMaxClicked()));
    connect(m_titleBar, SIGNAL(signalButtonCloseClicked()), this, SLOT(onButtonCloseClicked()));
    connect(m_titleBar, SIGNAL(signalButtonSetClicked()), this, SLOT(onButtonSetClicked()));
    connect(scanBtn, SIGNAL(clicked()), this, SLOT(slotScanBtnClicked()));
    connect(oneTOneBtn, SIGNAL(clicked()), this, SLOT(slotOneTOneBtnClicked()));
    connect(zoomInBtn, SIGNAL(clicked()), this, SLOT(slotZoomInBtnClicked()));
    connect(zoomOutBtn, SIGNAL(clicked()), this, SLOT(slotZoomOutBtnClicked()));
    connect(rotateLeftBtn, SIGNAL(clicked()), this, SLOT(slotRotateLeftBtnClicked()));
    connect(rotateRightBtn, SIGNAL(clicked()), this, SLOT(slotRotateRightBtnClicked()));
    connect(cutBtn, SIGNAL(clicked()), this, SLOT(slotCutBtnClicked()));
    connect(saveBtn, SIGNAL(clicked()), this, SLOT(slotSaveBtnClicked()));
    connect(MergePDFBtn, SIGNAL(clicked()), this, SLOT(slotMergeBtnCliecked()));
    connect(bookBtn, SIGNAL(clicked()), this, SLOT(slotbookBtnClicked()));
    connect(imgListView, SIGNAL(doubleClicked(const QModelIndex)), this,
            SLOT(slotImgListViewPressed(const QModelIndex)));
    connect(imgListView, SIGNAL(customContextMenuRequested(QPoint)), this, SLOT(slotListViewContextMenu(QPoint)));

    connect(&m_session, &CaptureSession::frameReady, this, &CamMainWindow::onFrameArrived);
    connect(&m_session, &CaptureSession::pictureLost, this, [this] {
        m_nDrawnWidth = -1;
        update();
    });
    // The newest tile comes into view; the pages' feed made it already.
    connect(&m_session.pages(), &StoredPages::pageAdded, imgListView, &QListView::scrollToBottom);
    connect(&m_session.pages(), &StoredPages::pageInserted, imgListView, &QListView::scrollToBottom);
    connect(&m_session, &CaptureSession::saveFinished, this, &CamMainWindow::onSaveFinished);
    connect(&m_session, SIGNAL(savesEnded()), this, SLOT(slotSaveImgThreadOver()));
    connect(&m_session.recognition(), &PageRecognition::languagesMissing, this, [this] {
        showErrorMessage(tr("文字识别不可用：缺少语言数据（tesseract-ocr-chi-sim、tesseract-ocr-eng）"));
    });

    // Named after their members, so that tests and tools find them.
    const std::pair<QObject *, const char *> named[] = {
        {scanBtn, "scanBtn"},         {oneTOneBtn, "oneTOneBtn"},       {zoomInBtn, "zoomInBtn"},
        {zoomOutBtn, "zoomOutBtn"},   {rotateLeftBtn, "rotateLeftBtn"}, {rotateRightBtn, "rotateRightBtn"},
        {cutBtn, "cutBtn"},           {bookBtn, "bookBtn"},             {saveBtn, "saveBtn"},
        {MergePDFBtn, "MergePDFBtn"}, {imgListView, "imgListView"},     {listViewMenu, "listViewMenu"},
        {maskWidget, "maskWidget"},   {maskLabel, "maskLabel"},         {videoWidget, "videoWidget"},
        {toolBarWidget, "toolBarWidget"}, {leftBottomWidget, "leftBottomWidget"}, {rightWidget, "rightWidget"},
        {m_titleBar, "m_titleBar"},   {mainWidget, "mainWidget"},       {leftWidget, "leftWidget"},
        {rightTopWidget, "rightTopWidget"}, {rightBottomWidget, "rightBottomWidget"}};
    for (const auto &entry : named)
        entry.first->setObjectName(entry.second);
}
