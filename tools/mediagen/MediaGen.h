#pragma once
// Deterministic test media for the whole project: H.264 recordings under
// dash-camera names, the camera's NMEA logs, AVI files with embedded track
// chunks, DEVICE.XML, the hostile files a memory card may hold, and whole
// card folders with a manifest of what each file is meant to be.
//
// Everything is generated locally; the same settings and seed always give the
// same bytes (bit-exact muxing, single-threaded encoding, our own PRNG).
// Functions report failure by returning false and, when given, filling
// *error; they never throw.
#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace mediagen
{

// ---------------------------------------------------------------- time

// A camera clock reading (local time of the camera, as written in names and logs).
struct StartTime {
    int year = 2021;
    int month = 3;
    int day = 15;
    int hour = 8;
    int minute = 30;
    int second = 0;

    // "YYMMDD-HHMMSS", the stamp inside recording names.
    std::string nameStamp() const;
    // Normalised copy moved by the given number of seconds (may cross days).
    StartTime plusSeconds(long seconds) const;
    // Seconds since the epoch when read as local time of this machine, so a
    // file stamped with it lands on the same calendar day as its name says.
    std::time_t toLocalEpoch() const;
    // Parses "YYMMDD-HHMMSS"; false on anything else.
    static bool parse(const std::string& stamp, StartTime& out);
};

// Sets a file's access and modification time (no-op result false on failure).
bool setFileTime(const std::string& path, std::time_t when);

// ---------------------------------------------------------------- recordings

enum class Container { Mov, Mp4, Avi, Mkv };

struct RecordingSpec {
    Container container = Container::Mp4;
    double seconds = 2.0;
    int width = 160;
    int height = 96;
    int fps = 10;
    uint32_t seed = 1;
    bool withAudio = false;  // AAC (MOV/MP4/MKV) or PCM (AVI) tone
    bool audioFirst = false; // the audio stream becomes the first track (implies withAudio)
    bool rear = false;       // rear camera: other colours and an "r" mark instead of "F"
    bool faststart = false;  // MOV/MP4: movie header before the media data
    int frames = 0;          // when > 0, overrides seconds
    int gopSeconds = 1;      // a key frame every this many seconds
    int crf = 30;
    // More encoder options (libx264's or libx265's), ':'-separated
    // ("ref=3"): a camera whose recordings change their parameter sets mid-trip.
    std::string encoderParams;
    StartTime clock; // the time of day drawn into the picture
    // An equirectangular 360-degree picture instead of the stripes: a
    // latitude-longitude grid every 15 degrees over four coloured quadrants
    // (front red in the middle, right green, back blue at both edges, left
    // yellow) and a white cross marking the front.
    bool equirect = false;
    // A row of 24 black or white blocks along the bottom edge giving, in
    // binary (most significant first), the frame's place in the day:
    // seconds of the camera clock times fps plus the frame within the
    // second. Recordings that follow each other on the clock continue the
    // count, so a test reading rendered pixels sees a lost or repeated frame
    // across a join (frameCodeAt reads it back).
    bool frameCode = false;
    // Rectangles (x, y, w, h) filled with a black and white checkerboard of
    // 2-pixel squares, the finest pattern a 4:2:0 encoder keeps: a test of
    // blurring measures what is left of it.
    std::vector<std::array<int, 4>> finePatches;
    // H.265 (libx265) instead of H.264, MOV/MP4 only; the sample entry is
    // "hvc1", or "hev1" with hev1Entry (parameter sets in the stream too).
    bool h265 = false;
    bool hev1Entry = false;
};

// The frame code in a picture drawn with RecordingSpec::frameCode, read from
// 8-bit luma (or any one 8-bit channel) of the picture at its own size; -1
// when the blocks are not clearly black and white.
long frameCodeAt(const uint8_t* pixels, int width, int height, int stride, int bytesPerPixel);

// The spherical-video metadata a 360-degree recording can carry.
enum class SphericalTag {
    Sv3d,   // "st3d" and "sv3d" boxes in the video sample entry
    XmpUuid // the spherical XMP "uuid" box in the video track
};
// Adds the metadata to a MOV/MP4 written by writeRecording (movie header
// after the media data). False on any other layout.
bool addSphericalMetadata(const std::string& path, SphericalTag tag, std::string* error = nullptr);

// Encodes and muxes a recording. The picture shows the camera clock
// (HH:MM:SS), the frame number and the camera mark over a moving pattern.
bool writeRecording(const std::string& path, const RecordingSpec& cfg, std::string* error = nullptr);

// Default sizes for benchmarks.
RecordingSpec hdRecording(RecordingSpec cfg);

// ---------------------------------------------------------------- track data

// One second of the vehicle's motion, as the generator means it.
struct TrackSample {
    bool fix = true;
    double lat = 0;                  // degrees, south negative
    double lon = 0;                  // degrees, west negative
    double speedKmh = 0;             // true speed
    double course = 0;               // degrees
    double altitude = 0;             // metres
    double gx = 0, gy = 0, gz = 1.0; // acceleration in g
};

enum class SpeedProfile { Drive, Parked, Constant };

// A harsh manoeuvre written into a drive: for `seconds` seconds from `second`
// the car brakes, speeds up or turns at `peakG` (the G values and the speeds
// and courses agree, so both the G-sensor and the positions show it).
enum class HarshKindSpec { Brake, Accel, Turn };
struct HarshMomentSpec {
    int second = 0;
    HarshKindSpec kind = HarshKindSpec::Brake;
    double peakG = 0.7;
    int seconds = 1;
};

struct DriveSpec {
    int seconds = 10;
    uint32_t seed = 1;
    double originLat = 35.6581;
    double originLon = 139.7017;
    double originCourse = 45.0;
    SpeedProfile profile = SpeedProfile::Drive;
    double constantKmh = 40.0; // for Constant; the top speed for Drive
    int eventSecond = -1;      // a sharp G spike at this second
    double eventPeakG = 1.8;
    int noFixSeconds = 0; // the first seconds have no fix
    // Gentle driving: speed changes of at most 3 km/h per second and turns
    // kept under 0.2 g of lateral acceleration.
    bool calm = false;
    std::vector<HarshMomentSpec> harsh;
};

// A plausible road-like path: straight stretches and gentle turns, speeds
// rising from 0 to the top speed and back, light G noise and gravity on Z.
std::vector<TrackSample> makeDrive(const DriveSpec& cfg);

// ---------------------------------------------------------------- NMEA logs

struct NmeaHostile {
    bool longLine = false;            // a 250-character RMC sentence (must be ignored)
    bool tooManyWords = false;        // an RMC with 24 words (must be ignored)
    bool dollarMidSentence = false;   // a sentence cut by a new "$" before its end
    bool upperCaseHex = false;        // $GSENSOR counts written in upper-case hex
    bool binaryGarbage = false;       // stray bytes (a zero byte among them) between lines
    bool missingFinalNewline = false; // the last sentence is not terminated
    bool unknownSentences = false;    // $GPGSV/$GPGSA/$GPVTG lines, to be skipped
    int headerLengthDelta = 0;        // the header states the valid length plus this
    int trailingZeros = 0;            // zero bytes after the valid data (a preallocated log)
};

struct NmeaSpec {
    StartTime start;
    DriveSpec drive;           // seconds, seed, route and event come from here
    std::string talker = "GP"; // "GP" or "GN"
    bool withGSensor = true;   // raw $GSENSOR counts (0.016 g each)
    bool gSensorInG = false;   // $GSENSORD values in g instead
    bool withTimestamp = true; // $GTIMESTAMP preferences line
    std::string timestampUnit = "METRIC";
    std::string timestampShowSpeed = "ON";
    std::string timestampType = "Coordinate";
    std::string timestampText = "ROVIX";
    bool withHeader = false; // "$HEAD,<8 lower-case hex digits>,..." stating the valid length
    bool crlf = true;
    NmeaHostile hostile;
};

// The text of the log (also what writeNmeaLog writes).
std::string makeNmeaLog(const NmeaSpec& cfg, const std::vector<TrackSample>& samples);
bool writeNmeaLog(const std::string& path, const NmeaSpec& cfg, std::string* error = nullptr);
// The samples the log of these settings describes (makeDrive of its drive).
std::vector<TrackSample> nmeaSamples(const NmeaSpec& cfg);
// NMEA checksum of the text between "$" and "*".
std::string nmeaChecksum(const std::string& body);

// Speed written to RMC: true knots.
constexpr double kKmhPerKnot = 1.852;

// ---------------------------------------------------------------- AVI track chunks

enum class AviTrackLayout {
    PositionAndSensor = 1, // "SLLT" then "SGLT" after the index
    SensorOnly = 2,        // only "SGLT" after the index
    PositionOnly = 3,      // only "SLLT" after the index
    GseaFirst = 4,         // "GSEA" after the index, then "SLLT" and "SGLT"
    SensorBeforeIndex = 5, // "SGLT" between the movie list and the index, "SLLT" after it
};

struct AviTrackSpec {
    AviTrackLayout layout = AviTrackLayout::PositionAndSensor;
    std::vector<TrackSample> positions; // one "SLLT" record each
    std::vector<TrackSample> sensor;    // one "SGLT" record each
    int fillerWords = 0;                // zero 4-byte words between the index and the track chunks
};

// 28-byte position record and 20-byte G-sensor record as the camera writes them.
std::array<uint8_t, 28> encodePositionRecord(const TrackSample& s);
std::array<uint8_t, 20> encodeSensorRecord(const TrackSample& s);
// What the readers decode from those records (for checks).
double decodeCoordinate(int16_t whole, uint32_t fraction);
double decodeAxis(uint8_t signWhole, int32_t fraction);

// Appends (or inserts) the track chunks into an existing AVI made by writeRecording.
bool addAviTrackChunks(const std::string& path, const AviTrackSpec& track, std::string* error = nullptr);
bool writeAviWithTrackChunks(const std::string& path, const RecordingSpec& cfg, const AviTrackSpec& track,
                             std::string* error = nullptr);

// ---------------------------------------------------------------- tracks in the movie structure

enum class Mp4Telemetry {
    NmeaText,    // a "text" track of "tx3g" samples: 16-bit length, $GPRMC and $GPGGA lines
    Gpmf,        // a "meta" track of "gpmd" samples: DEVC with GPS5 (GPSF, GPSU, SCAL) and ACCL streams
    GpmfGps9,    // the same with GPS9 entries (TYPE lllllllSS), each with its own time and fix
    ForeignGpmd, // a "gpmd" track whose samples are not telemetry (a bare STRM, no DEVC)
    Garmin,      // the 20-byte records of the position uuid box, last in the movie header
};

struct Mp4TelemetrySpec {
    Mp4Telemetry kind = Mp4Telemetry::NmeaText;
    std::vector<TrackSample> samples; // one per second; fix = false writes a void fix
    StartTime utcStart;               // UTC of the first sample
    int gpsPerSecond = 1;             // GPMF: GPS entries per sample, spread over its second
    int badChecksumSecond = -1;       // NMEA text: this second's RMC carries a wrong checksum
    // Counts that lie: the sample table claims about a billion samples, chunks
    // and times (the first text sample a 0xffff length); the uuid box a size
    // far beyond the file.
    bool lyingCounts = false;
    // The second sample's chunk offset lies past the end of the file, the
    // third's size is larger than the file.
    bool offsetPastEnd = false;
};
// Adds the track (or box) to an MP4 made by writeRecording (movie header
// after the media data): the samples go into a new mdat in front of it.
bool addMp4Telemetry(const std::string& path, const Mp4TelemetrySpec& cfg, std::string* error = nullptr);

// ---------------------------------------------------------------- tracks inside MP4 recordings

enum class EmbeddedLayout {
    NovatekIndexed,        // "freeGPS" blocks in the media data, listed by a "gps " box in moov
    NovatekUnindexed,      // the same blocks, no "gps " box
    NovatekIntegerDegrees, // blocks with degrees x 1e7 (firmware tag "IQS"), no index
    NovatekNmea,           // blocks holding RMC/GGA text, indexed
    BlackVueFree,          // a top-level "free" box with "sttm", "gps " and "3gf "
    BlackVueSideFiles,     // NAME.gps and NAME.3gf beside the recording
};

struct EmbeddedHostile {
    bool indexPastEnd = false;   // one index entry points past the end of the file
    bool lyingCount = false;     // the index claims 0xfffffff0 entries
    bool lyingBlockSize = false; // one index entry states a size larger than the file
    bool noSignature = false;    // one block (still listed) lacks "GPS " but holds a plausible record
    bool dropMoov = false;       // the movie box is left out (a camera that lost power)
    bool voidFixes = false;      // the samples without a fix are written as void ("V") records
    bool badChecksum = false;    // BlackVue: one RMC line with a wrong checksum
    bool lyingChildSize = false; // BlackVue: the "gps " child states a size beyond its parent
};

struct EmbeddedSpec {
    EmbeddedLayout layout = EmbeddedLayout::NovatekIndexed;
    std::vector<TrackSample> samples;     // one per second; fix = false gives a void record
    StartTime utc;                        // UTC of the first sample (the GPS clock)
    uint32_t blockSize = 0x8000;          // Novatek block size
    int gPerSecond = 10;                  // BlackVue G records per second
    bool sideWithoutCameraLetter = false; // BlackVue side files named ..._N.gps for ..._NF.mp4
    EmbeddedHostile hostile;
};

// Puts the track into a MOV/MP4 made by writeRecording (either layout): the
// blocks go between the media data's chunks, spread over it, with every
// chunk offset moved to match, so the file still plays.
bool addEmbeddedTrack(const std::string& path, const EmbeddedSpec& recipe, std::string* error = nullptr);
bool writeRecordingWithEmbeddedTrack(const std::string& path, const RecordingSpec& cfg,
                                     const EmbeddedSpec& recipe, std::string* error = nullptr);
// One Novatek block of `size` bytes for the sample (second `index` after `utc`).
std::string makeNovatekBlock(const TrackSample& s, const StartTime& utc, int index, uint32_t size,
                             EmbeddedLayout layout);
// The BlackVue NMEA text and 3gf records for the samples, from `startMs`.
std::string makeBlackVueNmea(const std::vector<TrackSample>& samples, const StartTime& utc, int64_t startMs,
                             bool badChecksum);
std::string makeBlackVue3gf(const std::vector<TrackSample>& samples, int perSecond);

// ---------------------------------------------------------------- DEVICE.XML

bool writeDeviceXml(const std::string& folder, const std::string& productName, std::string* error = nullptr);

// ---------------------------------------------------------------- hostile files

// Turns the 8-byte "wide" (MOV) or "free" (MP4) atom + "mdat" pair the muxer writes into one mdat with a
// 64-bit size (size field 1); the media data stays where it was.
bool patchLargeMdat(const std::string& path, std::string* error = nullptr);
// Rewrites the movie header's time scale and duration.
bool patchMvhd(const std::string& path, uint32_t timeScale, uint32_t duration, std::string* error = nullptr);
// Puts four characters at byte offset 112 of an AVI (the first stream's handler).
bool patchAviHandler(const std::string& path, const char fourcc[4], std::string* error = nullptr);
// Copies the first `size` bytes of src to dst (or the whole file when shorter).
bool truncatedCopy(const std::string& src, const std::string& dst, uint64_t size,
                   std::string* error = nullptr);
// Writes `size` bytes: the start of a real MP4 padded with zeros if needed.
bool writeSizedFile(const std::string& path, const std::string& head, uint64_t size,
                    std::string* error = nullptr);

// A hand-built QuickTime/MP4 atom tree for exact header cases. Not playable.
struct MovSkeletonSpec {
    bool ftyp = true;       // false: the file starts with "wide"
    bool mdatFirst = true;  // mdat before moov
    bool largeMdat = false; // mdat with size field 1 and a 64-bit size
    uint32_t mdatBytes = 1024;
    uint32_t timeScale = 1000;
    uint32_t duration = 5000;
    bool mvhdAfterTraks = false;
    std::vector<std::string> tracks = {"avc1"}; // first sample entry type of each trak
    uint64_t totalSize = 0;                     // pad with a "free" atom up to this size (0: no padding)
};
std::string makeMovSkeleton(const MovSkeletonSpec& cfg);
bool writeMovSkeleton(const std::string& path, const MovSkeletonSpec& cfg, std::string* error = nullptr);

// ---------------------------------------------------------------- whole cards

enum class CardPreset { Test, Demo };

struct CardSpec {
    uint32_t seed = 1;
    int count = 6;        // front/rear moments in the main camera folders
    bool hd = false;      // 1920x1080 at 30 fps
    double seconds = 2.0; // length of each recording; at least 1
    CardPreset preset = CardPreset::Test;
    std::string productName = "DRC-2000W";
};

// One row of card-manifest.tsv.
struct ManifestEntry {
    std::string path;      // relative to the card
    std::string container; // AVI, MOV, MP4 or -
    int type = 0;          // intended recording type 0/1/2
    int camera = 0;        // intended camera code 0/1/2
    std::string kind;      // recording, log, device, hostile-..., other
    int admitted = 0;      // expected to enter the library
    std::string log;       // expected companion log (relative) or -
    std::string logRule;   // which candidate rule finds it, or -
    std::string partner;   // expected partner path (relative) or -
    std::string start;     // YYMMDD-HHMMSS from the name, or -
    double seconds = 0;
    std::time_t mtime = 0;
    std::string family; // naming family of a recording (as rovixtool scan --json names it), or -
    std::string codec;  // h264 or h265 of a recording, or -
};

// Fails on a folder that is not empty. The demo preset ignores count and seconds.
bool makeCard(const std::string& dir, const CardSpec& cfg, std::vector<ManifestEntry>* manifest = nullptr,
              std::string* error = nullptr);
bool makeDemoCard(const std::string& dir, std::string* error = nullptr);
// A card of other cameras' naming families (Novatek, BlackVue, Thinkware,
// 70mai, names without time, and ours), pairs in their folders, some H.265;
// every recording 1 s. Fails on a folder that is not empty.
bool makeFamilyCard(const std::string& dir, std::vector<ManifestEntry>* manifest = nullptr,
                    std::string* error = nullptr);

constexpr const char* kManifestName = "card-manifest.tsv";
std::string manifestHeader();
std::string manifestLine(const ManifestEntry& e);
bool readManifest(const std::string& path, std::vector<ManifestEntry>& out);

} // namespace mediagen
