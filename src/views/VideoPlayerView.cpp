#include "views/VideoPlayerView.h"

#include "base/NotificationCenter.h"
#include "base/PSVRDataVariant.h"
#include "base/Services.h"
#include "core/Log.h"
#include "views/EyeView.h"
#include "views/VideoFit.h"
#include "views/VideoRenderWidget.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QtGlobal>
#include <cmath>

namespace
{

// Playing this far into a recording without a single picture means its video
// stream is broken (cameras start every file with a key frame), even when the
// sound still plays on.
constexpr double kNoPictureLimit = 5.0;

bool envIs(const char* name, const char* value)
{
    return qgetenv(name) == value;
}

} // namespace

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
        m_renderWidget = new VideoRenderWidget(this);
        connect(m_renderWidget, &VideoRenderWidget::frameRendered, this, &VideoPlayerView::frameRendered);
        normalView = m_renderWidget;
    }
    normalView->setObjectName(QStringLiteral("normalView"));
    normalView->setAttribute(Qt::WA_TransparentForMouseEvents);
    normalView->setGeometry(rect());
    normalView->hide();

    normalView2 = new QWidget(this);
    normalView2->setObjectName(QStringLiteral("normalView2"));
    normalView2->setAttribute(Qt::WA_TransparentForMouseEvents);
    normalView2->hide();

    m_player = new MpvPlayer(this);
    connect(m_player, &MpvPlayer::fileLoaded, this, &VideoPlayerView::tryReady);
    connect(m_player, &MpvPlayer::videoReconfigured, this, &VideoPlayerView::tryReady);
    connect(m_player, &MpvPlayer::videoTrackChecked, this, &VideoPlayerView::onVideoTrackChecked);
    connect(m_player, &MpvPlayer::videoSizeChanged, this, &VideoPlayerView::onVideoSizeChanged);
    connect(m_player, &MpvPlayer::durationChanged, this,
            [this](double seconds) { mSelectedMovieDuration = seconds; });
    connect(m_player, &MpvPlayer::ended, this, &VideoPlayerView::onEnded);
    connect(m_player, &MpvPlayer::endOfFileLeft, this, [this] { m_bAtEnd = false; });
    connect(m_player, &MpvPlayer::positionChanged, this, &VideoPlayerView::onPositionChanged);
    connect(m_player, &MpvPlayer::renderUpdate, this, &VideoPlayerView::drawTappedFrame);
    connect(m_player, &MpvPlayer::closing, this, [this] { m_tapRender.reset(); });

    // The faster observer and the redraw nudge belong to a platform release
    // this port does not have; both stay off.
    m_bRender360 = false;
    m_bAdd360Offset = false;

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
    return m_player->isOpen();
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
    return m_projectionMethod;
}

QWidget* VideoPlayerView::getAVPlayerLayer() const
{
    return normalView;
}

MpvPlayer* VideoPlayerView::player() const
{
    return m_player;
}

namespace
{
// A recording's absolute local path, or empty: recordings are files on a
// disk or card, and mpv is never handed a network or protocol address. An
// absolute path also keeps mpv from reading a name as an option or a
// protocol prefix.
QString localRecordingPath(const QUrl& asset)
{
    QString local;
    if (asset.isLocalFile())
        local = asset.toLocalFile();
    else if (asset.scheme().isEmpty())
        local = asset.path();
    return local.isEmpty() ? QString() : QFileInfo(local).absoluteFilePath();
}
} // namespace

void VideoPlayerView::loadChain(const QList<QUrl>& assets, const QList<double>& lengths)
{
    if (m_player->isOpen() || assets.isEmpty())
        return;
    QList<ChainPart> chain;
    QByteArray edl = "edl://";
    double start = 0;
    for (int i = 0; i < assets.size() && i < lengths.size(); ++i) {
        const double length = lengths.at(i);
        const QString path = localRecordingPath(assets.at(i));
        if (!std::isfinite(length) || length <= 0 || path.isEmpty())
            break;
        // Each name is given with its length in bytes ("%n%"), so no character
        // of it (';', ',', '%') is read as the list's own syntax.
        const QByteArray name = path.toUtf8();
        if (!chain.isEmpty())
            edl += ';';
        edl +=
            '%' + QByteArray::number(name.size()) + '%' + name + ",0," + QByteArray::number(length, 'f', 6);
        chain.append({assets.at(i), start, length});
        start += length;
    }
    if (chain.size() < 2) {
        loadURL(assets.first());
        return;
    }
    loadTarget(assets.first(), QString::fromUtf8(edl));
    m_chain = chain;
}

int VideoPlayerView::chainLength() const
{
    return m_chain.isEmpty() ? 1 : static_cast<int>(m_chain.size());
}

QUrl VideoPlayerView::chainURL(int index) const
{
    if (m_chain.isEmpty())
        return index == 0 ? m_url : QUrl();
    return index >= 0 && index < m_chain.size() ? m_chain.at(index).url : QUrl();
}

double VideoPlayerView::chainStart() const
{
    return m_chain.isEmpty() ? 0.0 : m_chain.at(m_chainIndex).start;
}

void VideoPlayerView::onPositionChanged(double timelineSeconds)
{
    if (m_chain.isEmpty())
        return;
    // A frame's time may read a hair before the place the timeline gives its
    // recording.
    constexpr double kSlack = 0.001;
    int index = 0;
    while (index + 1 < m_chain.size() && timelineSeconds >= m_chain.at(index + 1).start - kSlack)
        ++index;
    if (index == m_chainIndex)
        return;
    m_chainIndex = index;
    m_url = m_chain.at(index).url;
    Q_EMIT recordingEntered(index);
}

void VideoPlayerView::setFrameTap(FrameTap tap)
{
    m_frameTap = std::move(tap);
}

void VideoPlayerView::drawTappedFrame()
{
    if (!m_tapRender || !m_tapRender->takeNewFrame())
        return;
    const qint64 target = m_tapRender->nextFrameTargetUs();
    const QSize size = m_player->videoSize();
    if (size.isEmpty() || !m_frameTap) {
        m_tapRender->renderSoftware(QSize(), nullptr, 0, true);
        return;
    }
    const int stride = size.width() * 4;
    m_tapPixels.resize(static_cast<size_t>(stride) * static_cast<size_t>(size.height()));
    m_tapRender->renderSoftware(size, m_tapPixels.data(), static_cast<size_t>(stride), false);
    m_frameTap(m_tapPixels.data(), size, stride, target);
}

void VideoPlayerView::loadURL(const QUrl& asset)
{
    if (m_player->isOpen())
        return;
    const QString path = localRecordingPath(asset);
    loadTarget(asset, path);
}

void VideoPlayerView::loadTarget(const QUrl& asset, const QString& target)
{
    m_chain.clear();
    m_chainIndex = 0;

    m_url = asset;
    m_bReadyPosted = false;
    m_bAtEnd = false;
    m_bFailed = false;
    m_strFailReason.clear();
    if (m_renderWidget)
        m_renderWidget->resetRenderedFrameCount();
    ++m_loadSerial;
    update();

    if (target.isEmpty()) {
        queueFailure(QStringLiteral("not a local file"));
        return;
    }
    if (!createPlayer(target))
        return;

    timeObserver->start();
}

bool VideoPlayerView::createPlayer(const QString& path)
{
    // The GL widget's context is initialised now, even while it is hidden:
    // mpv refuses to open a video output without a render context.
    bool withPicture = false;
    if (m_renderWidget) {
        withPicture = m_renderWidget->ensureInitialised();
        if (!withPicture) {
            pmWriteLog("VideoPlayerView - no OpenGL context, the picture is not shown");
            qWarning("VideoPlayerView: no OpenGL context, playing without picture");
        }
    }

    MpvPlayer::Settings settings;
    settings.videoOutput = withPicture;
    settings.audioOutput = qgetenv("ROVIX_MPV_AO");
    if (settings.audioOutput.isEmpty() && (isHeadless() || envIs("ROVIX_TEST", "1")))
        settings.audioOutput = "null";
    // mpv's own order would fall through to SDL audio on a machine without a sound
    // server or card, and SDL's audio set-up is not safe from two players at once:
    // opening a front/rear pair there crashed now and then. Such a machine plays
    // the pictures silently instead.
    if (settings.audioOutput.isEmpty())
        settings.audioOutput = "pipewire,pulse,alsa,jack,null";
    // The volume, mute and rate already given; play at once, like a player told
    // to play before its item is ready (the rate is applied again when ready).
    settings.volume = static_cast<double>(m_fVolume) * 100.0;
    settings.muted = m_bMuted;
    // A rate of 0 given before the load opens the recording paused on its
    // first frame (a preview).
    settings.speed = m_fRate > 0 ? static_cast<double>(m_fRate) : 1.0;
    settings.paused = !(m_fRate > 0);
    const bool tapped = m_frameTap && !m_renderWidget;
    if (tapped) {
        settings.videoOutput = true;
        settings.dropLateFrames = false;
    }
    if (!m_player->open(settings)) {
        queueFailure(m_player->errorText());
        return false;
    }
    applyZoom();
    m_bWantsPlay = m_fRate > 0;
    if (tapped) {
        m_tapRender = m_player->createSoftwareRenderContext();
        if (!m_tapRender)
            m_player->disableVideoOutput();
    }

    if (withPicture && !m_renderWidget->attach(m_player)) {
        qWarning("VideoPlayerView: mpv render context failed, playing without picture");
        m_player->disableVideoOutput();
    }
    m_player->loadFile(path);
    return true;
}

void VideoPlayerView::onVideoTrackChecked(bool present)
{
    if (present)
        tryReady();
    else
        fail(QStringLiteral("no video track"));
}

void VideoPlayerView::onVideoSizeChanged()
{
    if (m_bReadyPosted)
        applyLayout(); // the picture changed size during playback
    else
        tryReady();
}

void VideoPlayerView::onEnded(MpvPlayer::EndReason reason, const QString& detail)
{
    switch (reason) {
    case MpvPlayer::EndReason::EndOfFile:
        if (!m_bReadyPosted)
            fail(QStringLiteral("no picture could be decoded"));
        else if (!m_bAtEnd)
            onEndReached();
        break;
    case MpvPlayer::EndReason::Error:
    case MpvPlayer::EndReason::Stopped:
        fail(detail);
        break;
    }
}

void VideoPlayerView::tryReady()
{
    if (!m_player->isOpen() || m_bReadyPosted || m_bFailed || !m_player->isFileLoaded())
        return;
    const QSizeF size = getVideoResolution();
    if (size.width() <= 0 || size.height() <= 0)
        return;

    m_bReadyPosted = true;
    pmWriteLog(QString::asprintf("VideoPlayerView - AVPlayerStatusReadyToPlay -  %.1f x %.1f", size.width(),
                                 size.height())
                   .toStdString());
    applyRate(m_fRate);
    applyLayout();
    normalView->show();

    Q_EMIT readyToPlay();
}

void VideoPlayerView::onEndReached()
{
    // Only playing into the end is an end; a paused seek onto the last frame is not.
    if (!m_bReadyPosted || !m_bWantsPlay)
        return;
    // The picture stays on the last frame (keep-open): the controller decides
    // what comes next, and a surface that moved by itself here would race the
    // other camera's end.
    m_bAtEnd = true;
    applyRate(0);
    qInfo("play end");

    Q_EMIT ended();
}

void VideoPlayerView::fail(const QString& reason)
{
    if (m_bFailed)
        return;
    if (m_bReadyPosted) {
        // Playing already (the file vanished or broke on the way): the player
        // stops, and the controller hears of it instead of waiting for a
        // clock that no longer moves.
        pmWriteLog(
            ("VideoPlayerView - playback failed - " + reason + " - " + m_url.toString()).toStdString());
        tearDownPlayer();
        m_bFailed = true;
        m_strFailReason = reason;
        normalView->hide();
        update();
        Q_EMIT playbackFailed(reason);
        return;
    }
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
        if (serial == m_loadSerial && m_bFailed && !m_player->isOpen()) {
            pmWriteLog(
                ("VideoPlayerView - load failed - " + reason + " - " + m_url.toString()).toStdString());
            Q_EMIT loadFailed(reason);
        }
    });
}

void VideoPlayerView::tearDownPlayer()
{
    timeObserver->stop();
    // The render widget frees its render context (GL context current) on the
    // player's closing(), before the handle goes.
    m_player->close();
}

void VideoPlayerView::releasePlayer()
{
    ++m_loadSerial;
    m_chain.clear();
    m_chainIndex = 0;
    if (m_player->isOpen()) {
        applyRate(0);
        tearDownPlayer();
    }
    timeObserver->stop();
    normalView->hide();
    normalView2->hide();
    mSelectedMovieDuration = 0;
    m_bReadyPosted = false;
    m_bAtEnd = false;
    m_bWantsPlay = false;
    if (m_bFailed) {
        m_bFailed = false;
        m_strFailReason.clear();
        update();
    }
}

void VideoPlayerView::applyRate(float rate)
{
    if (!m_player->isOpen())
        return;
    if (rate > 0) {
        m_player->setSpeed(static_cast<double>(rate));
        m_bWantsPlay = true;
    } else {
        m_bWantsPlay = false;
    }
    m_player->setPaused(!m_bWantsPlay);
}

void VideoPlayerView::onPlay()
{
    rewindIfAtEnd();
    applyRate(playRate());
}

bool VideoPlayerView::rewindIfAtEnd()
{
    if (!m_player->isOpen() || !m_bAtEnd)
        return false;
    m_bAtEnd = false;
    m_player->seekAbsolute(chainStart());
    return true;
}

bool VideoPlayerView::isAtEnd() const
{
    return m_player->isOpen() && m_bAtEnd;
}

void VideoPlayerView::onPause()
{
    applyRate(0);
}

void VideoPlayerView::setRate(float rate)
{
    m_fRate = rate;
    applyRate(rate);
}

float VideoPlayerView::playRate() const
{
    return m_player->isOpen() ? static_cast<float>(m_player->speed()) : m_fRate;
}

void VideoPlayerView::setMuted(bool muted)
{
    m_bMuted = muted;
    m_player->setMuted(muted);
}

void VideoPlayerView::setVolume(float volume)
{
    m_fVolume = std::isfinite(volume) ? std::clamp(volume, 0.0f, 1.0f) : 1.0f;
    m_player->setVolume(static_cast<double>(m_fVolume) * 100.0);
}

void VideoPlayerView::seekToTime(double seconds)
{
    if (!m_player->isOpen() || !std::isfinite(seconds))
        return;
    seconds = std::max(0.0, seconds) + chainStart();
    m_player->seekAbsolute(seconds);
}

void VideoPlayerView::advancePlaybackBySeconds(int seconds)
{
    m_player->seekRelative(seconds);
}

void VideoPlayerView::stepFrame(bool forward)
{
    if (!m_player->isOpen() || !m_bReadyPosted || m_bWantsPlay)
        return;
    if (forward)
        m_player->frameStep();
    else
        m_player->frameBackStep();
}

double VideoPlayerView::getitemTime() const
{
    return m_player->isOpen() && m_player->hasTimePos() ? m_player->timePos() - chainStart() : 0.0;
}

double VideoPlayerView::getCurrentTime() const
{
    // The mirror takes a seek's target at once; mpv's reports of the old
    // place are set aside until it has landed.
    if (!m_player->isOpen() || !m_bReadyPosted)
        return 0;
    const double position = m_player->timePos() - chainStart();
    if (!std::isfinite(position) || position <= 0)
        return 0;
    return m_player->isSeeking() ? position : std::floor(position + 0.5);
}

VideoPlayerView::State VideoPlayerView::getState() const
{
    if (!m_player->isOpen())
        return StateNoPlayer;
    return m_player->isPaused() ? StatePaused : StatePlaying;
}

VideoPlayerView::PlayerStatus VideoPlayerView::getPlayerStatus() const
{
    if (!m_player->isOpen() || m_bFailed)
        return StatusFailed;
    return m_bReadyPosted ? StatusReadyToPlay : StatusUnknown;
}

QSizeF VideoPlayerView::getVideoResolution() const
{
    if (!m_player->isOpen())
        return QSizeF(0, 0);
    return QSizeF(m_player->videoSize());
}

double VideoPlayerView::getDuration() const
{
    if (!m_chain.isEmpty())
        return m_chain.at(m_chainIndex).length;
    return m_player->isOpen() ? m_player->duration() : mSelectedMovieDuration;
}

qint64 VideoPlayerView::droppedFrameCount() const
{
    return m_player->isOpen() ? m_player->frameDropCount() : -1;
}

qint64 VideoPlayerView::decoderDroppedFrameCount() const
{
    return m_player->isOpen() ? m_player->decoderFrameDropCount() : -1;
}

qint64 VideoPlayerView::renderedFrameCount() const
{
    return m_renderWidget ? m_renderWidget->renderedFrameCount() : 0;
}

void VideoPlayerView::onTimeObserver()
{
    if (!m_player->isOpen())
        return;
    // mpv does not always announce "eof-reached" (not when nothing else happens
    // at that moment, as with a stream that never decodes): ask for it too.
    m_player->pollEndOfFile();
    if (!m_bReadyPosted && m_player->isFileLoaded() && m_player->hasTimePos() &&
        m_player->timePos() > kNoPictureLimit)
        fail(QStringLiteral("no picture could be decoded"));
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
    if (leftView && m_projectionMethod) {
        m_projectionMethod->eyeLayerHandler(leftView, 1, normalView->size());
        leftView->setContents(size.toSize());
        m_renderWidget->update();
    }
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

void VideoPlayerView::mousePressEvent(QMouseEvent* event)
{
    m_lastDragPoint = event->position();
    QWidget::mousePressEvent(event);
}

void VideoPlayerView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton) {
        const QPointF delta = event->position() - m_lastDragPoint;
        m_lastDragPoint = event->position();
        if (m_b360Player)
            mouseDragged(delta.x(), delta.y());
        else if (m_zoom.isZoomed())
            panByPixels(delta.x(), delta.y());
    }
    QWidget::mouseMoveEvent(event);
}

void VideoPlayerView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && !m_b360Player && m_zoom.isZoomed()) {
        resetZoom();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void VideoPlayerView::wheelEvent(QWheelEvent* event)
{
    // A wheel notch is 120; touchpads send less at a time.
    const double steps = event->angleDelta().y() / 120.0;
    if (m_b360Player || steps == 0 || !m_bReadyPosted ||
        !pictureRect().contains(event->position().toPoint())) {
        QWidget::wheelEvent(event);
        return;
    }
    zoomSteps(steps, event->position());
    event->accept();
}

void VideoPlayerView::keyPressEvent(QKeyEvent* event)
{
    const PlayerKey command = pmPlayerKeyFor(event->key(), event->modifiers());
    if (runZoomKey(command)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

QRect VideoPlayerView::pictureRect() const
{
    return normalView->geometry();
}

bool VideoPlayerView::setZoom(const PictureZoom& zoom)
{
    if (m_b360Player)
        return false;
    const PictureZoom clamped = pmClampZoom(zoom);
    if (clamped == m_zoom)
        return true;
    m_zoom = clamped;
    applyZoom();
    Q_EMIT zoomChanged();
    return true;
}

bool VideoPlayerView::zoomSteps(double steps, const QPointF& at)
{
    const QRect picture = pictureRect();
    if (picture.isEmpty())
        return setZoom(pmZoomSteps(m_zoom, steps, 0.5, 0.5));
    return setZoom(pmZoomSteps(m_zoom, steps, (at.x() - picture.x()) / picture.width(),
                               (at.y() - picture.y()) / picture.height()));
}

bool VideoPlayerView::panByPixels(double dx, double dy)
{
    const QRect picture = pictureRect();
    if (picture.isEmpty())
        return false;
    return setZoom(pmPanBy(m_zoom, dx / picture.width(), dy / picture.height()));
}

bool VideoPlayerView::resetZoom()
{
    return setZoom(PictureZoom());
}

bool VideoPlayerView::runZoomKey(PlayerKey command)
{
    const QPointF centre = QRectF(pictureRect()).center();
    switch (command) {
    case PlayerKey::ZoomIn:
        return zoomSteps(2, centre);
    case PlayerKey::ZoomOut:
        return zoomSteps(-2, centre);
    case PlayerKey::ZoomReset:
        return resetZoom();
    default:
        return false;
    }
}

void VideoPlayerView::applyZoom()
{
    if (!m_player->isOpen())
        return;
    const PictureZoom shown = m_b360Player ? PictureZoom() : m_zoom;
    m_player->setVideoZoom(shown.log2Zoom(), shown.panX, shown.panY);
}

bool VideoPlayerView::set360Player(bool on, int projectionMethodIndex)
{
    const auto& methods = VideoPlayerViewProjectionMethod::allProjectionMethods();
    if (!on) {
        if (!m_b360Player)
            return true;
        NotificationCenter::defaultCenter().removeObserver(this, Notifications::PSVRDataReceived);
        leftView = targetEyeView = nullptr;
        m_projectionMethod = nullptr;
        m_b360Player = false;
        m_renderWidget->setProjection(nullptr);
        applyZoom();
        return true;
    }
    if (projectionMethodIndex < 0 || projectionMethodIndex >= static_cast<int>(methods.size()))
        return false;
    if (!m_renderWidget || !m_renderWidget->ensureInitialised()) {
        pmWriteLog("VideoPlayerView - no OpenGL context, the 360-degree view is shown flat");
        return false;
    }
    m_projectionMethod = &methods[static_cast<size_t>(projectionMethodIndex)];
    if (!m_b360Player) {
        auto eye = std::make_unique<EyeView>(normalView->size());
        leftView = targetEyeView = eye.get();
        m_renderWidget->setProjection(std::move(eye));
        m_b360Player = true;
        applyZoom();
        NotificationCenter::defaultCenter().addObserver(
            this, Notifications::PSVRDataReceived,
            [this](const Notification& n) { psvrDataReceivedNotification(n); });
    }
    applyLayout();
    return true;
}

bool VideoPlayerView::is360Player() const
{
    return m_b360Player;
}

namespace
{

View360Rotation rotationOf(const EyeView* eye)
{
    View360Rotation r;
    r.roll = eye->roll();
    r.pitch = eye->pitch();
    r.yaw = eye->yaw();
    return r;
}

void applyRotation(EyeView* eye, const View360Rotation& r)
{
    eye->setRoll(r.roll);
    eye->setPitch(r.pitch);
    eye->setYaw(r.yaw);
}

} // namespace

void VideoPlayerView::doDpadRotate(int command)
{
    if (!m_b360Player || !leftView)
        return;
    View360Rotation r = rotationOf(leftView);
    if (!r.applyDpad(command))
        return;
    applyRotation(leftView, r);
    qDebug("doDpadRotate - pitch = %f", r.pitch);
    m_renderWidget->update();
}

void VideoPlayerView::resetRotation()
{
    if (!m_b360Player || !leftView)
        return;
    applyRotation(leftView, View360Rotation());
    m_renderWidget->update();
}

void VideoPlayerView::mouseDragged(double dx, double dy)
{
    if (!leftView)
        return;
    View360Rotation r = rotationOf(leftView);
    r.drag(dx, dy);
    applyRotation(leftView, r);
    syncRightCameraFromLeft();
    m_renderWidget->update();
}

void VideoPlayerView::syncRightCameraFromLeft() {}

void VideoPlayerView::psvrDataReceivedNotification(const Notification& notification)
{
    if (!leftView)
        return;
    const PSVRData report = notification.userInfo.value(kPSVRDataKey).value<PSVRData>();
    if (!report.isValid())
        return;
    View360Rotation r = rotationOf(leftView);
    r.applyTracker(report.yawAcceleration(), report.pitchAcceleration());
    applyRotation(leftView, r);
    syncRightCameraFromLeft();
    m_renderWidget->update();
}
