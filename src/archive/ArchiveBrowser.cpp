#include "archive/ArchiveBrowser.h"

#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "base/WorkerJob.h"
#include "controls/PassFinderDlg.h"
#include "core/Log.h"
#include "fleet/Catalogue.h"
#include "fleet/Ingest.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <string>
#include <vector>

struct ArchiveBrowser::OpenResult {
    std::shared_ptr<Catalogue> catalogue; // null when it cannot be read
    std::vector<std::string> vehicles;
    std::string error;
};

struct ArchiveBrowser::FindResult {
    bool ok = false;
    std::string error;
    std::vector<Pass> passes;
};

namespace
{
const QString kCatalogueName = QStringLiteral("catalogue.sqlite");

QString clockText(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
} // namespace

ArchiveBrowser::ArchiveBrowser(QObject* parent) : QObject(parent) {}

// The jobs go first: each waits for its thread, which may still use the catalogue.
ArchiveBrowser::~ArchiveBrowser()
{
    m_findJob.reset();
    m_openJob.reset();
}

bool ArchiveBrowser::isOpening() const
{
    return m_openJob && m_openJob->isRunning();
}

bool ArchiveBrowser::isFinding() const
{
    return m_findJob && m_findJob->isRunning();
}

QString ArchiveBrowser::vehicleFolder(const QString& vehicle) const
{
    return m_archive + QLatin1Char('/') + vehicle;
}

PassFinderDlg* ArchiveBrowser::passFinder() const
{
    return m_finder.data();
}

// ---------------------------------------------------------------- opening

void ArchiveBrowser::openFolder(const QString& folder)
{
    // A catalogue still opening for the folder chosen before is not wanted any more.
    m_openJob.reset();
    if (!QFileInfo::exists(QDir(folder).filePath(kCatalogueName))) {
        closeArchive();
        Q_EMIT scanRequested(folder);
        return;
    }
    // Paths built on the canonical folder are the library's paths too, so a
    // pass's recording is found in it by name.
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    pmWriteLogQ(QStringLiteral("ArchiveBrowser - opening the catalogue - %1").arg(canonical));
    m_openJob = std::make_unique<WorkerJob<OpenResult>>(this, nullptr);
    m_openJob->start(
        [path = canonical.toStdString()] {
            OpenResult r;
            std::unique_ptr<Catalogue> catalogue = pmOpenSqliteCatalogueReadOnly(path, r.error);
            if (catalogue && catalogue->vehicles(r.vehicles, r.error))
                r.catalogue = std::move(catalogue);
            return r;
        },
        [this, folder, canonical](const OpenResult& r) { finishOpen(folder, canonical, r); });
}

void ArchiveBrowser::finishOpen(const QString& folder, const QString& canonical, const OpenResult& r)
{
    if (!r.catalogue) {
        const QString error = QString::fromStdString(r.error);
        pmWriteLogQ(QStringLiteral("ArchiveBrowser - the catalogue cannot be read - %1").arg(error));
        closeArchive();
        Q_EMIT openFailed(folder, pmLoadString(QStringLiteral("IDS_ARCHIVE_UNREADABLE")).arg(error));
        Q_EMIT scanRequested(folder);
        return;
    }
    // Another archive's passes and finder mean nothing here.
    m_findJob.reset();
    m_pending.reset();
    if (m_finder)
        m_finder->close();
    m_catalogue = r.catalogue;
    m_archive = canonical;
    m_vehicles.clear();
    for (const std::string& name : r.vehicles) {
        // A name that is no single folder name (a hand-made or hostile
        // catalogue) would point outside the archive.
        std::string reason;
        if (pmIsSafeVehicleName(name, reason))
            m_vehicles.append(QString::fromStdString(name));
    }
    const QString remembered = rememberedVehicle();
    m_vehicle = m_vehicles.contains(remembered) ? remembered : m_vehicles.value(0);
    pmWriteLogQ(
        QStringLiteral("ArchiveBrowser - %1 vehicles, showing %2").arg(m_vehicles.size()).arg(m_vehicle));
    Q_EMIT archiveOpened(m_vehicles, m_vehicle);
    Q_EMIT vehicleShown(m_vehicle);
    // An archive without vehicles shows its own (empty) folder.
    Q_EMIT scanRequested(m_vehicle.isEmpty() ? m_archive : vehicleFolder(m_vehicle));
}

void ArchiveBrowser::closeArchive()
{
    m_findJob.reset();
    m_pending.reset();
    if (m_finder)
        m_finder->close();
    m_passes.clear();
    const bool wasOpen = m_catalogue != nullptr;
    m_catalogue.reset();
    m_archive.clear();
    m_vehicles.clear();
    m_vehicle.clear();
    if (wasOpen)
        Q_EMIT archiveClosed();
}

void ArchiveBrowser::chooseVehicle(const QString& vehicle)
{
    if (!m_catalogue || !m_vehicles.contains(vehicle) || vehicle == m_vehicle)
        return;
    m_vehicle = vehicle;
    rememberVehicle();
    pmWriteLogQ(QStringLiteral("ArchiveBrowser - vehicle %1").arg(vehicle));
    Q_EMIT vehicleShown(vehicle);
    Q_EMIT scanRequested(vehicleFolder(vehicle));
}

QString ArchiveBrowser::rememberedVehicle() const
{
    const QJsonObject choices =
        QJsonDocument::fromJson(pmReadSetting(SettingsKeys::archiveVehicles).toUtf8()).object();
    return choices.value(m_archive).toString();
}

void ArchiveBrowser::rememberVehicle() const
{
    QJsonObject choices =
        QJsonDocument::fromJson(pmReadSetting(SettingsKeys::archiveVehicles).toUtf8()).object();
    choices.insert(m_archive, m_vehicle);
    pmWriteSetting(SettingsKeys::archiveVehicles,
                   QString::fromUtf8(QJsonDocument(choices).toJson(QJsonDocument::Compact)));
}

// ---------------------------------------------------------------- the place question

void ArchiveBrowser::findPasses(const PassQuestion& question)
{
    if (!m_catalogue) {
        Q_EMIT passesFailed(pmLoadString(QStringLiteral("IDS_ARCHIVE_NONE")));
        return;
    }
    PassQuery query;
    query.lat = question.lat;
    query.lon = question.lon;
    query.radiusMetres = question.radiusMetres;
    if (question.from)
        query.from = *question.from;
    if (question.to)
        query.to = *question.to;
    m_findJob = std::make_unique<WorkerJob<FindResult>>(this, nullptr);
    m_findJob->start(
        [catalogue = m_catalogue, query] {
            FindResult r;
            r.ok = catalogue->findPasses(query, r.passes, r.error);
            return r;
        },
        [this](const FindResult& r) { finishFind(r); });
}

void ArchiveBrowser::finishFind(const FindResult& r)
{
    m_passes.clear();
    if (!r.ok) {
        const QString message =
            pmLoadString(QStringLiteral("IDS_ARCHIVE_FIND_FAILED")).arg(QString::fromStdString(r.error));
        if (m_finder)
            m_finder->setFailed(message);
        Q_EMIT passesFailed(message);
        return;
    }
    QList<PassRow> rows;
    for (const Pass& p : r.passes) {
        ArchivePass pass;
        pass.vehicle = QString::fromStdString(p.vehicle);
        pass.path = QDir::cleanPath(m_archive + QLatin1Char('/') + QString::fromStdString(p.archivePath));
        pass.second = p.nearestSecond;
        pass.time = p.nearestTime;
        pass.distanceMetres = p.distanceMetres;
        rows.append({pass.vehicle, QFileInfo(pass.path).fileName(), pass.second, clockText(pass.time),
                     pass.distanceMetres});
        m_passes.append(pass);
    }
    if (m_finder)
        m_finder->setRows(rows);
    Q_EMIT passesFound(m_passes);
}

void ArchiveBrowser::openPassFinder(double lat, double lon)
{
    if (!m_catalogue)
        return;
    if (m_finder)
        m_finder->close(); // deletes itself; one finder, at the newest point
    auto* dialog = new PassFinderDlg(lat, lon, m_window ? m_window() : nullptr);
    m_finder = dialog;
    connect(dialog, &PassFinderDlg::searchRequested, this,
            [this, lat, lon](double radius, bool hasFrom, qint64 from, bool hasTo, qint64 to) {
                PassQuestion q;
                q.lat = lat;
                q.lon = lon;
                q.radiusMetres = radius;
                if (hasFrom)
                    q.from = from;
                if (hasTo)
                    q.to = to;
                findPasses(q);
            });
    // Queued: what a pass starts (a scan, opening a recording) runs after the click's handler.
    connect(dialog, &PassFinderDlg::rowChosen, this, &ArchiveBrowser::choosePass, Qt::QueuedConnection);
    dialog->open();
}

// ---------------------------------------------------------------- a pass to the screen

void ArchiveBrowser::choosePass(int index)
{
    if (index < 0 || index >= m_passes.size())
        return;
    const ArchivePass pass = m_passes.at(index);
    pmWriteLogQ(QStringLiteral("ArchiveBrowser - pass %1 at %2 s").arg(pass.path).arg(pass.second));
    if (pass.vehicle != m_vehicle && m_vehicles.contains(pass.vehicle)) {
        m_pending = PendingPass{vehicleFolder(pass.vehicle), pass.path, pass.second};
        chooseVehicle(pass.vehicle);
        return;
    }
    m_pending = PendingPass{QString(), pass.path, pass.second};
    Q_EMIT recordingRequested(pass.path);
}

void ArchiveBrowser::libraryBuilt(const QString& folder)
{
    if (!m_pending || m_pending->folder.isEmpty() || QDir::cleanPath(folder) != m_pending->folder)
        return;
    m_pending->folder.clear();
    Q_EMIT recordingRequested(m_pending->path);
}

void ArchiveBrowser::recordingReady(const QString& path)
{
    if (!m_pending || !m_pending->folder.isEmpty() || QDir::cleanPath(path) != m_pending->path)
        return;
    const int second = m_pending->second;
    m_pending.reset();
    Q_EMIT seekRequested(second);
}
