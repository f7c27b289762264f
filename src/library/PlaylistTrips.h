#pragma once
// Camera pairs and trips within a playlist (rows in name order, a rear
// partner next to its front).
#include "base/AMediaFile.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <vector>

// The row of the other camera's recording of `index`, next to it; -1 when none.
int pmAnotherCameraRow(const QList<AMediaFile>& playlist, int index);

class TripProbes
{
public:
    // Playlist indexes of the trip (core/Trips.h) holding `playlistIndex`, in
    // play order, of that recording's camera: {playlistIndex} when it stands
    // alone, empty for an invalid index. Starts come from the names (the file
    // date where a name states none), durations from the container headers,
    // read once per file and kept; only the playlist around the index is read.
    std::vector<int> tripMembers(const QList<AMediaFile>& playlist, int playlistIndex);

private:
    // Container durations in ms by path and modification time.
    QHash<QByteArray, qint64> m_durationCache;
    // Video codecs by the same key: a trip never joins H.264 and H.265.
    QHash<QByteArray, int> m_codecCache;
};
