#pragma once
// The backup's progress window: a bar over the job's bytes, the percentage,
// and Cancel. The copy runs on a worker thread; the two share only
// BackupProgress (atomics), which this window reads every 0.5 s on the main
// thread and redraws only when the count moved. Closing the window in any way
// cancels the job. Must run on the main thread.
#include "core/BackupEngine.h"

#include <QDialog>
#include <QPointer>
#include <memory>

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
    // The refresh: redraws when the byte count changed since the last one.
    void updatePanel();
    void drawProgress();
    // Cancel: the worker sees the flag after the block it is copying.
    void onCancel();
    void endWaitingWindow();

    QProgressBar* progressIndicator() const { return m_progressIndicator; }
    QLabel* percentTextField() const { return m_percentTextField; }
    QPushButton* cancelButton() const { return m_cancelButton; }

    // (current / 1024) / (total / 1024) x 100, truncated; 0 for an empty job.
    static int percentOf(quint64 current, quint64 total);

Q_SIGNALS:
    void canceled();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    std::shared_ptr<BackupProgress> m_progress;
    QProgressBar* m_progressIndicator = nullptr;
    QLabel* m_percentTextField = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPointer<QTimer> mUpdateProgressTimeTimer;
    qint64 mCurrentlyTotalBytesWritten = 0;
    quint64 m_lTotalSize = 0;
    int m_nPercent = 0;
    bool m_bStopped = false;
};
