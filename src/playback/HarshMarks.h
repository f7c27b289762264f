#pragma once
// The harsh-driving marks the window shows: those of the recording that plays
// (from its track as CurrentTrack read it, so a track attached from another
// device gives marks too) and those of every recording of the playlist, read
// on a worker in small batches so the file list fills in while the main loop
// runs. What it finds it reports by signal; it writes into no widget.
//
// `E` and `Shift+E` walk the stops in time order across the playlist: the
// harsh marks and the camera's own event mark of each recording. A stop in
// another recording opens that recording (openRowRequested) and seeks once its
// track has been read there.
//
// The recordings are known by their paths, so a playlist rebuilt in another
// order (a day chosen, a filter changed) keeps what was found, and only
// recordings not read yet are read. A new threshold forgets everything.
// Main thread only.
#include "base/AMediaFile.h"
#include "core/HarshEvents.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class CurrentTrack;
template <typename Result> class WorkerJob;

class HarshMarks : public QObject
{
    Q_OBJECT
public:
    // What it needs to know of the playlist and of what plays.
    struct Sources {
        std::function<QList<AMediaFile>()> playlist;
        // The camera model of the current folder, given to each track.
        std::function<QString()> modelName;
        // The row that plays (-1: none), its position in seconds and its track.
        std::function<int()> currentRow;
        std::function<double()> currentTime;
        std::function<const CurrentTrack*()> currentTrack;
        // The other camera's row of a pair (-1: none) and a row's camera
        // (core/FileRules' CameraCode). A rear recording with a front partner
        // is reached through that partner.
        std::function<int(int)> partnerOf;
        std::function<int(int)> cameraTypeOf;
    };

    // The marks of one recording; `eventSecond` is the camera's event mark (-1: none).
    struct Recording {
        std::vector<HarshMark> marks;
        int eventSecond = -1;
    };

    // Rows read per worker job: a batch's end shows its marks in the file list.
    static constexpr int kBatchRows = 24;

    explicit HarshMarks(QObject* parent = nullptr);
    ~HarshMarks() override;

    void setSources(Sources sources);

    // The threshold in force, in g (stored; the core's default until set).
    double threshold() const { return m_threshold; }
    // Stores a threshold inside the core's range and finds every mark again;
    // false (nothing changed) for one outside it.
    bool setThreshold(double thresholdG);

    // The current recording's track was read, or emptied.
    void currentTrackChanged();
    // The playlist changed: the recordings not read yet are read.
    void playlistChanged();
    // Reports the marks again (their texts follow the language in force).
    void republish();

    // Moves to the next stop after the position shown (or the previous one
    // before it); false when there is none in that direction.
    bool jump(bool forward);

    const std::vector<HarshMark>& currentMarks() const { return m_current.marks; }
    // The recordings known to hold a harsh mark, by path.
    QSet<QString> markedPaths() const;
    // Whether every recording of the playlist has been read.
    bool isComplete() const { return !m_job && m_queue.isEmpty(); }

    // The text that names a mark: its kind and peak, as the tooltips show it.
    static QString markText(const HarshMark& mark);

Q_SIGNALS:
    // The marks of the recording that plays, over a track of `sampleCount` seconds.
    void currentMarksChanged(const QList<HarshMark>& marks, int sampleCount);
    // The recordings known to hold a harsh mark changed.
    void markedPathsChanged(const QSet<QString>& paths);
    // Open this row as a double click would; the seek follows once it is read.
    void openRowRequested(int row);
    // Move the recording that plays to this second.
    void seekRequested(int second);
    void thresholdChanged(double thresholdG);

private:
    using Batch = QHash<QString, Recording>;
    void startNextBatch();
    void takeBatch(const Batch& batch);
    // The stops of a row: its marks' seconds and its event mark, in order.
    std::vector<int> stopsOf(int row, const QList<AMediaFile>& list) const;
    const Recording* recordingOf(const QString& path) const;
    bool reachedThroughPartner(int row) const;

    Sources m_sources;
    double m_threshold = harsh::kDefaultThresholdG;
    // The recording that plays: its path and what its track gives.
    QString m_currentPath;
    int m_currentSamples = 0;
    Recording m_current;
    // Every recording read for the threshold in force, by path.
    QHash<QString, Recording> m_known;
    // Recordings still to read: path -> native path.
    QList<QPair<QString, QByteArray>> m_queue;
    WorkerJob<Batch>* m_job = nullptr;
    std::shared_ptr<std::atomic_bool> m_stop;
    // The stop to seek to once this recording's track has been read.
    QString m_pendingPath;
    int m_pendingSecond = -1;
};
