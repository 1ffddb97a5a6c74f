#include "setwindow.h"

#include "titlebar.h"
#include "ui_setwindow.h"

SetWindow::SetWindow(QWidget *parent)
    : QMainWindow(parent), m_bIsSaveData(false), ui(new Ui::SetWindow), m_title(nullptr), winLayout(nullptr),
      mainWidget(nullptr), mainVLayout(nullptr), brightBalanceCKB(nullptr), saveBtn(nullptr),
      ptypeCbbDev(nullptr), ptypeCbbResolution(nullptr), ptypeCbbFormat(nullptr), ptypeTxt(nullptr),
      FileBtn(nullptr), m_nDevIndex(0), m_nWdith(0), m_nHeight(0), m_nFormat(0), m_bIsTextEn(false),
      m_bIsWater(false), m_nFont(20), cred(0), cgreen(0), cblue(0), nFileType(0), m_bIsChangeImageFrame(false)
{
    ui->setupUi(this);
}

SetWindow::~SetWindow()
{
    delete ui;
}

void SetWindow::InitUI() {}
void SetWindow::InitTitleBar() {}
void SetWindow::InitUIData(int, QStringList, QStringList, QStringList) {}
void SetWindow::deviceParUIDev(QString, QString, int, int, QStringList, bool, bool) {}
void SetWindow::deviceParUIFormat(QString, QString, int, int, QStringList, bool, bool) {}
void SetWindow::deviceParUIResolution(QString, QString, int, int, QStringList, bool, bool) {}
void SetWindow::imgEditParUI() {}
void SetWindow::setWidgetBackgroundColor(QWidget *, QColor) {}
void SetWindow::paintEvent(QPaintEvent *) {}
void SetWindow::onButtonCloseClicked() {}
void SetWindow::on_FileButton_clicked() {}
void SetWindow::comboboxCurrentIndexChanged(int) {}
void SetWindow::comboboxCurrentIndexChangedResolution(int) {}
void SetWindow::onBtnSaveClicked() {}
