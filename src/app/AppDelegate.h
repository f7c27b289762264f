#pragma once
// The application controller: a composition that creates the main window
// (WindowController, which owns the panels and their layout) and the feature
// objects (LibraryModel: the library, playlist and folder monitor;
// PlaybackSession: the surfaces, play state and track; BackupController,
// ClipController, UploadController, CaptureService), wires them to each other
// and to the panels, and keeps the command names the rest of the program and
// the tests know. It holds no state beyond its own life cycle. Panels report
// by their own signals or by notification (base/NotificationCenter.h) and
// never reach it themselves. There is one instance.
//
// The class is declared here once; its methods are defined by subject, all in
// src/app (no feature library includes this header):
//   AppDelegate.cpp          start-up, settings, skin and language menus,
//                            window events, sleep and wake; the bus observers
//   AppDelegateWindow.cpp    the panels' signals to the feature objects
//   PlaybackPanels.cpp       the playback session's reports to the panels
//   AppDelegateLibrary.cpp   the library's signals and hooks to the panels and
//                            playback; calendar and file list events
//   AppDelegatePlayback.cpp  the playback names, handed to the playback session
//                            (surfaces, play state, two cameras, time stamp,
//                            track, 360-degree view), and the play bar's
//                            command dispatch
//   AppDelegateExport.cpp    the export features' hooks and signals: backup
//                            and track export, upload, capture and printing
//   AppDelegateInput.cpp     the player's keys, seeking from the G-sensor
//                            graph, a folder named on the command line or
//                            dropped on the window
//   AppDelegateArchive.cpp   the fleet archive browser to the library, the
//                            vehicle chooser, the map and playback
// Everything here runs on the main thread, except the library scan's walk,
// which runs on a worker thread of its own (see LibraryModel::buildVideoLibrary).
#include "app/CameraClockCorrection.h"
#include "app/TrackAttachController.h"
#include "app/WindowController.h"
#include "archive/ArchiveBrowser.h"
#include "base/AMediaFile.h"
#include "base/NotificationCenter.h"
#include "base/PlayerKeys.h"
#include "core/BackupEngine.h"
#include "core/FileRules.h"
#include "core/GpsData.h"
#include "core/GpsList.h"
#include "core/LibraryScan.h"
#include "export/BackupController.h"
#include "export/CaptureService.h"
#include "export/ClipController.h"
#include "export/UploadController.h"
#include "library/LibraryModel.h"
#include "views/VideoPlayerView.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class MainWindow;
class QKeyEvent;
class SleepWatcher;
class QTimer;
class QDialog;
class QLabel;
class PlayControlView;
class ToolbarView;
class FileListView;
class CalendarView;
class MapView;
class GSensorView;
class VideoPlayerView;
struct FileListRow;
class SCEvents;
class DpadView;
class HarshMarks;
class PlaybackSession;
class LanguageSwitch;
class VehicleChooser;

class AppDelegate : public QObject
{
    Q_OBJECT
public:
    using ScreenMode = WindowController::ScreenMode;
    static constexpr ScreenMode ScreenNormal = WindowController::ScreenNormal;
    static constexpr ScreenMode ScreenFullVideo = WindowController::ScreenFullVideo;
    static constexpr ScreenMode ScreenFullMap = WindowController::ScreenFullMap;

    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // The single live instance (also pmGetAppDelegate()); null when none.
    static AppDelegate* instance();

    // ---- life cycle (app/AppDelegate.cpp)

    // The whole start-up in order: awakeFromNib, applicationWillFinishLaunching,
    // showing the window, applicationDidFinishLaunching (which scans the library).
    void launch();
    void awakeFromNib();
    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();
    void initialData();
    void applicationDidBecomeActive();
    void windowWillClose();
    // The window's frame got this size (content height + the 22-point title bar).
    void windowDidResize(const QSizeF& frameSize) { m_windows->windowDidResize(frameSize); }
    void applicationWillTerminate();
    void makeSleep();
    void makeWake();
    // Lays out for the remembered window size (977 x 642 while none is known).
    void relayoutContents() { m_windows->relayoutContents(); }

    static int getLanguageId();
    static void saveLanguageId(int languageId);
    // Reads SKIN_ID (default 3; out-of-range values read as 3), caches and returns it.
    static int getSkinId();
    static void saveSkinId(int skinId);
    // The cached skin id, read from the settings on first use.
    static int cachedSkinId();

    void skinMenuItemClicked(int tag);
    void languageMenuItemClicked(int tag);
    // The language and speed unit in force, and their changes (app/LanguageSwitch.h).
    LanguageSwitch* languageSwitch() const { return m_languageSwitch; }
    // Opens the About box window-modal over the main window and returns.
    void aboutMenuItemClicked();

    MainWindow* window() const { return m_windows->window(); }
    // The window, its panels and their layout.
    WindowController* windows() const { return m_windows; }

    // ---- library: the scan, the day cache, the playlist and the folder
    // monitor live in LibraryModel (library/LibraryModel.h); the names below
    // forward to it, and AppDelegateLibrary.cpp wires it to the panels.

    LibraryModel* library() const { return m_library; }

    bool buildVideoLibrary(const QString& folder) { return m_library->buildVideoLibrary(folder); }
    bool isBuildingLibrary() const { return m_library->isBuildingLibrary(); }
    bool addVideoFile(const QString& path) { return m_library->addVideoFile(path); }
    void clearVideoLibrary() { m_library->clearVideoLibrary(); }
    void checkLastVideoDate() { m_library->checkLastVideoDate(); }
    bool isMediaExistByDate(qint16 y, qint16 m, qint16 d) const
    {
        return m_library->isMediaExistByDate(y, m, d);
    }
    bool isPlaceByNameTime() const { return m_library->isPlaceByNameTime(); }
    void setPlaceByNameTime(bool on) { m_library->setPlaceByNameTime(on); }
    bool isAllMediaExist() const { return m_library->isAllMediaExist(); }
    QString getFilePathInPlaylist(int index) const { return m_library->getFilePathInPlaylist(index); }
    QString getModelName(const QString& folder) const { return m_library->getModelName(folder); }
    void onButtonBrowse() { m_library->browse(); }
    const QList<AMediaFile>& videoLib() const { return m_library->videoLib(); }
    void setVideoLib(const QList<AMediaFile>& list) { m_library->setVideoLib(list); }
    const QList<AMediaFile>& playlist() const { return m_library->playlist(); }
    const QString& currentFolder() const { return m_library->currentFolder(); }
    void stopMonitorFolder() { m_library->stopMonitorFolder(); }
    void onMonitorFolder() { m_library->onMonitorFolder(); }
    SCEvents* folderWatcher() const { return m_library->folderWatcher(); }
    void rebuildPlaylist() { m_library->rebuildPlaylist(); }
    // The calendar shown in full (day filter on) or shrunk (every day).
    void showCalendar(bool show);
    int checkDualCameraFileType(int index) const { return m_library->checkDualCameraFileType(index); }
    int getAnotherCameraFile(int index) const { return m_library->getAnotherCameraFile(index); }
    // Shows the second camera's window when the playlist holds a pair.
    bool checkDualCameraFolder();

    void setCurPlaylistIndex(int index, bool autoPlay);
    bool pausePlayback();
    void relayout(double width, double height) { m_windows->relayout(width, height); }
    void hideTimeStamp();
    void reloadSkinImages() { m_windows->reloadSkinImages(); }
    void reloadLanguageTexts() { m_windows->reloadLanguageTexts(); }
    void onButtonPlayFullScreen() { m_windows->onButtonPlayFullScreen(); }

    void onPlayBarButtonClicked(const Notification& n);
    void onSliderChanged(const Notification& n);
    void onCheckBoxNotification(const Notification& n);
    void onMapViewReady(const Notification& n);
    void onCalendarSelChanged(const Notification& n);

    // ==== opening a row (AppDelegateLibrary.cpp) and playback (AppDelegatePlayback.cpp)

    void dblClickFile(int index);
    // The recording being opened has no file: the folder check, once the
    // opening command has returned.
    void onVideoFileRemoved();

    // The track sample of the current second (null without a track).
    const GpsData* getCurGpsData() const;

    // Playback: forwards to playback() (playback/PlaybackSession.h).
    PlaybackSession* playback() const { return m_playback; }
    // The harsh-driving marks of the playlist and of what plays.
    HarshMarks* harshMarks() const { return m_harshMarks; }
    // The settings menu's "Harsh-driving threshold...": its window, opened
    // and left to the main loop (one at a time).
    void onHarshThreshold();
    VideoPlayerView::State getState() const { return playState(); }
    int getCurPlayIndex() const;
    void onPlay();
    void onPause();
    void onButtonPlay();
    void onButtonPause();
    void onButtonNext(int wrap);
    void onButtonPrev();
    void onButtonMute();
    void onButtonSpeed();
    void onButtonDpad(int command);
    void setPlaySpeed(float speed);
    void setVolume(int step);
    void drawTime();
    void enableMediaButton(bool enable);
    void checkDpadButtons();

    // ---- 360-degree view
    void onMenu360View();
    // -1 without a surface, 0 flat, 1 360-degree (the menu item's state).
    int view360State() const;
    DpadView* dpadView() const;
    // The play bar's speed button image index to a rate (1.0 for unknown indexes).
    static float speedForStep(int step);

    // Two cameras.
    bool isDualCameraMode() const;
    bool has2Videos() const;
    void enable2VideoWindow(bool enable);
    void dualSelectFile(int index, bool switchFlag);
    void setCurPlaylistIndex2(int index, bool autoPlay);
    void switchVideoWindow(bool switchVideo);
    void onButtonWindowSwitch();
    int getSwitchButtonPosition() const { return m_windows->getSwitchButtonPosition(); }
    // Keeps the rear surface on the front one's time (playback/CameraSync.h).
    bool syncSecondCamera();

    // Time-stamp overlay.
    void moveTimeStamp();

    VideoPlayerView* videoPlayView() const;
    VideoPlayerView* videoPlayView2() const;

    // The panels (null until the window creates them) and the state the rest
    // of the program and the tests read.
    PlayControlView* playBar() const;
    ToolbarView* toolbar() const;
    FileListView* fileList() const;
    CalendarView* calendar() const;
    MapView* mapView() const;
    GSensorView* gsensorView() const;
    QLabel* timeStamp() const;
    // The play state as the front surface reports it (mpv holds the truth).
    VideoPlayerView::State playState() const;
    int getCurPlayIndex2() const;
    int screenMode() const { return m_windows->screenMode(); }
    QSizeF windowSize() const { return m_windows->windowSize(); }
    bool isVideoLoading() const;
    bool isSwitchVideo() const;
    int timeStampMode() const;
    const GpsList& gpsList() const;
    float playSpeed() const;
    bool isMuted() const;
    int volume() const;

    // ==== main window (app/WindowController), its panels wired in
    // app/AppDelegateWindow.cpp

    // Creates every panel of the main window and wires it to the controller
    // (run by launch() right after awakeFromNib()).
    void createPanels();
    WindowLayoutInput windowLayoutInput(double width, double height) const
    {
        return m_windows->windowLayoutInput(width, height);
    }
    void relayoutCalendarMode(bool show) { m_windows->relayoutCalendarMode(show); }
    void onButtonMapFullScreen() { m_windows->onButtonMapFullScreen(); }
    void showFullScreen(bool show) { m_windows->showFullScreen(show); }
    void onCenterMap() { m_windows->onCenterMap(); }
    void windowDidZoom(const QSizeF& frameSize) { m_windows->windowDidZoom(frameSize); }

    // ==== keys, graph seek, folders opened without Browse (app/AppDelegateInput.cpp)

    // A key the main window passed on; true when the player acted on it.
    bool handlePlayerKey(const QKeyEvent& event);
    bool runPlayerKey(PlayerKey command);
    // Moves both cameras to this second (clamped to the recording), with the
    // slider, the G-sensor cursor, the time labels and the map following.
    void seekToSecond(int seconds);
    // One frame back or forward on both cameras; only while paused.
    bool stepFrame(bool forward);
    // The volume a step up or down, stored as the volume slider stores it.
    void stepVolume(int delta);
    // Leaves full-screen video or the full-size map; false when neither is on.
    bool leaveFullScreen() { return m_windows->leaveFullScreen(); }
    // A click on the G-sensor graph at this column (0 .. 237): playback moves
    // to the second whose sample is drawn there.
    void onGSensorGraphClicked(int graphX);
    // Opens a folder as Browse does: scanned into the library and remembered.
    void openFolder(const QString& folder);
    // The folder named on the command line (program name first), made
    // absolute; empty when none is named. A name that is no folder gives an
    // empty answer and the reason in `error`.
    static QString folderFromArguments(const QStringList& arguments, QString* error = nullptr);

    // ==== fleet archives (AppDelegateArchive.cpp): a folder holding a
    // catalogue opens one vehicle at a time (archive/ArchiveBrowser.h)

    ArchiveBrowser* archive() const { return m_archive; }
    VehicleChooser* vehicleChooser() const;
    // Opens an archived recording the library holds at its day, as a double
    // click on its row would; a message when the list does not show it.
    void openArchivedRecording(const QString& path);

    // ==== backup, track export, upload, capture and printing: forwards to the
    // feature objects of src/export, wired in AppDelegateExport.cpp

    BackupController* backupController() const { return m_backup; }
    ClipController* clipController() const { return m_clip; }
    UploadController* uploadController() const { return m_upload; }
    CaptureService* captureService() const { return m_capture; }

    void onButtonUploadYouTube() { m_upload->onButtonUploadYouTube(); }
    // The toolbar's social-network button: doVideoUpload(1).
    void onButtonUploadFacebook() { doVideoUpload(1); }
    void doVideoUpload(int16_t website) { m_upload->doVideoUpload(website); }

    void onButtonBackup() { m_backup->onButtonBackup(); }
    // The selection window for backup (true) or for upload (false, 10 rows at most).
    void openBackupDlg(const QString& title, bool backupButton);
    bool isBackupRunning() const { return m_backup->isBackupRunning(); }
    quint64 backupBytesDone() const { return m_backup->backupBytesDone(); }
    const BackupResult& lastBackupResult() const { return m_backup->lastBackupResult(); }

    void onButtonExport() { m_backup->onButtonExport(); }
    void onSaveClip() { m_clip->onSaveClip(); }

    // Tracks attached from other devices (AppDelegateTracks.cpp).
    TrackAttachController* trackAttachments() const { return m_attach; }
    // The info bar's tooltip: how far the camera clock of the recording shown
    // is off GPS time, when its track tells.
    void showCameraClock();
    // "Correct the camera clock" of the card shown (AppDelegateTracks.cpp).
    CameraClockCorrection* cameraClockCorrection() const { return m_clockCorrection; }

    void onButtonCapture() { m_capture->onButtonCapture(); }
    void onButtonPrint() { m_capture->onButtonPrint(); }
    QImage getCurrentImage() { return m_capture->getCurrentImage(); }
    QImage getCurrentImage2() { return m_capture->getCurrentImage2(); }
    QImage drawTimeStampAt(const QImage& image, double at) { return m_capture->drawTimeStampAt(image, at); }
    // The G-sensor panel's picture (null without the panel).
    QImage getGSensorBitmap() const;

Q_SIGNALS:
    // Rows chosen in the selection window opened for upload.
    void uploadVideosChosen(const QList<int>& indexes);
    // A backup job ended (its result in lastBackupResult()).
    void backupFinished();
    // The capture preview or the print window has closed, and what follows
    // (resuming playback) has run.
    void captureClosed();
    void printClosed();

private:
    void wireExportFeatures();
    void wireTrackAttachments();
    void wireCameraClock();
    void wireArchive();
    void wireArchivePanels();
    ArchiveBrowser* const m_archive;
    QByteArray currentNativePath(int camera) const;
    TrackAttachController* m_attach = nullptr;
    CameraClockCorrection* m_clockCorrection = nullptr;
    BackupController* m_backup = nullptr;
    ClipController* m_clip = nullptr;
    UploadController* m_upload = nullptr;
    CaptureService* m_capture = nullptr;

public:
Q_SIGNALS:
    // The library was rebuilt (the calendar marks its days from it).
    void videoLibIsReady();
    // A library build has ended: its last log line is written, the busy
    // window closed, the playlist rebuilt.
    void videoLibraryBuilt();
    // Move the calendar to this day (the newest recording's day).
    void activateDayRequested(int year, int month, int day);

private:
    void registerObservers();

    // The library's signals and hooks to the panels and playback
    // (AppDelegateLibrary.cpp).
    void wireLibrary();
    LibraryModel* const m_library;
    // Read-only views of the library's state for the parts of the controller
    // that still read it by these names.
    const QList<AMediaFile>& mPlaylist;
    const QString& m_strModelName;

    PlaybackSession* const m_playback;
    WindowController* const m_windows;
    SleepWatcher* m_sleepWatcher = nullptr;
    bool m_bTerminated = false;
    // The first activation remembers the window's size and lays it out.
    bool bFirstTimeActive = true;
    QPointer<QDialog> m_aboutDialog;
    QPointer<QDialog> m_harshDialog;
    LanguageSwitch* m_languageSwitch = nullptr;
    HarshMarks* m_harshMarks = nullptr;
    void onLanguageChanged(bool rightToLeft);
};

// The single live controller; null when none. Kept for code written against
// the shared services; the program itself reaches the controller only where
// it is created, and tests use AppDelegate::instance().
inline AppDelegate* pmGetAppDelegate()
{
    return AppDelegate::instance();
}
