#include "controls/AttachTrackDlg.h"
#include "controls/StandardDialogs.h"

#include "base/Services.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace
{
constexpr int kRange = 3600; // one hour either way
} // namespace

AttachTrackDlg::AttachTrackDlg(const QString& trackFile, int offsetSeconds, bool wholeTrip,
                               bool tripAvailable, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("attachTrackDialog"));
    setWindowTitle(pmLoadString(QStringLiteral("IDS_ATTACH_TRACK_TITLE")));
    setAttribute(Qt::WA_DeleteOnClose);
    pmApplySkinPalette(this);
    auto* column = new QVBoxLayout(this);
    auto* file = new QLabel(QFileInfo(trackFile).fileName(), this);
    file->setObjectName(QStringLiteral("attachTrackFile"));
    file->setToolTip(trackFile);
    column->addWidget(file);

    m_recording = new QRadioButton(pmLoadString(QStringLiteral("IDS_ATTACH_THIS_RECORDING")), this);
    m_recording->setObjectName(QStringLiteral("attachToRecording"));
    m_trip = new QRadioButton(pmLoadString(QStringLiteral("IDS_ATTACH_WHOLE_TRIP")), this);
    m_trip->setObjectName(QStringLiteral("attachToTrip"));
    m_trip->setEnabled(tripAvailable || wholeTrip);
    (wholeTrip ? m_trip : m_recording)->setChecked(true);
    column->addWidget(m_recording);
    column->addWidget(m_trip);
    connect(m_trip, &QRadioButton::toggled, this, [this](bool on) { Q_EMIT scopeChanged(on); });

    column->addWidget(new QLabel(pmLoadString(QStringLiteral("IDS_ATTACH_OFFSET")), this));
    auto* row = new QHBoxLayout;
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("attachOffsetSlider"));
    m_slider->setRange(-kRange, kRange);
    m_slider->setSingleStep(1);
    m_slider->setPageStep(60);
    m_slider->setMinimumWidth(360);
    m_box = new QSpinBox(this);
    m_box->setObjectName(QStringLiteral("attachOffsetBox"));
    m_box->setRange(-kRange, kRange);
    m_box->setSuffix(QStringLiteral(" s"));
    row->addWidget(m_slider, 1);
    row->addWidget(m_box);
    column->addLayout(row);
    m_value = new QLabel(this);
    m_value->setObjectName(QStringLiteral("attachOffsetValue"));
    column->addWidget(m_value);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("attachTrackStatus"));
    m_status->setWordWrap(true);
    column->addWidget(m_status);

    const int start = qBound(-kRange, offsetSeconds, kRange);
    m_slider->setValue(start);
    m_box->setValue(start);
    showOffset(start);
    connect(m_slider, &QSlider::valueChanged, this, [this](int seconds) {
        const QSignalBlocker quiet(m_box);
        m_box->setValue(seconds);
        showOffset(seconds);
        Q_EMIT offsetChanged(seconds);
    });
    connect(m_box, qOverload<int>(&QSpinBox::valueChanged), this, [this](int seconds) {
        const QSignalBlocker quiet(m_slider);
        m_slider->setValue(seconds);
        showOffset(seconds);
        Q_EMIT offsetChanged(seconds);
    });

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok =
        buttons->addButton(pmLoadString(QStringLiteral("IDS_OK")), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("attachTrackOk"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(pmLoadString(QStringLiteral("IDS_CANCEL")), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("attachTrackCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
}

int AttachTrackDlg::offset() const
{
    return m_slider->value();
}

bool AttachTrackDlg::wholeTrip() const
{
    return m_trip->isChecked();
}

void AttachTrackDlg::setStatus(const QString& text)
{
    m_status->setText(text);
}

// The sign says which clock is ahead: the track's time is the recording's plus the offset.
void AttachTrackDlg::showOffset(int seconds)
{
    const QString value =
        seconds > 0 ? QStringLiteral("+%1 s").arg(seconds) : QStringLiteral("%1 s").arg(seconds);
    m_value->setText(pmLoadString(QStringLiteral("IDS_ATTACH_OFFSET_VALUE")).arg(value));
}
