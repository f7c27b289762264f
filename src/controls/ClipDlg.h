#pragma once
// The incident clip's window: how many seconds before and after the moment
// the clip takes (the stored lengths to start with), then Save or Cancel.
// Opened with open(); the choice comes back through chosen(). Main thread only.
#include <QDialog>

class QSpinBox;

class ClipDlg : public QDialog
{
    Q_OBJECT
public:
    ClipDlg(int beforeSeconds, int afterSeconds, QWidget* parent = nullptr);

    QSpinBox* beforeBox() const { return m_before; }
    QSpinBox* afterBox() const { return m_after; }
    static constexpr int kMaxSeconds = 600;

Q_SIGNALS:
    void chosen(int beforeSeconds, int afterSeconds);

private:
    QSpinBox* m_before = nullptr;
    QSpinBox* m_after = nullptr;
};
