// The time-stamp overlay (see TimeStampOverlay.h): its text follows every
// tick, seek and stop; it sits in the lower right corner of the picture as
// fitted into its host.
#include "playback/TimeStampOverlay.h"

#include "playback/CurrentTrack.h"
#include "playback/SurfacePair.h"

#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "core/CameraClock.h"
#include "core/GpsList.h"
#include "core/Log.h"
#include "core/TimeStampText.h"
#include "views/MpvPlayer.h"
#include "views/VideoFit.h"
#include "views/VideoPlayerView.h"

#include <QFont>
#include <QLabel>
#include <cmath>

namespace
{
// The overlay's own size: four lines of the longest texts it shows.
QSize overlaySize(const QLabel& label)
{
    const QFontMetrics fm(label.font());
    const QString widest = QStringLiteral("N 180°59'59.9\"  E 180°59'59.9\"");
    const int width = fm.horizontalAdvance(widest) + 16;
    const int height = fm.lineSpacing() * 4 + 8;
    return QSize(width, height);
}
} // namespace

QLabel* TimeStampOverlay::label()
{
    if (m_label)
        return m_label.data();
    QWidget* parent = m_host.data();
    if (!parent)
        return nullptr;
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("mTimeStamp"));
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(12);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("QLabel { color: white; background-color: rgba(0, 0, 0, 150); "
                                        "padding: 3px 6px; }"));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setText(QStringLiteral(" "));
    label->resize(overlaySize(*label));
    label->hide();
    m_label = label;
    return label;
}

QLabel* TimeStampOverlay::existingLabel() const
{
    return m_label.data();
}

bool TimeStampOverlay::isShown() const
{
    return m_label && !m_label->isHidden();
}

void TimeStampOverlay::setText(const QString& text)
{
    QLabel* label = this->label();
    if (!label)
        return;
    // The overlay is placed by its lower right corner; when a new text changes
    // its size, keep that corner where the placement put it.
    const QPoint corner = label->geometry().bottomRight();
    label->setText(text);
    const QSize size = overlaySize(*label);
    if (size != label->size())
        label->setGeometry(corner.x() - size.width() + 1, corner.y() - size.height() + 1, size.width(),
                           size.height());
}

void TimeStampOverlay::setVisible(bool visible)
{
    QLabel* label = this->label();
    if (!label)
        return;
    label->setVisible(visible);
    if (visible)
        label->raise();
}

double TimeStampOverlay::frameTime(const VideoPlayerView* surface, double surfaceTime)
{
    // The surface keeps its time as the nearest whole second, which names the
    // next second for a frame in the second half of one. The player's own
    // position says which second the frame on screen is in. While a seek is
    // on its way, or the rewind after the end, the player still reports the
    // old place: the surface's time (the seek's target) stands then.
    if (surface) {
        const MpvPlayer* player = surface->player();
        if (player && player->isOpen() && player->hasTimePos() && !player->isSeeking()) {
            const double position = player->timePos();
            if (std::isfinite(position) && std::fabs(position - surfaceTime) <= 1.5)
                return position;
        }
    }
    return surfaceTime;
}

const GpsData* TimeStampOverlay::sampleOfFrame(const GpsList& track, double position)
{
    if (track.GetDataCount() == 0)
        return nullptr;
    const int second = pmFrameSecond(position);
    if (second >= GpsList::kMaxVideoSeconds)
        return nullptr;
    return track.GetGpsData(second);
}

std::optional<QString> TimeStampOverlay::textAt(double position, const GpsList& track, bool open) const
{
    TimeStampInputs in;
    in.rearCamTime = m_clockDifference ? pmCorrectedStart(m_start, *m_clockDifference) : m_start;
    in.currentTime = position;
    in.degreeText = pmLoadString(QStringLiteral("IDS_UNIT_DEGREE")).toStdString();
    // The unit the user chose on the map's info bar, as every speed the
    // program shows; the camera's own preference in its log does not override it.
    in.speedUnit = pmReadSetting(SettingsKeys::speedUnit);
    // A track is loaded once a recording has been opened; an empty one still
    // carries the camera's stamp preferences and model.
    if (open) {
        in.hasTrack = true;
        in.showSpeed = track.IsShowSpeed();
        in.stampType = track.GetStampType();
        in.textStamp = track.GetTextStamp();
        in.modelName = track.getModelName();
    }
    // The sample of the second the frame is in, as the date and time are.
    if (const GpsData* sample = sampleOfFrame(track, position)) {
        in.hasSample = true;
        in.latitude = sample->fLatitude();
        in.longitude = sample->fLongitude();
        in.speed = sample->fSpeed();
        in.gx = sample->fGSensorX();
        in.gy = sample->fGSensorY();
        in.gz = sample->fGSensorZ();
    }
    const std::optional<std::string> text = pmBuildTimeStampString(in);
    if (!text)
        return std::nullopt;
    return QString::fromStdString(*text);
}

std::optional<QString> TimeStampOverlay::showAt(double position, const GpsList& track, bool open)
{
    const std::optional<QString> text = textAt(position, track, open);
    setText(text ? *text : QStringLiteral(" "));
    return text;
}

void TimeStampOverlay::place(const QWidget* host, QSizeF video)
{
    pmWriteLogQ(QStringLiteral("AppDelegate - moveTimeStamp - timestamp = %1").arg(m_mode));
    if (m_mode == Off)
        return;
    QLabel* label = this->label();
    if (!label || !host)
        return;
    QWidget* content = label->parentWidget();

    // The host's frame in the content view.
    QRectF area(QPointF(host->mapTo(content, QPoint(0, 0))), QSizeF(host->size()));
    QSizeF picture = video;
    // The surface shows a recording smaller than its host at its own size
    // rather than enlarged; corner the stamp on the picture as it is shown,
    // not on the enlargement the host could hold. Larger recordings are
    // scaled down to fit, which the placement below computes the same way.
    if (video.width() > 0 && video.height() > 0) {
        const VideoFitLayout fit =
            pmFitVideo({area.x(), area.y(), area.width(), area.height()}, video.width(), video.height());
        if (fit.hasPicture && fit.picture.width <= video.width() && fit.picture.height <= video.height()) {
            area = QRectF(fit.picture.x, fit.picture.y, fit.picture.width, fit.picture.height);
            picture = area.size();
        }
    }
    // Turned to a bottom-left origin for the placement rule.
    const int contentHeight = content->height();
    const float x0 = static_cast<float>(area.x());
    const float y0 = static_cast<float>(contentHeight - area.y() - area.height());
    const QSize own = label->size();
    const OverlayPoint p =
        pmPlaceTimeStamp(x0, y0, static_cast<float>(area.width()), static_cast<float>(area.height()),
                         static_cast<float>(picture.width()), static_cast<float>(picture.height()),
                         static_cast<float>(own.width()), static_cast<float>(own.height()));
    label->move(p.x, contentHeight - p.y - own.height());
    label->raise();
    pmWriteLogQ(QString::asprintf("AppDelegate - moveTimeStamp - W = %f, H = %f",
                                  static_cast<double>(own.width()), static_cast<double>(own.height())));
}

void TimeStampOverlay::recordingOpened(int camera, const std::string& native)
{
    if (camera == 1 && pmGetCameraType(native) != kCameraRear) {
        m_mode = Off;
        return;
    }
    pmGetFileDateTime(native, m_start);
    m_mode = camera == 1 ? Front : Rear;
}

void TimeStampOverlay::check(const SurfacePair& pair, double position, const GpsList& track, bool open)
{
    const bool visible =
        (m_mode == Front && !pair.isSwitched()) || (m_mode == Rear && pair.hasRear() && pair.isSwitched());
    setVisible(visible);
    if (visible)
        showAt(position, track, open);
}

void TimeStampOverlay::placeOver(const SurfacePair& pair)
{
    const int camera = m_mode == Front ? 1 : 2;
    const VideoPlayerView* surface = pair.surface(camera);
    place(pair.host(camera), surface ? surface->getVideoResolution() : QSizeF(0, 0));
}

void TimeStampOverlay::follow(const SurfacePair* pair, const CurrentTrack* track,
                              std::function<double()> position)
{
    m_pair = pair;
    m_track = track;
    m_position = std::move(position);
}

std::optional<QString> TimeStampOverlay::textAtFrame(double position) const
{
    if (!m_track || !m_pair)
        return std::nullopt;
    return textAt(position, m_track->gps(), m_pair->isOpen());
}

std::optional<QString> TimeStampOverlay::textNow()
{
    const std::optional<QString> text = textAtFrame(m_position ? m_position() : 0);
    if (!text)
        setText(QStringLiteral(" "));
    return text;
}

void TimeStampOverlay::checkNow()
{
    if (m_pair && m_track)
        check(*m_pair, m_position ? m_position() : 0, m_track->gps(), m_pair->isOpen());
}

void TimeStampOverlay::placeNow()
{
    if (m_pair)
        placeOver(*m_pair);
}

void TimeStampOverlay::showNow()
{
    if (m_pair && m_track)
        showAt(m_position ? m_position() : 0, m_track->gps(), m_pair->isOpen());
}
