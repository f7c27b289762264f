#include "controls/PassFinderDlg.h"
#include "controls/StandardDialogs.h"

#include "base/Services.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace
{
// Cameras keep no time zone: the clock's reading is shown and taken as it
// is, through UTC, so no local offset or daylight-saving change moves it.
QDateTimeEdit* clockEdit(QWidget* parent, const char* name, const QTime& time)
{
    auto* edit = new QDateTimeEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setTimeSpec(Qt::UTC);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    edit->setCalendarPopup(true);
    edit->setDateTime(QDateTime(QDate::currentDate(), time, Qt::UTC));
    edit->setEnabled(false);
    return edit;
}
} // namespace

PassFinderDlg::PassFinderDlg(double lat, double lon, QWidget* parent)
    : QDialog(parent), m_lat(lat), m_lon(lon)
{
    setObjectName(QStringLiteral("passFinderDialog"));
    setWindowTitle(pmLoadString(QStringLiteral("IDS_PASSES_TITLE")));
    setAttribute(Qt::WA_DeleteOnClose);
    pmApplySkinPalette(this);

    auto* form = new QFormLayout;
    auto* place = new QLabel(QString::asprintf("%.6f, %.6f", lat, lon), this);
    place->setObjectName(QStringLiteral("passPlace"));
    place->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(pmLoadString(QStringLiteral("IDS_PASSES_PLACE")), place);
    m_radius = new QSpinBox(this);
    m_radius->setObjectName(QStringLiteral("passRadius"));
    m_radius->setRange(1, kMaxRadius);
    m_radius->setValue(50);
    m_radius->setSuffix(QStringLiteral(" m"));
    form->addRow(pmLoadString(QStringLiteral("IDS_PASSES_RADIUS")), m_radius);
    auto periodRow = [this, form](const char* label, QCheckBox*& check, QDateTimeEdit*& edit,
                                  const char* name, const QTime& time) {
        check = new QCheckBox(pmLoadString(QLatin1String(label)), this);
        check->setObjectName(QLatin1String(name) + QStringLiteral("Check"));
        edit = clockEdit(this, name, time);
        connect(check, &QCheckBox::toggled, edit, &QWidget::setEnabled);
        auto* row = new QHBoxLayout;
        row->addWidget(check);
        row->addWidget(edit, 1);
        form->addRow(row);
    };
    periodRow("IDS_PASSES_FROM", m_fromOn, m_from, "passFrom", QTime(0, 0));
    periodRow("IDS_PASSES_TO", m_toOn, m_to, "passTo", QTime(23, 59, 59));

    m_table = new QTableWidget(0, 5, this);
    m_table->setObjectName(QStringLiteral("passTable"));
    m_table->setHorizontalHeaderLabels({pmLoadString(QStringLiteral("IDS_PASSES_VEHICLE")),
                                        pmLoadString(QStringLiteral("IDS_PASSES_RECORDING")),
                                        pmLoadString(QStringLiteral("IDS_PASSES_SECOND")),
                                        pmLoadString(QStringLiteral("IDS_PASSES_TIME")),
                                        pmLoadString(QStringLiteral("IDS_PASSES_DISTANCE"))});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setMinimumSize(560, 220);
    connect(m_table, &QTableWidget::cellClicked, this, [this](int row, int) { Q_EMIT rowChosen(row); });

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("passStatus"));
    m_status->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    m_find =
        buttons->addButton(pmLoadString(QStringLiteral("IDS_PASSES_FIND")), QDialogButtonBox::ActionRole);
    m_find->setObjectName(QStringLiteral("passFind"));
    m_find->setDefault(true);
    QPushButton* close =
        buttons->addButton(pmLoadString(QStringLiteral("IDS_CLOSE")), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("passClose"));
    connect(m_find, &QPushButton::clicked, this, &PassFinderDlg::find);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
}

void PassFinderDlg::find()
{
    const bool hasFrom = m_fromOn->isChecked();
    const bool hasTo = m_toOn->isChecked();
    const qint64 from = m_from->dateTime().toSecsSinceEpoch();
    const qint64 to = m_to->dateTime().toSecsSinceEpoch();
    if (hasFrom && hasTo && from > to) {
        setFailed(pmLoadString(QStringLiteral("IDS_PASSES_BAD_PERIOD")));
        return;
    }
    m_table->setRowCount(0);
    m_status->setText(pmLoadString(QStringLiteral("IDS_PASSES_SEARCHING")));
    Q_EMIT searchRequested(m_radius->value(), hasFrom, from, hasTo, to);
}

void PassFinderDlg::setRows(const QList<PassRow>& rows)
{
    m_table->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        const PassRow& r = rows.at(i);
        const QStringList cells{r.vehicle, r.recording, QString::number(r.second), r.time,
                                QString::asprintf("%.1f m", r.distanceMetres)};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells.at(c));
            if (c == 2 || c == 4)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(i, c, item);
        }
    }
    m_status->setText(rows.isEmpty() ? pmLoadString(QStringLiteral("IDS_PASSES_NONE"))
                                     : pmLoadString(QStringLiteral("IDS_PASSES_FOUND")).arg(rows.size()));
}

void PassFinderDlg::setFailed(const QString& message)
{
    m_table->setRowCount(0);
    m_status->setText(message);
}
