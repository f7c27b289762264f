#pragma once
// Harsh-driving marks found in a recording's track: hard braking, hard
// acceleration and sharp turns.
//
// Axis convention of the G-sensor values (GpsData::fGSensorX/Y/Z, in g): X is
// along the car (positive when it speeds up, negative when it brakes), Y is
// across it (either sign is a turn), Z is vertical (gravity, about 1 g, never
// used). That is how the cameras we read mount the sensor: X carries the
// speed changes the positions show, Z carries gravity. A camera mounted at a
// slight tilt adds a constant to every axis, so each axis is measured against
// its own median over the recording, not against zero.
//
// A track without G-sensor data is judged from its speeds instead: the change
// between two consecutive seconds with a fix is the longitudinal acceleration,
// speed times the change of course the lateral one. Those marks are in km/h
// per second (1 g = 35.3 km/h per second, and the threshold is converted).
//
// A manoeuvre that stays above the threshold over consecutive seconds is one
// mark: its first second (where the user wants to start watching) and its peak.
// Seconds the track only padded (GpsData::isReading false) are never judged.
// The camera's own event recordings are a separate matter (chooseEventMark).
#include <string>
#include <vector>

class GpsList;

enum class HarshKind { Brake, Accel, Turn };

struct HarshMark {
    int second = 0; // whole second into the recording where the manoeuvre starts
    HarshKind kind = HarshKind::Brake;
    double peak = 0; // largest magnitude: g, or km/h per second when fromSpeed
    bool fromSpeed = false;
};

namespace harsh
{
constexpr double kDefaultThresholdG = 0.45;
constexpr double kMinThresholdG = 0.1;
constexpr double kMaxThresholdG = 2.0; // a raw count saturates at 2.05 g
constexpr double kKmhPerSecondPerG = 9.80665 * 3.6;
// Below this speed a course is noise, not a turn.
constexpr double kMinTurnSpeedKmh = 10.0;
} // namespace harsh

// "" when the threshold is usable, else why not (in the user's words).
std::string harshThresholdProblem(double thresholdG);
// Parses a threshold given as text; false with `why` filled when it is not a
// plain number inside the range.
bool parseHarshThreshold(const std::string& text, double& thresholdG, std::string& why);

// The marks of a track, in time order. A threshold outside the range gives none.
std::vector<HarshMark> findHarshMarks(const GpsList& list, double thresholdG = harsh::kDefaultThresholdG);

const char* harshKindName(HarshKind kind); // "brake", "accel", "turn"
// "SECOND KIND PEAK" with the peak to two decimals, no line end.
std::string formatHarshMark(const HarshMark& mark);
