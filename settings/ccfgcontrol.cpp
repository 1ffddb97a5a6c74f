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
        if (settings.status() != QSettings::NoError)
            qDebug("settings file %s not written (status %d)\n", qPrintable(settings.fileName()),
                   int(settings.status()));
    }
    return 0;
}

int CCfgControl::readValue(QString key, QString &nvalue)
{
    const QString path = settingsFilePath();
    if (!FileExists(path))
        return -1;
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() == QSettings::FormatError)
        qDebug("settings file %s is not valid INI, reading what can be read\n", qPrintable(path));
    nvalue = settings.value(QString("%1/%2").arg("Settings").arg(key), QVariant()).toString();
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
