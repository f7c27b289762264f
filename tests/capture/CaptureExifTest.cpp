// EXIF of saved captures, read back by the exiv2 command-line tool: the
// frame's moment, the position of that second, the camera and the program.
#include "export/CaptureExif.h"
#include "core/GpsData.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace
{

std::string jpegOf(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes.toStdString();
}

// `exiv2 -pa` of the bytes: "key type count value" per tag.
std::string exivTags(const std::string& jpeg)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("c.jpg")).toStdString();
    std::ofstream(path, std::ios::binary) << jpeg;
    std::string out;
    if (FILE* pipe = ::popen(("exiv2 -pa '" + path + "' 2>&1").c_str(), "r")) {
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, got);
        ::pclose(pipe);
    }
    return out;
}

bool hasTag(const std::string& tags, const std::string& key, const std::string& value)
{
    const auto at = tags.find(key + " ");
    if (at == std::string::npos)
        return false;
    const auto end = tags.find('\n', at);
    const std::string line = tags.substr(at, end - at);
    return line.size() >= value.size() && line.compare(line.size() - value.size(), value.size(), value) == 0;
}

} // namespace

TEST(CaptureExif, MomentPositionCameraAndProgramReadBack)
{
    GpsData sample;
    sample.setFLatitude(-33.8688f);
    sample.setFLongitude(151.2093f);
    sample.setDAltitude(58.3);
    sample.setFSpeed(41.25f);
    sample.setFDirection(84.4f);
    // 12.7 s into a recording that started 2021-03-15 08:30:00: the frame's second is 08:30:12.
    const CaptureExif exif = pmCaptureExifFor("/card/DCIM/FILE210315-083000_M.MP4", 12.7, &sample, "DC-200",
                                              "Rovix Manager 1.0.0");
    std::string jpeg = jpegOf(64, 48);
    ASSERT_TRUE(pmAddCaptureExif(jpeg, exif));
    const std::string tags = exivTags(jpeg);
    EXPECT_TRUE(hasTag(tags, "Exif.Photo.DateTimeOriginal", "2021:03:15 08:30:12")) << tags;
    EXPECT_TRUE(hasTag(tags, "Exif.Image.Model", "DC-200")) << tags;
    EXPECT_TRUE(hasTag(tags, "Exif.Image.Software", "Rovix Manager 1.0.0")) << tags;
    EXPECT_TRUE(hasTag(tags, "Exif.GPSInfo.GPSLatitudeRef", "South")) << tags;
    EXPECT_TRUE(hasTag(tags, "Exif.GPSInfo.GPSLatitude", "33deg 52' 8\"")) << tags;
    EXPECT_TRUE(hasTag(tags, "Exif.GPSInfo.GPSLongitudeRef", "East")) << tags;
    EXPECT_TRUE(hasTag(tags, "Exif.GPSInfo.GPSLongitude", "151deg 12' 33\"")) << tags;
    EXPECT_TRUE(hasTag(tags, "Exif.GPSInfo.GPSAltitude", "58.3 m")) << tags;
    EXPECT_TRUE(hasTag(tags, "Exif.GPSInfo.GPSSpeedRef", "km/h")) << tags;
    EXPECT_TRUE(hasTag(tags, "Exif.GPSInfo.GPSSpeed", "4125/100")) << tags;
    EXPECT_TRUE(hasTag(tags, "Exif.GPSInfo.GPSTrack", "8440/100")) << tags;
    // Still a picture.
    QImage back;
    ASSERT_TRUE(back.loadFromData(QByteArray::fromStdString(jpeg), "JPG"));
    EXPECT_EQ(back.size(), QSize(64, 48));

    // No fix that second, no speed or altitude reading, a name without a real
    // date: no GPS tags and no moment, the rest as before.
    GpsData noFix;
    noFix.setFSpeed(-1);
    const CaptureExif bare =
        pmCaptureExifFor("/card/clip0001.MP4", 3, &noFix, "DC-200", "Rovix Manager 1.0.0");
    EXPECT_TRUE(bare.dateTimeOriginal.empty());
    EXPECT_FALSE(bare.latitude.has_value());
    std::string plain = jpegOf(32, 32);
    ASSERT_TRUE(pmAddCaptureExif(plain, bare));
    const std::string bareTags = exivTags(plain);
    EXPECT_EQ(bareTags.find("GPSInfo"), std::string::npos) << bareTags;
    EXPECT_EQ(bareTags.find("DateTimeOriginal"), std::string::npos) << bareTags;

    // A second the track only padded (the last position repeated to the
    // video's length) is no position reading of that moment.
    GpsData padded = sample;
    padded.setReading(false);
    const CaptureExif unread =
        pmCaptureExifFor("/card/DCIM/FILE210315-083000_M.MP4", 50, &padded, "DC-200", "Rovix Manager 1.0.0");
    EXPECT_FALSE(unread.latitude.has_value());
    EXPECT_FALSE(unread.speedKmh.has_value());
    EXPECT_EQ(unread.dateTimeOriginal, "2021:03:15 08:30:50");
    EXPECT_TRUE(hasTag(bareTags, "Exif.Image.Model", "DC-200")) << bareTags;

    // Not a JPEG: refused, the bytes untouched.
    std::string notJpeg = "\x89PNG\r\n\x1a\n not really";
    const std::string before = notJpeg;
    EXPECT_FALSE(pmAddCaptureExif(notJpeg, exif));
    EXPECT_EQ(notJpeg, before);
}
