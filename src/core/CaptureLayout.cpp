#include "core/CaptureLayout.h"

#include <cstdio>
#include <ctime>

TimeStampPlacement pmTimeStampPlacement(double frameWidth)
{
    TimeStampPlacement p;
    const bool small = frameWidth < 1280;
    p.fontSize = small ? 12 : 18;
    p.x = static_cast<int>(frameWidth - (small ? 200 : 300));
    p.y = 10;
    return p;
}

CombinedLayout pmCombineLayout(int w1, int h1, int w2, int h2)
{
    CombinedLayout out;
    if (w1 <= 0 || h1 <= 0)
        return out;
    double h2Scaled = h2 > 0 ? h2 : 0;
    double w2Drawn = w2 > 0 ? w2 : 0;
    if (w2 > 0 && h2 > 0 && w1 > w2) {
        // The ratio is taken in single precision, as the preview always did.
        h2Scaled = static_cast<double>(static_cast<float>(h2) / static_cast<float>(w2)) * w1;
        w2Drawn = w1;
    }
    out.width = w1;
    out.height = h1 + static_cast<int>(h2Scaled);
    out.camera2 = {0, 0, w2Drawn, h2Scaled};
    out.camera1 = {0, static_cast<double>(static_cast<int>(h2Scaled)), static_cast<double>(w1),
                   static_cast<double>(h1)};
    return out;
}

CaptureDate pmCaptureDate(std::chrono::system_clock::time_point when)
{
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    CaptureDate d;
    d.year = local.tm_year + 1900;
    d.month = local.tm_mon + 1;
    d.day = local.tm_mday;
    d.hour = local.tm_hour;
    d.minute = local.tm_min;
    d.second = local.tm_sec;
    return d;
}

std::string pmCaptureFileName(const CaptureDate& d, int kind)
{
    char name[64];
    const char* suffix = kind == 1 ? "-1" : kind == 2 ? "-2" : "";
    std::snprintf(name, sizeof name, "%04d%02d%02d-%02d%02d%02d%s.jpg", d.year % 10000, d.month % 100,
                  d.day % 100, d.hour % 100, d.minute % 100, d.second % 100, suffix);
    return name;
}
