// The time-stamp overlay over the surface that plays a rear-camera recording:
// its text follows every tick, seek and stop; it is shown only while that
// surface is the large one; it sits in the lower right corner of the picture
// as fitted into its host. The text and the placement arithmetic are the
// core's (core/TimeStampText.h); this side gathers their inputs.
#include "playback/PlaybackSession.h"

#include "base/Services.h"
#include "core/Log.h"
#include "core/TimeStampText.h"
#include "views/MpvPlayer.h"
#include "views/VideoFit.h"

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

QLabel* PlaybackSession::timeStampLabel()
{
    if (mTimeStamp)
        return mTimeStamp.data();
    QWidget* parent = m_overlayHost.data();
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
    mTimeStamp = label;
    return label;
}

void PlaybackSession::setTimeStampText(const QString& text)
{
    QLabel* label = timeStampLabel();
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

void PlaybackSession::hideTimeStamp()
{
    setTimeStampVisible(false);
}

void PlaybackSession::setTimeStampVisible(bool visible)
{
    QLabel* label = timeStampLabel();
    if (!label)
        return;
    label->setVisible(visible);
    if (visible)
        label->raise();
}

double PlaybackSession::frameTime() const
{
    // The surface keeps its time as the nearest whole second, which names the
    // next second for a frame in the second half of one. The player's own
    // position says which second the frame on screen is in. While a seek is
    // on its way, or the rewind after the end, the player still reports the
    // old place: the surface's time (the seek's target) stands then.
    if (_videoPlayView) {
        const MpvPlayer* player = _videoPlayView->player();
        if (player && player->isOpen() && player->hasTimePos() && !player->isSeeking()) {
            const double position = player->timePos();
            if (std::isfinite(position) && std::fabs(position - mSelectedMovieCurrentTime) <= 1.5)
                return position;
        }
    }
    return mSelectedMovieCurrentTime;
}

const GpsData* PlaybackSession::gpsDataOfFrame(double position) const
{
    if (m_poGpsList.GetDataCount() == 0)
        return nullptr;
    const int second = pmFrameSecond(position);
    if (second >= GpsList::kMaxVideoSeconds)
        return nullptr;
    return m_poGpsList.GetGpsData(second);
}

std::optional<QString> PlaybackSession::timeStampStringAt(double position) const
{
    TimeStampInputs in;
    in.rearCamTime = m_stRearCamTime;
    in.currentTime = position;
    in.degreeText = pmLoadString(QStringLiteral("IDS_UNIT_DEGREE")).toStdString();
    // The unit the user chose on the map's info bar, as every speed the
    // program shows; the camera's own preference in its log does not override it.
    in.speedUnit = pmReadSetting(SettingsKeys::speedUnit);
    // A track is loaded once a recording has been opened; an empty one still
    // carries the camera's stamp preferences and model.
    if (!_currectasset.isEmpty() || !_currectasset2.isEmpty()) {
        in.hasTrack = true;
        in.showSpeed = m_poGpsList.IsShowSpeed();
        in.stampType = m_poGpsList.GetStampType();
        in.textStamp = m_poGpsList.GetTextStamp();
        in.modelName = m_poGpsList.getModelName();
    }
    // The sample of the second the frame is in, as the date and time are.
    if (const GpsData* sample = gpsDataOfFrame(position)) {
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

std::optional<QString> PlaybackSession::getTimeStampString()
{
    const std::optional<QString> text = timeStampStringAt(frameTime());
    if (!text)
        setTimeStampText(QStringLiteral(" "));
    return text;
}

void PlaybackSession::showTimeStamp()
{
    const std::optional<QString> text = getTimeStampString();
    setTimeStampText(text ? *text : QStringLiteral(" "));
}

void PlaybackSession::checkTimeStamp()
{
    const bool visible = (m_nShowTimeStamp == 1 && !m_bSwitchVideo) ||
                         (m_nShowTimeStamp == 2 && has2Videos() && m_bSwitchVideo);
    setTimeStampVisible(visible);
    if (visible)
        showTimeStamp();
}

void PlaybackSession::moveTimeStamp()
{
    pmWriteLogQ(QStringLiteral("AppDelegate - moveTimeStamp - timestamp = %1").arg(m_nShowTimeStamp));
    if (m_nShowTimeStamp == 0)
        return;
    QLabel* label = timeStampLabel();
    QWidget* host = playerHost(m_nShowTimeStamp == 1 ? 1 : 2);
    if (!label || !host)
        return;
    QWidget* content = label->parentWidget();
    const VideoPlayerView* surface = m_nShowTimeStamp == 1 ? _videoPlayView.data() : _videoPlayView2.data();
    const QSizeF video = surface ? surface->getVideoResolution() : QSizeF(0, 0);

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

QLabel* PlaybackSession::timeStamp() const
{
    return mTimeStamp.data();
}
