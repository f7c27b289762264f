#pragma once
// "Find passes near here...": the point the map was clicked at, a radius and
// an optional period, then Find; the passes found are listed one per row
// (vehicle, recording, nearest second, its time, distance) and a click on a
// row asks for that recording at that second. The window only draws and
// forwards: the question goes out as searchRequested, the answer comes in
// through setRows or setFailed. Opened with open(); main thread only.
#include <QDialog>
#include <QList>
#include <QString>

class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

struct PassRow {
    QString vehicle;
    QString recording; // the file's name
    int second = 0;
    QString time; // "YYYY-MM-DD HH:MM:SS" of the camera clock
    double distanceMetres = 0;
};

class PassFinderDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kMaxRadius = 100000;

    PassFinderDlg(double lat, double lon, QWidget* parent = nullptr);

    double latitude() const { return m_lat; }
    double longitude() const { return m_lon; }
    // Asks the question with the values shown.
    void find();
    // The answer: the rows (none: says so), or why there is none.
    void setRows(const QList<PassRow>& rows);
    void setFailed(const QString& message);

    QSpinBox* radiusBox() const { return m_radius; }
    QCheckBox* fromCheck() const { return m_fromOn; }
    QDateTimeEdit* fromEdit() const { return m_from; }
    QCheckBox* toCheck() const { return m_toOn; }
    QDateTimeEdit* toEdit() const { return m_to; }
    QPushButton* findButton() const { return m_find; }
    QTableWidget* resultTable() const { return m_table; }
    QLabel* statusLabel() const { return m_status; }

Q_SIGNALS:
    // Times are the camera clock, seconds since 1970-01-01 00:00 of it.
    void searchRequested(double radiusMetres, bool hasFrom, qint64 from, bool hasTo, qint64 to);
    void rowChosen(int row);

private:
    double m_lat = 0;
    double m_lon = 0;
    QSpinBox* m_radius = nullptr;
    QCheckBox* m_fromOn = nullptr;
    QDateTimeEdit* m_from = nullptr;
    QCheckBox* m_toOn = nullptr;
    QDateTimeEdit* m_to = nullptr;
    QPushButton* m_find = nullptr;
    QTableWidget* m_table = nullptr;
    QLabel* m_status = nullptr;
};
