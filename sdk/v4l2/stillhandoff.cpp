#include "sdk/v4l2/stillhandoff.h"

namespace orvix {

void StillHandoff::setRunning(bool running)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = running;
    }
    m_changed.notify_all();
}

bool StillHandoff::running()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running;
}

StillHandoff::Outcome StillHandoff::wait(Frame &out, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_running)
        return Outcome::NotRunning;
    const uint64_t generation = m_generation;
    m_refusedForSize = false;
    ++m_requests;
    m_since = Clock::now();
    m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [&] { return m_generation != generation || !m_running; });
    if (m_generation != generation) {
        out = m_still;
        return Outcome::Taken;
    }
    if (m_requests > 0)
        --m_requests;
    if (!m_running)
        return Outcome::Ended;
    return m_refusedForSize ? Outcome::WrongSizeOnly : Outcome::TimedOut;
}

bool StillHandoff::wanted(Clock::time_point &since)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    since = m_since;
    return m_requests > 0;
}

void StillHandoff::publish(const Frame &frame)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_still = frame;
        ++m_generation;
        m_requests = 0;
    }
    m_changed.notify_all();
}

void StillHandoff::refusedForSize()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refusedForSize = true;
}

} // namespace orvix
