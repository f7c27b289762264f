// An evidence package of two recordings of one trip that a phone's GPX was
// attached to: the file travels once in the package and is covered by
// SHA256SUMS, package.txt names it as the tracks' source with its offset,
// the tracks take its positions (keeping the camera's own G-sensor values),
// and the camera clock is told against its times.
#include "BackupTestSupport.h"

#include "MediaGen.h"
#include "core/BackupEngine.h"

#include <cstdio>
#include <ctime>

using namespace backuptest;

namespace
{

// "2021-03-15T08:29:55Z" of an instant.
std::string isoUtc(std::time_t when)
{
    std::tm tm{};
    gmtime_r(&when, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

} // namespace

TEST(AttachedTrackPackage, PackageHoldsAndNamesTheAttachedTrack)
{
    const std::string root = makeTempDir("attached-package");
    ASSERT_FALSE(root.empty());
    const std::string card = root + "/card", dest = root + "/dest", phone = root + "/phone";
    fs::create_directories(card);
    fs::create_directories(dest);
    fs::create_directories(phone);
    // The first recording has its own log (G-sensor and a poor position far
    // away), the second none.
    const std::string a = card + "/FILE210315-083000_M.MP4", b = card + "/FILE210315-083010_M.MP4";
    writeFile(a, randomBytes(5000, 1));
    writeFile(b, randomBytes(6000, 2));
    mediagen::NmeaSpec own;
    own.start = {2021, 3, 15, 8, 30, 0};
    own.drive.seconds = 10;
    own.drive.originLat = 10.0;
    ASSERT_TRUE(mediagen::writeNmeaLog(card + "/FILE210315-083000_M.NMEA", own));

    // The phone's track in UTC, one fix a second from 5 s before the first recording.
    const std::time_t start = mediagen::StartTime{2021, 3, 15, 8, 30, 0}.toLocalEpoch();
    std::string gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\"><trk><trkseg>\n";
    for (int i = 0; i < 40; ++i) {
        char point[160];
        std::snprintf(point, sizeof point, "<trkpt lat=\"%.5f\" lon=\"13.40000\"><time>%s</time></trkpt>\n",
                      51.5 + i * 1e-4, isoUtc(start - 5 + i).c_str());
        gpx += point;
    }
    gpx += "</trkseg></trk></gpx>\n";
    const std::string track = phone + "/phone.gpx";
    writeFile(track, gpx);

    BackupOptions options;
    options.evidence = true;
    options.sourceFolder = card;
    options.videoSeconds = [](const std::string&) { return 10.0; };
    // The phone's clock 2 s ahead; attached to the trip.
    options.attachedTrack = [&](const std::string& recording) -> std::optional<TrackAttachment> {
        if (recording != a && recording != b)
            return std::nullopt;
        return TrackAttachment{a, track, 2, true};
    };
    BackupProgress progress;
    const BackupResult r = pmRunBackup(dest, {a, b}, options, progress);
    ASSERT_EQ(r.status, BackupStatus::Done) << pmDescribeBackupResult(r);
    const std::string pkg = r.packageFolder;

    // Copied once, byte for byte, and covered by the checksums.
    EXPECT_EQ(readFile(pkg + "/recordings/phone.gpx"), gpx);
    const std::string sums = readFile(pkg + "/SHA256SUMS");
    EXPECT_NE(sums.find("  recordings/phone.gpx\n"), std::string::npos) << sums;
    const Shell check = shell("cd '" + pkg + "' && sha256sum --strict -c SHA256SUMS");
    EXPECT_EQ(check.status, 0) << check.out;

    const std::string text = readFile(pkg + "/package.txt");
    EXPECT_NE(text.find("\trecordings/phone.gpx\t" + track + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Tracks from other devices (their positions replace the camera's own):\n"
                        "  recordings/FILE210315-083000_M.MP4: " +
                        track +
                        " (copied as recordings/phone.gpx), offset +2 s, attached to its whole trip\n"
                        "  recordings/FILE210315-083010_M.MP4: " +
                        track +
                        " (copied as recordings/phone.gpx), offset +2 s, attached to its whole trip\n"),
              std::string::npos)
        << text;
    // The camera's clock against the phone's: 2 s behind it.
    EXPECT_NE(text.find("FILE210315-083010_M.MP4:\n  Camera clock: camera clock 2 s behind GPS time"),
              std::string::npos)
        << text;

    // Second 0 of each recording is the phone's fix 5 + 2 (+ 10 for the second
    // recording); the first keeps its own G-sensor values.
    const std::string csvA = readFile(pkg + "/tracks/FILE210315-083000_M.MP4.csv");
    const std::string csvB = readFile(pkg + "/tracks/FILE210315-083010_M.MP4.csv");
    const auto firstRow = [](const std::string& csv) {
        const std::size_t from = csv.find('\n') + 1;
        return csv.substr(from, csv.find('\n', from) - from);
    };
    EXPECT_NE(firstRow(csvA).find(",51.5007"), std::string::npos) << csvA;
    EXPECT_NE(firstRow(csvB).find(",51.5017"), std::string::npos) << csvB;
    EXPECT_EQ(csvA.find(",10.0"), std::string::npos) << "no position of the camera's own log is left";
    EXPECT_NE(firstRow(csvA).back(), ',') << "the camera's G-sensor values stay: " << csvA;
    EXPECT_EQ(firstRow(csvB).back(), ',') << "none where the camera logged none: " << csvB;

    std::error_code ec;
    fs::remove_all(root, ec);
}
