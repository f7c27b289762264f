#pragma once
// The playback of the current recording, or of a front/rear pair: the two
// video surfaces, the play state, speed, volume and mute, the end of a
// recording, the rear camera kept on the front one's time, the time-stamp
// overlay, the event mark and the track the map and the G-sensor graph
// follow, and the 360-degree view.
//
// The front surface's player is the one holder of the play state (state());
// nothing here keeps a copy of it. Surfaces are created per recording; a
// released one is torn down at once and deleted from the event loop, because
// a release can happen inside one of the surface's own notifications (the end
// of a recording opens the next one).
//
// The session knows neither the library nor the window: the playlist and the
// camera pairs are asked through the functions given to setSources; the
// hosts, the map and the G-sensor graph are given by setters (each may be
// null, and every use checks). What the play bar, the file list, the toolbar
// and the direction pad show it reports by signal (app/PlaybackPanels
// connects them), and what it cannot do itself it asks for by signal.
// Its parts: CameraSync, TimeStampOverlay, View360Control, CurrentTrack.
// Main thread only.
#include "base/AMediaFile.h"
#include "base/NotificationCenter.h"
#include "core/FileRules.h"
#include "core/GpsData.h"
#include "core/GpsList.h"
#include "playback/CameraSync.h"
#include "playback/CurrentTrack.h"
#include "playback/LatestReads.h"
#include "playback/TimeStampOverlay.h"
#include "playback/View360Control.h"
#include "views/VideoPlayerView.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class GSensorView;
class MapView;
class QLabel;
class QTimer;

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
        // A track attached to a recording, read in place of its positions.
        CurrentTrack::AttachedReader attachedTrack;
        // The attachments of these recordings, answered from a copy a worker may keep.
        std::function<TrackAttachmentFinder(const std::vector<std::string>&)> attachedTracks;
    };

    explicit PlaybackSession(QObject* parent = nullptr);
    ~PlaybackSession() override;

    // ---- wiring
    void setSources(Sources sources);
    void setPanels(MapView* map, GSensorView* gsensor);
    // The widgets the two surfaces fill (camera 1, camera 2).
    void setPlayerHosts(QWidget* host1, QWidget* host2);
    // The widget the time-stamp overlay is laid over.
    void setOverlayHost(QWidget* content);
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
    bool gaplessTrips() const { return m_bGaplessTrips; }
    // The settings menu's "Show the whole trip on the map" (stored).
    bool showWholeTrip() const { return m_bShowWholeTrip; }
    void setShowWholeTrip(bool on);
    // Gives the map the rest of the current recording's trip (or takes it
    // away: off, outside a trip, without a track).
    void updateTripRoute();
    // The rows the surfaces play in one go from the current one on (the
    // current row alone outside a trip); for the rear camera with 2.
    const QList<int>& chainRows(int camera = 1) const { return camera == 2 ? m_chainRows2 : m_chainRows; }
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
    bool dualNextFile(bool forward, bool wrap);
    void handleLoadStateChanged();
    void handleLoadStateChanged2();

    // ---- play state and commands
    VideoPlayerView::State state() const;
    void onPlay();
    void onPause();
    void onStop();
    void onButtonPlay();
    void onButtonPause();
    // Pauses when playing (true then) and shows the play button.
    bool pausePlayback();
    void onButtonNext(int wrap);
    void onButtonPrev();
    void movieDidEnd();
    void onButtonMute();
    void checkMute();
    void setVolume(int step);
    // The volume a step up or down, stored as the volume slider stores it.
    void stepVolume(int delta);
    void onButtonSpeed();
    void setPlaySpeed(float speed);
    // The play bar's speed button image index to a rate (1.0 for unknown indexes).
    static float speedForStep(int step);
    void setCurrentMovieTime(int seconds);
    // Moves both cameras to this second (clamped to the recording), with the
    // slider, the G-sensor cursor, the time labels and the map following.
    void seekToSecond(int seconds);
    // The current position, seconds forward or back (the player's keys).
    bool seekBySeconds(int delta);
    // One frame back or forward on both cameras; only while paused.
    bool stepFrame(bool forward);
    // A click on the G-sensor graph at this column: playback moves to the
    // second whose sample is drawn there.
    void onGSensorGraphClicked(int graphX);
    // The play bar's time or volume slider moved.
    void onSliderChanged(const Notification& n);

    // ---- the tick, the time and the play bar
    void checkMovieTime();
    void onPlayTimerChange();
    void drawTime();
    void onStopMessage();
    void resetCtrl();
    void checkPlayButtonState(bool showPlay);
    void enableMediaButton(bool enable);
    void onUpdateTitle(int flag);

    // ---- two cameras
    bool isDualCameraMode() const { return m_b2VideoWindowEnable; }
    bool has2Videos() const;
    void enable2VideoWindow(bool enable);
    void switchVideoWindow(bool switchVideo);
    void onButtonWindowSwitch();
    bool syncSecondCamera();
    const CameraSync& cameraSync() const { return m_sync; }

    // ---- the track of the current recording
    void onOpenGPSFile();
    // Reads the current recording's track again (an attached track changed)
    // and puts the map and the cursors at the second shown.
    void reloadTrack();
    float xCreateSensorGraphic(int eventIndex);
    const GpsData* getCurGpsData() const { return m_track.sampleAt(mSelectedMovieCurrentTime); }
    void mapGoTo();
    // The map page finished loading: give it the current track, or an empty map.
    void onMapViewReady();
    // The G-sensor panel's graph again, after its images were reloaded.
    void redrawSensorGraph();

    // ---- the time-stamp overlay
    TimeStampOverlay& overlay() { return m_overlay; }
    std::optional<QString> getTimeStampString();
    std::optional<QString> timeStampStringAt(double position) const
    {
        return m_overlay.textAt(position, m_track.gps(), isOpen());
    }
    double frameTime() const
    {
        return TimeStampOverlay::frameTime(_videoPlayView.data(), mSelectedMovieCurrentTime);
    }
    const GpsData* gpsDataOfFrame(double position) const
    {
        return TimeStampOverlay::sampleOfFrame(m_track.gps(), position);
    }
    void showTimeStamp() { m_overlay.showAt(frameTime(), m_track.gps(), isOpen()); }
    void checkTimeStamp();
    // The camera's clock corrected by this difference from GPS time (none:
    // as the camera kept it); the stamp shown follows at once.
    void setClockCorrection(std::optional<int64_t> differenceMs)
    {
        m_overlay.setClockDifference(differenceMs);
        checkTimeStamp();
    }
    void moveTimeStamp();
    void hideTimeStamp() { m_overlay.setVisible(false); }
    void setTimeStampText(const QString& text) { m_overlay.setText(text); }
    QLabel* timeStampLabel() { return m_overlay.label(); }
    QLabel* timeStamp() const { return m_overlay.existingLabel(); }

    // ---- 360-degree view
    View360Control& view360() { return m_view360; }
    // The menu's switch for a flat recording: -1 when it does not apply (no
    // recording, or one tagged spherical), else whether it is on.
    void onMenu360View();
    int view360State() const { return m_view360.state(_videoPlayView.data()); }
    void apply360Mode(VideoPlayerView* view, const std::string& path);
    void onButtonDpad(int command) { View360Control::turn(_videoPlayView.data(), command); }
    void checkDpadButtons() { m_view360.update(_videoPlayView.data(), m_bSwitchVideo); }

    // ---- state the rest of the program reads
    VideoPlayerView* videoPlayView() const;
    VideoPlayerView* videoPlayView2() const;
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
    QUrl currentAsset(int camera) const { return camera == 2 ? _currectasset2 : _currectasset; }
    bool isVideoLoading() const { return m_bVideoLoading; }
    bool isSwitchVideo() const { return m_bSwitchVideo; }
    int timeStampMode() const { return m_overlay.mode(); }
    void setTimeStampMode(int mode) { m_overlay.setMode(mode); }
    const _SYSTEMTIME& rearCamTime() const { return m_overlay.start(); }
    // The start the stamp counts from; set from the name when a recording opens.
    void setRearCamTime(const _SYSTEMTIME& start) { m_overlay.setStart(start); }
    float playSpeed() const { return m_fPlaySpeed; }
    bool isMuted() const { return m_bMute; }
    int volume() const { return m_nVolume; }
    // The position and length of the current recording, seconds.
    double currentTime() const { return mSelectedMovieCurrentTime; }
    double duration() const { return mSelectedMovieDuration; }
    bool hasTickTimer() const { return m_tickTimer != nullptr; }
    const CurrentTrack& track() const { return m_track; }
    int eventTime() const { return m_track.eventTime(); }
    int sensorX() const { return m_track.sensorX(); }
    int sensorY() const { return m_track.sensorY(); }
    int sensorZ() const { return m_track.sensorZ(); }
    bool isDpadEnabled() const { return m_view360.padEnabled(); }
    const GpsList& gpsList() const { return m_track.gps(); }
    // The track emptied (the playlist it belonged to has gone).
    void clearTrack();
    const QImage& sensorBitmap() const { return m_track.graphic(); }
    int16_t motorType() const { return m_track.motorType(); }

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

    // What the play bar, the file list and the G-sensor cursor show.
    // The time label: the position and the length, whole seconds.
    void timeChanged(int position, int duration);
    // The time slider's place, whole seconds; its range (0 to `last`, moved
    // by the user only when `seekable`); whether it can be moved at all.
    void positionChanged(int second);
    void seekRangeChanged(bool seekable, int last);
    void seekEnabled(bool enabled);
    // The event mark on the time slider, seconds (-1: none).
    void eventMarkChanged(int second);
    // The play button shows Pause while playing, else Play.
    void playingChanged(bool playing);
    // The play button back to its first image; with controlsReset also the
    // slider (at 0, no mark) and the reverse button.
    void playButtonReset();
    void controlsReset();
    // The speed step in force (see speedForStep), and whether it can be changed.
    void speedChanged(int step);
    void speedEnabled(bool enabled);
    // The volume step stored by a key.
    void volumeChanged(int step);
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
    // The G-sensor cursor at the position shown, with that second's G
    // values (thousandths of g).
    void sensorCursorChanged(int x, int y, int z);

private:
    QWidget* playerHost(int which) const;
    VideoPlayerView* makeSurface(QWidget* host);
    void dropSurface(QPointer<VideoPlayerView>& surface);
    // A surface's recording is ready (a chain's surface also when it runs
    // into its next recording); released surfaces are ignored.
    void onSurfaceReady(VideoPlayerView* surface);
    void onSurfaceLoadFailed(VideoPlayerView* surface, const QString& reason);
    void onSurfacePlaybackFailed(VideoPlayerView* surface, const QString& reason);
    // The rows a surface opened at `index` plays in one go (see chainRows).
    QList<int> chainFrom(int index, const QList<AMediaFile>& list) const;
    // Opens `rows` in the surface: one recording, or a trip's chain of the
    // recordings' `lengths` (probeDurations' answer for the rows).
    void loadRows(VideoPlayerView* view, const QList<int>& rows, const QList<AMediaFile>& list,
                  const std::vector<double>& lengths, QList<int>& chained);
    // The front surface opens `rows` once their durations are read on a
    // worker: the slider's range and the track's padding wait for the
    // recording's, a trip's timeline for every member's. The rear's opening
    // (its chain follows the front's) waits in m_rearOpening meanwhile.
    void openFrontWhenProbed(VideoPlayerView* view, const QList<int>& rows, const QList<AMediaFile>& list);
    void openRearRows(VideoPlayerView* view, int index, const QList<AMediaFile>& list);
    void onRecordingEntered(VideoPlayerView* surface, int chainIndex);
    QList<AMediaFile> playlist() const;
    int selectedRow() const;
    int partnerOf(int index) const;
    int cameraTypeOf(int index) const;
    bool isPlaying() const { return state() == VideoPlayerView::StatePlaying; }
    // A recording was opened (its track then carries the stamp's preferences).
    bool isOpen() const { return !_currectasset.isEmpty() || !_currectasset2.isEmpty(); }
    void emitSensorCursor()
    {
        Q_EMIT sensorCursorChanged(m_track.sensorX(), m_track.sensorY(), m_track.sensorZ());
    }
    // The overlay's mode and start for a recording opened in the front
    // surface, or in the rear one.
    void markRearStart(const std::string& native);
    void setRearStart(const std::string& native);
    void showPreview();
    bool isLastRecordingEnded() const;
    void stopOnLastFrames();
    void rewindFromLastFrames();

    Sources m_sources;
    QPointer<MapView> mMapView;
    QPointer<GSensorView> mGSensorView;
    QPointer<QWidget> m_host1;
    QPointer<QWidget> m_host2;

    QPointer<VideoPlayerView> _videoPlayView;
    QPointer<VideoPlayerView> _videoPlayView2;
    QUrl _currectasset;
    QUrl _currectasset2;
    QTimer* m_tickTimer = nullptr;
    CameraSync m_sync;
    bool m_bGaplessTrips = true;
    std::function<std::vector<int>(int)> m_tripMembers;
    bool m_bShowWholeTrip = true;
    QList<int> m_chainRows;
    QList<int> m_chainRows2;

    int m_nCurPlayIndex = -1;
    int m_nCurPlayIndex2 = -1;
    bool m_bMute = false;
    int m_nVolume = 8;
    float m_fPlaySpeed = 1.0f;
    // The speed button's place in its cycle of steps (speedForStep); the
    // speed itself is m_fPlaySpeed, which setPlaySpeed may set off the cycle.
    int m_nSpeedStep = 0;
    double mSelectedMovieCurrentTime = 0.0;
    double mSelectedMovieDuration = 0.0;
    bool m_bVideoLoading = false;
    bool m_b2VideoWindowEnable = false;
    bool m_bSwitchVideo = false;
    TimeStampOverlay m_overlay;
    bool m_bOpenPaused = false; // recordings opened now open paused (a preview)
    bool m_bPreviewing = false; // the current recording opened as a preview, not yet ready
    View360Control m_view360;

    // The track, the event mark and the cursor's G values.
    CurrentTrack m_track;
    // The durations and trip routes being read on workers.
    LatestReads m_reads;
    std::function<void()> m_rearOpening;
};
