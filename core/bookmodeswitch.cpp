#include "core/bookmodeswitch.h"

#include "core/settings.h"
#include "core/settingsfile.h"

#include <QDebug>

BookModeSwitch::BookModeSwitch()
{
    m_on = SettingsFile().read().values.bookMode;
}

void BookModeSwitch::toggle()
{
    m_on = !m_on;
    qDebug("book mode %s\n", m_on ? "on" : "off");
    Settings choice;
    choice.bookMode = m_on;
    SettingsFile().setExtraValue(Settings::Key::BookMode, choice);
}
