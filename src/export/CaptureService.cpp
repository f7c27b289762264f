#include "export/CaptureService.h"

#include "base/MetricFont.h"
#include "base/Services.h"
#include "base/WorkerJob.h"
#include "controls/CapturePreviewDlg.h"
#include "core/CaptureLayout.h"
#include "core/Clock.h"
#include "core/GpsData.h"
#include "core/Log.h"
#include "views/MapLogic.h"
#include "views/MapView.h"
#include "views/PrintWindowController.h"

#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace
{
void captureFailed(const QString& where, const QString& reason)
{
    pmWriteLogQ(QStringLiteral("AppDelegate::%1 - %2").arg(where, reason));
}
} // namespace

CaptureService::CaptureService(QObject* parent) : QObject(parent) {}

// The frame jobs are children: they are destroyed (their decodes waited for)
// after this, and their answers with them.
CaptureService::~CaptureService() = default;

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

VideoPlayerView::State CaptureService::playState() const
{
    return m_hooks.playState ? m_hooks.playState() : VideoPlayerView::StateNoPlayer;
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

// The pointer shows the program busy while the frames are decoded, from the
// press until the window (or the message) opens.
struct BusyPointer {
    BusyPointer() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyPointer() { QGuiApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

struct CaptureService::Taking {
    BusyPointer busy;
    Moment moment;
    std::function<void(const Moment&, const Frames&)> done;
    std::function<void()> failed;
    FrameGrab first, rear;
    int waiting = 0; // frames still being decoded
};

void CaptureService::takeCaptureFrames(bool forPrint, std::function<void(const Moment&, const Frames&)> done,
                                       std::function<void()> failed)
{
    m_strCaptureError.clear();
    // A surface still opening has no current time to take a frame at.
    if (!m_hooks.surfaceReady || !m_hooks.surfaceReady() || !m_hooks.position) {
        m_strCaptureError = QStringLiteral("the recording is still opening");
        reportFramesFailed();
        failed();
        return;
    }
    auto taking = std::make_unique<Taking>();
    Moment& m = taking->moment;
    m.time = m_hooks.position();
    m.two = m_hooks.hasSecondCamera && m_hooks.hasSecondCamera();
    m.path1 = recordingPath(1);
    m.path2 = m.two ? recordingPath(2) : QByteArray();
    m.stamped = m_hooks.timeStampShown && m_hooks.timeStampShown();
    m.stamp = m_hooks.timeStampTextAt ? m_hooks.timeStampTextAt(m.time) : std::nullopt;
    if (m_hooks.zoomOf) {
        m.zoom1 = pmClampZoom(m_hooks.zoomOf(1));
        m.zoom2 = m.two ? pmClampZoom(m_hooks.zoomOf(2)) : PictureZoom();
    }
    const GpsData* sample = m_hooks.sampleAt ? m_hooks.sampleAt(m.time) : nullptr;
    if (forPrint) {
        PrintPageData& data = m.page;
        data.gsensorImage = m_hooks.gsensorBitmap ? m_hooks.gsensorBitmap() : QImage();
        // The values of the second the printed frame is in.
        if (sample) {
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
            data.directionText = MapLogic::directionString(data.sample.direction,
                                                           pmLoadString(QStringLiteral("IDS_UNIT_DEGREE")));
        }
        const CaptureDate today = pmCaptureDate(pmNow());
        data.printDate = QDate(today.year, today.month, today.day);
    } else {
        const std::string model = m_hooks.modelName ? m_hooks.modelName().toStdString() : std::string();
        const std::string software = "Rovix Manager " + pmGetVersionString().toStdString();
        m.exif1 = pmCaptureExifFor(m.path1.toStdString(), m.time, sample, model, software);
        m.exif2 = pmCaptureExifFor(recordingPath(2).toStdString(), m.time, sample, model, software);
    }
    taking->done = std::move(done);
    taking->failed = std::move(failed);
    taking->waiting = m.two ? 2 : 1;
    // Each camera's file is decoded on a worker of its own, side by side. A
    // decode is bounded by its file; the service going away waits for it.
    auto grab = [this](int camera, const QByteArray& path, double time) {
        auto* job = new WorkerJob<FrameGrab>(this, {});
        job->start([path, time] { return pmGrabFrame(path, time); },
                   [this, job, camera](const FrameGrab& result) {
                       job->deleteLater();
                       frameArrived(camera, result);
                   });
    };
    const double time = m.time;
    const QByteArray path1 = m.path1, path2 = m.path2;
    const bool two = m.two;
    m_taking = std::move(taking);
    grab(1, path1, time);
    if (two)
        grab(2, path2, time);
}

void CaptureService::frameArrived(int camera, const FrameGrab& grab)
{
    if (!m_taking)
        return;
    (camera == 1 ? m_taking->first : m_taking->rear) = grab;
    if (--m_taking->waiting > 0)
        return;
    // Taken: the next command may start, even from what `done` opens.
    const std::unique_ptr<Taking> taking = std::move(m_taking);
    if (taking->first.image.isNull())
        m_strCaptureError = QStringLiteral("camera 1: %1").arg(taking->first.error);
    else if (taking->moment.two && taking->rear.image.isNull())
        m_strCaptureError = QStringLiteral("camera 2: %1").arg(taking->rear.error);
    if (!m_strCaptureError.isEmpty()) {
        reportFramesFailed();
        taking->failed();
        return;
    }
    taking->done(taking->moment, stampedFrames(taking->moment, taking->first, taking->rear));
}

void CaptureService::reportFramesFailed()
{
    captureFailed(QStringLiteral("takeCaptureFrames"), m_strCaptureError);
    pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_CAPTURE_FRAME")));
    Q_EMIT framesFailed(m_strCaptureError);
}

CaptureService::Frames CaptureService::stampedFrames(const Moment& m, const FrameGrab& first,
                                                     const FrameGrab& rear)
{
    Frames out;
    out.image1 = m.stamped ? drawTimeStampText(first.image, m.stamp) : first.image;
    if (m.two)
        out.image2 = drawTimeStampText(rear.image, m.stamp);
    // The part is cut from the frame as decoded, before the time stamp is
    // drawn, so the stamp stays whole and readable.
    ShownParts& shown = out.shown;
    if (m.zoom1.isZoomed()) {
        shown.frame1 = first.image.size();
        shown.part1 = shownPixels(m.zoom1, shown.frame1);
        shown.factor1 = m.zoom1.factor;
        const QImage part = first.image.copy(shown.part1);
        shown.image1 = m.stamped ? drawTimeStampText(part, m.stamp) : part;
    }
    if (m.two && m.zoom2.isZoomed()) {
        shown.frame2 = rear.image.size();
        shown.part2 = shownPixels(m.zoom2, shown.frame2);
        shown.factor2 = m.zoom2.factor;
        shown.image2 = drawTimeStampText(rear.image.copy(shown.part2), m.stamp);
    }
    return out;
}

std::function<void(QByteArray&, const QImage&)>
CaptureService::captureExifWriter(const Moment& m, const QImage& image2, const ShownParts& shown)
{
    auto described = [](CaptureExif exif, double factor, QRect part, QSize frame) {
        exif.imageDescription = pmZoomedCaptureDescription(factor, part.x(), part.y(), part.width(),
                                                           part.height(), frame.width(), frame.height());
        return exif;
    };
    std::vector<std::pair<QImage, CaptureExif>> byPicture = {{QImage(), m.exif1}, {image2, m.exif2}};
    if (!shown.image1.isNull())
        byPicture.emplace_back(shown.image1, described(m.exif1, shown.factor1, shown.part1, shown.frame1));
    if (!shown.image2.isNull())
        byPicture.emplace_back(shown.image2, described(m.exif2, shown.factor2, shown.part2, shown.frame2));
    return pmCaptureExifWriter(byPicture);
}

void CaptureService::onButtonCapture()
{
    pmWriteLog("AppDelegate::onButtonCapture");
    const VideoPlayerView::State state = playState();
    if (state == VideoPlayerView::StateNoPlayer)
        return;
    if (mCaptureDlg || mPrintWindow || isTakingFrames())
        return; // one capture or print at a time
    if (m_hooks.pauseForFrame)
        m_hooks.pauseForFrame();
    auto resume = [this, state] {
        if (state == VideoPlayerView::StatePlaying && m_hooks.resumePlayback)
            m_hooks.resumePlayback();
    };
    takeCaptureFrames(
        false,
        [this, resume](const Moment& moment, const Frames& frames) { openCapture(moment, frames, resume); },
        resume);
}

void CaptureService::openCapture(const Moment& moment, const Frames& frames,
                                 const std::function<void()>& resume)
{
    // The preview opens window-modal and this handler returns; what follows
    // its closing runs from the main loop once it has closed.
    const ShownParts& shown = frames.shown;
    auto* dialog = new CapturePreviewDlg(frames.image1, frames.image2, window());
    if (!shown.image1.isNull() || !shown.image2.isNull())
        dialog->offerShownPart(shown.image1.isNull() ? frames.image1 : shown.image1,
                               shown.image2.isNull() ? frames.image2 : shown.image2);
    dialog->jpegMetadata = captureExifWriter(moment, frames.image2, shown);
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
    if (playState() == VideoPlayerView::StateNoPlayer)
        return;
    if (mCaptureDlg || mPrintWindow || isTakingFrames())
        return;
    pmWriteLog("printPreview Start");
    if (m_hooks.pauseForFrame)
        m_hooks.pauseForFrame();
    takeCaptureFrames(
        true, [this](const Moment& moment, const Frames& frames) { openPrint(moment, frames); }, [] {});
}

void CaptureService::openPrint(const Moment& moment, const Frames& frames)
{
    PrintPageData data = moment.page;
    data.videoImage = frames.image1;
    data.videoImage2 = frames.image2;
    auto* printWindow = new PrintWindowController(data, window());
    printWindow->setAttribute(Qt::WA_DeleteOnClose);
    mPrintWindow = printWindow;
    connect(printWindow, &QDialog::finished, this, [this](int) {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT printClosed(); }, Qt::QueuedConnection);
    });
    printWindow->open();
}
