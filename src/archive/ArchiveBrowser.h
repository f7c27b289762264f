#pragma once
// A fleet archive browsed as a card is: a folder that holds catalogue.sqlite
// offers its vehicles, and the chosen vehicle's folder (<archive>/<vehicle>)
// is what the library scans, so the calendar, the list, playback, the map,
// clips and evidence packages work on it as on a card. The catalogue is
// opened read-only, on a worker thread, and asked the place question ("which
// recordings passed here?") on one too; its answers come back by signal.
//
// It knows neither the library nor playback: what to scan, which recording
// to open and where to seek go out as signals, and the owner reports back
// when a scan has finished (libraryBuilt) and a recording is ready to play
// (recordingReady). Main thread only, except the catalogue's work.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class Catalogue;
class PassFinderDlg;
class QWidget;
template <typename Result> class WorkerJob;

// A run of seconds of one recording within the radius, by its nearest second.
struct ArchivePass {
    QString vehicle;
    QString path; // absolute
    int second = 0;
    qint64 time = 0; // camera clock: seconds since 1970-01-01 00:00 of that clock
    double distanceMetres = 0;
};

// The place question: a circle and, optionally, a period of the camera clock.
struct PassQuestion {
    double lat = 0;
    double lon = 0;
    double radiusMetres = 0;
    std::optional<qint64> from; // inclusive
    std::optional<qint64> to;
};

class ArchiveBrowser : public QObject
{
    Q_OBJECT
public:
    struct OpenResult;
    struct FindResult;

    explicit ArchiveBrowser(QObject* parent = nullptr);
    ~ArchiveBrowser() override;

    // The window the pass finder opens over (null: none).
    void setWindowSource(std::function<QWidget*()> window) { m_window = std::move(window); }

    // A folder chosen to browse. Without a catalogue it is a card: scanRequested
    // for it at once. With one, the catalogue is opened on a worker; then
    // archiveOpened and scanRequested for the remembered (else the first)
    // vehicle's folder, or, when it cannot be read, openFailed and
    // scanRequested for the folder itself, which opens as a card.
    void openFolder(const QString& folder);
    // A catalogue is being opened.
    bool isOpening() const;
    bool isArchiveOpen() const { return m_catalogue != nullptr; }
    // The open archive (canonical path), its vehicles and the one shown.
    const QString& archiveFolder() const { return m_archive; }
    const QStringList& vehicles() const { return m_vehicles; }
    const QString& vehicle() const { return m_vehicle; }
    QString vehicleFolder(const QString& vehicle) const;
    // Shows this vehicle's recordings (scanRequested) and remembers the
    // choice for the archive. Names the archive does not hold are ignored.
    void chooseVehicle(const QString& vehicle);

    // The place question, on a worker; passesFound or passesFailed follows.
    // A question asked while one runs replaces it.
    void findPasses(const PassQuestion& question);
    bool isFinding() const;
    const QList<ArchivePass>& passes() const { return m_passes; }

    // "Find passes near here...": the pass finder over the window, at this
    // point (opened with open(); one at a time). Nothing without an archive.
    void openPassFinder(double lat, double lon);
    PassFinderDlg* passFinder() const;
    // A pass of passes() chosen: its vehicle is shown if it is not already,
    // then its recording is opened (recordingRequested) and, once it is ready,
    // moved to the pass's nearest second (seekRequested).
    void choosePass(int index);

    // What the owner reports: a scan of `folder` has finished; the recording
    // at `path` has opened and is ready to play.
    void libraryBuilt(const QString& folder);
    void recordingReady(const QString& path);

Q_SIGNALS:
    void archiveOpened(const QStringList& vehicles, const QString& vehicle);
    // A card opened after an archive: no vehicle to choose any more.
    void archiveClosed();
    // The folder's catalogue cannot be read; the folder opens as a card.
    void openFailed(const QString& folder, const QString& message);
    // The library scans this folder (a card, or a vehicle's folder).
    void scanRequested(const QString& folder);
    void vehicleShown(const QString& vehicle);
    void passesFound(const QList<ArchivePass>& passes);
    void passesFailed(const QString& message);
    void recordingRequested(const QString& path);
    void seekRequested(int second);

private:
    void finishOpen(const QString& folder, const QString& canonical, const OpenResult& result);
    void finishFind(const FindResult& result);
    void closeArchive();
    QString rememberedVehicle() const;
    void rememberVehicle() const;

    std::function<QWidget*()> m_window;
    std::shared_ptr<Catalogue> m_catalogue;
    QString m_archive;
    QStringList m_vehicles;
    QString m_vehicle;
    QList<ArchivePass> m_passes;
    std::unique_ptr<WorkerJob<OpenResult>> m_openJob;
    std::unique_ptr<WorkerJob<FindResult>> m_findJob;
    QPointer<PassFinderDlg> m_finder;

    // A chosen pass on its way to the screen.
    struct PendingPass {
        QString folder; // the scan to wait for; empty once it is done
        QString path;
        int second = 0;
    };
    std::optional<PendingPass> m_pending;
};
