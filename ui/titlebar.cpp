#include "ui/titlebar.h"

#include "core/titleroll.h"
#include "ui/windowmetrics.h"

#include <QFile>
#include <QFont>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPaintEvent>
#include <QPalette>
#include <QPixmap>

namespace {
// Every title bar of the process scrolls from the same position.
int s_titleRollPos = 0;
}

TitleBar::TitleBar(QWidget *parent)
    : QWidget(parent), m_pIcon(nullptr), m_pTitleContent(nullptr), m_pButtonMin(nullptr),
      m_pButtonRestore(nullptr), m_pButtonMax(nullptr), m_pButtonClose(nullptr), m_pButtonSet(nullptr),
      m_colorR(153), m_colorG(153), m_colorB(153), m_restorePos(0, 0), m_restoreSize(), m_isPressed(false),
      m_startMovePos(0, 0), m_buttonType(MIN_MAX_BUTTON), m_windowBorderWidth(0), m_isTransparent(true)
{
    initControl();
    initConnections();
}

TitleBar::~TitleBar() = default;

void TitleBar::initControl()
{
    m_pIcon = new QLabel;
    m_pTitleContent = new QLabel;
    m_pButtonMin = new QPushButton;
    m_pButtonRestore = new QPushButton;
    m_pButtonMax = new QPushButton;
    m_pButtonClose = new QPushButton;
    m_pButtonSet = new QPushButton;

    m_pButtonClose->setFixedSize(QSize(windowmetrics::kTitleButtonSize, windowmetrics::kTitleButtonSize));
    m_pTitleContent->setObjectName("TitleContent");

    QHBoxLayout *titleLayout = new QHBoxLayout(this);
    titleLayout->setObjectName("titleLayout");
    const int margin = windowmetrics::kTitleBarMargin;
    titleLayout->setContentsMargins(margin, margin, margin, margin);
    m_pIcon->resize(32, 32);
    titleLayout->addWidget(m_pIcon, 0, Qt::AlignCenter | Qt::AlignLeft);
    titleLayout->addWidget(m_pTitleContent, 1, Qt::AlignCenter | Qt::AlignLeft);
    titleLayout->addStretch();
    titleLayout->addWidget(m_pButtonSet);
    titleLayout->addWidget(m_pButtonMin);
    titleLayout->addWidget(m_pButtonRestore);
    titleLayout->addWidget(m_pButtonMax);
    titleLayout->addWidget(m_pButtonClose, 0, Qt::AlignCenter);

    setFixedHeight(50);
}

void TitleBar::initConnections()
{
    connect(m_pButtonMin, SIGNAL(clicked()), this, SLOT(onButtonMinClicked()));
    connect(m_pButtonRestore, SIGNAL(clicked()), this, SLOT(onButtonRestoreClicked()));
    connect(m_pButtonMax, SIGNAL(clicked()), this, SLOT(onButtonMaxClicked()));
    connect(m_pButtonClose, SIGNAL(clicked()), this, SLOT(onButtonCloseClicked()));
    connect(m_pButtonSet, SIGNAL(clicked()), this, SLOT(onButtonSetClicked()));
}

void TitleBar::setBackgroundColor(int r, int g, int b, bool isTransparent)
{
    m_colorR = r;
    m_colorG = g;
    m_colorB = b;
    m_isTransparent = isTransparent;
    update();
}

void TitleBar::setTitleIcon(QString filePath, QSize IconSize)
{
    const QPixmap titleIcon(filePath);
    // An unreadable logo leaves the place empty.
    if (titleIcon.isNull()) {
        m_pIcon->setPixmap(QPixmap());
        return;
    }
    m_pIcon->setPixmap(titleIcon.scaled(IconSize, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

void TitleBar::setTitleContent(QString titleContent, int titleFontSize)
{
    QFont font("Microsoft YaHei", 20, QFont::Bold, false);
    font.setPointSize(titleFontSize);
    m_pTitleContent->setFont(font);
    m_pTitleContent->setText(titleContent);
    QPalette palette;
    palette.setColor(QPalette::WindowText, Qt::white);
    m_pTitleContent->setPalette(palette);
    m_titleContent = titleContent;
}

void TitleBar::setTitleWidth(int width)
{
    setFixedWidth(width);
}

void TitleBar::setButtonType(TitleButtonType buttonType)
{
    m_buttonType = buttonType;
    switch (buttonType) {
    case MIN_BUTTON:
        m_pButtonRestore->setVisible(false);
        m_pButtonMax->setVisible(false);
        break;
    case MIN_MAX_BUTTON:
        m_pButtonRestore->setVisible(false);
        break;
    case ONLY_CLOSE_BUTTON:
        m_pButtonMin->setVisible(false);
        m_pButtonRestore->setVisible(false);
        m_pButtonMax->setVisible(false);
        m_pButtonSet->setVisible(false);
        break;
    }
}

void TitleBar::setTitleRoll()
{
    connect(&m_titleRollTimer, SIGNAL(timeout()), this, SLOT(onRollTitle()));
    m_titleRollTimer.start(200);
}

void TitleBar::setWindowBorderWidth(int borderWidth)
{
    m_windowBorderWidth = borderWidth;
}

void TitleBar::saveRestoreInfo(const QPoint point, const QSize size)
{
    m_restorePos = point;
    m_restoreSize = size;
}

void TitleBar::getRestoreInfo(QPoint &point, QSize &size)
{
    point = m_restorePos;
    size = m_restoreSize;
}

void TitleBar::loadStyleSheet(const QString &sheetName)
{
    QFile file(sheetName);
    if (!file.open(QFile::ReadOnly))
        return;
    QString styleSheet = this->styleSheet();
    styleSheet += QLatin1String(file.readAll());
    setStyleSheet(styleSheet);
}

// The maximise button's own hidden flag records the window state: shown means
// normal. Read the flag itself so the record holds before the window is shown.
bool TitleBar::isShowingMaximise() const
{
    return !m_pButtonMax->isHidden();
}

void TitleBar::onButtonMinClicked()
{
    emit signalButtonMinClicked();
}

void TitleBar::onButtonRestoreClicked()
{
    m_pButtonRestore->setVisible(false);
    m_pButtonMax->setVisible(true);
    emit signalButtonRestoreClicked();
}

void TitleBar::onButtonMaxClicked()
{
    m_pButtonMax->setVisible(false);
    m_pButtonRestore->setVisible(true);
    emit signalButtonMaxClicked();
}

void TitleBar::onButtonCloseClicked()
{
    emit signalButtonCloseClicked();
}

void TitleBar::onButtonSetClicked()
{
    emit signalButtonSetClicked();
}

void TitleBar::onRollTitle()
{
    const TitleRollStep step = titleRollStep(m_titleContent, s_titleRollPos);
    m_pTitleContent->setText(step.shown);
    s_titleRollPos = step.nextPos;
}

void TitleBar::paintEvent(QPaintEvent *event)
{
    if (!m_isTransparent) {
        QPainter painter(this);
        QPainterPath pathBack;
        pathBack.setFillRule(Qt::WindingFill);
        pathBack.addRoundedRect(QRect(0, 0, width(), height()), 0.0, 0.0, Qt::AbsoluteSize);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.fillPath(pathBack, QBrush(QColor(m_colorR, m_colorG, m_colorB, 255)));
    }

    // Follow the window's width after a maximise or restore.
    if (QWidget *window = parentWidget()) {
        const int wantedWidth = window->width() - m_windowBorderWidth;
        if (width() != wantedWidth)
            setFixedWidth(wantedWidth);
    }

    QWidget::paintEvent(event);
}

void TitleBar::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_buttonType == MIN_MAX_BUTTON) {
        if (isShowingMaximise())
            onButtonMaxClicked();
        else
            onButtonRestoreClicked();
    }
    QWidget::mouseDoubleClickEvent(event);
}

void TitleBar::mousePressEvent(QMouseEvent *event)
{
    // A maximised window stays where it is.
    const bool mayDrag = m_buttonType != MIN_MAX_BUTTON || isShowingMaximise();
    if (mayDrag) {
        m_isPressed = true;
        m_startMovePos = event->globalPos();
    }
    QWidget::mousePressEvent(event);
}

void TitleBar::mouseMoveEvent(QMouseEvent *event)
{
    if (m_isPressed) {
        const QPoint movePoint = event->globalPos() - m_startMovePos;
        m_startMovePos = event->globalPos();
        if (QWidget *window = parentWidget()) {
            const QPoint widgetPos = window->pos();
            window->move(widgetPos.x() + movePoint.x(), widgetPos.y() + movePoint.y());
        }
    }
    QWidget::mouseMoveEvent(event);
}

void TitleBar::mouseReleaseEvent(QMouseEvent *event)
{
    m_isPressed = false;
    QWidget::mouseReleaseEvent(event);
}
