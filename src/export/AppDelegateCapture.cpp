// Frame capture and printing: the toolbar's capture and print commands, the
// frames of camera 1 and camera 2 at camera 1's current time (read from the
// recording files at full resolution, export/FrameGrabber.h), and the time
// stamp drawn into them. The dialogs are widgets that get the pictures ready
// made (controls/CapturePreviewDlg.h, views/PrintWindowController.h).
#include "app/AppDelegate.h"

#include "app/MainWindow.h"
#include "base/MetricFont.h"
#include "base/Services.h"
#include "controls/CapturePreviewDlg.h"
#include "core/CaptureLayout.h"
#include "core/Clock.h"
#include "core/Log.h"
#include "export/FrameGrabber.h"
#include "views/GSensorView.h"
#include "views/MapLogic.h"
#include "views/MapView.h"
#include "views/PrintWindowController.h"
#include "views/VideoPlayerView.h"

#include <QFile>
#include <QPainter>
#include <future>

namespace
{
void captureFailed(const QString& where, const QString& reason)
{
    pmWriteLogQ(QStringLiteral("AppDelegate::%1 - %2").arg(where, reason));
}
} // namespace

QByteArray AppDelegate::currentNativePath(int camera) const
{
    const int index = camera == 1 ? m_nCurPlayIndex : m_nCurPlayIndex2;
    const QUrl& asset = camera == 1 ? _currectasset : _currectasset2;
    if (asset.isEmpty())
        return QByteArray();
    // The playlist keeps the name's own bytes, which a URL cannot carry for
    // every name; it still holds the entry unless the folder check rebuilt it.
    if (index >= 0 && index < mPlaylist.size() && mPlaylist.at(index).URL() == asset)
        return mPlaylist.at(index).nativePath();
    return QFile::encodeName(asset.toLocalFile());
}

QImage AppDelegate::resizedImage(const QImage& image, int width, int height)
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

QImage AppDelegate::drawTimeStamp(const QImage& image)
{
    return drawTimeStampText(image, getTimeStampString());
}

QImage AppDelegate::drawTimeStampAt(const QImage& image, double frameTime)
{
    return drawTimeStampText(image, timeStampStringAt(frameTime));
}

QImage AppDelegate::drawTimeStampText(const QImage& image, const std::optional<QString>& text)
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

QImage AppDelegate::getCurrentImage()
{
    m_strCaptureError.clear();
    if (!_videoPlayView || _currectasset.isEmpty()) {
        m_strCaptureError = QStringLiteral("no recording is open");
        return QImage();
    }
    const double time = _videoPlayView->getitemTime();
    const FrameGrab grab = pmGrabFrame(currentNativePath(1), time);
    if (grab.image.isNull()) {
        m_strCaptureError = grab.error;
        captureFailed(QStringLiteral("getCurrentImage"), grab.error);
        return QImage();
    }
    return m_nShowTimeStamp == 1 ? drawTimeStampAt(grab.image, time) : grab.image;
}

QImage AppDelegate::getCurrentImage2()
{
    m_strCaptureError.clear();
    if (!has2Videos() || !_videoPlayView || _currectasset2.isEmpty()) {
        m_strCaptureError = QStringLiteral("no second camera");
        return QImage();
    }
    const double time = _videoPlayView->getitemTime();
    const FrameGrab grab = pmGrabFrame(currentNativePath(2), time);
    if (grab.image.isNull()) {
        m_strCaptureError = grab.error;
        captureFailed(QStringLiteral("getCurrentImage2"), grab.error);
        return QImage();
    }
    return drawTimeStampAt(grab.image, time);
}

bool AppDelegate::takeCaptureFrames(QImage& image1, QImage& image2, double* frameTime)
{
    image1 = QImage();
    image2 = QImage();
    m_strCaptureError.clear();
    const bool two = has2Videos();
    // A surface still opening has no current time to take a frame at.
    if (!_videoPlayView || m_bVideoLoading || _videoPlayView->getPlayerStatus() != 1) {
        m_strCaptureError = QStringLiteral("the recording is still opening");
    } else {
        const double time = _videoPlayView->getitemTime();
        if (frameTime)
            *frameTime = time;
        std::future<FrameGrab> second;
        if (two)
            second = std::async(std::launch::async, pmGrabFrame, currentNativePath(2), time);
        const FrameGrab first = pmGrabFrame(currentNativePath(1), time);
        const FrameGrab rear = two ? second.get() : FrameGrab();
        if (first.image.isNull())
            m_strCaptureError = QStringLiteral("camera 1: %1").arg(first.error);
        else if (two && rear.image.isNull())
            m_strCaptureError = QStringLiteral("camera 2: %1").arg(rear.error);
        else {
            image1 = m_nShowTimeStamp == 1 ? drawTimeStampAt(first.image, time) : first.image;
            if (two)
                image2 = drawTimeStampAt(rear.image, time);
            return true;
        }
    }
    captureFailed(QStringLiteral("takeCaptureFrames"), m_strCaptureError);
    pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_CAPTURE_FRAME")));
    return false;
}

QImage AppDelegate::getGSensorBitmap() const
{
    return mGSensorView ? mGSensorView->getGensorBitmap() : QImage();
}

CapturePreviewDlg* AppDelegate::captureDialog() const
{
    return mCaptureDlg.data();
}

PrintWindowController* AppDelegate::printWindow() const
{
    return mPrintWindow.data();
}

void AppDelegate::onButtonCapture()
{
    pmWriteLog("AppDelegate::onButtonCapture");
    const int state = getState();
    if (state == PlayStateStopped)
        return;
    if (mCaptureDlg || mPrintWindow)
        return; // one capture or print window at a time
    pausePlayback();
    // The time stamp names the second on screen now that playback has stopped.
    drawTime();
    QImage image1, image2;
    double frame = 0;
    if (!takeCaptureFrames(image1, image2, &frame)) {
        if (state == PlayStatePlaying)
            onButtonPlay();
        return;
    }
    // The preview opens window-modal and this handler returns; what follows
    // its closing runs from the main loop once it has closed.
    auto* dialog = new CapturePreviewDlg(image1, image2, m_window);
    dialog->jpegMetadata = captureExifWriter(frame, image2);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    mCaptureDlg = dialog;
    connect(dialog, &QDialog::finished, this, [this, dialog, state](int) {
        const bool saved = dialog->isOK();
        QMetaObject::invokeMethod(
            this,
            [this, state, saved] {
                if (state == PlayStatePlaying && !saved)
                    onButtonPlay();
                Q_EMIT captureClosed();
            },
            Qt::QueuedConnection);
    });
    dialog->open();
}

void AppDelegate::onButtonPrint()
{
    if (getState() == PlayStateStopped)
        return;
    if (mCaptureDlg || mPrintWindow)
        return;
    pmWriteLog("printPreview Start");
    pausePlayback();
    drawTime();
    PrintPageData data;
    double frameTime = 0;
    if (!takeCaptureFrames(data.videoImage, data.videoImage2, &frameTime))
        return;
    data.gsensorImage = getGSensorBitmap();
    // The values of the second the printed frame is in.
    if (const GpsData* sample = gpsDataOfFrame(frameTime)) {
        data.sample.direction = sample->fDirection();
        data.sample.longitude = sample->fLongitude();
        data.sample.latitude = sample->fLatitude();
        data.sample.altitude = static_cast<float>(sample->dAltitude());
        data.sample.speed = sample->fSpeed();
    }
    if (mMapView) {
        data.directionText = mMapView->GetDirectionString(data.sample.direction);
        data.speedUnit = mMapView->getSpeedUnit();
    } else {
        data.directionText =
            MapLogic::directionString(data.sample.direction, pmLoadString(QStringLiteral("IDS_UNIT_DEGREE")));
    }
    const CaptureDate today = pmCaptureDate(pmNow());
    data.printDate = QDate(today.year, today.month, today.day);
    auto* window = new PrintWindowController(data, m_window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    mPrintWindow = window;
    connect(window, &QDialog::finished, this, [this](int) {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT printClosed(); }, Qt::QueuedConnection);
    });
    window->open();
}
