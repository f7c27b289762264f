#pragma once
// The playback of the current recording, or of a front/rear pair: which
// playlist rows play, the play state, speed, volume and mute, the end of a
// recording and what comes next, the time-stamp overlay's mode, the event mark
// and the track the map and the G-sensor graph follow, and the 360-degree view.
//
// The front surface's player is the one holder of the play state (state())
// and of the position; nothing here keeps a copy of either. The speed and the
// duration each have one holder, the Transport.
//
// The session knows neither the library nor the window: the playlist and the
// camera pairs are asked through the functions given to setSources; the hosts
// are given by setters. What the play bar, the file list, the toolbar, the
// map, the G-sensor graph and the direction pad show it reports by signal
// (app/PlaybackPanels connects them), and what it cannot do itself it asks
// for by signal. Its parts: SurfacePair (the surfaces and CameraSync),
// Transport (play, pause, speed, volume, seeking, the tick), TimeStampOverlay,
// View360Control, CurrentTrack and TripRoute.
// Main thread only.
#include "base/AMediaFile.h"
#include "base/NotificationCenter.h"
#include "core/GpsData.h"
#include "core/GpsList.h"
#include "playback/CurrentTrack.h"
#include "playback/SurfacePair.h"
#include "playback/TimeStampOverlay.h"
#include "playback/Transport.h"
#include "playback/TripRoute.h"
#include "playback/View360Control.h"
#include "views/SensorGraphic.h"
#include "views/VideoPlayerView.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;

class PlaybackSession : public QObject
{
    Q_OBJECT
public:
    // What the session needs to know from the library and the window.
    struct Sources {
        // The playlist in its order (the rows of the file list).
        std::function<QList<AMediaFile>()> playlist;
        // The other camera's row of a pair, or -1; the camera type of a row.
        std::function<int(int)> partnerOf;
        std::function<int(int)> cameraTypeOf;
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
    };

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
    // The rows of the trip holding a row, in play order (the row alone when
    // it starts no trip; empty for an unknown row). Without it every
    // recording plays alone.
    void setTripMembers(std::function<std::vector<int>(int)> tripMembers)
    {
        m_tripMembers = std::move(tripMembers);
    }
    // Whether the recordings of a trip play into each other without a gap
    // (on by default); off, each is opened at the end of the one before.
    void setGaplessTrips(bool on) { m_bGaplessTrips = on; }
    // The settings menu's "Show the whole trip on the map" (stored).
    bool showWholeTrip() const { return m_route.showWholeTrip(); }
    void setShowWholeTrip(bool on);
    // The rows the surfaces play in one go from the current one on (the
    // current row alone outside a trip); for the rear camera with 2.
    const QList<int>& chainRows(int camera = 1) const { return m_pair.chainRows(camera); }
    // The rows of the current recording's trip, in play order (the current
    // row alone outside a trip; empty with nothing current).
    std::vector<int> currentTrip() const;

    // ---- making an entry current
    void setCurPlaylistIndex(int index, bool autoPlay);
    void setCurPlaylistIndex2(int index, bool autoPlay);
    void dualSelectFile(int index, bool switchFlag);
    // The file list's single click: open the row paused on its first frame
    // (with its partner), unless a recording is playing.
    void previewRow(int row);
    bool isPreviewing() const { return m_bPreviewing; }
    void handleLoadStateChanged();

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
    // A click on the G-sensor graph at this column: playback moves to the
    // second whose sample is drawn there.
    void onGSensorGraphClicked(int graphX);
    void enableMediaButton(bool enable);

    // ---- two cameras
    bool isDualCameraMode() const { return m_pair.isDual(); }
    bool has2Videos() const { return m_pair.hasRear(); }
    void enable2VideoWindow(bool enable);
    void switchVideoWindow(bool switchVideo);
    void onButtonWindowSwitch();
    const CameraSync& cameraSync() const { return m_pair.sync(); }
    SurfacePair& surfaces() { return m_pair; }

    // ---- the track of the current recording
    void onOpenGPSFile();
    // Reads the current recording's track again (an attached track changed)
    // and puts the map and the cursors at the second shown.
    void reloadTrack();
    const GpsData* getCurGpsData() const { return m_track.sampleAt(m_transport.currentTime()); }
    // The G-sensor panel's graph again, after its images were reloaded.
    void redrawSensorGraph();
    // The map page finished loading (and was asked to load again if it is
    // not up): give it the current track, or an empty map.
    void onMapViewReady();
    // The track emptied (the playlist it belonged to has gone).
    void clearTrack();
    const CurrentTrack& track() const { return m_track; }
    TripRoute& tripRoute() { return m_route; }

    // ---- the time-stamp overlay
    TimeStampOverlay& overlay() { return m_overlay; }
    std::optional<QString> getTimeStampString();
    std::optional<QString> timeStampStringAt(double position) const
    {
        return m_overlay.textAt(position, m_track.gps(), isOpen());
    }
    double frameTime() const
    {
        return TimeStampOverlay::frameTime(videoPlayView(), m_transport.currentTime());
    }
    const GpsData* gpsDataOfFrame(double position) const
    {
        return TimeStampOverlay::sampleOfFrame(m_track.gps(), position);
    }
    void checkTimeStamp();
    // The camera's clock corrected by this difference from GPS time (none:
    // as the camera kept it); the stamp shown follows at once.
    void setClockCorrection(std::optional<int64_t> differenceMs)
    {
        m_overlay.setClockDifference(differenceMs);
        checkTimeStamp();
    }
    void moveTimeStamp() { m_overlay.placeOver(m_pair); }
    void hideTimeStamp() { m_overlay.setVisible(false); }
    void setTimeStampText(const QString& text) { m_overlay.setText(text); }
    QLabel* timeStampLabel() { return m_overlay.label(); }
    QLabel* timeStamp() const { return m_overlay.existingLabel(); }
    int timeStampMode() const { return m_overlay.mode(); }
    void setTimeStampMode(int mode) { m_overlay.setMode(mode); }
    const _SYSTEMTIME& rearCamTime() const { return m_overlay.start(); }
    // The start the stamp counts from; set from the name when a recording opens.
    void setRearCamTime(const _SYSTEMTIME& start) { m_overlay.setStart(start); }

    // ---- 360-degree view
    View360Control& view360() { return m_view360; }
    // The menu's switch for a flat recording: -1 when it does not apply (no
    // recording, or one tagged spherical), else whether it is on.
    void onMenu360View();
    int view360State() const { return m_view360.state(videoPlayView()); }
    void onButtonDpad(int command) { View360Control::turn(videoPlayView(), command); }
    void checkDpadButtons() { m_view360.update(videoPlayView(), isSwitchVideo()); }
    bool isDpadEnabled() const { return m_view360.padEnabled(); }

    // ---- state the rest of the program reads
    VideoPlayerView* videoPlayView() const { return m_pair.front(); }
    VideoPlayerView* videoPlayView2() const { return m_pair.rear(); }
    int curPlayIndex() const { return m_nCurPlayIndex; }
    int curPlayIndex2() const { return m_nCurPlayIndex2; }
    // Forgets the current entry without touching the surfaces (the
    // playlist it pointed into has gone).
    void forgetCurPlayIndex() { m_nCurPlayIndex = -1; }
    // The playlist changed around what plays: the recordings now stand at
    // these rows (-1 leaves a camera's row as it is).
    void setPlayRows(int index, int index2)
    {
        m_nCurPlayIndex = index;
        m_nCurPlayIndex2 = index2;
    }
    void renumberCurrent(int index, int index2)
    {
        if (index >= 0)
            m_nCurPlayIndex = index;
        if (index2 >= 0)
            m_nCurPlayIndex2 = index2;
    }
    QUrl currentAsset(int camera) const { return m_pair.asset(camera); }
    bool isSwitchVideo() const { return m_pair.isSwitched(); }
    int eventTime() const { return m_track.eventTime(); }
    const GpsList& gpsList() const { return m_track.gps(); }
    const QImage& sensorBitmap() const { return m_track.graphic(); }

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

    // What the play bar and the file list show (the position and the play
    // button: the transport's signals). The time slider's range (0 to
    // `last`, moved by the user only when `seekable`); whether it can be
    // moved at all.
    void seekRangeChanged(bool seekable, int last);
    void seekEnabled(bool enabled);
    // The event mark on the time slider, seconds (-1: none).
    void eventMarkChanged(int second);
    // The play button back to its first image, the slider at 0 without its
    // mark, and the reverse button.
    void controlsReset();
    // Whether the speed can be changed.
    void speedEnabled(bool enabled);
    // The media commands apply (a playlist to play); `open`: a recording is
    // open; `track`: its track has positions.
    void mediaEnabled(bool enable, bool open, bool track);
    // The toolbar's commands on the recording open (print, capture), on its
    // track (export), and its camera switch (shown with two cameras).
    void frameCommandsEnabled(bool enabled);
    void trackExportEnabled(bool enabled);
    void windowSwitchShown(bool shown);
    // The file list selects this row (scrolled into view with `scroll`).
    void currentRowShown(int row, bool scroll);

    // What the map and the G-sensor graph show of the track.
    // A track was read for the recording (`loaded`) or none could be; the
    // map is switched on for it, or off. Then its positions (null: none).
    void trackShown(bool loaded);
    void pathChanged(const GpsList* path);
    // The graph's picture (null: none) with its motor type and scale.
    void sensorGraphChanged(const QImage& image, int16_t motorType, float scale);

private:
    void onSurfaceReady(int camera);
    void onSurfaceLoadFailed(int camera, const QString& reason);
    void onSurfacePlaybackFailed(int camera, const QString& reason);
    void onRecordingEntered(int chainIndex);
    void handleLoadStateChanged2();
    bool dualNextFile(bool forward, bool wrap);
    // The rows a surface opened at `index` plays in one go (see chainRows).
    QList<int> chainFrom(int index, const QList<AMediaFile>& list) const;
    QList<AMediaFile> playlist() const;
    int selectedRow() const;
    int partnerOf(int index) const;
    int cameraTypeOf(int index) const;
    bool isPlaying() const { return m_transport.isPlaying(); }
    // A recording was opened (its track then carries the stamp's preferences).
    bool isOpen() const { return !m_pair.asset(1).isEmpty() || !m_pair.asset(2).isEmpty(); }
    void resetCtrl() { Q_EMIT controlsReset(); }
    void onUpdateTitle(int flag);
    void updateTripRoute();
    void drawSensorGraph(int eventIndex);
    void showTimeStamp() { m_overlay.showAt(frameTime(), m_track.gps(), isOpen()); }
    void showPreview();
    bool isLastRecordingEnded() const;

    Sources m_sources;
    SurfacePair m_pair;
    bool m_bGaplessTrips = true;
    std::function<std::vector<int>(int)> m_tripMembers;

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
