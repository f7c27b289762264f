#include "controls/VehicleChooser.h"

#include "base/Services.h"
#include "base/Skin.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>

VehicleChooser::VehicleChooser(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("vehicleChooser"));
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("vehicleLabel"));
    m_box = new QComboBox(this);
    m_box->setObjectName(QStringLiteral("vehicleBox"));
    m_box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_box->setMinimumContentsLength(8);
    // Only the user's choice is forwarded (activated), never a list set here.
    connect(m_box, &QComboBox::activated, this,
            [this](int index) { Q_EMIT vehicleChosen(m_box->itemText(index)); });
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 3, 8, 3);
    row->addWidget(m_label);
    row->addWidget(m_box, 1);
    resize(291, kHeight);
    changeLanguage();
    loadSkinBitmap();
}

void VehicleChooser::setVehicles(const QStringList& vehicles, const QString& shown)
{
    const QSignalBlocker quiet(m_box);
    m_box->clear();
    m_box->addItems(vehicles);
    showVehicle(shown);
}

void VehicleChooser::showVehicle(const QString& vehicle)
{
    const QSignalBlocker quiet(m_box);
    m_box->setCurrentIndex(m_box->findText(vehicle, Qt::MatchExactly));
}

QString VehicleChooser::shownVehicle() const
{
    return m_box->currentText();
}

void VehicleChooser::changeLanguage()
{
    m_label->setText(pmLoadString(QStringLiteral("IDS_ARCHIVE_VEHICLE")));
}

void VehicleChooser::loadSkinBitmap()
{
    const QPalette palette = Skin::dialogPalette(Skin::currentId());
    m_label->setPalette(palette);
    m_box->setPalette(palette);
    update();
}

void VehicleChooser::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Skin::dialogPalette(Skin::currentId()).window());
}
