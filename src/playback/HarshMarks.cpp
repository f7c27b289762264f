#include "playback/HarshMarks.h"

#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "base/WorkerJob.h"
#include "core/FileRules.h"
#include "core/GpsList.h"
#include "core/Log.h"
#include "core/TrackLoader.h"
#include "media/MediaDuration.h"
#include "playback/CurrentTrack.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace
{
// Shift+E this soon after a stop goes on to the one before it, so that a
// second press is not taken up by the stop the first one landed on.
constexpr double kBackGraceSeconds = 1.5;

int centiG(double thresholdG)
{
    return static_cast<int>(std::lround(thresholdG * 100.0));
}
} // namespace

HarshMarks::HarshMarks(QObject* parent) : QObject(parent)
{
    const double stored = pmReadSetting(SettingsKeys::harshThreshold) / 100.0;
    if (harshThresholdProblem(stored).empty())
        m_threshold = stored;
}

HarshMarks::~HarshMarks()
{
    delete m_job; // asks the batch to stop and waits for its thread
}

void HarshMarks::setSources(Sources sources)
{
    m_sources = std::move(sources);
}

bool HarshMarks::setThreshold(double thresholdG)
{
    if (!harshThresholdProblem(thresholdG).empty())
        return false;
    const int stored = centiG(thresholdG);
    pmWriteSetting(SettingsKeys::harshThreshold, stored);
    const double rounded = stored / 100.0;
    if (rounded == m_threshold)
        return true;
    m_threshold = rounded;
    pmWriteLogQ(QStringLiteral("HarshMarks - threshold %1 g").arg(rounded, 0, 'f', 2));
    // Every mark was found for the old threshold.
    delete m_job;
    m_job = nullptr;
    m_known.clear();
    m_queue.clear();
    Q_EMIT thresholdChanged(rounded);
    currentTrackChanged();
    playlistChanged();
    Q_EMIT markedPathsChanged(markedPaths());
    return true;
}

void HarshMarks::currentTrackChanged()
{
    const QList<AMediaFile> list = m_sources.playlist ? m_sources.playlist() : QList<AMediaFile>();
    const int row = m_sources.currentRow ? m_sources.currentRow() : -1;
    const CurrentTrack* track = m_sources.currentTrack ? m_sources.currentTrack() : nullptr;
    const QString path = row >= 0 && row < list.size() ? list.at(row).path() : QString();

    m_currentPath = path;
    m_current = Recording();
    m_currentSamples = 0;
    if (track && !path.isEmpty()) {
        m_current.marks = findHarshMarks(track->gps(), m_threshold);
        m_current.eventSecond = track->eventTime();
        m_currentSamples = track->gps().GetDataCount();
        // What plays is what the list says of it (a track attached by the
        // user is not the one a batch reads).
        const Recording* known = recordingOf(path);
        const bool markedBefore = known && !known->marks.empty();
        m_known.insert(path, m_current);
        if (markedBefore != !m_current.marks.empty())
            Q_EMIT markedPathsChanged(markedPaths());
    }
    Q_EMIT currentMarksChanged(QList<HarshMark>(m_current.marks.begin(), m_current.marks.end()),
                               m_currentSamples);

    if (m_pendingPath.isEmpty() || path.isEmpty())
        return;
    if (path != m_pendingPath) {
        m_pendingPath.clear(); // another recording came first: the jump is void
        return;
    }
    const int second = m_pendingSecond;
    m_pendingPath.clear();
    // After the ready notice has been handled in full (playback started).
    QTimer::singleShot(0, this, [this, path, second] {
        if (path == m_currentPath)
            Q_EMIT seekRequested(second);
    });
}

void HarshMarks::playlistChanged()
{
    const QList<AMediaFile> list = m_sources.playlist ? m_sources.playlist() : QList<AMediaFile>();
    QSet<QString> queued;
    for (const auto& item : std::as_const(m_queue))
        queued.insert(item.first);
    // From the row that plays on, then the rows before it: the next jump's
    // targets are read first.
    const int count = static_cast<int>(list.size());
    const int row = m_sources.currentRow ? m_sources.currentRow() : -1;
    const int first = row >= 0 && row < count ? row : 0;
    for (int k = 0; k < count; ++k) {
        const AMediaFile& entry = list.at((first + k) % count);
        const QString path = entry.path();
        if (path.isEmpty() || m_known.contains(path) || queued.contains(path))
            continue;
        queued.insert(path);
        m_queue.append({path, entry.nativePath()});
    }
    if (!m_job)
        startNextBatch();
}

void HarshMarks::startNextBatch()
{
    if (m_queue.isEmpty())
        return;
    const QList<QPair<QString, QByteArray>> items = m_queue.mid(0, kBatchRows);
    m_queue.remove(0, items.size());
    const std::string model = m_sources.modelName ? m_sources.modelName().toStdString() : std::string();
    const double threshold = m_threshold;
    auto stop = std::make_shared<std::atomic_bool>(false);
    auto* job = new WorkerJob<Batch>(this, [stop] { *stop = true; });
    m_job = job;
    job->start(
        [items, model, threshold, stop] {
            Batch out;
            for (const auto& item : items) {
                if (*stop)
                    break;
                const std::string native = item.second.toStdString();
                GpsList track;
                track.setModelName(model);
                loadTrack(
                    native, [native] { return pmGetMediaDurationSeconds(native); }, track);
                Recording found;
                found.marks = findHarshMarks(track, threshold);
                found.eventSecond = chooseEventMark(pmGetFileType(native), track);
                out.insert(item.first, std::move(found));
            }
            return out;
        },
        [this, job](const Batch& batch) {
            if (m_job != job)
                return;
            m_job = nullptr;
            job->deleteLater();
            takeBatch(batch);
            startNextBatch();
        });
}

void HarshMarks::takeBatch(const Batch& batch)
{
    bool changed = false;
    for (auto it = batch.constBegin(); it != batch.constEnd(); ++it) {
        if (it.key() == m_currentPath)
            continue; // the track that plays has the last word
        m_known.insert(it.key(), it.value());
        changed = changed || !it.value().marks.empty();
    }
    if (changed)
        Q_EMIT markedPathsChanged(markedPaths());
}

void HarshMarks::republish()
{
    Q_EMIT currentMarksChanged(QList<HarshMark>(m_current.marks.begin(), m_current.marks.end()),
                               m_currentSamples);
}

const HarshMarks::Recording* HarshMarks::recordingOf(const QString& path) const
{
    if (!m_currentPath.isEmpty() && path == m_currentPath)
        return &m_current;
    auto it = m_known.constFind(path);
    return it == m_known.constEnd() ? nullptr : &it.value();
}

std::vector<int> HarshMarks::stopsOf(int row, const QList<AMediaFile>& list) const
{
    std::vector<int> stops;
    if (row < 0 || row >= list.size())
        return stops;
    const Recording* found = recordingOf(list.at(row).path());
    if (!found)
        return stops;
    for (const HarshMark& mark : found->marks)
        stops.push_back(mark.second);
    if (found->eventSecond >= 0)
        stops.push_back(found->eventSecond);
    std::sort(stops.begin(), stops.end());
    stops.erase(std::unique(stops.begin(), stops.end()), stops.end());
    return stops;
}

bool HarshMarks::reachedThroughPartner(int row) const
{
    return m_sources.cameraTypeOf && m_sources.partnerOf && m_sources.cameraTypeOf(row) == kCameraRear &&
           m_sources.partnerOf(row) >= 0;
}

bool HarshMarks::jump(bool forward)
{
    const QList<AMediaFile> list = m_sources.playlist ? m_sources.playlist() : QList<AMediaFile>();
    const int count = static_cast<int>(list.size());
    int row = m_sources.currentRow ? m_sources.currentRow() : -1;
    if (row >= count)
        row = -1;
    if (row >= 0) {
        const double now = m_sources.currentTime ? m_sources.currentTime() : 0.0;
        const std::vector<int> stops = stopsOf(row, list);
        if (forward) {
            const double shown = std::floor(now);
            for (int second : stops) {
                if (second > shown) {
                    Q_EMIT seekRequested(second);
                    return true;
                }
            }
        } else {
            for (auto it = stops.rbegin(); it != stops.rend(); ++it) {
                if (*it < now - kBackGraceSeconds) {
                    Q_EMIT seekRequested(*it);
                    return true;
                }
            }
        }
    }
    const int partner = row >= 0 && m_sources.partnerOf ? m_sources.partnerOf(row) : -1;
    const int step = forward ? 1 : -1;
    const int start = row >= 0 ? row + step : (forward ? 0 : count - 1);
    for (int r = start; r >= 0 && r < count; r += step) {
        if (r == partner || reachedThroughPartner(r))
            continue;
        const std::vector<int> stops = stopsOf(r, list);
        if (stops.empty())
            continue;
        m_pendingPath = list.at(r).path();
        m_pendingSecond = forward ? stops.front() : stops.back();
        pmWriteLogQ(QStringLiteral("HarshMarks - jump to row %1, second %2").arg(r).arg(m_pendingSecond));
        Q_EMIT openRowRequested(r);
        return true;
    }
    return false;
}

QSet<QString> HarshMarks::markedPaths() const
{
    QSet<QString> paths;
    for (auto it = m_known.constBegin(); it != m_known.constEnd(); ++it)
        if (!it.value().marks.empty())
            paths.insert(it.key());
    return paths;
}

QString HarshMarks::markText(const HarshMark& mark)
{
    QString kind;
    switch (mark.kind) {
    case HarshKind::Brake:
        kind = pmLoadString(QStringLiteral("IDS_HARSH_BRAKE"));
        break;
    case HarshKind::Accel:
        kind = pmLoadString(QStringLiteral("IDS_HARSH_ACCEL"));
        break;
    case HarshKind::Turn:
        kind = pmLoadString(QStringLiteral("IDS_HARSH_TURN"));
        break;
    }
    if (mark.fromSpeed)
        return pmLoadString(QStringLiteral("IDS_HARSH_MARK_KMH_S"))
            .arg(kind, QString::number(mark.peak, 'f', 1));
    return pmLoadString(QStringLiteral("IDS_HARSH_MARK_G")).arg(kind, QString::number(mark.peak, 'f', 2));
}
