// Controller life cycle: start-up order, settings-backed class operations,
// window and application events, sleep and wake, and the settings menu.
#include "app/AppDelegate.h"
#include "base/SettingsKeys.h"

#include "WaitingWindow/WaitingWindow.h"
#include "app/AboutDialog.h"
#include "app/LanguageSwitch.h"
#include "app/MainWindow.h"
#include "base/Services.h"
#include "controls/FileListView.h"
#include "controls/HarshThresholdDlg.h"
#include "controls/StandardDialogs.h"
#include "core/Log.h"
#include "platform/Reachability.h"
#include "platform/SleepWatcher.h"
#include "playback/HarshMarks.h"
#include "playback/PlaybackSession.h"
#include "views/GSensorView.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTimer>

namespace
{
AppDelegate* g_instance = nullptr;
} // namespace

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent), m_archive(new ArchiveBrowser(this)), m_library(new LibraryModel(this)),
      mPlaylist(m_library->playlist()), m_strModelName(m_library->modelName()),
      m_playback(new PlaybackSession(this)), m_windows(new WindowController(m_playback, this))
{
    g_instance = this;
    wireLibrary();
    m_attach =
        new TrackAttachController(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation), this);
    PlaybackSession::Sources sources;
    sources.playlist = [this] { return playlist(); };
    sources.partnerOf = [this](int index) { return getAnotherCameraFile(index); };
    sources.cameraTypeOf = [this](int index) { return checkDualCameraFileType(index); };
    sources.modelName = [this] { return m_strModelName; };
    sources.mapFullScreen = [this] { return screenMode() == ScreenFullMap; };
    sources.graphColours = [this] {
        const GSensorView* graph = m_windows->panels().gsensor;
        return graph ? SensorGraphColours{graph->getXAxisColor(), graph->getYAxisColor(),
                                          graph->getZAxisColor()}
                     : SensorGraphColours();
    };
    sources.selectedRow = [this] {
        FileListView* list = fileList();
        return list ? list->getCurSel() : -1;
    };
    sources.attachedTrack = [this](const std::string& recording, const std::function<double()>& seconds,
                                   GpsList& list, std::string& source) {
        return m_attach->readTrack(recording, seconds, list, source);
    };
    sources.attachedTracks = [this](const std::vector<std::string>& recordings) {
        return m_attach->finderFor(recordings);
    };
    sources.tripMembers = [this](int index) { return library()->tripMembers(index); };
    m_playback->setSources(std::move(sources));
    // playback -> the controller (opening a row, the folder check) and the window
    connect(m_playback, &PlaybackSession::openRowRequested, this, &AppDelegate::dblClickFile);
    connect(m_playback, &PlaybackSession::folderCheckRequested, this, &AppDelegate::onMonitorFolder);
    connect(m_playback, &PlaybackSession::recordingMissing, this, &AppDelegate::onVideoFileRemoved);
    connect(m_playback, &PlaybackSession::dualCameraChanged, m_windows, &WindowController::relayoutIfSized);
    wireExportFeatures();
    m_harshMarks = new HarshMarks(this);
    HarshMarks::Sources marks;
    marks.playlist = [this] { return playlist(); };
    marks.modelName = [this] { return m_strModelName; };
    marks.currentRow = [this] { return m_playback->curPlayIndex(); };
    marks.currentTime = [this] {
        // The player's own position: the session's copy follows the tick.
        const VideoPlayerView* surface = m_playback->videoPlayView();
        return surface ? surface->getCurrentTime() : m_playback->transport().currentTime();
    };
    marks.currentTrack = [this] { return &m_playback->track(); };
    marks.partnerOf = [this](int index) { return getAnotherCameraFile(index); };
    marks.cameraTypeOf = [this](int index) { return checkDualCameraFileType(index); };
    m_harshMarks->setSources(std::move(marks));
    // marks -> the controller: a mark in another recording opens it
    connect(m_harshMarks, &HarshMarks::openRowRequested, this, &AppDelegate::dblClickFile);
    wireTrackAttachments();
    wireCameraClock();
    wireArchive();
    m_languageSwitch = new LanguageSwitch(this);
    connect(m_languageSwitch, &LanguageSwitch::languageChanged, this,
            [this](int, bool rightToLeft) { onLanguageChanged(rightToLeft); });
}

AppDelegate::~AppDelegate()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    m_library->waitForScanToEnd();
    if (pmIsWaiting())
        pmEndWait();
    // The window goes before the feature objects whose views live in it.
    delete m_windows;
    if (g_instance == this)
        g_instance = nullptr;
}

AppDelegate* AppDelegate::instance()
{
    return g_instance;
}

// ---------------------------------------------------------------- start-up

void AppDelegate::launch()
{
    awakeFromNib();
    createPanels();
    applicationWillFinishLaunching();
    window()->show();
    applicationDidFinishLaunching();

    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            applicationDidBecomeActive();
    });
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
    if (QGuiApplication::applicationState() == Qt::ApplicationActive) {
        applicationDidBecomeActive();
    } else {
        // Some window managers (or none, as on a bare X server) never make the
        // application active; the first layout must happen all the same.
        QTimer::singleShot(1000, this, [this] {
            if (bFirstTimeActive)
                applicationDidBecomeActive();
        });
    }
}

void AppDelegate::awakeFromNib()
{
    const bool created = !window();
    MainWindow* w = m_windows->createWindow();
    if (created) {
        m_library->setInputWindow(w);
        connect(w, &MainWindow::closing, this, &AppDelegate::windowWillClose);
        w->setKeyHandler([this](const QKeyEvent& event) { return handlePlayerKey(event); });
        connect(w, &MainWindow::folderDropped, this, &AppDelegate::openFolder);
        // Every dialog and the busy window open over the main window.
        pmInstallStandardDialogs(w);
    }
}

void AppDelegate::applicationWillFinishLaunching()
{
    getSkinId();
    if (window())
        window()->setBlackBackground();
}

void AppDelegate::applicationDidFinishLaunching()
{
    pmResetLog();
    pmWriteLog("-- Start Video Player! - AppDelegate.");
    pmWriteLogQ(QStringLiteral("Version : %1").arg(pmGetVersionString()));
    pmWriteLogQ(QSysInfo::prettyProductName());
    if (pmIsInternetConnected())
        pmWriteLog("applicationDidFinishLaunching - pmIsInternetConnected() - TRUE");
    else
        pmWriteLog("applicationDidFinishLaunching - pmIsInternetConnected() - FALSE");
    initialData();
    m_archive->openFolder(pmGetCurrentFolder());
}

void AppDelegate::initialData()
{
    m_playback->resetState(pmReadSetting(SettingsKeys::volume));
    m_library->restorePlaceByNameTime(pmReadSetting(SettingsKeys::placeByNameTime));
    m_windows->setScreenMode(ScreenNormal);
    m_windows->setNormalFrame(QRectF());
    m_windows->setWindowSize(QSizeF(0, 0));

    m_library->setCurrentFolder(pmGetCurrentFolder());
    registerObservers();
}

void AppDelegate::registerObservers()
{
    NotificationCenter& nc = NotificationCenter::defaultCenter();
    nc.removeObserver(this); // a second initialData must not double every delivery

    nc.addObserver(this, Notifications::PlayBarButtonClicked,
                   [this](const Notification& n) { onPlayBarButtonClicked(n); });
    nc.addObserver(this, Notifications::DoSliderChanged,
                   [this](const Notification& n) { onSliderChanged(n); });
    nc.addObserver(this, Notifications::FileListViewCheckBox,
                   [this](const Notification& n) { onCheckBoxNotification(n); });
    nc.addObserver(this, Notifications::MapViewReady, [this](const Notification& n) { onMapViewReady(n); });
    nc.addObserver(this, Notifications::CalendarSelChanged,
                   [this](const Notification& n) { onCalendarSelChanged(n); });

    m_playback->overlay().setText(QStringLiteral(" "));

    if (!m_sleepWatcher) {
        m_sleepWatcher = new SleepWatcher(this);
        connect(m_sleepWatcher, &SleepWatcher::willSleep, this, &AppDelegate::makeSleep);
        connect(m_sleepWatcher, &SleepWatcher::didWake, this, &AppDelegate::makeWake);
    }
}

// ---------------------------------------------------------------- application and window events

void AppDelegate::applicationDidBecomeActive()
{
    pmWriteLog("Application DidBecomeActive !");
    const bool first = bFirstTimeActive;
    if (first)
        m_windows->rememberContentSize();
    pmWriteLogQ(QStringLiteral(
                    "AppDelegate::applicationDidBecomeActive, bFirstTimeActive = %1, isDualCameraMode = %2")
                    .arg(first ? 1 : 0)
                    .arg(isDualCameraMode() ? 1 : 0));
    if (first) {
        if (pmIsRightToLeft())
            m_windows->setRightToLeft(true);
        m_windows->scheduleRelayout(100);
    }
    bFirstTimeActive = false;
}

void AppDelegate::windowWillClose()
{
    pmWriteLog("Window will be closed!!");
    pausePlayback();
}

void AppDelegate::applicationWillTerminate()
{
    if (m_bTerminated)
        return;
    m_bTerminated = true;
    pmWriteLog("Application will be closed!");
    setCurPlaylistIndex(-1, false);
    stopMonitorFolder();
}

void AppDelegate::makeSleep()
{
    pmWriteLog("AppDelegate::makeSleep - MAC will make sleep!");
    // The front surface's player says whether anything plays now.
    if (playState() != VideoPlayerView::StateNoPlayer) {
        pausePlayback();
        pmWriteLog("AppDelegate::makeSleep - paused playback before sleep!");
    }
}

void AppDelegate::makeWake()
{
    pmWriteLog("AppDelegate::makeWake - MAC will wake up!");
}

// ---------------------------------------------------------------- language and skin

int AppDelegate::getLanguageId()
{
    return pmGetLanguageId();
}

void AppDelegate::saveLanguageId(int languageId)
{
    pmSaveLanguageId(languageId);
}

int AppDelegate::getSkinId()
{
    return Skin::readId();
}

void AppDelegate::saveSkinId(int skinId)
{
    Skin::saveId(skinId);
}

int AppDelegate::cachedSkinId()
{
    return Skin::currentId();
}

void AppDelegate::skinMenuItemClicked(int tag)
{
    saveSkinId(tag);
    reloadSkinImages();
}

void AppDelegate::languageMenuItemClicked(int tag)
{
    m_languageSwitch->choose(pmLanguageIdFromMenuTag(tag));
}

void AppDelegate::onLanguageChanged(bool r2l)
{
    reloadLanguageTexts();
    m_windows->setRightToLeft(r2l);
}

void AppDelegate::aboutMenuItemClicked()
{
    // Opened and left to the main loop: the menu's handler returns at once,
    // and the box deletes itself when closed. One box at a time.
    if (m_aboutDialog) {
        m_aboutDialog->raise();
        m_aboutDialog->activateWindow();
        return;
    }
    auto* dialog = new AboutDialog(window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_aboutDialog = dialog;
    dialog->open();
}

void AppDelegate::onHarshThreshold()
{
    if (m_harshDialog) {
        m_harshDialog->raise();
        m_harshDialog->activateWindow();
        return;
    }
    auto* dialog = new HarshThresholdDlg(m_harshMarks->threshold(), window());
    connect(dialog, &HarshThresholdDlg::chosen, m_harshMarks, &HarshMarks::setThreshold);
    m_harshDialog = dialog;
    dialog->open();
}
