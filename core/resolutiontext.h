#ifndef RESOLUTIONTEXT_H
#define RESOLUTIONTEXT_H

#include <QString>
#include <QStringList>

// Capture resolutions as the windows show them: width, "x", height, decimal.
// Writing and reading such a text live here and nowhere else.
namespace ResolutionText {

QString format(long width, long height);

// Asks the camera library for the resolutions of `device` (format 0) and
// returns them as texts; an unknown device or a failing call gives none.
QStringList listForDevice(long device);

} // namespace ResolutionText

// "1920x1080" -> 1920, 1080. False (and the outputs untouched) for anything
// that is not two positive decimal numbers around an "x".
bool parseResolution(const QString &text, int *width, int *height);

#endif
