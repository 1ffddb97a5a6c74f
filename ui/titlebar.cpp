#include "titlebar.h"

#include <QMouseEvent>
#include <QPaintEvent>

TitleBar::TitleBar(QWidget *parent)
    : QWidget(parent), m_pIcon(nullptr), m_pTitleContent(nullptr), m_pButtonMin(new QPushButton(this)),
      m_pButtonRestore(new QPushButton(this)), m_pButtonMax(new QPushButton(this)),
      m_pButtonClose(new QPushButton(this)), m_pButtonSet(new QPushButton(this)), m_colorR(153), m_colorG(153),
      m_colorB(153), m_isPressed(false), m_buttonType(MIN_MAX_BUTTON), m_windowBorderWidth(0),
      m_isTransparent(true)
{
    m_pIcon = new QLabel(this);
    m_pTitleContent = new QLabel(this);
}

TitleBar::~TitleBar() = default;

void TitleBar::setBackgroundColor(int, int, int, bool) {}
void TitleBar::setTitleIcon(QString, QSize) {}
void TitleBar::setTitleContent(QString, int) {}
void TitleBar::setTitleWidth(int) {}
void TitleBar::setButtonType(TitleButtonType) {}
void TitleBar::setTitleRoll() {}
void TitleBar::setWindowBorderWidth(int) {}
void TitleBar::saveRestoreInfo(const QPoint, const QSize) {}
void TitleBar::getRestoreInfo(QPoint &, QSize &) {}
void TitleBar::loadStyleSheet(const QString &) {}
void TitleBar::onButtonMinClicked() {}
void TitleBar::onButtonRestoreClicked() {}
void TitleBar::onButtonMaxClicked() {}
void TitleBar::onButtonCloseClicked() {}
void TitleBar::onButtonSetClicked() {}
void TitleBar::onRollTitle() {}
void TitleBar::paintEvent(QPaintEvent *event) { QWidget::paintEvent(event); }
void TitleBar::mouseDoubleClickEvent(QMouseEvent *event) { QWidget::mouseDoubleClickEvent(event); }
void TitleBar::mousePressEvent(QMouseEvent *event) { QWidget::mousePressEvent(event); }
void TitleBar::mouseMoveEvent(QMouseEvent *event) { QWidget::mouseMoveEvent(event); }
void TitleBar::mouseReleaseEvent(QMouseEvent *event) { QWidget::mouseReleaseEvent(event); }
void TitleBar::initControl() {}
void TitleBar::initConnections() {}
