#include "core/Clock.h"

#include <mutex>

namespace
{
std::mutex& clockMutex()
{
    static std::mutex m;
    return m;
}

Clock& clockSlot()
{
    static Clock c;
    return c;
}
} // namespace

std::chrono::system_clock::time_point pmNow()
{
    Clock clock;
    {
        std::lock_guard<std::mutex> lock(clockMutex());
        clock = clockSlot();
    }
    return clock ? clock() : std::chrono::system_clock::now();
}

void pmSetClock(Clock clock)
{
    std::lock_guard<std::mutex> lock(clockMutex());
    clockSlot() = std::move(clock);
}
