// rovixmediagen: writes deterministic test media from the command line.
#include "MediaGen.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace mediagen;

namespace
{

int usage()
{
    std::fputs("usage:\n"
               "  rovixmediagen card DIR [--seed N] [--count N] [--hd] [--seconds S]\n"
               "  rovixmediagen demo DIR\n"
               "  rovixmediagen families DIR\n"
               "  rovixmediagen recording OUT.{mov,mp4,avi} [--seconds S] [--width W --height H --fps F]\n"
               "                [--rear] [--seed N] [--audio] [--audio-first] [--faststart] [--start "
               "YYMMDD-HHMMSS]\n"
               "                [--equirect [--sv3d | --xmp]] [--frame-code] [--h265 | --hev1]\n"
               "  rovixmediagen nmea OUT [--seconds S] [--seed N] [--start YYMMDD-HHMMSS] [--event SEC]\n"
               "                [--talker GP|GN] [--gsensord] [--header] [--parked] [--calm] [--no-gsensor]\n"
               "                [--harsh SEC:brake|accel|turn:G[:SECONDS],...]\n"
               "  rovixmediagen avi-track OUT.avi [--seconds S] [--variant 1..5] [--seed N]\n"
               "  rovixmediagen telemetry OUT.mp4 --kind nmea-text|gpmf|gps9|foreign-gpmd|garmin\n"
               "                [--seconds S] [--seed N] [--hd] [--lying-counts] [--past-end]\n"
               "  rovixmediagen embedded OUT.{mov,mp4} --layout "
               "novatek|novatek-unindexed|novatek-int|novatek-nmea|\n"
               "                blackvue|blackvue-side [--seconds S] [--hd] [--seed N] [--block-size B] "
               "[--no-moov]\n",
               stderr);
    return 2;
}

struct Args {
    std::vector<std::string> rest;
    std::vector<std::pair<std::string, std::string>> options; // name, value ("" for flags)

    bool flag(const char* name) const
    {
        for (const auto& o : options)
            if (o.first == name)
                return true;
        return false;
    }
    const std::string* value(const char* name) const
    {
        const std::string* found = nullptr;
        for (const auto& o : options)
            if (o.first == name)
                found = &o.second;
        return found;
    }
};

// Options that take a value; everything else starting with "--" is a flag.
bool takesValue(const std::string& name)
{
    static const char* names[] = {"--seed", "--count",  "--seconds",    "--width", "--height",
                                  "--fps",  "--start",  "--variant",    "--event", "--talker",
                                  "--kind", "--layout", "--block-size", "--harsh"};
    for (const char* n : names)
        if (name == n)
            return true;
    return false;
}

// "SEC:KIND:G[:SECONDS]" items separated by commas.
bool harshMoments(const std::string& text, std::vector<HarshMomentSpec>& out)
{
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find(',', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string item = text.substr(at, end - at);
        HarshMomentSpec h;
        char kind[16] = {};
        int used = 0;
        if (std::sscanf(item.c_str(), "%d:%15[a-z]:%lf%n", &h.second, kind, &h.peakG, &used) != 3)
            return false;
        if (item[static_cast<std::size_t>(used)] == ':' &&
            std::sscanf(item.c_str() + used + 1, "%d", &h.seconds) != 1)
            return false;
        const std::string k = kind;
        if (k == "brake")
            h.kind = HarshKindSpec::Brake;
        else if (k == "accel")
            h.kind = HarshKindSpec::Accel;
        else if (k == "turn")
            h.kind = HarshKindSpec::Turn;
        else
            return false;
        out.push_back(h);
        at = end + 1;
    }
    return !out.empty();
}

bool parseArgs(int argc, char** argv, int from, Args& out)
{
    for (int i = from; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--", 0) == 0) {
            if (takesValue(a)) {
                if (i + 1 >= argc) {
                    std::fprintf(stderr, "rovixmediagen: %s needs a value\n", a.c_str());
                    return false;
                }
                out.options.emplace_back(a, argv[++i]);
            } else {
                out.options.emplace_back(a, std::string());
            }
        } else {
            out.rest.push_back(a);
        }
    }
    return true;
}

bool number(const Args& a, const char* name, double& out)
{
    const std::string* v = a.value(name);
    if (!v)
        return true;
    char* end = nullptr;
    const double d = std::strtod(v->c_str(), &end);
    if (v->empty() || *end != '\0' || d < 0) {
        std::fprintf(stderr, "rovixmediagen: bad value for %s: %s\n", name, v->c_str());
        return false;
    }
    out = d;
    return true;
}

bool integer(const Args& a, const char* name, int& out)
{
    double d = out;
    if (!number(a, name, d))
        return false;
    out = static_cast<int>(d);
    return true;
}

bool startTime(const Args& a, StartTime& out)
{
    const std::string* v = a.value("--start");
    if (v && !StartTime::parse(*v, out)) {
        std::fprintf(stderr, "rovixmediagen: --start wants YYMMDD-HHMMSS, got %s\n", v->c_str());
        return false;
    }
    return true;
}

bool containerOf(const std::string& path, Container& c)
{
    const auto dot = path.find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : path.substr(dot + 1);
    for (char& ch : ext)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (ext == "mov")
        c = Container::Mov;
    else if (ext == "mp4")
        c = Container::Mp4;
    else if (ext == "avi")
        c = Container::Avi;
    else
        return false;
    return true;
}

int done(bool ok, const std::string& error, const std::string& what)
{
    if (!ok) {
        std::fprintf(stderr, "rovixmediagen: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", what.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    const std::string cmd = argv[1];
    Args a;
    if (!parseArgs(argc, argv, 2, a) || a.rest.size() != 1)
        return usage();
    const std::string out = a.rest[0];
    std::string error;
    int seed = 1;
    if (!integer(a, "--seed", seed))
        return 2;

    if (cmd == "card" || cmd == "demo") {
        CardSpec cfg;
        cfg.preset = cmd == "demo" ? CardPreset::Demo : CardPreset::Test;
        cfg.seed = static_cast<uint32_t>(seed);
        cfg.hd = a.flag("--hd");
        if (!integer(a, "--count", cfg.count) || !number(a, "--seconds", cfg.seconds))
            return 2;
        const auto t0 = std::chrono::steady_clock::now();
        std::vector<ManifestEntry> manifest;
        const bool ok = makeCard(out, cfg, &manifest, &error);
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (ok)
            std::fprintf(stderr, "rovixmediagen: %zu files in %.2f s\n", manifest.size(), secs);
        return done(ok, error, out + "/" + kManifestName);
    }
    if (cmd == "families") {
        std::vector<ManifestEntry> manifest;
        return done(makeFamilyCard(out, &manifest, &error), error, out + "/" + kManifestName);
    }
    if (cmd == "recording") {
        RecordingSpec cfg;
        if (!containerOf(out, cfg.container)) {
            std::fprintf(stderr, "rovixmediagen: the output must end in .mov, .mp4 or .avi\n");
            return 2;
        }
        cfg.seed = static_cast<uint32_t>(seed);
        if (!number(a, "--seconds", cfg.seconds) || !integer(a, "--width", cfg.width) ||
            !integer(a, "--height", cfg.height) || !integer(a, "--fps", cfg.fps) || !startTime(a, cfg.clock))
            return 2;
        cfg.rear = a.flag("--rear");
        cfg.withAudio = a.flag("--audio");
        cfg.audioFirst = a.flag("--audio-first");
        cfg.faststart = a.flag("--faststart");
        cfg.equirect = a.flag("--equirect");
        cfg.frameCode = a.flag("--frame-code");
        cfg.hev1Entry = a.flag("--hev1");
        cfg.h265 = a.flag("--h265") || cfg.hev1Entry;
        bool ok = writeRecording(out, cfg, &error);
        if (ok && a.flag("--sv3d"))
            ok = addSphericalMetadata(out, SphericalTag::Sv3d, &error);
        else if (ok && a.flag("--xmp"))
            ok = addSphericalMetadata(out, SphericalTag::XmpUuid, &error);
        return done(ok, error, out);
    }
    if (cmd == "nmea") {
        NmeaSpec cfg;
        cfg.drive.seed = static_cast<uint32_t>(seed);
        if (!integer(a, "--seconds", cfg.drive.seconds) || !startTime(a, cfg.start) ||
            !integer(a, "--event", cfg.drive.eventSecond))
            return 2;
        if (const std::string* t = a.value("--talker"))
            cfg.talker = *t;
        cfg.gSensorInG = a.flag("--gsensord");
        cfg.withHeader = a.flag("--header");
        if (a.flag("--parked"))
            cfg.drive.profile = SpeedProfile::Parked;
        cfg.drive.calm = a.flag("--calm");
        cfg.withGSensor = !a.flag("--no-gsensor");
        if (const std::string* list = a.value("--harsh")) {
            if (!harshMoments(*list, cfg.drive.harsh)) {
                std::fprintf(stderr, "rovixmediagen: --harsh takes SEC:brake|accel|turn:G[:SECONDS],...\n");
                return 2;
            }
        }
        return done(writeNmeaLog(out, cfg, &error), error, out);
    }
    if (cmd == "avi-track") {
        RecordingSpec cfg;
        cfg.container = Container::Avi;
        cfg.seed = static_cast<uint32_t>(seed);
        int variant = 1;
        if (!number(a, "--seconds", cfg.seconds) || !integer(a, "--variant", variant) ||
            !startTime(a, cfg.clock))
            return 2;
        if (variant < 1 || variant > 5) {
            std::fprintf(stderr, "rovixmediagen: --variant is 1..5\n");
            return 2;
        }
        DriveSpec drive;
        drive.seed = cfg.seed;
        drive.seconds = std::max(1, static_cast<int>(cfg.seconds + 0.999));
        AviTrackSpec track;
        track.layout = static_cast<AviTrackLayout>(variant);
        track.positions = makeDrive(drive);
        track.sensor = track.positions;
        return done(writeAviWithTrackChunks(out, cfg, track, &error), error, out);
    }
    if (cmd == "telemetry") {
        RecordingSpec cfg;
        cfg.container = Container::Mp4;
        cfg.seed = static_cast<uint32_t>(seed);
        if (!number(a, "--seconds", cfg.seconds) || !startTime(a, cfg.clock))
            return 2;
        if (a.flag("--hd"))
            cfg = hdRecording(cfg);
        static const std::pair<const char*, Mp4Telemetry> kinds[] = {
            {"nmea-text", Mp4Telemetry::NmeaText},
            {"gpmf", Mp4Telemetry::Gpmf},
            {"gps9", Mp4Telemetry::GpmfGps9},
            {"foreign-gpmd", Mp4Telemetry::ForeignGpmd},
            {"garmin", Mp4Telemetry::Garmin}};
        const std::string* kind = a.value("--kind");
        Mp4TelemetrySpec track;
        bool known = false;
        for (const auto& k : kinds)
            if (kind && *kind == k.first) {
                track.kind = k.second;
                known = true;
            }
        if (!known) {
            std::fprintf(stderr, "rovixmediagen: --kind is nmea-text, gpmf, gps9, foreign-gpmd or garmin\n");
            return 2;
        }
        DriveSpec drive;
        drive.seed = cfg.seed;
        drive.seconds = std::max(1, static_cast<int>(cfg.seconds + 0.999));
        track.samples = makeDrive(drive);
        track.gpsPerSecond =
            track.kind == Mp4Telemetry::NmeaText || track.kind == Mp4Telemetry::Garmin ? 1 : 18;
        track.lyingCounts = a.flag("--lying-counts");
        track.offsetPastEnd = a.flag("--past-end");
        if (!writeRecording(out, cfg, &error))
            return done(false, error, out);
        return done(addMp4Telemetry(out, track, &error), error, out);
    }
    if (cmd == "embedded") {
        RecordingSpec cfg;
        if (!containerOf(out, cfg.container) || cfg.container == Container::Avi) {
            std::fprintf(stderr, "rovixmediagen: the output must end in .mov or .mp4\n");
            return 2;
        }
        cfg.seed = static_cast<uint32_t>(seed);
        if (a.flag("--hd"))
            cfg = hdRecording(cfg);
        int blockSize = 0x8000;
        if (!number(a, "--seconds", cfg.seconds) || !startTime(a, cfg.clock) ||
            !integer(a, "--block-size", blockSize))
            return 2;
        static const std::pair<const char*, EmbeddedLayout> kLayouts[] = {
            {"novatek", EmbeddedLayout::NovatekIndexed},
            {"novatek-unindexed", EmbeddedLayout::NovatekUnindexed},
            {"novatek-int", EmbeddedLayout::NovatekIntegerDegrees},
            {"novatek-nmea", EmbeddedLayout::NovatekNmea},
            {"blackvue", EmbeddedLayout::BlackVueFree},
            {"blackvue-side", EmbeddedLayout::BlackVueSideFiles},
        };
        EmbeddedSpec recipe;
        const std::string* layout = a.value("--layout");
        bool known = false;
        for (const auto& l : kLayouts)
            if (layout && *layout == l.first) {
                recipe.layout = l.second;
                known = true;
            }
        if (!known)
            return usage();
        DriveSpec drive;
        drive.seed = cfg.seed;
        drive.seconds = std::max(1, static_cast<int>(cfg.seconds + 0.999));
        recipe.samples = makeDrive(drive);
        recipe.utc = cfg.clock;
        recipe.blockSize = static_cast<uint32_t>(std::max(0x100, blockSize));
        recipe.hostile.dropMoov = a.flag("--no-moov");
        return done(writeRecordingWithEmbeddedTrack(out, cfg, recipe, &error), error, out);
    }
    return usage();
}
