#include "export/CaptureService.h"

#include "base/MetricFont.h"
#include "base/Services.h"
#include "controls/CapturePreviewDlg.h"
#include "core/CaptureLayout.h"
#include "core/Clock.h"
#include "core/GpsData.h"
#include "core/Log.h"
#include "export/CaptureExif.h"
#include "export/FrameGrabber.h"
#include "views/MapLogic.h"
#include "views/MapView.h"
#include "views/PrintWindowController.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <future>

namespace
{
// The play states the hooks report.
constexpr int kStopped = 0;
constexpr int kPlaying = 2;

void captureFailed(const QString& where, const QString& reason)
{
    pmWriteLogQ(QStringLiteral("AppDelegate::%1 - %2").arg(where, reason));
}
} // namespace

CaptureService::CaptureService(QObject* parent) : QObject(parent) {}

CapturePreviewDlg* CaptureService::captureDialog() const
{
    return mCaptureDlg.data();
}

PrintWindowController* CaptureService::printWindow() const
{
    return mPrintWindow.data();
}

QWidget* CaptureService::window() const
{
    return m_hooks.window ? m_hooks.window() : nullptr;
}

int CaptureService::playState() const
{
    return m_hooks.playState ? m_hooks.playState() : kStopped;
}

QByteArray CaptureService::recordingPath(int camera) const
{
    return m_hooks.recordingPath ? m_hooks.recordingPath(camera) : QByteArray();
}

QImage CaptureService::resizedImage(const QImage& image, int width, int height)
{
    if (image.isNull() || width <= 0 || height <= 0)
        return QImage();
    QImage out(width, height, QImage::Format_ARGB32);
    if (out.isNull())
        return QImage();
    QPainter p(&out);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(QRectF(0, 0, width, height), image);
    p.end();
    return out;
}

QRect CaptureService::shownPixels(const PictureZoom& zoom, QSize frame)
{
    if (frame.isEmpty())
        return QRect();
    const PictureRegion part = pmZoomVisiblePart(zoom);
    const int w = std::clamp(static_cast<int>(std::lround(part.width * frame.width())), 1, frame.width());
    const int h = std::clamp(static_cast<int>(std::lround(part.height * frame.height())), 1, frame.height());
    const int x = std::clamp(static_cast<int>(std::lround(part.x * frame.width())), 0, frame.width() - w);
    const int y = std::clamp(static_cast<int>(std::lround(part.y * frame.height())), 0, frame.height() - h);
    return QRect(x, y, w, h);
}

QImage CaptureService::drawTimeStamp(const QImage& image)
{
    return drawTimeStampText(image, m_hooks.timeStampText ? m_hooks.timeStampText() : std::nullopt);
}

QImage CaptureService::drawTimeStampAt(const QImage& image, double frameTime)
{
    return drawTimeStampText(image,
                             m_hooks.timeStampTextAt ? m_hooks.timeStampTextAt(frameTime) : std::nullopt);
}

QImage CaptureService::drawTimeStampText(const QImage& image, const std::optional<QString>& text)
{
    if (image.isNull())
        return image;
    const int w = image.width();
    const int h = image.height();
    QImage drawn = image.convertToFormat(QImage::Format_RGB32);
    if (text) {
        const TimeStampPlacement place = pmTimeStampPlacement(w);
        QPainter p(&drawn);
        p.setFont(pmMetricSansFont(place.fontSize));
        p.setPen(Qt::white);
        // The text block's lower left corner at (x, y) from the bottom edge.
        p.drawText(QRectF(place.x, 0, w - place.x, h - place.y),
                   Qt::AlignLeft | Qt::AlignBottom | Qt::TextDontClip, *text);
    }
    // A picture drawn at a scale other than its own ends up with more pixels
    // than it had; bring it back to the frame's size.
    const int pixelWidth = static_cast<int>(drawn.width() * drawn.devicePixelRatio());
    if (pixelWidth == w)
        return drawn;
    const QImage resized = resizedImage(drawn, w, h);
    return resized.isNull() ? drawn : resized;
}

QImage CaptureService::getCurrentImage()
{
    m_strCaptureError.clear();
    const QByteArray path = recordingPath(1);
    if (path.isEmpty() || !m_hooks.position) {
        m_strCaptureError = QStringLiteral("no recording is open");
        return QImage();
    }
    const double time = m_hooks.position();
    const FrameGrab grab = pmGrabFrame(path, time);
    if (grab.image.isNull()) {
        m_strCaptureError = grab.error;
        captureFailed(QStringLiteral("getCurrentImage"), grab.error);
        return QImage();
    }
    const bool stamped = m_hooks.timeStampShown && m_hooks.timeStampShown();
    return stamped ? drawTimeStampAt(grab.image, time) : grab.image;
}

QImage CaptureService::getCurrentImage2()
{
    m_strCaptureError.clear();
    const QByteArray path = recordingPath(2);
    const bool two = m_hooks.hasSecondCamera && m_hooks.hasSecondCamera();
    if (!two || path.isEmpty() || !m_hooks.position) {
        m_strCaptureError = QStringLiteral("no second camera");
        return QImage();
    }
    const double time = m_hooks.position();
    const FrameGrab grab = pmGrabFrame(path, time);
    if (grab.image.isNull()) {
        m_strCaptureError = grab.error;
        captureFailed(QStringLiteral("getCurrentImage2"), grab.error);
        return QImage();
    }
    return drawTimeStampAt(grab.image, time);
}

bool CaptureService::takeCaptureFrames(QImage& image1, QImage& image2, double* frameTime, ShownParts* shown)
{
    image1 = QImage();
    image2 = QImage();
    m_strCaptureError.clear();
    const bool two = m_hooks.hasSecondCamera && m_hooks.hasSecondCamera();
    // A surface still opening has no current time to take a frame at.
    if (!m_hooks.surfaceReady || !m_hooks.surfaceReady() || !m_hooks.position) {
        m_strCaptureError = QStringLiteral("the recording is still opening");
    } else {
        const double time = m_hooks.position();
        if (frameTime)
            *frameTime = time;
        std::future<FrameGrab> second;
        if (two)
            second = std::async(std::launch::async, pmGrabFrame, recordingPath(2), time);
        const FrameGrab first = pmGrabFrame(recordingPath(1), time);
        const FrameGrab rear = two ? second.get() : FrameGrab();
        if (first.image.isNull())
            m_strCaptureError = QStringLiteral("camera 1: %1").arg(first.error);
        else if (two && rear.image.isNull())
            m_strCaptureError = QStringLiteral("camera 2: %1").arg(rear.error);
        else {
            const bool stamped = m_hooks.timeStampShown && m_hooks.timeStampShown();
            image1 = stamped ? drawTimeStampAt(first.image, time) : first.image;
            if (two)
                image2 = drawTimeStampAt(rear.image, time);
            if (shown && m_hooks.zoomOf) {
                // The part is cut from the frame as decoded, before the time
                // stamp is drawn, so the stamp stays whole and readable.
                *shown = ShownParts();
                const PictureZoom zoom1 = pmClampZoom(m_hooks.zoomOf(1));
                if (zoom1.isZoomed()) {
                    shown->frame1 = first.image.size();
                    shown->part1 = shownPixels(zoom1, shown->frame1);
                    shown->factor1 = zoom1.factor;
                    const QImage part = first.image.copy(shown->part1);
                    shown->image1 = stamped ? drawTimeStampAt(part, time) : part;
                }
                const PictureZoom zoom2 = two ? pmClampZoom(m_hooks.zoomOf(2)) : PictureZoom();
                if (zoom2.isZoomed()) {
                    shown->frame2 = rear.image.size();
                    shown->part2 = shownPixels(zoom2, shown->frame2);
                    shown->factor2 = zoom2.factor;
                    shown->image2 = drawTimeStampAt(rear.image.copy(shown->part2), time);
                }
            }
            return true;
        }
    }
    captureFailed(QStringLiteral("takeCaptureFrames"), m_strCaptureError);
    pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_CAPTURE_FRAME")));
    return false;
}

std::function<void(QByteArray&, const QImage&)>
CaptureService::captureExifWriter(double frameTime, const QImage& image2, const ShownParts& shown) const
{
    const GpsData* sample = m_hooks.sampleAt ? m_hooks.sampleAt(frameTime) : nullptr;
    const std::string model = m_hooks.modelName ? m_hooks.modelName().toStdString() : std::string();
    const std::string software = "Rovix Manager " + pmGetVersionString().toStdString();
    const CaptureExif camera1 =
        pmCaptureExifFor(recordingPath(1).toStdString(), frameTime, sample, model, software);
    const CaptureExif camera2 =
        pmCaptureExifFor(recordingPath(2).toStdString(), frameTime, sample, model, software);
    auto described = [](CaptureExif exif, double factor, QRect part, QSize frame) {
        exif.imageDescription = pmZoomedCaptureDescription(factor, part.x(), part.y(), part.width(),
                                                           part.height(), frame.width(), frame.height());
        return exif;
    };
    std::vector<std::pair<QImage, CaptureExif>> byPicture = {{QImage(), camera1}, {image2, camera2}};
    if (!shown.image1.isNull())
        byPicture.emplace_back(shown.image1, described(camera1, shown.factor1, shown.part1, shown.frame1));
    if (!shown.image2.isNull())
        byPicture.emplace_back(shown.image2, described(camera2, shown.factor2, shown.part2, shown.frame2));
    return pmCaptureExifWriter(byPicture);
}

void CaptureService::onButtonCapture()
{
    pmWriteLog("AppDelegate::onButtonCapture");
    const int state = playState();
    if (state == kStopped)
        return;
    if (mCaptureDlg || mPrintWindow)
        return; // one capture or print window at a time
    if (m_hooks.pauseForFrame)
        m_hooks.pauseForFrame();
    auto resume = [this, state] {
        if (state == kPlaying && m_hooks.resumePlayback)
            m_hooks.resumePlayback();
    };
    QImage image1, image2;
    double frame = 0;
    ShownParts shown;
    if (!takeCaptureFrames(image1, image2, &frame, &shown)) {
        resume();
        return;
    }
    // The preview opens window-modal and this handler returns; what follows
    // its closing runs from the main loop once it has closed.
    auto* dialog = new CapturePreviewDlg(image1, image2, window());
    if (!shown.image1.isNull() || !shown.image2.isNull())
        dialog->offerShownPart(shown.image1.isNull() ? image1 : shown.image1,
                               shown.image2.isNull() ? image2 : shown.image2);
    dialog->jpegMetadata = captureExifWriter(frame, image2, shown);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    mCaptureDlg = dialog;
    connect(dialog, &QDialog::finished, this, [this, dialog, resume](int) {
        const bool saved = dialog->isOK();
        QMetaObject::invokeMethod(
            this,
            [this, resume, saved] {
                if (!saved)
                    resume();
                Q_EMIT captureClosed();
            },
            Qt::QueuedConnection);
    });
    dialog->open();
}

void CaptureService::onButtonPrint()
{
    if (playState() == kStopped)
        return;
    if (mCaptureDlg || mPrintWindow)
        return;
    pmWriteLog("printPreview Start");
    if (m_hooks.pauseForFrame)
        m_hooks.pauseForFrame();
    PrintPageData data;
    double frameTime = 0;
    if (!takeCaptureFrames(data.videoImage, data.videoImage2, &frameTime))
        return;
    data.gsensorImage = m_hooks.gsensorBitmap ? m_hooks.gsensorBitmap() : QImage();
    // The values of the second the printed frame is in.
    if (const GpsData* sample = m_hooks.sampleAt ? m_hooks.sampleAt(frameTime) : nullptr) {
        data.sample.direction = sample->fDirection();
        data.sample.longitude = sample->fLongitude();
        data.sample.latitude = sample->fLatitude();
        data.sample.altitude = static_cast<float>(sample->dAltitude());
        data.sample.speed = sample->fSpeed();
    }
    // The unit chosen on the map's info bar, whether or not a map is shown.
    data.speedUnit = pmReadSetting(SettingsKeys::speedUnit);
    if (MapView* map = m_hooks.mapView ? m_hooks.mapView() : nullptr) {
        data.directionText = map->GetDirectionString(data.sample.direction);
    } else {
        data.directionText =
            MapLogic::directionString(data.sample.direction, pmLoadString(QStringLiteral("IDS_UNIT_DEGREE")));
    }
    const CaptureDate today = pmCaptureDate(pmNow());
    data.printDate = QDate(today.year, today.month, today.day);
    auto* printWindow = new PrintWindowController(data, window());
    printWindow->setAttribute(Qt::WA_DeleteOnClose);
    mPrintWindow = printWindow;
    connect(printWindow, &QDialog::finished, this, [this](int) {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT printClosed(); }, Qt::QueuedConnection);
    });
    printWindow->open();
}
