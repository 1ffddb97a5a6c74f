#include "settings/ccfgcontrol.h"

int CCfgControl::setValue(QStringList listValue)
{
    return m_file.writeTexts(listValue);
}

int CCfgControl::readValue(QString key, QString &nvalue)
{
    return m_file.readValue(key, nvalue);
}

bool CCfgControl::FileExists(QString strFile)
{
    return SettingsFile::exists(strFile);
}

Settings::Stored CCfgControl::read()
{
    return m_file.read();
}

int CCfgControl::write(const Settings &settings, QString *failure)
{
    return m_file.write(settings, failure);
}

int CCfgControl::setExtraValue(Settings::Key which, const Settings &choices)
{
    return m_file.setExtraValue(which, choices);
}

QString CCfgControl::settingsFilePath()
{
    return SettingsFile::filePath();
}

QString CCfgControl::unreadableReason()
{
    return SettingsFile::unreadableReason();
}
