#pragma once
// One libmpv player: the only owner of an mpv_handle.
//
// Design notes
// - open() creates and initialises the handle, close() destroys it; the object
//   itself lives on and can be opened again. No mpv_handle leaves this class.
// - mpv calls back on its own threads. Those callbacks only reach a small
//   shared Bridge, which queues a call onto the main thread; there the events
//   are drained with mpv_wait_event(handle, 0) until MPV_EVENT_NONE. close()
//   clears the bridge's pointer to the player before the handle goes, so a call
//   queued before the close, or arriving after the player was destroyed, finds
//   nobody and does nothing.
// - The state is a mirror of mpv's property notifications, kept as typed
//   fields. A command updates the mirror at once with the value it asked for,
//   and the notifications sent before mpv carried the command out are set
//   aside (they describe the old state).
// - Commands are asynchronous: the main thread also renders, and mpv's video
//   output waits for the renderer, so a blocking call there stalls both until
//   mpv's timeout. The synchronous getters (doubleProperty and friends) are for
//   tests and for callers that are not drawing the picture.
// - Signals may be emitted while events are drained; a receiver may close or
//   delete the player, which stops the draining.
//
// Must run on the main thread.
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>

struct mpv_handle;
struct mpv_render_context;
struct mpv_event;
struct mpv_event_property;
struct mpv_render_param;

// mpv's names for the options and properties the program uses.
namespace MpvProperty
{
inline constexpr const char* kVo = "vo";
inline constexpr const char* kAo = "ao";
inline constexpr const char* kIdle = "idle";
inline constexpr const char* kKeepOpen = "keep-open";
inline constexpr const char* kKeepAspect = "keepaspect";
inline constexpr const char* kPitchCorrection = "audio-pitch-correction";
inline constexpr const char* kTimingOffset = "video-timing-offset";
inline constexpr const char* kOsdLevel = "osd-level";
inline constexpr const char* kSubtitle = "sid";
inline constexpr const char* kSubAuto = "sub-auto";
inline constexpr const char* kAudioFileAuto = "audio-file-auto";
inline constexpr const char* kInputBindings = "input-default-bindings";
inline constexpr const char* kLoadScripts = "load-scripts";
inline constexpr const char* kYtdl = "ytdl";
inline constexpr const char* kHwdecInterop = "gpu-hwdec-interop";
inline constexpr const char* kPause = "pause";
inline constexpr const char* kSpeed = "speed";
inline constexpr const char* kVolume = "volume";
inline constexpr const char* kMute = "mute";
inline constexpr const char* kTimePos = "time-pos";
inline constexpr const char* kDuration = "duration";
inline constexpr const char* kDisplayWidth = "dwidth";
inline constexpr const char* kDisplayHeight = "dheight";
inline constexpr const char* kEofReached = "eof-reached";
inline constexpr const char* kVideoTrack = "current-tracks/video/id";
inline constexpr const char* kFrameDrops = "frame-drop-count";
inline constexpr const char* kDecoderFrameDrops = "decoder-frame-drop-count";
inline constexpr const char* kFrameDrop = "framedrop";
// The picture's enlargement (base-2 logarithm) and its shift, in units of
// the enlarged picture's size; mpv applies them when it draws, the frames
// themselves are untouched.
inline constexpr const char* kVideoZoom = "video-zoom";
inline constexpr const char* kVideoPanX = "video-pan-x";
inline constexpr const char* kVideoPanY = "video-pan-y";
} // namespace MpvProperty

// The drawing side of a player's video output: mpv's OpenGL renderer, or its
// software renderer, which converts the frame on the CPU into memory. A
// player has at most one at a time. An OpenGL one is created by
// MpvPlayer::createRenderContext in the GL context that draws it, and
// destroyed with that GL context current. Either kind should go when the
// player closes (the player emits closing() for that); one kept longer keeps
// the player's mpv core with it, stopped, and the core goes with the last
// such context, as libmpv requires.
class MpvRenderContext
{
public:
    ~MpvRenderContext();
    MpvRenderContext(const MpvRenderContext&) = delete;
    MpvRenderContext& operator=(const MpvRenderContext&) = delete;

    bool isSoftware() const { return m_software; }
    // Whether mpv has a new frame to draw; call on each renderUpdate().
    bool takeNewFrame();
    // OpenGL only: draws the current frame into the framebuffer object of the
    // given size in device pixels, upside down as OpenGL framebuffers want
    // it. With skip, mpv only takes the frame: it waits for each frame to be
    // taken before it decodes the next.
    void render(unsigned int fbo, QSize pixels, bool flipY, bool skip);
    // Software only: converts the current frame into `pixels` (top row first,
    // `stride` bytes a row, 4 bytes a pixel in kSoftwareFormat; pointer and
    // stride multiples of 64 are fastest). With skip, an empty size, no
    // pixels or a stride too short for a row, the frame is only taken.
    void renderSoftware(QSize size, void* pixels, size_t stride, bool skip);
    // When mpv means the frame it has to draw now to be shown, in mpv's
    // clock (microseconds, the same clock for every player of the process);
    // -1 when it does not say.
    qint64 nextFrameTargetUs() const;

    // Blue, green, red, then a padding byte: OpenGL's GL_BGRA with
    // GL_UNSIGNED_BYTE, which needs no swizzling on upload.
    static constexpr const char* kSoftwareFormat = "bgr0";

private:
    friend class MpvPlayer;
    MpvRenderContext(mpv_render_context* context, std::shared_ptr<void> bridge, bool software);
    mpv_render_context* m_context;
    std::shared_ptr<void> m_bridge;
    bool m_software;
    QSize m_lastSoftwareSize;
    // The target named when a software frame is only taken.
    std::unique_ptr<unsigned char[]> m_spare;
    size_t m_spareBytes = 0;
    alignas(64) unsigned char m_onePixel[64] = {};
};

class MpvPlayer : public QObject
{
    Q_OBJECT
public:
    enum class EndReason {
        EndOfFile, // played (or cut) to the end; with keep-open the file stays loaded
        Error,     // mpv could not play the file
        Stopped,   // stopped, replaced or the core shut down
    };
    Q_ENUM(EndReason)

    // What a new handle starts with.
    struct Settings {
        bool videoOutput = false; // vo=libmpv (needs a render context) or vo=null
        QByteArray audioOutput;   // mpv's "ao"; empty: mpv's choice
        double volume = 100.0;    // 0 .. 100
        bool muted = false;
        double speed = 1.0;
        bool paused = false;
        // Whether mpv may drop a frame it would show late. A player whose
        // every frame is looked at (a frame tap) keeps them all.
        bool dropLateFrames = true;
    };

    using GetProcAddress = void* (*)(void* context, const char* name);

    explicit MpvPlayer(QObject* parent = nullptr);
    ~MpvPlayer() override;

    // Creates and initialises the handle; false (and errorText()) on failure.
    // Does nothing and answers false while open.
    bool open(const Settings& settings);
    // Emits closing(), then destroys the handle. Frame grabs still waiting get
    // a null image. No signal about the closed handle follows.
    void close();
    bool isOpen() const;
    QString errorText() const;

    // With the GL context current that will draw; null on failure. The update
    // notices arrive as renderUpdate().
    std::unique_ptr<MpvRenderContext> createRenderContext(GetProcAddress getProcAddress, void* context);
    // A renderer that draws into memory and needs no GL context; null on
    // failure (an mpv without one).
    std::unique_ptr<MpvRenderContext> createSoftwareRenderContext();

    // Typed commands; each does nothing while closed.
    void loadFile(const QString& absolutePath);
    void setPaused(bool paused);
    void setSpeed(double speed); // clamped to mpv's bounds
    void setVolume(double percent);
    void setMuted(bool muted);
    // The picture's digital zoom (core/PictureZoom.h gives the values);
    // kept by mpv across seeks and frame steps, dropped with the handle.
    void setVideoZoom(double log2Zoom, double panX, double panY);
    // Exact seeks. An absolute seek given before the file is loaded is kept
    // and carried out when it is; a relative one is dropped.
    void seekAbsolute(double seconds);
    void seekRelative(double seconds);
    // One frame forward or back; the player pauses there. A step given while
    // a seek is on its way is carried out once the seek has landed.
    void frameStep();
    void frameBackStep();
    void stop();
    void reloadVideo();        // the video output opens again (after a new render context)
    void disableVideoOutput(); // vo=null, for a player whose render context failed
    // Switches the video output between vo=libmpv (on) and vo=null while a
    // file plays; `done`, if given, runs once mpv has carried it out (not if
    // the player closes first). With vo=null no render context is in use: it
    // can be replaced then without mpv dropping the video track. Switching it
    // on seeks to where the player is, so that a frame is decoded again.
    void setVideoOutput(bool on, std::function<void()> done = {});
    // Asks mpv whether it is at the end: mpv does not always announce it.
    // The answer arrives as ended(EndOfFile) or endOfFileLeft().
    void pollEndOfFile();

    // Takes the decoded video frame shown now (the one at timePos(), before
    // any scaling) asynchronously with mpv's screenshot-raw; `done` gets it at
    // the video's own size, or a null image when there is no frame or the
    // player closes first. Called on the main thread, never inside grabFrame.
    void grabFrame(std::function<void(QImage)> done);

    // The mirror.
    bool isFileLoaded() const;
    bool isPaused() const;
    double speed() const;
    bool hasTimePos() const;
    double timePos() const; // 0 until known
    double duration() const;
    QSize videoSize() const; // mpv's display size; (0, 0) until known
    qint64 frameDropCount() const;
    qint64 decoderFrameDropCount() const;
    bool isSeeking() const; // a seek was given and mpv has not carried it out yet

    // Fresh values, read with a blocking call; empty while closed or when mpv
    // has no such value.
    std::optional<double> doubleProperty(const char* name) const;
    std::optional<bool> flagProperty(const char* name) const;
    std::optional<qint64> intProperty(const char* name) const;
    std::optional<QString> stringProperty(const char* name) const;

    static double clampSpeed(double speed);
    // mpv cores created and not yet destroyed, in this process; a closed
    // player's core lives on while a render context of it is kept.
    static int liveCoreCount();

Q_SIGNALS:
    void fileLoaded();
    // Whether the loaded file has a video track (asked once per file).
    void videoTrackChecked(bool present);
    void videoReconfigured();
    void videoSizeChanged(QSize size);
    void durationChanged(double seconds);
    // Why playback ended, with mpv's words for an error. With keep-open an
    // end of file is reported again while the position stays at the end.
    void ended(MpvPlayer::EndReason reason, const QString& detail);
    // mpv says the position is no longer at the end.
    void endOfFileLeft();
    // mpv reported a new position (seconds), not one from before a seek.
    void positionChanged(double seconds);
    // mpv holds the zoom given last (setVideoZoom); the frames it draws from
    // now on show it.
    void videoZoomApplied();
    // The render context has something new (call takeNewFrame).
    void renderUpdate();
    // The handle is about to go: free render contexts now.
    void closing();

private:
    friend class MpvRenderContext;
    struct Bridge;
    struct Mirror {
        bool fileLoaded = false;
        bool paused = false;
        double speed = 1.0;
        double timePos = 0;
        bool hasTimePos = false;
        double duration = 0;
        qint64 width = 0;
        qint64 height = 0;
        // The video output is switched off (setVideoOutput), and the size is
        // kept until it is reported again after the output came back.
        bool videoOutputOff = false;
        int outputSwitchesInFlight = 0;
        bool holdVideoSize = false;
        qint64 frameDrops = 0;
        qint64 decoderFrameDrops = 0;
        // Commands sent and not yet carried out; reports older than them are stale.
        int seeksInFlight = 0;
        int pauseSetsInFlight = 0;
        int speedSetsInFlight = 0;
        int zoomSetsInFlight = 0;
        bool hasPendingSeek = false;
        double pendingSeek = 0;
        // Frame steps asked for while a seek was on its way (mpv drops a step
        // that meets a seek); forward positive, back negative.
        int pendingFrameSteps = 0;
    };

    std::unique_ptr<MpvRenderContext> makeRenderContext(mpv_render_param* params, bool software);
    static void destroyCore(mpv_handle* core);
    static std::atomic<int> s_liveCores;
    static void onWakeup(void* context);
    static void onRenderUpdate(void* context);
    void drainEvents();
    void sendFrameSteps();
    void handleEvent(const mpv_event& event);
    void onPropertyChange(quint64 id, const void* eventData);
    void onTimePosReport(const mpv_event_property* property);
    void onEofReport(bool eof);
    void onCommandReply(const mpv_event& event);
    void command(const char* const* args, quint64 replyId = 0);
    bool setFlag(const char* name, bool value, quint64 replyId = 0);
    bool setDouble(const char* name, double value, quint64 replyId = 0);
    void seekCommand(const QByteArray& target, const char* flags);

    mpv_handle* m_mpv = nullptr;
    std::shared_ptr<Bridge> m_bridge;
    Mirror m_state;
    QString m_error;
    quint64 m_nextGrabId = 0;
    std::map<quint64, std::function<void(QImage)>> m_grabs;
    std::map<quint64, std::function<void()>> m_outputSwitches;
};
