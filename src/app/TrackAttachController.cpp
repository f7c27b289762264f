#include "app/TrackAttachController.h"

#include "base/DialogSeam.h"
#include "base/Services.h"
#include "controls/AttachTrackDlg.h"
#include "core/GpsList.h"
#include "core/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <map>
#include <sys/stat.h>

namespace
{
// Offset moves while the slider is dragged are applied at most this often.
constexpr int kApplyEveryMs = 100;

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}
} // namespace

TrackAttachController::TrackAttachController(const QString& dataFolder, QObject* parent)
    : QObject(parent), m_dataFolder(dataFolder), m_store(QFile::encodeName(dataFolder).toStdString()),
      m_apply(new QTimer(this))
{
    std::string error;
    if (!m_store.load(error))
        pmWriteLog("TrackAttach - the stored attachments cannot be read: " + error);
    else if (m_store.skippedLines() > 0)
        pmWriteLog("TrackAttach - " + std::to_string(m_store.skippedLines()) + " damaged lines of " +
                   m_store.filePath() + " skipped");
    m_apply->setSingleShot(true);
    m_apply->setInterval(kApplyEveryMs);
    connect(m_apply, &QTimer::timeout, this, &TrackAttachController::trackChanged);
}

TrackAttachController::~TrackAttachController() = default;

AttachTrackDlg* TrackAttachController::dialog() const
{
    return m_dialog.data();
}

std::optional<TrackAttachment> TrackAttachController::attachmentFor(const std::string& recording) const
{
    if (recording.empty())
        return std::nullopt;
    return m_store.find(recording, tripFirst(recording));
}

std::string TrackAttachController::tripFirst(const std::string& recording) const
{
    const std::vector<std::string> trip =
        m_hooks.tripOf ? m_hooks.tripOf(recording) : std::vector<std::string>();
    return trip.empty() ? recording : trip.front();
}

int TrackAttachController::menuState() const
{
    const std::string recording = m_hooks.recording ? m_hooks.recording() : std::string();
    if (recording.empty())
        return -1;
    return attachmentFor(recording) ? 1 : 0;
}

TrackAttachmentFinder TrackAttachController::finderFor(const std::vector<std::string>& recordings) const
{
    std::map<std::string, TrackAttachment> found;
    for (const std::string& recording : recordings)
        if (const std::optional<TrackAttachment> a = attachmentFor(recording))
            found.emplace(recording, *a);
    return [found = std::move(found)](const std::string& recording) -> std::optional<TrackAttachment> {
        const auto at = found.find(recording);
        if (at == found.end())
            return std::nullopt;
        return at->second;
    };
}

const ForeignTrack* TrackAttachController::parsed(const std::string& file, std::string& error)
{
    struct stat st {
    };
    const bool known = ::stat(file.c_str(), &st) == 0;
    const long long mtime =
        known ? static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec : -1;
    if (known && m_cache.file == file && m_cache.size == static_cast<long long>(st.st_size) &&
        m_cache.mtimeNs == mtime)
        return &m_cache.track;
    m_cache = Cached();
    ForeignTrack track;
    if (!readForeignTrack(file, track, error))
        return nullptr;
    m_cache.file = file;
    m_cache.size = known ? static_cast<long long>(st.st_size) : -1;
    m_cache.mtimeNs = mtime;
    m_cache.track = std::move(track);
    return &m_cache.track;
}

bool TrackAttachController::readTrack(const std::string& recording, const std::function<double()>& seconds,
                                      GpsList& list, std::string& source)
{
    const std::optional<TrackAttachment> a = attachmentFor(recording);
    if (!a)
        return false;
    std::string error;
    const ForeignTrack* track = parsed(a->trackFile, error);
    if (track &&
        pmAlignAttachedTrack(*track, a->offsetSeconds, recording, seconds ? seconds() : 0.0, list, error)) {
        source = a->trackFile;
        return true;
    }
    pmWriteLog("TrackAttach - the track attached to " + recording + " is not used: " + error);
    return false;
}

// ---------------------------------------------------------------- the commands

void TrackAttachController::onAttachTrack()
{
    const std::string recording = m_hooks.recording ? m_hooks.recording() : std::string();
    if (recording.empty()) {
        pmMessageBox(pmLoadString(QStringLiteral("IDS_ATTACH_NO_RECORDING")));
        return;
    }
    if (m_dialog) {
        m_dialog->raise();
        return;
    }
    QWidget* parent = m_hooks.window ? m_hooks.window() : nullptr;
    QPointer<TrackAttachController> self(this);
    pmChooseOpenFile(parent, pmLoadString(QStringLiteral("IDS_ATTACH_TRACK_TITLE")), m_lastFolder,
                     pmLoadString(QStringLiteral("IDS_ATTACH_TRACK_FILTER")), [self](const QString& path) {
                         if (self && !path.isEmpty())
                             self->attachFile(path);
                     });
}

void TrackAttachController::attachFile(const QString& file)
{
    const std::string recording = m_hooks.recording ? m_hooks.recording() : std::string();
    if (recording.empty() || m_dialog)
        return;
    const QFileInfo info(file);
    m_lastFolder = info.absolutePath();
    const std::string native = QFile::encodeName(info.absoluteFilePath()).toStdString();
    std::string error;
    if (!parsed(native, error)) {
        pmWriteLog("TrackAttach - " + native + " refused: " + error);
        pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_TRACK_FILE")).arg(info.fileName(), text(error)));
        return;
    }
    pmWriteLog("TrackAttach - " + native + " for " + recording);
    // The same file again keeps the offset it was lined up with.
    const std::optional<TrackAttachment> existing = attachmentFor(recording);
    const bool same = existing && existing->trackFile == native;
    const int offset = same ? existing->offsetSeconds : 0;
    const bool wholeTrip = same && existing->wholeTrip;
    const bool tripAvailable = m_hooks.tripOf && m_hooks.tripOf(recording).size() > 1;
    m_before = m_store;
    m_windowRecording = recording;
    m_windowFile = native;
    auto* dlg = new AttachTrackDlg(info.absoluteFilePath(), offset, wholeTrip, tripAvailable,
                                   m_hooks.window ? m_hooks.window() : nullptr);
    m_dialog = dlg;
    connect(dlg, &AttachTrackDlg::offsetChanged, this,
            [this, dlg](int seconds) { changePending(seconds, dlg->wholeTrip()); });
    connect(dlg, &AttachTrackDlg::scopeChanged, this,
            [this, dlg](bool on) { changePending(dlg->offset(), on); });
    connect(dlg, &QDialog::accepted, this, [this] { finishWindow(true); });
    connect(dlg, &QDialog::rejected, this, [this] { finishWindow(false); });
    changePending(offset, wholeTrip);
    m_apply->stop();
    Q_EMIT trackChanged();
    dlg->open();
}

void TrackAttachController::changePending(int offsetSeconds, bool wholeTrip)
{
    if (!m_before)
        return;
    m_store = *m_before;
    TrackAttachment a;
    a.recording = wholeTrip ? tripFirst(m_windowRecording) : m_windowRecording;
    a.trackFile = m_windowFile;
    a.offsetSeconds = offsetSeconds;
    a.wholeTrip = wholeTrip;
    // The recording's own attachment would hide its trip's.
    if (wholeTrip)
        m_store.remove(m_windowRecording, false);
    std::string error;
    if (!m_store.attach(a, error)) {
        if (m_dialog)
            m_dialog->setStatus(text(error));
        return;
    }
    if (m_dialog)
        m_dialog->setStatus(coverageText());
    if (!m_apply->isActive())
        m_apply->start();
}

// How much of the recording the track gives positions for at the offset in force.
QString TrackAttachController::coverageText()
{
    std::string error;
    const ForeignTrack* track = parsed(m_windowFile, error);
    const std::optional<TrackAttachment> a = attachmentFor(m_windowRecording);
    GpsList list;
    if (track && a &&
        pmAlignAttachedTrack(*track, a->offsetSeconds, m_windowRecording,
                             m_hooks.recordingSeconds ? m_hooks.recordingSeconds() : 0.0, list, error)) {
        int covered = 0;
        for (const GpsData& sample : list.gpslist())
            covered += sample.isReading() ? 1 : 0;
        return pmLoadString(QStringLiteral("IDS_ATTACH_COVERS")).arg(covered).arg(list.GetDataCount());
    }
    return pmLoadString(QStringLiteral("IDS_ATTACH_NOT_COVERED")).arg(text(error));
}

void TrackAttachController::finishWindow(bool keep)
{
    if (!m_before)
        return;
    if (!keep)
        m_store = *m_before;
    m_before.reset();
    m_dialog.clear(); // it closes and goes by itself
    m_apply->stop();
    if (keep) {
        std::string error;
        if (!saveStore(error))
            pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_TRACK_STORE")).arg(text(error)));
        pmWriteLog("TrackAttach - attached " + m_windowFile + " to " + m_windowRecording);
    }
    Q_EMIT trackChanged();
}

void TrackAttachController::onRemoveTrack()
{
    const std::string recording = m_hooks.recording ? m_hooks.recording() : std::string();
    const std::optional<TrackAttachment> a = attachmentFor(recording);
    if (!a || m_dialog)
        return;
    m_store.remove(a->recording, a->wholeTrip);
    std::string error;
    if (!saveStore(error))
        pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_TRACK_STORE")).arg(text(error)));
    pmWriteLog("TrackAttach - removed " + a->trackFile + " from " + a->recording);
    Q_EMIT trackChanged();
}

bool TrackAttachController::saveStore(std::string& error)
{
    if (!QDir().mkpath(m_dataFolder)) {
        error = QFile::encodeName(m_dataFolder).toStdString() + ": cannot be made";
        return false;
    }
    return m_store.save(error);
}
