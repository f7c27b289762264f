#include "export/CaptureExif.h"

#include "base/Services.h"

#include "core/GpsData.h"
#include "core/Log.h"
#include "core/TrackExport.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <exiv2/exiv2.hpp>

namespace
{

// A non-negative value as an EXIF rational with `scale` as denominator.
Exiv2::URational rational(double value, uint32_t scale)
{
    return {static_cast<uint32_t>(std::llround(std::fabs(value) * scale)), scale};
}

// Degrees as degrees, minutes and seconds (to 1/1000 s), as GPS tags hold them.
Exiv2::URationalValue degrees(double value)
{
    const double total = std::fabs(value);
    const auto whole = static_cast<uint32_t>(total);
    const double minutesExact = (total - whole) * 60.0;
    const auto minutes = static_cast<uint32_t>(minutesExact);
    const double seconds = (minutesExact - minutes) * 60.0;
    Exiv2::URationalValue v;
    v.value_.push_back({whole, 1});
    v.value_.push_back({minutes, 1});
    v.value_.push_back(rational(seconds, 1000));
    return v;
}

void setRational(Exiv2::ExifData& exif, const char* key, const Exiv2::URational& r)
{
    Exiv2::URationalValue v;
    v.value_.push_back(r);
    exif[key] = v;
}

} // namespace

CaptureExif pmCaptureExifFor(const std::string& recordingPath, double positionSeconds, const GpsData* sample,
                             const std::string& model, const std::string& software)
{
    CaptureExif exif;
    exif.model = model;
    exif.software = software;
    if (const auto start = pmRecordingStart(recordingPath)) {
        const auto seconds = static_cast<long>(std::floor(std::max(0.0, positionSeconds)));
        const std::time_t t = std::chrono::system_clock::to_time_t(*start) + seconds;
        std::tm local{};
        localtime_r(&t, &local);
        char text[32];
        std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local);
        exif.dateTimeOriginal = text;
    }
    if (sample && pmHasPositionReading(*sample)) {
        exif.latitude = static_cast<double>(sample->fLatitude());
        exif.longitude = static_cast<double>(sample->fLongitude());
        if (sample->fSpeed() >= 0)
            exif.speedKmh = static_cast<double>(sample->fSpeed());
        if (sample->fDirection() >= 0)
            exif.direction = static_cast<double>(sample->fDirection());
        // 0 is what a log without altitude sentences leaves.
        if (sample->dAltitude() != 0 && sample->dAltitude() != GpsData::kNoAltitude)
            exif.altitude = sample->dAltitude();
    }
    return exif;
}

bool pmAddCaptureExif(std::string& jpeg, const CaptureExif& info)
{
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte*>(jpeg.data()), static_cast<long>(jpeg.size()));
        if (!image.get() || image->imageType() != Exiv2::ImageType::jpeg) {
            pmWriteLog("CaptureExif - not a JPEG; saved without EXIF");
            return false;
        }
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        if (!info.dateTimeOriginal.empty()) {
            exif["Exif.Photo.DateTimeOriginal"] = info.dateTimeOriginal;
            exif["Exif.Image.DateTime"] = info.dateTimeOriginal;
        }
        if (!info.model.empty())
            exif["Exif.Image.Model"] = info.model;
        if (!info.software.empty())
            exif["Exif.Image.Software"] = info.software;
        if (!info.imageDescription.empty())
            exif["Exif.Image.ImageDescription"] = info.imageDescription;
        if (info.latitude && info.longitude) {
            Exiv2::DataValue version(Exiv2::unsignedByte);
            version.read("2 3 0 0");
            exif["Exif.GPSInfo.GPSVersionID"] = version;
            exif["Exif.GPSInfo.GPSMapDatum"] = "WGS-84";
            exif["Exif.GPSInfo.GPSLatitudeRef"] = *info.latitude < 0 ? "S" : "N";
            exif["Exif.GPSInfo.GPSLatitude"] = degrees(*info.latitude);
            exif["Exif.GPSInfo.GPSLongitudeRef"] = *info.longitude < 0 ? "W" : "E";
            exif["Exif.GPSInfo.GPSLongitude"] = degrees(*info.longitude);
            if (info.altitude) {
                Exiv2::DataValue ref(Exiv2::unsignedByte);
                ref.read(*info.altitude < 0 ? "1" : "0");
                exif["Exif.GPSInfo.GPSAltitudeRef"] = ref;
                setRational(exif, "Exif.GPSInfo.GPSAltitude", rational(*info.altitude, 10));
            }
            if (info.speedKmh) {
                exif["Exif.GPSInfo.GPSSpeedRef"] = "K";
                setRational(exif, "Exif.GPSInfo.GPSSpeed", rational(*info.speedKmh, 100));
            }
            if (info.direction) {
                exif["Exif.GPSInfo.GPSTrackRef"] = "T";
                setRational(exif, "Exif.GPSInfo.GPSTrack", rational(*info.direction, 100));
            }
        }
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0)
            return false;
        const Exiv2::DataBuf written = io.read(static_cast<long>(io.size()));
        io.close();
        if (written.size_ <= 0)
            return false;
        jpeg.assign(reinterpret_cast<const char*>(written.pData_), static_cast<std::size_t>(written.size_));
        return true;
    } catch (const Exiv2::AnyError& error) {
        pmWriteLog(std::string("CaptureExif - cannot add EXIF: ") + error.what());
        return false;
    }
}

std::function<void(QByteArray& jpeg, const QImage& picture)>
pmCaptureExifWriter(const CaptureExif& camera1, const CaptureExif& camera2, const QImage& camera2Image)
{
    return pmCaptureExifWriter({{QImage(), camera1}, {camera2Image, camera2}});
}

std::function<void(QByteArray& jpeg, const QImage& picture)>
pmCaptureExifWriter(const std::vector<std::pair<QImage, CaptureExif>>& byPicture)
{
    std::vector<std::pair<qint64, CaptureExif>> entries;
    for (const auto& [image, exif] : byPicture)
        entries.emplace_back(image.isNull() ? 0 : image.cacheKey(), exif);
    return [entries](QByteArray& jpeg, const QImage& picture) {
        if (entries.empty())
            return;
        const CaptureExif* tags = &entries.front().second;
        for (const auto& [key, exif] : entries) {
            if (key != 0 && picture.cacheKey() == key) {
                tags = &exif;
                break;
            }
        }
        std::string bytes = jpeg.toStdString();
        if (pmAddCaptureExif(bytes, *tags))
            jpeg = QByteArray::fromStdString(bytes);
    };
}

std::string pmZoomedCaptureDescription(double factor, int x, int y, int width, int height, int frameWidth,
                                       int frameHeight)
{
    char text[160];
    std::snprintf(text, sizeof text, "Zoomed view %.1fx: the part %dx%d at (%d, %d) of the %dx%d frame",
                  factor, width, height, x, y, frameWidth, frameHeight);
    return text;
}
