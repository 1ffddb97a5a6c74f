#include "core/heldkeygate.h"

bool HeldKeyGate::press(quint32 timeMs, bool autoRepeat)
{
    if (autoRepeat)
        return false;
    const bool wasDown = m_down;
    m_down = true;
    if (wasDown)
        return false;
    // Unsigned difference: right across a wrap of the server's clock.
    return !m_released || timeMs - m_lastRelease >= kMinUpMs;
}

void HeldKeyGate::release(quint32 timeMs, bool autoRepeat)
{
    if (autoRepeat)
        return;
    m_down = false;
    m_released = true;
    m_lastRelease = timeMs;
}
