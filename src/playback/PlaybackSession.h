#pragma once
// The playback of the current recording, or of a front/rear pair: which
// playlist rows play, what opens next, a preview, and a trip's recordings
// played into each other. Its parts hold the rest: SurfacePair (the surfaces
// and CameraSync), Transport (play, pause, speed, volume, seeking, the tick;
// the one holder of the speed and the duration), CurrentTrack, TripRoute,
// TimeStampOverlay and View360Control. The front surface's player is the one
// holder of the play state and the position.
//
// It knows neither the library nor the window: it asks PlaybackSources, and
// what the panels show it and its parts report by signal (app/PlaybackPanels
// connects them). Main thread only.
#include "base/AMediaFile.h"
#include "core/GpsList.h"
#include "playback/CurrentTrack.h"
#include "playback/PlaybackSources.h"
#include "playback/SurfacePair.h"
#include "playback/TimeStampOverlay.h"
#include "playback/Transport.h"
#include "playback/TripRoute.h"
#include "playback/View360Control.h"
#include "views/VideoPlayerView.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <vector>

class PlaybackSession : public QObject
{
    Q_OBJECT
public:
    // What the session needs to know from the library and the window.
    using Sources = PlaybackSources;

    explicit PlaybackSession(QObject* parent = nullptr);
    ~PlaybackSession() override;

    // ---- wiring
    void setSources(Sources sources);
    // The widgets the two surfaces fill (camera 1, camera 2).
    void setPlayerHosts(QWidget* host1, QWidget* host2) { m_pair.setHosts(host1, host2); }
    // The widget the time-stamp overlay is laid over.
    void setOverlayHost(QWidget* content) { m_overlay.setHost(content); }
    // Everything back to the start: nothing open, 1x speed, sound on at `volume`.
    void resetState(int volume);
    // The rows of the trip holding a row (see PlaybackSources::tripMembers).
    void setTripMembers(std::function<std::vector<int>(int)> tripMembers)
    {
        m_sources.tripMembers = std::move(tripMembers);
    }
    // Whether the recordings of a trip play into each other without a gap
    // (on by default); off, each is opened at the end of the one before.
    void setGaplessTrips(bool on) { m_bGaplessTrips = on; }
    // The settings menu's "Show the whole trip on the map" (stored).
    bool showWholeTrip() const { return m_route.showWholeTrip(); }
    // The rows the surfaces play in one go from the current one on (the
    // current row alone outside a trip); for the rear camera with 2.
    const QList<int>& chainRows(int camera = 1) const { return m_pair.chainRows(camera); }
    // The rows of the current recording's trip, in play order (the current
    // row alone outside a trip; empty with nothing current).
    std::vector<int> currentTrip() const { return m_sources.tripOf(m_nCurPlayIndex); }

    // ---- making an entry current
    void setCurPlaylistIndex(int index, bool autoPlay);
    void setCurPlaylistIndex2(int index, bool autoPlay);
    void dualSelectFile(int index, bool switchFlag);
    // The file list's single click: open the row paused on its first frame
    // (with its partner), unless a recording is playing.
    void previewRow(int row);
    bool isPreviewing() const { return m_bPreviewing; }

    // ---- play state and commands (the rest are the transport's)
    Transport& transport() { return m_transport; }
    const Transport& transport() const { return m_transport; }
    VideoPlayerView::State state() const { return m_transport.state(); }
    // Play; a preview not yet ready plays when ready.
    void onPlay();
    // Play, or with nothing open the selected row opened.
    void onButtonPlay();
    bool pausePlayback() { return m_transport.pausePlayback(); }
    void onButtonNext(int wrap);
    void onButtonPrev();
    void movieDidEnd();
    void enableMediaButton(bool enable);

    // ---- two cameras
    bool isDualCameraMode() const { return m_pair.isDual(); }
    bool has2Videos() const { return m_pair.hasRear(); }
    void enable2VideoWindow(bool enable);
    void switchVideoWindow(bool switchVideo);
    void onButtonWindowSwitch();
    const CameraSync& cameraSync() const { return m_pair.sync(); }

    // ---- the track of the current recording
    void onOpenGPSFile();
    // Reads the current recording's track again (an attached track changed)
    // and puts the map and the cursors at the second shown.
    void reloadTrack();
    // The G-sensor panel's graph again, after its images were reloaded.
    void redrawSensorGraph();
    // The map page finished loading (and was asked to load again if it is
    // not up): give it the current track, or an empty map.
    void onMapViewReady();
    // The track emptied (the playlist it belonged to has gone).
    void clearTrack();
    // The track reports what is read of it (the map and the graph listen).
    const CurrentTrack& track() const { return m_track; }
    TripRoute& tripRoute() { return m_route; }

    // ---- the time-stamp overlay and the 360-degree view
    TimeStampOverlay& overlay() { return m_overlay; }
    View360Control& view360() { return m_view360; }

    // ---- state the rest of the program reads
    VideoPlayerView* videoPlayView() const { return m_pair.front(); }
    VideoPlayerView* videoPlayView2() const { return m_pair.rear(); }
    int curPlayIndex() const { return m_nCurPlayIndex; }
    int curPlayIndex2() const { return m_nCurPlayIndex2; }
    // The playlist changed around what plays: the recordings now stand at
    // these rows (-1: none), the surfaces untouched.
    void setPlayRows(int index, int index2)
    {
        m_nCurPlayIndex = index;
        m_nCurPlayIndex2 = index2;
    }
    QUrl currentAsset(int camera) const { return m_pair.asset(camera); }
    bool isSwitchVideo() const { return m_pair.isSwitched(); }
    const GpsList& gpsList() const { return m_track.gps(); }

Q_SIGNALS:
    // The row to open as a double click would (play pressed with nothing open).
    void openRowRequested(int row);
    // A playing recording stopped with an error: is its file still there?
    // The check runs at once, before this object goes on.
    void folderCheckRequested();
    // The recording to open has no file any more; the folder check runs once
    // the command that found it has returned.
    void recordingMissing();
    // The second camera's window was switched on or off: lay the window out again.
    void dualCameraChanged();
    // The current recording's track was loaded (or emptied): what is drawn
    // from it (the harsh-driving marks) follows. Once a recording made
    // current is ready, this comes just before it starts playing.
    void trackLoaded();

    // What the toolbar and the file list show (the play bar follows the
    // transport). The media commands apply (a playlist to play); `open`: a
    // recording is open; `track`: its track has positions.
    void mediaEnabled(bool enable, bool open, bool track);
    // The toolbar's commands on the recording open (print, capture), and its
    // camera switch (shown with two cameras).
    void frameCommandsEnabled(bool enabled);
    void windowSwitchShown(bool shown);
    // The file list selects this row (scrolled into view with `scroll`).
    void currentRowShown(int row, bool scroll);

private:
    void onSurfaceReady(int camera);
    void handleLoadStateChanged();
    void onSurfaceLoadFailed(int camera, const QString& reason);
    void onSurfacePlaybackFailed(int camera, const QString& reason);
    void onRecordingEntered(int chainIndex);
    void stepTo(int target, bool forward, bool wrap);
    void dualNextFile(bool forward, bool wrap);
    void onUpdateTitle(int flag);
    void showPreview();

    Sources m_sources;
    SurfacePair m_pair;
    bool m_bGaplessTrips = true;

    int m_nCurPlayIndex = -1;
    int m_nCurPlayIndex2 = -1;
    TimeStampOverlay m_overlay;
    bool m_bOpenPaused = false; // recordings opened now open paused (a preview)
    bool m_bPreviewing = false; // the current recording opened as a preview, not yet ready
    View360Control m_view360;

    // The track, the event mark and the cursor's G values; the rest of its trip.
    CurrentTrack m_track;
    TripRoute m_route{m_track};
    Transport m_transport{m_pair, m_track};
};
