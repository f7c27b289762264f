// Controller life cycle: start-up order, settings-backed class operations,
// window and application events, sleep and wake, and the settings menu.
#include "app/AppDelegate.h"
#include "base/SettingsKeys.h"

#include "WaitingWindow/WaitingWindow.h"
#include "app/AboutDialog.h"
#include "app/MainWindow.h"
#include "base/Services.h"
#include "controls/StandardDialogs.h"
#include "core/Log.h"
#include "platform/Reachability.h"
#include "platform/SleepWatcher.h"
#include "playback/PlaybackSession.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QSysInfo>
#include <QTimer>

namespace
{
AppDelegate* g_instance = nullptr;
constexpr int kTitleBarHeight = 22;
} // namespace

bool AppDelegate::bFirstTimeActive = true;

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent), m_library(new LibraryModel(this)), mPlaylist(m_library->playlist()),
      m_strModelName(m_library->modelName())
{
    g_instance = this;
    wireLibrary();
    m_relayoutTimer = new QTimer(this);
    m_relayoutTimer->setSingleShot(true);
    connect(m_relayoutTimer, &QTimer::timeout, this, &AppDelegate::relayoutContents);

    m_playback = new PlaybackSession(this);
    PlaybackSession::Sources sources;
    sources.playlist = [this] { return playlist(); };
    sources.partnerOf = [this](int index) { return getAnotherCameraFile(index); };
    sources.cameraTypeOf = [this](int index) { return checkDualCameraFileType(index); };
    sources.modelName = [this] { return m_strModelName; };
    sources.mapFullScreen = [this] { return m_nScreenMode == ScreenFullMap; };
    m_playback->setSources(std::move(sources));
    connect(m_playback, &PlaybackSession::openRowRequested, this, &AppDelegate::dblClickFile);
    connect(m_playback, &PlaybackSession::folderCheckRequested, this, &AppDelegate::onMonitorFolder);
    connect(m_playback, &PlaybackSession::dualCameraChanged, this, [this] {
        const int width = static_cast<int>(m_sizeWindow.width());
        const int height = static_cast<int>(m_sizeWindow.height());
        if (width != 0 && height != 0)
            relayout(m_sizeWindow.width(), m_sizeWindow.height());
    });
    wireExportFeatures();
}

AppDelegate::~AppDelegate()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    m_library->waitForScanToEnd();
    if (pmIsWaiting())
        pmEndWait();
    delete m_window;
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
    m_window->show();
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
    if (!m_window) {
        m_window = new MainWindow();
        m_library->setInputWindow(m_window);
        connect(m_window, &MainWindow::resized, this, [this](const QSize& content) {
            // Full screen has no title bar: the frame is the content.
            const int titleBar = m_nScreenMode == ScreenNormal ? kTitleBarHeight : 0;
            windowDidResize(QSizeF(content.width(), content.height() + titleBar));
        });
        connect(m_window, &MainWindow::closing, this, &AppDelegate::windowWillClose);
        m_window->setKeyHandler([this](const QKeyEvent& event) { return handlePlayerKey(event); });
        connect(m_window, &MainWindow::folderDropped, this, &AppDelegate::openFolder);
        // Every dialog and the busy window open over the main window.
        pmInstallStandardDialogs(m_window);
        m_playback->setPlayerHosts(m_window->playerView(), m_window->playerView2());
        m_playback->setOverlayHost(m_window->contentView());
    }
    m_window->setMinimumSize(980, 660);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = m_window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
}

void AppDelegate::applicationWillFinishLaunching()
{
    getSkinId();
    if (m_window)
        m_window->setBlackBackground();
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
    buildVideoLibrary(pmGetCurrentFolder());
}

void AppDelegate::initialData()
{
    m_playback->resetState(pmReadSetting(SettingsKeys::volume));
    m_library->restorePlaceByNameTime(pmReadSetting(SettingsKeys::placeByNameTime));
    m_nScreenMode = ScreenNormal;
    m_rectNormalScreen = QRectF();
    m_sizeWindow = QSizeF(0, 0);

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
    nc.addObserver(this, Notifications::FileListViewDoubleClick,
                   [this](const Notification& n) { onDblClickFile(n); });
    nc.addObserver(this, Notifications::FileListViewCheckBox,
                   [this](const Notification& n) { onCheckBoxNotification(n); });
    nc.addObserver(this, Notifications::MapViewReady, [this](const Notification& n) { onMapViewReady(n); });
    nc.addObserver(this, Notifications::CalendarSelChanged,
                   [this](const Notification& n) { onCalendarSelChanged(n); });

    setTimeStampText(QStringLiteral(" "));

    if (!m_sleepWatcher) {
        m_sleepWatcher = new SleepWatcher(this);
        connect(m_sleepWatcher, &SleepWatcher::willSleep, this, &AppDelegate::makeSleep);
        connect(m_sleepWatcher, &SleepWatcher::didWake, this, &AppDelegate::makeWake);
    }

    nc.addObserver(this, Notifications::VideoEnd, [this](const Notification& n) { onVideoEnd(n); });
    nc.addObserver(this, Notifications::VideoFileIsRemoved,
                   [this](const Notification& n) { onVideoFileRemoved(n); });
    nc.addObserver(this, Notifications::AVPlayerReadyToPlay,
                   [this](const Notification& n) { movieLoadStateChanged(n); });
}

// ---------------------------------------------------------------- application and window events

void AppDelegate::applicationDidBecomeActive()
{
    pmWriteLog("Application DidBecomeActive !");
    const bool first = bFirstTimeActive;
    if (first && m_window) {
        const QSize content = m_window->contentSize();
        m_sizeWindow = QSizeF(content.width(), content.height() + kTitleBarHeight);
    }
    pmWriteLogQ(QStringLiteral(
                    "AppDelegate::applicationDidBecomeActive, bFirstTimeActive = %1, isDualCameraMode = %2")
                    .arg(first ? 1 : 0)
                    .arg(isDualCameraMode() ? 1 : 0));
    if (first) {
        if (pmIsRightToLeft())
            bR2L = true;
        scheduleRelayout(100);
    }
    bFirstTimeActive = false;
}

void AppDelegate::windowWillClose()
{
    pmWriteLog("Window will be closed!!");
    pausePlayback();
}

void AppDelegate::windowDidResize(const QSizeF& frameSize)
{
    relayout(frameSize.width(), frameSize.height());
    m_sizeWindow = frameSize;
    scheduleRelayout(500);
}

void AppDelegate::scheduleRelayout(int msecs)
{
    m_relayoutTimer->start(msecs);
}

void AppDelegate::relayoutContents()
{
    if (m_sizeWindow.width() == 0 || m_sizeWindow.height() == 0) {
        pmWriteLog("AppDelegate::relayoutContents () frame size is 0");
        m_sizeWindow = QSizeF(977, 642);
    }
    relayout(m_sizeWindow.width(), m_sizeWindow.height());
    pmWriteLogQ(QString::asprintf("AppDelegate::relayoutContents () %fx%f OK!", m_sizeWindow.width(),
                                  m_sizeWindow.height()));
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
    if (playState() != PlayStateStopped) {
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
    const int languageId = pmLanguageIdFromMenuTag(tag);
    saveLanguageId(languageId);
    reloadLanguageTexts();
    const bool r2l = (languageId == 13);
    if (r2l != bR2L) {
        bR2L = r2l;
        pmWriteLog("AppDelegate - ready to relayout for language changed.");
        scheduleRelayout(500);
    }
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
    auto* dialog = new AboutDialog(m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_aboutDialog = dialog;
    dialog->open();
}

QDialog* AppDelegate::aboutDialog() const
{
    return m_aboutDialog.data();
}


