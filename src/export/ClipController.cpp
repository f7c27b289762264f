#include "export/ClipController.h"
#include "export/FrameGrabber.h"

#include "base/DialogSeam.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "base/WorkerJob.h"
#include "controls/ClipDlg.h"
#include "controls/ProgressDlg.h"
#include "core/BackupEngine.h"
#include "core/ClipPackage.h"
#include "core/FileRules.h"
#include "core/Log.h"
#include "core/Version.h"

#include <QDir>
#include <QFile>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <thread>

namespace
{

using ClipJob = WorkerJob<ClipResult>;
using GrabJob = WorkerJob<FrameGrab>;

// The frame of a camera's trip at a time from the moment: the recording
// whose span holds it, by the start its name gives and its length.
FrameGrab grabAt(const std::vector<std::string>& trip, const std::string& recording, double momentSeconds,
                 double fromMoment)
{
    FrameGrab none;
    const std::optional<int64_t> start = pmClipStartMs(recording);
    if (!start) {
        none.error = QStringLiteral("the recording's start is not known");
        return none;
    }
    const double at = static_cast<double>(*start) / 1000.0 + momentSeconds + fromMoment;
    for (const std::string& path : trip) {
        const std::optional<int64_t> from = pmClipStartMs(path);
        if (!from)
            continue;
        const double into = at - static_cast<double>(*from) / 1000.0;
        if (into >= 0 && into < pmClipDurationSeconds(path))
            return pmGrabFrame(QByteArray::fromStdString(path), into);
    }
    none.error = QStringLiteral("no recording of this camera");
    return none;
}

std::vector<std::string> pathsOf(const ClipController::Hooks& hooks, const std::vector<int>& rows)
{
    std::vector<std::string> out;
    for (int row : rows) {
        const QByteArray path = hooks.playlistPath ? hooks.playlistPath(row) : QByteArray();
        if (!path.isEmpty())
            out.push_back(path.toStdString());
    }
    return out;
}

} // namespace

ClipController::ClipController(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<ClipResult>();
}

ClipController::~ClipController()
{
    delete m_job; // cancels and waits for a running job
    delete m_grab;
}

QWidget* ClipController::window() const
{
    return m_hooks.window ? m_hooks.window() : nullptr;
}

bool ClipController::isRunning() const
{
    const auto* job = static_cast<const ClipJob*>(m_job.data());
    return job && job->isRunning();
}

ClipDlg* ClipController::lengthsDialog() const
{
    return m_dialog.data();
}

ProgressDlg* ClipController::progressDialog() const
{
    return m_progressDlg.data();
}

void ClipController::onSaveClip()
{
    if (isRunning() || m_dialog)
        return;
    const int index = m_hooks.currentIndex ? m_hooks.currentIndex() : -1;
    const QByteArray recording =
        index >= 0 && m_hooks.playlistPath ? m_hooks.playlistPath(index) : QByteArray();
    if (recording.isEmpty()) {
        pmMessageBox(pmLoadString(QStringLiteral("IDS_CLIP_NO_RECORDING")));
        return;
    }
    if (m_hooks.pausePlayback)
        m_hooks.pausePlayback();

    // The moment is taken now, while the picture the user means is on screen.
    m_request = ClipRequest();
    m_request.recording = recording.toStdString();
    m_request.seconds = m_hooks.currentSeconds ? std::max(0.0, m_hooks.currentSeconds()) : 0.0;
    const std::vector<int> trip = m_hooks.tripMembers ? m_hooks.tripMembers(index) : std::vector<int>{index};
    const int partner = m_hooks.partnerIndex ? m_hooks.partnerIndex(index) : -1;
    const std::vector<int> partnerTrip =
        partner >= 0 && m_hooks.tripMembers ? m_hooks.tripMembers(partner) : std::vector<int>();
    const bool rear = pmGetCameraType(m_request.recording) == kCameraRear;
    m_request.front = pathsOf(m_hooks, rear ? partnerTrip : trip);
    m_request.rear = pathsOf(m_hooks, rear ? trip : partnerTrip);
    if (m_request.front.empty() && m_request.rear.empty())
        m_request.front = {m_request.recording};

    auto* dialog = new ClipDlg(pmReadSetting(SettingsKeys::clipSecondsBefore),
                               pmReadSetting(SettingsKeys::clipSecondsAfter), window());
    dialog->setChoices(pmReadSetting(SettingsKeys::clipLayout), pmReadSetting(SettingsKeys::clipPipCorner),
                       pmReadSetting(SettingsKeys::clipQuality));
    m_dialog = dialog;
    connect(dialog, &ClipDlg::chosen, this, &ClipController::chooseDestination);
    connect(dialog, &ClipDlg::frameWanted, this, &ClipController::grabFrame);
    dialog->open();
    dialog->requestFrame();
}

void ClipController::grabFrame(double secondsFromMoment, bool rear)
{
    m_grabAt = secondsFromMoment;
    m_grabRear = rear;
    m_grabWanted = true;
    const auto* running = static_cast<const GrabJob*>(m_grab.data());
    if (!running || !running->isRunning())
        startGrab();
}

void ClipController::startGrab()
{
    m_grabWanted = false;
    if (m_grab)
        m_grab->deleteLater(); // ended: its thread is joined
    const double at = m_grabAt;
    auto* job = new GrabJob(this, {});
    m_grab = job;
    job->start([trip = m_grabRear ? m_request.rear : m_request.front, recording = m_request.recording,
                moment = m_request.seconds, at] { return grabAt(trip, recording, moment, at); },
               [this, at](const FrameGrab& grab) {
                   if (m_dialog)
                       m_dialog->showFrame(grab.image, at, grab.error);
                   if (m_grabWanted)
                       startGrab();
               });
}

void ClipController::chooseDestination(int beforeSeconds, int afterSeconds, bool overlay)
{
    m_request.overlay = overlay;
    // The layout as the window shows it, kept for next time; without the
    // window (a direct call) the stored one.
    if (m_dialog) {
        pmWriteSetting(SettingsKeys::clipLayout, m_dialog->layoutWord());
        pmWriteSetting(SettingsKeys::clipPipCorner, m_dialog->corner());
        pmWriteSetting(SettingsKeys::clipQuality, m_dialog->qualityBox()->value());
    }
    ClipLayout layout = ClipLayout::Separate;
    if (!pmParseClipLayout(pmReadSetting(SettingsKeys::clipLayout).toStdString(), layout))
        layout = ClipLayout::Separate;
    m_request.layout = ClipLayoutSpec();
    m_request.layout.layout = layout;
    m_request.layout.corner = pmReadSetting(SettingsKeys::clipPipCorner);
    m_request.layout.crf = pmReadSetting(SettingsKeys::clipQuality);
    if (m_dialog)
        m_request.layout.blur = m_dialog->blurAreas();
    pmWriteSetting(SettingsKeys::clipSecondsBefore, beforeSeconds);
    pmWriteSetting(SettingsKeys::clipSecondsAfter, afterSeconds);
    m_request.before = beforeSeconds;
    m_request.after = afterSeconds;
    QString start = pmReadSetting(SettingsKeys::clipFolder);
    if (start.isEmpty() || !QDir(start).exists())
        start = QDir::homePath();
    QPointer<ClipController> self(this);
    pmChooseFolder(window(), pmLoadString(QStringLiteral("IDS_CLIP_CHOOSE_FOLDER")), start,
                   [self](const QString& folder) {
                       if (self && !folder.isEmpty())
                           self->startClip(folder);
                   });
}

void ClipController::startClip(const QString& destFolder)
{
    if (isRunning() || m_request.recording.empty())
        return;
    pmWriteSetting(SettingsKeys::clipFolder, destFolder);
    m_request.dest = QFile::encodeName(destFolder).toStdString();
    const QString card = m_hooks.sourceFolder ? m_hooks.sourceFolder() : QString();
    m_request.forbidden = {QFile::encodeName(card).toStdString()};
    m_request.creator = pmProductCreator();
    if (m_hooks.attachedTracks) {
        std::vector<std::string> recordings = m_request.front;
        recordings.push_back(m_request.recording);
        recordings.insert(recordings.end(), m_request.rear.begin(), m_request.rear.end());
        m_request.attachedTrack = m_hooks.attachedTracks(recordings);
    }
    pmWriteLog("ClipController - clip of " + m_request.recording + " at " +
               std::to_string(m_request.seconds) + " s into " + m_request.dest);

    m_state = std::make_shared<ClipJobState>();
    m_progress = std::make_shared<BackupProgress>();
    // The first camera's file is named from the start.
    m_progress->current.store(0);
    m_progress->phase.store(static_cast<int>(BackupPhase::Copying));
    m_lastResult = ClipResult();
    if (m_progressDlg)
        m_progressDlg->deleteLater();
    auto* progressDlg = new ProgressDlg(m_progress, window());
    progressDlg->setObjectName(QStringLiteral("clipProgress"));
    progressDlg->setWindowTitle(pmLoadString(QStringLiteral("IDS_CLIP_TITLE")));
    const CameraCode camera = pmGetCameraType(m_request.recording);
    const bool single = camera != kCameraMain && camera != kCameraRear;
    // One line per camera the clip is cut from, in the job's order.
    QStringList names;
    const bool composite = m_request.layout.layout != ClipLayout::Separate;
    const QString originals =
        composite ? QStringLiteral("%1/").arg(QLatin1String(kClipOriginalsFolder)) : QString();
    if (!m_request.front.empty())
        names << originals + QString::fromStdString(pmClipVideoName(false, single));
    if (!m_request.rear.empty())
        names << originals + QString::fromStdString(pmClipVideoName(true, single));
    // A layout's copy is written last, and takes most of the time.
    if (composite)
        names << QStringLiteral("clip-%1.mp4").arg(QLatin1String(pmClipLayoutWord(m_request.layout.layout)));
    progressDlg->setFileNames(names);
    m_progressDlg = progressDlg;
    // Cancel reaches the job at once; the job stops after the packet it copies.
    std::weak_ptr<ClipJobState> state = m_state;
    connect(progressDlg, &ProgressDlg::canceled, this, [state] {
        if (auto s = state.lock())
            s->cancel.store(true);
    });
    progressDlg->show();

    // The window reads BackupProgress; the job writes ClipJobState. A short
    // timer carries the counts over, and Cancel the other way.
    if (m_poll)
        m_poll->deleteLater();
    auto* poll = new QTimer(this);
    m_poll = poll;
    poll->setInterval(100);
    connect(poll, &QTimer::timeout, this, [this] {
        if (!m_state || !m_progress)
            return;
        if (m_progress->canceled.load())
            m_state->cancel.store(true);
        if (m_progressDlg && m_progressDlg->lTotalSize() != static_cast<quint64>(m_state->totalBytes.load()))
            m_progressDlg->setLTotalSize(static_cast<quint64>(m_state->totalBytes.load()));
        m_progress->bytesDone.store(static_cast<uint64_t>(m_state->bytesDone.load()));
        m_progress->current.store(m_state->camera.load());
        m_progress->phase.store(
            static_cast<int>(m_state->packaging.load() ? BackupPhase::Packaging : BackupPhase::Copying));
    });
    poll->start();

    if (m_job)
        delete m_job;
    if (m_stateHook)
        m_stateHook(*m_state);
    auto* job = new ClipJob(this, [state = m_state] { state->cancel.store(true); });
    m_job = job;
    job->start([request = m_request, state = m_state] { return pmExportClip(request, *state); },
               [this](const ClipResult& result) { finishClip(result); });
}

void ClipController::finishClip(const ClipResult& result)
{
    m_lastResult = result;
    if (m_poll) {
        m_poll->stop();
        m_poll->deleteLater();
    }
    if (m_progressDlg)
        m_progressDlg->stopTimer();
    if (m_job)
        m_job->deleteLater();
    switch (result.status) {
    case ClipStatus::Done: {
        QString text =
            pmLoadString(QStringLiteral("IDS_CLIP_SAVED")).arg(QFile::decodeName(result.folder.c_str()));
        // A clip that lacks part of the window must not read as whole.
        if (!result.holes.empty()) {
            text += QStringLiteral("\n\n") + pmLoadString(QStringLiteral("IDS_CLIP_HOLES"));
            const std::size_t shown = std::min<std::size_t>(result.holes.size(), 6);
            for (std::size_t i = 0; i < shown; ++i)
                text += QStringLiteral("\n") + QString::fromStdString(result.holes[i]);
            if (shown < result.holes.size())
                text += QStringLiteral("\n...");
        }
        pmInformationBox(text);
        break;
    }
    case ClipStatus::Canceled:
        break;
    case ClipStatus::Failed:
    case ClipStatus::BadRequest:
        pmMessageBox(
            pmLoadString(QStringLiteral("IDS_CLIP_FAILED")).arg(QString::fromStdString(result.message)));
        break;
    }
    Q_EMIT finished(result);
}
