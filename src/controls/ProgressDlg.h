#pragma once
// The backup's progress window: the file being copied and "n of m", a bar
// over the job's bytes with the percentage, the bytes so far and (after the
// first 2 s) the time left, and Cancel. The copy runs on a worker thread; the
// two share only BackupProgress (atomics), which this window reads every
// 0.5 s on the main thread; the bar is redrawn only when the count moved.
// Cancel, Escape and the close box stop the job; the window stays until the
// job has ended and shows what became of each file (showSummary), then
// closes with Close. Must run on the main thread.
#include "core/BackupEngine.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <memory>

class QElapsedTimer;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

class ProgressDlg : public QDialog
{
    Q_OBJECT
public:
    explicit ProgressDlg(std::shared_ptr<BackupProgress> progress, QWidget* parent = nullptr);
    ~ProgressDlg() override;

    // The recordings' names in the job's order, for "n of m".
    void setFileNames(const QStringList& names);
    void setLTotalSize(quint64 total);
    quint64 lTotalSize() const { return m_lTotalSize; }
    // The job's byte count; safe from any thread.
    void setLCurrentSize(quint64 current);
    quint64 lCurrentSize() const;
    bool isCanceled() const;
    int percent() const { return m_nPercent; }

    void startTimer();
    // A last redraw, the timer stopped, the window closed (the job is over).
    void stopTimer();
    // The job is over: a last redraw, the timer stopped, and in place of the
    // progress what was copied, skipped as identical, failed (with the
    // reason) or not reached, and the package folder. Cancel becomes Close.
    void showSummary(const BackupResult& result);
    bool isFinished() const { return m_bFinished; }
    // The refresh: redraws when the byte count changed since the last one.
    void updatePanel();
    void drawProgress();
    // Cancel: the worker sees the flag after the block it is copying.
    void onCancel();
    void endWaitingWindow();

    QProgressBar* progressIndicator() const { return m_progressIndicator; }
    QLabel* percentTextField() const { return m_percentTextField; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QLabel* fileLabel() const { return m_fileLabel; }
    QLabel* countLabel() const { return m_countLabel; }
    QLabel* bytesLabel() const { return m_bytesLabel; }
    QLabel* summaryLabel() const { return m_summaryLabel; }

    // (current / 1024) / (total / 1024) x 100, truncated; 0 for an empty job.
    static int percentOf(quint64 current, quint64 total);
    // Seconds left at the rate so far; -1 when nothing is known yet.
    static qint64 secondsLeft(quint64 current, quint64 total, qint64 elapsedMs);
    // "1 h 5 min", "3 min 20 s", "45 s".
    static QString durationText(qint64 seconds);

Q_SIGNALS:
    void canceled();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    // The file label, "n of m", bytes and time left, from the shared progress.
    void updateLabels();

    std::shared_ptr<BackupProgress> m_progress;
    QLabel* m_fileLabel = nullptr;
    QLabel* m_countLabel = nullptr;
    QLabel* m_bytesLabel = nullptr;
    QLabel* m_summaryLabel = nullptr;
    QStringList m_fileNames;
    std::unique_ptr<QElapsedTimer> m_clock;
    quint64 m_clockStartBytes = 0;
    bool m_bFinished = false;
    QProgressBar* m_progressIndicator = nullptr;
    QLabel* m_percentTextField = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPointer<QTimer> mUpdateProgressTimeTimer;
    qint64 mCurrentlyTotalBytesWritten = 0;
    quint64 m_lTotalSize = 0;
    int m_nPercent = 0;
    bool m_bStopped = false;
};
