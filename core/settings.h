#ifndef SETTINGS_H
#define SETTINGS_H

#include <QString>
#include <QStringList>

// The user's choices as one value: what a save of the settings window
// writes to the store and hands to the main window, and the rules that turn
// stored texts back into the window's controls.
struct Settings
{
    // The stored keys in the store's order, the order of toList().
    static const char *const kKeys[12];
    // Names a stored key by its place in kKeys.
    enum class Key {
        FilePath, DevName, XResolution, YResolution, IsWater, WaterContent,
        WaterFont, WaterColorR, WaterColorG, WaterColorB, TextEnhance, FileFormat,
    };
    static const char *key(Key which) { return kKeys[int(which)]; }
    // The hands-free switch: not one of the twelve, so a save of the window
    // leaves it alone; it is written only into a settings file that exists.
    static const char *const kAutoCaptureKey;

    QString folder;
    int device = 0;
    int width = 0;
    int height = 0;
    bool water = false;
    QString waterContent;
    int waterFont = 20;
    int red = 0;
    int green = 0;
    int blue = 0;
    bool textEnhance = false;
    int fileFormat = 0;
    // The camera format a restart uses; not stored (always the first).
    int cameraFormat = 0;

    // The twelve texts in the store's key order.
    QStringList toList() const;

    // The folder offered when none is stored: home, except that the two
    // documents folders of root fall back to "/root".
    static QString defaultFolder(const QString &home);

    // Index of the item a stored integer names in a list of `count` items.
    // Anything that names no item gives `fallback`, traced with `key`.
    static int presetIndex(const QString &key, const QString &stored, int count, int fallback = 0);

    // "bTextEn": any non-zero integer means on (item 1), as the scan reads it.
    static int textEnhanceIndex(const QString &stored);

    // "FileFormat": only 1 is the PDF format; the scan stores anything else as JPG.
    static int fileFormatIndex(const QString &stored);
};

#endif
