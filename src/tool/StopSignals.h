#pragma once
// SIGINT, SIGTERM and SIGHUP during a long command: the work is asked to stop
// through its cancel flag and cleans up after itself; then the command exits
// with 1, its documented status for work that did not complete, and says on
// stderr which signal stopped it.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <initializer_list>

namespace stopsignals
{
inline std::atomic<bool>* g_cancel = nullptr;
inline volatile std::sig_atomic_t g_signal = 0;

inline void onSignal(int signal)
{
    g_signal = signal;
    if (g_cancel)
        g_cancel->store(true);
}
} // namespace stopsignals

// Routes the three signals to `cancel` for the rest of the run.
inline void pmCancelOnStopSignals(std::atomic<bool>& cancel)
{
    stopsignals::g_cancel = &cancel;
    struct sigaction action {
    };
    action.sa_handler = stopsignals::onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

// After the work: true (and a line on stderr) when a signal stopped it; the
// caller then exits with 1. Dying by the signal instead would contradict the
// documented statuses that scripts test for.
inline bool pmStoppedBySignal(const char* command)
{
    const int signal = stopsignals::g_signal;
    if (!signal)
        return false;
    std::fprintf(stderr, "rovixtool: %s: stopped by signal %d; nothing unfinished is left\n", command,
                 signal);
    return true;
}
