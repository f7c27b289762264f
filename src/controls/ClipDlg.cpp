#include "controls/ClipDlg.h"
#include "controls/StandardDialogs.h"

#include "base/Services.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

ClipDlg::ClipDlg(int beforeSeconds, int afterSeconds, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("clipDialog"));
    setWindowTitle(pmLoadString(QStringLiteral("IDS_CLIP_TITLE")));
    setAttribute(Qt::WA_DeleteOnClose);
    pmApplySkinPalette(this);
    auto* form = new QFormLayout;
    auto makeBox = [this](const char* name, int value) {
        auto* box = new QSpinBox(this);
        box->setObjectName(QLatin1String(name));
        box->setRange(0, kMaxSeconds);
        box->setValue(value);
        box->setSuffix(QStringLiteral(" s"));
        return box;
    };
    m_before = makeBox("clipBefore", beforeSeconds);
    m_after = makeBox("clipAfter", afterSeconds);
    form->addRow(pmLoadString(QStringLiteral("IDS_CLIP_BEFORE")), m_before);
    form->addRow(pmLoadString(QStringLiteral("IDS_CLIP_AFTER")), m_after);
    m_overlay = new QCheckBox(pmLoadString(QStringLiteral("IDS_CLIP_OVERLAY")), this);
    m_overlay->setObjectName(QStringLiteral("clipOverlay"));
    form->addRow(m_overlay);
    m_note = new QLabel(pmLoadString(QStringLiteral("IDS_CLIP_EMPTY")), this);
    m_note->setObjectName(QStringLiteral("clipEmptyNote"));
    m_note->setWordWrap(true);
    m_note->hide();
    form->addRow(m_note);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* save =
        buttons->addButton(pmLoadString(QStringLiteral("IDS_OK")), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("clipSave"));
    save->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(pmLoadString(QStringLiteral("IDS_CANCEL")), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("clipCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        // Nothing to cut: both lengths 0. The window stays, saying so.
        if (m_before->value() + m_after->value() <= 0) {
            m_note->show();
            m_before->setFocus();
            m_before->selectAll();
            return;
        }
        const int before = m_before->value(), after = m_after->value();
        const bool overlay = m_overlay->isChecked();
        accept();
        Q_EMIT chosen(before, after, overlay);
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QSpinBox* box : {m_before, m_after})
        connect(box, qOverload<int>(&QSpinBox::valueChanged), m_note, &QWidget::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}
