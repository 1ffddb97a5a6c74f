#include "ui/cammainwindow.h"

#include "ui/picitemdata.h"
#include "settings/setwindow.h"
#include "ui/titlebar.h"
#include "ui/errorbox.h"
#include "ui_cammainwindow.h"
#include "core/loginname.h"
#include "settings/ccfgcontrol.h"

#include <QDebug>
#include <QTextCodec>

CamMainWindow *g_Camself = nullptr;

static void initQuilloResources()
{
    Q_INIT_RESOURCE(quillo);
}

CamMainWindow::CamMainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::CamMainWindow), m_set(nullptr), m_titleBar(nullptr), nRotate(0.0),
      m_nCropIndex(1), nRightRotateIndex(0), nLeftRotateIndex(0), m_bIsPressSet(false), m_bIsSet(false),
      nVideoScaleSize(1.0), m_bIsShowCommit(false)
{
    initQuilloResources();
    qRegisterMetaType<PicItemData>("PicItemData");

    ui->setupUi(this);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF8"));
    g_Camself = this;

    initUI();
    addMaskWidgetUI();
    initConnection();
    initTileReorder();
    initHandsFree();
    InitDataP();

    // Read anew by every reader, which then takes the defaults: said once.
    const QString unreadable = CCfgControl::unreadableReason();
    if (!unreadable.isEmpty()) {
        const QString text = tr("设置文件无法读取：%1").arg(unreadable);
        qDebug("%s", qUtf8Printable(text));
        showCameraErrorBox(text);
    }

    Cam_Init();
    const int ret = InitSDK();
    if (ret == CaptureSession::NoCamera) {
        showCameraErrorBox(tr("请正确连接扫描仪！"));
        return;
    }
    if (ret == CaptureSession::NoAccess) {
        const QString text = tr("请检查USB权限，请执行 sudo usermod -aG video %1 并重新登录").arg(currentLoginName());
        qDebug("%s", qUtf8Printable(text));
        showCameraErrorBox(text);
        return;
    }

    // The crop counter decides every scan's crop: it must say "off" where
    // the button and the library do, or the first scan comes out cropped.
    if (!m_session.isTarvoDevice())
        m_nCropIndex = 2;
    cutBtn->setDown(m_session.isTarvoDevice());
    m_session.setAutoCrop(m_session.isTarvoDevice());
    ShowCommitButton(false);
    PreviewImage();
    if (m_session.inUseElsewhere())
        showCameraErrorBox(tr("扫描仪正被其他程序使用，请关闭后重试！"));
}

CamMainWindow::~CamMainWindow()
{
    if (g_Camself == this)
        g_Camself = nullptr;
    m_nCropIndex = 1;
    // The list's model has no parent; the proxy and the view go with us.
    listViewProxyModel->setSourceModel(nullptr);
    delete listViewModel;
    delete ui;
}

void CamMainWindow::showCameraErrorBox(const QString &text)
{
    ErrorBox::showBlocking(text);
}

void CamMainWindow::showErrorMessage(const QString &text)
{
    m_errors.show(this, text);
}

void CamMainWindow::InitDataP()
{
    nRotate = 0.0;
    m_nCropIndex = 1;
    nRightRotateIndex = 0;
    nLeftRotateIndex = 0;
    m_bIsPressSet = false;
    m_bIsSet = false;
    nVideoScaleSize = 1.0;
    m_bIsShowCommit = false;
}

void CamMainWindow::UIIsShow(int nType, bool bIsShow)
{
    QPushButton *const buttons[] = {scanBtn,    cutBtn,    rotateLeftBtn, rotateRightBtn,
                                    oneTOneBtn, zoomInBtn, zoomOutBtn};
    for (QPushButton *button : buttons) {
        if (nType == 1)
            button->setEnabled(bIsShow);
        else if (nType == 2)
            button->setVisible(bIsShow);
    }
}

void CamMainWindow::ShowCommitButton(bool bIsShow)
{
    m_bIsShowCommit = bIsShow;
    saveBtn->setVisible(bIsShow);
}

// cutBtn's pressed-down look is the crop indicator; other clicks can reset
// it, so every command that may have done so sets it again from the counter.
void CamMainWindow::showCropIndicator()
{
    cutBtn->setDown(cropIsOn(m_nCropIndex));
}
