// Whole memory-card folders: recordings under every naming rule, front/rear
// pairs beside each other and in sibling folders, companion logs under every
// lookup rule, AVI files with embedded tracks, DEVICE.XML, hostile files and
// things that are not recordings at all, plus card-manifest.tsv.
#include "Common.h"
#include "MediaGen.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace mediagen
{

namespace
{

const char* containerText(Container c)
{
    switch (c) {
    case Container::Avi:
        return "AVI";
    case Container::Mov:
        return "MOV";
    case Container::Mp4:
        return "MP4";
    case Container::Mkv:
        return "";
    }
    return "";
}

const char* extOf(Container c)
{
    switch (c) {
    case Container::Avi:
        return ".AVI";
    case Container::Mov:
        return ".MOV";
    case Container::Mp4:
        return ".MP4";
    case Container::Mkv:
        return ".MKV";
    }
    return "";
}

// The container a recording's extension asks for; `fallback` for anything else.
Container containerOfName(const std::string& rel, Container fallback)
{
    const auto dot = rel.find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : rel.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ext == "MP4")
        return Container::Mp4;
    if (ext == "MOV")
        return Container::Mov;
    if (ext == "AVI")
        return Container::Avi;
    if (ext == "MKV")
        return Container::Mkv;
    return fallback;
}

std::string parentOf(const std::string& rel)
{
    const auto slash = rel.find_last_of('/');
    return slash == std::string::npos ? std::string() : rel.substr(0, slash);
}

std::string nameOf(const std::string& rel)
{
    const auto slash = rel.find_last_of('/');
    return slash == std::string::npos ? rel : rel.substr(slash + 1);
}

std::string stemOf(const std::string& rel)
{
    const std::string name = nameOf(rel);
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos ? rel : rel.substr(0, rel.size() - (name.size() - dot));
}

std::string join(const std::string& a, const std::string& b)
{
    return a.empty() ? b : a + "/" + b;
}

std::string dropLast(const std::string& s)
{
    return s.empty() ? s : s.substr(0, s.size() - 1);
}

// Where a log found by the named lookup rule lives, for a recording.
std::string logPathFor(const std::string& rec, const std::string& rule)
{
    const std::string stem = stemOf(rec);
    const std::string nmeaFolder = join(parentOf(parentOf(rec)), "NMEA");
    const std::string base = nameOf(stem);
    if (rule == "log" || rule == "txt" || rule == "nmea" || rule == "NMEA")
        return stem + "." + rule;
    if (rule == "N.NMEA")
        return dropLast(stem) + "N.NMEA";
    if (rule == "folder-nmea")
        return nmeaFolder + "/" + base + ".nmea";
    if (rule == "folder-NMEA")
        return nmeaFolder + "/" + base + ".NMEA";
    if (rule == "folder-N.NMEA")
        return nmeaFolder + "/" + dropLast(base) + "N.NMEA";
    if (rule == "ext-txt")
        return rec + ".txt";
    return std::string();
}

const std::vector<std::string> kLogRules = {"log",         "txt",         "nmea",          "NMEA", "N.NMEA",
                                            "folder-nmea", "folder-NMEA", "folder-N.NMEA", "none"};

class CardWriter
{
public:
    CardWriter(const std::string& dir, std::string* error) : root_(dir), error_(error) {}

    bool ok() const { return ok_; }
    std::vector<ManifestEntry>& entries() { return entries_; }

    std::string abs(const std::string& rel) const { return root_ + "/" + rel; }

    bool makeDirFor(const std::string& rel)
    {
        std::error_code ec;
        fs::create_directories(fs::path(abs(rel)).parent_path(), ec);
        if (ec)
            return setFail("cannot create the folder of " + rel + ": " + ec.message());
        for (std::string p = parentOf(rel); !p.empty(); p = parentOf(p))
            dirs_.insert(p);
        return true;
    }

    ManifestEntry& add(ManifestEntry e)
    {
        files_.insert(e.path);
        entries_.push_back(std::move(e));
        return entries_.back();
    }

    // Encodes one recording and lists it.
    bool recording(ManifestEntry e, RecordingSpec rs)
    {
        if (!ok_ || !makeDirFor(e.path))
            return false;
        rs.container = containerOfName(e.path, rs.container);
        std::string err;
        if (!writeRecording(abs(e.path), rs, &err))
            return setFail(e.path + ": " + err);
        if (e.seconds == 0)
            e.seconds = rs.frames > 0 ? static_cast<double>(rs.frames) / rs.fps : rs.seconds;
        return finishFile(std::move(e));
    }

    // Lists a file that some other step already wrote.
    bool finishFile(ManifestEntry e)
    {
        setFileTime(abs(e.path), e.mtime);
        add(std::move(e));
        return true;
    }

    bool rawFile(ManifestEntry e, const std::string& data)
    {
        if (!ok_ || !makeDirFor(e.path))
            return false;
        std::string err;
        if (!writeFile(abs(e.path), data, &err))
            return setFail(err);
        return finishFile(std::move(e));
    }

    // Writes the companion log of a recording under the given lookup rule.
    bool log(ManifestEntry& rec, const std::string& rule, const NmeaSpec& ns,
             const std::vector<TrackSample>& samples)
    {
        if (!ok_ || rule == "none")
            return ok_;
        const std::string rel = logPathFor(rec.path, rule);
        rec.logRule = rule;
        rec.log = rel;
        ManifestEntry e;
        e.path = rel;
        e.type = rec.type;
        e.kind = "log";
        e.mtime = rec.mtime;
        return rawFile(e, makeNmeaLog(ns, samples));
    }

    bool setFail(const std::string& message)
    {
        ok_ = false;
        fail(error_, message);
        return false;
    }

    // Our own reading of the companion-log lookup, over the files we wrote.
    std::pair<std::string, std::string> expectedLog(const std::string& rec) const
    {
        for (const std::string& rule : kLogRules) {
            if (rule == "none")
                continue;
            if (rule.rfind("folder-", 0) == 0 && !dirs_.count(join(parentOf(parentOf(rec)), "NMEA")))
                continue;
            const std::string p = logPathFor(rec, rule);
            if (files_.count(p))
                return {p, rule};
        }
        const std::string p = logPathFor(rec, "ext-txt");
        if (files_.count(p))
            return {p, "ext-txt"};
        return {};
    }

    std::string expectedPartner(const ManifestEntry& e) const
    {
        if (e.camera != 1 && e.camera != 2)
            return std::string();
        std::string name = nameOf(e.path);
        const char letter = e.camera == 1 ? '2' : 'M';
        if (name.size() < 5)
            return std::string();
        name[name.size() - 5] = letter;
        const std::string folder = parentOf(e.path);
        if (files_.count(join(folder, name)))
            return join(folder, name);
        std::string other = folder;
        if (!other.empty())
            other.back() = letter;
        return join(other, name);
    }

    // Fills the expected log and partner of every recording; a planned log
    // that another candidate would shadow is a generator fault.
    bool resolve()
    {
        for (ManifestEntry& e : entries_) {
            if (e.kind == "log" || e.kind == "device")
                continue;
            const auto found = expectedLog(e.path);
            if (!e.log.empty() && found.first != e.log)
                return setFail("log of " + e.path + " would be found as " + found.first);
            e.log = found.first;
            e.logRule = found.second;
            e.partner = expectedPartner(e);
        }
        return ok_;
    }

    bool writeManifest()
    {
        std::string text = manifestHeader() + "\n";
        for (const ManifestEntry& e : entries_)
            text += manifestLine(e) + "\n";
        std::string err;
        if (!writeFile(abs(kManifestName), text, &err))
            return setFail(err);
        return true;
    }

    const std::set<std::string>& files() const { return files_; }

private:
    std::string root_;
    std::string* error_;
    bool ok_ = true;
    std::vector<ManifestEntry> entries_;
    std::set<std::string> files_;
    std::set<std::string> dirs_;
};

ManifestEntry entryFor(const std::string& rel, Container c, int type, int camera, const StartTime* start,
                       std::time_t mtime)
{
    ManifestEntry e;
    e.path = rel;
    e.container = containerText(c);
    e.type = type;
    e.camera = camera;
    e.kind = "recording";
    e.admitted = 1;
    e.start = start ? start->nameStamp() : std::string();
    e.mtime = start ? start->toLocalEpoch() : mtime;
    return e;
}

// Name of a two-camera recording: prefix, "YYMMDD-HHMMSS", "_", camera letter.
std::string pairName(const std::string& prefix, const StartTime& t, char letter)
{
    return prefix + t.nameStamp() + "_" + letter;
}

StartTime dayAt(const StartTime& day0, int dayOffset, int hour, int minute, int second = 0)
{
    StartTime t = day0.plusSeconds(static_cast<long>(dayOffset) * 86400);
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

std::vector<TrackSample> slice(const std::vector<TrackSample>& all, std::size_t from, std::size_t count)
{
    from = std::min(from, all.size());
    return std::vector<TrackSample>(all.begin() + static_cast<std::ptrdiff_t>(from),
                                    all.begin() +
                                        static_cast<std::ptrdiff_t>(std::min(all.size(), from + count)));
}

// Varies the log's form with its position in the rotation so every writer option appears somewhere.
NmeaSpec logSpecFor(int rotation, const StartTime& start, uint32_t seed)
{
    NmeaSpec ns;
    ns.start = start;
    ns.drive.seed = seed;
    ns.withHeader = rotation % 3 == 1;
    ns.talker = rotation % 4 == 2 ? "GN" : "GP";
    ns.gSensorInG = rotation % 5 == 3;
    ns.hostile.unknownSentences = rotation % 2 == 0;
    ns.hostile.trailingZeros = rotation % 3 == 1 ? 64 : 0; // a preallocated log, header states the length
    return ns;
}

int wholeSeconds(double seconds)
{
    return std::max(1, static_cast<int>(std::ceil(seconds - 1e-9)));
}

bool buildTestCard(CardWriter& w, const CardSpec& cfg)
{
    RecordingSpec tiny;
    // Below a second the movies would risk the too-short rule and no longer be the recordings the manifest
    // promises.
    tiny.seconds = std::max(1.0, cfg.seconds);
    tiny.seed = cfg.seed;
    RecordingSpec pairSpec = cfg.hd ? hdRecording(tiny) : tiny;
    const int secs = wholeSeconds(tiny.seconds);
    const StartTime day0{2021, 3, 15, 0, 0, 0};
    const int minuteShift = static_cast<int>(cfg.seed % 20);
    int rotation = 0;
    uint32_t seed = cfg.seed * 101;

    auto rec = [&](const ManifestEntry& e, RecordingSpec rs, bool rear, const StartTime* clock) {
        rs.rear = rear;
        rs.seed = ++seed;
        if (clock)
            rs.clock = *clock;
        return w.recording(e, rs);
    };
    auto nextRule = [&]() { return kLogRules[static_cast<std::size_t>(rotation++) % kLogRules.size()]; };
    auto addLog = [&](const std::string& rel, const StartTime& start,
                      const std::vector<TrackSample>& samples) {
        ManifestEntry* e = nullptr;
        for (ManifestEntry& x : w.entries())
            if (x.path == rel)
                e = &x;
        const std::string rule = nextRule();
        return e && w.log(*e, rule, logSpecFor(rotation, start, seed), samples);
    };

    if (!writeDeviceXml(w.abs(""), cfg.productName)) {
        return w.setFail("cannot write DEVICE.XML");
    }
    {
        ManifestEntry dev;
        dev.path = "DEVICE.XML";
        dev.kind = "device";
        dev.mtime = day0.toLocalEpoch();
        w.finishFile(dev);
    }

    // Front and rear of every moment in sibling folders ending in M and 2;
    // consecutive loop-recording segments of one drive per day.
    const int count = std::max(1, cfg.count);
    std::vector<std::vector<int>> byDay(3);
    for (int i = 0; i < count; ++i)
        byDay[static_cast<std::size_t>(i * 3 / count)].push_back(i);
    for (int d = 0; d < 3; ++d) {
        const std::vector<int>& moments = byDay[static_cast<std::size_t>(d)];
        DriveSpec drive;
        drive.seconds = static_cast<int>(moments.size()) * secs;
        drive.seed = cfg.seed + static_cast<uint32_t>(d);
        drive.originLat = 35.60 + 0.01 * d;
        drive.originLon = 139.70 + 0.01 * d;
        drive.constantKmh = 60;
        const auto track = makeDrive(drive);
        for (std::size_t j = 0; j < moments.size(); ++j) {
            const StartTime t = dayAt(day0, d, 8, 10 + minuteShift).plusSeconds(static_cast<long>(j) * secs);
            const std::string front = "DCIM/100MEDIA_M/" + pairName("FILE", t, 'M') + ".MP4";
            const std::string rear = "DCIM/100MEDIA_2/" + pairName("FILE", t, '2') + ".MP4";
            if (!rec(entryFor(front, Container::Mp4, 0, 1, &t, 0), pairSpec, false, &t) ||
                !rec(entryFor(rear, Container::Mp4, 0, 2, &t, 0), pairSpec, true, &t) ||
                !addLog(front, t,
                        slice(track, j * static_cast<std::size_t>(secs), static_cast<std::size_t>(secs))))
                return false;
        }
    }

    // Event pairs beside each other, with a G spike in their logs.
    for (int k = 0; k < 2; ++k) {
        const StartTime t = dayAt(day0, 1, 17, 45 + k, minuteShift);
        const std::string prefix = k == 0 ? "EMER" : "EVEN";
        const std::string front = "DCIM/101EVENT/" + pairName(prefix, t, 'M') + ".MOV";
        const std::string rear = "DCIM/101EVENT/" + pairName(prefix, t, '2') + ".MOV";
        DriveSpec drive;
        drive.seconds = secs;
        drive.seed = seed;
        drive.profile = SpeedProfile::Constant;
        drive.constantKmh = 35;
        drive.eventSecond = secs / 2;
        if (!rec(entryFor(front, Container::Mov, 1, 1, &t, 0), pairSpec, false, &t) ||
            !rec(entryFor(rear, Container::Mov, 1, 2, &t, 0), pairSpec, true, &t) ||
            !addLog(front, t, makeDrive(drive)))
            return false;
    }

    // Parking pair as AVI with embedded tracks: positions and G for the front, G only for the rear.
    {
        const StartTime t = dayAt(day0, 2, 22, 10, minuteShift);
        DriveSpec drive;
        drive.seconds = secs;
        drive.seed = seed;
        drive.profile = SpeedProfile::Parked;
        drive.eventSecond = 0;
        drive.eventPeakG = 0.9;
        const auto track = makeDrive(drive);
        const std::string front = "DCIM/102PARK/" + pairName("PARK", t, 'M') + ".AVI";
        const std::string rear = "DCIM/102PARK/" + pairName("PARK", t, '2') + ".AVI";
        if (!rec(entryFor(front, Container::Avi, 2, 1, &t, 0), pairSpec, false, &t) ||
            !rec(entryFor(rear, Container::Avi, 2, 2, &t, 0), pairSpec, true, &t))
            return false;
        AviTrackSpec a;
        a.positions = track;
        a.sensor = track;
        std::string err;
        if (!addAviTrackChunks(w.abs(front), a, &err))
            return w.setFail(err);
        a.layout = AviTrackLayout::SensorOnly;
        if (!addAviTrackChunks(w.abs(rear), a, &err))
            return w.setFail(err);
        w.entries()[w.entries().size() - 2].kind = "recording-avi-track-1";
        w.entries().back().kind = "recording-avi-track-2";
        setFileTime(w.abs(front), t.toLocalEpoch());
        setFileTime(w.abs(rear), t.toLocalEpoch());
    }

    // Two-letter prefixes (motor type 2): a BN pair beside each other, a lone BE
    // front whose partner would be in the sibling folder, a lone BP front as AVI.
    {
        const StartTime t = dayAt(day0, 3, 9, 0, minuteShift);
        const std::string bnFront = "DCIM/103MOTOR/" + pairName("BN01", t, 'M') + ".MP4";
        const std::string bnRear = "DCIM/103MOTOR/" + pairName("BN01", t, '2') + ".MP4";
        const StartTime t2 = t.plusSeconds(60);
        const std::string be = "DCIM/103MOTOR/" + pairName("BE01", t2, 'M') + ".MOV";
        const StartTime t3 = t.plusSeconds(120);
        const std::string bp = "DCIM/103MOTOR/" + pairName("BP01", t3, 'M') + ".AVI";
        DriveSpec drive;
        drive.seconds = secs;
        drive.seed = seed;
        drive.profile = SpeedProfile::Constant;
        if (!rec(entryFor(bnFront, Container::Mp4, 0, 1, &t, 0), pairSpec, false, &t) ||
            !rec(entryFor(bnRear, Container::Mp4, 0, 2, &t, 0), pairSpec, true, &t) ||
            !addLog(bnFront, t, makeDrive(drive)))
            return false;
        drive.eventSecond = 0;
        if (!rec(entryFor(be, Container::Mov, 1, 1, &t2, 0), pairSpec, false, &t2) ||
            !addLog(be, t2, makeDrive(drive)))
            return false;
        if (!rec(entryFor(bp, Container::Avi, 2, 1, &t3, 0), pairSpec, false, &t3))
            return false;
        AviTrackSpec a;
        a.layout = AviTrackLayout::PositionOnly;
        a.positions = makeDrive(drive);
        std::string err;
        if (!addAviTrackChunks(w.abs(bp), a, &err))
            return w.setFail(err);
        w.entries().back().kind = "recording-avi-track-3";
        setFileTime(w.abs(bp), t3.toLocalEpoch());
    }

    // Single-camera names and names the type rule only settles by its fallback.
    {
        const StartTime noon = dayAt(day0, 3, 12, 0, 0);
        const std::time_t base = noon.toLocalEpoch();
        struct Single {
            std::string name;
            Container c;
            int type;
            bool timed;
        };
        const StartTime t1 = noon, t2 = noon.plusSeconds(300), t3 = noon.plusSeconds(600);
        const std::vector<Single> singles = {
            {"FILE" + t1.nameStamp() + ".MP4", Container::Mp4, 0, true},  // 17 characters
            {"FILE" + t2.nameStamp() + "M.MOV", Container::Mov, 0, true}, // 18 characters, never a pair
            {"FILE0001.MP4", Container::Mp4, 0, false},
            {"EMER0002.MOV", Container::Mov, 1, false},
            {"BN000004.MP4", Container::Mp4, 0, false},
            {"EMERGENCY.MP4", Container::Mp4, 1, false},
            {"PARKING.MOV", Container::Mov, 0, false},
            {"FILEX234.MOV", Container::Mov, 0, false},
            {"bn123456.mp4", Container::Mp4, 0, false},
        };
        int n = 0;
        for (const Single& s : singles) {
            ++n;
            const std::string rel = "MOVIE/" + s.name;
            StartTime st;
            const StartTime* startPtr = nullptr;
            if (s.timed) {
                StartTime::parse(s.name.substr(4, 13), st);
                startPtr = &st;
            }
            ManifestEntry e = entryFor(rel, s.c, s.type, 0, startPtr, base + 3600 + n * 60);
            if (!rec(e, tiny, false, startPtr))
                return false;
            DriveSpec drive;
            drive.seconds = secs;
            drive.seed = seed;
            drive.profile = SpeedProfile::Constant;
            drive.constantKmh = 20 + n;
            if (!addLog(rel, startPtr ? st : noon, makeDrive(drive)))
                return false;
        }
        // Found only by the last rule: the full name with ".txt" appended.
        ManifestEntry clip = entryFor("MOVIE/CLIP0001.MP4", Container::Mp4, 0, 0, nullptr, base + 7200);
        if (!rec(clip, tiny, false, nullptr))
            return false;
        DriveSpec drive;
        drive.seconds = secs;
        drive.seed = seed;
        if (!w.log(w.entries().back(), "ext-txt", logSpecFor(0, noon, seed), makeDrive(drive)))
            return false;
        // A protected (read-only) recording counts as an event.
        ManifestEntry locked = entryFor("MOVIE/CLIP0002.MP4", Container::Mp4, 1, 0, nullptr, base + 7260);
        if (!rec(locked, tiny, false, nullptr))
            return false;
        ::chmod(w.abs(locked.path).c_str(), 0444);

        // AVI tracks the readers must treat specially.
        AviTrackSpec gsea;
        gsea.layout = AviTrackLayout::GseaFirst;
        gsea.positions = makeDrive(drive);
        gsea.sensor = gsea.positions;
        const std::string evenAvi = "MOVIE/EVEN" + t3.nameStamp() + ".AVI";
        AviTrackSpec before;
        before.layout = AviTrackLayout::SensorBeforeIndex;
        before.positions = gsea.positions;
        before.sensor = gsea.positions;
        AviTrackSpec shortTrack;
        shortTrack.positions = slice(gsea.positions, 1, gsea.positions.size()); // fewer records than seconds
        shortTrack.sensor = slice(gsea.positions, 0, std::max<std::size_t>(1, gsea.positions.size() / 2));
        shortTrack.fillerWords = 3;
        struct AviCase {
            std::string rel;
            int type;
            const StartTime* start;
            AviTrackSpec* track;
            const char* kind;
        };
        const std::vector<AviCase> avis = {
            {evenAvi, 1, &t3, &gsea, "recording-avi-track-4"},
            {"MOVIE/PARK0003.AVI", 2, nullptr, &before, "recording-avi-track-5"},
            {"MOVIE/FILE0006.AVI", 0, nullptr, &shortTrack, "recording-avi-short-track"},
        };
        for (const AviCase& a : avis) {
            ManifestEntry e = entryFor(a.rel, Container::Avi, a.type, 0, a.start, base + 9000 + ++n * 60);
            e.kind = a.kind;
            if (!rec(e, tiny, false, a.start))
                return false;
            std::string err;
            if (!addAviTrackChunks(w.abs(a.rel), *a.track, &err))
                return w.setFail(err);
            setFileTime(w.abs(a.rel), w.entries().back().mtime);
        }
    }

    // Files a card may hold that the scan must keep out (or, for some, let in).
    {
        const StartTime t0 = dayAt(day0, 4, 10, 0, 0);
        auto named = [&](int minute, const char* ext) {
            return "MISC/FILE" + t0.plusSeconds(minute * 60L).nameStamp() + ext;
        };
        auto timed = [&](int minute) { return t0.plusSeconds(minute * 60L); };
        std::string err;
        auto hostile = [&](const std::string& rel, Container c, int admitted, const char* kind, int minute) {
            const StartTime t = timed(minute);
            ManifestEntry e = entryFor(rel, c, 0, 0, &t, 0);
            e.admitted = admitted;
            e.kind = kind;
            return e;
        };

        RecordingSpec rs = tiny;
        rs.audioFirst = true;
        StartTime t = timed(0);
        if (!rec(hostile(named(0, ".MP4"), Container::Mp4, 0, "hostile-audio-first", 0), rs, false, &t))
            return false;
        rs = tiny;
        rs.withAudio = true;
        t = timed(1);
        if (!rec(hostile(named(1, ".MOV"), Container::Mov, 1, "recording-audio", 1), rs, false, &t))
            return false;
        t = timed(2);
        if (!rec(hostile(named(2, ".MP4"), Container::Mp4, 1, "hostile-large-mdat", 2), tiny, false, &t) ||
            !patchLargeMdat(w.abs(named(2, ".MP4")), &err))
            return w.setFail("large mdat: " + err);
        setFileTime(w.abs(named(2, ".MP4")), t.toLocalEpoch());
        rs = tiny;
        rs.faststart = true;
        t = timed(3);
        if (!rec(hostile(named(3, ".MP4"), Container::Mp4, 1, "recording-moov-first", 3), rs, false, &t))
            return false;
        rs = tiny;
        rs.frames = 1;
        t = timed(4);
        if (!rec(hostile(named(4, ".MOV"), Container::Mov, 0, "hostile-too-short", 4), rs, false, &t))
            return false;
        MovSkeletonSpec sk;
        sk.totalSize = 2048;
        if (!w.rawFile(hostile(named(5, ".MP4"), Container::Mp4, 0, "hostile-2048", 5), makeMovSkeleton(sk)))
            return false;
        sk.totalSize = 2049;
        if (!w.rawFile(hostile(named(6, ".MP4"), Container::Mp4, 1, "hostile-skeleton-2049", 6),
                       makeMovSkeleton(sk)))
            return false;
        const char* handlers[] = {"X264", "AVC1", "h264"};
        for (int k = 0; k < 3; ++k) {
            t = timed(7 + k);
            const std::string rel = named(7 + k, ".AVI");
            ManifestEntry e = hostile(rel, Container::Avi, k == 2 ? 1 : 0,
                                      k == 2 ? "avi-handler-lowercase" : "hostile-avi-handler", 7 + k);
            if (!rec(e, tiny, false, &t) || !patchAviHandler(w.abs(rel), handlers[k], &err))
                return w.setFail("avi handler: " + err);
            setFileTime(w.abs(rel), t.toLocalEpoch());
        }
        // Cut copies: the movie header at the end is lost; an AVI keeps its
        // header; a movie header in front survives a cut in the media data.
        const std::string scratch = w.abs("MISC/.scratch");
        auto cut = [&](Container c, bool faststart, double keep, const std::string& rel, int admitted,
                       int minute) {
            RecordingSpec cs = tiny;
            cs.container = c;
            cs.faststart = faststart;
            cs.seed = ++seed;
            std::string e2;
            if (!writeRecording(scratch, cs, &e2))
                return w.setFail(e2);
            std::error_code sizeError;
            const auto size = fs::file_size(scratch, sizeError);
            if (sizeError)
                return w.setFail(scratch + ": " + sizeError.message());
            if (!truncatedCopy(scratch, w.abs(rel), static_cast<uint64_t>(size * keep), &e2))
                return w.setFail(e2);
            fs::remove(scratch, sizeError);
            ManifestEntry e = hostile(rel, c, admitted, "hostile-truncated", minute);
            return w.finishFile(e);
        };
        if (!cut(Container::Mov, false, 0.6, named(10, ".MOV"), 0, 10) ||
            !cut(Container::Avi, false, 0.6, named(11, ".AVI"), 1, 11) ||
            !cut(Container::Mp4, true, 0.9, named(12, ".MP4"), 1, 12))
            return false;
        sk = MovSkeletonSpec{};
        sk.ftyp = false;
        sk.totalSize = 4096;
        if (!w.rawFile(hostile(named(13, ".MP4"), Container::Mp4, 0, "hostile-no-ftyp", 13),
                       makeMovSkeleton(sk)))
            return false;

        // Not recordings at all.
        rs = tiny;
        rs.container = Container::Mkv;
        ManifestEntry mkv =
            entryFor("MISC/CLIP.MKV", Container::Mkv, 0, 0, nullptr, t0.toLocalEpoch() + 1800);
        mkv.kind = "other";
        mkv.admitted = 0;
        if (!rec(mkv, rs, false, nullptr))
            return false;
        std::string mp4;
        if (!readFile(w.abs(named(3, ".MP4")), mp4, &err))
            return w.setFail(err);
        ManifestEntry noExt = hostile("MISC/FILE" + timed(16).nameStamp(), Container::Mkv, 0, "other", 16);
        if (!w.rawFile(noExt, mp4))
            return false;
        ManifestEntry hidden =
            hostile("MISC/.FILE" + timed(17).nameStamp() + ".MP4", Container::Mp4, 0, "hidden", 17);
        hidden.start.clear(); // the leading dot shifts the stamp out of place for the name rules
        if (!w.rawFile(hidden, mp4))
            return false;
        ManifestEntry trash =
            hostile(".Trashes/501/FILE" + timed(18).nameStamp() + ".MP4", Container::Mp4, 0, "hidden", 18);
        if (!w.rawFile(trash, mp4))
            return false;
        ManifestEntry empty = hostile("MISC/EMPTY.MP4", Container::Mp4, 0, "hostile-empty", 19);
        empty.start.clear();
        if (!w.rawFile(empty, std::string()))
            return false;
        ManifestEntry readme = hostile("MISC/README.TXT", Container::Mkv, 0, "other", 20);
        readme.start.clear();
        if (!w.rawFile(readme, "Recordings of the test card.\r\n"))
            return false;
    }
    return true;
}

bool buildDemoCard(CardWriter& w)
{
    RecordingSpec rs;
    rs.width = 640;
    rs.height = 360;
    rs.fps = 15;
    rs.seconds = 12;
    rs.withAudio = true;
    rs.crf = 28;
    const int secs = 12;
    const StartTime day0{2024, 5, 17, 0, 0, 0};
    uint32_t seed = 7;

    if (!writeDeviceXml(w.abs(""), "DRC-2000W"))
        return w.setFail("cannot write DEVICE.XML");
    ManifestEntry dev;
    dev.path = "DEVICE.XML";
    dev.kind = "device";
    dev.mtime = day0.toLocalEpoch();
    w.finishFile(dev);

    // Three drives over three days: a morning commute, an afternoon trip with a
    // hard brake, and a night in a car park followed by a short drive.
    std::vector<TrackSample> drives[3];
    for (int d = 0; d < 3; ++d) {
        DriveSpec ds;
        ds.seed = 40 + static_cast<uint32_t>(d);
        ds.seconds = 2 * secs;
        ds.constantKmh = 80;
        ds.originLat = 35.6581 + 0.02 * d;
        ds.originLon = 139.7017 - 0.015 * d;
        ds.originCourse = 30 + 60 * d;
        if (d == 1)
            ds.eventSecond = secs + 7;
        if (d == 2) {
            ds.profile = SpeedProfile::Parked;
            ds.seconds = secs;
            ds.eventSecond = 5;
            ds.eventPeakG = 0.8;
        }
        drives[d] = makeDrive(ds);
    }
    DriveSpec shortDrive;
    shortDrive.seed = 77;
    shortDrive.seconds = secs;
    shortDrive.constantKmh = 45;
    shortDrive.originLat = drives[2].front().lat;
    shortDrive.originLon = drives[2].front().lon;
    const auto lastDrive = makeDrive(shortDrive);

    const StartTime d1 = dayAt(day0, 0, 8, 12, 0), d2 = dayAt(day0, 1, 15, 40, 0),
                    d3 = dayAt(day0, 2, 6, 55, 0);
    struct Plan {
        StartTime start;
        std::string prefix;
        int type;
        Container c;
        std::string folderM, folder2;
        std::vector<TrackSample> track;
        std::string rule; // "avi" for embedded chunks
    };
    const std::vector<Plan> plan = {
        {d1, "FILE", 0, Container::Mp4, "DCIM/100MEDIA_M", "DCIM/100MEDIA_2", slice(drives[0], 0, secs),
         "NMEA"},
        {d1.plusSeconds(secs), "FILE", 0, Container::Mp4, "DCIM/100MEDIA_M", "DCIM/100MEDIA_2",
         slice(drives[0], secs, secs), "NMEA"},
        {d2, "FILE", 0, Container::Mp4, "DCIM/100MEDIA_M", "DCIM/100MEDIA_2", slice(drives[1], 0, secs),
         "NMEA"},
        {d2.plusSeconds(secs), "EMER", 1, Container::Mp4, "DCIM/101EVENT", "DCIM/101EVENT",
         slice(drives[1], secs, secs), "log"},
        {d3, "PARK", 2, Container::Mov, "DCIM/102PARK", "DCIM/102PARK", drives[2], "folder-NMEA"},
        {d3.plusSeconds(3600), "FILE", 0, Container::Avi, "DCIM/103AVI", "DCIM/103AVI", lastDrive, "avi"},
    };
    for (const Plan& p : plan) {
        const std::string front = p.folderM + "/" + pairName(p.prefix, p.start, 'M') + extOf(p.c);
        const std::string rear = p.folder2 + "/" + pairName(p.prefix, p.start, '2') + extOf(p.c);
        RecordingSpec r = rs;
        r.container = p.c;
        r.clock = p.start;
        r.seed = ++seed;
        if (!w.recording(entryFor(front, p.c, p.type, 1, &p.start, 0), r))
            return false;
        r.rear = true;
        r.seed = ++seed;
        if (!w.recording(entryFor(rear, p.c, p.type, 2, &p.start, 0), r))
            return false;
        if (p.rule == "avi") {
            AviTrackSpec a;
            a.positions = p.track;
            a.sensor = p.track;
            std::string err;
            if (!addAviTrackChunks(w.abs(front), a, &err) || !addAviTrackChunks(w.abs(rear), a, &err))
                return w.setFail(err);
            setFileTime(w.abs(front), p.start.toLocalEpoch());
            setFileTime(w.abs(rear), p.start.toLocalEpoch());
            w.entries()[w.entries().size() - 2].kind = "recording-avi-track-1";
            w.entries().back().kind = "recording-avi-track-1";
            continue;
        }
        NmeaSpec ns;
        ns.start = p.start;
        ns.timestampText = "DRC-2000W";
        ns.withHeader = true;
        ns.hostile.unknownSentences = true;
        ManifestEntry& frontEntry = w.entries()[w.entries().size() - 2];
        if (!w.log(frontEntry, p.rule, ns, p.track))
            return false;
    }
    return true;
}

} // namespace

bool makeCard(const std::string& dir, const CardSpec& cfg, std::vector<ManifestEntry>* manifest,
              std::string* error)
{
    std::error_code ec;
    // Never write into a folder that already holds something: a card is made
    // from scratch, and a mistyped path must not overwrite anyone's files.
    if (fs::exists(dir, ec) && !fs::is_empty(dir, ec))
        return fail(error, dir + " is not empty");
    fs::create_directories(dir, ec);
    if (ec)
        return fail(error, "cannot create " + dir + ": " + ec.message());
    std::string root = fs::absolute(dir).lexically_normal().string();
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    CardWriter w(root, error);
    const bool built = cfg.preset == CardPreset::Demo ? buildDemoCard(w) : buildTestCard(w, cfg);
    if (!built || !w.resolve() || !w.writeManifest())
        return false;
    if (manifest)
        *manifest = w.entries();
    return true;
}

bool makeDemoCard(const std::string& dir, std::string* error)
{
    CardSpec cfg;
    cfg.preset = CardPreset::Demo;
    return makeCard(dir, cfg, nullptr, error);
}

} // namespace mediagen
