#include "core/settingsfile.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTextCodec>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <cstring>


namespace {

// Every key of the group "Settings" in the file on disk, and whether its
// value holds raw bytes above ASCII, which the store never writes; the first
// line of a key counts.
QHash<QByteArray, bool> keysWithHighBytes(const QString &path)
{
    QHash<QByteArray, bool> found;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return found;
    bool inGroup = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('[')) {
            inGroup = line == "[Settings]";
            continue;
        }
        const int equals = line.indexOf('=');
        if (!inGroup || equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        if (found.contains(key))
            continue;
        const QByteArray raw = line.mid(equals + 1);
        found.insert(key, std::any_of(raw.begin(), raw.end(), [](char c) { return uchar(c) >= 0x80; }));
    }
    return found;
}

// The Latin-1 reading of raw bytes, read again as UTF-8 when they are valid
// UTF-8; anything else stays as it was read.
QString asUtf8IfValid(const QString &latin1)
{
    for (const QChar c : latin1) {
        if (c.unicode() > 0xFF)
            return latin1;
    }
    const QByteArray bytes = latin1.toLatin1();
    QTextCodec::ConverterState state;
    const QString decoded = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0 ? decoded : latin1;
}

} // namespace

QString SettingsFile::filePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::HomeLocation) + "/NorLastSetting.ini";
}

int SettingsFile::writeTexts(QStringList texts, QString *failure) const
{
    // A short list would otherwise index past its end; pad with empty text.
    while (texts.size() < 12)
        texts.append(QString());
    QString why = unreadableReason();
    // Written anew, a file that could not be read would lose what it holds.
    if (why.isEmpty()) {
        QSettings settings(filePath(), QSettings::IniFormat);
        settings.beginGroup("Settings");
        int position = 0;
        for (const Settings::Row &row : Settings::kTable) {
            if (row.savedByWindow)
                settings.setValue(row.name, QVariant(texts.at(position++)));
        }
        settings.endGroup();
        settings.sync();
        // A format error belongs to the old content that was read in, not
        // to the write; only an access error means nothing was written.
        if (settings.status() == QSettings::AccessError)
            qDebug("settings file %s not written (status %d)\n", qPrintable(settings.fileName()),
                   int(settings.status()));
        else if (settings.status() == QSettings::FormatError)
            qDebug("settings file %s was not valid INI, written afresh\n", qPrintable(settings.fileName()));
        why = writeFailure(settings.fileName(), settings.status());
    } else {
        qDebug("settings file %s not written: %s\n", qPrintable(filePath()), qUtf8Printable(why));
    }
    if (failure)
        *failure = why;
    return why.isEmpty() ? 0 : -1;
}

// Empty when the file holds what was written. QSettings reports only that
// the write failed, so the reason comes from trying as it writes: a new file
// beside the old one, renamed over it. After a write it reports as done, the
// file on disk (not Qt's copy of it) must hold every key.
QString SettingsFile::writeFailure(const QString &path, QSettings::Status status)
{
    if (status == QSettings::AccessError) {
        QSaveFile probe(path);
        const QString reason = probe.open(QIODevice::WriteOnly) ? QStringLiteral("the write failed") : probe.errorString();
        probe.cancelWriting();
        return path + ": " + reason;
    }
    const QHash<QByteArray, bool> onDisk = keysWithHighBytes(path);
    for (const Settings::Row &row : Settings::kTable) {
        if (row.savedByWindow && !onDisk.contains(row.name)) {
            qDebug("settings file %s lacks %s after the save\n", qPrintable(path), row.name);
            return path + ": the file does not hold what was written";
        }
    }
    return QString();
}

QString SettingsFile::unreadableReason()
{
    const QString path = filePath();
    const QFileInfo info(path);
    if (!info.exists())
        return QString();
    if (info.isDir())
        return path + ": " + QString::fromLocal8Bit(std::strerror(EISDIR));
    // A pipe would block the reader until someone writes to it.
    if (!info.isFile())
        return path + ": not a regular file";
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return path + ": " + file.errorString();
    return QString();
}

QString SettingsFile::readKey(QSettings &settings, const QHash<QByteArray, bool> &highBytes, const QString &key)
{
    QString value = settings.value(QString("%1/%2").arg("Settings").arg(key), QVariant()).toString();
    // Without a codec raw bytes read as Latin-1. A value written by hand or
    // by another tool in UTF-8 (a Chinese folder, a watermark text) reads as
    // UTF-8 instead; the store itself escapes everything above ASCII, and
    // its escapes read as before.
    if (highBytes.value(key.toUtf8()))
        value = asUtf8IfValid(value);
    return value;
}

void SettingsFile::traceFormatError(const QSettings &settings, const QString &path)
{
    // The file is parsed on first access: its status is known only now.
    if (settings.status() == QSettings::FormatError)
        qDebug("settings file %s is not valid INI, reading what can be read\n", qPrintable(path));
}

int SettingsFile::readValue(const QString &key, QString &nvalue) const
{
    const QString path = filePath();
    if (!exists(path) || !unreadableReason().isEmpty())
        return -1;
    QSettings settings(path, QSettings::IniFormat);
    const QString value = readKey(settings, keysWithHighBytes(path), key);
    traceFormatError(settings, path);
    nvalue = value;
    return 0;
}

Settings::Stored SettingsFile::read() const
{
    Settings::Stored stored;
    const QString path = filePath();
    stored.fileExists = exists(path) && unreadableReason().isEmpty();
    if (!stored.fileExists)
        return stored;
    QSettings settings(path, QSettings::IniFormat);
    const QHash<QByteArray, bool> highBytes = keysWithHighBytes(path);
    for (const Settings::Row &row : Settings::kTable) {
        QString &text = stored.texts[int(row.key)];
        text = readKey(settings, highBytes, QString::fromLatin1(row.name));
        stored.values.setText(row.key, text);
    }
    traceFormatError(settings, path);
    return stored;
}

int SettingsFile::write(const Settings &settings, QString *failure) const
{
    return writeTexts(settings.toList(), failure);
}

bool SettingsFile::exists(const QString &path)
{
    return QFile::exists(path);
}

int SettingsFile::setExtraValue(Settings::Key which, const Settings &choices) const
{
    const QString key = QString::fromLatin1(Settings::key(which));
    const QString value = choices.text(which);
    const QString path = filePath();
    if (!exists(path)) {
        qDebug("settings file %s absent, %s not kept\n", qPrintable(path), qPrintable(key));
        return -1;
    }
    const QString unreadable = unreadableReason();
    if (!unreadable.isEmpty()) {
        qDebug("settings file %s not written: %s\n", qPrintable(path), qUtf8Printable(unreadable));
        return -1;
    }
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue(QString("%1/%2").arg("Settings").arg(key), QVariant(value));
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        qDebug("settings file %s not written (status %d)\n", qPrintable(path), int(settings.status()));
        return -1;
    }
    return 0;
}
