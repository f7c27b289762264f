#include "core/TimeStampText.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace
{

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0)
        return std::string();
    return std::string(buf, static_cast<std::size_t>(std::min<int>(n, sizeof buf - 1)));
}

float finiteOrZero(float v)
{
    return std::isfinite(v) ? v : 0.0f;
}

} // namespace

std::string pmFormatDegree(bool isLatitude, float value, const std::string& degreeText)
{
    value = finiteOrZero(value);
    std::string hemisphere = isLatitude ? "N" : "E";
    if (value < 0) {
        hemisphere = isLatitude ? "S" : "W";
        value = -value;
    }
    std::string degrees = "0", minutes = "00", seconds = "00";
    if (value != 0.0f) {
        const int deg = static_cast<int>(value);
        const float min = (value - static_cast<float>(deg)) * 60.0f;
        const int minInt = static_cast<int>(min);
        const float sec = (min - static_cast<float>(minInt)) * 60.0f;
        degrees = format("%d", deg);
        minutes = format("%02d", minInt);
        seconds = format("%.1f", static_cast<double>(sec));
    }
    return hemisphere + " " + degrees + degreeText + minutes + "'" + seconds + "\"";
}

int pmFrameSecond(double position)
{
    if (!std::isfinite(position) || position <= 0)
        return 0;
    const double second = std::floor(position + 0.001);
    return second > 1e9 ? 1000000000 : static_cast<int>(second);
}

std::optional<std::string> pmBuildTimeStampString(const TimeStampInputs& in)
{
    if (in.rearCamTime.wYear == 0)
        return std::nullopt;

    // The unit is the one the user chose, with or without a track.
    const std::string unit = in.speedUnit != 0 ? "mph" : "km/h";
    bool showSpeed = true;
    int stampType = 0;
    std::string freeText = " ";
    bool freeTextPresent = false;
    if (in.hasTrack) {
        showSpeed = in.showSpeed;
        stampType = in.stampType;
        if (!in.textStamp.empty()) {
            freeText = in.textStamp;
            freeTextPresent = true;
        }
    }

    // Frame time: start time plus the whole seconds played, rolled over by the calendar.
    std::string dateTime;
    if (pmIsRealDateTime(in.rearCamTime)) {
        std::tm tm{};
        tm.tm_year = in.rearCamTime.wYear - 1900;
        tm.tm_mon = in.rearCamTime.wMonth - 1;
        tm.tm_mday = in.rearCamTime.wDay;
        tm.tm_hour = in.rearCamTime.wHour;
        tm.tm_min = in.rearCamTime.wMinute;
        tm.tm_sec = in.rearCamTime.wSecond;
        tm.tm_isdst = -1;
        std::time_t start = std::mktime(&tm);
        const std::time_t frame = start + static_cast<std::time_t>(pmFrameSecond(in.currentTime));
        std::tm out{};
        localtime_r(&frame, &out);
        dateTime = format("%04d/%02d/%02d %02d:%02d:%02d ", out.tm_year + 1900, out.tm_mon + 1, out.tm_mday,
                          out.tm_hour, out.tm_min, out.tm_sec);
    } else {
        dateTime = "----/--/-- --:--:-- ";
    }

    const bool hasModel = in.hasTrack && in.modelName.size() >= 2;
    const std::string modelLine = hasModel ? in.modelName : " ";

    float lat = 0, lon = 0, speed = 0, gx = 0, gy = 0, gz = 0;
    if (in.hasSample) {
        lat = finiteOrZero(in.latitude);
        lon = finiteOrZero(in.longitude);
        speed = finiteOrZero(in.speed);
        gx = finiteOrZero(in.gx);
        gy = finiteOrZero(in.gy);
        gz = finiteOrZero(in.gz);
    }
    if (unit == "mph" && speed >= 0)
        speed = speed * 0.62137f;
    float rounded = speed + 0.5f;
    if (rounded > 1e6f)
        rounded = 1e6f;
    if (rounded < -1e6f)
        rounded = -1e6f;
    const int shownSpeed = static_cast<int>(rounded);

    const std::string gLine = format("X: %.3f  Y: %.3f  Z: %.3f", static_cast<double>(gx),
                                     static_cast<double>(gy), static_cast<double>(gz));

    std::string line1 = freeText, line2 = modelLine;
    if (freeTextPresent && !hasModel) {
        line1 = " ";
        line2 = freeText;
    }
    const std::string head = line1 + "\n" + line2 + "\n" + dateTime;

    const bool valid = lon != 0.0f || lat != 0.0f;
    const std::string speedText = valid ? format("%d ", shownSpeed) + unit : "0 " + unit;
    std::string fourth;
    if (stampType == 0) {
        if (valid) {
            fourth =
                pmFormatDegree(true, lat, in.degreeText) + "  " + pmFormatDegree(false, lon, in.degreeText);
        } else {
            const std::string& d = in.degreeText;
            fourth = "- --" + d + " --' ----\" - --" + d + " --' ----\"";
        }
    } else {
        fourth = gLine;
    }

    std::string result = head;
    if (showSpeed)
        result += speedText;
    result += "\n";
    result += fourth;
    return result;
}

OverlayPoint pmPlaceTimeStamp(float x0, float y0, float hostW, float hostH, float videoW, float videoH,
                              float w, float h)
{
    (void)h;
    int vw = static_cast<int>(videoW);
    int vh = static_cast<int>(videoH);
    if (vw == 0 || vh == 0) {
        vw = static_cast<int>(hostW);
        vh = static_cast<int>(hostH);
    }
    OverlayPoint p;
    if (vw <= 0 || vh <= 0) {
        p.x = static_cast<int>(x0 + hostW - w - 10.0f);
        p.y = static_cast<int>(y0 + 10.0f);
        return p;
    }
    const float scale = std::min(hostW / static_cast<float>(vw), hostH / static_cast<float>(vh));
    const int shownW = static_cast<int>(static_cast<float>(vw) * scale);
    const int shownH = static_cast<int>(static_cast<float>(vh) * scale);
    const int marginX = static_cast<int>((hostW - static_cast<float>(shownW)) * 0.5f + 10.0f);
    const int marginY = static_cast<int>((hostH - static_cast<float>(shownH)) * 0.5f + 10.0f);
    p.x = static_cast<int>(x0 + hostW - w - static_cast<float>(marginX));
    p.y = static_cast<int>(y0 + static_cast<float>(marginY));
    return p;
}
