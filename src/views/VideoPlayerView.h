#pragma once
// The video surface: one per camera, plays one recording with libmpv.
//
// Design notes
// - Three pieces: an MpvPlayer owns the mpv handle (one per loaded recording:
//   opened by loadURL(), closed by releasePlayer() or by a load failure), a
//   VideoRenderWidget draws its picture, and this surface keeps the names the
//   rest of the program knows: readiness, end handling, the failure text and
//   the periodic time.
// - mpv is the only holder of the player's state (pause, speed, position,
//   duration, picture size); the surface reads the player's mirror of it.
// - Picture: vo=libmpv drawn into the render widget (normalView) at
//   device-pixel size. Headless surfaces (tests, machines without OpenGL) use
//   vo=null and never touch OpenGL.
// - End of a recording: mpv runs with keep-open, so at the end the file stays
//   loaded and paused on its last frame, and the surface leaves it there (rate
//   0): the controller opens the next recording in a new surface, or stops at
//   the last one with both cameras on their last frames. Playing again from
//   the end (onPlay, rewindIfAtEnd) starts from 0.
// - A recording that cannot be decoded (unknown format, damaged stream, no
//   video track) ends the load: the player is closed, loadFailed() is
//   emitted once, hasFailed() answers true, readyToPlay() is not emitted,
//   and the surface shows the text IDS_ERR_VIDEO_DECODE over its black area.
//   An error after the recording was ready closes the player the same way and
//   emits playbackFailed() instead.
//
// Must run on the main thread.
#include "base/PlayerKeys.h"
#include "core/PictureZoom.h"
#include "views/MpvPlayer.h"

#include <QPointer>
#include <QRect>
#include <QSizeF>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class EyeView;
class QTimer;
class VideoRenderWidget;
struct Notification;

// How a 360-degree recording lays its picture out for the eyes (views/EyeView.h).
struct VideoPlayerViewProjectionMethod;

class VideoPlayerView : public QWidget
{
    Q_OBJECT
public:
    // Automatic: headless when the environment says ROVIX_MPV_HEADLESS=1,
    // otherwise OpenGL. Any mode becomes headless on the offscreen platform,
    // and a player falls back to vo=null when no OpenGL context can be made.
    enum class RenderMode { Automatic, OpenGL, Headless };
    // What the player is doing (getState), as read from its mirror of mpv.
    enum State : int { StateNoPlayer = 0, StatePlaying = 2, StatePaused = 3 };
    // How far the recording's opening has come (getPlayerStatus).
    enum PlayerStatus : int { StatusUnknown = 0, StatusReadyToPlay = 1, StatusFailed = 2 };

    explicit VideoPlayerView(const QRect& frame, QWidget* parent = nullptr,
                             RenderMode mode = RenderMode::Automatic);
    ~VideoPlayerView() override;

    // Opens the recording and starts playing at once (paused on the first
    // frame when the rate given last is 0). Does nothing while a player
    // exists: the caller releases the old one first.
    void loadURL(const QUrl& asset);
    // Opens recordings that follow each other as one timeline (mpv's EDL), so
    // that each runs into the next without a gap: the next one's first frame
    // is decoded while the last frames of the current one are shown. The
    // surface still answers for one recording at a time (its time, length,
    // seeks and URL are the current recording's) and reports the step to
    // another one by recordingEntered(). `lengths` are the recordings' lengths
    // in seconds; the chain stops before the first one of unknown length.
    // With one recording this is loadURL.
    void loadChain(const QList<QUrl>& assets, const QList<double>& lengths);
    // The place of the current recording in the chain (0 without one) and
    // how many recordings the chain holds (1 for a single recording).
    int chainIndex() const { return m_chainIndex; }
    int chainLength() const;
    QUrl chainURL(int index) const;
    // Fits the picture into the rectangle (the surface's own coordinates).
    void relayout(const QRect& frame);

    // Plays at the player's rate; from the end of the recording, from its start.
    void onPlay();
    void onPause();
    // Played to the end and still there (the last frame showing).
    bool isAtEnd() const;
    // From the end back to 0 (true then); anywhere else nothing.
    bool rewindIfAtEnd();
    // Applies the rate to the player: 0 pauses, any other value plays at that
    // speed with pitch-corrected sound. A player opened later starts with it.
    void setRate(float rate);
    // The speed the player plays at (pausing keeps it): mpv's, or the rate
    // given for the next player while there is none.
    float playRate() const;
    void setMuted(bool muted);
    // 0.0 .. 1.0.
    void setVolume(float volume);
    // Exact seek; getCurrentTime() answers the target until it has landed.
    void seekToTime(double seconds);
    // Exact seek relative to the player's current time.
    void advancePlaybackBySeconds(int seconds);
    // One video frame forward or back; the player stays paused. Does nothing
    // while playing or without a recording.
    void stepFrame(bool forward);

    double getitemTime() const; // the player's position in seconds, 0 without one
    // The player's position to the nearest whole second (a seek's target while
    // it lands; 0 without a ready recording).
    double getCurrentTime() const;
    State getState() const;
    PlayerStatus getPlayerStatus() const; // failed also without a player
    QSizeF getVideoResolution() const;    // presentation size, (0, 0) without player or picture
    double getDuration() const;           // seconds; known from readyToPlay() on
    QWidget* getAVPlayerLayer() const;    // the picture view
    // The player behind the surface; closed while there is no recording.
    MpvPlayer* player() const;

    void releasePlayer();

    bool hasFailed() const;
    QString failureReason() const;
    bool isHeadless() const;
    bool hasPlayer() const;

    // mpv's dropped-frame counters ("frame-drop-count", "decoder-frame-drop-count"),
    // -1 without a player. Frames drawn into the framebuffer so far.
    qint64 droppedFrameCount() const;
    qint64 decoderDroppedFrameCount() const;
    qint64 renderedFrameCount() const;

    QUrl URL() const;
    const VideoPlayerViewProjectionMethod* projectionMethod() const;

    // 360-degree mode: the picture laid on a sphere (the left eye view, drawn
    // by the render widget) and turned by the direction pad, mouse drags and
    // the head tracker's notifications, which the surface follows while on.
    // Switching on needs OpenGL: a headless surface or one without a GL
    // context stays flat (false, one log line). The rotations do nothing
    // while m_b360Player is off.
    bool set360Player(bool on, int projectionMethodIndex = 0);
    bool is360Player() const;
    void doDpadRotate(int command);
    void resetRotation();
    // Turns the view by a drag of (dx, dy) points, dy growing downwards.
    void mouseDragged(double dx, double dy);
    void syncRightCameraFromLeft();
    void psvrDataReceivedNotification(const Notification& notification);

    // Digital zoom of the flat picture: mpv enlarges and shifts the picture
    // as it draws it (the recording is never re-encoded); seeks, frame steps
    // and the recordings a surface loads afterwards keep it. The wheel over
    // the picture zooms about the cursor, a drag pans a zoomed picture, a
    // double-click on a zoomed picture goes back to 1x (on a whole picture
    // it is left to the parent), and the zoom keys act as below. In
    // 360-degree mode the view's own drag turns it and the flat zoom is not
    // applied. Positions are in the surface's coordinates.
    PictureZoom zoom() const { return m_zoom; }
    bool isZoomed() const { return m_zoom.isZoomed(); }
    // Each answers false (and changes nothing) in 360-degree mode.
    bool setZoom(const PictureZoom& zoom);
    bool zoomSteps(double steps, const QPointF& at);
    bool panByPixels(double dx, double dy);
    bool resetZoom();
    // ZoomIn, ZoomOut (about the picture's centre) and ZoomReset; false for
    // other keys and in 360-degree mode.
    bool runZoomKey(PlayerKey command);
    // The picture's place in the surface: where the zoom's fractions are taken.
    QRect pictureRect() const;

    // Seconds between two looks at the player (end of file, a stream without picture).
    double timeObserverInterval() const;

    // A test's look at every frame a headless surface shows: set before
    // loadURL, it gives the surface a software renderer that converts each
    // frame (at the video's size, 4 bytes a pixel, blue, green, red, pad) and
    // hands it over with the time mpv meant it to be shown (mpv's clock,
    // microseconds, -1 unknown). Such a player drops no late frame.
    using FrameTap = std::function<void(const uchar* pixels, QSize size, int stride, qint64 targetUs)>;
    void setFrameTap(FrameTap tap);

Q_SIGNALS:
    // The recording is open and its picture size known; once per load.
    void readyToPlay();
    // Played into its end; the picture stays on the last frame. Emitted at
    // every end; a receiver may release or delete the surface.
    void ended();
    // The recording cannot be played; emitted once per load, never together
    // with readyToPlay().
    void loadFailed(const QString& reason);
    // A recording that was ready stopped with an error (its file vanished or
    // broke while playing); the player is closed. Emitted at most once per load.
    void playbackFailed(const QString& reason);
    // A new video frame was drawn into the framebuffer (OpenGL surfaces only).
    void frameRendered();
    // Playback ran (or was stepped) from one recording of the chain into
    // another: `index` is its place in the chain. Time, length and URL now
    // answer for it.
    void recordingEntered(int index);
    // The zoom or the pan changed (zoom() answers the new one).
    void zoomChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Opens `target` (the recording's path, or a chain's timeline) for `asset`.
    void loadTarget(const QUrl& asset, const QString& target);
    bool createPlayer(const QString& path);
    void tearDownPlayer();
    void onVideoTrackChecked(bool present);
    void onVideoSizeChanged();
    void onEnded(MpvPlayer::EndReason reason, const QString& detail);
    void tryReady();
    void onEndReached();
    void fail(const QString& reason);
    void applyRate(float rate);
    void onTimeObserver();
    void applyLayout();
    void queueFailure(const QString& reason);
    void onPositionChanged(double timelineSeconds);
    double chainStart() const;
    void drawTappedFrame();
    // Hands the zoom to mpv: the surface's own when flat, none in 360-degree mode.
    void applyZoom();

public:
    // 360-degree eye views (left or only eye; right eye), owned by the render
    // widget; null while the surface is flat.
    EyeView* leftView = nullptr;
    EyeView* rightView = nullptr;
    // Holds the picture; hidden until the recording is ready.
    QWidget* normalView = nullptr;
    // Hidden companion view, laid out with normalView.
    QWidget* normalView2 = nullptr;

    double mSelectedMovieDuration = 0;
    bool m_b360Player = false;
    bool m_bRender360 = false;
    bool m_bAdd360Offset = false;
    EyeView* targetEyeView = nullptr;

private:
    RenderMode m_mode = RenderMode::Automatic;
    MpvPlayer* m_player = nullptr;
    VideoRenderWidget* m_renderWidget = nullptr; // null on headless surfaces
    QTimer* timeObserver = nullptr;
    QUrl m_url;
    QRect m_layoutFrame;
    bool m_layoutGiven = false;
    const VideoPlayerViewProjectionMethod* m_projectionMethod = nullptr;
    QPointF m_lastDragPoint;
    PictureZoom m_zoom;

    // Per load.
    bool m_bReadyPosted = false;
    bool m_bWantsPlay = false; // the last rate asked for was not 0
    bool m_bAtEnd = false;     // played to the end, not moved off it since
    bool m_bFailed = false;
    QString m_strFailReason;
    quint64 m_loadSerial = 0;

    // The recordings of a chain: where each starts on the timeline, its length.
    struct ChainPart {
        QUrl url;
        double start = 0;
        double length = 0;
    };
    QList<ChainPart> m_chain; // empty for a single recording
    int m_chainIndex = 0;

    FrameTap m_frameTap;
    std::unique_ptr<MpvRenderContext> m_tapRender;
    std::vector<uchar> m_tapPixels;

    // Applied to each new player (the rate also when it becomes ready).
    float m_fRate = 1.0f;
    float m_fVolume = 1.0f;
    bool m_bMuted = false;
};
