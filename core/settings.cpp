#include "core/settings.h"

#include <QDebug>

const char *const Settings::kKeys[12] = {
    "FilePath",    "DevName",     "XResolution", "YResolution", "bIsWater", "WaterContent",
    "WaterFont",   "WaterColorR", "WaterColorG", "WaterColorB", "bTextEn",  "FileFormat",
};

const char *const Settings::kAutoCaptureKey = "AutoCapture";

static QString decimal(int value)
{
    return QString::number(value);
}

// Empty text is a missing key and reads as 0, like QString::toInt; anything
// else must be a whole decimal number.
static bool storedInt(const QString &stored, int &value)
{
    if (stored.trimmed().isEmpty()) {
        value = 0;
        return true;
    }
    bool ok = false;
    value = stored.trimmed().toInt(&ok);
    return ok;
}

static QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

QStringList Settings::toList() const
{
    return QStringList{folder,       decimal(device),    decimal(width), decimal(height),
                       flag(water),  waterContent,       decimal(waterFont),
                       decimal(red), decimal(green),     decimal(blue),  flag(textEnhance),
                       decimal(fileFormat)};
}

QString Settings::defaultFolder(const QString &home)
{
    if (home == QStringLiteral("/root/文档") || home == QStringLiteral("/root/Documents"))
        return QStringLiteral("/root");
    return home;
}

int Settings::presetIndex(const QString &key, const QString &stored, int count, int fallback)
{
    int value = 0;
    const bool ok = storedInt(stored, value);
    if (ok && value >= 0 && value < count)
        return value;
    qDebug() << "settings:" << key << "=" << stored << "names no item of" << count << ", using item" << fallback;
    return fallback;
}

int Settings::textEnhanceIndex(const QString &stored)
{
    int value = 0;
    const bool ok = storedInt(stored, value);
    if (ok && (value == 0 || value == 1))
        return value;
    const int index = value != 0 ? 1 : 0;
    qDebug() << "settings: bTextEn =" << stored << "is not 0 or 1, using item" << index;
    return index;
}

int Settings::fileFormatIndex(const QString &stored)
{
    int value = 0;
    const bool ok = storedInt(stored, value);
    if (ok && (value == 0 || value == 1))
        return value;
    qDebug() << "settings: FileFormat =" << stored << "is not 0 or 1, using JPG";
    return 0;
}
