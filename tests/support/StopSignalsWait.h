#pragma once
// For tests that stop a command with a signal: waits until the process has
// its own handlers for SIGINT, SIGTERM and SIGHUP (its SigCgt in /proc), so
// that a signal sent afterwards meets the command's handling, not the
// default action of a process still starting.
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <string>
#include <sys/types.h>
#include <thread>

namespace stopsignalswait
{

// True once the handlers are in place, or when the process has already
// finished (the signal then finds nothing to stop); false after 5 s.
inline bool catchesStopSignals(pid_t pid)
{
    const uint64_t wanted = (1ull << (SIGINT - 1)) | (1ull << (SIGTERM - 1)) | (1ull << (SIGHUP - 1));
    for (int i = 0; i < 5000; ++i) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("State:", 0) == 0 && line.find('Z') != std::string::npos)
                return true;
            if (line.rfind("SigCgt:", 0) == 0 &&
                (std::stoull(line.substr(7), nullptr, 16) & wanted) == wanted)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

} // namespace stopsignalswait
