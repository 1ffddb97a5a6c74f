#include "cammainwindow.h"

#include "resolutiontext.h"
#include "setwindow.h"

void CamMainWindow::SetWindowOwner::replace(SetWindow *next)
{
    if (window && window != next)
        window->deleteLater();
    window = next;
}

CamMainWindow::SetWindowOwner::~SetWindowOwner()
{
    delete window;
}

void CamMainWindow::onButtonSetClicked()
{
    if (bIsTarvoDev)
        UIIsShow(1, false);
    m_bIsPressSet = true;

    m_set = new SetWindow(nullptr);
    m_setOwner.replace(m_set);
    m_set->InitUI();
    m_set->setWindowTitle(QStringLiteral("Quillo设置界面"));
    m_bIsSet = true;

    listResolution = ResolutionText::listForDevice(m_nCurDev);
    m_set->InitUIData(1, listDevName, listResolution, listFormat);

    m_set->setWindowModality(Qt::WindowModal);
    m_set->show();

    if (cutBtn)
        cutBtn->setDown(m_nCropIndex % 2 != 0);
}
