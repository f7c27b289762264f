#include "playback/SurfacePair.h"

#include "base/Services.h"
#include "core/FileRules.h"
#include "core/Log.h"
#include "core/TripChain.h"
#include "media/MediaDuration.h"

#include <QLayout>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <string>
#include <utility>

namespace
{
// One frame at the highest rate a camera records.
constexpr double kShortestFrameSeconds = 1.0 / 60.0;

std::vector<std::string> nativePaths(const QList<int>& rows, const QList<AMediaFile>& list)
{
    std::vector<std::string> paths;
    for (int row : rows)
        paths.push_back(list.at(row).nativePath().toStdString());
    return paths;
}

// The durations of `paths` in order, on a worker: the header answers at once
// for the camera's own files, FFmpeg (for a file whose header states none)
// may take seconds. A file gone from the card gives -1 and ends the list; so
// does, after its own, a duration of less than a frame, which ends a chain.
std::vector<double> probeDurations(const std::vector<std::string>& paths, const std::atomic<bool>& stop)
{
    std::vector<double> lengths;
    for (const std::string& path : paths) {
        if (stop)
            break;
        if (!pmIsFileExist(path)) {
            lengths.push_back(-1);
            break;
        }
        lengths.push_back(pmGetMediaDurationSeconds(path));
        if (!(lengths.back() >= kShortestFrameSeconds))
            break;
    }
    return lengths;
}
} // namespace

SurfacePair::SurfacePair(QObject* parent) : QObject(parent) {}

void SurfacePair::setHosts(QWidget* host1, QWidget* host2)
{
    m_host1 = host1;
    m_host2 = host2;
}

int SurfacePair::cameraOf(const VideoPlayerView* view) const
{
    if (!view)
        return 0;
    return view == m_front.data() ? 1 : (view == m_rear.data() ? 2 : 0);
}

VideoPlayerView* SurfacePair::make(int camera, const QUrl& asset)
{
    release(camera);
    VideoPlayerView* view = makeSurface(host(camera));
    (camera == 2 ? m_rear : m_front) = view;
    setAsset(camera, asset);
    return view;
}

VideoPlayerView* SurfacePair::makeSurface(QWidget* host)
{
    const QRect frame = host ? host->rect() : QRect(0, 0, 640, 480);
    auto* view = new VideoPlayerView(frame, host);
    if (host) {
        // The surface fills its host and follows it when the window is laid out again.
        if (!host->layout()) {
            auto* layout = new QVBoxLayout(host);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(0);
        }
        host->layout()->addWidget(view);
        view->show();
    }
    QPointer<VideoPlayerView> guard(view);
    connect(view, &VideoPlayerView::readyToPlay, this, [this, guard] {
        if (const int camera = cameraOf(guard.data()))
            Q_EMIT ready(camera);
    });
    // Only the front camera's end moves playback on; the rear waits on its
    // last frame for the front.
    connect(view, &VideoPlayerView::ended, this, [this, guard] {
        if (guard && guard == m_front)
            Q_EMIT frontEnded();
    });
    connect(view, &VideoPlayerView::loadFailed, this, [this, guard](const QString& reason) {
        if (const int camera = cameraOf(guard.data()))
            Q_EMIT loadFailed(camera, reason);
    });
    connect(view, &VideoPlayerView::recordingEntered, this, [this, guard](int index) {
        if (guard && guard == m_front)
            Q_EMIT recordingEntered(index); // the rear follows the front
    });
    connect(view, &VideoPlayerView::playbackFailed, this, [this, guard](const QString& reason) {
        QTimer::singleShot(0, this, [this, guard, reason] {
            if (const int camera = cameraOf(guard.data()))
                Q_EMIT playbackFailed(camera, reason);
        });
    });
    return view;
}

void SurfacePair::release(int camera)
{
    QPointer<VideoPlayerView>& surface = camera == 2 ? m_rear : m_front;
    if (camera == 2) {
        m_sync.reset();
        m_chainRows2.clear();
        m_reads.drop(LatestReads::RearDurations);
        m_rearOpening = nullptr;
    } else {
        m_chainRows.clear();
        m_reads.drop(LatestReads::FrontDurations);
    }
    setAsset(camera, QUrl());
    if (!surface)
        return;
    VideoPlayerView* view = surface.data();
    surface = nullptr;
    view->releasePlayer();
    view->hide();
    if (QWidget* parent = view->parentWidget(); parent && parent->layout())
        parent->layout()->removeWidget(view);
    view->disconnect(this);
    view->deleteLater();
}

bool SurfacePair::setDual(bool on)
{
    const bool changed = on != m_bDual;
    m_bDual = on;
    return changed;
}

bool SurfacePair::switchPictures(bool rearLarge, bool mapFullScreen)
{
    m_bSwitched = rearLarge;
    QWidget* host1 = host(1);
    QWidget* host2 = host(2);
    const QRect f1 = host1 ? host1->geometry() : QRect();
    const QRect f2 = host2 ? host2->geometry() : QRect();
    const bool exchange = (rearLarge && f1.width() > f2.width()) || (!rearLarge && f2.width() > f1.width());
    if (!exchange || !host1 || !host2)
        return false;
    host1->setGeometry(f2);
    if (mapFullScreen)
        host1->hide();
    host2->setGeometry(f1);
    if (!m_bDual)
        host2->hide();
    if (m_front)
        m_front->relayout(QRect(QPoint(0, 0), f2.size()));
    if (m_rear)
        m_rear->relayout(QRect(QPoint(0, 0), f1.size()));
    return true;
}

// ---------------------------------------------------------------- both cameras

void SurfacePair::setRate(float rate)
{
    if (m_front)
        m_front->setRate(rate);
    if (hasRear()) {
        m_rear->setRate(rate);
        m_sync.rateApplied();
    }
}

void SurfacePair::pause()
{
    if (m_front)
        m_front->onPause();
    if (hasRear())
        m_rear->onPause();
}

void SurfacePair::seek(double seconds)
{
    if (m_front)
        m_front->seekToTime(seconds);
    if (hasRear()) {
        m_rear->seekToTime(seconds);
        m_sync.bothSought();
    }
}

void SurfacePair::stepFrame(bool forward)
{
    if (m_front)
        m_front->stepFrame(forward);
    if (hasRear())
        m_rear->stepFrame(forward);
}

bool SurfacePair::syncRear(float playSpeed)
{
    if (!hasRear() || !m_front)
        return false;
    if (m_front->getPlayerStatus() != VideoPlayerView::StatusReadyToPlay ||
        m_rear->getPlayerStatus() != VideoPlayerView::StatusReadyToPlay)
        return false;
    return m_sync.sync(*m_front, *m_rear, playSpeed);
}

// The rear may have started a moment after the front and not reached its own
// end yet when the front's end arrives, so it is moved there rather than left
// wherever the pause caught it.
void SurfacePair::rearToEnd()
{
    if (!hasRear())
        return;
    const double rearEnd = m_rear->getDuration();
    if (rearEnd > 0)
        m_rear->seekToTime(rearEnd); // keep-open shows the last frame
    m_sync.bothSought();
}

void SurfacePair::rearToStart()
{
    if (!hasRear())
        return;
    m_rear->seekToTime(0);
    m_sync.bothSought();
}

// ---------------------------------------------------------------- what the surfaces play

void SurfacePair::openFront(const QList<int>& rows, const QList<AMediaFile>& list,
                            std::function<void(double)> lengthKnown)
{
    QPointer<VideoPlayerView> surface(m_front);
    m_reads.ask<std::vector<double>>(
        LatestReads::FrontDurations,
        [paths = nativePaths(rows, list)](const std::atomic<bool>& stop) {
            return probeDurations(paths, stop);
        },
        [this, surface, rows, list,
         lengthKnown = std::move(lengthKnown)](const std::vector<double>& lengths) {
            if (!surface || surface != m_front)
                return;
            if (lengthKnown)
                lengthKnown(lengths.empty() ? 0.0 : std::max(0.0, lengths.front()));
            loadRows(surface, rows, list, lengths, m_chainRows);
            openWaitingRear();
        });
}

void SurfacePair::openWaitingRear()
{
    if (m_rearOpening)
        std::exchange(m_rearOpening, nullptr)();
}

void SurfacePair::openRear(int index, const QList<AMediaFile>& list, const std::function<int(int)>& partnerOf)
{
    VideoPlayerView* view = m_rear.data();
    if (!view)
        return;
    if (!isFrontProbing()) {
        openRearRows(view, index, list, partnerOf);
        return;
    }
    QPointer<VideoPlayerView> surface(view);
    m_rearOpening = [this, surface, index, list, partnerOf] {
        if (surface && surface == m_rear)
            openRearRows(surface, index, list, partnerOf);
    };
}

void SurfacePair::openRearRows(VideoPlayerView* view, int index, const QList<AMediaFile>& list,
                               const std::function<int(int)>& partnerOf)
{
    const std::vector<int> chain = pmRearChain(std::vector<int>(m_chainRows.begin(), m_chainRows.end()),
                                               index, static_cast<int>(list.size()), partnerOf);
    const QList<int> rows(chain.begin(), chain.end());
    if (rows.size() < 2) {
        loadRows(view, rows, list, {}, m_chainRows2);
        view->setMuted(true);
        return;
    }
    QPointer<VideoPlayerView> surface(view);
    m_reads.ask<std::vector<double>>(
        LatestReads::RearDurations,
        [paths = nativePaths(rows, list)](const std::atomic<bool>& stop) {
            return probeDurations(paths, stop);
        },
        [this, surface, rows, list](const std::vector<double>& lengths) {
            if (!surface || surface != m_rear)
                return;
            loadRows(surface, rows, list, lengths, m_chainRows2);
            surface->setMuted(true);
        });
}

void SurfacePair::loadRows(VideoPlayerView* view, const QList<int>& rows, const QList<AMediaFile>& list,
                           const std::vector<double>& lengths, QList<int>& chained)
{
    chained = {rows.first()};
    if (rows.size() < 2) {
        view->loadURL(list.at(rows.first()).URL());
        return;
    }
    QList<QUrl> urls;
    QList<double> chainLengths;
    for (int i = 0; i < rows.size() && i < static_cast<int>(lengths.size()); ++i) {
        // A recording gone from the card (-1) ends the chain there; the
        // ordinary end of the one before finds it missing. A header stating
        // less than one frame places nothing on the timeline: the chain ends
        // before it, and the recording is opened on its own like any damaged one.
        const double length = lengths[static_cast<size_t>(i)];
        if (!(length >= kShortestFrameSeconds))
            break;
        urls.append(list.at(rows.at(i)).URL());
        chainLengths.append(length);
    }
    if (urls.size() < 2) {
        view->loadURL(list.at(rows.first()).URL());
        return;
    }
    view->loadChain(urls, chainLengths);
    chained = rows.mid(0, view->chainLength());
    if (chained.size() > 1)
        pmWriteLogQ(
            QStringLiteral("AppDelegate - trip of %1 recordings played in one go").arg(chained.size()));
}
