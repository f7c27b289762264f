// The main window: creating the panels, laying them out for a window size
// (the arithmetic is app/WindowLayout), the calendar's two heights,
// full-screen video and map, and the skin and language reloads.
#include "app/WindowController.h"

#include "app/MainWindow.h"
#include "app/PlaybackPanels.h"
#include "base/QtFrame.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "base/Skin.h"
#include "controls/BitmapButton.h"
#include "controls/CalendarView.h"
#include "controls/DpadView.h"
#include "controls/FileListView.h"
#include "controls/MultiButtons.h"
#include "controls/PlayControlView.h"
#include "controls/ToolbarView.h"
#include "controls/VehicleChooser.h"
#include "core/Log.h"
#include "playback/PlaybackSession.h"
#include "views/GSensorView.h"
#include "views/MapView.h"
#include "views/VideoPlayerView.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace
{
constexpr int kTitleBar = static_cast<int>(winlayout::kTitleBarHeight);
// The toolbar's frame is two points taller than its buttons: the panels below
// reach up over those two rows (the arrangement leaves them a two-point
// overlap), so they meet the buttons' lower edge exactly.
constexpr int kToolbarHeight = 31;
constexpr QSize kMinimumWindowSize(980, 660);

void setVisibleIf(QWidget* w, bool visible)
{
    if (w)
        w->setVisible(visible);
}
} // namespace

WindowController::WindowController(PlaybackSession* playback, QObject* parent)
    : QObject(parent), m_playback(playback), m_relayoutTimer(new QTimer(this))
{
    m_relayoutTimer->setSingleShot(true);
    connect(m_relayoutTimer, &QTimer::timeout, this, &WindowController::relayoutContents);
}

WindowController::~WindowController()
{
    delete m_window;
}

MainWindow* WindowController::createWindow()
{
    if (!m_window) {
        m_window = new MainWindow();
        connect(m_window, &MainWindow::resized, this, [this](const QSize& content) {
            // Full screen has no title bar: the frame is the content.
            const int titleBar = m_nScreenMode == ScreenNormal ? kTitleBar : 0;
            windowDidResize(QSizeF(content.width(), content.height() + titleBar));
        });
        connect(m_window, &MainWindow::zoomed, this, [this](const QSize& contentSize) {
            windowDidZoom(QSizeF(contentSize.width(), contentSize.height() + kTitleBar));
        });
        m_playback->setPlayerHosts(m_window->playerView(), m_window->playerView2());
        m_playback->setOverlayHost(m_window->contentView());
    }
    m_window->setMinimumSize(kMinimumWindowSize);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = m_window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    return m_window;
}

// ---------------------------------------------------------------- panels

void WindowController::createPanels()
{
    if (!m_window)
        createWindow();
    if (m_panels.playBar)
        return; // once per window
    QWidget* content = m_window->contentView();
    const int contentHeight = m_window->height();

    // Creation order is stacking order: the toolbar first, so the panels that
    // meet its lower edge are drawn over its last two (empty) rows.
    auto* toolbar = new ToolbarView(content);
    toolbar->resize(toolbar->width(), kToolbarHeight);
    toolbar->setSwitchButtonPositionProvider([this] { return getSwitchButtonPosition(); });
    m_panels.toolbar = toolbar;
    if (BitmapButton* sw = toolbar->oWindowSwitchBtn())
        sw->setVisible(m_playback->isDualCameraMode());

    m_panels.playBar = new PlayControlView(content);
    m_panels.playBar->SetVolume(pmReadSetting(SettingsKeys::volume));

    // Over the first camera's picture, in its lower right corner; hidden
    // until that picture is a 360-degree one.
    if (QWidget* host = m_window->playerView()) {
        m_panels.dpad = new DpadView(QRect(0, 0, 100, DpadView::kHeight + 2), host);
        m_panels.dpad->setObjectName(QStringLiteral("dpadView"));
        m_panels.dpad->hide();
    }

    m_panels.vehicles = new VehicleChooser(content);
    m_panels.vehicles->hide();

    auto* calendar = new CalendarView(content);
    calendar->resize(calendar->panelSize());
    m_panels.calendar = calendar;

    auto* fileList = new FileListView(content);
    fileList->resize(static_cast<int>(winlayout::kSmallVideoWidth), fileList->height());
    m_panels.fileList = fileList;

    m_panels.gsensor = new GSensorView(content);

    const int mapHeight = static_cast<int>(winlayout::kMapHeight);
    auto* map = new MapView(QRect(0, contentHeight - mapHeight, 350, mapHeight),
                            pmReadSetting(SettingsKeys::mapPageUrl), content);
    map->setSkinId(Skin::currentId());
    map->setSpeedUnit(static_cast<int16_t>(pmReadSetting(SettingsKeys::speedUnit)));
    connect(map, &MapView::mapFullScreenToggled, this, &WindowController::onButtonMapFullScreen);
    m_panels.map = map;

    connectPlaybackPanels(*m_playback, m_panels, [this] { return m_nScreenMode == ScreenFullMap; });
}

WindowLayoutInput WindowController::windowLayoutInput(double width, double height) const
{
    WindowLayoutInput in;
    in.width = width;
    in.height = height;
    in.screenMode = m_nScreenMode;
    in.rightToLeft = m_bR2L;
    in.dualCamera = m_playback->isDualCameraMode();
    in.switchVideo = m_playback->isSwitchVideo();
    PanelSizes& s = in.sizes;
    if (m_panels.toolbar)
        s.toolbarHeight = m_panels.toolbar->height();
    if (m_panels.playBar)
        s.playBarHeight = m_panels.playBar->height();
    if (m_panels.calendar) {
        s.calendarWidth = m_panels.calendar->width();
        s.calendarHeight = m_panels.calendar->height();
    }
    if (m_panels.fileList)
        s.fileListWidth = m_panels.fileList->width();
    if (m_panels.vehicles && m_bVehicleChooser)
        s.vehicleBarHeight = m_panels.vehicles->height();
    if (m_panels.gsensor) {
        s.gsensorWidth = m_panels.gsensor->width();
        s.gsensorHeight = m_panels.gsensor->height();
    }
    return in;
}

// ---------------------------------------------------------------- layout

void WindowController::relayout(double width, double height)
{
    if (!m_window)
        return;
    const WindowLayout l = computeWindowLayout(windowLayoutInput(width, height));
    const double ch = l.contentHeight;

    if (l.placesPlayBar && m_panels.playBar) {
        m_panels.playBar->setGeometry(pmQtRect(l.playBar, ch));
        m_panels.playBar->relayoutContents(m_bR2L, l.playBar.width);
    }

    QWidget* host1 = m_window->playerView();
    QWidget* host2 = m_window->playerView2();
    if (m_nScreenMode == ScreenNormal) {
        // The map's full screen may have hidden the first host (switchVideoWindow).
        setVisibleIf(host1, true);
        setVisibleIf(host2, l.showPlayerView2);
    }

    if (l.placesFileList) {
        if (m_panels.fileList) {
            m_panels.fileList->setGeometry(pmQtRect(l.fileList, ch));
            m_panels.fileList->relayoutContents(m_bR2L, static_cast<int>(l.fileList.width),
                                                static_cast<int>(l.fileList.height));
        }
        if (m_panels.toolbar) {
            m_panels.toolbar->setGeometry(pmQtRect(l.toolbar, ch));
            m_panels.toolbar->relayoutContents(m_bR2L);
        }
        if (m_panels.calendar) {
            m_panels.calendar->setGeometry(pmQtRect(l.calendar, ch));
            m_panels.calendar->relayoutContents(m_bR2L);
        }
        if (m_panels.vehicles && m_bVehicleChooser)
            m_panels.vehicles->setGeometry(pmQtRect(l.vehicleBar, ch));
        if (m_panels.gsensor)
            m_panels.gsensor->setGeometry(pmQtRect(l.gsensor, ch));
    }
    if (l.placesMap && m_panels.map) {
        m_panels.map->setGeometry(pmQtRect(l.map, ch));
        m_panels.map->relayoutContents(m_bR2L, l.map.width, l.map.height);
    }

    if (host1)
        host1->setGeometry(pmQtRect(l.playerView, ch));
    if (host2)
        host2->setGeometry(pmQtRect(l.playerView2, ch));

    if (l.hideTimeStamp) {
        m_playback->overlay().setVisible(false);
    } else {
        if (m_nScreenMode == ScreenNormal)
            m_playback->overlay().checkNow();
        m_playback->overlay().placeNow();
    }
    if (VideoPlayerView* view = m_playback->videoPlayView(); view && host1)
        view->relayout(host1->rect());
    if (m_panels.dpad && host1)
        m_panels.dpad->move(std::max(0, host1->width() - m_panels.dpad->width()),
                            std::max(0, host1->height() - m_panels.dpad->height()));
    if (VideoPlayerView* view = m_playback->videoPlayView2(); view && host2)
        view->relayout(host2->rect());
}

void WindowController::windowDidZoom(const QSizeF& frameSize)
{
    m_sizeWindow = frameSize;
    scheduleRelayout(100);
}

void WindowController::relayoutCalendarMode(bool show)
{
    if (!m_panels.calendar || !m_panels.fileList)
        return;
    // Only a change of mode moves the frames: a repeated call must not grow
    // or shrink the panels a second time.
    if (m_panels.calendar->isShrunk() != show)
        return;
    const int d = m_panels.calendar->getMonthWeekHeight();
    // The calendar's top edge and the file list's bottom edge stay put.
    QRect cal = m_panels.calendar->geometry();
    QRect list = m_panels.fileList->geometry();
    if (show) {
        cal.setHeight(cal.height() + d);
        list.setTop(list.top() + d);
    } else {
        cal.setHeight(cal.height() - d);
        list.setTop(list.top() - d);
    }
    m_panels.calendar->setGeometry(cal);
    m_panels.calendar->shrinkCalendarView(!show);
    m_panels.fileList->setGeometry(list);
    m_panels.fileList->relayoutContents(m_bR2L, list.width(), list.height());
}

// ---------------------------------------------------------------- full screen

void WindowController::onButtonPlayFullScreen()
{
    if (m_nScreenMode != ScreenNormal) {
        m_nScreenMode = ScreenNormal;
        showFullScreen(false);
    } else {
        m_nScreenMode = ScreenFullVideo;
        showFullScreen(true);
    }
}

void WindowController::onButtonMapFullScreen()
{
    const bool paused = m_playback->state() == VideoPlayerView::StatePaused;
    if (m_nScreenMode != ScreenNormal) {
        m_nScreenMode = ScreenNormal;
        showFullScreen(false);
        if (paused)
            QTimer::singleShot(200, this, &WindowController::onCenterMap);
        return;
    }
    m_nScreenMode = ScreenFullMap;
    showFullScreen(true);
    if (paused)
        QTimer::singleShot(200, this, &WindowController::onCenterMap);
    if (m_playback->state() == VideoPlayerView::StatePlaying && !m_playback->transport().isMuted())
        m_playback->videoPlayView()->setMuted(false);
}

void WindowController::onCenterMap()
{
    if (m_panels.map)
        m_panels.map->CenterLastLocation();
}

void WindowController::showFullScreen(bool show)
{
    if (!m_window)
        return;
    if (show) {
        setVisibleIf(m_panels.toolbar, false);
        setVisibleIf(m_panels.calendar, false);
        setVisibleIf(m_panels.vehicles, false);
        setVisibleIf(m_panels.fileList, false);
        setVisibleIf(m_panels.gsensor, false);
        if (m_nScreenMode == ScreenFullVideo)
            setVisibleIf(m_panels.map, false);
        else if (m_nScreenMode == ScreenFullMap)
            setVisibleIf(m_panels.playBar, false);
        // Entered from the normal arrangement only: keep the frame and state
        // to come back to.
        m_rectNormalScreen = QRectF(m_window->geometry());
        m_styleMask = static_cast<quint32>(m_window->windowState().toInt());
        // A screen smaller than the normal minimum must still be filled.
        m_window->setMinimumSize(0, 0);
        m_window->showFullScreen();
        // Without a window manager the full-screen state alone moves nothing.
        QScreen* screen = m_window->screen();
        const QRect screenFrame = screen ? screen->geometry() : m_window->geometry();
        if (m_window->geometry() != screenFrame)
            m_window->setGeometry(screenFrame);
        m_sizeWindow = QSizeF(screenFrame.size());
    } else {
        setVisibleIf(m_panels.toolbar, true);
        setVisibleIf(m_panels.calendar, true);
        setVisibleIf(m_panels.vehicles, m_bVehicleChooser);
        setVisibleIf(m_panels.fileList, true);
        setVisibleIf(m_panels.gsensor, true);
        setVisibleIf(m_panels.map, true);
        setVisibleIf(m_panels.playBar, true);
        const Qt::WindowStates previous =
            Qt::WindowStates::fromInt(static_cast<int>(m_styleMask)) & ~Qt::WindowFullScreen;
        m_window->setWindowState(previous);
        if (!(previous & (Qt::WindowMaximized | Qt::WindowMinimized)))
            m_window->showNormal();
        m_window->setMinimumSize(kMinimumWindowSize);
        m_window->setWindowTitle(pmLoadString(QStringLiteral("IDR_MAINFRAME")));
        if (!m_rectNormalScreen.isEmpty())
            m_window->setGeometry(m_rectNormalScreen.toRect());
        m_sizeWindow = QSizeF(m_rectNormalScreen.width(), m_rectNormalScreen.height() + kTitleBar);
    }
    scheduleRelayout(100);
    qInfo("Do Full Screen");
}

void WindowController::showVehicleChooser(bool show)
{
    if (show == m_bVehicleChooser)
        return;
    m_bVehicleChooser = show;
    setVisibleIf(m_panels.vehicles, show && m_nScreenMode == ScreenNormal);
    relayoutIfSized();
}

// ---------------------------------------------------------------- skin and language

void WindowController::reloadSkinImages()
{
    if (m_panels.toolbar)
        m_panels.toolbar->loadSkinBitmap();
    if (m_panels.playBar)
        m_panels.playBar->loadSkinBitmap();
    if (m_panels.dpad)
        m_panels.dpad->loadSkinBitmap();
    if (m_panels.calendar) {
        m_panels.calendar->loadSkinBitmap();
        m_panels.calendar->changeTextColor(); // the mode button's title follows the skin
    }
    if (m_panels.fileList)
        m_panels.fileList->loadSkinBitmap();
    if (m_panels.map) {
        m_panels.map->setSkinId(Skin::currentId());
        m_panels.map->loadSkinBitmap();
    }
    if (m_panels.gsensor)
        m_panels.gsensor->loadSkinBitmap();
    if (m_panels.vehicles)
        m_panels.vehicles->loadSkinBitmap();
    m_playback->redrawSensorGraph();
    if (m_window)
        m_window->update();
}

void WindowController::reloadLanguageTexts()
{
    if (m_window)
        m_window->setWindowTitle(pmLoadString(QStringLiteral("IDR_MAINFRAME")));
    m_playback->overlay().checkNow();
    if (m_panels.calendar)
        m_panels.calendar->changeLanguage();
    if (m_panels.toolbar)
        m_panels.toolbar->changeLanguage();
    if (m_panels.fileList)
        m_panels.fileList->changeLanguage();
    if (m_panels.map)
        m_panels.map->changeLanguage();
    if (m_panels.playBar)
        m_panels.playBar->changeLanguage();
    if (m_panels.vehicles)
        m_panels.vehicles->changeLanguage();
    if (m_panels.gsensor) {
        m_panels.gsensor->loadSkinBitmap();
        m_playback->redrawSensorGraph();
    }
}

// ---------------------------------------------------------------- window size

void WindowController::windowDidResize(const QSizeF& frameSize)
{
    relayout(frameSize.width(), frameSize.height());
    m_sizeWindow = frameSize;
    scheduleRelayout(500);
}

void WindowController::scheduleRelayout(int msecs)
{
    m_relayoutTimer->start(msecs);
}

void WindowController::relayoutContents()
{
    if (m_sizeWindow.width() == 0 || m_sizeWindow.height() == 0) {
        pmWriteLog("AppDelegate::relayoutContents () frame size is 0");
        m_sizeWindow = QSizeF(winlayout::kDefaultWidth, winlayout::kDefaultHeight);
    }
    relayout(m_sizeWindow.width(), m_sizeWindow.height());
    pmWriteLogQ(QString::asprintf("AppDelegate::relayoutContents () %fx%f OK!", m_sizeWindow.width(),
                                  m_sizeWindow.height()));
}

void WindowController::relayoutIfSized()
{
    if (static_cast<int>(m_sizeWindow.width()) != 0 && static_cast<int>(m_sizeWindow.height()) != 0)
        relayout(m_sizeWindow.width(), m_sizeWindow.height());
}

void WindowController::rememberContentSize()
{
    if (!m_window)
        return;
    const QSize content = m_window->contentSize();
    m_sizeWindow = QSizeF(content.width(), content.height() + kTitleBar);
}

void WindowController::setRightToLeft(bool r2l)
{
    if (r2l == m_bR2L)
        return;
    m_bR2L = r2l;
    pmWriteLog("AppDelegate - ready to relayout for language changed.");
    scheduleRelayout(500);
}

int WindowController::getSwitchButtonPosition() const
{
    if (!m_panels.fileList)
        return 668;
    const QRect frame = m_panels.fileList->geometry();
    return frame.x() + (m_bR2L ? frame.width() : 0) - 18;
}

bool WindowController::leaveFullScreen()
{
    if (m_nScreenMode == ScreenFullMap) {
        // Through the map's own button, so its image and state come back too.
        if (m_panels.map)
            m_panels.map->OnButtonFullMap();
        else
            onButtonMapFullScreen();
    } else if (m_nScreenMode == ScreenFullVideo) {
        onButtonPlayFullScreen();
    } else {
        return false;
    }
    if (m_panels.playBar && m_panels.playBar->poFullScreenBtn())
        m_panels.playBar->poFullScreenBtn()->setButtonIndex(0);
    return true;
}
