#include "cammainwindow.h"

#include "getscannerinfothread.h"
#include "orvixext.h"
#include "picitemdata.h"
#include "setwindow.h"
#include "titlebar.h"
#include "ui_cammainwindow.h"

#include <QDebug>
#include <QMessageBox>
#include <QTextCodec>

CamMainWindow *g_Camself = nullptr;

static void initQuilloResources()
{
    Q_INIT_RESOURCE(quillo);
}

CamMainWindow::CamMainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::CamMainWindow), getScannerInfoThread(nullptr),
      _getScannerInfoThread(nullptr), m_set(nullptr), m_titleBar(nullptr), m_nMaxWidth(0), m_nMaxHeight(0),
      m_nCurDev(-1), m_nCurFormat(0), bIsConnect(true), nRotate(0.0), m_nCropIndex(1), nRightRotateIndex(0),
      nLeftRotateIndex(0), bIsTarvoDev(false), m_bIsPressSet(false), m_bIsSet(false), nVideoScaleSize(1.0),
      m_bIsShowCommit(false), winVLayout(nullptr), mainWidget(nullptr), mainVLayout(nullptr),
      leftWidget(nullptr), leftVLayout(nullptr), videoWidget(nullptr), videoHLayout(nullptr),
      leftBottomWidget(nullptr), leftBottomVLayout(nullptr), toolBarWidget(nullptr), toolBarHLayout(nullptr),
      rightWidget(nullptr), rightVLayout(nullptr), rightTopWidget(nullptr), rightTopVLayout(nullptr),
      rightBottomWidget(nullptr), rightBottomVLayout(nullptr), scanBtn(nullptr), oneTOneBtn(nullptr),
      zoomInBtn(nullptr), zoomOutBtn(nullptr), rotateLeftBtn(nullptr), rotateRightBtn(nullptr), cutBtn(nullptr),
      bookBtn(nullptr), saveBtn(nullptr), MergePDFBtn(nullptr), imgListView(nullptr), listViewModel(nullptr),
      listViewProxyModel(nullptr), listViewMenu(nullptr), maskWidget(nullptr), maskLabel(nullptr)
{
    initQuilloResources();
    qRegisterMetaType<PicItemData>("PicItemData");

    ui->setupUi(this);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF8"));
    g_Camself = this;

    initUI();
    addMaskWidgetUI();
    initConnection();
    initHandsFree();
    InitDataP();

    Cam_Init();
    const int ret = InitSDK();
    if (ret == 1) {
        showCameraErrorBox(tr("请正确连接扫描仪！"));
        return;
    }
    if (ret == 3) {
        const QString text = tr("请检查USB权限，请执行 sudo chmod 777 -R /dev/bus/usb");
        qDebug("%s", qUtf8Printable(text));
        showCameraErrorBox(text);
        return;
    }

    bIsTarvoDev = Orvix_IsTarvoDevice(m_nCurDev) == 1;
    // The crop counter decides every scan's crop: it must say "off" where
    // the button and the library do, or the first scan comes out cropped.
    if (!bIsTarvoDev)
        m_nCropIndex = 2;
    if (cutBtn)
        cutBtn->setDown(bIsTarvoDev);
    Cam_SetAutoCrop(bIsTarvoDev);
    ShowCommitButton(false);
    PreviewImage();
}

CamMainWindow::~CamMainWindow()
{
    // The frame callback reaches this window through g_Camself; a window
    // closed by other means than its close button must not leave it
    // dangling while the camera still delivers. Stopping waits for a
    // running callback and is harmless when nothing captures.
    if (g_Camself == this) {
        // A running save still needs the camera for its still.
        m_saveThreads.waitForAll();
        Cam_CameraCaptureStop();
        g_Camself = nullptr;
    }
    m_nCropIndex = 1;
    // The list's model has no parent; the proxy and the view go with us.
    if (listViewProxyModel)
        listViewProxyModel->setSourceModel(nullptr);
    delete listViewModel;
    listViewModel = nullptr;
    delete ui;
    ui = nullptr;
}

static void dressErrorBox(QMessageBox &box, const QString &text)
{
    box.setStyleSheet("font:12pt '宋体'");
    box.setWindowTitle(CamMainWindow::tr("错误"));
    box.setText(text);
    box.setIcon(QMessageBox::Critical);
    box.addButton(CamMainWindow::tr("确定"), QMessageBox::ActionRole);
}

void CamMainWindow::showCameraErrorBox(const QString &text)
{
    QMessageBox box;
    dressErrorBox(box, text);
    box.exec();
}

void CamMainWindow::showErrorMessage(const QString &text)
{
    qDebug("%s", qUtf8Printable(text));
    if (m_errorBox && m_errorBox->isVisible()) {
        m_errorBox->setText(m_errorBox->text() + QLatin1Char('\n') + text);
        return;
    }
    auto *box = new QMessageBox(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    dressErrorBox(*box, text);
    box->setWindowModality(Qt::ApplicationModal);
    m_errorBox = box;
    box->show();
}

void CamMainWindow::InitDataP()
{
    getScannerInfoThread = nullptr;
    _getScannerInfoThread = nullptr;
    m_nCurDev = -1;
    m_nCurFormat = 0;
    bIsConnect = true;
    nRotate = 0.0;
    m_nCropIndex = 1;
    nRightRotateIndex = 0;
    nLeftRotateIndex = 0;
    bIsTarvoDev = false;
    listViewImagePath.clear();
    listViewImagePDFPath.clear();
    m_pdfPath = "";
    m_bIsPressSet = false;
    m_bIsSet = false;
    FilePath = "";
    nVideoScaleSize = 1.0;
    m_bIsShowCommit = false;
}

void CamMainWindow::UIIsShow(int nType, bool bIsShow)
{
    QPushButton *const buttons[] = {scanBtn,    cutBtn,    rotateLeftBtn, rotateRightBtn,
                                    oneTOneBtn, zoomInBtn, zoomOutBtn};
    for (QPushButton *button : buttons) {
        if (!button)
            continue;
        if (nType == 1)
            button->setEnabled(bIsShow);
        else if (nType == 2)
            button->setVisible(bIsShow);
    }
}

void CamMainWindow::ShowCommitButton(bool bIsShow)
{
    m_bIsShowCommit = bIsShow;
    if (saveBtn)
        saveBtn->setVisible(bIsShow);
}
