#ifndef SCANPLAN_H
#define SCANPLAN_H

#include "camera/camsdk.h"
#include "core/settings.h"
#include "thread/fileformat.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Everything one click of the scan button decides before the capture runs:
// the stamp, the format, the paths and the processing record. Display-free so
// that the rules can be checked without a window or a camera.
namespace scanplan {

using fileformat::FormatCode;
using fileformat::FormatJpg;
using fileformat::FormatSinglePagePdf;

// 17 digits, local time of the click: "yyyyMMddhhmmsszzz".
QString makeStamp(const QDateTime &when);

// Only 1 means the single-page PDF; every other code stores a JPG.
using fileformat::isPdfFormat;

// nCropType: 1 when the crop toggle counter is odd.
int cropTypeFromCounter(int cropIndex);

// The rotation in whole degrees, truncated toward zero. Values that do not
// fit an int (never produced by the rotation buttons) give 0.
int32_t rotationFromDegrees(double degrees);

// Whether PDF pages carry the scans' JPEGs as they are: the saved settings
// window's choice while it counts, else the settings file's; pixels when
// neither says so.
bool jpegPdfPages(const Settings *window, const Settings::Stored &file);
// Whether the pages' text is read into the PDFs, by the same rule.
bool recognizesText(const Settings *window, const Settings::Stored &file);

struct ScanInputs
{
    QString stamp;
    QString homeDir;
    // Where the page image of a PDF scan goes (the private page folder).
    QString pageFolder;
    int cropIndex = 1;
    double rotation = 0.0;
    // The settings window was opened (m_bIsSet) and saved: format from it.
    bool formatFromWindow = false;
    // The settings window was opened (m_bIsPressSet) and saved: values from it.
    bool valuesFromWindow = false;
    Settings window; // the saved settings window's choices
    // The settings file as the store read it: numbers as integers (empty or
    // garbage text 0), any non-zero flag on; no file, the defaults.
    Settings::Stored file;
};

struct ScanPlan
{
    int formatCode = FormatJpg;
    QString folder;
    // The JPEG in the folder; for the PDF format the capture goes to
    // captureJpegPath in the page folder instead.
    QString filePath;
    QString pdfPath;          // empty unless the PDF format
    QString captureJpegPath;  // what the camera writes
    QString listShownPath;    // listViewImagePath entry
    QString listPagePath;     // listViewImagePDFPath entry
    QString settingsFolder;   // the folder the settings file names, or home
    bool jpegPdfPages = false; // the PDF's page carries the JPEG as it is
    bool recognizesText = false; // the page's text is read, and its PDF gets it
    // The record with szWaterContent left null: the caller points it at
    // waterContent, which holds the text and its terminating NUL.
    IMAGEPARAM param;
    QByteArray waterContent;
};

ScanPlan planScan(const ScanInputs &in);

} // namespace scanplan

#endif
