#include "core/HarshEvents.h"

#include "core/GpsList.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace
{

// Fewer readings than this give no trustworthy median: the axes are then
// taken as mounted level.
constexpr std::size_t kMinReadingsForBaseline = 10;
constexpr double kPi = 3.14159265358979323846;

double median(std::vector<float>& values)
{
    if (values.size() < kMinReadingsForBaseline)
        return 0;
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

// One second's strongest exceedance, or none.
struct Hit {
    bool any = false;
    HarshKind kind = HarshKind::Brake;
    double magnitude = 0;
};

Hit strongest(double longitudinal, double lateral, double threshold)
{
    Hit hit;
    auto consider = [&](HarshKind kind, double magnitude) {
        if (magnitude >= threshold && magnitude > hit.magnitude)
            hit = Hit{true, kind, magnitude};
    };
    consider(HarshKind::Brake, -longitudinal);
    consider(HarshKind::Accel, longitudinal);
    consider(HarshKind::Turn, std::fabs(lateral));
    return hit;
}

// Joins the hits of consecutive seconds of one kind into one mark.
class MarkBuilder
{
public:
    explicit MarkBuilder(bool fromSpeed) : m_fromSpeed(fromSpeed) {}

    void add(int second, const Hit& hit)
    {
        if (!hit.any) {
            m_open = false;
            return;
        }
        if (m_open && m_lastSecond == second - 1 && m_marks.back().kind == hit.kind) {
            m_marks.back().peak = std::max(m_marks.back().peak, hit.magnitude);
        } else {
            m_marks.push_back(HarshMark{second, hit.kind, hit.magnitude, m_fromSpeed});
            m_open = true;
        }
        m_lastSecond = second;
    }
    std::vector<HarshMark> take() { return std::move(m_marks); }

private:
    bool m_fromSpeed;
    bool m_open = false;
    int m_lastSecond = -2;
    std::vector<HarshMark> m_marks;
};

std::vector<HarshMark> fromSensor(const std::deque<GpsData>& samples, double threshold)
{
    std::vector<float> xs, ys;
    xs.reserve(samples.size());
    ys.reserve(samples.size());
    for (const GpsData& s : samples) {
        if (s.isReading()) {
            xs.push_back(s.fGSensorX());
            ys.push_back(s.fGSensorY());
        }
    }
    const double baseX = median(xs);
    const double baseY = median(ys);
    MarkBuilder marks(false);
    int second = 0;
    for (const GpsData& s : samples) {
        if (s.isReading())
            marks.add(second, strongest(s.fGSensorX() - baseX, s.fGSensorY() - baseY, threshold));
        else
            marks.add(second, Hit{});
        ++second;
    }
    return marks.take();
}

bool hasFix(const GpsData& s)
{
    return s.isReading() && s.fSpeed() >= 0 && (s.fLatitude() != 0 || s.fLongitude() != 0);
}

std::vector<HarshMark> fromSpeed(const std::deque<GpsData>& samples, double thresholdG)
{
    const double threshold = thresholdG * harsh::kKmhPerSecondPerG;
    MarkBuilder marks(true);
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const GpsData& a = samples[i - 1];
        const GpsData& b = samples[i];
        Hit hit;
        if (hasFix(a) && hasFix(b)) {
            const double longitudinal = static_cast<double>(b.fSpeed()) - a.fSpeed();
            double lateral = 0;
            const double speed = (static_cast<double>(a.fSpeed()) + b.fSpeed()) / 2;
            if (speed >= harsh::kMinTurnSpeedKmh && a.fDirection() >= 0 && b.fDirection() >= 0 &&
                a.fDirection() <= 360 && b.fDirection() <= 360) {
                double turn = std::fabs(static_cast<double>(b.fDirection()) - a.fDirection());
                if (turn > 180)
                    turn = 360 - turn;
                lateral = speed * turn * kPi / 180.0; // km/h x rad/s = km/h per second
            }
            hit = strongest(longitudinal, lateral, threshold);
        }
        marks.add(static_cast<int>(i), hit);
    }
    return marks.take();
}

} // namespace

std::string harshThresholdProblem(double thresholdG)
{
    if (!std::isfinite(thresholdG) || thresholdG < harsh::kMinThresholdG ||
        thresholdG > harsh::kMaxThresholdG) {
        char text[120];
        std::snprintf(text, sizeof text, "the threshold must be between %.1f and %.1f g",
                      harsh::kMinThresholdG, harsh::kMaxThresholdG);
        return text;
    }
    return {};
}

bool parseHarshThreshold(const std::string& text, double& thresholdG, std::string& why)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = text.empty() || std::isspace(static_cast<unsigned char>(text[0]))
                             ? std::nan("")
                             : std::strtod(begin, &end);
    if (!end || *end != '\0' || !std::isfinite(value)) {
        why = "the threshold \"" + text + "\" is not a number of g";
        return false;
    }
    why = harshThresholdProblem(value);
    if (!why.empty())
        return false;
    thresholdG = value;
    return true;
}

std::vector<HarshMark> findHarshMarks(const GpsList& list, double thresholdG)
{
    if (!harshThresholdProblem(thresholdG).empty())
        return {};
    if (list.IsGSensorReady())
        return fromSensor(list.gpslist(), thresholdG);
    if (list.IsGPSReady())
        return fromSpeed(list.gpslist(), thresholdG);
    return {};
}

const char* harshKindName(HarshKind kind)
{
    switch (kind) {
    case HarshKind::Brake:
        return "brake";
    case HarshKind::Accel:
        return "accel";
    case HarshKind::Turn:
        return "turn";
    }
    return "brake";
}

std::string formatHarshMark(const HarshMark& mark)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d %s %.2f", mark.second, harshKindName(mark.kind), mark.peak);
    return text;
}
