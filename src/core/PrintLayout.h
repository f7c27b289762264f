#pragma once
// The printed page of the current moment, laid out from the page size alone:
// the video frame (one camera, or both stacked), the G-sensor picture, five
// caption/value rows (direction, longitude, latitude, altitude, speed) and
// the print date. Positions are worked out from the top-left corner and
// handed out with the bottom-left origin of every other layout (core/Frame.h).
// Also the value texts of those rows, with their "-" rules.
#include "core/Frame.h"

#include <string>

// Which frames are printed: one camera's recording, camera 1 or camera 2 of
// a pair, or both.
enum PrintOption : int { PrintOneCamera = 0, PrintCamera1 = 1, PrintCamera2 = 2, PrintBothCameras = 3 };

struct PrintLayout {
    PmFrameF rectVideo;
    PmFrameF rectVideo2;
    PmFrameF rectGSensor;
    PmFrameF rectDirection;
    PmFrameF rectLongitude;
    PmFrameF rectLatitude;
    PmFrameF rectAltitude;
    PmFrameF rectSpeed;
    PmFrameF rectDate;
};

// The page W x H for an option, with camera 1's and camera 2's frame sizes
// (only used when both are printed) and the line height of the row font (the
// height of "TEST"), which centres each row's text vertically.
PrintLayout pmPrintLayout(double pageWidth, double pageHeight, int option, double w1, double h1, double w2,
                          double h2, double lineHeight);

// The single frame's area corrected for the frame's aspect (frameW x frameH)
// when one camera is printed: frames wider than 16:9 keep the width (2:1 and
// wider) or take the width that fits the height; x and the bottom edge stay.
PmFrameF pmPrintFitSingleFrame(const PmFrameF& rectVideo, double frameWidth, double frameHeight);

// A rectangle's right half (x moved right by half the width, width halved).
PmFrameF pmMakeHalfRect(const PmFrameF& rect);

// The current second's sample as the page prints it (no sample: direction -1,
// everything else 0).
struct PrintSample {
    float direction = -1;
    float longitude = 0;
    float latitude = 0;
    float altitude = 0;
    float speed = 0; // km/h
};

struct PrintValueTexts {
    std::string longitude;
    std::string latitude;
    std::string altitude;
    std::string speed;
};

// Longitude, latitude and speed print "-" without a position (either
// coordinate 0) or with a negative speed; the altitude prints "-" without a
// position or at 65535 m and above. speedUnit 0 is km/h, otherwise mph.
PrintValueTexts pmPrintValueTexts(const PrintSample& sample, int speedUnit, const std::string& degreeText);

// "<caption> : YYYY/MM/DD".
std::string pmPrintDateText(const std::string& caption, int year, int month, int day);
