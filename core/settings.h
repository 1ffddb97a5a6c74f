#ifndef SETTINGS_H
#define SETTINGS_H

#include <QString>
#include <QStringList>

// The user's choices as one value, and the one table of the keys that keep
// them in the settings file (settings.cpp: name, type, value when there is no
// file, which member, who clamps it). The store reads and writes whole values
// by walking the table. Where a reader must judge a stored text by what it
// knows only at run time (the length of a list, the home folder), that rule
// is a named function below, called by that reader.
struct Settings
{
    // The rows of the table, in the order in which a save writes them.
    enum class Key {
        FilePath, DevName, XResolution, YResolution, IsWater, WaterContent,
        WaterFont, WaterColorR, WaterColorG, WaterColorB, TextEnhance, FileFormat,
        AutoCapture, BookMode, PdfImages, Ocr,
    };
    static constexpr int kKeyCount = 16;

    // How a value is kept as text. Numbers are read like QString::toInt:
    // empty (an absent key) or non-numeric text is 0.
    enum class Type {
        Text,    // as written
        Integer, // decimal
        Flag,    // written "1" or "0"; any non-zero integer reads as on
        Index,   // decimal index into a list the program shows; the window's
                 // rules below decide what a text naming no item selects
    };

    // The member of Settings a row keeps; the one that fits the row's type.
    struct Field
    {
        Field(QString Settings::*member) : text(member) {}
        Field(int Settings::*member) : number(member) {}
        Field(bool Settings::*member) : flag(member) {}
        QString Settings::*text = nullptr;
        int Settings::*number = nullptr;
        bool Settings::*flag = nullptr;
    };

    struct Row
    {
        Key key;
        const char *name; // in the group "Settings"
        Type type;
        const char *withoutFile; // the text a reader takes when there is no file
        bool savedByWindow;      // one of the twelve keys a save writes
        Field field;
    };
    static const Row kTable[kKeyCount];
    static const Row &row(Key which) { return kTable[int(which)]; }
    static const char *key(Key which) { return row(which).name; }

    // One read of the settings file; see below the struct.
    struct Stored;

    // Every stored member starts at the table's value for a missing file.
    Settings();

    QString folder;
    int device;
    int width;
    int height;
    bool water;
    QString waterContent;
    int waterFont;
    int red;
    int green;
    int blue;
    bool textEnhance;
    int fileFormat;
    bool autoCapture;
    bool bookMode;
    // What a PDF page carries: 0 the decoded pixels, 1 the scan's JPEG as it is.
    int pdfImages;
    // Only 1 puts the scans' JPEGs into PDFs; any other value means pixels.
    bool jpegPdfPages() const { return pdfImages == 1; }
    // Whether PDFs carry the recognised text of their pages: 0 no, 1 Chinese and English.
    int ocr;
    // Only 1 recognises; any other value writes PDFs without text.
    bool recognizesText() const { return ocr == 1; }
    // The camera format a restart uses; not stored (always the first).
    int cameraFormat = 0;

    // The value of `which` as the settings file keeps it.
    QString text(Key which) const;
    // Takes a stored text by the common rule of the key's type.
    void setText(Key which, const QString &stored);
    // The texts of the twelve keys a save writes, in the table's order.
    QStringList toList() const;

    // Rules of single readers, named in the table's last column.

    // The folder offered when none is stored: home, except that the two
    // documents folders of root fall back to "/root".
    static QString defaultFolder(const QString &home);

    // The settings window's folder: the stored one, or the default folder
    // when there is no file or it names none (traced).
    static QString offeredFolder(const Stored &stored, const QString &home);

    // Index of the item a stored integer names in a list of `count` items.
    // Anything that names no item gives `fallback`, traced with `key`.
    static int presetIndex(const QString &key, const QString &stored, int count, int fallback = 0);

    // "bTextEn": any non-zero integer means on (item 1), as the scan reads it.
    static int textEnhanceIndex(const QString &stored);

    // "FileFormat": only 1 is the PDF format; the scan stores anything else as JPG.
    static int fileFormatIndex(const QString &stored);

    // The resolution item the settings window selects for the stored width
    // and height: texts that read back as whole numbers are written as the
    // list writes them, anything else is joined as it stands (and matches no item).
    static QString resolutionPreset(const QString &width, const QString &height);
};

// One read of the settings file by the store: whether the file exists, each
// key's text as found there (empty when absent), and the value those texts
// make by the common rules (the table's values for a missing file).
struct Settings::Stored
{
    bool fileExists = false;
    QString texts[Settings::kKeyCount];
    Settings values;

    const QString &text(Settings::Key which) const { return texts[int(which)]; }
};

#endif
