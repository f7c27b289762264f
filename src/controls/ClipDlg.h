#pragma once
// The incident clip's window: how many seconds before and after the moment
// the clip takes (the stored lengths to start with), then Save or Cancel.
// Optionally the caption drawn in (a re-encode, much slower than the copy).
// Opened with open(); the choice comes back through chosen(). Main thread only.
#include <QDialog>

class QCheckBox;
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
    // Says why OK did nothing (both lengths 0); hidden otherwise.
    QLabel* noteLabel() const { return m_note; }
    static constexpr int kMaxSeconds = 600;

Q_SIGNALS:
    void chosen(int beforeSeconds, int afterSeconds, bool overlay);

private:
    QSpinBox* m_before = nullptr;
    QSpinBox* m_after = nullptr;
    QCheckBox* m_overlay = nullptr;
    QLabel* m_note = nullptr;
};
