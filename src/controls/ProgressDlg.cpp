#include "controls/ProgressDlg.h"
#include "controls/StandardDialogs.h"

#include "base/Services.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace
{
// QProgressBar counts in int: the bar runs over a fixed scale instead of bytes.
constexpr int kBarScale = 10000;
} // namespace

ProgressDlg::ProgressDlg(std::shared_ptr<BackupProgress> progress, QWidget* parent)
    : QDialog(parent), m_progress(progress ? std::move(progress) : std::make_shared<BackupProgress>())
{
    setObjectName(QStringLiteral("ProgressDlg"));
    setWindowTitle(pmLoadString(QStringLiteral("IDS_BACKUP")));
    setWindowModality(Qt::ApplicationModal);
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

    auto* row = new QHBoxLayout;
    row->addWidget(m_progressIndicator, 1);
    row->addWidget(m_percentTextField);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
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

void ProgressDlg::onCancel()
{
    m_progress->canceled.store(true);
    Q_EMIT canceled();
    if (mUpdateProgressTimeTimer)
        mUpdateProgressTimeTimer->stop();
    done(QDialog::Rejected);
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
