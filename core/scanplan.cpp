#include "core/scanplan.h"

#include "core/rotationcounter.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace scanplan {

QString makeStamp(const QDateTime &when)
{
    return when.toString(QStringLiteral("yyyyMMddhhmmsszzz"));
}

int cropTypeFromCounter(int cropIndex)
{
    return cropIsOn(cropIndex) ? 1 : 0;
}

int32_t rotationFromDegrees(double degrees)
{
    const double whole = std::trunc(degrees);
    if (!std::isfinite(whole) || whole > double(std::numeric_limits<int32_t>::max()) ||
        whole < double(std::numeric_limits<int32_t>::min()))
        return 0;
    return int32_t(whole);
}

namespace {

// The saved window's values while they count, else the file's; none without a file.
const Settings *pdfChoices(const Settings *window, const Settings::Stored &file)
{
    return window ? window : file.fileExists ? &file.values : nullptr;
}

} // namespace

bool jpegPdfPages(const Settings *window, const Settings::Stored &file)
{
    const Settings *chosen = pdfChoices(window, file);
    return chosen && chosen->jpegPdfPages();
}

bool recognizesText(const Settings *window, const Settings::Stored &file)
{
    const Settings *chosen = pdfChoices(window, file);
    return chosen && chosen->recognizesText();
}

ScanPlan planScan(const ScanInputs &in)
{
    ScanPlan plan;
    // Every byte zero, gaps included, so the record crosses the library
    // boundary the same each time; all-zero is a valid state of MPoint.
    std::memset(static_cast<void *>(&plan.param), 0, sizeof plan.param);

    if (in.formatFromWindow)
        plan.formatCode = in.window.fileFormat;
    else if (in.file.fileExists)
        plan.formatCode = in.file.values.fileFormat;
    else
        plan.formatCode = FormatJpg;
    const bool pdf = isPdfFormat(plan.formatCode);

    const QString jpegName = QStringLiteral("%1.%2").arg(in.stamp, QStringLiteral("jpg"));
    const QString pdfName = QStringLiteral("%1.%2").arg(in.stamp, QStringLiteral("pdf"));

    // What the settings file says, or the defaults when it is missing.
    bool water = false;
    int red = 0, green = 0, blue = 0;
    bool textEnhance = false;
    QString waterText;
    QString fileFolder = in.homeDir;
    if (in.file.fileExists) {
        const Settings &file = in.file.values;
        water = file.water;
        blue = file.blue;
        green = file.green;
        red = file.red;
        textEnhance = file.textEnhance;
        waterText = file.waterContent;
        // An empty folder (a truncated or hand-edited file) would put scans
        // at the root of the file system: the settings window's fallback.
        if (!file.folder.trimmed().isEmpty())
            fileFolder = file.folder;
    }
    plan.settingsFolder = fileFolder;
    plan.jpegPdfPages = jpegPdfPages(in.valuesFromWindow ? &in.window : nullptr, in.file);
    plan.recognizesText = recognizesText(in.valuesFromWindow ? &in.window : nullptr, in.file);

    if (in.valuesFromWindow) {
        water = in.window.water;
        red = in.window.red;
        green = in.window.green;
        blue = in.window.blue;
        textEnhance = in.window.textEnhance;
        waterText = in.window.waterContent;
        plan.folder = in.window.folder.trimmed().isEmpty() ? fileFolder : in.window.folder;
    } else {
        plan.folder = fileFolder;
    }

    IMAGEPARAM &p = plan.param;
    p.nCropType = cropTypeFromCounter(in.cropIndex);
    p.nRotate = rotationFromDegrees(in.rotation);
    p.nColorType = 0;
    p.bIsWater = water;
    p.nR = red;
    p.nG = green;
    p.nB = blue;
    p.bIsTextEn = textEnhance;
    p.nFont = 0;
    plan.waterContent = waterText.toUtf8();

    plan.filePath = QStringLiteral("%1/%2").arg(plan.folder, jpegName);
    if (pdf) {
        plan.pdfPath = QStringLiteral("%1/%2").arg(plan.folder, pdfName);
        plan.captureJpegPath = QStringLiteral("%1/%2").arg(in.pageFolder, jpegName);
        plan.listShownPath = plan.pdfPath;
        plan.listPagePath = plan.captureJpegPath;
    } else {
        plan.captureJpegPath = plan.filePath;
        plan.listShownPath = plan.filePath;
        plan.listPagePath = plan.filePath;
    }
    return plan;
}

} // namespace scanplan
