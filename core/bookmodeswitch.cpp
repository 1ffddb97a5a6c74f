#include "core/bookmodeswitch.h"

#include "core/settings.h"
#include "settings/ccfgcontrol.h"

#include <QDebug>

BookModeSwitch::BookModeSwitch()
{
    m_on = CCfgControl().read().values.bookMode;
}

void BookModeSwitch::toggle()
{
    m_on = !m_on;
    qDebug("book mode %s\n", m_on ? "on" : "off");
    Settings choice;
    choice.bookMode = m_on;
    CCfgControl().setExtraValue(Settings::Key::BookMode, choice);
}
