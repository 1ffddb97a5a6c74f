#ifndef AUTOCAPTUREWATCH_H
#define AUTOCAPTUREWATCH_H

#include "core/autocapture.h"
#include "core/capturesession.h"

#include <QElapsedTimer>

// The automatic capture as the program runs it: on or off (kept in the
// settings file under "AutoCapture"), and a look at the frames the session
// hands over a few times a second, with the page outline the camera drew on
// that same frame where it draws one; a page at rest after a turn is compared
// on a large grey copy of that frame, taken once.
class AutoCaptureWatch
{
public:
    // Reads whether it was on when the program last ran.
    AutoCaptureWatch();

    bool isOn() const { return m_on; }
    // Switches it and keeps the choice in the settings file.
    void toggle();
    // A page scanned by hand, `frame` the picture in view, is not taken again.
    void markScanned(const CaptureSession::Frame &frame);
    // Watch afresh: a page at rest that could not be scanned is taken later.
    void reset() { m_watcher.reset(); }
    // For each new frame: true when a new page lies at rest and should be scanned.
    bool newPageAtRest(const CaptureSession::Frame &frame);

private:
    AutoCapture m_watcher;
    QElapsedTimer m_clock;
    bool m_on = false;
};

#endif
