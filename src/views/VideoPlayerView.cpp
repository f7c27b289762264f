#include "views/VideoPlayerView.h"

#include "base/NotificationCenter.h"
#include "base/Services.h"
#include "core/Log.h"
#include "views/VideoFit.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QTimer>
#include <QWindow>
#include <QtGlobal>
#include <atomic>
#include <clocale>
#include <cmath>
#include <cstring>
#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

namespace
{

// mpv options and properties used by the surface.
namespace MpvName
{
constexpr const char* kVo = "vo";
constexpr const char* kAo = "ao";
constexpr const char* kIdle = "idle";
constexpr const char* kKeepOpen = "keep-open";
constexpr const char* kKeepAspect = "keepaspect";
constexpr const char* kPitchCorrection = "audio-pitch-correction";
constexpr const char* kTimingOffset = "video-timing-offset";
constexpr const char* kOsdLevel = "osd-level";
constexpr const char* kSubtitle = "sid";
constexpr const char* kSubAuto = "sub-auto";
constexpr const char* kAudioFileAuto = "audio-file-auto";
constexpr const char* kInputBindings = "input-default-bindings";
constexpr const char* kLoadScripts = "load-scripts";
constexpr const char* kYtdl = "ytdl";
constexpr const char* kHwdecInterop = "gpu-hwdec-interop";
constexpr const char* kPause = "pause";
constexpr const char* kSpeed = "speed";
constexpr const char* kVolume = "volume";
constexpr const char* kMute = "mute";
constexpr const char* kTimePos = "time-pos";
constexpr const char* kDuration = "duration";
constexpr const char* kDisplayWidth = "dwidth";
constexpr const char* kDisplayHeight = "dheight";
constexpr const char* kEofReached = "eof-reached";
constexpr const char* kVideoTrack = "current-tracks/video/id";
constexpr const char* kFrameDrops = "frame-drop-count";
constexpr const char* kDecoderFrameDrops = "decoder-frame-drop-count";
} // namespace MpvName

// reply_userdata of the observed properties and of the asynchronous reads.
enum ObservedProperty : uint64_t {
    kObsDuration = 1,
    kObsWidth,
    kObsHeight,
    kObsEof,
    kObsPause,
    kObsSpeed,
    kObsTimePos,
    kObsFrameDrops,
    kObsDecoderFrameDrops,
    kReplyVideoTrack,
    kReplyEof,
    kReplySeek,
    kReplySetPause,
    kReplySetSpeed,
};

constexpr double kMinSpeed = 0.01; // mpv's own bounds for "speed"
constexpr double kMaxSpeed = 100.0;
// Playing this far into a recording without a single picture means its video
// stream is broken (cameras start every file with a key frame), even when the
// sound still plays on.
constexpr double kNoPictureLimit = 5.0;

QByteArray numberText(double value)
{
    return QByteArray::number(value, 'f', 6);
}

void* glProcAddress(void*, const char* name)
{
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(QByteArray(name))) : nullptr;
}

bool envIs(const char* name, const char* value)
{
    return qgetenv(name) == value;
}

} // namespace

// Shared by the surface and every call the mpv callbacks queue onto the main
// thread. Only the main thread reads or writes `view`.
struct VideoPlayerView::Bridge : std::enable_shared_from_this<VideoPlayerView::Bridge> {
    VideoPlayerView* view = nullptr;
    std::atomic<bool> wakeupQueued{false};
    std::atomic<bool> renderQueued{false};
};

// The picture: mpv draws into this widget's framebuffer.
class VideoGLWidget final : public QOpenGLWidget
{
public:
    explicit VideoGLWidget(VideoPlayerView* owner) : QOpenGLWidget(owner), m_owner(owner) {}
    ~VideoGLWidget() override
    {
        // QOpenGLWidget's own destructor destroys the context, which would
        // call the handler below on an object whose part of this class is
        // already gone. The owner releases its renderer before its children
        // go (releasePlayer in its destructor), so only stop listening.
        if (QOpenGLContext* ctx = context())
            QObject::disconnect(ctx, &QOpenGLContext::aboutToBeDestroyed, this, nullptr);
    }
    bool initialised() const { return m_initialised; }

protected:
    void initializeGL() override
    {
        m_initialised = context() && context()->isValid();
        if (!m_initialised)
            return;
        connect(
            context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { m_owner->onGLContextLost(); },
            Qt::DirectConnection);
        m_owner->onGLContextReady();
    }
    void paintGL() override
    {
        const qreal dpr = devicePixelRatioF();
        m_owner->renderFrame(defaultFramebufferObject(), qRound(width() * dpr), qRound(height() * dpr));
    }

private:
    VideoPlayerView* m_owner;
    bool m_initialised = false;
};

VideoPlayerView::VideoPlayerView(const QRect& frame, QWidget* parent, RenderMode mode)
    : QWidget(parent), m_mode(mode)
{
    setGeometry(frame);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);

    if (m_mode == RenderMode::Automatic && envIs("ROVIX_MPV_HEADLESS", "1"))
        m_mode = RenderMode::Headless;
    // The offscreen platform cannot compose an OpenGL widget into a shown
    // window (Qt 6.4 crashes flushing it), so surfaces there never draw.
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        m_mode = RenderMode::Headless;
    if (m_mode == RenderMode::Headless) {
        normalView = new QWidget(this);
        normalView->setAutoFillBackground(true);
        QPalette pal = normalView->palette();
        pal.setColor(QPalette::Window, Qt::black);
        normalView->setPalette(pal);
    } else {
        normalView = new VideoGLWidget(this);
    }
    normalView->setObjectName(QStringLiteral("normalView"));
    normalView->setAttribute(Qt::WA_TransparentForMouseEvents);
    normalView->setGeometry(rect());
    normalView->hide();

    normalView2 = new QWidget(this);
    normalView2->setObjectName(QStringLiteral("normalView2"));
    normalView2->setAttribute(Qt::WA_TransparentForMouseEvents);
    normalView2->hide();

    // The faster observer and the redraw nudge belong to a platform release
    // this port does not have; both stay off.
    m_bRender360 = false;
    m_bAdd360Offset = false;
    m_fPlaySpeed = 1.0f;

    timeObserver = new QTimer(this);
    timeObserver->setInterval(qRound(timeObserverInterval() * 1000));
    connect(timeObserver, &QTimer::timeout, this, &VideoPlayerView::onTimeObserver);
}

VideoPlayerView::~VideoPlayerView()
{
    releasePlayer();
}

double VideoPlayerView::timeObserverInterval() const
{
    return m_bRender360 ? 0.1 : 0.5;
}

bool VideoPlayerView::isHeadless() const
{
    return m_mode == RenderMode::Headless;
}

bool VideoPlayerView::hasPlayer() const
{
    return m_mpv != nullptr;
}

bool VideoPlayerView::hasFailed() const
{
    return m_bFailed;
}

QString VideoPlayerView::failureReason() const
{
    return m_strFailReason;
}

QUrl VideoPlayerView::URL() const
{
    return m_url;
}

const VideoPlayerViewProjectionMethod* VideoPlayerView::projectionMethod() const
{
    return nullptr;
}

QWidget* VideoPlayerView::getAVPlayerLayer() const
{
    return normalView;
}

mpv_handle* VideoPlayerView::getAVPlayerItem() const
{
    return m_mpv;
}

// Initialises the GL widget's context now, even while it is hidden; falls back
// to a headless player when there is no OpenGL.
bool VideoPlayerView::ensureGL()
{
    if (m_mode == RenderMode::Headless)
        return false;
    auto* gl = static_cast<VideoGLWidget*>(normalView);
    if (!gl->initialised())
        gl->grabFramebuffer(); // creates the context and framebuffer of a widget never shown yet
    if (!gl->initialised()) {
        pmWriteLog("VideoPlayerView - no OpenGL context, the picture is not shown");
        qWarning("VideoPlayerView: no OpenGL context, playing without picture");
        return false;
    }
    return true;
}

void VideoPlayerView::loadURL(const QUrl& asset, bool endNotice)
{
    if (m_mpv)
        return;

    mEndNotice = endNotice;
    m_url = asset;
    m_bFileLoaded = false;
    m_bReadyPosted = false;
    m_bAtEnd = false;
    m_bHasPendingSeek = false;
    m_bFailed = false;
    m_strFailReason.clear();
    m_bFramePending = false;
    m_nRenderedFrames = 0;
    ++m_loadSerial;
    update();

    // Recordings are files on a disk or card; mpv is never handed a network or
    // protocol address. An absolute path also keeps mpv from reading a name as
    // an option or a protocol prefix.
    QString local;
    if (asset.isLocalFile())
        local = asset.toLocalFile();
    else if (asset.scheme().isEmpty())
        local = asset.path();
    if (local.isEmpty()) {
        queueFailure(QStringLiteral("not a local file"));
        return;
    }
    const QString path = QFileInfo(local).absoluteFilePath();
    if (!createPlayer(path))
        return;

    timeObserver->start();
}

bool VideoPlayerView::createPlayer(const QString& path)
{
    // libmpv refuses to start unless numbers are formatted the C way; QApplication
    // may have picked the user's locale.
    if (const char* numeric = std::setlocale(LC_NUMERIC, nullptr); !numeric || std::strcmp(numeric, "C") != 0)
        std::setlocale(LC_NUMERIC, "C");

    const bool withPicture = ensureGL();
    mpv_handle* handle = mpv_create();
    if (!handle) {
        queueFailure(QStringLiteral("the player could not be created"));
        return false;
    }

    QByteArray ao = qgetenv("ROVIX_MPV_AO");
    if (ao.isEmpty() && (isHeadless() || envIs("ROVIX_TEST", "1")))
        ao = "null";
    mpv_set_option_string(handle, MpvName::kVo, withPicture ? "libmpv" : "null");
    if (!ao.isEmpty())
        mpv_set_option_string(handle, MpvName::kAo, ao.constData());
    mpv_set_option_string(handle, MpvName::kIdle, "yes");
    mpv_set_option_string(handle, MpvName::kKeepOpen, "yes");
    mpv_set_option_string(handle, MpvName::kKeepAspect, "no"); // the view already has the picture's shape
    mpv_set_option_string(handle, MpvName::kPitchCorrection, "yes");
    mpv_set_option_string(handle, MpvName::kTimingOffset, "0"); // never block the main thread in render
    mpv_set_option_string(handle, MpvName::kOsdLevel, "0");
    mpv_set_option_string(handle, MpvName::kSubtitle, "no"); // some cameras carry their track as subtitles
    mpv_set_option_string(handle, MpvName::kSubAuto, "no");
    mpv_set_option_string(handle, MpvName::kAudioFileAuto, "no");
    mpv_set_option_string(handle, MpvName::kInputBindings, "no");
    mpv_set_option_string(handle, MpvName::kLoadScripts, "no");
    mpv_set_option_string(handle, MpvName::kYtdl, "no");
    // Decoding is in software: skip probing GPU drivers.
    mpv_set_option_string(handle, MpvName::kHwdecInterop, "no");
    // The volume, mute and rate already given; play at once, like a player told
    // to play before its item is ready (the rate is applied again when ready).
    const double startSpeed =
        m_fPlaySpeed > 0 ? std::clamp(static_cast<double>(m_fPlaySpeed), kMinSpeed, kMaxSpeed) : 1.0;
    mpv_set_option_string(handle, MpvName::kVolume,
                          numberText(static_cast<double>(m_fVolume) * 100.0).constData());
    mpv_set_option_string(handle, MpvName::kMute, m_bMuted ? "yes" : "no");
    mpv_set_option_string(handle, MpvName::kSpeed, numberText(startSpeed).constData());
    mpv_set_option_string(handle, MpvName::kPause, "no");
    if (mpv_initialize(handle) < 0) {
        mpv_terminate_destroy(handle);
        queueFailure(QStringLiteral("the player could not be initialised"));
        return false;
    }

    m_mpv = handle;
    m_state = Mirror();
    m_state.speed = startSpeed;
    m_bWantsPlay = true;
    m_bridge = std::make_shared<Bridge>();
    m_bridge->view = this;

    if (withPicture) {
        auto* gl = static_cast<VideoGLWidget*>(normalView);
        gl->makeCurrent();
        if (!createRenderContext()) {
            qWarning("VideoPlayerView: mpv render context failed, playing without picture");
            const char* args[] = {"set", MpvName::kVo, "null", nullptr};
            command(args);
        }
        gl->doneCurrent();
    }

    mpv_observe_property(m_mpv, kObsDuration, MpvName::kDuration, MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, kObsWidth, MpvName::kDisplayWidth, MPV_FORMAT_INT64);
    mpv_observe_property(m_mpv, kObsHeight, MpvName::kDisplayHeight, MPV_FORMAT_INT64);
    mpv_observe_property(m_mpv, kObsEof, MpvName::kEofReached, MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, kObsPause, MpvName::kPause, MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, kObsSpeed, MpvName::kSpeed, MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, kObsTimePos, MpvName::kTimePos, MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, kObsFrameDrops, MpvName::kFrameDrops, MPV_FORMAT_INT64);
    mpv_observe_property(m_mpv, kObsDecoderFrameDrops, MpvName::kDecoderFrameDrops, MPV_FORMAT_INT64);
    mpv_set_wakeup_callback(m_mpv, &VideoPlayerView::onMpvWakeup, m_bridge.get());

    const QByteArray file = path.toUtf8();
    const char* args[] = {"loadfile", file.constData(), nullptr};
    command(args);
    return true;
}

// With the widget's GL context current.
bool VideoPlayerView::createRenderContext()
{
    mpv_opengl_init_params glInit{glProcAddress, nullptr};
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_create(&m_render, m_mpv, params) < 0) {
        m_render = nullptr;
        return false;
    }
    mpv_render_context_set_update_callback(m_render, &VideoPlayerView::onMpvRenderUpdate, m_bridge.get());
    return true;
}

// Qt replaces the GL widget's context when the widget moves to another
// top-level window. The renderer's GL objects die with the old context, so the
// renderer goes first (mpv then drops its video output) ...
void VideoPlayerView::onGLContextLost()
{
    if (!m_render)
        return;
    auto* gl = static_cast<VideoGLWidget*>(normalView);
    gl->makeCurrent();
    mpv_render_context_free(m_render);
    m_render = nullptr;
    gl->doneCurrent();
    m_bRendererLost = true;
}

// ... and comes back in the new context, with the video track reloaded.
void VideoPlayerView::onGLContextReady()
{
    if (!m_mpv || m_render || !m_bRendererLost)
        return;
    m_bRendererLost = false;
    if (!createRenderContext())
        return;
    const char* args[] = {"video-reload", nullptr};
    command(args);
}

void VideoPlayerView::onMpvWakeup(void* context)
{
    auto* bridge = static_cast<Bridge*>(context);
    if (bridge->wakeupQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [b = bridge->shared_from_this()] {
            b->wakeupQueued = false;
            if (b->view)
                b->view->drainEvents();
        },
        Qt::QueuedConnection);
}

void VideoPlayerView::onMpvRenderUpdate(void* context)
{
    auto* bridge = static_cast<Bridge*>(context);
    if (bridge->renderQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [b = bridge->shared_from_this()] {
            b->renderQueued = false;
            if (b->view)
                b->view->onRenderUpdate();
        },
        Qt::QueuedConnection);
}

void VideoPlayerView::drainEvents()
{
    // Handlers post notifications; an observer may release this player or
    // delete the surface, so both are checked after every event.
    QPointer<VideoPlayerView> self(this);
    mpv_handle* const handle = m_mpv;
    while (self && handle && m_mpv == handle) {
        mpv_event* event = mpv_wait_event(handle, 0);
        if (!event || event->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(*event);
    }
}

void VideoPlayerView::handleEvent(const mpv_event& event)
{
    switch (event.event_id) {
    case MPV_EVENT_FILE_LOADED:
        onFileLoaded();
        break;
    case MPV_EVENT_VIDEO_RECONFIG:
        tryReady();
        break;
    case MPV_EVENT_PROPERTY_CHANGE:
        onPropertyChange(event.reply_userdata, event.data);
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        m_state.seeksInFlight = 0; // mpv merges queued seeks into the one it just finished
        break;
    case MPV_EVENT_COMMAND_REPLY:
        if (event.reply_userdata == kReplySeek && event.error < 0 && m_state.seeksInFlight > 0)
            --m_state.seeksInFlight; // refused: no restart will follow
        break;
    case MPV_EVENT_SET_PROPERTY_REPLY:
        if (event.reply_userdata == kReplySetPause && m_state.pauseSetsInFlight > 0)
            --m_state.pauseSetsInFlight;
        else if (event.reply_userdata == kReplySetSpeed && m_state.speedSetsInFlight > 0)
            --m_state.speedSetsInFlight;
        break;
    case MPV_EVENT_GET_PROPERTY_REPLY:
        if (event.reply_userdata == kReplyVideoTrack) {
            if (event.error < 0)
                fail(QStringLiteral("no video track"));
            else
                tryReady();
        } else if (event.reply_userdata == kReplyEof && event.error >= 0) {
            const auto* property = static_cast<const mpv_event_property*>(event.data);
            onEofReport(property->format == MPV_FORMAT_FLAG && *static_cast<const int*>(property->data));
        }
        break;
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        if (end->reason == MPV_END_FILE_REASON_ERROR)
            fail(QString::fromUtf8(mpv_error_string(end->error)));
        else if (end->reason == MPV_END_FILE_REASON_EOF && !m_bReadyPosted)
            fail(QStringLiteral("no picture could be decoded"));
        break;
    }
    case MPV_EVENT_SHUTDOWN:
        if (!m_bReadyPosted)
            fail(QStringLiteral("the player shut down"));
        break;
    default:
        break;
    }
}

void VideoPlayerView::onPropertyChange(quint64 id, const void* eventData)
{
    const auto* property = static_cast<const mpv_event_property*>(eventData);
    const bool isFlag = property->format == MPV_FORMAT_FLAG;
    const bool isDouble = property->format == MPV_FORMAT_DOUBLE;
    const bool isInt = property->format == MPV_FORMAT_INT64;
    const int flag = isFlag ? *static_cast<const int*>(property->data) : 0;
    const double number = isDouble ? *static_cast<const double*>(property->data) : 0.0;
    const qint64 integer = isInt ? *static_cast<const int64_t*>(property->data) : 0;

    switch (id) {
    case kObsDuration:
        m_state.duration = isDouble && std::isfinite(number) ? number : 0.0;
        mSelectedMovieDuration = m_state.duration;
        break;
    case kObsWidth:
    case kObsHeight:
        (id == kObsWidth ? m_state.width : m_state.height) = integer;
        if (m_bReadyPosted)
            applyLayout(); // the picture changed size during playback
        else
            tryReady();
        break;
    case kObsEof:
        onEofReport(isFlag && flag);
        break;
    case kObsPause:
        if (isFlag && m_state.pauseSetsInFlight == 0)
            m_state.paused = flag;
        break;
    case kObsSpeed:
        if (isDouble && m_state.speedSetsInFlight == 0)
            m_state.speed = number;
        break;
    case kObsTimePos:
        if (m_state.seeksInFlight > 0)
            break; // from before the seek
        m_state.hasTimePos = isDouble && std::isfinite(number);
        if (m_state.hasTimePos)
            m_state.timePos = number;
        break;
    case kObsFrameDrops:
        m_state.frameDrops = integer;
        break;
    case kObsDecoderFrameDrops:
        m_state.decoderFrameDrops = integer;
        break;
    default:
        break;
    }
}

void VideoPlayerView::onEofReport(bool eof)
{
    // A report made before a seek was carried out says nothing about the
    // position sought to.
    if (m_state.seeksInFlight > 0)
        return;
    if (!eof)
        m_bAtEnd = false;
    else if (!m_bReadyPosted)
        fail(QStringLiteral("no picture could be decoded"));
    else if (!m_bAtEnd)
        onEndReached();
}

void VideoPlayerView::onFileLoaded()
{
    m_bFileLoaded = true;
    // Whether a video track was chosen; the answer comes back as an event.
    mpv_get_property_async(m_mpv, kReplyVideoTrack, MpvName::kVideoTrack, MPV_FORMAT_INT64);
    if (m_bHasPendingSeek) {
        m_bHasPendingSeek = false;
        seekToTime(m_dPendingSeek);
    }
}

void VideoPlayerView::tryReady()
{
    if (!m_mpv || m_bReadyPosted || m_bFailed || !m_bFileLoaded)
        return;
    const QSizeF size = getVideoResolution();
    if (size.width() <= 0 || size.height() <= 0)
        return;

    m_bReadyPosted = true;
    pmWriteLog(QString::asprintf("VideoPlayerView - AVPlayerStatusReadyToPlay -  %.1f x %.1f", size.width(),
                                 size.height())
                   .toStdString());
    applyRate(m_fPlaySpeed);
    applyLayout();
    normalView->show();

    QPointer<VideoPlayerView> self(this);
    NotificationCenter::defaultCenter().post(Notifications::AVPlayerReadyToPlay,
                                             QVariant::fromValue<QObject*>(this));
    if (self)
        Q_EMIT readyToPlay();
}

void VideoPlayerView::onEndReached()
{
    // Only playing into the end is an end; a paused seek onto the last frame is not.
    if (!m_bReadyPosted || !m_bWantsPlay)
        return;
    m_bAtEnd = true;
    applyRate(0);
    seekCommand("0", "absolute+exact");
    m_state.timePos = 0;
    mCurrentTime = 0;
    qInfo("play end");

    QPointer<VideoPlayerView> self(this);
    if (mEndNotice)
        NotificationCenter::defaultCenter().post(Notifications::VideoEnd);
    if (self)
        Q_EMIT playbackEnded();
}

void VideoPlayerView::fail(const QString& reason)
{
    if (m_bFailed || m_bReadyPosted)
        return;
    pmWriteLog(("VideoPlayerView - load failed - " + reason + " - " + m_url.toString()).toStdString());
    tearDownPlayer();
    m_bFailed = true;
    m_strFailReason = reason;
    normalView->hide();
    update();
    Q_EMIT loadFailed(reason);
}

// Failures found while setting up are reported from the event loop, like the
// ones mpv finds, so a caller never sees loadFailed inside loadURL.
void VideoPlayerView::queueFailure(const QString& reason)
{
    m_bFailed = true;
    m_strFailReason = reason;
    update();
    const quint64 serial = m_loadSerial;
    QTimer::singleShot(0, this, [this, serial, reason] {
        if (serial == m_loadSerial && m_bFailed && !m_mpv) {
            pmWriteLog(
                ("VideoPlayerView - load failed - " + reason + " - " + m_url.toString()).toStdString());
            Q_EMIT loadFailed(reason);
        }
    });
}

void VideoPlayerView::tearDownPlayer()
{
    if (!m_mpv)
        return;
    timeObserver->stop();
    m_bridge->view = nullptr; // anything already queued finds nobody
    mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
    if (m_render) {
        // The renderer's GL objects live in the widget's context: free them there,
        // and before the core goes.
        auto* gl = static_cast<VideoGLWidget*>(normalView);
        gl->makeCurrent();
        mpv_render_context_free(m_render);
        gl->doneCurrent();
        m_render = nullptr;
    }
    mpv_terminate_destroy(m_mpv);
    m_mpv = nullptr;
    m_bRendererLost = false;
    m_bridge.reset();
    m_state = Mirror();
}

void VideoPlayerView::releasePlayer()
{
    ++m_loadSerial;
    if (m_mpv) {
        applyRate(0);
        tearDownPlayer();
    }
    timeObserver->stop();
    normalView->hide();
    normalView2->hide();
    mCurrentTime = 0;
    mSelectedMovieDuration = 0;
    m_bFileLoaded = false;
    m_bReadyPosted = false;
    m_bAtEnd = false;
    m_bWantsPlay = false;
    m_bHasPendingSeek = false;
    if (m_bFailed) {
        m_bFailed = false;
        m_strFailReason.clear();
        update();
    }
}

void VideoPlayerView::command(const char* const* args)
{
    if (m_mpv)
        mpv_command_async(m_mpv, 0, const_cast<const char**>(args));
}

bool VideoPlayerView::setFlag(const char* name, bool value, quint64 replyId)
{
    int flag = value ? 1 : 0;
    return m_mpv && mpv_set_property_async(m_mpv, replyId, name, MPV_FORMAT_FLAG, &flag) >= 0;
}

bool VideoPlayerView::setDouble(const char* name, double value, quint64 replyId)
{
    return m_mpv && mpv_set_property_async(m_mpv, replyId, name, MPV_FORMAT_DOUBLE, &value) >= 0;
}

// Until mpv has carried the seek out, the reports already on their way (time,
// end of file) describe the old position; they are set aside meanwhile.
void VideoPlayerView::seekCommand(const QByteArray& target, const char* flags)
{
    if (!m_mpv)
        return;
    const char* args[] = {"seek", target.constData(), flags, nullptr};
    if (mpv_command_async(m_mpv, kReplySeek, const_cast<const char**>(args)) >= 0)
        ++m_state.seeksInFlight;
}

void VideoPlayerView::applyRate(float rate)
{
    if (!m_mpv)
        return;
    if (rate > 0) {
        m_state.speed = std::clamp(static_cast<double>(rate), kMinSpeed, kMaxSpeed);
        if (setDouble(MpvName::kSpeed, m_state.speed, kReplySetSpeed))
            ++m_state.speedSetsInFlight;
        m_state.paused = false;
        m_bWantsPlay = true;
    } else {
        m_state.paused = true;
        m_bWantsPlay = false;
    }
    // Notices of the pause flag already on their way are older than this.
    if (setFlag(MpvName::kPause, m_state.paused, kReplySetPause))
        ++m_state.pauseSetsInFlight;
}

void VideoPlayerView::onPlay()
{
    applyRate(m_fPlaySpeed);
}

void VideoPlayerView::onPause()
{
    applyRate(0);
}

void VideoPlayerView::setRate(float rate)
{
    m_fPlaySpeed = rate;
    applyRate(rate);
}

void VideoPlayerView::setMuted(bool muted)
{
    m_bMuted = muted;
    setFlag(MpvName::kMute, muted);
}

void VideoPlayerView::setVolume(float volume)
{
    m_fVolume = std::isfinite(volume) ? std::clamp(volume, 0.0f, 1.0f) : 1.0f;
    setDouble(MpvName::kVolume, static_cast<double>(m_fVolume) * 100.0);
}

void VideoPlayerView::seekToTime(double seconds)
{
    if (!m_mpv || !std::isfinite(seconds))
        return;
    seconds = std::max(0.0, seconds);
    mCurrentTime = seconds;
    if (!m_bFileLoaded) {
        // mpv refuses seeks before the file is open; keep it for then.
        m_bHasPendingSeek = true;
        m_dPendingSeek = seconds;
        return;
    }
    m_state.timePos = seconds;
    seekCommand(numberText(seconds), "absolute+exact");
}

void VideoPlayerView::advancePlaybackBySeconds(int seconds)
{
    if (!m_mpv || !m_bFileLoaded)
        return;
    seekCommand(QByteArray::number(seconds), "relative+exact");
}

double VideoPlayerView::getitemTime() const
{
    return m_mpv && m_state.hasTimePos ? m_state.timePos : 0.0;
}

double VideoPlayerView::getCurrentTime() const
{
    return mCurrentTime;
}

int VideoPlayerView::getState() const
{
    if (!m_mpv)
        return 0;
    return m_state.paused ? 3 : 2;
}

int VideoPlayerView::getPlayerStatus() const
{
    if (!m_mpv || m_bFailed)
        return 2;
    return m_bReadyPosted ? 1 : 0;
}

QSizeF VideoPlayerView::getVideoResolution() const
{
    if (!m_mpv || m_state.width <= 0 || m_state.height <= 0)
        return QSizeF(0, 0);
    return QSizeF(static_cast<double>(m_state.width), static_cast<double>(m_state.height));
}

double VideoPlayerView::getDuration() const
{
    return m_mpv ? m_state.duration : mSelectedMovieDuration;
}

qint64 VideoPlayerView::droppedFrameCount() const
{
    return m_mpv ? m_state.frameDrops : -1;
}

qint64 VideoPlayerView::decoderDroppedFrameCount() const
{
    return m_mpv ? m_state.decoderFrameDrops : -1;
}

qint64 VideoPlayerView::renderedFrameCount() const
{
    return m_nRenderedFrames;
}

void VideoPlayerView::onTimeObserver()
{
    if (!m_mpv)
        return;
    // mpv does not always announce "eof-reached" (not when nothing else happens
    // at that moment, as with a stream that never decodes): ask for it too.
    mpv_get_property_async(m_mpv, kReplyEof, MpvName::kEofReached, MPV_FORMAT_FLAG);
    if (!m_bReadyPosted) {
        if (m_bFileLoaded && m_state.hasTimePos && m_state.timePos > kNoPictureLimit)
            fail(QStringLiteral("no picture could be decoded"));
        return;
    }
    // While the rewind after the end is on its way mpv still reports the end.
    if (m_state.hasTimePos && !m_bAtEnd && m_state.seeksInFlight == 0)
        mCurrentTime = std::floor(m_state.timePos + 0.5);
}

void VideoPlayerView::onRenderUpdate()
{
    if (!m_render)
        return;
    if (!(mpv_render_context_update(m_render) & MPV_RENDER_UPDATE_FRAME))
        return;
    m_bFramePending = true;
    auto* gl = static_cast<VideoGLWidget*>(normalView);
    QWindow* window = gl->window()->windowHandle();
    if (gl->isVisible() && window && window->isExposed()) {
        gl->update();
        return;
    }
    // Nobody will paint a hidden picture, yet mpv waits for each frame to be
    // drawn before it decodes the next: draw it into the framebuffer now.
    gl->makeCurrent();
    const qreal dpr = gl->devicePixelRatioF();
    renderFrame(gl->defaultFramebufferObject(), qRound(gl->width() * dpr), qRound(gl->height() * dpr));
    gl->doneCurrent();
}

void VideoPlayerView::renderFrame(unsigned int fbo, int width, int height)
{
    if (!m_render) {
        if (QOpenGLContext* context = QOpenGLContext::currentContext()) {
            context->functions()->glClearColor(0, 0, 0, 1);
            context->functions()->glClear(GL_COLOR_BUFFER_BIT);
        }
        return;
    }
    mpv_opengl_fbo target{static_cast<int>(fbo), width, height, 0};
    int flipY = 1; // the widget's framebuffer has OpenGL's origin at the bottom left
    // A picture of no size is not drawn, but the frame is still taken from mpv,
    // which otherwise waits for it before decoding the next.
    int skip = width <= 0 || height <= 0 ? 1 : 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &target},
        {MPV_RENDER_PARAM_FLIP_Y, &flipY},
        {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(m_render, params);
    if (m_bFramePending) {
        m_bFramePending = false;
        ++m_nRenderedFrames;
        Q_EMIT frameRendered();
    }
}

void VideoPlayerView::relayout(const QRect& frame)
{
    m_layoutFrame = frame;
    m_layoutGiven = true;
    applyLayout();
}

void VideoPlayerView::applyLayout()
{
    const QRect frame = m_layoutGiven ? m_layoutFrame : rect();
    const QSizeF size = getVideoResolution();
    const VideoFitLayout layout =
        pmFitVideo({static_cast<double>(frame.x()), static_cast<double>(frame.y()),
                    static_cast<double>(frame.width()), static_cast<double>(frame.height())},
                   size.width(), size.height());
    auto toRect = [](const VideoFrameRect& r) {
        return QRect(static_cast<int>(std::floor(r.x)), static_cast<int>(std::floor(r.y)),
                     static_cast<int>(r.width), static_cast<int>(r.height));
    };
    normalView->setGeometry(toRect(layout.picture));
    normalView2->setGeometry(toRect(layout.companion));
}

void VideoPlayerView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The surface fills its host; follow it like the host's own relayout would.
    m_layoutFrame = rect();
    applyLayout();
}

void VideoPlayerView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!m_bFailed)
        return;
    QFont font = painter.font();
    font.setPixelSize(qBound(12, height() / 20, 24));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(rect().adjusted(16, 16, -16, -16), Qt::AlignCenter | Qt::TextWordWrap,
                     pmLoadString(QStringLiteral("IDS_ERR_VIDEO_DECODE")));
}

void VideoPlayerView::mouseMoveEvent(QMouseEvent* event)
{
    // Dragging turns the view only in 360-degree mode, which no flow enables.
    QWidget::mouseMoveEvent(event);
}

bool VideoPlayerView::is360Player() const
{
    return m_b360Player;
}

void VideoPlayerView::doDpadRotate(int) {}

void VideoPlayerView::resetRotation() {}

void VideoPlayerView::syncRightCameraFromLeft() {}

void VideoPlayerView::psvrDataReceivedNotification(const Notification&) {}
