#include "app/AboutDialog.h"

#include "base/PlayerKeys.h"
#include "base/Services.h"
#include "controls/StandardDialogs.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace
{
constexpr int kCopyrightYear = 2020;
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutDialog"));
    pmApplySkinPalette(this);
    setWindowTitle(pmLoadString(QStringLiteral("IDS_ABOUT")));

    auto* layout = new QVBoxLayout(this);
    m_logo = new QLabel(this);
    m_logo->setObjectName(QStringLiteral("aboutLogo"));
    m_logo->setAlignment(Qt::AlignCenter);
    const QPixmap logo = pmLoadAppImage(QStringLiteral("icon_logo_talvern.png"));
    if (!logo.isNull())
        m_logo->setPixmap(logo);
    else
        m_logo->hide();
    layout->addWidget(m_logo);

    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("aboutText"));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setText(
        pmLoadString(QStringLiteral("IDS_VERSION_COPYRIGHT")).arg(pmGetVersionString()).arg(kCopyrightYear));
    layout->addWidget(m_text);

    // The player's keys, two columns: the key, what it does.
    QString table = QStringLiteral("<p><b>%1</b></p><table cellspacing=\"2\">")
                        .arg(pmLoadString(QStringLiteral("IDS_KEYBOARD")).toHtmlEscaped());
    for (const PlayerShortcutRow& row : pmPlayerShortcutRows())
        table += QStringLiteral("<tr><td align=\"right\"><b>%1</b></td><td>&nbsp;&nbsp;%2</td></tr>")
                     .arg(row.keys.toHtmlEscaped(), row.action.toHtmlEscaped());
    table += QStringLiteral("</table>");
    m_shortcuts = new QLabel(this);
    m_shortcuts->setObjectName(QStringLiteral("aboutShortcuts"));
    m_shortcuts->setTextFormat(Qt::RichText);
    m_shortcuts->setText(table);
    layout->addWidget(m_shortcuts, 0, Qt::AlignHCenter);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_okButton = new QPushButton(pmLoadString(QStringLiteral("IDS_OK")), this);
    m_okButton->setObjectName(QStringLiteral("aboutOk"));
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(m_okButton);
    layout->addLayout(buttons);

    adjustSize();
    const QWidget* anchor = parent ? parent->window() : nullptr;
    QRect area = anchor && anchor->isVisible() ? anchor->frameGeometry() : QRect();
    if (!area.isValid() && QGuiApplication::primaryScreen())
        area = QGuiApplication::primaryScreen()->availableGeometry();
    if (area.isValid())
        move(area.center() - rect().center());
}

QString AboutDialog::text() const
{
    return m_text->text();
}
