#pragma once
// Frame capture and printing: the toolbar's capture and print commands, the
// frames of camera 1 and camera 2 at camera 1's current time (read from the
// recording files at full resolution on workers, export/FrameGrabber.h), and
// the time stamp drawn into them. The dialogs are widgets that get the pictures ready
// made (controls/CapturePreviewDlg.h, views/PrintWindowController.h). What it
// needs from playback comes in through Hooks.
#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

#include "core/PictureZoom.h"
#include "export/CaptureExif.h"
#include "export/FrameGrabber.h"
#include "views/PrintCanvasView.h"
#include "views/VideoPlayerView.h"

#include <functional>
#include <memory>
#include <optional>

class CapturePreviewDlg;
class GpsData;
class MapView;
class PrintWindowController;
class QWidget;

class CaptureService : public QObject
{
    Q_OBJECT
public:
    struct Hooks {
        std::function<QWidget*()> window; // parent of the windows; may give null
        std::function<VideoPlayerView::State()> playState;
        // Pauses playback and brings the time stamp to the second on screen.
        std::function<void()> pauseForFrame;
        std::function<void()> resumePlayback; // the play button's action
        std::function<bool()> surfaceReady;   // camera 1's surface is open and not loading
        std::function<double()> position;     // camera 1's current time, seconds
        std::function<bool()> hasSecondCamera;
        // A camera's (1 or 2) open recording as the file system names it; empty when none.
        std::function<QByteArray(int)> recordingPath;
        std::function<bool()> timeStampShown;                  // the overlay belongs to camera 1's frame
        std::function<std::optional<QString>()> timeStampText; // of the frame on screen
        std::function<std::optional<QString>(double)> timeStampTextAt; // of a frame at this time
        std::function<const GpsData*(double)> sampleAt; // the track sample of that second, or null
        std::function<QString()> modelName;             // the camera model, for EXIF
        std::function<QImage()> gsensorBitmap;          // the G-sensor panel's picture
        std::function<MapView*()> mapView;              // may give null
        // A camera's (1 or 2) digital zoom on screen; none: not zoomed.
        std::function<PictureZoom(int)> zoomOf;
    };

    explicit CaptureService(QObject* parent = nullptr);
    ~CaptureService() override;
    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    // The toolbar's capture and print commands. Both pause playback, take the
    // frames of that moment on workers and open their modal window once the
    // frames are in; capture resumes playback afterwards when it was playing
    // and nothing was saved (or no frame could be taken), print leaves it
    // paused. Neither starts while frames are being taken.
    void onButtonCapture();
    void onButtonPrint();
    bool isTakingFrames() const { return m_taking != nullptr; }
    // Camera 1's frame at its current time, at the file's full resolution,
    // with the time stamp while the overlay belongs to it; null when no frame
    // can be taken (lastCaptureError() says why). Decoded on the calling
    // thread; the commands do not use it.
    QImage getCurrentImage();
    // Camera 2's frame at camera 1's time, always with the time stamp; null
    // without a second camera or when no frame can be taken.
    QImage getCurrentImage2();
    // The time-stamp text drawn into a frame picture (nothing without a start
    // date): the text of the frame on screen, or of a frame taken at frameTime.
    QImage drawTimeStamp(const QImage& image);
    QImage drawTimeStampAt(const QImage& image, double frameTime);
    // The image redrawn into exactly width x height pixels; null for a null image.
    static QImage resizedImage(const QImage& image, int width, int height);
    // The pixels of a frame of `frame` size that a zoomed picture shows
    // (the whole frame at 1x); never outside the frame.
    static QRect shownPixels(const PictureZoom& zoom, QSize frame);
    QString lastCaptureError() const { return m_strCaptureError; }
    // The capture preview or the print window while one is open.
    CapturePreviewDlg* captureDialog() const;
    PrintWindowController* printWindow() const;

Q_SIGNALS:
    // The capture preview or the print window has closed, and what follows
    // (resuming playback) has run.
    void captureClosed();
    void printClosed();
    // The frames of a capture or print could not be taken (`reason`, as
    // logged); the user has been told and no window opens.
    void framesFailed(const QString& reason);

private:
    // The parts of the frames shown by zoomed pictures, stamped like the
    // frames; a null image for a camera that was not zoomed.
    struct ShownParts {
        QImage image1, image2;
        QRect part1, part2;
        double factor1 = 1, factor2 = 1;
        QSize frame1, frame2;
    };
    // What a command needs of the moment it was given, read on the main
    // thread before the frames are: the frames must be those of the press,
    // and what is open may change while they are decoded.
    struct Moment {
        double time = 0;
        bool two = false;
        QByteArray path1, path2;
        bool stamped = false; // camera 1's frame carries the overlay
        std::optional<QString> stamp;
        PictureZoom zoom1, zoom2;
        CaptureExif exif1, exif2; // capture only
        PrintPageData page;       // print only: all but the frames
    };
    struct Frames {
        QImage image1, image2;
        ShownParts shown;
    };
    struct Taking;
    // Both cameras' frames for a capture or a print: the moment read now, the
    // frames decoded on a worker each, `done` called with them on the main
    // thread. When they cannot be taken the user is told, framesFailed is
    // emitted and `failed` runs instead (at once while the surface is still
    // opening). Nothing is started while frames are being taken.
    void takeCaptureFrames(bool forPrint, std::function<void(const Moment&, const Frames&)> done,
                           std::function<void()> failed);
    void frameArrived(int camera, const FrameGrab& grab);
    void reportFramesFailed();
    Frames stampedFrames(const Moment& moment, const FrameGrab& first, const FrameGrab& rear);
    void openCapture(const Moment& moment, const Frames& frames, const std::function<void()>& resume);
    void openPrint(const Moment& moment, const Frames& frames);
    // EXIF for the capture (export/CaptureExif.h); the shown parts say that
    // they are parts.
    static std::function<void(QByteArray&, const QImage&)>
    captureExifWriter(const Moment& moment, const QImage& image2, const ShownParts& shown);
    QImage drawTimeStampText(const QImage& image, const std::optional<QString>& text);
    QByteArray recordingPath(int camera) const;
    VideoPlayerView::State playState() const;
    QWidget* window() const;

    Hooks m_hooks;
    QPointer<CapturePreviewDlg> mCaptureDlg;
    QPointer<PrintWindowController> mPrintWindow;
    QString m_strCaptureError;
    std::unique_ptr<Taking> m_taking;
};
