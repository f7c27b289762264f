#pragma once
// What playback asks of the library and the window: the playlist in its
// order, the pairs and trips its rows form, the selection, the camera model
// and how the window is laid out. Each question left unset has the neutral
// answer (an empty playlist, no partner, the front camera, no trip), so a
// session works without a library.
#include "base/AMediaFile.h"
#include "core/FileRules.h"
#include "core/TrackAttachments.h"
#include "playback/CurrentTrack.h"
#include "views/SensorGraphic.h"

#include <QList>
#include <QString>

#include <functional>
#include <string>
#include <vector>

struct PlaybackSources {
    // The playlist in its order (the rows of the file list).
    std::function<QList<AMediaFile>()> playlist;
    // The other camera's row of a pair, or -1; the camera type of a row.
    std::function<int(int)> partnerOf;
    std::function<int(int)> cameraTypeOf;
    // The rows of the trip holding a row, in play order (the row alone when
    // it starts no trip; empty for an unknown row). Without it every
    // recording plays alone.
    std::function<std::vector<int>(int)> tripMembers;
    // The camera model of the current folder, given to each track.
    std::function<QString()> modelName;
    // The map fills the window (the map's own full-size state follows it).
    std::function<bool()> mapFullScreen;
    // The row the user selected in the file list, or -1.
    std::function<int()> selectedRow;
    // The G-sensor graph's axis colours (the defaults without).
    std::function<SensorGraphColours()> graphColours;
    // A track attached to a recording, read in place of its positions.
    CurrentTrack::AttachedReader attachedTrack;
    // The attachments of these recordings, answered from a copy a worker may keep.
    std::function<TrackAttachmentFinder(const std::vector<std::string>&)> attachedTracks;

    QList<AMediaFile> list() const { return playlist ? playlist() : QList<AMediaFile>(); }
    int partner(int row) const { return partnerOf ? partnerOf(row) : -1; }
    int cameraType(int row) const { return cameraTypeOf ? cameraTypeOf(row) : kCameraMain; }
    int selected() const { return selectedRow ? selectedRow() : -1; }
    std::string model() const { return modelName ? modelName().toStdString() : std::string(); }
    bool mapFull() const { return mapFullScreen && mapFullScreen(); }
    // The rows of the trip holding `row`, in play order (`row` alone outside
    // a trip; empty for no row).
    std::vector<int> tripOf(int row) const;
    // The rows a surface opened at `row` of `list` plays in one go: the
    // members of its trip that follow it (see pmTripChainFrom), or `row`
    // alone when trips do not play `gapless`.
    QList<int> chainFrom(int row, const QList<AMediaFile>& list, bool gapless) const;
};
