#include "library/PlaylistTrips.h"

#include "core/ContainerProbe.h"
#include "core/FileRules.h"
#include "core/LibraryScan.h"
#include "core/TrackLoader.h"
#include "core/Trips.h"

#include <QDateTime>

#include <algorithm>

int pmAnotherCameraRow(const QList<AMediaFile>& mPlaylist, int index)
{
    if (index < 0 || index >= mPlaylist.size())
        return -1;
    const std::string path = mPlaylist.at(index).nativePath().toStdString();
    if (path.empty() || pmGetCameraType(path) == kCameraNone)
        return -1;
    const std::string partner = pmGetAnotherCameraPath(path);
    if (partner.empty())
        return -1;
    if (index + 1 < mPlaylist.size() && mPlaylist.at(index + 1).nativePath().toStdString() == partner)
        return index + 1;
    if (index >= 1 && mPlaylist.at(index - 1).nativePath().toStdString() == partner)
        return index - 1;
    return -1;
}

std::vector<int> TripProbes::tripMembers(const QList<AMediaFile>& mPlaylist, int playlistIndex)
{
    const int count = static_cast<int>(mPlaylist.size());
    if (playlistIndex < 0 || playlistIndex >= count)
        return {};
    auto entryOf = [this, &mPlaylist](int row) {
        const AMediaFile& media = mPlaylist.at(row);
        const std::string path = media.nativePath().toStdString();
        TripEntry e;
        const QDateTime date = media.fileDate();
        const std::optional<int64_t> named = pmNameTimeMsecs(path);
        e.startMs = named.value_or(0);
        e.startKnown = named.has_value();
        const QByteArray key = media.nativePath() + '\n' + QByteArray::number(date.toMSecsSinceEpoch());
        auto cached = m_durationCache.constFind(key);
        if (cached == m_durationCache.constEnd())
            cached = m_durationCache.insert(
                key, static_cast<qint64>(pmGetContainerDurationSeconds(path) * 1000.0));
        e.durationMs = *cached;
        auto codec = m_codecCache.constFind(key);
        if (codec == m_codecCache.constEnd())
            codec = m_codecCache.insert(key, static_cast<int>(pmGetRecordingCodec(path)));
        e.codec = *codec;
        e.camera = pmGetCameraType(path);
        e.type = pmGetFileType(path);
        return e;
    };

    // A window of the playlist around the index, widened until the trip found
    // in it is closed on both sides by a recording of its kind that does not
    // chain (or by the playlist's ends). Rear partners sit next to their fronts.
    int lo = std::max(0, playlistIndex - 8), hi = std::min(count - 1, playlistIndex + 8);
    std::vector<TripEntry> entries;
    std::vector<int> rows;
    for (;;) {
        entries.clear();
        rows.clear();
        for (int row = lo; row <= hi; ++row) {
            entries.push_back(entryOf(row));
            rows.push_back(row);
        }
        for (int row = lo; row <= hi; ++row) {
            TripEntry& e = entries[static_cast<std::size_t>(row - lo)];
            if (e.camera != kCameraRear)
                continue;
            const int partner = pmAnotherCameraRow(mPlaylist, row);
            if (partner >= lo && partner <= hi &&
                entries[static_cast<std::size_t>(partner - lo)].camera == kCameraMain)
                e.frontPartner = partner - lo;
        }
        const std::vector<Trip> trips = pmDetectTrips(entries);
        const Trip* mine = nullptr;
        for (const Trip& t : trips) {
            if (std::binary_search(t.members.begin(), t.members.end(), playlistIndex - lo))
                mine = &t;
        }
        if (!mine)
            return {playlistIndex};
        // The kind that chains: the camera and type of a member without a partner.
        std::pair<int, int> kind{-1, -1};
        bool chains = true;
        for (int m : mine->members) {
            const TripEntry& e = entries[static_cast<std::size_t>(m)];
            if (e.frontPartner < 0) {
                kind = {e.camera, e.type};
                chains = e.startKnown;
                break;
            }
        }
        // One that chains, that is: a recording of unknown start closes nothing.
        auto sameKind = [&](int i) {
            const TripEntry& e = entries[static_cast<std::size_t>(i)];
            return e.startKnown && e.camera == kind.first && e.type == kind.second;
        };
        // A trip of a recording of unknown start is that recording (and its partner).
        bool closedBefore = lo == 0 || !chains, closedAfter = hi == count - 1 || !chains;
        for (int i = 0; i < mine->members.front() && !closedBefore; ++i)
            closedBefore = sameKind(i);
        for (int i = mine->members.back() + 1; i <= hi - lo && !closedAfter; ++i)
            closedAfter = sameKind(i);
        if (closedBefore && closedAfter) {
            const int camera = entries[static_cast<std::size_t>(playlistIndex - lo)].camera;
            std::vector<int> out;
            for (int m : mine->members) {
                if (entries[static_cast<std::size_t>(m)].camera == camera)
                    out.push_back(m + lo);
            }
            return out;
        }
        const int widen = std::max(8, hi - lo);
        if (!closedBefore)
            lo = std::max(0, lo - widen);
        if (!closedAfter)
            hi = std::min(count - 1, hi + widen);
    }
}
