#pragma once
// The harsh-driving threshold's window: the acceleration in g from which a
// braking, a speeding up or a turn is marked. A value the detection cannot
// take is refused with the reason, and the window stays open.
// Opened with open(); the value comes back through chosen(). Main thread only.
#include <QDialog>

class QLabel;
class QLineEdit;

class HarshThresholdDlg : public QDialog
{
    Q_OBJECT
public:
    explicit HarshThresholdDlg(double thresholdG, QWidget* parent = nullptr);

    QLineEdit* valueEdit() const { return m_value; }
    // Why the last OK was refused; hidden until then.
    QLabel* reasonLabel() const { return m_reason; }
    // Empty when the text gives a threshold the detection takes (then in
    // `thresholdG`), else why it is refused, in the language in force.
    static QString problemOf(const QString& text, double& thresholdG);

Q_SIGNALS:
    void chosen(double thresholdG);

private:
    QLineEdit* m_value = nullptr;
    QLabel* m_reason = nullptr;
};
