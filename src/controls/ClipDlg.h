#pragma once
// The incident clip's window: how many seconds before and after the moment
// the clip takes (the stored lengths to start with), then Save or Cancel.
// Optionally the caption drawn in, or the cameras in one picture (both
// re-encode, much slower than the copy).
// Opened with open(); the choice comes back through chosen(). Main thread only.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

class ClipDlg : public QDialog
{
    Q_OBJECT
public:
    ClipDlg(int beforeSeconds, int afterSeconds, QWidget* parent = nullptr);

    QSpinBox* beforeBox() const { return m_before; }
    QSpinBox* afterBox() const { return m_after; }
    QCheckBox* overlayBox() const { return m_overlay; }
    // The layout (item data: "separate", "side-by-side", "pip", "front",
    // "rear"), the inset's corner (data 0..3) and the quality (CRF). Any
    // layout but "separate" re-encodes, and then takes no overlay.
    QComboBox* layoutBox() const { return m_layout; }
    QComboBox* cornerBox() const { return m_corner; }
    QSpinBox* qualityBox() const { return m_quality; }
    void setChoices(const QString& layout, int corner, int quality);
    QString layoutWord() const;
    int corner() const;
    // Says why OK did nothing (both lengths 0); hidden otherwise.
    QLabel* noteLabel() const { return m_note; }
    static constexpr int kMaxSeconds = 600;

Q_SIGNALS:
    void chosen(int beforeSeconds, int afterSeconds, bool overlay);

private:
    QSpinBox* m_before = nullptr;
    QSpinBox* m_after = nullptr;
    QCheckBox* m_overlay = nullptr;
    QComboBox* m_layout = nullptr;
    QComboBox* m_corner = nullptr;
    QSpinBox* m_quality = nullptr;
    void layoutChanged();
    QLabel* m_note = nullptr;
};
