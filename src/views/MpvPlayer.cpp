#include "views/MpvPlayer.h"

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>
#include <atomic>
#include <clocale>
#include <cmath>
#include <cstring>
#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>
#include <new>
#include <utility>

namespace
{

// reply_userdata of the observed properties and of the asynchronous requests.
enum ReplyId : uint64_t {
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
    kReplyTimePos,
    kReplySeek,
    kReplySetPause,
    kReplySetSpeed,
    kReplySetZoom,
    kFirstGrab = 1000, // frame grabs and video output switches count up from here
};

constexpr double kMinSpeed = 0.01; // mpv's own bounds for "speed"
constexpr double kMaxSpeed = 100.0;

QByteArray numberText(double value)
{
    return QByteArray::number(value, 'f', 6);
}

const mpv_node* mapValue(const mpv_node& map, const char* key)
{
    if (map.format != MPV_FORMAT_NODE_MAP || !map.u.list)
        return nullptr;
    for (int i = 0; i < map.u.list->num; ++i) {
        if (std::strcmp(map.u.list->keys[i], key) == 0)
            return &map.u.list->values[i];
    }
    return nullptr;
}

qint64 intValue(const mpv_node* node)
{
    return node && node->format == MPV_FORMAT_INT64 ? node->u.int64 : 0;
}

// screenshot-raw's answer: w, h, stride, format and the pixel bytes.
QImage imageFromScreenshot(const mpv_node& result)
{
    const qint64 width = intValue(mapValue(result, "w"));
    const qint64 height = intValue(mapValue(result, "h"));
    const qint64 stride = intValue(mapValue(result, "stride"));
    const mpv_node* format = mapValue(result, "format");
    const mpv_node* data = mapValue(result, "data");
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || stride < width * 4 || !format ||
        format->format != MPV_FORMAT_STRING || !data || data->format != MPV_FORMAT_BYTE_ARRAY ||
        !data->u.ba || data->u.ba->size < static_cast<size_t>(stride * (height - 1) + width * 4))
        return QImage();
    // Four bytes a pixel, blue first: Qt's 32-bit formats on a little-endian machine.
    QImage::Format qtFormat;
    if (std::strcmp(format->u.string, "bgr0") == 0)
        qtFormat = QImage::Format_RGB32;
    else if (std::strcmp(format->u.string, "bgra") == 0)
        qtFormat = QImage::Format_ARGB32_Premultiplied;
    else
        return QImage();
    QImage image(static_cast<int>(width), static_cast<int>(height), qtFormat);
    if (image.isNull())
        return QImage();
    const auto* bytes = static_cast<const uchar*>(data->u.ba->data);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(image.scanLine(y), bytes + y * stride, static_cast<size_t>(width) * 4);
    if (qtFormat == QImage::Format_RGB32)
        return image;
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

// Shared by the player, its render contexts and every call the mpv callbacks
// queue onto the main thread. Only the main thread reads or writes `player`
// and `renderContexts`.
struct MpvPlayer::Bridge : std::enable_shared_from_this<MpvPlayer::Bridge> {
    MpvPlayer* player = nullptr;
    int renderContexts = 0;
    // A closed player's core, kept until its last render context is freed:
    // libmpv wants every render context gone before the core.
    mpv_handle* orphanedCore = nullptr;
    std::atomic<bool> wakeupQueued{false};
    std::atomic<bool> renderQueued{false};
};

MpvRenderContext::MpvRenderContext(mpv_render_context* context, std::shared_ptr<void> bridge, bool software)
    : m_context(context), m_bridge(std::move(bridge)), m_software(software)
{
}

MpvRenderContext::~MpvRenderContext()
{
    mpv_render_context_free(m_context);
    auto* bridge = static_cast<MpvPlayer::Bridge*>(m_bridge.get());
    if (--bridge->renderContexts == 0 && bridge->orphanedCore) {
        mpv_handle* core = std::exchange(bridge->orphanedCore, nullptr);
        MpvPlayer::destroyCore(core);
    }
}

bool MpvRenderContext::takeNewFrame()
{
    return mpv_render_context_update(m_context) & MPV_RENDER_UPDATE_FRAME;
}

void MpvRenderContext::render(unsigned int fbo, QSize pixels, bool flipY, bool skip)
{
    mpv_opengl_fbo target{static_cast<int>(fbo), pixels.width(), pixels.height(), 0};
    int flip = flipY ? 1 : 0;
    int skipRendering = skip || pixels.isEmpty() ? 1 : 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &target},
        {MPV_RENDER_PARAM_FLIP_Y, &flip},
        {MPV_RENDER_PARAM_SKIP_RENDERING, &skipRendering},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(m_context, params);
}

void MpvRenderContext::renderSoftware(QSize size, void* pixels, size_t stride, bool skip)
{
    const bool fits = !size.isEmpty() && pixels && stride >= static_cast<size_t>(size.width()) * 4;
    int skipRendering = skip || !fits ? 1 : 0;
    if (skipRendering) {
        // mpv converts nothing when it only takes the frame, but it checks
        // the target as for a render, so a real one is named, as large as it
        // is said to be: the size drawn last (the renderer keeps its set-up),
        // over memory kept for that, or one pixel when that cannot be had.
        size = m_lastSoftwareSize.isEmpty() ? QSize(1, 1) : m_lastSoftwareSize;
        stride = static_cast<size_t>(size.width()) * 4;
        const size_t bytes = stride * static_cast<size_t>(size.height());
        if (bytes > sizeof m_onePixel && bytes > m_spareBytes) {
            m_spare.reset(new (std::nothrow) unsigned char[bytes]);
            m_spareBytes = m_spare ? bytes : 0;
        }
        if (bytes <= sizeof m_onePixel) {
            pixels = m_onePixel;
        } else if (m_spare) {
            pixels = m_spare.get();
        } else {
            size = QSize(1, 1);
            stride = 4;
            pixels = m_onePixel;
        }
    } else {
        m_lastSoftwareSize = size;
    }
    int target[2] = {size.width(), size.height()};
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, target},
        {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>(kSoftwareFormat)},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        {MPV_RENDER_PARAM_SW_POINTER, pixels},
        {MPV_RENDER_PARAM_SKIP_RENDERING, &skipRendering},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(m_context, params);
}

qint64 MpvRenderContext::nextFrameTargetUs() const
{
    mpv_render_frame_info info{};
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_NEXT_FRAME_INFO, &info},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_get_info(m_context, params[0]) < 0 ||
        !(info.flags & MPV_RENDER_FRAME_INFO_PRESENT))
        return -1;
    return info.target_time;
}

std::atomic<int> MpvPlayer::s_liveCores{0};

MpvPlayer::MpvPlayer(QObject* parent) : QObject(parent) {}

int MpvPlayer::liveCoreCount()
{
    return s_liveCores.load();
}

void MpvPlayer::destroyCore(mpv_handle* core)
{
    mpv_terminate_destroy(core);
    --s_liveCores;
}

MpvPlayer::~MpvPlayer()
{
    close();
}

double MpvPlayer::clampSpeed(double speed)
{
    return std::clamp(speed, kMinSpeed, kMaxSpeed);
}

bool MpvPlayer::open(const Settings& settings)
{
    if (m_mpv)
        return false;
    m_error.clear();
    // libmpv refuses to start unless numbers are formatted the C way; QApplication
    // may have picked the user's locale.
    if (const char* numeric = std::setlocale(LC_NUMERIC, nullptr); !numeric || std::strcmp(numeric, "C") != 0)
        std::setlocale(LC_NUMERIC, "C");

    mpv_handle* handle = mpv_create();
    if (!handle) {
        m_error = QStringLiteral("the player could not be created");
        return false;
    }
    ++s_liveCores;
    using namespace MpvProperty;
    mpv_set_option_string(handle, kVo, settings.videoOutput ? "libmpv" : "null");
    if (!settings.audioOutput.isEmpty())
        mpv_set_option_string(handle, kAo, settings.audioOutput.constData());
    mpv_set_option_string(handle, kIdle, "yes");
    mpv_set_option_string(handle, kKeepOpen, "yes");
    mpv_set_option_string(handle, kKeepAspect, "no"); // the view already has the picture's shape
    mpv_set_option_string(handle, kPitchCorrection, "yes");
    mpv_set_option_string(handle, kTimingOffset, "0"); // never block the main thread in render
    mpv_set_option_string(handle, kOsdLevel, "0");
    mpv_set_option_string(handle, kSubtitle, "no"); // some cameras carry their track as subtitles
    mpv_set_option_string(handle, kSubAuto, "no");
    mpv_set_option_string(handle, kAudioFileAuto, "no");
    mpv_set_option_string(handle, kInputBindings, "no");
    mpv_set_option_string(handle, kLoadScripts, "no");
    mpv_set_option_string(handle, kYtdl, "no");
    // Decoding is in software: skip probing GPU drivers.
    mpv_set_option_string(handle, kHwdecInterop, "no");
    const double startSpeed = clampSpeed(settings.speed);
    mpv_set_option_string(handle, kVolume, numberText(std::clamp(settings.volume, 0.0, 100.0)).constData());
    mpv_set_option_string(handle, kMute, settings.muted ? "yes" : "no");
    mpv_set_option_string(handle, kSpeed, numberText(startSpeed).constData());
    mpv_set_option_string(handle, kPause, settings.paused ? "yes" : "no");
    if (!settings.dropLateFrames)
        mpv_set_option_string(handle, kFrameDrop, "no");
    if (mpv_initialize(handle) < 0) {
        destroyCore(handle);
        m_error = QStringLiteral("the player could not be initialised");
        return false;
    }

    m_mpv = handle;
    m_state = Mirror();
    m_state.speed = startSpeed;
    m_state.paused = settings.paused;
    m_bridge = std::make_shared<Bridge>();
    m_bridge->player = this;

    mpv_observe_property(m_mpv, kObsDuration, kDuration, MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, kObsWidth, kDisplayWidth, MPV_FORMAT_INT64);
    mpv_observe_property(m_mpv, kObsHeight, kDisplayHeight, MPV_FORMAT_INT64);
    mpv_observe_property(m_mpv, kObsEof, kEofReached, MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, kObsPause, kPause, MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, kObsSpeed, kSpeed, MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, kObsTimePos, kTimePos, MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, kObsFrameDrops, kFrameDrops, MPV_FORMAT_INT64);
    mpv_observe_property(m_mpv, kObsDecoderFrameDrops, kDecoderFrameDrops, MPV_FORMAT_INT64);
    mpv_set_wakeup_callback(m_mpv, &MpvPlayer::onWakeup, m_bridge.get());
    return true;
}

void MpvPlayer::close()
{
    if (!m_mpv)
        return;
    // Everything is taken out of the object first: a receiver of closing()
    // may delete the player.
    mpv_handle* const handle = m_mpv;
    m_mpv = nullptr;
    const std::shared_ptr<Bridge> bridge = std::move(m_bridge);
    auto grabs = std::move(m_grabs);
    m_grabs.clear();
    m_outputSwitches.clear();
    m_state = Mirror();
    bridge->player = nullptr; // anything already queued finds nobody
    mpv_set_wakeup_callback(handle, nullptr, nullptr);

    // Render contexts hold GL objects and must go before the core.
    Q_EMIT closing();
    if (bridge->renderContexts > 0) {
        // Someone still holds one: the core waits for it, silent meanwhile.
        qWarning("MpvPlayer: a render context outlives its player; its core goes when the context does");
        int yes = 1;
        mpv_set_property_async(handle, 0, MpvProperty::kPause, MPV_FORMAT_FLAG, &yes);
        const char* stopArgs[] = {"stop", nullptr};
        mpv_command_async(handle, 0, stopArgs);
        bridge->orphanedCore = handle;
    } else {
        destroyCore(handle);
    }

    for (auto& grab : grabs)
        grab.second(QImage());
}

bool MpvPlayer::isOpen() const
{
    return m_mpv != nullptr;
}

QString MpvPlayer::errorText() const
{
    return m_error;
}

std::unique_ptr<MpvRenderContext> MpvPlayer::createRenderContext(GetProcAddress getProcAddress, void* context)
{
    if (!m_mpv)
        return nullptr;
    mpv_opengl_init_params glInit{getProcAddress, context};
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    return makeRenderContext(params, false);
}

std::unique_ptr<MpvRenderContext> MpvPlayer::createSoftwareRenderContext()
{
    if (!m_mpv)
        return nullptr;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    return makeRenderContext(params, true);
}

std::unique_ptr<MpvRenderContext> MpvPlayer::makeRenderContext(mpv_render_param* params, bool software)
{
    mpv_render_context* render = nullptr;
    if (mpv_render_context_create(&render, m_mpv, params) < 0)
        return nullptr;
    mpv_render_context_set_update_callback(render, &MpvPlayer::onRenderUpdate, m_bridge.get());
    ++m_bridge->renderContexts;
    return std::unique_ptr<MpvRenderContext>(new MpvRenderContext(render, m_bridge, software));
}

void MpvPlayer::onWakeup(void* context)
{
    auto* bridge = static_cast<Bridge*>(context);
    if (bridge->wakeupQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [b = bridge->shared_from_this()] {
            b->wakeupQueued = false;
            if (b->player)
                b->player->drainEvents();
        },
        Qt::QueuedConnection);
}

void MpvPlayer::onRenderUpdate(void* context)
{
    auto* bridge = static_cast<Bridge*>(context);
    if (bridge->renderQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [b = bridge->shared_from_this()] {
            b->renderQueued = false;
            if (b->player)
                Q_EMIT b->player->renderUpdate();
        },
        Qt::QueuedConnection);
}

void MpvPlayer::drainEvents()
{
    // A receiver of the signals may close or delete the player: both are
    // checked after every event.
    QPointer<MpvPlayer> self(this);
    mpv_handle* const handle = m_mpv;
    while (self && handle && m_mpv == handle) {
        mpv_event* event = mpv_wait_event(handle, 0);
        if (!event || event->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(*event);
    }
}

void MpvPlayer::handleEvent(const mpv_event& event)
{
    switch (event.event_id) {
    case MPV_EVENT_FILE_LOADED:
        m_state.fileLoaded = true;
        m_state.holdVideoSize = false;
        // Whether a video track was chosen; the answer comes back as an event.
        mpv_get_property_async(m_mpv, kReplyVideoTrack, MpvProperty::kVideoTrack, MPV_FORMAT_INT64);
        if (m_state.hasPendingSeek) {
            m_state.hasPendingSeek = false;
            seekAbsolute(m_state.pendingSeek);
        }
        Q_EMIT fileLoaded();
        break;
    case MPV_EVENT_VIDEO_RECONFIG:
        Q_EMIT videoReconfigured();
        break;
    case MPV_EVENT_PROPERTY_CHANGE:
        onPropertyChange(event.reply_userdata, event.data);
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        m_state.seeksInFlight = 0; // mpv merges queued seeks into the one it just finished
        sendFrameSteps();
        // The report of the new position may have come before this event and
        // been set aside; a paused player sends no other. Ask for it.
        mpv_get_property_async(m_mpv, kReplyTimePos, MpvProperty::kTimePos, MPV_FORMAT_DOUBLE);
        break;
    case MPV_EVENT_COMMAND_REPLY:
        onCommandReply(event);
        break;
    case MPV_EVENT_SET_PROPERTY_REPLY:
        if (event.reply_userdata == kReplySetPause && m_state.pauseSetsInFlight > 0)
            --m_state.pauseSetsInFlight;
        else if (event.reply_userdata == kReplySetSpeed && m_state.speedSetsInFlight > 0)
            --m_state.speedSetsInFlight;
        else if (event.reply_userdata == kReplySetZoom && m_state.zoomSetsInFlight > 0) {
            if (--m_state.zoomSetsInFlight == 0)
                Q_EMIT videoZoomApplied();
        } else if (auto output = m_outputSwitches.find(event.reply_userdata);
                   output != m_outputSwitches.end()) {
            --m_state.outputSwitchesInFlight;
            std::function<void()> done = std::move(output->second);
            m_outputSwitches.erase(output);
            if (done)
                done();
        }
        break;
    case MPV_EVENT_GET_PROPERTY_REPLY:
        if (event.reply_userdata == kReplyVideoTrack) {
            Q_EMIT videoTrackChecked(event.error >= 0);
        } else if (event.reply_userdata == kReplyTimePos && event.error >= 0) {
            onTimePosReport(static_cast<const mpv_event_property*>(event.data));
        } else if (event.reply_userdata == kReplyEof && event.error >= 0) {
            const auto* property = static_cast<const mpv_event_property*>(event.data);
            onEofReport(property->format == MPV_FORMAT_FLAG && *static_cast<const int*>(property->data));
        }
        break;
    case MPV_EVENT_END_FILE: {
        m_state.holdVideoSize = false;
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        if (end->reason == MPV_END_FILE_REASON_ERROR)
            Q_EMIT ended(EndReason::Error, QString::fromUtf8(mpv_error_string(end->error)));
        else if (end->reason == MPV_END_FILE_REASON_EOF)
            Q_EMIT ended(EndReason::EndOfFile, QString());
        else
            Q_EMIT ended(EndReason::Stopped, QStringLiteral("playback stopped"));
        break;
    }
    case MPV_EVENT_SHUTDOWN:
        Q_EMIT ended(EndReason::Stopped, QStringLiteral("the player shut down"));
        break;
    default:
        break;
    }
}

void MpvPlayer::onCommandReply(const mpv_event& event)
{
    if (event.reply_userdata == kReplySeek) {
        if (event.error < 0 && m_state.seeksInFlight > 0 && --m_state.seeksInFlight == 0)
            sendFrameSteps(); // refused: no restart will follow
        return;
    }
    auto grab = m_grabs.find(event.reply_userdata);
    if (grab == m_grabs.end())
        return;
    std::function<void(QImage)> done = std::move(grab->second);
    m_grabs.erase(grab);
    QImage image;
    if (event.error >= 0 && event.data)
        image = imageFromScreenshot(static_cast<const mpv_event_command*>(event.data)->result);
    done(image);
}

void MpvPlayer::onPropertyChange(quint64 id, const void* eventData)
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
        Q_EMIT durationChanged(m_state.duration);
        break;
    case kObsWidth:
    case kObsHeight:
        // While the video output is reopened mpv forgets the picture's size
        // for a moment; the picture has not changed.
        if (m_state.holdVideoSize && integer <= 0)
            break;
        if (integer > 0 && !m_state.videoOutputOff && m_state.outputSwitchesInFlight == 0)
            m_state.holdVideoSize = false;
        (id == kObsWidth ? m_state.width : m_state.height) = integer;
        Q_EMIT videoSizeChanged(videoSize());
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
        onTimePosReport(property);
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

void MpvPlayer::onTimePosReport(const mpv_event_property* property)
{
    if (m_state.seeksInFlight > 0)
        return; // from before the seek
    const bool isDouble = property->format == MPV_FORMAT_DOUBLE;
    const double number = isDouble ? *static_cast<const double*>(property->data) : 0.0;
    m_state.hasTimePos = isDouble && std::isfinite(number);
    if (m_state.hasTimePos) {
        m_state.timePos = number;
        Q_EMIT positionChanged(number);
    }
}

void MpvPlayer::onEofReport(bool eof)
{
    // A report made before a seek was carried out says nothing about the
    // position sought to.
    if (m_state.seeksInFlight > 0)
        return;
    if (eof)
        Q_EMIT ended(EndReason::EndOfFile, QString());
    else
        Q_EMIT endOfFileLeft();
}

void MpvPlayer::command(const char* const* args, quint64 replyId)
{
    if (m_mpv)
        mpv_command_async(m_mpv, replyId, const_cast<const char**>(args));
}

bool MpvPlayer::setFlag(const char* name, bool value, quint64 replyId)
{
    int flag = value ? 1 : 0;
    return m_mpv && mpv_set_property_async(m_mpv, replyId, name, MPV_FORMAT_FLAG, &flag) >= 0;
}

bool MpvPlayer::setDouble(const char* name, double value, quint64 replyId)
{
    return m_mpv && mpv_set_property_async(m_mpv, replyId, name, MPV_FORMAT_DOUBLE, &value) >= 0;
}

// Until mpv has carried the seek out, the reports already on their way (time,
// end of file) describe the old position; they are set aside meanwhile.
void MpvPlayer::seekCommand(const QByteArray& target, const char* flags)
{
    if (!m_mpv)
        return;
    const char* args[] = {"seek", target.constData(), flags, nullptr};
    if (mpv_command_async(m_mpv, kReplySeek, const_cast<const char**>(args)) >= 0)
        ++m_state.seeksInFlight;
}

void MpvPlayer::loadFile(const QString& absolutePath)
{
    const QByteArray file = absolutePath.toUtf8();
    const char* args[] = {"loadfile", file.constData(), nullptr};
    command(args);
}

void MpvPlayer::setPaused(bool paused)
{
    if (!m_mpv)
        return;
    m_state.paused = paused;
    // Notices of the pause flag already on their way are older than this.
    if (setFlag(MpvProperty::kPause, paused, kReplySetPause))
        ++m_state.pauseSetsInFlight;
}

void MpvPlayer::setSpeed(double speed)
{
    if (!m_mpv || !std::isfinite(speed))
        return;
    m_state.speed = clampSpeed(speed);
    if (setDouble(MpvProperty::kSpeed, m_state.speed, kReplySetSpeed))
        ++m_state.speedSetsInFlight;
}

void MpvPlayer::setVideoZoom(double log2Zoom, double panX, double panY)
{
    if (!std::isfinite(log2Zoom) || !std::isfinite(panX) || !std::isfinite(panY))
        return;
    // mpv applies zoom and pan only while it keeps the aspect itself. The
    // view has the picture's shape, so at 1x mpv stretches (no border from
    // rounding), and keeping the aspect changes nothing visible when zoomed.
    const bool neutral = log2Zoom == 0 && panX == 0 && panY == 0;
    setFlag(MpvProperty::kKeepAspect, !neutral);
    setDouble(MpvProperty::kVideoZoom, log2Zoom);
    setDouble(MpvProperty::kVideoPanX, panX);
    // The last one's reply says mpv holds all of them.
    if (setDouble(MpvProperty::kVideoPanY, panY, kReplySetZoom))
        ++m_state.zoomSetsInFlight;
}

void MpvPlayer::setVolume(double percent)
{
    if (std::isfinite(percent))
        setDouble(MpvProperty::kVolume, std::clamp(percent, 0.0, 100.0));
}

void MpvPlayer::setMuted(bool muted)
{
    setFlag(MpvProperty::kMute, muted);
}

void MpvPlayer::seekAbsolute(double seconds)
{
    if (!m_mpv || !std::isfinite(seconds))
        return;
    seconds = std::max(0.0, seconds);
    if (!m_state.fileLoaded) {
        // mpv refuses seeks before the file is open; keep it for then.
        m_state.hasPendingSeek = true;
        m_state.pendingSeek = seconds;
        return;
    }
    m_state.timePos = seconds;
    seekCommand(numberText(seconds), "absolute+exact");
}

void MpvPlayer::seekRelative(double seconds)
{
    if (!m_mpv || !m_state.fileLoaded || !std::isfinite(seconds))
        return;
    seekCommand(numberText(seconds), "relative+exact");
}

void MpvPlayer::frameStep()
{
    if (!m_mpv)
        return;
    ++m_state.pendingFrameSteps;
    if (m_state.seeksInFlight == 0)
        sendFrameSteps();
}

void MpvPlayer::frameBackStep()
{
    if (!m_mpv)
        return;
    --m_state.pendingFrameSteps;
    if (m_state.seeksInFlight == 0)
        sendFrameSteps();
}

void MpvPlayer::sendFrameSteps()
{
    const char* forward[] = {"frame-step", nullptr};
    const char* back[] = {"frame-back-step", nullptr};
    for (; m_state.pendingFrameSteps > 0; --m_state.pendingFrameSteps)
        command(forward);
    for (; m_state.pendingFrameSteps < 0; ++m_state.pendingFrameSteps)
        command(back);
}

void MpvPlayer::stop()
{
    const char* args[] = {"stop", nullptr};
    command(args);
}

void MpvPlayer::reloadVideo()
{
    const char* args[] = {"video-reload", nullptr};
    command(args);
}

void MpvPlayer::disableVideoOutput()
{
    const char* args[] = {"set", MpvProperty::kVo, "null", nullptr};
    command(args);
}

void MpvPlayer::setVideoOutput(bool on, std::function<void()> done)
{
    if (!m_mpv)
        return;
    const char* name = on ? "libmpv" : "null";
    m_state.videoOutputOff = !on;
    m_state.holdVideoSize = m_state.holdVideoSize || (!on && m_state.fileLoaded);
    const quint64 id = kFirstGrab + m_nextGrabId++;
    if (mpv_set_property_async(m_mpv, id, MpvProperty::kVo, MPV_FORMAT_STRING, &name) >= 0) {
        m_outputSwitches.emplace(id, std::move(done));
        ++m_state.outputSwitchesInFlight;
    }
    // A new video output makes mpv reread the video track from where it is.
    // Once mpv has read the file to its end, that rereading may give the
    // decoder nothing, not even the end: no frame ever reaches the output, a
    // playing picture freezes and a paused one is never drawn. A seek to
    // where the player is reads the track afresh (a seek asked for before it
    // keeps its target; one asked for after replaces it).
    if (on && m_state.fileLoaded)
        seekCommand(QByteArrayLiteral("0"), "relative+exact");
}

void MpvPlayer::pollEndOfFile()
{
    if (m_mpv)
        mpv_get_property_async(m_mpv, kReplyEof, MpvProperty::kEofReached, MPV_FORMAT_FLAG);
}

void MpvPlayer::grabFrame(std::function<void(QImage)> done)
{
    if (!done)
        return;
    if (!m_mpv) {
        // Answered from the event loop, like every other grab.
        QMetaObject::invokeMethod(
            this, [done = std::move(done)] { done(QImage()); }, Qt::QueuedConnection);
        return;
    }
    // "video": the decoded frame itself, without scaling or subtitles.
    mpv_node words[2];
    words[0].format = MPV_FORMAT_STRING;
    words[0].u.string = const_cast<char*>("screenshot-raw");
    words[1].format = MPV_FORMAT_STRING;
    words[1].u.string = const_cast<char*>("video");
    mpv_node_list list{2, words, nullptr};
    mpv_node args;
    args.format = MPV_FORMAT_NODE_ARRAY;
    args.u.list = &list;
    const quint64 id = kFirstGrab + m_nextGrabId++;
    if (mpv_command_node_async(m_mpv, id, &args) < 0) {
        QMetaObject::invokeMethod(
            this, [done = std::move(done)] { done(QImage()); }, Qt::QueuedConnection);
        return;
    }
    m_grabs.emplace(id, std::move(done));
}

bool MpvPlayer::isFileLoaded() const
{
    return m_state.fileLoaded;
}

bool MpvPlayer::isPaused() const
{
    return m_state.paused;
}

double MpvPlayer::speed() const
{
    return m_state.speed;
}

bool MpvPlayer::hasTimePos() const
{
    return m_state.hasTimePos;
}

double MpvPlayer::timePos() const
{
    return m_state.timePos;
}

double MpvPlayer::duration() const
{
    return m_state.duration;
}

QSize MpvPlayer::videoSize() const
{
    if (m_state.width <= 0 || m_state.height <= 0)
        return QSize(0, 0);
    return QSize(static_cast<int>(m_state.width), static_cast<int>(m_state.height));
}

qint64 MpvPlayer::frameDropCount() const
{
    return m_state.frameDrops;
}

qint64 MpvPlayer::decoderFrameDropCount() const
{
    return m_state.decoderFrameDrops;
}

bool MpvPlayer::isSeeking() const
{
    return m_state.seeksInFlight > 0;
}

std::optional<double> MpvPlayer::doubleProperty(const char* name) const
{
    double value = 0;
    if (!m_mpv || mpv_get_property(m_mpv, name, MPV_FORMAT_DOUBLE, &value) < 0)
        return std::nullopt;
    return value;
}

std::optional<bool> MpvPlayer::flagProperty(const char* name) const
{
    int value = 0;
    if (!m_mpv || mpv_get_property(m_mpv, name, MPV_FORMAT_FLAG, &value) < 0)
        return std::nullopt;
    return value != 0;
}

std::optional<qint64> MpvPlayer::intProperty(const char* name) const
{
    int64_t value = 0;
    if (!m_mpv || mpv_get_property(m_mpv, name, MPV_FORMAT_INT64, &value) < 0)
        return std::nullopt;
    return static_cast<qint64>(value);
}

std::optional<QString> MpvPlayer::stringProperty(const char* name) const
{
    if (!m_mpv)
        return std::nullopt;
    char* text = mpv_get_property_string(m_mpv, name);
    if (!text)
        return std::nullopt;
    QString value = QString::fromUtf8(text);
    mpv_free(text);
    return value;
}
