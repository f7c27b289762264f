#pragma once
// The file selection window shared by backup and upload: the playlist as a
// list (file name, date, size) in which several rows may be chosen, OK and
// Cancel. The caller sets the title and the most rows that may be chosen
// (0 or less: no limit; upload allows 10). OK's answer is rowsChosen: the
// chosen playlist indexes and the state of the evidence-package box, which
// only the backup shows; Cancel closes the window with no answer. A row
// number is a playlist index. Must run on the main thread.
#include "base/AMediaFile.h"

#include <QDialog>
#include <QList>
#include <QString>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

class BackupDlg : public QDialog
{
    Q_OBJECT
public:
    explicit BackupDlg(const QList<AMediaFile>& playlist, QWidget* parent = nullptr);
    ~BackupDlg() override;

    void setTitle(const QString& title);
    int nMaxSelFileCount() const { return m_nMaxSelFileCount; }
    void setNMaxSelFileCount(int count) { m_nMaxSelFileCount = count; }
    // Rows chosen when OK was last pressed.
    int getSelCount() const { return m_nSelCount; }
    void setEvidenceOptionVisible(bool visible);
    bool isEvidencePackage() const;

    void okButtonAction();
    void cancelButtonAction();
    // Closes the window, then (when rows were chosen) emits rowsChosen; once.
    void reportResult(bool chosen, const QList<int>& selectedFile);
    void setLayerString();
    void endWaitingWindow();

    // The chosen rows, ascending.
    QList<int> selectedRows() const;

    QPushButton* okButton() const { return m_okButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QLabel* selFileTitleLab() const { return m_selFileTitleLab; }
    QTableWidget* tableView() const { return mTableView; }
    QCheckBox* evidenceCheckBox() const { return m_evidenceCheck; }

Q_SIGNALS:
    // OK with these rows (ascending) and the evidence-package box's state.
    void rowsChosen(const QList<int>& rows, bool evidence);

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    QList<AMediaFile> mBackupFilelist;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QLabel* m_selFileTitleLab = nullptr;
    QTableWidget* mTableView = nullptr;
    QCheckBox* m_evidenceCheck = nullptr;
    int m_nSelCount = 0;
    int m_nMaxSelFileCount = -1;
    QString m_strBackupTitle;
    bool m_bPosted = false;
    bool m_bLoggedStart = false;
};
