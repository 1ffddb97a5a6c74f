#include "ccfgcontrol.h"

#include <QDebug>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

const char *const CCfgControl::kKeys[12] = {
    "FilePath",    "DevName",     "XResolution", "YResolution", "bIsWater", "WaterContent",
    "WaterFont",   "WaterColorR", "WaterColorG", "WaterColorB", "bTextEn",  "FileFormat",
};

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
            settings.setValue(kKeys[i], QVariant(listValue.at(i)));
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
    // UTF-8 instead; the escapes this store writes read the same either way.
    QSettings utf8(path, QSettings::IniFormat);
    utf8.setIniCodec("UTF-8");
    const QString asUtf8 = utf8.value(fullKey, QVariant()).toString();
    if (asUtf8 != value && !asUtf8.contains(QChar::ReplacementCharacter))
        value = asUtf8;
    nvalue = value;
    return 0;
}

bool CCfgControl::FileExists(QString strFile)
{
    return QFile::exists(strFile);
}
