#ifndef CCFGCONTROL_H
#define CCFGCONTROL_H

#include "core/settings.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

class QSettings;

// The settings file NorLastSetting.ini in the home folder: the keys of
// Settings::kTable in the group "Settings". Stateless; every call opens the file afresh.
class CCfgControl
{
public:
    int setValue(QStringList listValue);
    int readValue(QString key, QString &nvalue);
    bool FileExists(QString strFile);

    // Every key of the table in one read of the file.
    Settings::Stored read();
    // A save: the twelve keys of `settings`, as setValue writes them.
    int write(const Settings &settings);
    // Writes one key outside the twelve (group "Settings") into an existing
    // settings file. Returns -1 and creates nothing when there is no file:
    // readers take a file without the twelve keys as holding empty values.
    int setExtraValue(Settings::Key which, const Settings &choices);

    static QString settingsFilePath();

private:
    static QString readKey(QSettings &settings, const QHash<QByteArray, bool> &highBytes, const QString &key);
    static void traceFormatError(const QSettings &settings, const QString &path);
};

#endif
