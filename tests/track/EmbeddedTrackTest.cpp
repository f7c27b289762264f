// Tracks that cameras write inside their MP4 recordings, generated from the
// layouts' descriptions, read back by our readers and by ExifTool as an
// independent reader; damaged and lying files must give what they really
// hold, never more and never a crash.
#include "core/EmbeddedTrack.h"
#include "MediaGen.h"
#include "core/ClipPackage.h"
#include "core/GpsList.h"
#include "core/TrackLoader.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace mediagen;

namespace
{

const std::string kTool = ROVIX_BINARY_DIR "/src/rovixtool";
constexpr int kSeconds = 8;
constexpr int kNoFix = 2;
constexpr int kEvent = 5;

struct TempDir {
    fs::path path;
    TempDir()
    {
        path = fs::temp_directory_path() / ("rovix-embedded-" + std::to_string(::getpid()));
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string file(const std::string& rel) const { return (path / rel).string(); }
};

std::string run(const std::string& command, int* status = nullptr)
{
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return out;
    std::array<char, 4096> buf{};
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0)
        out.append(buf.data(), n);
    const int st = ::pclose(pipe);
    if (status)
        *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

// ExifTool's positions, in document order.
std::vector<std::pair<double, double>> exifToolPositions(const std::string& path)
{
    const std::string json =
        run("exiftool -ee -n -j -G3 -GPSLatitude -GPSLongitude '" + path + "' 2>/dev/null");
    std::map<int, std::pair<double, double>> docs;
    const std::regex field("\"Doc([0-9]+):GPS(Latitude|Longitude)\": *(-?[0-9.]+)");
    for (std::sregex_iterator it(json.begin(), json.end(), field), end; it != end; ++it) {
        auto& p = docs[std::stoi((*it)[1])];
        ((*it)[2] == "Latitude" ? p.first : p.second) = std::stod((*it)[3]);
    }
    std::vector<std::pair<double, double>> out;
    for (const auto& d : docs)
        out.push_back(d.second);
    return out;
}

std::vector<TrackSample> drive()
{
    DriveSpec d;
    d.seconds = kSeconds;
    d.seed = 7;
    d.noFixSeconds = kNoFix;
    d.eventSecond = kEvent;
    d.originLat = -33.8688; // south and east: signs matter
    d.originLon = 151.2093;
    return makeDrive(d);
}

class Embedded : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        dir = new TempDir;
        RecordingSpec r;
        r.seconds = kSeconds;
        std::string error;
        ASSERT_TRUE(writeRecording(dir->file("base.mp4"), r, &error)) << error;
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }

    // A copy of the plain recording with this track added.
    std::string make(const std::string& name, const EmbeddedSpec& recipe)
    {
        const std::string path = dir->file(name);
        fs::copy_file(dir->file("base.mp4"), path, fs::copy_options::overwrite_existing);
        std::string error;
        EXPECT_TRUE(addEmbeddedTrack(path, recipe, &error)) << error;
        return path;
    }

    static EmbeddedSpec recipe(EmbeddedLayout layout)
    {
        EmbeddedSpec s;
        s.layout = layout;
        s.samples = drive();
        return s;
    }

    // Every fix read is the generator's sample of its second.
    static void expectTrue(const EmbeddedTrack& track, const std::vector<TrackSample>& samples,
                           const std::string& what)
    {
        for (const EmbeddedFix& f : track.fixes) {
            const auto second = static_cast<std::size_t>(f.time);
            ASSERT_LT(second, samples.size()) << what;
            const TrackSample& s = samples[second];
            EXPECT_EQ(f.valid, s.fix) << what << " second " << second;
            if (f.valid && s.fix) {
                EXPECT_NEAR(f.latitude, s.lat, 1e-5) << what << " second " << second;
                EXPECT_NEAR(f.longitude, s.lon, 1e-5) << what << " second " << second;
            }
        }
    }

    static std::set<int> secondsOf(const EmbeddedTrack& track)
    {
        std::set<int> out;
        for (const EmbeddedFix& f : track.fixes)
            out.insert(static_cast<int>(f.time));
        return out;
    }

    static TempDir* dir;
};

TempDir* Embedded::dir = nullptr;

TEST_F(Embedded, EveryLayoutReadsTheGeneratedTrackAsExifToolDoes)
{
    ASSERT_EQ(run("command -v exiftool >/dev/null && echo yes"), "yes\n")
        << "scripts/deps.sh installs exiftool";
    const std::vector<TrackSample> samples = drive();
    struct Case {
        const char* name;
        EmbeddedLayout layout;
        const char* format;
        bool exifToolReads; // ExifTool has no reader for the NMEA-text blocks or the side files
        bool gSensor;
    };
    const Case cases[] = {
        {"NOVATEK.MP4", EmbeddedLayout::NovatekIndexed, "novatek", true, false},
        {"UNINDEXED.MP4", EmbeddedLayout::NovatekUnindexed, "novatek", true, false},
        {"INTDEG.MP4", EmbeddedLayout::NovatekIntegerDegrees, "novatek", true, false},
        {"NMEATEXT.MP4", EmbeddedLayout::NovatekNmea, "novatek", false, false},
        {"20210315_083000_NF.mp4", EmbeddedLayout::BlackVueFree, "blackvue", true, true},
        {"20210315_083100_NF.mp4", EmbeddedLayout::BlackVueSideFiles, "blackvue", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = make(c.name, recipe(c.layout));
        EmbeddedTrack track;
        uint64_t bytes = 0;
        ASSERT_TRUE(pmReadEmbeddedTrack(path, track, &bytes));
        EXPECT_EQ(track.format, c.format);
        EXPECT_EQ(track.fixes.size(), samples.size());
        expectTrue(track, samples, c.name);
        // The index costs its blocks' first 4 KiB and the boxes; a search, at
        // most the file once.
        if (c.layout == EmbeddedLayout::NovatekIndexed || c.layout == EmbeddedLayout::NovatekNmea)
            EXPECT_LE(bytes, kSeconds * 4096u + 65536u);
        else
            EXPECT_LE(bytes, fs::file_size(path));

        if (c.exifToolReads) {
            const auto theirs = exifToolPositions(path);
            std::vector<const EmbeddedFix*> ours;
            for (const EmbeddedFix& f : track.fixes)
                if (f.valid)
                    ours.push_back(&f);
            ASSERT_EQ(theirs.size(), ours.size());
            for (std::size_t i = 0; i < ours.size(); ++i) {
                EXPECT_NEAR(ours[i]->latitude, theirs[i].first, 1e-4) << i;
                EXPECT_NEAR(ours[i]->longitude, theirs[i].second, 1e-4) << i;
            }
        }

        // What the application and rovixtool show: one sample a second, the
        // seconds before the first fix at the first fix (never at 0,0).
        GpsList list;
        const TrackLoadResult loaded = loadTrack(path, kSeconds, list);
        EXPECT_TRUE(loaded.loaded);
        EXPECT_EQ(loaded.source, TrackSource::Embedded);
        ASSERT_EQ(list.GetDataCount(), kSeconds);
        EXPECT_TRUE(list.IsGPSReady());
        for (int i = 0; i < kNoFix; ++i) {
            EXPECT_FLOAT_EQ(list.GetGpsData(i)->fLatitude(), list.GetGpsData(kNoFix)->fLatitude());
            EXPECT_FLOAT_EQ(list.GetGpsData(i)->fSpeed(), -1);
        }
        EXPECT_NEAR(list.GetGpsData(kSeconds - 1)->fSpeed(), samples.back().speedKmh, 0.05);
        EXPECT_EQ(list.IsGSensorReady(), c.gSensor);
        if (c.gSensor) {
            EXPECT_EQ(chooseEventMark(kRecordingEvent, list), kEvent);
        }
    }

    // rovixtool's exports take the same track.
    int status = -1;
    const std::string gpx = dir->file("novatek.gpx");
    run(kTool + " gpx '" + dir->file("NOVATEK.MP4") + "' '" + gpx + "'", &status);
    EXPECT_EQ(status, 0);
    std::ifstream in(gpx);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("-33.86"), std::string::npos);

    // A name with no time starts at the first fix's UTC time, not at its file
    // date: the GPX times and the clip's placement say when it was recorded.
    EmbeddedSpec timeless = recipe(EmbeddedLayout::NovatekIndexed);
    timeless.utc = StartTime{2024, 6, 1, 10, 0, 0};
    const std::string garmin = make("GRMN0001.MP4", timeless);
    ASSERT_TRUE(setFileTime(garmin, StartTime{2020, 1, 1, 0, 0, 0}.toLocalEpoch()));
    const int64_t firstFixMs = (pmDaysFromCivil(2024, 6, 1) * 86400 + 10 * 3600) * 1000;
    EXPECT_EQ(pmTrackStartMs(garmin), std::optional<int64_t>(firstFixMs));
    EXPECT_EQ(pmClipStartMs(garmin), std::optional<int64_t>(firstFixMs));
    EXPECT_EQ(pmTrackStartMs(dir->file("20210315_083000_NF.mp4")), std::nullopt) << "the name decides";
    const std::string timelessGpx = dir->file("garmin.gpx");
    run(kTool + " gpx '" + garmin + "' '" + timelessGpx + "'", &status);
    EXPECT_EQ(status, 0);
    std::ifstream timedIn(timelessGpx);
    const std::string timed((std::istreambuf_iterator<char>(timedIn)), std::istreambuf_iterator<char>());
    EXPECT_NE(timed.find("<time>2024-06-01T10:00:02Z</time>"), std::string::npos) << timed; // second 2's fix
}

TEST_F(Embedded, LyingAndDamagedFilesGiveOnlyWhatTheyHold)
{
    const std::vector<TrackSample> samples = drive();
    const int n = kSeconds;

    // An index entry past the end, one larger than the file, and a listed
    // block without the signature that holds a plausible record: each bad
    // entry is skipped, the others read.
    EmbeddedSpec lying = recipe(EmbeddedLayout::NovatekIndexed);
    lying.hostile.indexPastEnd = true;
    lying.hostile.lyingBlockSize = true;
    lying.hostile.noSignature = true;
    EmbeddedTrack track;
    ASSERT_TRUE(pmReadEmbeddedTrack(make("LYING.MP4", lying), track));
    std::set<int> expected;
    for (int i = 0; i < n; ++i)
        if (i != 1 && i != 2 && i != n / 2)
            expected.insert(i);
    EXPECT_EQ(secondsOf(track), expected);
    expectTrue(track, samples, "lying index");

    // A count far beyond the pairs the index holds (or an index cut short)
    // allocates nothing; the media data is searched as well and gives every block.
    EmbeddedSpec count = recipe(EmbeddedLayout::NovatekIndexed);
    count.hostile.lyingCount = true;
    ASSERT_TRUE(pmReadEmbeddedTrack(make("COUNT.MP4", count), track));
    EXPECT_EQ(track.fixes.size(), static_cast<std::size_t>(n));
    expectTrue(track, samples, "lying count");

    // Without moov the media data is searched; the decoy is still not a block.
    EmbeddedSpec cut = recipe(EmbeddedLayout::NovatekUnindexed);
    cut.hostile.dropMoov = true;
    cut.hostile.noSignature = true;
    const std::string noMoov = make("NOMOOV.MP4", cut);
    ASSERT_TRUE(pmReadEmbeddedTrack(noMoov, track));
    EXPECT_EQ(track.fixes.size(), static_cast<std::size_t>(n - 1));
    // Blocks are numbered as found, so the seconds after the decoy move up
    // by one; positions are still the generator's, in order.
    for (std::size_t i = 0, s = 0; i < track.fixes.size(); ++i, ++s) {
        if (s == static_cast<std::size_t>(n / 2))
            ++s;
        if (samples[s].fix) {
            EXPECT_NEAR(track.fixes[i].latitude, samples[s].lat, 1e-5) << i;
        }
    }

    // Cut anywhere: a prefix of the track, true values, no crash.
    const std::string indexed = make("WHOLE.MP4", recipe(EmbeddedLayout::NovatekIndexed));
    const auto size = fs::file_size(indexed);
    std::size_t lastCount = 0;
    for (uint64_t at : {uint64_t(0), uint64_t(7), uint64_t(40), uint64_t(3000), size / 3, size / 2,
                        size - 600, size - 9, size - 1}) {
        const std::string part = dir->file("CUT.MP4");
        ASSERT_TRUE(truncatedCopy(indexed, part, at));
        EmbeddedTrack partial;
        pmReadEmbeddedTrack(part, partial);
        expectTrue(partial, samples, "cut at " + std::to_string(at));
        EXPECT_GE(partial.fixes.size(), lastCount) << at;
        lastCount = partial.fixes.size();
    }
    EXPECT_EQ(lastCount, static_cast<std::size_t>(n)); // the blocks all lie before the index

    // A free-box child that claims more than its parent holds is cut to it
    // (the G records after it are lost with it); an RMC with a wrong
    // checksum is not a fix.
    EmbeddedSpec box = recipe(EmbeddedLayout::BlackVueFree);
    box.hostile.lyingChildSize = true;
    box.hostile.badChecksum = true;
    ASSERT_TRUE(pmReadEmbeddedTrack(make("20210315_083200_NF.mp4", box), track));
    EXPECT_EQ(track.fixes.size(), static_cast<std::size_t>(n - 1));
    EXPECT_EQ(secondsOf(track).count(n / 2), 0u);
    expectTrue(track, samples, "lying child");
    EXPECT_TRUE(track.gs.empty());
}

TEST_F(Embedded, CompanionLogComesFirstAndSideFilesAreFoundByEitherName)
{
    const std::string path = make("FILE210315-083000F.MP4", recipe(EmbeddedLayout::NovatekIndexed));
    NmeaSpec log;
    log.drive.seconds = 3;
    log.withGSensor = false;
    std::string error;
    ASSERT_TRUE(writeNmeaLog(dir->file("FILE210315-083000F.log"), log, &error)) << error;
    GpsList list;
    TrackLoadResult loaded = loadTrack(path, kSeconds, list);
    EXPECT_EQ(loaded.source, TrackSource::NmeaLog);
    EXPECT_EQ(list.GetDataCount(), 3);

    // Side files named without the camera letter serve both cameras; the
    // track's source is the side file, so an export never overwrites it.
    EmbeddedSpec side = recipe(EmbeddedLayout::BlackVueSideFiles);
    side.sideWithoutCameraLetter = true;
    const std::string rear = make("20210315_083300_NR.mp4", side);
    loaded = loadTrack(rear, kSeconds, list);
    EXPECT_EQ(loaded.source, TrackSource::Embedded);
    EXPECT_EQ(loaded.sourcePath, dir->file("20210315_083300_N.gps"));
    EXPECT_EQ(list.GetDataCount(), kSeconds);
    int status = -1;
    run(kTool + " csv '" + rear + "' '" + loaded.sourcePath + "' 2>/dev/null", &status);
    EXPECT_EQ(status, 2);
}

} // namespace
