#include "controls/ProgressDlg.h"
#include "controls/StandardDialogs.h"

#include "base/Services.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace
{
// QProgressBar counts in int: the bar runs over a fixed scale instead of bytes.
constexpr int kBarScale = 10000;
// The rate of the first moments says little about the rest.
constexpr qint64 kTimeLeftAfterMs = 2000;

QString nameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return QFile::decodeName(
        QByteArray::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1)));
}
} // namespace

ProgressDlg::ProgressDlg(std::shared_ptr<BackupProgress> progress, QWidget* parent)
    : QDialog(parent), m_progress(progress ? std::move(progress) : std::make_shared<BackupProgress>())
{
    setObjectName(QStringLiteral("ProgressDlg"));
    pmApplySkinPalette(this);
    setWindowTitle(pmLoadString(QStringLiteral("IDS_BACKUP")));
    setWindowModality(Qt::ApplicationModal);
    m_fileLabel = new QLabel(this);
    m_fileLabel->setObjectName(QStringLiteral("fileLabel"));
    m_fileLabel->setTextFormat(Qt::PlainText);
    m_countLabel = new QLabel(this);
    m_countLabel->setObjectName(QStringLiteral("countLabel"));
    m_countLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_bytesLabel = new QLabel(this);
    m_bytesLabel->setObjectName(QStringLiteral("bytesLabel"));
    m_summaryLabel = new QLabel(this);
    m_summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    m_summaryLabel->setTextFormat(Qt::PlainText);
    m_summaryLabel->setWordWrap(true);
    m_summaryLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summaryLabel->hide();
    m_progressIndicator = new QProgressBar(this);
    m_progressIndicator->setObjectName(QStringLiteral("progressIndicator"));
    m_progressIndicator->setRange(0, kBarScale);
    m_progressIndicator->setTextVisible(false);
    m_progressIndicator->setMinimumWidth(360);
    m_percentTextField = new QLabel(QStringLiteral("0 %"), this);
    m_percentTextField->setObjectName(QStringLiteral("PercentTextField"));
    m_percentTextField->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_percentTextField->setMinimumWidth(
        m_percentTextField->fontMetrics().horizontalAdvance(QStringLiteral("100 %")) + 8);
    m_cancelButton = new QPushButton(pmLoadString(QStringLiteral("IDS_CANCEL")), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    connect(m_cancelButton, &QPushButton::clicked, this, &ProgressDlg::onCancel);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_fileLabel, 1);
    fileRow->addWidget(m_countLabel);
    auto* row = new QHBoxLayout;
    row->addWidget(m_progressIndicator, 1);
    row->addWidget(m_percentTextField);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addLayout(row);
    layout->addWidget(m_bytesLabel);
    layout->addWidget(m_summaryLabel);
    layout->addLayout(buttons);
}

void ProgressDlg::setFileNames(const QStringList& names)
{
    m_fileNames = names;
    updateLabels();
}

qint64 ProgressDlg::secondsLeft(quint64 current, quint64 total, qint64 elapsedMs)
{
    if (current == 0 || elapsedMs <= 0 || current >= total)
        return current >= total && current > 0 ? 0 : -1;
    const double rate = static_cast<double>(current) / static_cast<double>(elapsedMs); // bytes per ms
    return static_cast<qint64>(std::ceil(static_cast<double>(total - current) / rate / 1000.0));
}

QString ProgressDlg::durationText(qint64 seconds)
{
    if (seconds >= 3600)
        return pmLoadString(QStringLiteral("IDS_DURATION_HOURS"))
            .arg(seconds / 3600)
            .arg((seconds % 3600) / 60);
    if (seconds >= 60)
        return pmLoadString(QStringLiteral("IDS_DURATION_MINUTES")).arg(seconds / 60).arg(seconds % 60);
    return pmLoadString(QStringLiteral("IDS_DURATION_SECONDS")).arg(seconds);
}

void ProgressDlg::updateLabels()
{
    if (m_bFinished)
        return;
    const auto phase = static_cast<BackupPhase>(m_progress->phase.load());
    const int current = m_progress->current.load();
    const int count = static_cast<int>(m_fileNames.size());
    if (m_progress->canceled.load()) {
        m_fileLabel->setText(pmLoadString(QStringLiteral("IDS_BACKUP_STOPPING")));
    } else if (phase == BackupPhase::WaitingForDestination) {
        m_fileLabel->setText(pmLoadString(QStringLiteral("IDS_BACKUP_WAITING")));
    } else if (phase == BackupPhase::Packaging) {
        m_fileLabel->setText(pmLoadString(QStringLiteral("IDS_BACKUP_PACKAGING")));
    } else if (current >= 0 && current < count) {
        m_fileLabel->setText(m_fileNames.at(current));
    }
    if (current >= 0 && count > 0)
        m_countLabel->setText(
            pmLoadString(QStringLiteral("IDS_BACKUP_N_OF_M")).arg(std::min(current + 1, count)).arg(count));
    const QLocale locale;
    const quint64 done = lCurrentSize();
    QString bytes = pmLoadString(QStringLiteral("IDS_BACKUP_BYTES"))
                        .arg(locale.formattedDataSize(static_cast<qint64>(done)),
                             locale.formattedDataSize(static_cast<qint64>(m_lTotalSize)));
    if (!m_clock) {
        m_clock = std::make_unique<QElapsedTimer>();
        m_clock->start();
        m_clockStartBytes = done;
    }
    // The rate counts from the copy's start, not from a wait for the destination.
    if (phase == BackupPhase::WaitingForDestination || phase == BackupPhase::Starting) {
        m_clock->restart();
        m_clockStartBytes = done;
    }
    if (m_clock && m_clock->elapsed() >= kTimeLeftAfterMs) {
        const qint64 left =
            secondsLeft(done - m_clockStartBytes, m_lTotalSize - m_clockStartBytes, m_clock->elapsed());
        if (left >= 0)
            bytes += QStringLiteral(" \u2014 ") +
                     pmLoadString(QStringLiteral("IDS_BACKUP_TIME_LEFT")).arg(durationText(left));
    }
    m_bytesLabel->setText(bytes);
}

ProgressDlg::~ProgressDlg() = default;

void ProgressDlg::setLTotalSize(quint64 total)
{
    m_lTotalSize = total;
}

void ProgressDlg::setLCurrentSize(quint64 current)
{
    m_progress->bytesDone.store(current);
}

quint64 ProgressDlg::lCurrentSize() const
{
    return m_progress->bytesDone.load();
}

bool ProgressDlg::isCanceled() const
{
    return m_progress->canceled.load();
}

int ProgressDlg::percentOf(quint64 current, quint64 total)
{
    if (total == 0)
        return 0;
    const double p = (static_cast<double>(current) / 1024.0) / (static_cast<double>(total) / 1024.0) * 100.0;
    return static_cast<int>(std::trunc(std::min(p, 100.0)));
}

void ProgressDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (mUpdateProgressTimeTimer || m_bStopped)
        return;
    // As the window appears: centred on its parent, a fresh count and the refresh running.
    pmCentreOnParentWindow(this);
    mCurrentlyTotalBytesWritten = 0;
    m_progressIndicator->setValue(0);
    startTimer();
}

void ProgressDlg::startTimer()
{
    if (mUpdateProgressTimeTimer)
        return;
    auto* timer = new QTimer(this);
    timer->setInterval(500);
    connect(timer, &QTimer::timeout, this, &ProgressDlg::updatePanel);
    timer->start();
    mUpdateProgressTimeTimer = timer;
}

void ProgressDlg::updatePanel()
{
    updateLabels();
    const quint64 current = lCurrentSize();
    if (static_cast<qint64>(current) == mCurrentlyTotalBytesWritten)
        return;
    mCurrentlyTotalBytesWritten = static_cast<qint64>(current);
    m_nPercent = percentOf(current, m_lTotalSize);
    qDebug("m_lCurrentSize : %llu  lTotalSize : %llu", static_cast<unsigned long long>(current),
           static_cast<unsigned long long>(m_lTotalSize));
    drawProgress();
}

void ProgressDlg::drawProgress()
{
    const quint64 current = static_cast<quint64>(mCurrentlyTotalBytesWritten);
    const int value =
        m_lTotalSize == 0
            ? 0
            : static_cast<int>(std::min<double>(
                  kBarScale, static_cast<double>(current) / static_cast<double>(m_lTotalSize) * kBarScale));
    m_progressIndicator->setValue(value);
    m_progressIndicator->repaint();
    m_percentTextField->setText(QStringLiteral("%1 %").arg(m_nPercent));
}

void ProgressDlg::stopTimer()
{
    m_bStopped = true;
    updatePanel();
    drawProgress();
    if (mUpdateProgressTimeTimer) {
        mUpdateProgressTimeTimer->stop();
        delete mUpdateProgressTimeTimer;
    }
    done(QDialog::Accepted);
}

void ProgressDlg::showSummary(const BackupResult& result)
{
    updatePanel();
    drawProgress();
    m_bFinished = true;
    if (mUpdateProgressTimeTimer) {
        mUpdateProgressTimeTimer->stop();
        delete mUpdateProgressTimeTimer;
    }
    QStringList lines;
    int copied = 0;
    int identical = 0;
    QStringList failed;
    QStringList notCopied;
    for (const BackupItem& item : result.items) {
        const QString name = nameOf(item.recording);
        switch (item.outcome) {
        case BackupItemOutcome::Copied:
            ++copied;
            break;
        case BackupItemOutcome::Identical:
            ++identical;
            break;
        case BackupItemOutcome::Failed:
            failed << pmLoadString(QStringLiteral("IDS_BACKUP_SUMMARY_FAILED"))
                          .arg(name, QString::fromStdString(item.reason));
            break;
        case BackupItemOutcome::NotReached:
            notCopied << name;
            break;
        }
    }
    const bool canceled = result.status == BackupStatus::Canceled;
    lines << pmLoadString(result.status == BackupStatus::Done ? QStringLiteral("IDS_BACKUP_SUMMARY_DONE")
                          : canceled                          ? QStringLiteral("IDS_BACKUP_SUMMARY_CANCELED")
                                                              : QStringLiteral("IDS_BACKUP_SUMMARY_STOPPED"));
    lines << pmLoadString(QStringLiteral("IDS_BACKUP_SUMMARY_COPIED")).arg(copied);
    lines << pmLoadString(QStringLiteral("IDS_BACKUP_SUMMARY_IDENTICAL")).arg(identical);
    lines << failed;
    // A failure before any file was reached (the destination): its reason, once.
    if (failed.isEmpty() && !canceled && result.status != BackupStatus::Done)
        lines << QString::fromStdString(pmDescribeBackupResult(result));
    if (!notCopied.isEmpty())
        lines << pmLoadString(QStringLiteral("IDS_BACKUP_SUMMARY_NOT_COPIED"))
                     .arg(notCopied.join(QStringLiteral(", ")));
    if (!result.packageFolder.empty())
        lines << pmLoadString(QStringLiteral("IDS_BACKUP_SUMMARY_PACKAGE"))
                     .arg(QFile::decodeName(QByteArray::fromStdString(result.packageFolder)));
    m_summaryLabel->setText(lines.join(QLatin1Char('\n')));
    m_summaryLabel->show();
    m_fileLabel->hide();
    m_countLabel->hide();
    m_bytesLabel->hide();
    m_cancelButton->setText(pmLoadString(QStringLiteral("IDS_CLOSE")));
    m_cancelButton->setEnabled(true);
    adjustSize();
}

void ProgressDlg::onCancel()
{
    if (m_bFinished) {
        done(QDialog::Accepted);
        return;
    }
    if (m_progress->canceled.exchange(true))
        return;
    Q_EMIT canceled();
    // The window stays until the job has stopped and tells what it left.
    m_cancelButton->setEnabled(false);
    updateLabels();
}

void ProgressDlg::reject()
{
    // Escape or the window's close box: the job must not go on unseen.
    onCancel();
}

void ProgressDlg::endWaitingWindow()
{
    done(QDialog::Accepted);
}
