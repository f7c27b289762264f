// Feeds arbitrary bytes to the GPX, KML, NMEA and CSV readers (the first byte
// picks a prefix that steers the format guess) and lays whatever they read
// onto a recording. Checks the fixes are sorted and on the globe, and that the
// aligned track stays within its bounds.
#include "TrackFuzzSupport.h"
#include "core/ForeignTrack.h"
#include "core/GpsList.h"

#include <cmath>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const char* prefixes[] = {"", "<gpx>", "<kml>", "$", "time,lat,lon\n"};
    std::string text = prefixes[data[0] % 5];
    text.append(reinterpret_cast<const char*>(data + 1), size - 1);
    ForeignTrack track;
    std::string error;
    const bool ok = parseForeignTrack(text, track, error);
    if (ok == track.fixes.empty() || ok != error.empty())
        std::abort();
    for (std::size_t i = 0; i < track.fixes.size(); ++i) {
        const ForeignFix& f = track.fixes[i];
        if (!(std::fabs(f.lat) <= 90) || !(std::fabs(f.lon) <= 180) ||
            (i > 0 && track.fixes[i - 1].utcMs >= f.utcMs))
            std::abort();
    }
    if (ok) {
        GpsList list;
        const int seconds = 1 + data[0] % 64;
        alignForeignTrack(track, track.fixes.front().utcMs - 2000, seconds, (data[0] % 7) - 3, list, error);
        if (list.GetDataCount() != 0 && list.GetDataCount() != seconds)
            std::abort();
        trackfuzz::checkTrack(list);
    }
    return 0;
}
