#include "core/PrintLayout.h"

#include <cstdio>

namespace
{
constexpr float kWideAspect = 1.7777778f; // height / width at and above which nothing is corrected
constexpr float kNoAltitude = 65535.0f;
constexpr double kMilesPerKm = 0.62137;

// Shrinks one side of the area so that a frame w x h fills it without distortion.
void fitFrame(PmFrameF& r, double pageWidth, double w, double h)
{
    if (w <= 0 || h <= 0)
        return;
    const float sx = static_cast<float>((pageWidth - 20) / w);
    const float sy = static_cast<float>(r.height / h);
    if (sx > sy)
        r.width = static_cast<int>(sy * static_cast<float>(w));
    else
        r.height = static_cast<int>(sx * static_cast<float>(h));
}

std::string format(const char* pattern, double value, const std::string& unit)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text + unit;
}
} // namespace

PrintLayout pmPrintLayout(double W, double H, int option, double w1, double h1, double w2, double h2,
                          double lineHeight)
{
    PrintLayout l;
    l.rectVideo = {10, 10, W - 20, 56 * (W - 20) / 100};
    if (option == PrintBothCameras) {
        l.rectVideo.height = 32 * H / 100;
        fitFrame(l.rectVideo, W, w1, h1);
        l.rectVideo2 = l.rectVideo;
        l.rectVideo2.y = l.rectVideo.y + l.rectVideo.height + 10;
        l.rectVideo2.height = static_cast<int>(67 * H / 100) - l.rectVideo.height - 10;
        fitFrame(l.rectVideo2, W, w2, h2);
    } else {
        l.rectVideo2 = {10, 10, l.rectVideo.width, l.rectVideo.height};
    }
    l.rectGSensor = {W / 2, l.rectVideo2.y + l.rectVideo2.height + 10, W / 2 - 10, 62 * (W / 2 - 10) / 100};

    const double y0 = static_cast<int>(l.rectGSensor.y);
    const double gap = static_cast<int>((l.rectGSensor.height - 100) * 0.25);
    PmFrameF* rows[] = {&l.rectDirection, &l.rectLongitude, &l.rectLatitude, &l.rectAltitude, &l.rectSpeed};
    for (int i = 0; i < 5; ++i)
        *rows[i] = {10, y0 + i * (gap + 20), W / 2 - 10, 20};
    l.rectDate = {W / 2, H - 30, W / 2 - 10, 20};

    // From the top-left origin to the bottom-left one.
    for (PmFrameF* r : {&l.rectVideo, &l.rectVideo2, &l.rectGSensor})
        r->y = H - r->height - r->y;
    for (PmFrameF* r : rows) {
        r->y = H - r->height - r->y;
        r->y += (r->height - lineHeight) / 2;
        r->height = lineHeight;
    }
    l.rectDate.y = H - 20 - l.rectDate.y;
    return l;
}

PmFrameF pmPrintFitSingleFrame(const PmFrameF& rectVideo, double frameWidth, double frameHeight)
{
    PmFrameF r = rectVideo;
    if (frameWidth <= 0 || frameHeight <= 0)
        return r;
    const float ratio = static_cast<float>(frameHeight / frameWidth);
    if (ratio < kWideAspect) {
        if (ratio <= 0.5f)
            r.height = frameHeight * (r.width / frameWidth);
        else
            r.width = r.height / ratio;
    }
    return r;
}

PmFrameF pmMakeHalfRect(const PmFrameF& rect)
{
    return {rect.x + rect.width / 2, rect.y, rect.width / 2, rect.height};
}

PrintValueTexts pmPrintValueTexts(const PrintSample& s, int speedUnit, const std::string& degreeText)
{
    PrintValueTexts t;
    const bool noPosition = s.longitude == 0 || s.latitude == 0;
    t.altitude = (s.altitude >= kNoAltitude || noPosition) ? "-" : format("%.1f", s.altitude, " m");
    if (noPosition || s.speed < 0) {
        t.longitude = t.latitude = t.speed = "-";
        return t;
    }
    t.longitude = format("%.5f", s.longitude, degreeText);
    t.latitude = format("%.5f", s.latitude, degreeText);
    if (speedUnit != 0)
        t.speed = format("%.0f", s.speed * kMilesPerKm, " mph");
    else
        t.speed = format("%.0f", s.speed, " km/h");
    return t;
}

std::string pmPrintDateText(const std::string& caption, int year, int month, int day)
{
    char text[32];
    std::snprintf(text, sizeof text, " : %04d/%02d/%02d", year % 10000, month % 100, day % 100);
    return caption + text;
}
