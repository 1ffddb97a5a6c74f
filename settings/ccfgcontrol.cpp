#include "settings/ccfgcontrol.h"

#include "core/settings.h"

#include <QDebug>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTextCodec>
#include <QVariant>

#include <algorithm>


namespace {

// Whether the file holds the key's value in the group "Settings" with raw
// bytes above ASCII, which the store never writes.
bool rawValueHasHighBytes(const QString &path, const QString &key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray wanted = key.toUtf8();
    bool inGroup = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('[')) {
            inGroup = line == "[Settings]";
            continue;
        }
        const int equals = line.indexOf('=');
        if (!inGroup || equals < 0 || line.left(equals).trimmed() != wanted)
            continue;
        const QByteArray raw = line.mid(equals + 1);
        return std::any_of(raw.begin(), raw.end(), [](char c) { return uchar(c) >= 0x80; });
    }
    return false;
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

QString CCfgControl::settingsFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::HomeLocation) + "/NorLastSetting.ini";
}

int CCfgControl::setValue(QStringList listValue)
{
    // A short list would otherwise index past its end; pad with empty text.
    while (listValue.size() < 12)
        listValue.append(QString());
    {
        QSettings settings(settingsFilePath(), QSettings::IniFormat);
        settings.beginGroup("Settings");
        for (int i = 0; i < 12; ++i)
            settings.setValue(Settings::kKeys[i], QVariant(listValue.at(i)));
        settings.endGroup();
        settings.sync();
        // A format error belongs to the old content that was read in, not
        // to the write; only an access error means nothing was written.
        if (settings.status() == QSettings::AccessError)
            qDebug("settings file %s not written (status %d)\n", qPrintable(settings.fileName()),
                   int(settings.status()));
        else if (settings.status() == QSettings::FormatError)
            qDebug("settings file %s was not valid INI, written afresh\n", qPrintable(settings.fileName()));
    }
    return 0;
}

int CCfgControl::readValue(QString key, QString &nvalue)
{
    const QString path = settingsFilePath();
    if (!FileExists(path))
        return -1;
    const QString fullKey = QString("%1/%2").arg("Settings").arg(key);
    QSettings settings(path, QSettings::IniFormat);
    QString value = settings.value(fullKey, QVariant()).toString();
    // The file is parsed on first access: its status is known only now.
    if (settings.status() == QSettings::FormatError)
        qDebug("settings file %s is not valid INI, reading what can be read\n", qPrintable(path));
    // Without a codec raw bytes read as Latin-1. A value written by hand or
    // by another tool in UTF-8 (a Chinese folder, a watermark text) reads as
    // UTF-8 instead; the store itself escapes everything above ASCII, and
    // its escapes read as before.
    if (rawValueHasHighBytes(path, key))
        value = asUtf8IfValid(value);
    nvalue = value;
    return 0;
}

bool CCfgControl::FileExists(QString strFile)
{
    return QFile::exists(strFile);
}

int CCfgControl::setExtraValue(const QString &key, const QString &value)
{
    const QString path = settingsFilePath();
    if (!FileExists(path)) {
        qDebug("settings file %s absent, %s not kept\n", qPrintable(path), qPrintable(key));
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
