#pragma once
// The About box: the logo, the version and copyright text, the player's keys
// (base/PlayerKeys.h), and one button.
#include <QDialog>

class QLabel;
class QPushButton;

class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    QString text() const;

private:
    QLabel* m_logo = nullptr;
    QLabel* m_text = nullptr;
    QLabel* m_shortcuts = nullptr;
    QPushButton* m_okButton = nullptr;
};
