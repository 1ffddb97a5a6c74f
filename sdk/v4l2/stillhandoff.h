// Stills asked for on any thread and handed over by a delivery thread: who
// waits, since when, and what came. The delivery thread decides which frame
// will do; this only keeps the waiters and the frame apart safely.
#ifndef ORVIX_STILLHANDOFF_H
#define ORVIX_STILLHANDOFF_H

#include "sdk/frame.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace orvix {

class StillHandoff
{
public:
    using Clock = std::chrono::steady_clock;
    enum class Outcome {
        Taken,
        NotRunning,    // no delivery thread when asked
        Ended,         // the delivery thread ended while we waited
        WrongSizeOnly, // frames came, none of the size agreed
        TimedOut,
    };

    // A delivery thread runs (true) or has ended (false); ending wakes every waiter.
    void setRunning(bool running);
    bool running();

    // Asks for a still captured from now on and waits for it.
    Outcome wait(Frame &out, int timeoutMs);

    // For the delivery thread: whether a still is wanted, and since when.
    bool wanted(Clock::time_point &since);
    void publish(const Frame &frame);
    // A frame that would have been the still came at another size.
    void refusedForSize();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_running = false;
    int m_requests = 0;
    Clock::time_point m_since; // the latest request: the still is captured after it
    uint64_t m_generation = 0;
    bool m_refusedForSize = false;
    Frame m_still;
};

} // namespace orvix

#endif
