#include "core/settings.h"

#include "core/resolutiontext.h"

#include <QDebug>

// Without a file every reader takes the "no file" column. With a file, an
// absent key reads as empty text, which a number reads as 0. The comment under
// a row names who judges its value beyond the type, and by which rule.
const Settings::Row Settings::kTable[Settings::kKeyCount] = {
    // key              name            type           no file  saved  member
    {Key::FilePath,     "FilePath",     Type::Text,    "",      true,  &Settings::folder},
    //   window: offeredFolder; scan: an empty folder is home (scanplan)
    {Key::DevName,      "DevName",      Type::Index,   "0",     true,  &Settings::device},
    //   window: presetIndex in the device list; start-up: a device not listed
    //   or not accessible gives the first accessible one (CaptureSession)
    {Key::XResolution,  "XResolution",  Type::Integer, "",      true,  &Settings::width},
    {Key::YResolution,  "YResolution",  Type::Integer, "",      true,  &Settings::height},
    //   no file: the first listed resolution (window, start-up);
    //   window: resolutionPreset
    {Key::IsWater,      "bIsWater",     Type::Flag,    "0",     true,  &Settings::water},
    //   a save of the window always writes "0"
    {Key::WaterContent, "WaterContent", Type::Text,    "",      true,  &Settings::waterContent},
    {Key::WaterFont,    "WaterFont",    Type::Integer, "20",    true,  &Settings::waterFont},
    //   read, never handed to the camera
    {Key::WaterColorR,  "WaterColorR",  Type::Integer, "0",     true,  &Settings::red},
    {Key::WaterColorG,  "WaterColorG",  Type::Integer, "0",     true,  &Settings::green},
    {Key::WaterColorB,  "WaterColorB",  Type::Integer, "0",     true,  &Settings::blue},
    //   0-255 as written; not clamped when read
    {Key::TextEnhance,  "bTextEn",      Type::Flag,    "0",     true,  &Settings::textEnhance},
    //   window: textEnhanceIndex
    {Key::FileFormat,   "FileFormat",   Type::Index,   "0",     true,  &Settings::fileFormat},
    //   0 JPG, 1 single-page PDF; window: fileFormatIndex; scan: only 1 is
    //   a PDF, any other code a JPG (scanplan::isPdfFormat)
    {Key::AutoCapture,  "AutoCapture",  Type::Flag,    "0",     false, &Settings::autoCapture},
    //   hands-free scanning; not one of the twelve, written alone and only
    //   into a file that exists (AutoCaptureWatch)
    {Key::BookMode,     "BookMode",     Type::Flag,    "0",     false, &Settings::bookMode},
    //   an open book gives two pages; written alone like AutoCapture (BookModeSwitch)
    {Key::PdfImages,    "PdfImages",    Type::Index,   "0",     false, &Settings::pdfImages},
    //   0 pixels, 1 the scans' JPEGs; not one of the twelve: a save of the
    //   window writes it after them (SetWindow); scan and merge: jpegPdfPages
    {Key::Ocr,          "Ocr",          Type::Index,   "0",     false, &Settings::ocr},
    //   0 no text, 1 Chinese and English text in every PDF; written after
    //   PdfImages (SetWindow); scan and merge: recognizesText
};

Settings::Settings()
{
    for (const Row &r : kTable)
        setText(r.key, QString::fromLatin1(r.withoutFile));
}

QString Settings::text(Key which) const
{
    const Row &r = row(which);
    switch (r.type) {
    case Type::Text:
        return this->*r.field.text;
    case Type::Flag:
        return this->*r.field.flag ? QStringLiteral("1") : QStringLiteral("0");
    case Type::Integer:
    case Type::Index:
        break;
    }
    return QString::number(this->*r.field.number);
}

void Settings::setText(Key which, const QString &stored)
{
    const Row &r = row(which);
    switch (r.type) {
    case Type::Text:
        this->*r.field.text = stored;
        return;
    case Type::Flag:
        this->*r.field.flag = stored.toInt() != 0;
        return;
    case Type::Integer:
    case Type::Index:
        this->*r.field.number = stored.toInt();
        return;
    }
}

QStringList Settings::toList() const
{
    QStringList texts;
    for (const Row &r : kTable) {
        if (r.savedByWindow)
            texts.append(text(r.key));
    }
    return texts;
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

QString Settings::defaultFolder(const QString &home)
{
    if (home == QStringLiteral("/root/文档") || home == QStringLiteral("/root/Documents"))
        return QStringLiteral("/root");
    return home;
}

QString Settings::offeredFolder(const Stored &stored, const QString &home)
{
    const QString fallback = defaultFolder(home);
    if (!stored.fileExists)
        return fallback;
    const QString &folder = stored.text(Key::FilePath);
    if (!folder.isEmpty())
        return folder;
    // An empty folder would store scans at the root of the file system.
    qDebug() << "settings: FilePath is empty, offering" << fallback;
    return fallback;
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

QString Settings::resolutionPreset(const QString &width, const QString &height)
{
    bool okWidth = false;
    bool okHeight = false;
    const long x = width.toLong(&okWidth);
    const long y = height.toLong(&okHeight);
    const bool exact = okWidth && okHeight && QString::number(x) == width && QString::number(y) == height;
    return exact ? ResolutionText::format(x, y) : width + QLatin1Char('x') + height;
}
