#include "controls/ClipDlg.h"
#include "controls/StandardDialogs.h"

#include "base/Services.h"

#include <QCheckBox>
#include <QComboBox>
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
    connect(m_overlay, &QCheckBox::toggled, this, [this] { layoutChanged(); });
    m_layout = new QComboBox(this);
    m_layout->setObjectName(QStringLiteral("clipLayout"));
    for (const char* word : {"separate", "side-by-side", "pip", "front", "rear"})
        m_layout->addItem(pmLoadString(QStringLiteral("IDS_CLIP_LAYOUT_") +
                                       QLatin1String(word).toString().toUpper().replace(QLatin1Char('-'),
                                                                                        QLatin1Char('_'))),
                          QLatin1String(word).toString());
    form->addRow(pmLoadString(QStringLiteral("IDS_CLIP_LAYOUT")), m_layout);
    m_corner = new QComboBox(this);
    m_corner->setObjectName(QStringLiteral("clipPipCorner"));
    for (int c = 0; c < 4; ++c)
        m_corner->addItem(pmLoadString(QStringLiteral("IDS_CLIP_CORNER_%1").arg(c)), c);
    form->addRow(pmLoadString(QStringLiteral("IDS_CLIP_CORNER")), m_corner);
    m_quality = new QSpinBox(this);
    m_quality->setObjectName(QStringLiteral("clipQuality"));
    m_quality->setRange(14, 35);
    m_quality->setValue(23);
    form->addRow(pmLoadString(QStringLiteral("IDS_CLIP_QUALITY")), m_quality);
    connect(m_layout, qOverload<int>(&QComboBox::currentIndexChanged), this, &ClipDlg::layoutChanged);
    layoutChanged();
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

void ClipDlg::setChoices(const QString& layout, int corner, int quality)
{
    const int at = m_layout->findData(layout);
    m_layout->setCurrentIndex(at >= 0 ? at : 0);
    const int c = m_corner->findData(corner);
    m_corner->setCurrentIndex(c >= 0 ? c : 3);
    m_quality->setValue(quality);
    layoutChanged();
}

QString ClipDlg::layoutWord() const
{
    return m_layout->currentData().toString();
}

int ClipDlg::corner() const
{
    return m_corner->currentData().toInt();
}

void ClipDlg::layoutChanged()
{
    const QString word = layoutWord();
    const bool separate = word == QLatin1String("separate");
    // The caption is drawn into the separate files only.
    m_overlay->setEnabled(separate);
    if (!separate)
        m_overlay->setChecked(false);
    m_corner->setEnabled(word == QLatin1String("pip"));
    m_quality->setEnabled(!separate);
}
