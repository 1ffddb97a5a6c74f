// The settings window's frame pieces, its title bar and its error box, come
// from the window layer above settings/; their parts of SetWindow live here.
#include "settings/setwindow.h"

#include "ui/errorbox.h"
#include "ui/titlebar.h"

#include <QIcon>
#include <QPushButton>
#include <QSize>

namespace {

const char *const kCloseButtonStyle =
    "QPushButton{background:rgb(54,146,238,255);border-radius:8px;}QPushButton:hover{background:rgb(0,102,206,"
    "255);}QPushButton:pressed{background:rgb(0,102,206,255);}";

} // namespace

void SetWindow::InitTitleBar()
{
    m_title = new TitleBar(this);
    m_title->setTitleIcon(":/img/new/set.svg", QSize(32, 32));
    m_title->setTitleContent(QStringLiteral("设置"), 9);
    m_title->setTitleWidth(width());
    m_title->setButtonType(ONLY_CLOSE_BUTTON);
    m_title->setBackgroundColor(54, 146, 238, false);
    connect(m_title, SIGNAL(signalButtonCloseClicked()), this, SLOT(onButtonCloseClicked()));

    QPushButton *close = m_title->m_pButtonClose;
    close->setIcon(QIcon(":/img/new/close.svg"));
    close->setFixedSize(40, 40);
    close->setIconSize(QSize(20, 20));
    close->setToolTip(QStringLiteral("关闭"));
    close->setStyleSheet(kCloseButtonStyle);
}

void SetWindow::showSaveFailure(const QString &text)
{
    ErrorBox::showBlocking(text);
}
