#include "ui/cammainwindow.h"

#include "settings/setwindow.h"

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
    if (m_session.isTarvoDevice())
        UIIsShow(1, false);
    m_bIsPressSet = true;

    // A fresh window is open and not saved: scans read the file again.
    m_savedSettings.reset();
    if (m_set)
        m_set->disconnect(this);
    m_set = new SetWindow(nullptr);
    connect(m_set, &SetWindow::settingsSaved, this, &CamMainWindow::onSettingsSaved);
    connect(m_set, &SetWindow::closedUnsaved, this, &CamMainWindow::onSettingsClosed);
    m_setOwner.replace(m_set);
    m_set->InitUI();
    m_set->setWindowTitle(QStringLiteral("Quillo设置界面"));
    m_bIsSet = true;

    m_set->InitUIData(1, m_session.deviceNames(), m_session.refreshResolutions(),
                      m_session.formatNames());

    m_set->setWindowModality(Qt::WindowModal);
    m_set->show();

    showCropIndicator();
}

void CamMainWindow::onSettingsSaved(const Settings &settings, bool captureChanged)
{
    m_savedSettings = settings;
    if (captureChanged)
        ReshUI();
}

void CamMainWindow::onSettingsClosed()
{
    m_savedSettings.reset();
    UIIsShow(1, true);
}
