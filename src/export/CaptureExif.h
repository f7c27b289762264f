#pragma once
// EXIF for a saved capture, so the picture carries its own evidence: the
// moment of the frame (the recording's start from its name plus the frame's
// second) as DateTimeOriginal, the camera's position, altitude, speed and
// direction of that second when the track has them, the camera model as
// Model and the application as Software. Written with libexiv2 into the JPEG
// bytes before they are saved.
#include <QByteArray>
#include <QImage>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class GpsData;

struct CaptureExif {
    std::string dateTimeOriginal;    // "YYYY:MM:DD HH:MM:SS", local time; empty when unknown
    std::optional<double> latitude;  // degrees, south negative (with longitude)
    std::optional<double> longitude; // degrees, west negative
    std::optional<double> altitude;  // metres
    std::optional<double> speedKmh;
    std::optional<double> direction; // degrees from true north
    std::string model;
    std::string software;
    std::string imageDescription; // empty: none written
};

// The description of a capture of part of a frame: the zoom it was shown at
// and the part, in the frame's pixels.
std::string pmZoomedCaptureDescription(double factor, int x, int y, int width, int height, int frameWidth,
                                       int frameHeight);

// What a capture of `recordingPath` at `positionSeconds` into it carries:
// the moment when the name holds a real date and time, and the readings of
// `sample` (the track's sample of that second, or null) that are readings.
CaptureExif pmCaptureExifFor(const std::string& recordingPath, double positionSeconds, const GpsData* sample,
                             const std::string& model, const std::string& software);

// Adds the tags to JPEG bytes in place. False (the bytes unchanged, a log
// line written) when they are not a JPEG libexiv2 can write.
bool pmAddCaptureExif(std::string& jpeg, const CaptureExif& exif);

// What the capture window calls with each picture's JPEG bytes before they
// are saved: camera 2's picture (the image `camera2Image` shares its data
// with) gets `camera2`, any other picture `camera1`.
std::function<void(QByteArray& jpeg, const QImage& picture)>
pmCaptureExifWriter(const CaptureExif& camera1, const CaptureExif& camera2, const QImage& camera2Image);

// The same for any number of pictures: each picture gets the tags of the
// entry it shares its data with, any other picture those of the first entry.
std::function<void(QByteArray& jpeg, const QImage& picture)>
pmCaptureExifWriter(const std::vector<std::pair<QImage, CaptureExif>>& byPicture);
