#ifndef RESOLUTIONTEXT_H
#define RESOLUTIONTEXT_H

#include <QString>
#include <QStringList>

// Capture resolutions as the windows show them: width, "x", height, decimal.
// Reading such a text back is parseResolution (previewfit.h).
namespace ResolutionText {

QString format(long width, long height);

// Asks the camera library for the resolutions of `device` (format 0) and
// returns them as texts; an unknown device or a failing call gives none.
QStringList listForDevice(long device);

} // namespace ResolutionText

#endif
