#pragma once
// The two video surfaces of playback (camera 1, the front, and camera 2, the
// rear), the widgets they fill, what each plays, and the pair kept in step.
//
// A surface is made per recording and released when another opens; a
// released one is torn down at once and deleted from the event loop, because a
// release can happen inside one of the surface's own notifications (the end of
// a recording opens the next one). What a surface reports comes out here by
// camera, and never from a released surface.
//
// A trip is opened as one timeline of its recordings, once their lengths are
// read on a worker; the rear's chain follows the front's, so a rear opened
// while the front's lengths are still being read waits for them.
// Main thread only.
#include "base/AMediaFile.h"
#include "playback/CameraSync.h"
#include "playback/LatestReads.h"
#include "views/VideoPlayerView.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <vector>

class SurfacePair : public QObject
{
    Q_OBJECT
public:
    explicit SurfacePair(QObject* parent = nullptr);

    // The widgets the surfaces fill; a surface made without its host gets a
    // window of its own.
    void setHosts(QWidget* host1, QWidget* host2);
    QWidget* host(int camera) const { return camera == 2 ? m_host2.data() : m_host1.data(); }

    // A new surface for `camera` playing `asset` once loaded; the camera's
    // surface before it is released first.
    VideoPlayerView* make(int camera, const QUrl& asset);
    // Releases the camera's surface (nothing when it has none).
    void release(int camera);
    VideoPlayerView* surface(int camera) const { return camera == 2 ? m_rear.data() : m_front.data(); }
    VideoPlayerView* front() const { return m_front.data(); }
    VideoPlayerView* rear() const { return m_rear.data(); }
    // What the camera plays now (empty when nothing); a chain moving into its
    // next recording moves it on.
    QUrl asset(int camera) const { return camera == 2 ? m_asset2 : m_asset; }
    // A recording was opened on either surface.
    bool isOpen() const { return !m_asset.isEmpty() || !m_asset2.isEmpty(); }
    void setAsset(int camera, const QUrl& asset) { (camera == 2 ? m_asset2 : m_asset) = asset; }

    // The second camera's window is on (the layout shows two pictures).
    bool isDual() const { return m_bDual; }
    // Turns it on or off; true when that changed it.
    bool setDual(bool on);
    // The rear camera plays in the second window.
    bool hasRear() const { return m_bDual && m_rear; }
    // The rear's picture is the large one.
    bool isSwitched() const { return m_bSwitched; }
    // One window, the front's picture the large one, the hosts left where they are.
    void resetPictures() { m_bDual = m_bSwitched = false; }
    // Makes the rear's picture the large one (or the front's again): the
    // hosts exchange places when the one asked for is the smaller now. True
    // when they did. While `mapFullScreen` the front's host stays hidden.
    bool switchPictures(bool rearLarge, bool mapFullScreen);

    // ---- both cameras at once (the rear only while it plays in its window)
    void setRate(float rate);
    void pause();
    void seek(double seconds);
    void stepFrame(bool forward);
    // One look at the pair, both ready; true when the rear was sought.
    bool syncRear(float playSpeed);
    // The last recording ended: the rear is put on its own last frame too.
    void rearToEnd();
    // Play from the end: the rear starts again with the front.
    void rearToStart();
    CameraSync& sync() { return m_sync; }
    const CameraSync& sync() const { return m_sync; }

    // ---- what the surfaces play
    // Opens `rows` (a trip's chain from the row opened, or the row alone) in
    // the front surface once their lengths are read; `lengthKnown` gets the
    // first one's (0 when unknown) just before the surface is given them.
    void openFront(const QList<int>& rows, const QList<AMediaFile>& list,
                   std::function<void(double)> lengthKnown);
    // Opens the playlist's row `index` in the rear surface, with the chain of
    // the front's partners beside the front's chain.
    void openRear(int index, const QList<AMediaFile>& list, const std::function<int(int)>& partnerOf);
    // The rows each surface plays in one go from its current one.
    const QList<int>& chainRows(int camera) const { return camera == 2 ? m_chainRows2 : m_chainRows; }
    // The front's lengths are still being read.
    bool isFrontProbing() const { return m_reads.isPending(LatestReads::FrontDurations); }
    // A rear that waits for a front that will not open now opens on its own.
    void openWaitingRear();

Q_SIGNALS:
    // A surface's recording is ready to play.
    void ready(int camera);
    // The front camera's recording ended (the rear waits on its last frame).
    void frontEnded();
    void loadFailed(int camera, const QString& reason);
    // Sent from the event loop: the surface is still inside its player's
    // event handling when it reports.
    void playbackFailed(int camera, const QString& reason);
    // The front surface's chain moved into its recording at `chainIndex`.
    void recordingEntered(int chainIndex);

private:
    VideoPlayerView* makeSurface(QWidget* host);
    int cameraOf(const VideoPlayerView* view) const;
    void loadRows(VideoPlayerView* view, const QList<int>& rows, const QList<AMediaFile>& list,
                  const std::vector<double>& lengths, QList<int>& chained);
    void openRearRows(VideoPlayerView* view, int index, const QList<AMediaFile>& list,
                      const std::function<int(int)>& partnerOf);

    QPointer<QWidget> m_host1;
    QPointer<QWidget> m_host2;
    QPointer<VideoPlayerView> m_front;
    QPointer<VideoPlayerView> m_rear;
    QUrl m_asset;
    QUrl m_asset2;
    bool m_bDual = false;
    bool m_bSwitched = false;
    CameraSync m_sync;
    QList<int> m_chainRows;
    QList<int> m_chainRows2;
    LatestReads m_reads;
    std::function<void()> m_rearOpening;
};
