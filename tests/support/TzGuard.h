#pragma once
// This computer's time zone set for one test, and the one before put back.
#include <cstdlib>
#include <ctime>
#include <string>

struct TzGuard {
    std::string old;
    bool had;
    explicit TzGuard(const char* tz) : had(std::getenv("TZ") != nullptr)
    {
        if (had)
            old = std::getenv("TZ");
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TzGuard()
    {
        if (had)
            setenv("TZ", old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    TzGuard(const TzGuard&) = delete;
    TzGuard& operator=(const TzGuard&) = delete;
};
