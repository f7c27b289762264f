#include "app/CameraClockCorrection.h"

#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "core/Log.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{
// A card's folder as stored: canonical, so a path through a link or with a
// trailing slash names the same card.
QString cardFolder(const QString& folder)
{
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

QJsonArray storedCards()
{
    return QJsonDocument::fromJson(pmReadSetting(SettingsKeys::correctedCameraClocks).toUtf8()).array();
}

bool sameCard(const QJsonValue& entry, const QString& folder, const QString& model)
{
    const QJsonObject card = entry.toObject();
    return card.value(QStringLiteral("folder")).toString() == folder &&
           card.value(QStringLiteral("model")).toString() == model;
}
} // namespace

CameraClockCorrection::CameraClockCorrection(QObject* parent) : QObject(parent) {}

CameraClockCorrection::~CameraClockCorrection() = default;

bool CameraClockCorrection::isStoredOn(const QString& folder, const QString& model)
{
    const QString key = cardFolder(folder);
    for (const QJsonValue& entry : storedCards())
        if (sameCard(entry, key, model))
            return true;
    return false;
}

void CameraClockCorrection::store(const QString& folder, const QString& model, bool on)
{
    const QString key = cardFolder(folder);
    QJsonArray cards;
    for (const QJsonValue& entry : storedCards())
        if (!sameCard(entry, key, model))
            cards.append(entry);
    if (on)
        cards.append(QJsonObject{{QStringLiteral("folder"), key}, {QStringLiteral("model"), model}});
    pmWriteSetting(SettingsKeys::correctedCameraClocks,
                   QString::fromUtf8(QJsonDocument(cards).toJson(QJsonDocument::Compact)));
}

void CameraClockCorrection::cardClosed()
{
    m_job.reset(); // a measure of the card before is of no use now
    m_folder.clear();
    m_model.clear();
    m_measured = false;
    m_clock.reset();
    m_inForce.reset();
}

void CameraClockCorrection::measure(const QString& folder, const QString& model,
                                    const std::vector<std::string>& recordings)
{
    m_job.reset();
    m_folder = folder;
    m_model = model;
    m_measured = false;
    m_clock.reset();
    m_job = std::make_unique<WorkerJob<std::optional<CameraClock>>>(this, nullptr);
    m_job->start(
        [recordings] {
            CameraClock clock;
            return pmCardCameraClock(recordings, clock) ? std::optional<CameraClock>(clock) : std::nullopt;
        },
        [this](const std::optional<CameraClock>& clock) {
            m_measured = true;
            m_clock = clock;
            if (clock)
                pmWriteLogQ(QStringLiteral("AppDelegate - camera clock of the card: %1 (%2 recordings)")
                                .arg(QString::fromStdString(pmCameraClockText(*clock)))
                                .arg(clock->samples));
            else
                pmWriteLog("AppDelegate - camera clock of the card: no recording carries GPS time");
            apply(true);
        });
}

bool CameraClockCorrection::isOn() const
{
    return !m_folder.isEmpty() && isStoredOn(m_folder, m_model);
}

void CameraClockCorrection::setOn(bool on)
{
    if (m_folder.isEmpty() || !m_clock)
        return;
    pmWriteLogQ(QStringLiteral("AppDelegate::setCameraClockCorrected - %1").arg(on ? 1 : 0));
    store(m_folder, m_model, on);
    apply(false);
}

void CameraClockCorrection::apply(bool afterBuild)
{
    const std::optional<int64_t> wanted =
        m_clock && isOn() ? std::optional<int64_t>(m_clock->differenceMs) : std::nullopt;
    if (wanted == m_inForce)
        return;
    m_inForce = wanted;
    Q_EMIT correctionChanged(wanted, afterBuild);
}

int CameraClockCorrection::menuState() const
{
    if (!m_clock)
        return -1;
    return isOn() ? 1 : 0;
}

QString CameraClockCorrection::menuToolTip() const
{
    if (m_folder.isEmpty())
        return QString();
    if (!m_measured)
        return pmLoadString(QStringLiteral("IDS_CAMERA_CLOCK_MEASURING"));
    if (!m_clock)
        return pmLoadString(QStringLiteral("IDS_CAMERA_CLOCK_NO_GPS_TIME"));
    return QString::fromStdString(pmCameraClockText(*m_clock));
}
