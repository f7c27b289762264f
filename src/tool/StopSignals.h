#pragma once
// SIGINT, SIGTERM and SIGHUP during a long command: the work is asked to stop
// through its cancel flag and cleans up after itself; then the process ends
// by the same signal, so a shell or a supervisor sees what stopped it.
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

// After the work: when a signal stopped it, says so and ends the process by
// that signal (true is answered only if the signal did not end it).
inline bool pmStoppedBySignal(const char* command)
{
    const int signal = stopsignals::g_signal;
    if (!signal)
        return false;
    std::fprintf(stderr, "rovixtool: %s: stopped by signal %d; nothing unfinished is left\n", command,
                 signal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return true;
}
