#pragma once
// The transport of what plays: play, pause and stop, speed, volume and mute,
// seeking and frame steps, the half-second tick, and what the play bar, the
// map's marker and the G-sensor cursor show of the position.
//
// mpv is the one holder of the play state and the position: state() and
// the position shown are asked of the front surface. The speed, the volume
// and the length of the recording have their one holder here. Both cameras
// are driven together through the SurfacePair; the place shown is the
// current track's at the position. Main thread only.
#include "base/NotificationCenter.h"
#include "playback/CurrentTrack.h"
#include "playback/SurfacePair.h"
#include "views/VideoPlayerView.h"

#include <QObject>

class QTimer;

class Transport : public QObject
{
    Q_OBJECT
public:
    Transport(SurfacePair& pair, CurrentTrack& track, QObject* parent = nullptr);

    // Nothing playing, 1x speed, sound on at `volume`.
    void reset(int volume);
    VideoPlayerView::State state() const;
    bool isPlaying() const { return state() == VideoPlayerView::StatePlaying; }

    // ---- commands
    void onPlay();
    void onPause();
    void onButtonPause();
    // Pauses when playing (true then) and shows the play button.
    bool pausePlayback();
    // Both cameras paused at the start, the controls showing it.
    void onStop();
    void onStopMessage();
    // The last recording ended: both cameras stay on their last frames, with
    // the slider, time and map at the end.
    void stopOnLastFrames();
    void onButtonMute();
    void checkMute();
    void setVolume(int step);
    // The volume a step up or down, stored as the volume slider stores it.
    void stepVolume(int delta);
    void onButtonSpeed();
    void setPlaySpeed(float speed);
    // The play bar's speed button image index to a rate (1.0 for unknown indexes).
    static float speedForStep(int step);
    // Moves both cameras to this second (clamped to the recording), with the
    // slider, the G-sensor cursor, the time labels and the map following.
    void seekToSecond(int seconds);
    // A click on the G-sensor graph at this column: the second whose sample
    // is drawn there.
    void seekToGraphColumn(int graphX);
    // The current position, seconds forward or back (the player's keys).
    bool seekBySeconds(int delta);
    // One frame back or forward on both cameras; only while paused.
    bool stepFrame(bool forward);
    // The play bar's time or volume slider moved.
    void onSliderChanged(const Notification& n);
    bool syncSecondCamera();

    // ---- what is shown of the position
    void drawTime();
    void onPlayTimerChange();
    // The map's marker and the G-sensor cursor at the position.
    void mapGoTo();
    // The marker taken off the map (the track emptied).
    void showNoPlace();
    void checkPlayButtonState(bool showPlay) { Q_EMIT playingChanged(!showPlay); }
    // The slider's range for the recording's length (moved by the user from
    // one second on).
    void announceSeekRange();
    // The recording being opened cannot be played: nothing waits for it, the
    // play button shows Play and the slider stays still.
    void openFailed();
    // Whether the speed can be changed; the play bar back to its start.
    void enableSpeed(bool enabled) { Q_EMIT speedEnabled(enabled); }
    void resetControls() { Q_EMIT controlsReset(); }
    void showPosition(int second) { Q_EMIT positionChanged(second); }
    void emitSensorCursor()
    {
        Q_EMIT sensorCursorChanged(m_track.sensorX(), m_track.sensorY(), m_track.sensorZ());
    }

    // A surface just made takes the speed (none when it opens `paused`), and
    // on the front the volume and mute; the rear is always silent, set
    // before its player exists so not even its first moment is heard.
    void prepareSurface(VideoPlayerView* view, bool front, bool paused) const;

    // ---- the recording's timing
    // The half-second tick runs while a recording is open.
    void setTicking(bool on);
    bool hasTickTimer() const { return m_tickTimer != nullptr; }
    // A recording is being opened: speed changes wait for it.
    void setLoading(bool loading) { m_bVideoLoading = loading; }
    bool isVideoLoading() const { return m_bVideoLoading; }
    // The position and length of the current recording, seconds.
    double currentTime() const { return mSelectedMovieCurrentTime; }
    void setCurrentTime(double seconds) { mSelectedMovieCurrentTime = seconds; }
    double duration() const { return mSelectedMovieDuration; }
    void setDuration(double seconds) { mSelectedMovieDuration = seconds; }
    float playSpeed() const { return m_fPlaySpeed; }
    bool isMuted() const { return m_bMute; }
    int volume() const { return m_nVolume; }

Q_SIGNALS:
    // The time label: the position and the length, whole seconds.
    void timeChanged(int position, int duration);
    // The time slider's place, whole seconds.
    void positionChanged(int second);
    // The play button shows Pause while playing, else Play.
    void playingChanged(bool playing);
    // The play button back to its first image.
    void playButtonReset();
    // The time slider's range (0 to `last`, moved by the user only when
    // `seekable`); whether it can be moved at all.
    void seekRangeChanged(bool seekable, int last);
    void seekEnabled(bool enabled);
    // The play button back to its first image, the slider at 0 without its
    // mark, and the reverse button.
    void controlsReset();
    // Whether the speed can be changed.
    void speedEnabled(bool enabled);
    // The speed step in force (see speedForStep).
    void speedChanged(int step);
    // The volume step stored by a key.
    void volumeChanged(int step);
    // The marker's place at the position shown, and that second's G values
    // (thousandths of g) under the G-sensor cursor.
    void placeChanged(const CurrentTrack::Place& place);
    void sensorCursorChanged(int x, int y, int z);

private:
    void setCurrentMovieTime(int seconds);
    void checkMovieTime();
    void rewindFromLastFrames();

    SurfacePair& m_pair;
    CurrentTrack& m_track;
    QTimer* m_tickTimer = nullptr;
    bool m_bMute = false;
    int m_nVolume = 8;
    float m_fPlaySpeed = 1.0f;
    // The speed button's place in its cycle of steps (speedForStep); the
    // speed itself is m_fPlaySpeed, which setPlaySpeed may set off the cycle.
    int m_nSpeedStep = 0;
    double mSelectedMovieCurrentTime = 0.0;
    double mSelectedMovieDuration = 0.0;
    bool m_bVideoLoading = false;
};
