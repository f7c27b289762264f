// rovixtool clip on generated trips: a minute cut across two one-minute
// recordings of two cameras, checked with ffprobe, ffmpeg, sha256sum -c and
// the source tracks; then the requests it must refuse and a recording cut
// short on the card, which must fail without leaving anything behind.
#include "MediaGen.h"
#include "StopSignalsWait.h"

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

const std::string kTool = ROVIX_BINARY_DIR "/src/rovixtool";

struct Shell {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

Shell shell(const std::string& command, const std::string& scratch)
{
    Shell r;
    const std::string out = scratch + "/.out", err = scratch + "/.err";
    const int raw = std::system((command + " >" + quote(out) + " 2>" + quote(err)).c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

struct Scratch {
    fs::path dir;
    Scratch()
    {
        char tmpl[] = "/tmp/rovix-clip-XXXXXX";
        dir = ::mkdtemp(tmpl);
        fs::create_directories(dir / "card/DCIM");
        fs::create_directories(dir / "out");
    }
    ~Scratch() { fs::remove_all(dir); }
    std::string str(const char* rel) const { return (dir / rel).string(); }
};

// A one-minute front/rear pair at 30 fps starting at `t`, the front with its log.
void writePair(const fs::path& folder, const mediagen::StartTime& t, uint32_t seed, bool faststart = false)
{
    for (bool rear : {false, true}) {
        mediagen::RecordingSpec recording;
        recording.seconds = 60;
        recording.fps = 30;
        recording.rear = rear;
        recording.seed = seed;
        recording.clock = t;
        recording.faststart = faststart;
        const std::string base = "FILE" + t.nameStamp() + (rear ? "_2" : "_M");
        ASSERT_TRUE(mediagen::writeRecording((folder / (base + ".MP4")).string(), recording));
        if (!rear) {
            mediagen::NmeaSpec log;
            log.start = t;
            log.drive.seconds = 60;
            log.drive.seed = seed;
            log.drive.originLat = 35.0 + seed * 0.01; // each recording its own stretch of road
            ASSERT_TRUE(mediagen::writeNmeaLog((folder / (base + ".NMEA")).string(), log));
        }
        ASSERT_TRUE(mediagen::setFileTime((folder / (base + ".MP4")).string(), t.toLocalEpoch() + 60));
    }
}

std::vector<std::pair<std::string, std::string>> trackPoints(const std::string& gpx)
{
    std::vector<std::pair<std::string, std::string>> out;
    const std::regex point("<trkpt lat=\"([-0-9.]+)\" lon=\"([-0-9.]+)\"");
    for (auto it = std::sregex_iterator(gpx.begin(), gpx.end(), point); it != std::sregex_iterator(); ++it)
        out.emplace_back((*it)[1], (*it)[2]);
    return out;
}

// "lat,lon" of each second of a recording's track, as rovixtool track prints it.
std::vector<std::pair<std::string, std::string>> sourceTrack(const std::string& recording,
                                                             const std::string& scratch)
{
    const Shell r = shell(kTool + " track " + quote(recording), scratch);
    std::vector<std::pair<std::string, std::string>> out;
    std::istringstream in(r.out);
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line) && line[0] != '#') {
        std::vector<std::string> f;
        std::stringstream ls(line);
        for (std::string x; std::getline(ls, x, ',');)
            f.push_back(x);
        // Both print 6 decimals; GPX drops nothing.
        out.emplace_back(f.at(1), f.at(2));
    }
    return out;
}

double probeNumber(const std::string& args, const std::string& file, const std::string& scratch)
{
    const Shell r = shell("ffprobe -v error " + args + " -of default=nw=1:nk=1 " + quote(file), scratch);
    return std::atof(r.out.c_str());
}

} // namespace

TEST(ClipCommand, AMinuteAcrossTwoRecordingsIsOneContinuousVerifiedClip)
{
    Scratch s;
    const mediagen::StartTime t0;
    const fs::path card = s.dir / "card/DCIM";
    writePair(card, t0, 3);
    writePair(card, t0.plusSeconds(60), 4);
    // A recording of another drive an hour later stays out of the trip.
    writePair(card, t0.plusSeconds(3600), 5);
    const std::string first = (card / ("FILE" + t0.nameStamp() + "_M.MP4")).string();
    const std::string second = (card / ("FILE" + t0.plusSeconds(60).nameStamp() + "_M.MP4")).string();

    const Shell r =
        shell(kTool + " clip " + quote(s.str("out")) + " " + quote(first) + " 45", s.dir.string());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string folder = s.str("out") + "/Clip-20210315-083045";
    EXPECT_EQ(r.out, folder + "\n");
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"clip-front.mp4", "clip-rear.mp4", "clip.gpx", "clip.kml",
                                            "clip.csv", "clip.txt", "SHA256SUMS"}));

    for (const char* video : {"clip-front.mp4", "clip-rear.mp4"}) {
        const std::string path = folder + "/" + video;
        EXPECT_EQ(shell("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 " + quote(path),
                        s.dir.string())
                      .out,
                  "video\n");
        const double seconds =
            probeNumber("-select_streams v -show_entries stream=duration", path, s.dir.string());
        EXPECT_GE(seconds, 60.0 - 0.01) << video;
        EXPECT_LE(seconds, 61.0 + 0.01) << video; // at most one key-frame interval more at the start
        EXPECT_NEAR(probeNumber("-select_streams v -show_entries stream=nb_frames", path, s.dir.string()),
                    seconds * 30, 1.0);
        // Frame times step by one frame interval everywhere, across the join too.
        const Shell packets = shell(
            "ffprobe -v error -select_streams v -show_entries packet=pts_time -of csv=p=0 " + quote(path),
            s.dir.string());
        std::istringstream in(packets.out);
        double previous = -1, t = 0, worst = 0;
        int count = 0;
        while (in >> t) {
            if (previous >= 0)
                worst = std::max(worst, std::fabs(t - previous - 1.0 / 30));
            previous = t;
            ++count;
        }
        EXPECT_LT(worst, 0.002) << video;
        EXPECT_GE(count, 1800);
        const Shell decode = shell("ffmpeg -v error -i " + quote(path) + " -f null -", s.dir.string());
        EXPECT_EQ(decode.status, 0);
        EXPECT_EQ(decode.err, "") << video;
    }
    const Shell check = shell("cd " + quote(folder) + " && sha256sum -c SHA256SUMS", s.dir.string());
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    EXPECT_NE(check.out.find("clip-rear.mp4: OK"), std::string::npos);

    // The track: sample k is second 15 + k of the first recording, then the second's.
    const auto points = trackPoints(slurp(folder + "/clip.gpx"));
    ASSERT_GE(points.size(), 60u);
    ASSERT_LE(points.size(), 61u);
    const auto a = sourceTrack(first, s.dir.string());
    const auto b = sourceTrack(second, s.dir.string());
    ASSERT_EQ(a.size(), 60u);
    for (std::size_t k = 0; k < points.size(); ++k)
        EXPECT_EQ(points[k], k < 45 ? a[15 + k] : b[k - 45]) << "second " << k;
    EXPECT_NE(slurp(folder + "/clip.gpx").find("<time>"), std::string::npos);

    const std::string text = slurp(folder + "/clip.txt");
    EXPECT_NE(text.find("Moment: 2021-03-15 08:30:45"), std::string::npos) << text;
    EXPECT_NE(text.find(first + "\t15.000 s to 60.000 s\t" + std::to_string(fs::file_size(first)) + " bytes"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(second + "\t0.000 s to 15.000 s"), std::string::npos) << text;
    EXPECT_NE(text.find("Rovix Manager "), std::string::npos);

    // The same moment again gets a folder of its own; a window that reaches
    // past the trip's start is cut at it; the rear recording names the moment too.
    const std::string rear = (card / ("FILE" + t0.nameStamp() + "_2.MP4")).string();
    const Shell again =
        shell(kTool + " clip --before 50 --after 5 " + quote(s.str("out")) + " " + quote(rear) + " 10",
              s.dir.string());
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, s.str("out") + "/Clip-20210315-083010\n");
    EXPECT_NEAR(probeNumber("-show_entries format=duration",
                            s.str("out") + "/Clip-20210315-083010/clip-rear.mp4", s.dir.string()),
                15.0, 0.05);
    const Shell same =
        shell(kTool + " clip " + quote(s.str("out")) + " " + quote(first) + " 45", s.dir.string());
    ASSERT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out, folder + "-2\n");
}

TEST(ClipCommand, RefusesUnusableRequestsAndLeavesNothingOfAFailedOne)
{
    Scratch s;
    const mediagen::StartTime t0;
    const fs::path card = s.dir / "card/DCIM";
    writePair(card, t0, 3, true);
    writePair(card, t0.plusSeconds(60), 4, true);
    const std::string first = (card / ("FILE" + t0.nameStamp() + "_M.MP4")).string();
    const std::string out = s.str("out");
    for (const std::string& args :
         {std::string("clip ") + quote(out) + " " + quote(first) + " 61",           // past the end
          std::string("clip ") + quote(out) + " " + quote(first) + " -1",           // not a time
          std::string("clip --before x ") + quote(out) + " " + quote(first) + " 1", // not a length
          std::string("clip --before 0 --after 0 ") + quote(out) + " " + quote(first) + " 1",
          std::string("clip ") + quote(s.str("missing")) + " " + quote(first) + " 1", // no such folder
          std::string("clip ") + quote(card.string()) + " " + quote(first) + " 1",    // the card's own folder
          std::string("clip ") + quote(s.str("out")) + " " + quote(s.str("nothing.MP4")) + " 1",
          std::string("clip ") + quote(out) + " " + quote(first)}) {
        const Shell r = shell(kTool + " " + args, s.dir.string());
        EXPECT_EQ(r.status, 2) << args << "\n" << r.err;
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_EQ(std::distance(fs::directory_iterator(card), fs::directory_iterator()), 6);

    // The second recording cut short on the card (its header still states a
    // minute): the clip fails, and neither a folder nor a file is left.
    const fs::path second = card / ("FILE" + t0.plusSeconds(60).nameStamp() + "_M.MP4");
    const auto size = fs::file_size(second);
    fs::resize_file(second, size / 6);
    const Shell r = shell(kTool + " clip " + quote(out) + " " + quote(first) + " 45", s.dir.string());
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(second.filename().string()), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_EQ(fs::file_size(second), size / 6);
}

TEST(ClipCommand, OverlayReencodesFromTheExactStartWithTheCaptionDrawnIn)
{
    Scratch s;
    const mediagen::StartTime t0;
    const fs::path card = s.dir / "card/DCIM";
    for (long at : {0L, 10L}) {
        mediagen::RecordingSpec recording;
        recording.seconds = 10;
        recording.fps = 30;
        recording.width = 320;
        recording.height = 192;
        recording.clock = t0.plusSeconds(at);
        ASSERT_TRUE(mediagen::writeRecording(
            (card / ("FILE" + t0.plusSeconds(at).nameStamp() + ".MP4")).string(), recording));
    }
    const std::string first = (card / ("FILE" + t0.nameStamp() + ".MP4")).string();
    const Shell r = shell(kTool + " clip --before 2.5 --overlay --after 3 " + quote(s.str("out")) + " " +
                              quote(first) + " 8.5",
                          s.dir.string());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string folder = s.str("out") + "/Clip-20210315-083008";
    const std::string video = folder + "/clip.mp4"; // a name without a camera letter
    // Re-encoded: the window exactly (6.5 s and 3 s at 30 fps = 165 frames), not from a key frame.
    EXPECT_EQ(probeNumber("-select_streams v -show_entries stream=nb_frames", video, s.dir.string()), 165);
    const Shell decode = shell("ffmpeg -v error -i " + quote(video) + " -f null -", s.dir.string());
    EXPECT_EQ(decode.err, "");
    EXPECT_EQ(shell("cd " + quote(folder) + " && sha256sum -c SHA256SUMS", s.dir.string()).status, 0);
    const std::string text = slurp(folder + "/clip.txt");
    EXPECT_NE(text.find("re-encoded copy (H.264) with the time, speed and position drawn in"),
              std::string::npos)
        << text;
    // The copy is not the evidence: the camera's own pictures lie beside it,
    // stream-copied, and SHA256SUMS covers both.
    const std::string sums = slurp(folder + "/SHA256SUMS");
    EXPECT_NE(sums.find("  clip.mp4\n"), std::string::npos) << sums;
    EXPECT_NE(sums.find("  originals/clip.mp4\n"), std::string::npos) << sums;
    EXPECT_NE(text.find("the original: originals/clip.mp4"), std::string::npos) << text;
    // The caption's band at the bottom differs from the same frame of the copy.
    const Shell copy =
        shell(kTool + " clip --before 2.5 --after 3 " + quote(s.str("out")) + " " + quote(first) + " 8.5",
              s.dir.string());
    ASSERT_EQ(copy.status, 0) << copy.err;
    auto band = [&](const std::string& file, double at) {
        return shell("ffmpeg -v error -ss " + std::to_string(at) + " -i " + quote(file) +
                         " -frames:v 1 -vf crop=320:24:0:168,format=gray -f rawvideo -",
                     s.dir.string())
            .out;
    };
    const std::string drawn = band(video, 1.0);
    const std::string plain = band(folder + "-2/clip.mp4", 1.5); // the copy starts at the key frame at 6 s
    ASSERT_EQ(drawn.size(), 320u * 24u);
    ASSERT_EQ(plain.size(), drawn.size());
    int differing = 0;
    for (std::size_t i = 0; i < drawn.size(); ++i)
        differing += std::abs(static_cast<int>(static_cast<unsigned char>(drawn[i])) -
                              static_cast<unsigned char>(plain[i])) > 40;
    EXPECT_GT(differing, 300);
    // The original is the very cut a plain clip makes.
    EXPECT_EQ(slurp(folder + "/originals/clip.mp4"), slurp(folder + "-2/clip.mp4"));
    EXPECT_FALSE(fs::exists(folder + "-2/originals"));
}

// Ctrl+C, SIGTERM or SIGHUP while a clip is made: its folder is removed and
// the command exits 1, as for any clip that was not made.
TEST(ClipCommand, AStopSignalRemovesTheClipAndExitsOne)
{
    Scratch s;
    const mediagen::StartTime t0;
    const fs::path card = s.dir / "card/DCIM";
    writePair(card, t0, 3);
    std::string first = (card / ("FILE" + t0.nameStamp() + "_M.MP4")).string();
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // The last one stops a side-by-side copy: its originals go with it.
        std::string tool = kTool, clip = "clip", overlay = "--overlay", layout = "--layout",
                    sideBySide = "side-by-side", out = s.str("out"), at = "30";
        std::vector<char*> argv = {tool.data(), clip.data()};
        if (signal == SIGHUP)
            argv.insert(argv.end(), {layout.data(), sideBySide.data()});
        else
            argv.push_back(overlay.data());
        argv.insert(argv.end(), {out.data(), first.data(), at.data(), nullptr});
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execv(kTool.c_str(), argv.data());
            ::_exit(127);
        }
        ASSERT_TRUE(stopsignalswait::catchesStopSignals(pid));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(pid, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "died by signal " << WTERMSIG(status);
        if (WEXITSTATUS(status) == 0) { // finished before the signal came
            fs::remove_all(out);
            fs::create_directories(out);
            continue;
        }
        EXPECT_EQ(WEXITSTATUS(status), 1);
        EXPECT_TRUE(fs::is_empty(out)) << signal;
    }
}

// A 20 s recording whose log covers 10 s: the track is padded to 20 s in
// memory, but no export presents the padded seconds as readings, and a clip's
// track ends where its video does, however wide the window.
TEST(ClipCommand, ExportsNeverPresentFilledInSecondsAsReadings)
{
    Scratch s;
    const mediagen::StartTime t0;
    mediagen::RecordingSpec video;
    video.seconds = 20;
    video.clock = t0;
    const std::string rec = s.str("card/DCIM") + "/FILE" + t0.nameStamp() + "_M.MP4";
    ASSERT_TRUE(mediagen::writeRecording(rec, video));
    mediagen::NmeaSpec log;
    log.start = t0;
    log.drive.seconds = 10; // with G-sensor lines
    ASSERT_TRUE(mediagen::writeNmeaLog(rec.substr(0, rec.size() - 4) + ".NMEA", log));
    const std::string dir = s.dir.string();
    ASSERT_NE(shell(kTool + " track " + quote(rec), dir).out.find("\n19,"), std::string::npos); // padded

    const auto rows = [](const std::string& csv) {
        std::vector<std::string> out;
        std::istringstream in(csv);
        std::string line;
        std::getline(in, line); // header
        while (std::getline(in, line))
            out.push_back(line);
        return out;
    };
    const auto checkTrack = [&](const std::string& gpx, const std::string& csv, std::size_t seconds) {
        EXPECT_EQ(trackPoints(gpx).size(), 10u);
        EXPECT_EQ(gpx.find("<ele>0.0</ele>"), std::string::npos);
        const std::vector<std::string> r = rows(csv);
        ASSERT_EQ(r.size(), seconds);
        for (std::size_t i = 0; i < r.size(); ++i) {
            const std::string values = r[i].substr(r[i].find(','));
            if (i < 10)
                EXPECT_EQ(values.find(",,"), std::string::npos) << i << ": " << r[i];
            else
                EXPECT_EQ(values, ",,,,,,,,") << i; // a time, and no reading
        }
    };
    ASSERT_EQ(shell(kTool + " gpx " + quote(rec) + " " + quote(s.str("out/a.gpx")), dir).status, 0);
    ASSERT_EQ(shell(kTool + " csv " + quote(rec) + " " + quote(s.str("out/a.csv")), dir).status, 0);
    checkTrack(slurp(s.str("out/a.gpx")), slurp(s.str("out/a.csv")), 20);

    const Shell r = shell(
        kTool + " clip --before 3600 --after 3600 " + quote(s.str("out")) + " " + quote(rec) + " 10", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string folder = r.out.substr(0, r.out.size() - 1);
    checkTrack(slurp(folder + "/clip.gpx"), slurp(folder + "/clip.csv"), 20);
    // Sample 0 is the video's first second, not the window's.
    EXPECT_NE(slurp(folder + "/clip.txt").find("one sample per second from 2021-03-15 08:30:00\n"),
              std::string::npos);
}

namespace
{

// A short front/rear pair (320x192, 10 fps) of `seconds` starting at `t`, without logs.
struct ShortPair {
    double seconds = 5;
    bool faststart = false;
    bool withAudio = false;
    mediagen::Container container = mediagen::Container::Mp4;
    std::string frontParams; // other encoder options for the front recording
    bool h265 = false;
};

std::string pairPath(const fs::path& folder, const mediagen::StartTime& t, bool rear,
                     const char* ext = ".MP4")
{
    return (folder / ("FILE" + t.nameStamp() + (rear ? "_2" : "_M") + ext)).string();
}

void writeShortPair(const fs::path& folder, const mediagen::StartTime& t, uint32_t seed, const ShortPair& how)
{
    for (bool rear : {false, true}) {
        mediagen::RecordingSpec recording;
        recording.container = how.container;
        recording.seconds = how.seconds;
        recording.width = 320;
        recording.height = 192;
        recording.fps = 10;
        recording.rear = rear;
        recording.seed = seed + (rear ? 100 : 0);
        recording.clock = t;
        recording.faststart = how.faststart;
        recording.withAudio = how.withAudio;
        if (!rear)
            recording.encoderParams = how.frontParams;
        recording.h265 = how.h265;
        const std::string path =
            pairPath(folder, t, rear, how.container == mediagen::Container::Avi ? ".AVI" : ".MP4");
        ASSERT_TRUE(mediagen::writeRecording(path, recording));
        ASSERT_TRUE(mediagen::setFileTime(path, t.toLocalEpoch() + static_cast<long>(how.seconds)));
    }
}

std::set<std::string> videosIn(const std::string& folder)
{
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".mp4")
            out.insert(e.path().filename().string());
    return out;
}

// Every video of a finished clip decodes without a single complaint, and the
// folder verifies.
void expectSoundClip(const std::string& folder, const std::string& scratch)
{
    for (const std::string& video : videosIn(folder)) {
        const Shell decode =
            shell("ffmpeg -v error -i " + quote(folder + "/" + video) + " -f null -", scratch);
        EXPECT_EQ(decode.status, 0) << video;
        EXPECT_EQ(decode.err, "") << video;
    }
    const Shell check = shell("cd " + quote(folder) + " && sha256sum -c SHA256SUMS", scratch);
    EXPECT_EQ(check.status, 0) << check.out << check.err;
}

} // namespace

// Trips as cards really hold them: a gap between recordings, a missing rear
// recording, a recording cut short, one whose movie header is lost, one of
// another encoder set-up, and names without a time. No clip may present a
// jump in time as continuous video, decode with errors, or claim more than it
// holds; clip.txt names every stretch of the window it lacks.
TEST(ClipCommand, HostileTripsGiveClipsThatDecodeAndStateEveryHole)
{
    Scratch s;
    const mediagen::StartTime t0;
    const std::string scratch = s.dir.string();
    int cardNo = 0;
    auto newCard = [&] {
        const fs::path card = s.dir / ("card" + std::to_string(++cardNo)) / "DCIM";
        fs::create_directories(card);
        return card;
    };
    auto clip = [&](const std::string& recording, const std::string& options, const char* time) {
        const std::string out = s.str("out") + "/" + std::to_string(cardNo);
        fs::create_directories(out);
        Shell r = shell(kTool + " clip " + options + " " + quote(out) + " " + quote(recording) + " " + time,
                        scratch);
        if (!r.out.empty() && r.out.back() == '\n')
            r.out.pop_back();
        return r;
    };
    auto seconds = [&](const std::string& video) {
        return probeNumber("-select_streams v -show_entries stream=duration", video, scratch);
    };

    {
        SCOPED_TRACE("a 2 s gap between two recordings");
        const fs::path card = newCard();
        writeShortPair(card, t0, 1, {});
        writeShortPair(card, t0.plusSeconds(7), 2, {});
        const Shell r = clip(pairPath(card, t0, false), "--before 3 --after 9", "3");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(videosIn(r.out), (std::set<std::string>{"clip-front-083000.mp4", "clip-front-083007.mp4",
                                                          "clip-rear-083000.mp4", "clip-rear-083007.mp4"}));
        for (const std::string& v : videosIn(r.out))
            EXPECT_NEAR(seconds(r.out + "/" + v), 5.0, 0.05) << v;
        const std::string text = slurp(r.out + "/clip.txt");
        const std::string hole =
            "Not in the clip: 2021-03-15 08:30:05.000 to 2021-03-15 08:30:07.000 (2.000 s): "
            "no recording between the end of FILE210315-083000_";
        EXPECT_NE(text.find(hole + "M.MP4 and the start of FILE210315-083007_M.MP4"), std::string::npos)
            << text;
        EXPECT_NE(text.find(hole + "2.MP4 and the start of FILE210315-083007_2.MP4"), std::string::npos)
            << text;
        EXPECT_NE(text.find("Holds: not all of the window"), std::string::npos);
        EXPECT_NE(r.err.find("Not in the clip: 2021-03-15 08:30:05.000"), std::string::npos) << r.err;
        expectSoundClip(r.out, scratch);
    }
    {
        SCOPED_TRACE("the middle rear recording missing");
        const fs::path card = newCard();
        for (int k = 0; k < 3; ++k)
            writeShortPair(card, t0.plusSeconds(5 * k), 10 + k, {});
        fs::remove(pairPath(card, t0.plusSeconds(5), true));
        const Shell r = clip(pairPath(card, t0.plusSeconds(5), false), "--before 7 --after 8", "2");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(videosIn(r.out),
                  (std::set<std::string>{"clip-front.mp4", "clip-rear-083000.mp4", "clip-rear-083010.mp4"}));
        EXPECT_NEAR(seconds(r.out + "/clip-front.mp4"), 15.0, 0.05);
        EXPECT_NEAR(seconds(r.out + "/clip-rear-083010.mp4"), 5.0, 0.05);
        const std::string text = slurp(r.out + "/clip.txt");
        EXPECT_NE(text.find("Not in the clip: 2021-03-15 08:30:05.000 to 2021-03-15 08:30:10.000 (5.000 s): "
                            "no recording between the end of FILE210315-083000_2.MP4 and the start of "
                            "FILE210315-083010_2.MP4; FILE210315-083005_2.MP4 is not on the card"),
                  std::string::npos)
            << text;
        EXPECT_EQ(text.find("Not in the clip: 2021-03-15 08:30:05.000 to 2021-03-15 08:30:10.000 (5.000 s): "
                            "no recording between the end of FILE210315-083000_M"),
                  std::string::npos);
        expectSoundClip(r.out, scratch);
    }
    {
        SCOPED_TRACE("the middle front cut short, its header still stating the whole length");
        const fs::path card = newCard();
        ShortPair faststart;
        faststart.faststart = true;
        for (int k = 0; k < 3; ++k)
            writeShortPair(card, t0.plusSeconds(5 * k), 20 + k, faststart);
        const std::string middle = pairPath(card, t0.plusSeconds(5), false);
        const auto size = fs::file_size(middle);
        fs::resize_file(middle, size * 96 / 100);
        const Shell r = clip(pairPath(card, t0, false), "--before 3 --after 12", "3");
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.err.find(middle + ": cut short"), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_empty(s.str("out") + "/3"));
        EXPECT_EQ(fs::file_size(middle), size * 96 / 100);
        // A window that ends before the cut needs nothing past it.
        const Shell early = clip(middle, "--before 7 --after 1", "1");
        EXPECT_EQ(early.status, 0) << early.err;
        expectSoundClip(early.out, scratch);
    }
    {
        SCOPED_TRACE("the middle front's movie header lost");
        const fs::path card = newCard();
        for (int k = 0; k < 3; ++k)
            writeShortPair(card, t0.plusSeconds(5 * k), 30 + k, {});
        const std::string middle = pairPath(card, t0.plusSeconds(5), false);
        fs::resize_file(middle, fs::file_size(middle) / 2);
        const Shell r = clip(pairPath(card, t0, false), "--before 3 --after 12", "3");
        ASSERT_EQ(r.status, 0) << r.err;
        // The trip ends at the recording whose length is unknown.
        EXPECT_EQ(videosIn(r.out), (std::set<std::string>{"clip-front.mp4", "clip-rear.mp4"}));
        EXPECT_NEAR(seconds(r.out + "/clip-front.mp4"), 5.0, 0.05);
        EXPECT_NEAR(seconds(r.out + "/clip-rear.mp4"), 10.0, 0.05);
        const std::string text = slurp(r.out + "/clip.txt");
        EXPECT_NE(text.find("Not in the clip: 2021-03-15 08:30:05.000 to 2021-03-15 08:30:15.000 (10.000 s): "
                            "FILE210315-083005_M.MP4 cannot be read (no length in its header); the trip ends "
                            "with it"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("Not in the clip: 2021-03-15 08:30:10.000 to 2021-03-15 08:30:15.000 (5.000 s): "
                            "the trip ends with FILE210315-083005_2.MP4"),
                  std::string::npos)
            << text;
        EXPECT_NE(r.err.find("cannot be read"), std::string::npos) << r.err;
        expectSoundClip(r.out, scratch);
    }
    for (bool h265 : {false, true}) {
        SCOPED_TRACE(h265 ? "the middle front's H.265 of other parameter sets"
                          : "the middle front's H.264 of other parameter sets");
        const fs::path card = newCard();
        ShortPair usual, other;
        usual.h265 = other.h265 = h265;
        other.frontParams = "ref=3";
        writeShortPair(card, t0, 40, usual);
        writeShortPair(card, t0.plusSeconds(5), 41, other);
        writeShortPair(card, t0.plusSeconds(10), 42, usual);
        const Shell r = clip(pairPath(card, t0, false), "--before 3 --after 12", "3");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(videosIn(r.out), (std::set<std::string>{"clip-front-083000.mp4", "clip-front-083005.mp4",
                                                          "clip-front-083010.mp4", "clip-rear.mp4"}));
        const std::string text = slurp(r.out + "/clip.txt");
        EXPECT_NE(text.find("Holds: the whole window, for each camera it holds"), std::string::npos) << text;
        EXPECT_NE(text.find("clip-front-083005.mp4, 2021-03-15 08:30:05.000 to 2021-03-15 08:30:10.000"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("differs from the part before"), std::string::npos) << text;
        expectSoundClip(r.out, scratch);
    }
    {
        SCOPED_TRACE("another family's pairs, H.265 then H.264");
        const fs::path card = newCard();
        for (int k = 0; k < 3; ++k) {
            for (const char camera : {'F', 'R'}) {
                const mediagen::StartTime t = t0.plusSeconds(5 * k);
                char name[64];
                std::snprintf(name, sizeof name, "%04d%02d%02d_%02d%02d%02d_N%c.mp4", t.year, t.month, t.day,
                              t.hour, t.minute, t.second, camera);
                mediagen::RecordingSpec recording;
                recording.seconds = 5;
                recording.rear = camera == 'R';
                recording.seed = static_cast<uint32_t>(60 + k);
                recording.h265 = k < 2;
                ASSERT_TRUE(mediagen::writeRecording((card / name).string(), recording));
            }
        }
        const Shell r = clip((card / "20210315_083005_NR.mp4").string(), "--before 7 --after 8", "2");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(videosIn(r.out), (std::set<std::string>{"clip-front-083000.mp4", "clip-front-083010.mp4",
                                                          "clip-rear-083000.mp4", "clip-rear-083010.mp4"}));
        EXPECT_NEAR(seconds(r.out + "/clip-front-083000.mp4"), 10.0, 0.05);
        EXPECT_NEAR(seconds(r.out + "/clip-rear-083010.mp4"), 5.0, 0.05);
        const std::string codec = shell("ffprobe -v error -select_streams v -show_entries "
                                        "stream=codec_name,codec_tag_string -of csv=p=0 " +
                                            quote(r.out + "/clip-front-083000.mp4"),
                                        scratch)
                                      .out;
        EXPECT_EQ(codec, "hevc,hvc1\n"); // the source's tag: players refuse hev1 where hvc1 was
        expectSoundClip(r.out, scratch);
    }
    {
        SCOPED_TRACE("names without a time, one file date");
        const fs::path card = newCard();
        writeShortPair(card, t0, 50, {});
        for (const char* name : {"A_M.MP4", "B_M.MP4", "C_M.MP4"}) {
            fs::copy_file(pairPath(card, t0, false), card / name);
            ASSERT_TRUE(mediagen::setFileTime((card / name).string(), t0.toLocalEpoch()));
        }
        fs::remove(pairPath(card, t0, false));
        fs::remove(pairPath(card, t0, true));
        const Shell r = clip((card / "A_M.MP4").string(), "--before 2 --after 2", "2");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(videosIn(r.out), (std::set<std::string>{"clip.mp4"}));
        EXPECT_LE(seconds(r.out + "/clip.mp4"), 4.0 + 1.0 + 0.05); // at most one key-frame interval more
        const std::string text = slurp(r.out + "/clip.txt");
        EXPECT_NE(text.find("A_M.MP4\t0.000 s to 4.000 s"), std::string::npos) << text;
        EXPECT_EQ(text.find("B_M.MP4"), std::string::npos) << text;
        EXPECT_EQ(text.find("C_M.MP4"), std::string::npos) << text;
        EXPECT_NE(text.find("its name holds no time"), std::string::npos) << text;
        expectSoundClip(r.out, scratch);
    }
}

// The sound of AVI recordings (PCM) cannot go into an MP4 as it is: the clip
// carries it as AAC, in step with the pictures across a join.
TEST(ClipCommand, PcmSoundIsEncodedToAacInStepWithThePictures)
{
    Scratch s;
    const mediagen::StartTime t0;
    const fs::path card = s.dir / "card/DCIM";
    ShortPair avi;
    avi.seconds = 3;
    avi.withAudio = true;
    avi.container = mediagen::Container::Avi;
    writeShortPair(card, t0, 1, avi);
    writeShortPair(card, t0.plusSeconds(3), 2, avi);
    const Shell r = shell(kTool + " clip --before 2 --after 2 " + quote(s.str("out")) + " " +
                              quote(pairPath(card, t0, false, ".AVI")) + " 2",
                          s.dir.string());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string folder = s.str("out") + "/Clip-20210315-083002";
    EXPECT_EQ(videosIn(folder), (std::set<std::string>{"clip-front.mp4", "clip-rear.mp4"}));
    for (const char* name : {"clip-front.mp4", "clip-rear.mp4"}) {
        const std::string video = folder + "/" + name;
        EXPECT_EQ(shell("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + quote(video),
                        s.dir.string())
                      .out,
                  "h264\naac\n")
            << name;
        const double pictures =
            probeNumber("-select_streams v -show_entries stream=duration", video, s.dir.string());
        const double sound =
            probeNumber("-select_streams a -show_entries stream=duration", video, s.dir.string());
        EXPECT_NEAR(pictures, 4.0, 0.05) << name;
        EXPECT_NEAR(sound, pictures, 0.05) << name;
    }
    expectSoundClip(folder, s.dir.string());
    EXPECT_NE(slurp(folder + "/clip.txt").find("Sound: pcm_s16le encoded to AAC"), std::string::npos);
}

namespace
{

// Luma of frame `n` of a video, cropped to `crop` (ffmpeg's w:h:x:y).
std::string lumaOf(const std::string& video, int n, const std::string& crop, const std::string& scratch)
{
    return shell("ffmpeg -v error -i " + quote(video) + " -vf 'select=eq(n\\," + std::to_string(n) +
                     "),crop=" + crop + ",format=gray' -frames:v 1 -f rawvideo -",
                 scratch)
        .out;
}

// Pixels that differ by more than the coding noise.
int differing(const std::string& a, const std::string& b)
{
    int n = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        n += std::abs(static_cast<int>(static_cast<unsigned char>(a[i])) - static_cast<unsigned char>(b[i])) >
             40;
    return n;
}

} // namespace

// The caption of every frame is that frame's own camera clock: its
// recording's start and its time in that recording. A 9.5 s recording
// followed by one named 10 s after it leaves half a second between them, so
// from the join on the window's time runs half a second behind the pictures.
TEST(ClipCommand, OverlayCaptionIsEachFramesOwnClockAcrossAJoin)
{
    Scratch s;
    const mediagen::StartTime t0;
    const fs::path card = s.dir / "card/DCIM";
    for (long at : {0L, 10L}) {
        mediagen::RecordingSpec recording;
        recording.seconds = at == 0 ? 9.5 : 10;
        recording.fps = 10;
        recording.width = 320;
        recording.height = 192;
        recording.clock = t0.plusSeconds(at);
        ASSERT_TRUE(mediagen::writeRecording(
            (card / ("FILE" + t0.plusSeconds(at).nameStamp() + ".MP4")).string(), recording));
    }
    const std::string first = (card / ("FILE" + t0.nameStamp() + ".MP4")).string();
    const std::string second = (card / ("FILE" + t0.plusSeconds(10).nameStamp() + ".MP4")).string();
    const std::string out = s.str("out");
    // 08:30:04 to 08:30:14: 5.5 s of the first recording, then the second from its start.
    const Shell joined =
        shell(kTool + " clip --overlay --before 5 --after 5 " + quote(out) + " " + quote(first) + " 9", out);
    ASSERT_EQ(joined.status, 0) << joined.err;
    // The second recording alone from its start: its frames captioned 08:30:10 either way.
    const Shell alone =
        shell(kTool + " clip --overlay --before 0 --after 2 " + quote(out) + " " + quote(second) + " 0", out);
    ASSERT_EQ(alone.status, 0) << alone.err;
    const std::string a = out + "/Clip-20210315-083009/clip.mp4", b = out + "/Clip-20210315-083010/clip.mp4";
    EXPECT_EQ(probeNumber("-select_streams v -show_entries stream=nb_frames", a, out), 95);
    // The second recording's frames 2 and 7 (08:30:10.2 and 08:30:10.7) in
    // both clips: the same picture under the same caption.
    for (int frame : {2, 7}) {
        const std::string band = "320:48:0:144";
        const std::string there = lumaOf(a, 55 + frame, band, out), here = lumaOf(b, frame, band, out);
        ASSERT_EQ(there.size(), 320u * 48u);
        ASSERT_EQ(here.size(), there.size());
        EXPECT_LT(differing(there, here), 8) << "frame " << frame;
    }
}

// A 64x48 recording with AAC sound: the overlay keeps the sound, copied,
// and draws the whole caption inside the picture. Cut short on the card
// (its header before the data still states 3 s), it fails the clip. The PCM
// sound of an AVI recording is kept too, encoded to AAC.
TEST(ClipCommand, OverlayOfATinyPictureKeepsItsSoundAndTheWholeCaption)
{
    Scratch s;
    const mediagen::StartTime t0;
    const fs::path card = s.dir / "card/DCIM";
    mediagen::RecordingSpec recording;
    recording.seconds = 3;
    recording.fps = 10;
    recording.width = 64;
    recording.height = 48;
    recording.withAudio = true;
    recording.faststart = true;
    recording.clock = t0;
    const std::string source = (card / ("FILE" + t0.nameStamp() + ".MP4")).string();
    ASSERT_TRUE(mediagen::writeRecording(source, recording));
    const std::string out = s.str("out");
    const Shell r =
        shell(kTool + " clip --overlay --before 1 --after 1 " + quote(out) + " " + quote(source) + " 1", out);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string folder = out + "/Clip-20210315-083001", video = folder + "/clip.mp4";
    EXPECT_EQ(shell("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + quote(video), out).out,
              "h264\naac\n");
    EXPECT_NEAR(probeNumber("-select_streams a -show_entries stream=duration", video, out), 2.0, 0.1);
    EXPECT_EQ(shell("ffmpeg -v error -i " + quote(video) + " -f null -", out).err, "");
    EXPECT_NE(slurp(folder + "/clip.txt").find("  Sound: AAC, copied\n"), std::string::npos)
        << slurp(folder + "/clip.txt");
    EXPECT_EQ(shell("cd " + quote(folder) + " && sha256sum -c SHA256SUMS", out).status, 0);
    // Against the recording's own picture of the same frame (the window
    // starts with the recording): the caption is there, and it stops short
    // of the right edge, where a caption cut off would run on.
    const std::string drawn = lumaOf(video, 5, "64:48:0:0", out), plain = lumaOf(source, 5, "64:48:0:0", out);
    ASSERT_EQ(drawn.size(), 64u * 48u);
    ASSERT_EQ(plain.size(), drawn.size());
    EXPECT_GT(differing(drawn, plain), 40);
    std::string drawnEdge, plainEdge;
    for (int y = 0; y < 48; ++y) {
        drawnEdge += drawn.substr(y * 64 + 60, 4);
        plainEdge += plain.substr(y * 64 + 60, 4);
    }
    EXPECT_LE(differing(drawnEdge, plainEdge), 2);

    fs::remove_all(folder);
    fs::resize_file(source, fs::file_size(source) * 96 / 100);
    const Shell cut =
        shell(kTool + " clip --overlay --before 1 --after 2 " + quote(out) + " " + quote(source) + " 1", out);
    EXPECT_EQ(cut.status, 1) << cut.err;
    EXPECT_NE(cut.err.find("cut short"), std::string::npos) << cut.err;
    for (const auto& e : fs::directory_iterator(out))
        EXPECT_FALSE(e.is_directory()) << e.path(); // no clip folder left behind

    recording.container = mediagen::Container::Avi;
    recording.faststart = false;
    const std::string avi = (card / ("FILE" + t0.plusSeconds(60).nameStamp() + ".AVI")).string();
    recording.clock = t0.plusSeconds(60);
    ASSERT_TRUE(mediagen::writeRecording(avi, recording));
    const Shell pcm =
        shell(kTool + " clip --overlay --before 1 --after 1 " + quote(out) + " " + quote(avi) + " 1", out);
    ASSERT_EQ(pcm.status, 0) << pcm.err;
    const std::string aviFolder = out + "/Clip-20210315-083101";
    EXPECT_EQ(shell("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " +
                        quote(aviFolder + "/clip.mp4"),
                    out)
                  .out,
              "h264\naac\n");
    EXPECT_NEAR(probeNumber("-select_streams a -show_entries stream=duration", aviFolder + "/clip.mp4", out),
                2.0, 0.1);
    EXPECT_EQ(shell("ffmpeg -v error -i " + quote(aviFolder + "/clip.mp4") + " -f null -", out).err, "");
    EXPECT_NE(slurp(aviFolder + "/clip.txt").find("Sound: pcm_s16le encoded to AAC"), std::string::npos)
        << slurp(aviFolder + "/clip.txt");
}

// What clip.txt and the messages say, read as a user reads them: a folder
// whose name holds a line feed, a tab and a backslash stays on its line, as
// in package.txt; a single camera is "Camera:"; "--before -0" is the zero it
// means; a file given as DEST is named as not a folder.
TEST(ClipCommand, ClipTextKeepsOneLinePerFileAndSaysWhatItMeans)
{
    Scratch s;
    const mediagen::StartTime t0;
    const fs::path card = s.dir / "card/a\nb\tc\\d";
    fs::create_directories(card);
    mediagen::RecordingSpec recording;
    recording.seconds = 2;
    recording.clock = t0;
    const std::string source = (card / ("FILE" + t0.nameStamp() + ".MP4")).string();
    ASSERT_TRUE(mediagen::writeRecording(source, recording));
    const std::string out = s.str("out");

    const Shell r =
        shell(kTool + " clip --before -0 --after 1 " + quote(out) + " " + quote(source) + " 1", out);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = slurp(out + "/Clip-20210315-083001/clip.txt");
    EXPECT_NE(text.find("Window: 0.000 s before, 1.000 s after\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("-0.000"), std::string::npos) << text;
    EXPECT_NE(text.find("\nCamera: clip.mp4, "), std::string::npos) << text;
    EXPECT_EQ(text.find("Camera camera"), std::string::npos) << text;
    const std::string escaped =
        (s.dir / "card").string() + "/a\\nb\\tc\\\\d/FILE" + t0.nameStamp() + ".MP4\t";
    EXPECT_NE(text.find("\n  " + escaped + "1.000 s to 2.000 s\t"), std::string::npos) << text;
    EXPECT_EQ(text.find("a\nb"), std::string::npos) << text;

    const std::string file = s.str("out/plain-file");
    std::ofstream(file) << "not a folder";
    const Shell bad = shell(kTool + " clip " + quote(file) + " " + quote(source) + " 1", out);
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "rovixtool: clip: " + file + ": not a folder\n");
}

namespace
{

// A front/rear pair with frame codes, 30 fps, the rear `rearSeconds` long and of its own size.
void writeCodedPair(const fs::path& folder, const mediagen::StartTime& t, double rearSeconds, int rearWidth,
                    int rearHeight)
{
    for (bool rear : {false, true}) {
        mediagen::RecordingSpec recording;
        recording.seconds = rear ? rearSeconds : 10;
        recording.fps = 30;
        recording.width = rear ? rearWidth : 320;
        recording.height = rear ? rearHeight : 192;
        recording.rear = rear;
        recording.clock = t;
        recording.frameCode = true;
        recording.crf = 18;
        ASSERT_TRUE(mediagen::writeRecording(
            (folder / ("FILE" + t.nameStamp() + (rear ? "_2" : "_M") + ".MP4")).string(), recording));
    }
}

// Every picture of a video as 8-bit luma, one string per frame.
std::vector<std::string> grayFrames(const std::string& video, int width, int height,
                                    const std::string& scratch)
{
    const std::string raw =
        shell("ffmpeg -v error -i " + quote(video) + " -vf format=gray -f rawvideo -", scratch).out;
    std::vector<std::string> frames;
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t at = 0; at + size <= raw.size(); at += size)
        frames.push_back(raw.substr(at, size));
    return frames;
}

// What every export must pass: its sums, a clean decode of each video, and the length it states.
void expectVerified(const std::string& folder, const std::string& video, double seconds,
                    const std::string& scratch)
{
    EXPECT_EQ(shell("cd " + quote(folder) + " && sha256sum -c --quiet SHA256SUMS", scratch).status, 0);
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder))
        if (e.path().extension() == ".mp4") {
            EXPECT_EQ(shell("ffmpeg -v error -i " + quote(e.path().string()) + " -f null -", scratch).err, "")
                << e.path();
        }
    EXPECT_NEAR(probeNumber("-show_entries format=duration", folder + "/" + video, scratch), seconds, 0.05);
}

} // namespace

// Side by side, the front's and the rear's frame codes of each picture are
// those of one moment; a rear of another size is scaled to the front's
// height; a rear that ends early leaves a black panel, said in clip.txt and
// on stderr; the originals of both cameras lie beside the copy.
TEST(ClipCommand, SideBySideShowsBothCamerasOfOneMomentAndKeepsTheOriginals)
{
    Scratch s;
    const mediagen::StartTime t0;
    const fs::path card = s.dir / "card/DCIM";
    writeCodedPair(card, t0, 10, 320, 192);
    const std::string front = (card / ("FILE" + t0.nameStamp() + "_M.MP4")).string();
    const Shell r = shell(kTool + " clip --layout side-by-side --before 2 --after 3 " + quote(s.str("out")) +
                              " " + quote(front) + " 5",
                          s.dir.string());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string folder = s.str("out") + "/Clip-20210315-083005";
    expectVerified(folder, "clip-side-by-side.mp4", 5.0, s.dir.string());
    const std::vector<std::string> frames =
        grayFrames(folder + "/clip-side-by-side.mp4", 640, 192, s.dir.string());
    ASSERT_EQ(frames.size(), 150u);
    long first = -1;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto* pixels = reinterpret_cast<const uint8_t*>(frames[i].data());
        const long left = mediagen::frameCodeAt(pixels, 320, 192, 640, 1);
        const long right = mediagen::frameCodeAt(pixels + 320, 320, 192, 640, 1);
        ASSERT_GE(left, 0) << "frame " << i;
        if (first < 0)
            first = left;
        ASSERT_EQ(left, first + static_cast<long>(i)) << "frame " << i;
        ASSERT_EQ(right, left) << "frame " << i;
    }
    const std::string sums = slurp(folder + "/SHA256SUMS");
    for (const char* name :
         {"  clip-side-by-side.mp4\n", "  originals/clip-front.mp4\n", "  originals/clip-rear.mp4\n"})
        EXPECT_NE(sums.find(name), std::string::npos) << name << sums;
    const std::string text = slurp(folder + "/clip.txt");
    EXPECT_NE(text.find("Re-encoded copy: the front and rear cameras side by side"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("black panel"), std::string::npos) << text;
    // The other layouts of the same moment: one picture of the front's size,
    // the rear alone showing the same frames as the front alone.
    std::map<std::string, long> firstCode;
    for (const char* layout : {"pip", "front", "rear"}) {
        SCOPED_TRACE(layout);
        const Shell l =
            shell(kTool + " clip --layout " + layout + " --pip-corner tl --crf 20 --before 2 --after 3 " +
                      quote(s.str("out")) + " " + quote(front) + " 5",
                  s.dir.string());
        ASSERT_EQ(l.status, 0) << l.err;
        std::string made = l.out.substr(0, l.out.find('\n'));
        const std::string video = std::string("clip-") + layout + ".mp4";
        expectVerified(made, video, 5.0, s.dir.string());
        EXPECT_TRUE(fs::exists(made + "/originals/clip-front.mp4") &&
                    fs::exists(made + "/originals/clip-rear.mp4"));
        const std::vector<std::string> f = grayFrames(made + "/" + video, 320, 192, s.dir.string());
        ASSERT_EQ(f.size(), 150u);
        firstCode[layout] =
            mediagen::frameCodeAt(reinterpret_cast<const uint8_t*>(f[0].data()), 320, 192, 320, 1);
        if (std::string(layout) == "pip") {
            EXPECT_NE(slurp(made + "/clip.txt").find("in the top left corner"), std::string::npos);
        }
    }
    EXPECT_EQ(firstCode["front"], first);
    EXPECT_EQ(firstCode["rear"], first);
    EXPECT_EQ(firstCode["pip"], first); // the inset sits in the top corner, clear of the code row

    // A rear of half the size that ends at 6 s: scaled up, then black for the last 2 s.
    Scratch early;
    const fs::path card2 = early.dir / "card/DCIM";
    writeCodedPair(card2, t0, 6, 160, 96);
    const std::string front2 = (card2 / ("FILE" + t0.nameStamp() + "_M.MP4")).string();
    const Shell e = shell(kTool + " clip --layout side-by-side --before 2 --after 3 " +
                              quote(early.str("out")) + " " + quote(front2) + " 5",
                          early.dir.string());
    ASSERT_EQ(e.status, 0) << e.err;
    const std::string folder2 = early.str("out") + "/Clip-20210315-083005";
    expectVerified(folder2, "clip-side-by-side.mp4", 5.0, early.dir.string());
    EXPECT_NE(e.err.find("Rear camera: a black panel for 2.000 s of clip-side-by-side.mp4"),
              std::string::npos)
        << e.err;
    EXPECT_NE(slurp(folder2 + "/clip.txt").find("a black panel for 2.000 s"), std::string::npos);
    const std::vector<std::string> frames2 =
        grayFrames(folder2 + "/clip-side-by-side.mp4", 640, 192, early.dir.string());
    ASSERT_EQ(frames2.size(), 150u);
    auto rightMean = [](const std::string& f) {
        long sum = 0;
        for (int y = 0; y < 192; ++y)
            for (int x = 320; x < 640; ++x)
                sum += static_cast<unsigned char>(f[static_cast<std::size_t>(y * 640 + x)]);
        return sum / (320 * 192);
    };
    EXPECT_GT(rightMean(frames2[30]), 30);  // 4 s: the rear's picture
    EXPECT_LE(rightMean(frames2[140]), 17); // 7.67 s: black
}

// The overlay in a side-by-side copy: each half carries its caption, the
// two halves' captions read alike (the pair's clocks agree) and change with
// the second, and everything outside them is the plain copy's picture, whose
// halves show one moment.
TEST(ClipCommand, SideBySideOverlayCaptionsEachHalfAtTheSameMoment)
{
    Scratch s;
    const mediagen::StartTime t0;
    const fs::path card = s.dir / "card/DCIM";
    writeCodedPair(card, t0, 10, 320, 192);
    const std::string front = (card / ("FILE" + t0.nameStamp() + "_M.MP4")).string();
    auto clip = [&](const std::string& options) {
        Shell r = shell(kTool + " clip --layout side-by-side " + options + " --before 2 --after 3 " +
                            quote(s.str("out")) + " " + quote(front) + " 5",
                        s.dir.string());
        r.out = r.out.substr(0, r.out.find('\n'));
        return r;
    };
    const Shell plain = clip(""), drawn = clip("--overlay");
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    expectVerified(drawn.out, "clip-side-by-side.mp4", 5.0, s.dir.string());
    EXPECT_NE(
        slurp(drawn.out + "/clip.txt")
            .find("side by side (front left, rear right, heights matched); the time, speed and position "
                  "drawn in, each camera's half with its own clock"),
        std::string::npos)
        << slurp(drawn.out + "/clip.txt");
    const std::vector<std::string> a =
        grayFrames(plain.out + "/clip-side-by-side.mp4", 640, 192, s.dir.string());
    const std::vector<std::string> b =
        grayFrames(drawn.out + "/clip-side-by-side.mp4", 640, 192, s.dir.string());
    ASSERT_EQ(a.size(), 150u);
    ASSERT_EQ(b.size(), 150u);
    // The caption's glyphs of one half: bright where the plain copy is not.
    auto glyphs = [](const std::string& with, const std::string& without, int x0) {
        std::vector<bool> mask;
        for (int y = 140; y < 192; ++y)
            for (int x = x0; x < x0 + 320; ++x) {
                const auto at = static_cast<std::size_t>(y * 640 + x);
                const int v = static_cast<unsigned char>(with[at]),
                          w = static_cast<unsigned char>(without[at]);
                mask.push_back(v > 180 && v - w > 40);
            }
        return mask;
    };
    auto count = [](const std::vector<bool>& m) { return std::count(m.begin(), m.end(), true); };
    auto apart = [](const std::vector<bool>& p, const std::vector<bool>& q) {
        long n = 0;
        for (std::size_t i = 0; i < p.size(); ++i)
            n += p[i] != q[i];
        return n;
    };
    std::vector<bool> firstMask;
    for (std::size_t frame : {0u, 29u, 45u, 149u}) {
        SCOPED_TRACE(frame);
        const std::vector<bool> left = glyphs(b[frame], a[frame], 0), right = glyphs(b[frame], a[frame], 320);
        ASSERT_GT(count(left), 80);
        EXPECT_LT(apart(left, right), count(left) / 10);
        if (firstMask.empty())
            firstMask = left;
        else if (frame >= 45) // 08:30:03 gave way to 08:30:04 at frame 30
            EXPECT_GT(apart(firstMask, left), 10);
        else
            EXPECT_LT(apart(firstMask, left), count(left) / 10);
        // Above the captions the picture is the plain copy's.
        double diff = 0;
        for (int y = 0; y < 130; ++y)
            for (int x = 0; x < 640; ++x) {
                const auto at = static_cast<std::size_t>(y * 640 + x);
                diff += std::abs(static_cast<unsigned char>(a[frame][at]) -
                                 static_cast<unsigned char>(b[frame][at]));
            }
        EXPECT_LT(diff / (130.0 * 640.0), 2.0);
    }
}

// A disk that fills while the side-by-side copy is written, after the
// originals fit: a clear message, exit 1, no folder printed as made, and
// nothing left on the disk.
TEST(ClipCommand, AFullDiskDuringTheCopyLeavesNothingAndSaysSo)
{
    Scratch s;
    const mediagen::StartTime t0;
    const fs::path card = s.dir / "card/DCIM";
    writeCodedPair(card, t0, 10, 320, 192);
    const std::string front = (card / ("FILE" + t0.nameStamp() + "_M.MP4")).string();
    const std::string options = " clip --layout side-by-side --overlay --before 2 --after 3 ";
    const Shell whole =
        shell(kTool + options + quote(s.str("out")) + " " + quote(front) + " 5", s.dir.string());
    ASSERT_EQ(whole.status, 0) << whole.err;
    const std::string made = whole.out.substr(0, whole.out.find('\n'));
    auto pages = [](const fs::path& file) { return (fs::file_size(file) + 4095) / 4096; };
    const uintmax_t originals =
        pages(made + "/originals/clip-front.mp4") + pages(made + "/originals/clip-rear.mp4");
    const uintmax_t copy = pages(made + "/clip-side-by-side.mp4");
    ASSERT_GT(copy, 4u);
    const std::string disk = s.str("disk");
    fs::create_directories(disk);
    const std::string size = "size=" + std::to_string((originals + copy / 2) * 4) + "k";
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, size.c_str()) != 0)
        GTEST_SKIP() << "cannot mount a tmpfs (" << std::strerror(errno) << "); this test needs root";
    const Shell full = shell(kTool + options + quote(disk) + " " + quote(front) + " 5", s.dir.string());
    const bool empty = fs::is_empty(disk);
    ::umount2(disk.c_str(), MNT_DETACH);
    EXPECT_EQ(full.status, 1) << full.out;
    EXPECT_EQ(full.out, "");
    EXPECT_TRUE(std::regex_search(full.err,
                                  std::regex("clip-side-by-side\\.mp4: cannot be [a-z]+ \\(disk full\\?\\)")))
        << full.err;
    EXPECT_TRUE(empty);
}

// Blurred areas: a fine pattern inside loses its contrast, the picture
// outside stays as the unblurred copy has it; an area given by key positions
// is absent after its last; what cannot be blurred is refused with the reason.
TEST(ClipCommand, BlurredAreasLoseTheirPatternAndTheRestStaysAsTheCopy)
{
    Scratch s;
    const mediagen::StartTime t0;
    const fs::path card = s.dir / "card/DCIM";
    mediagen::RecordingSpec recording;
    recording.seconds = 6;
    recording.fps = 30;
    recording.width = 640;
    recording.height = 360;
    recording.clock = t0;
    recording.crf = 12;
    recording.finePatches = {{96, 144, 128, 96}, {400, 200, 128, 96}};
    const std::string source = (card / ("FILE" + t0.nameStamp() + ".MP4")).string();
    ASSERT_TRUE(mediagen::writeRecording(source, recording));
    auto clip = [&](const std::string& options) {
        Shell r = shell(kTool + " clip --layout front --before 1 --after 4 " + options + " " +
                            quote(s.str("out")) + " " + quote(source) + " 2",
                        s.dir.string());
        r.out = r.out.substr(0, r.out.find('\n'));
        return r;
    };
    const Shell copy = clip("");
    ASSERT_EQ(copy.status, 0) << copy.err;
    // The first still, the second moving in key positions until 2.5 s, a
    // third reaching past the picture's corner (clamped).
    const Shell blurred =
        clip("--blur 96,144,128,96@0-5 --blur '400,200,128,96@0;400,200,128,96@1;408,200,120,96@2.5' "
             "--blur 600,300,100,100@0-5");
    ASSERT_EQ(blurred.status, 0) << blurred.err;
    expectVerified(blurred.out, "clip.mp4", 5.0, s.dir.string());
    EXPECT_NE(slurp(blurred.out + "/clip.txt").find("3 areas blurred (pixelated)"), std::string::npos);
    const std::vector<std::string> a = grayFrames(copy.out + "/clip.mp4", 640, 360, s.dir.string());
    const std::vector<std::string> b = grayFrames(blurred.out + "/clip.mp4", 640, 360, s.dir.string());
    ASSERT_EQ(a.size(), 150u);
    ASSERT_EQ(b.size(), 150u);
    auto contrast = [](const std::string& f, int x, int y, int w, int h) {
        double sum = 0, squares = 0;
        for (int r = y; r < y + h; ++r)
            for (int c = x; c < x + w; ++c) {
                const double v = static_cast<unsigned char>(f[static_cast<std::size_t>(r * 640 + c)]);
                sum += v;
                squares += v * v;
            }
        const double n = static_cast<double>(w) * h;
        return std::sqrt(std::max(0.0, squares / n - (sum / n) * (sum / n)));
    };
    for (std::size_t frame : {15u, 30u, 60u}) {
        SCOPED_TRACE(frame);
        ASSERT_GT(contrast(a[frame], 96, 144, 128, 96), 60); // the pattern survives the re-encoding
        EXPECT_LT(contrast(b[frame], 96, 144, 128, 96), 0.05 * contrast(a[frame], 96, 144, 128, 96));
        // The part of the second patch the moving area covers throughout.
        EXPECT_LT(contrast(b[frame], 408, 200, 120, 96), 0.05 * contrast(a[frame], 408, 200, 120, 96));
    }
    // Past its last key position the moving area is gone: the pattern is back.
    EXPECT_GT(contrast(b[120], 400, 200, 128, 96), 0.8 * contrast(a[120], 400, 200, 128, 96));
    // Outside the areas (and a margin the encoder may smear) the picture is the copy's.
    auto near = [](int x, int y, int rx, int ry, int rw, int rh) {
        return x >= rx - 16 && x < rx + rw + 16 && y >= ry - 16 && y < ry + rh + 16;
    };
    for (std::size_t frame : {30u, 120u}) {
        double diff = 0;
        long n = 0;
        for (int y = 0; y < 360; ++y)
            for (int x = 0; x < 640; ++x) {
                if (near(x, y, 96, 144, 128, 96) || near(x, y, 400, 200, 128, 96) ||
                    near(x, y, 600, 300, 40, 60))
                    continue;
                const auto at = static_cast<std::size_t>(y * 640 + x);
                diff += std::abs(static_cast<unsigned char>(a[frame][at]) -
                                 static_cast<unsigned char>(b[frame][at]));
                ++n;
            }
        EXPECT_LT(diff / static_cast<double>(n), 2.0) << "frame " << frame;
    }

    const Shell outside = clip("--blur 700,400,10,10@0-1");
    EXPECT_EQ(outside.status, 2);
    EXPECT_NE(outside.err.find("lies outside the picture (640x360)"), std::string::npos) << outside.err;
    const Shell late = clip("--blur 0,0,10,10@3-9");
    EXPECT_EQ(late.status, 2);
    EXPECT_NE(late.err.find("outside the clip"), std::string::npos) << late.err;
    const Shell separate =
        shell(kTool + " clip --blur 0,0,10,10@0-1 " + quote(s.str("out")) + " " + quote(source) + " 2",
              s.dir.string());
    EXPECT_EQ(separate.status, 2);
    EXPECT_NE(separate.err.find("choose a layout"), std::string::npos) << separate.err;
    const Shell backwards = clip("--blur '0,0,10,10@2;0,0,10,10@1'");
    EXPECT_EQ(backwards.status, 2);
    EXPECT_NE(backwards.err.find("must rise"), std::string::npos) << backwards.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(s.str("out")), fs::directory_iterator()),
              2); // nothing of the refused
}
