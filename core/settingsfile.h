#ifndef SETTINGSFILE_H
#define SETTINGSFILE_H

#include "core/settings.h"

#include <QByteArray>
#include <QHash>
#include <QSettings>
#include <QString>
#include <QStringList>

// The settings file NorLastSetting.ini in the home folder: the keys of
// Settings::kTable in the group "Settings". Stateless; every call opens the file afresh.
class SettingsFile
{
public:
    // Every key of the table in one read of the file.
    Settings::Stored read() const;
    // The text of one key of the group "Settings"; -1 when there is no file
    // or it cannot be read.
    int readValue(const QString &key, QString &nvalue) const;

    // A save: the twelve keys of `settings`, as writeTexts writes them.
    // Returns -1 when the file does not hold them afterwards; `failure` then
    // names the file and the reason.
    int write(const Settings &settings, QString *failure = nullptr) const;
    // The texts of the twelve keys in the table's order; a short list is
    // padded with empty text.
    int writeTexts(QStringList texts, QString *failure = nullptr) const;
    // Writes one key outside the twelve (group "Settings") into an existing
    // settings file. Returns -1 and creates nothing when there is no file:
    // readers take a file without the twelve keys as holding empty values.
    int setExtraValue(Settings::Key which, const Settings &choices) const;

    static QString filePath();
    static bool exists(const QString &path);
    // The file and the reason when a settings file is there but cannot be
    // read (no right to, a folder or a pipe in its place); empty otherwise.
    // Readers then take the defaults, as without a file, and saves leave it.
    static QString unreadableReason();

private:
    static QString writeFailure(const QString &path, QSettings::Status status);
    static QString readKey(QSettings &settings, const QHash<QByteArray, bool> &highBytes, const QString &key);
    static void traceFormatError(const QSettings &settings, const QString &path);
};

#endif
