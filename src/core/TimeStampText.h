#pragma once
// The four-line text drawn over a rear-camera picture (and printed into frame
// captures): free text and camera model, frame date/time with speed, and the
// position in degrees/minutes/seconds or the three G values. Pure: every input
// the text depends on is passed in.
#include "core/FileRules.h"

#include <optional>
#include <string>

struct TimeStampInputs {
    _SYSTEMTIME rearCamTime;      // start of the rear recording, from its name; year 0 = none
    double currentTime = 0;       // playback position in seconds (its whole second is used)
    std::string degreeText = "°"; // text of the degree unit

    int speedUnit = 0; // the unit the user chose: 0 km/h, otherwise mph (with or without a track)
    bool hasTrack = false;
    bool showSpeed = true;
    int stampType = 0;     // 0 position line, otherwise the G line
    std::string textStamp; // free text, may be empty
    std::string modelName; // camera model, may be empty

    bool hasSample = false;
    float latitude = 0, longitude = 0, speed = 0;
    float gx = 0, gy = 0, gz = 0;
};

// The whole second a frame at this playback position (seconds) is in: the
// position truncated, after a millisecond's allowance for a frame time that
// lands a hair under its second in floating point. 0 for a negative or
// unknown position.
int pmFrameSecond(double position);

// Degrees, minutes and seconds of one coordinate: "N 35°41'22.3\"".
std::string pmFormatDegree(bool isLatitude, float value, const std::string& degreeText);

// The overlay text, or none when there is no start date. A start time whose
// fields are not a real date or time (month 13, hour 25, ...) shows dashes in
// place of the date and time rather than a rolled-over moment it never was.
std::optional<std::string> pmBuildTimeStampString(const TimeStampInputs& in);

struct OverlayPoint {
    int x = 0;
    int y = 0;
};

// Where the overlay of size (w, h) goes so that its lower right corner lies
// 10 points inside the lower right corner of the picture fitted into the host
// frame (x0, y0, W, H), bottom-left origin. A 0 video dimension uses the host's.
OverlayPoint pmPlaceTimeStamp(float x0, float y0, float hostW, float hostH, float videoW, float videoH,
                              float w, float h);
