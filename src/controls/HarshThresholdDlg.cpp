#include "controls/HarshThresholdDlg.h"

#include "base/Services.h"
#include "controls/StandardDialogs.h"
#include "core/HarshEvents.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

HarshThresholdDlg::HarshThresholdDlg(double thresholdG, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("harshThresholdDialog"));
    setWindowTitle(pmLoadString(QStringLiteral("IDS_HARSH_THRESHOLD_TITLE")));
    setAttribute(Qt::WA_DeleteOnClose);
    pmApplySkinPalette(this);
    auto* form = new QFormLayout(this);
    m_value = new QLineEdit(QString::number(thresholdG, 'f', 2), this);
    m_value->setObjectName(QStringLiteral("harshThresholdValue"));
    form->addRow(pmLoadString(QStringLiteral("IDS_HARSH_THRESHOLD_LABEL")), m_value);
    m_reason = new QLabel(this);
    m_reason->setObjectName(QStringLiteral("harshThresholdReason"));
    m_reason->setWordWrap(true);
    m_reason->hide();
    form->addRow(m_reason);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok =
        buttons->addButton(pmLoadString(QStringLiteral("IDS_OK")), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("harshThresholdOk"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(pmLoadString(QStringLiteral("IDS_CANCEL")), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("harshThresholdCancel"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        double value = 0;
        const QString why = problemOf(m_value->text(), value);
        if (!why.isEmpty()) {
            m_reason->setText(why);
            m_reason->show();
            m_value->setFocus();
            m_value->selectAll();
            return;
        }
        Q_EMIT chosen(value);
        accept();
    });
}

QString HarshThresholdDlg::problemOf(const QString& text, double& thresholdG)
{
    // A comma is the decimal mark on many keyboards.
    const QString plain = text.trimmed().replace(QLatin1Char(','), QLatin1Char('.'));
    std::string why;
    if (parseHarshThreshold(plain.toStdString(), thresholdG, why))
        return QString();
    bool number = false;
    const double value = plain.toDouble(&number);
    if (!number || !std::isfinite(value))
        return pmLoadString(QStringLiteral("IDS_HARSH_THRESHOLD_NOT_NUMBER")).arg(text.trimmed());
    return pmLoadString(QStringLiteral("IDS_HARSH_THRESHOLD_RANGE"))
        .arg(QString::number(harsh::kMinThresholdG, 'f', 1), QString::number(harsh::kMaxThresholdG, 'f', 1));
}
