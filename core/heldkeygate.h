#ifndef HELDKEYGATE_H
#define HELDKEYGATE_H

#include <QtGlobal>

// Decides which presses of a key are new presses. A held key under X
// arrives as release/press pairs a few milliseconds apart, often without
// the auto-repeat flag, and a bouncing pedal looks the same; so a press
// counts only when no key it watches is down and the last one came up at
// least kMinUpMs before. Times are key event times in milliseconds; they
// may wrap at 32 bits, as X server times do.
class HeldKeyGate
{
public:
    // Auto-repeat pairs come a few ms apart, a quick double tap on a pedal
    // some 100 ms or more after the release.
    static constexpr quint32 kMinUpMs = 150;

    // True when this press is a new press.
    bool press(quint32 timeMs, bool autoRepeat);
    void release(quint32 timeMs, bool autoRepeat);
    // The keys may have come up unseen (the window lost the keyboard).
    void forgetHeldKeys() { m_down = false; }

private:
    bool m_down = false;
    bool m_released = false;
    quint32 m_lastRelease = 0;
};

#endif
