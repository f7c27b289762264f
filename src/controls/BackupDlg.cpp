#include "controls/BackupDlg.h"
#include "controls/StandardDialogs.h"

#include "base/Services.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

BackupDlg::BackupDlg(const QList<AMediaFile>& playlist, QWidget* parent)
    : QDialog(parent), mBackupFilelist(playlist)
{
    setObjectName(QStringLiteral("BackupDlg"));
    pmApplySkinPalette(this);
    setWindowModality(Qt::ApplicationModal);
    m_selFileTitleLab = new QLabel(this);
    m_selFileTitleLab->setObjectName(QStringLiteral("SelFileTitleLab"));
    mTableView = new QTableWidget(static_cast<int>(mBackupFilelist.size()), 3, this);
    mTableView->setObjectName(QStringLiteral("mTableView"));
    mTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    mTableView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    mTableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mTableView->verticalHeader()->hide();
    mTableView->setShowGrid(false);
    mTableView->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    mTableView->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    mTableView->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    const QLocale locale;
    for (int row = 0; row < mBackupFilelist.size(); ++row) {
        const AMediaFile& media = mBackupFilelist.at(row);
        const QFileInfo info(media.path());
        auto* name = new QTableWidgetItem(info.fileName());
        name->setToolTip(media.path());
        auto* date = new QTableWidgetItem(
            media.fileDate().toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        auto* size =
            new QTableWidgetItem(info.exists() ? locale.formattedDataSize(info.size()) : QStringLiteral("-"));
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        mTableView->setItem(row, 0, name);
        mTableView->setItem(row, 1, date);
        mTableView->setItem(row, 2, size);
    }
    m_evidenceCheck = new QCheckBox(this);
    m_evidenceCheck->setObjectName(QStringLiteral("evidenceCheckBox"));
    m_evidenceCheck->hide();
    m_okButton = new QPushButton(this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setDefault(true);
    m_cancelButton = new QPushButton(this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    connect(m_okButton, &QPushButton::clicked, this, &BackupDlg::okButtonAction);
    connect(m_cancelButton, &QPushButton::clicked, this, &BackupDlg::cancelButtonAction);
    connect(this, &QDialog::finished, this, [] { pmWriteLogQ(QStringLiteral("BackupDlg End")); });
    // Ctrl+A chooses every row wherever the focus is in the window.
    auto* selectAll = new QShortcut(QKeySequence::SelectAll, this);
    connect(selectAll, &QShortcut::activated, mTableView, &QTableWidget::selectAll);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_evidenceCheck);
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_okButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_selFileTitleLab);
    layout->addWidget(mTableView, 1);
    layout->addLayout(buttons);
    resize(560, 400);
    setLayerString();
}

BackupDlg::~BackupDlg() = default;

void BackupDlg::setTitle(const QString& title)
{
    m_strBackupTitle = title;
    setWindowTitle(title);
}

void BackupDlg::setEvidenceOptionVisible(bool visible)
{
    m_evidenceCheck->setVisible(visible);
    if (!visible)
        m_evidenceCheck->setChecked(false);
}

bool BackupDlg::isEvidencePackage() const
{
    return m_evidenceCheck->isChecked();
}

void BackupDlg::setLayerString()
{
    m_okButton->setText(pmLoadString(QStringLiteral("IDS_OK")));
    m_cancelButton->setText(pmLoadString(QStringLiteral("IDS_CANCEL")));
    setWindowTitle(m_strBackupTitle);
    m_selFileTitleLab->setText(QStringLiteral("%1:").arg(pmLoadString(QStringLiteral("IDS_VIDEO_FILES"))));
    m_evidenceCheck->setText(pmLoadString(QStringLiteral("IDS_EVIDENCE_PACKAGE")));
    mTableView->setHorizontalHeaderLabels({pmLoadString(QStringLiteral("IDS_FILE_NAME")),
                                           pmLoadString(QStringLiteral("IDS_FILE_DATE")),
                                           pmLoadString(QStringLiteral("IDS_FILE_SIZE"))});
}

QList<int> BackupDlg::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : mTableView->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void BackupDlg::okButtonAction()
{
    const QList<int> rows = selectedRows();
    m_nSelCount = static_cast<int>(rows.size());
    // Nothing chosen is a slip, not an answer: say so and stay open.
    if (rows.isEmpty()) {
        pmMessageBox(pmLoadString(QStringLiteral("IDS_BACKUP_NOTHING_SELECTED")));
        return;
    }
    if (m_nMaxSelFileCount > 0 && m_nSelCount > m_nMaxSelFileCount) {
        pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_OVER_MAX_UPLOAD")));
        return;
    }
    reportResult(true, rows);
}

void BackupDlg::cancelButtonAction()
{
    reportResult(false, QList<int>());
}

void BackupDlg::reportResult(bool chosen, const QList<int>& selectedFile)
{
    if (m_bPosted)
        return;
    m_bPosted = true;
    const bool evidence = isEvidencePackage();
    endWaitingWindow();
    if (chosen)
        Q_EMIT rowsChosen(selectedFile, evidence);
}

void BackupDlg::endWaitingWindow()
{
    // Hides the window and ends its modal run; finished() follows once.
    done(QDialog::Accepted);
}

void BackupDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_bLoggedStart)
        return;
    m_bLoggedStart = true;
    pmCentreOnParentWindow(this);
    setLayerString();
    pmWriteLogQ(QStringLiteral("BackupDlg Start"));
}

void BackupDlg::reject()
{
    // Escape and the close box are Cancel, so the controller stops waiting.
    cancelButtonAction();
}
