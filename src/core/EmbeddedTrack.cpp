#include "core/EmbeddedTrack.h"

#include "core/BlackVueGps.h"
#include "core/EmbeddedMp4Tracks.h"
#include "core/GpsList.h"
#include "core/GpsParser.h"
#include "core/NovatekGps.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void EmbeddedTrack::addFix(const EmbeddedFix& fix)
{
    if (full() || !std::isfinite(fix.time))
        return;
    EmbeddedFix f = fix;
    if (f.valid && (!std::isfinite(f.latitude) || !std::isfinite(f.longitude) || std::fabs(f.latitude) > 90 ||
                    std::fabs(f.longitude) > 180 || (f.latitude == 0 && f.longitude == 0)))
        f.valid = false;
    if (!f.valid)
        f.latitude = f.longitude = 0;
    if (!std::isfinite(f.speedKmh))
        f.speedKmh = -1;
    if (!std::isfinite(f.course) || f.course >= 360 * 2)
        f.course = -1;
    if (f.hasAltitude && !std::isfinite(f.altitude))
        f.hasAltitude = false;
    fixes.push_back(f);
}

void EmbeddedTrack::addG(const EmbeddedG& g)
{
    if (gFull() || !std::isfinite(g.time) || !std::isfinite(g.x) || !std::isfinite(g.y) ||
        !std::isfinite(g.z))
        return;
    gs.push_back(g);
}

const std::vector<EmbeddedReaderEntry>& pmEmbeddedReaders()
{
    // Cheapest signature checks first: each reader gives up at once on a
    // file that is not its layout, and the search of the media data comes
    // last, so a recording with an index never pays for it.
    static const std::vector<EmbeddedReaderEntry> readers = {
        {"novatek", pmReadNovatekGps},
        {"blackvue", pmReadBlackVueGps},
        // These walk the movie's tracks: a few small header reads each.
        {"nmea-text", pmReadNmeaTextTrack}, // NMEA in a timed text track
        {"gpmf", pmReadGpmfTrack},          // telemetry in a gpmd metadata track
        {"garmin", pmReadGarminTrack},      // position records in a uuid box
        // Reads the whole media data: only when no layout above was found.
        {"novatek", pmSearchNovatekGps},
    };
    return readers;
}

namespace
{

bool readWith(Mp4File& file, EmbeddedTrack& track)
{
    track.clear();
    if (!file.isOpen())
        return false;
    EmbeddedInput input{file, file.path(), pmMp4TopLevel(file)};
    for (const EmbeddedReaderEntry& reader : pmEmbeddedReaders()) {
        EmbeddedTrack found;
        if (reader.read(input, found) && !found.empty()) {
            if (found.format.empty())
                found.format = reader.name;
            track = std::move(found);
            return true;
        }
    }
    return false;
}

} // namespace

bool pmReadEmbeddedTrack(const std::string& path, EmbeddedTrack& track, uint64_t* bytesRead)
{
    Mp4File file(path);
    const bool found = readWith(file, track);
    if (bytesRead)
        *bytesRead = file.bytesRead();
    return found;
}

bool pmReadEmbeddedTrack(const unsigned char* data, std::size_t size, EmbeddedTrack& track)
{
    Mp4File file(data, size);
    return readWith(file, track);
}

namespace
{

constexpr double kMaxSpeedKmh = GpsParser::kMaxSpeedKmh;
constexpr double kMaxG = 10;

double clampG(double v)
{
    return std::max(-kMaxG, std::min(kMaxG, v));
}

double magnitude(const EmbeddedG& g)
{
    return std::max({std::fabs(g.x), std::fabs(g.y), std::fabs(g.z)});
}

} // namespace

bool pmFillGpsList(const EmbeddedTrack& track, GpsList& list)
{
    // Readers keep the layout's order; a file may still hold fixes out of
    // order, and a second is decided by time, not by place in the file.
    std::vector<const EmbeddedFix*> fixes;
    fixes.reserve(track.fixes.size());
    for (const EmbeddedFix& f : track.fixes)
        if (f.time >= 0 && f.time < GpsList::kMaxVideoSeconds)
            fixes.push_back(&f);
    std::stable_sort(fixes.begin(), fixes.end(),
                     [](const EmbeddedFix* a, const EmbeddedFix* b) { return a->time < b->time; });
    std::vector<const EmbeddedG*> gs;
    gs.reserve(track.gs.size());
    for (const EmbeddedG& g : track.gs)
        if (g.time >= 0 && g.time < GpsList::kMaxVideoSeconds)
            gs.push_back(&g);
    std::stable_sort(gs.begin(), gs.end(),
                     [](const EmbeddedG* a, const EmbeddedG* b) { return a->time < b->time; });
    if (fixes.empty() && gs.empty())
        return false;

    int seconds = 0;
    if (!fixes.empty())
        seconds = static_cast<int>(fixes.back()->time) + 1;
    if (!gs.empty())
        seconds = std::max(seconds, static_cast<int>(gs.back()->time) + 1);
    seconds = std::min(seconds, GpsList::kMaxVideoSeconds);

    GpsData blank;
    blank.setFDirection(-1);
    for (int i = 0; i < seconds; ++i)
        list.Append(blank);

    bool haveFix = false;
    float lastLatitude = 0;
    float lastLongitude = 0;
    std::size_t next = 0;
    for (int second = 0; second < seconds; ++second) {
        const EmbeddedFix* fix = nullptr;
        while (next < fixes.size() && static_cast<int>(fixes[next]->time) == second) {
            if (!fix)
                fix = fixes[next];
            ++next;
        }
        GpsData* sample = list.GetGpsData(second);
        if (fix && fix->valid) {
            const auto latitude = static_cast<float>(fix->latitude);
            const auto longitude = static_cast<float>(fix->longitude);
            if (!haveFix) {
                // The seconds before the first fix show where it was.
                for (int i = 0; i < second; ++i) {
                    GpsData* early = list.GetGpsData(i);
                    early->setFLatitude(latitude);
                    early->setFLongitude(longitude);
                    early->setFSpeed(-1);
                }
                haveFix = true;
            }
            lastLatitude = latitude;
            lastLongitude = longitude;
            sample->setFLatitude(latitude);
            sample->setFLongitude(longitude);
            // The fix's UTC time at the whole second it stands for.
            if (fix->utcMs != EmbeddedFix::kNoTime)
                sample->setUtcMs(fix->utcMs -
                                 static_cast<int64_t>(std::llround((fix->time - second) * 1000.0)));
            double speed = fix->speedKmh < 0 ? 0 : fix->speedKmh;
            if (speed > kMaxSpeedKmh)
                speed = -1;
            sample->setFSpeed(static_cast<float>(speed));
            sample->setFDirection(fix->course < 0 ? -1.0f
                                                  : static_cast<float>(std::fmod(fix->course, 360.0)));
            if (fix->hasAltitude && fix->altitude >= GpsParser::kMinAltitude &&
                fix->altitude <= GpsParser::kMaxAltitude)
                sample->setDAltitude(fix->altitude);
        } else if (haveFix) {
            sample->setFLatitude(lastLatitude);
            sample->setFLongitude(lastLongitude);
            sample->setFSpeed(-1);
        }
    }
    list.setBGps(haveFix);

    if (!gs.empty()) {
        std::size_t i = 0;
        while (i < gs.size()) {
            const int second = static_cast<int>(gs[i]->time);
            if (second >= seconds)
                break;
            const EmbeddedG* strongest = gs[i];
            for (; i < gs.size() && static_cast<int>(gs[i]->time) == second; ++i) {
                if (magnitude(*gs[i]) > magnitude(*strongest))
                    strongest = gs[i];
                list.UpdateGExtremes(static_cast<float>(clampG(gs[i]->x)),
                                     static_cast<float>(clampG(gs[i]->y)),
                                     static_cast<float>(clampG(gs[i]->z)), second);
            }
            list.GetGpsData(second)->setSensorValue(static_cast<float>(clampG(strongest->x)),
                                                    static_cast<float>(clampG(strongest->y)),
                                                    static_cast<float>(clampG(strongest->z)));
        }
        list.setBSenser(true);
    }
    return true;
}

bool pmEmbeddedStartUtc(const EmbeddedTrack& track, int64_t& utcMs)
{
    for (const EmbeddedFix& f : track.fixes) {
        if (f.valid && f.utcMs != EmbeddedFix::kNoTime && f.time >= 0) {
            utcMs = f.utcMs - static_cast<int64_t>(std::llround(f.time * 1000));
            return true;
        }
    }
    return false;
}

double pmDegreesFromNmea(double ddmm)
{
    if (!std::isfinite(ddmm))
        return std::nan("");
    const double magnitudeValue = std::fabs(ddmm);
    const double degrees = std::floor(magnitudeValue / 100);
    const double minutes = magnitudeValue - degrees * 100;
    if (minutes >= 60)
        return std::nan("");
    const double value = degrees + minutes / 60;
    return ddmm < 0 ? -value : value;
}

int64_t pmDaysFromCivil(int year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int64_t pmUtcMs(int year, int month, int day, int hour, int minute, double second)
{
    if (year < 1970 || year > 2200 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || !(second >= 0) || !(second < 61))
        return EmbeddedFix::kNoTime;
    const int64_t days = pmDaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return ((days * 24 + hour) * 60 + minute) * 60000 + static_cast<int64_t>(std::llround(second * 1000));
}

namespace
{

bool wordNumber(const std::string& word, double& value)
{
    return !word.empty() && pmParseDecimal(word.data(), word.data() + word.size(), value);
}

// "hhmmss[.sss]" and "ddmmyy".
bool clockOf(const std::string& word, int& h, int& m, double& s)
{
    double v = 0;
    if (word.size() < 6 || !wordNumber(word, v) || v < 0)
        return false;
    h = static_cast<int>(v / 10000);
    m = static_cast<int>(std::fmod(v / 100, 100));
    s = std::fmod(v, 100);
    return true;
}

} // namespace

bool pmAddNmeaSentence(const char* begin, const char* end, double time, EmbeddedTrack& track)
{
    if (!begin || end <= begin || *begin != '$' || end - begin > GpsParser::kMaxSentence)
        return false;
    std::string sentence(begin, end);
    while (!sentence.empty() &&
           (sentence.back() == '\r' || sentence.back() == '\n' || sentence.back() == ' '))
        sentence.pop_back();
    if (!GpsParser::stripChecksum(sentence))
        return false;
    GpsParser words;
    if (!words.ParseGpsWords(sentence) || words.wordCount() < 1)
        return false;
    const std::string& id = words.word(0);
    if (id.size() != 6 || id[0] != '$')
        return false;
    const std::string kind = id.substr(3);
    if (kind == "RMC") {
        if (words.wordCount() < 10)
            return false;
        EmbeddedFix fix;
        fix.time = time;
        fix.valid = words.word(2) == "A";
        double lat = 0;
        double lon = 0;
        if (fix.valid && wordNumber(words.word(3), lat) && wordNumber(words.word(5), lon) && lat >= 0 &&
            lon >= 0) {
            fix.latitude = pmDegreesFromNmea(lat) * (words.word(4) == "S" ? -1 : 1);
            fix.longitude = pmDegreesFromNmea(lon) * (words.word(6) == "W" ? -1 : 1);
        } else {
            fix.valid = false;
        }
        double knots = 0;
        if (wordNumber(words.word(7), knots) && knots >= 0)
            fix.speedKmh = knots * 1.852;
        double course = 0;
        if (wordNumber(words.word(8), course) && course >= 0)
            fix.course = course;
        int h = 0;
        int m = 0;
        double s = 0;
        double date = 0;
        if (clockOf(words.word(1), h, m, s) && words.word(9).size() == 6 && wordNumber(words.word(9), date)) {
            const auto d = static_cast<int>(date);
            fix.utcMs = pmUtcMs(2000 + d % 100, d / 100 % 100, d / 10000, h, m, s);
        }
        track.addFix(fix);
        return true;
    }
    if (kind == "GGA") {
        double altitude = 0;
        if (track.fixes.empty() || words.wordCount() < 10 || !wordNumber(words.word(9), altitude))
            return true;
        EmbeddedFix& last = track.fixes.back();
        if (static_cast<int64_t>(std::floor(last.time)) == static_cast<int64_t>(std::floor(time))) {
            last.hasAltitude = true;
            last.altitude = altitude;
        }
        return true;
    }
    return false;
}
