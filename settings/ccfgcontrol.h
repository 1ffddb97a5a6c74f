#ifndef CCFGCONTROL_H
#define CCFGCONTROL_H

#include "core/settings.h"
#include "core/settingsfile.h"

#include <QString>
#include <QStringList>

// The settings window's face of the settings file; the file's rules are
// SettingsFile's (core/settingsfile), which the layers below use directly.
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
    // Writes one key outside the twelve into an existing settings file; -1
    // and nothing created when there is no file.
    int setExtraValue(Settings::Key which, const Settings &choices);

    static QString settingsFilePath();
    // Why a settings file that is there cannot be read; empty otherwise.
    static QString unreadableReason();

private:
    SettingsFile m_file;
};

#endif
