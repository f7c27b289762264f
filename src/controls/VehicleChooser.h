#pragma once
// The strip above the calendar while a fleet archive is open: "Vehicle" and a
// drop-down of the archive's vehicles. Choosing one is forwarded as
// vehicleChosen; the list and the one shown are set by the owner without a
// signal. Main thread only.
#include <QWidget>

class QComboBox;
class QLabel;

class VehicleChooser : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 30;

    explicit VehicleChooser(QWidget* parent = nullptr);

    // The vehicles offered and the one shown (none when it is not listed).
    void setVehicles(const QStringList& vehicles, const QString& shown);
    void showVehicle(const QString& vehicle);
    QString shownVehicle() const;
    QComboBox* comboBox() const { return m_box; }
    void changeLanguage();
    void loadSkinBitmap();

Q_SIGNALS:
    void vehicleChosen(const QString& vehicle);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_label = nullptr;
    QComboBox* m_box = nullptr;
};
