#include "settings/setwindow.h"

#include "core/previewfit.h"
#include "core/resolutiontext.h"
#include "core/settings.h"
#include "ui_setwindow.h"

#include <QApplication>
#include <QDebug>
#include <QDesktopWidget>
#include <QFileDialog>
#include <QLabel>
#include <QPalette>
#include <QStandardPaths>

#include <cstdio>

namespace {

const char *const kTitleStyle =
    "font-family:SourceHanSansSC-Bold,sourceHanSansSC;font-weight:bold;color:rgba(0,26,46,1);font-size:17px";
const char *const kRowLabelStyle =
    "font-family:SourceHanSansSC-Medium,sourceHanSansSC;font-weight:500;color:rgba(65,77,104,1);font-size:14px";
const char *const kBrowseButtonStyle =
    "QPushButton{background-color:rgb(192,192,192);}QPushButton:hover{background-color:rgb(202,235,216);}"
    "QPushButton:pressed{background-color:rgb(14,135,228);}";
const char *const kSaveButtonStyle =
    "QPushButton{background-color:rgb(192,192,192);border-radius:8px;}QPushButton:hover{background-color:rgb("
    "202,235,216);}QPushButton:pressed{background-color:rgb(14,135,228);padding-left:3px;padding-top:3px;}";

const QColor kPanelGrey(217, 217, 217, 255);

void fillWithPanelGrey(QWidget *widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, kPanelGrey);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QString documentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

} // namespace

SetWindow::SetWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::SetWindow), m_title(nullptr), winLayout(nullptr),
      mainWidget(nullptr), mainVLayout(nullptr), brightBalanceCKB(nullptr), saveBtn(nullptr),
      ptypeCbbDev(nullptr), ptypeCbbResolution(nullptr), ptypeCbbFormat(nullptr), ptypeTxt(nullptr),
      FileBtn(nullptr)
{
    ui->setupUi(this);
    m_bIsSaveData = false;
    m_edit.folder = "";
    m_bIsChangeImageFrame = false;
}

SetWindow::~SetWindow()
{
    delete ui;
}

void SetWindow::paintEvent(QPaintEvent *) {}

void SetWindow::InitUI()
{
    resize(480, 480);
    setWindowFlags(Qt::FramelessWindowHint);
    const QDesktopWidget *desktop = QApplication::desktop();
    move((desktop->width() - width()) / 2, (desktop->height() - height()) / 2);

    winLayout = new QHBoxLayout;
    mainWidget = new QWidget;
    mainVLayout = new QVBoxLayout;
    fillWithPanelGrey(mainWidget);

    mainVLayout->addStretch(0);
    mainWidget->setLayout(mainVLayout);
    winLayout->addWidget(mainWidget, 0);
    ui->centralwidget->setLayout(winLayout);

    InitTitleBar();
}

void SetWindow::InitUIData(int nComboxType, QStringList listDevData, QStringList listResolutionData,
                           QStringList listFormatList)
{
    Q_UNUSED(nComboxType);
    m_stored = m_cfgSet.read();
    deviceParUIDev(QStringLiteral("文件设置"), QStringLiteral("文件路径"), 0, 0, listFormatList, true, true);
    deviceParUIFormat(QString(), QStringLiteral("文件格式"), 0, 1,
                      QStringList{QStringLiteral("JPG"), QStringLiteral("单页PDF")}, true, false);
    deviceParUIDev(QStringLiteral("设备控制"), QStringLiteral("设备"), 0, 1, listDevData, false, false);
    deviceParUIResolution(QString(), QStringLiteral("分辨率"), 0, 1, listResolutionData, true, false);
    imgEditParUI();
}

void SetWindow::setWidgetBackgroundColor(QWidget *parwidget, QColor color)
{
    parwidget->setFixedHeight(48);
    parwidget->setGeometry(0, 0, 300, 100);
    QPalette palette = parwidget->palette();
    palette.setColor(QPalette::Window, color);
    parwidget->setPalette(palette);
    parwidget->setAutoFillBackground(true);
}

void SetWindow::addTitle(const QString &titleName, bool isAddTitleTopMargin)
{
    if (titleName.isEmpty())
        return;
    QLabel *title = new QLabel(titleName);
    title->setStyleSheet(kTitleStyle);
    if (isAddTitleTopMargin) {
        QLabel *margin = new QLabel;
        margin->setFixedHeight(40);
        mainVLayout->addWidget(margin, 0, Qt::AlignTop);
    }
    mainVLayout->addWidget(title, 0, Qt::AlignTop);
}

QHBoxLayout *SetWindow::addParRow(const QString &parName)
{
    QWidget *parWidget = new QWidget;
    setWidgetBackgroundColor(parWidget, kPanelGrey);
    QHBoxLayout *rowLayout = new QHBoxLayout(parWidget);
    QLabel *pnameLbl = new QLabel(parName);
    pnameLbl->setFixedWidth(80);
    pnameLbl->setStyleSheet(kRowLabelStyle);
    rowLayout->addWidget(pnameLbl);
    mainVLayout->addWidget(parWidget, 0, Qt::AlignTop);
    return rowLayout;
}

QComboBox *SetWindow::newChoice(const QStringList &items)
{
    QComboBox *choice = new QComboBox;
    choice->setObjectName(QString::number(0));
    choice->clearEditText();
    for (const QString &item : items)
        choice->addItem(item, QVariant());
    return choice;
}

void SetWindow::deviceParUIDev(QString titleName, QString parName, int parIndex, int parType,
                               QStringList parValue, bool isAddTitleTopMargin, bool isLastPar)
{
    Q_UNUSED(isLastPar);
    addTitle(titleName, isAddTitleTopMargin);
    QHBoxLayout *row = addParRow(parName);

    if (parType == 0) {
        m_edit.folder =
            Settings::offeredFolder(m_stored, QStandardPaths::writableLocation(QStandardPaths::HomeLocation));
        ptypeTxt = new QTextEdit;
        ptypeTxt->setText(m_edit.folder);
        // Only "浏览" chooses the folder: typed text would never be saved.
        ptypeTxt->setReadOnly(true);
        FileBtn = new QPushButton(QStringLiteral("浏览"));
        FileBtn->setStyleSheet(kBrowseButtonStyle);
        row->addWidget(ptypeTxt);
        row->addWidget(FileBtn);
        connect(FileBtn, SIGNAL(clicked()), this, SLOT(on_FileButton_clicked()));
        return;
    }

    ptypeCbbDev = newChoice(parValue);
    ptypeCbbDev->setObjectName(QString::number(parIndex));
    if (m_stored.fileExists && ptypeCbbDev->count() > 0)
        ptypeCbbDev->setCurrentIndex(Settings::presetIndex(Settings::key(Settings::Key::DevName),
                                                           m_stored.text(Settings::Key::DevName),
                                                           ptypeCbbDev->count()));
    row->addWidget(ptypeCbbDev, 1);
    connect(ptypeCbbDev, SIGNAL(currentIndexChanged(int)), this, SLOT(comboboxCurrentIndexChanged(int)));
}

void SetWindow::deviceParUIFormat(QString titleName, QString parName, int parIndex, int parType,
                                  QStringList parValue, bool isAddTitleTopMargin, bool isLastPar)
{
    Q_UNUSED(parType);
    Q_UNUSED(isLastPar);
    addTitle(titleName, isAddTitleTopMargin);
    QHBoxLayout *row = addParRow(parName);

    ptypeCbbFormat = newChoice(parValue);
    ptypeCbbFormat->setObjectName(QString::number(parIndex));
    if (m_stored.fileExists && ptypeCbbFormat->count() > 0) {
        const int index = Settings::fileFormatIndex(m_stored.text(Settings::Key::FileFormat));
        ptypeCbbFormat->setCurrentIndex(index < ptypeCbbFormat->count() ? index : 0);
    }
    row->addWidget(ptypeCbbFormat, 1);
}

void SetWindow::deviceParUIResolution(QString titleName, QString parName, int parIndex, int parType,
                                      QStringList parValue, bool isAddTitleTopMargin, bool isLastPar)
{
    Q_UNUSED(parType);
    Q_UNUSED(isLastPar);
    addTitle(titleName, isAddTitleTopMargin);
    QHBoxLayout *row = addParRow(parName);

    ptypeCbbResolution = newChoice(parValue);
    ptypeCbbResolution->setObjectName(QString::number(parIndex));
    if (m_stored.fileExists) {
        const QString wanted = Settings::resolutionPreset(m_stored.text(Settings::Key::XResolution),
                                                          m_stored.text(Settings::Key::YResolution));
        if (ptypeCbbResolution->findText(wanted) < 0)
            qDebug() << "settings: resolution" << wanted << "is not offered by the device, keeping"
                     << ptypeCbbResolution->currentText();
        ptypeCbbResolution->setCurrentText(wanted);
    } else {
        ptypeCbbResolution->setCurrentIndex(ptypeCbbResolution->count() > 0 ? 0 : -1);
    }
    row->addWidget(ptypeCbbResolution, 1);
    connect(ptypeCbbResolution, SIGNAL(currentIndexChanged(int)), this,
            SLOT(comboboxCurrentIndexChangedResolution(int)));
}

void SetWindow::imgEditParUI()
{
    mainVLayout->addWidget(new QLabel, 0, Qt::AlignTop);
    QLabel *title = new QLabel(QStringLiteral("图像处理"));
    title->setStyleSheet(kTitleStyle);
    mainVLayout->addWidget(title, 0, Qt::AlignTop);

    QHBoxLayout *row = addParRow(QStringLiteral("图像算法"));
    brightBalanceCKB = new QComboBox;
    brightBalanceCKB->addItem(QStringLiteral("无"));
    brightBalanceCKB->addItem(QStringLiteral("文档优化"));
    if (m_stored.fileExists) {
        const int index = Settings::textEnhanceIndex(m_stored.text(Settings::Key::TextEnhance));
        if (index != 0)
            brightBalanceCKB->setCurrentIndex(index);
    }
    row->addWidget(brightBalanceCKB);

    addExtraChoiceRow(QStringLiteral("PDF图像"), {QStringLiteral("原始像素"), QStringLiteral("JPEG（小文件）")},
                      Settings::Key::PdfImages);
    addExtraChoiceRow(QStringLiteral("文字识别"), {QStringLiteral("关闭"), QStringLiteral("中文和英文")},
                      Settings::Key::Ocr);
    // Further rows of our own go here, in order, each one line.

    mainVLayout->addWidget(new QLabel, 0, Qt::AlignTop);

    QWidget *savePanel = new QWidget;
    setWidgetBackgroundColor(savePanel, kPanelGrey);
    QHBoxLayout *saveLayout = new QHBoxLayout(savePanel);
    saveBtn = new QPushButton(QStringLiteral("保存"));
    saveBtn->setFixedWidth(100);
    saveBtn->setStyleSheet(kSaveButtonStyle);
    saveLayout->addWidget(saveBtn, 0, Qt::AlignRight);
    mainVLayout->addWidget(savePanel, 0, Qt::AlignTop);
    connect(saveBtn, SIGNAL(clicked()), this, SLOT(onBtnSaveClicked()));
}

void SetWindow::addExtraChoiceRow(const QString &parName, const QStringList &items, Settings::Key key)
{
    QHBoxLayout *row = addParRow(parName);
    QComboBox *box = newChoice(items);
    if (m_stored.fileExists)
        box->setCurrentIndex(Settings::presetIndex(Settings::key(key), m_stored.text(key), box->count()));
    row->addWidget(box, 1);
    m_extraChoices.append({key, box});
}

QComboBox *SetWindow::extraChoice(Settings::Key key) const
{
    for (const ExtraChoice &choice : m_extraChoices) {
        if (choice.key == key)
            return choice.box;
    }
    return nullptr;
}

// After the twelve keys, so that the file exists.
bool SetWindow::saveExtraChoices(Settings &record)
{
    bool kept = true;
    for (const ExtraChoice &choice : qAsConst(m_extraChoices)) {
        record.setText(choice.key, QString::number(qMax(0, choice.box->currentIndex())));
        kept = m_cfgSet.setExtraValue(choice.key, record) == 0 && kept;
    }
    return kept;
}

void SetWindow::onButtonCloseClicked()
{
    m_bIsSaveData = false;
    close();
    emit closedUnsaved();
}

void SetWindow::on_FileButton_clicked()
{
    const QString chosen = QFileDialog::getExistingDirectory(this, tr("Open File"), documentsFolder(),
                                                             QFileDialog::ShowDirsOnly);
    applyChosenFolder(chosen);
}

void SetWindow::applyChosenFolder(const QString &chosen)
{
    m_edit.folder = chosen;
    if (m_edit.folder.isEmpty())
        m_edit.folder = documentsFolder();
    if (ptypeTxt)
        ptypeTxt->setText(m_edit.folder);
}

void SetWindow::comboboxCurrentIndexChanged(int index)
{
    printf("111111111111111111111111111111111\n");
    fflush(stdout);
    m_bIsChangeImageFrame = true;
    const QStringList resolutions = index >= 0 ? ResolutionText::listForDevice(index) : QStringList();
    if (!ptypeCbbResolution)
        return;
    ptypeCbbResolution->clearEditText();
    ptypeCbbResolution->clear();
    ptypeCbbResolution->addItems(resolutions);
}

void SetWindow::comboboxCurrentIndexChangedResolution(int index)
{
    Q_UNUSED(index);
    printf("222222222222222222222222\n");
    fflush(stdout);
    m_bIsChangeImageFrame = true;
}

void SetWindow::onBtnSaveClicked()
{
    m_bIsSaveData = true;
    Settings &record = m_edit;
    record.device = ptypeCbbDev ? ptypeCbbDev->currentIndex() : 0;
    if (record.device < 0) {
        // No device listed: a stored -1 would name no camera at the next start.
        qDebug() << "settings: no device chosen, storing device 0";
        record.device = 0;
    }
    // Text that is no resolution (an empty list) is stored as 0 by 0.
    record.width = 0;
    record.height = 0;
    if (ptypeCbbResolution)
        parseResolution(ptypeCbbResolution->currentText(), &record.width, &record.height);
    record.cameraFormat = 0;
    record.fileFormat = ptypeCbbFormat ? ptypeCbbFormat->currentIndex() : 0;
    printf("SetWindow::onBtnSaveClicked width is %d,height is %d\n", record.width, record.height);
    fflush(stdout);
    record.textEnhance = brightBalanceCKB && brightBalanceCKB->currentIndex() != 0;
    record.water = false;
    qDebug("value is %d %d,nFileType is %d", record.water, record.textEnhance, record.fileFormat);
    QString failure;
    m_cfgSet.write(record, &failure);
    if (!saveExtraChoices(record) && failure.isEmpty())
        failure = CCfgControl::settingsFilePath() + QStringLiteral(": the write failed");

    close();
    // The choices hold for this run even when the file keeps the old ones.
    emit settingsSaved(record, m_bIsChangeImageFrame);
    if (!failure.isEmpty()) {
        const QString text = tr("设置未能保存：%1").arg(failure);
        qDebug("%s", qUtf8Printable(text));
        showSaveFailure(text);
    }
}
