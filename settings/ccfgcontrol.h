#ifndef CCFGCONTROL_H
#define CCFGCONTROL_H

#include "core/settings.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <QSettings>

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
    // Returns -1 when the file does not hold them afterwards; `failure` then
    // names the file and the reason.
    int write(const Settings &settings, QString *failure = nullptr);
    // Writes one key outside the twelve (group "Settings") into an existing
    // settings file. Returns -1 and creates nothing when there is no file:
    // readers take a file without the twelve keys as holding empty values.
    int setExtraValue(Settings::Key which, const Settings &choices);

    static QString settingsFilePath();
    // The file and the reason when a settings file is there but cannot be
    // read (no right to, a folder or a pipe in its place); empty otherwise.
    // Readers then take the defaults, as without a file, and saves leave it.
    static QString unreadableReason();

private:
    static int store(QStringList listValue, QString *failure);
    static QString writeFailure(const QString &path, QSettings::Status status);
    static QString readKey(QSettings &settings, const QHash<QByteArray, bool> &highBytes, const QString &key);
    static void traceFormatError(const QSettings &settings, const QString &path);
};

#endif
