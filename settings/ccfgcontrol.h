#ifndef CCFGCONTROL_H
#define CCFGCONTROL_H

#include <QString>
#include <QStringList>

// The settings file NorLastSetting.ini in the home folder: the twelve keys of
// Settings::kKeys in the group "Settings". Stateless; every call opens the file afresh.
class CCfgControl
{
public:
    int setValue(QStringList listValue);
    int readValue(QString key, QString &nvalue);
    bool FileExists(QString strFile);
    // Writes one key outside the twelve (group "Settings") into an existing
    // settings file. Returns -1 and creates nothing when there is no file:
    // readers take a file without the twelve keys as holding empty values.
    int setExtraValue(const QString &key, const QString &value);

    static QString settingsFilePath();
};

#endif
