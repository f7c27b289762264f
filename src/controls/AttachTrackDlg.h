#pragma once
// The window of a track attached from another device: the file, whether it
// serves the recording alone or its whole trip, and the offset (plus or minus
// one hour, in seconds) between the track's clock and the camera's, moved with
// a slider or typed. Each change is reported at once, so the map can follow
// the track as it is lined up; OK keeps the choice, Cancel goes back.
// Opened with open(). Main thread only.
#include <QDialog>

class QLabel;
class QRadioButton;
class QSlider;
class QSpinBox;

class AttachTrackDlg : public QDialog
{
    Q_OBJECT
public:
    AttachTrackDlg(const QString& trackFile, int offsetSeconds, bool wholeTrip, bool tripAvailable,
                   QWidget* parent = nullptr);

    int offset() const;
    bool wholeTrip() const;
    // What the track gives the recording at this offset (or why it gives nothing).
    void setStatus(const QString& text);

    QSlider* offsetSlider() const { return m_slider; }
    QSpinBox* offsetBox() const { return m_box; }
    QLabel* offsetLabel() const { return m_value; }
    QLabel* statusLabel() const { return m_status; }
    QRadioButton* tripButton() const { return m_trip; }

Q_SIGNALS:
    void offsetChanged(int seconds);
    void scopeChanged(bool wholeTrip);

private:
    void showOffset(int seconds);

    QSlider* m_slider = nullptr;
    QSpinBox* m_box = nullptr;
    QLabel* m_value = nullptr;
    QLabel* m_status = nullptr;
    QRadioButton* m_recording = nullptr;
    QRadioButton* m_trip = nullptr;
};
