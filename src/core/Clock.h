#pragma once
// The one clock of the program: log lines, export descriptions and capture
// names all read the time here, so a test (or a reproducible export) can fix
// it in one place. Thread-safe.
#include <chrono>
#include <functional>

using Clock = std::function<std::chrono::system_clock::time_point()>;

std::chrono::system_clock::time_point pmNow();
// Replaces the clock; an empty function restores the system clock.
void pmSetClock(Clock clock);
