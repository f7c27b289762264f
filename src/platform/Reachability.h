#pragma once
// Whether the internet can be reached by any route. Asks the platform's
// network information service; where it has no answer (no backend, or one
// that says "unknown"), any running, non-loopback interface with a routable
// address counts as a route.
//
// Tests and demos can force the answer: the environment variable
// ROVIX_INTERNET ("on"/"1" or "off"/"0") or setForced(). Must run on the main thread.
#include <optional>

// The check every feature asks before going online; logs the two check lines
// when a route exists.
bool pmIsInternetConnected();

class Reachability
{
public:
    static bool isInternetReachable();

    // A forced answer wins over the environment and the platform; nullopt clears it.
    static void setForced(std::optional<bool> forced);

private:
    static std::optional<bool> forcedByEnvironment();
    static std::optional<bool> platformAnswer();
    static bool anyRoutableInterface();
};
