#ifndef AUTOCAPTUREWATCH_H
#define AUTOCAPTUREWATCH_H

#include "core/autocapture.h"

#include <QElapsedTimer>

// The automatic capture as the program runs it: on or off (kept in the
// settings file under "AutoCapture"), and a look at the shared frame a few
// times a second, reduced under the frame lock without copying it, with the
// page outline the camera draws where it draws one; a page at rest after a
// turn is compared on a large grey copy taken once.
class AutoCaptureWatch
{
public:
    // Reads whether it was on when the program last ran.
    AutoCaptureWatch();

    bool isOn() const { return m_on; }
    // Switches it and keeps the choice in the settings file.
    void toggle();
    // A page scanned by hand is not taken again.
    void markScanned();
    // Watch afresh: a page at rest that could not be scanned is taken later.
    void reset() { m_watcher.reset(); }
    // For each new frame: true when a new page lies at rest and should be scanned.
    bool newPageAtRest();

private:
    AutoCapture m_watcher;
    QElapsedTimer m_clock;
    bool m_on = false;
};

#endif
