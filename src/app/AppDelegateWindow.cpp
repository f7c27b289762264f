// The main window: creating and wiring the panels, laying them out for a
// window size (the arithmetic is app/WindowLayout), the calendar's two
// heights, full-screen video and map, and the skin and language reloads.
// Main thread only.
#include "app/AppDelegate.h"
#include "base/QtFrame.h"

#include "app/MainWindow.h"
#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "controls/CalendarView.h"
#include "controls/DpadView.h"
#include "controls/FileListView.h"
#include "controls/PlayControlView.h"
#include "controls/Slider.h"
#include "controls/ToolbarView.h"
#include "core/Log.h"
#include "playback/PlaybackSession.h"
#include "views/GSensorView.h"
#include "views/MapView.h"
#include "views/VideoPlayerView.h"

#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <cmath>

    namespace
{
    constexpr int kTitleBar = static_cast<int>(winlayout::kTitleBarHeight);
    // The toolbar's frame is two points taller than its buttons: the panels below
    // reach up over those two rows (the arrangement leaves them a two-point
    // overlap), so they meet the buttons' lower edge exactly.
    constexpr int kToolbarHeight = 31;
    constexpr QSize kMinimumWindowSize(980, 660);

    // A bottom-left frame in a content of this height, as Qt places it.

    void setVisibleIf(QWidget * w, bool visible)
    {
        if (w)
            w->setVisible(visible);
    }
} // namespace

// ---------------------------------------------------------------- panels

void AppDelegate::createPanels()
{
    if (!m_window)
        awakeFromNib();
    if (mPlayBar)
        return; // once per window
    QWidget* content = m_window->contentView();
    const int contentHeight = m_window->height();

    // Creation order is stacking order: the toolbar first, so the panels that
    // meet its lower edge are drawn over its last two (empty) rows.
    auto* toolbar = new ToolbarView(content);
    toolbar->resize(toolbar->width(), kToolbarHeight);
    toolbar->setSwitchButtonPositionProvider([this] { return getSwitchButtonPosition(); });
    connect(toolbar, &ToolbarView::browseRequested, this, &AppDelegate::onButtonBrowse);
    connect(toolbar, &ToolbarView::backupRequested, this, &AppDelegate::onButtonBackup);
    connect(toolbar, &ToolbarView::exportRequested, this, &AppDelegate::onButtonExport);
    connect(toolbar, &ToolbarView::printRequested, this, &AppDelegate::onButtonPrint);
    connect(toolbar, &ToolbarView::captureRequested, this, &AppDelegate::onButtonCapture);
    connect(toolbar, &ToolbarView::uploadYouTubeRequested, this, &AppDelegate::onButtonUploadYouTube);
    connect(toolbar, &ToolbarView::uploadFacebookRequested, this, &AppDelegate::onButtonUploadFacebook);
    connect(toolbar, &ToolbarView::windowSwitchRequested, this, &AppDelegate::onButtonWindowSwitch);
    connect(toolbar, &ToolbarView::skinChosen, this, &AppDelegate::skinMenuItemClicked);
    connect(toolbar, &ToolbarView::aboutChosen, this, &AppDelegate::aboutMenuItemClicked);
    toolbar->setView360StateProvider([this] { return view360State(); });
    connect(toolbar, &ToolbarView::view360Toggled, this, &AppDelegate::onMenu360View);
    toolbar->setPlaceByNameTimeStateProvider([this] { return isPlaceByNameTime(); });
    connect(toolbar, &ToolbarView::placeByNameTimeToggled, this, &AppDelegate::setPlaceByNameTime);
    mToolbar = toolbar;
    if (BitmapButton* sw = toolbar->oWindowSwitchBtn())
        sw->setVisible(isDualCameraMode());

    mPlayBar = new PlayControlView(content);
    mPlayBar->SetVolume(pmReadSetting(SettingsKeys::volume));

    // Over the first camera's picture, in its lower right corner; hidden
    // until that picture is a 360-degree one.
    if (QWidget* host = m_window->playerView()) {
        mDpadView = new DpadView(QRect(0, 0, 100, DpadView::kHeight + 2), host);
        mDpadView->setObjectName(QStringLiteral("dpadView"));
        mDpadView->hide();
    }

    auto* calendar = new CalendarView(content);
    calendar->resize(calendar->panelSize());
    calendar->setDayHasMedia([this](int y, int m, int d) {
        return isMediaExistByDate(static_cast<qint16>(y), static_cast<qint16>(m), static_cast<qint16>(d));
    });
    calendar->setShowCalendarHandler([this](bool show) { showCalendar(show); });
    connect(this, &AppDelegate::videoLibIsReady, calendar, &CalendarView::VideoLibIsReady);
    connect(this, &AppDelegate::activateDayRequested, calendar, &CalendarView::SetActivateDay);
    mCalendar = calendar;

    auto* fileList = new FileListView(content);
    fileList->resize(static_cast<int>(winlayout::kSmallVideoWidth), fileList->height());
    mFileList = fileList;
    m_library->setPanels(fileList, calendar);

    auto* gsensor = new GSensorView(content);
    connect(gsensor, &GSensorView::graphClicked, this, &AppDelegate::onGSensorGraphClicked);
    mGSensorView = gsensor;

    const int mapHeight = static_cast<int>(winlayout::kMapHeight);
    auto* map = new MapView(QRect(0, contentHeight - mapHeight, 350, mapHeight),
                            pmReadSetting(SettingsKeys::mapPageUrl), content);
    map->setSkinId(Skin::currentId());
    map->setSpeedUnit(static_cast<int16_t>(pmReadSetting(SettingsKeys::speedUnit)));
    connect(map, &MapView::mapFullScreenToggled, this, &AppDelegate::onButtonMapFullScreen);
    connect(map, &MapView::unitMenuItemClicked, this,
            [](int tag) { pmWriteSetting(SettingsKeys::speedUnit, tag); });
    mMapView = map;

    m_playback->setPanels(mPlayBar, mToolbar, mFileList, mMapView, mGSensorView);
    m_playback->setDpadView(mDpadView);

    connect(m_window, &MainWindow::zoomed, this, [this](const QSize& contentSize) {
        windowDidZoom(QSizeF(contentSize.width(), contentSize.height() + kTitleBar));
    });
}

WindowLayoutInput AppDelegate::windowLayoutInput(double width, double height) const
{
    WindowLayoutInput in;
    in.width = width;
    in.height = height;
    in.screenMode = m_nScreenMode;
    in.rightToLeft = bR2L;
    in.dualCamera = isDualCameraMode();
    in.switchVideo = isSwitchVideo();
    PanelSizes& s = in.sizes;
    if (mToolbar)
        s.toolbarHeight = mToolbar->height();
    if (mPlayBar)
        s.playBarHeight = mPlayBar->height();
    if (mCalendar) {
        s.calendarWidth = mCalendar->width();
        s.calendarHeight = mCalendar->height();
    }
    if (mFileList)
        s.fileListWidth = mFileList->width();
    if (mGSensorView) {
        s.gsensorWidth = mGSensorView->width();
        s.gsensorHeight = mGSensorView->height();
    }
    return in;
}

// ---------------------------------------------------------------- layout

void AppDelegate::relayout(double width, double height)
{
    if (!m_window)
        return;
    const WindowLayout l = computeWindowLayout(windowLayoutInput(width, height));
    const double ch = l.contentHeight;

    if (l.placesPlayBar && mPlayBar) {
        mPlayBar->setGeometry(pmQtRect(l.playBar, ch));
        mPlayBar->relayoutContents(bR2L, l.playBar.width);
    }

    QWidget* host1 = m_window->playerView();
    QWidget* host2 = m_window->playerView2();
    if (m_nScreenMode == ScreenNormal) {
        // The map's full screen may have hidden the first host (switchVideoWindow).
        setVisibleIf(host1, true);
        setVisibleIf(host2, l.showPlayerView2);
    }

    if (l.placesFileList) {
        if (mFileList) {
            mFileList->setGeometry(pmQtRect(l.fileList, ch));
            mFileList->relayoutContents(bR2L, static_cast<int>(l.fileList.width),
                                        static_cast<int>(l.fileList.height));
        }
        if (mToolbar) {
            mToolbar->setGeometry(pmQtRect(l.toolbar, ch));
            mToolbar->relayoutContents(bR2L);
        }
        if (mCalendar) {
            mCalendar->setGeometry(pmQtRect(l.calendar, ch));
            mCalendar->relayoutContents(bR2L);
        }
        if (mGSensorView)
            mGSensorView->setGeometry(pmQtRect(l.gsensor, ch));
    }
    if (l.placesMap && mMapView) {
        mMapView->setGeometry(pmQtRect(l.map, ch));
        mMapView->relayoutContents(bR2L, l.map.width, l.map.height);
    }

    if (host1)
        host1->setGeometry(pmQtRect(l.playerView, ch));
    if (host2)
        host2->setGeometry(pmQtRect(l.playerView2, ch));

    if (l.hideTimeStamp) {
        hideTimeStamp();
    } else {
        if (m_nScreenMode == ScreenNormal)
            checkTimeStamp();
        moveTimeStamp();
    }
    if (VideoPlayerView* view = videoPlayView(); view && host1)
        view->relayout(host1->rect());
    if (mDpadView && host1)
        mDpadView->move(std::max(0, host1->width() - mDpadView->width()),
                        std::max(0, host1->height() - mDpadView->height()));
    if (VideoPlayerView* view = videoPlayView2(); view && host2)
        view->relayout(host2->rect());
}

void AppDelegate::windowDidZoom(const QSizeF& frameSize)
{
    m_sizeWindow = frameSize;
    scheduleRelayout(100);
}

void AppDelegate::relayoutCalendarMode(bool show)
{
    if (!mCalendar || !mFileList)
        return;
    // Only a change of mode moves the frames: a repeated call must not grow
    // or shrink the panels a second time.
    if (mCalendar->isShrunk() != show)
        return;
    const int d = mCalendar->getMonthWeekHeight();
    // The calendar's top edge and the file list's bottom edge stay put.
    QRect cal = mCalendar->geometry();
    QRect list = mFileList->geometry();
    if (show) {
        cal.setHeight(cal.height() + d);
        list.setTop(list.top() + d);
    } else {
        cal.setHeight(cal.height() - d);
        list.setTop(list.top() - d);
    }
    mCalendar->setGeometry(cal);
    mCalendar->shrinkCalendarView(!show);
    mFileList->setGeometry(list);
    mFileList->relayoutContents(bR2L, list.width(), list.height());
}

// ---------------------------------------------------------------- full screen

void AppDelegate::onButtonPlayFullScreen()
{
    if (m_nScreenMode != ScreenNormal) {
        m_nScreenMode = ScreenNormal;
        showFullScreen(false);
    } else {
        m_nScreenMode = ScreenFullVideo;
        showFullScreen(true);
    }
}

void AppDelegate::onButtonMapFullScreen()
{
    const bool paused = getState() == PlayStatePaused;
    if (m_nScreenMode != ScreenNormal) {
        m_nScreenMode = ScreenNormal;
        showFullScreen(false);
        if (paused)
            QTimer::singleShot(200, this, &AppDelegate::onCenterMap);
        return;
    }
    m_nScreenMode = ScreenFullMap;
    showFullScreen(true);
    if (paused)
        QTimer::singleShot(200, this, &AppDelegate::onCenterMap);
    if (getState() == PlayStatePlaying && !isMuted())
        videoPlayView()->setMuted(false);
}

void AppDelegate::onCenterMap()
{
    if (mMapView)
        mMapView->CenterLastLocation();
}

void AppDelegate::showFullScreen(bool show)
{
    if (!m_window)
        return;
    if (show) {
        setVisibleIf(mToolbar, false);
        setVisibleIf(mCalendar, false);
        setVisibleIf(mFileList, false);
        setVisibleIf(mGSensorView, false);
        if (m_nScreenMode == ScreenFullVideo)
            setVisibleIf(mMapView, false);
        else if (m_nScreenMode == ScreenFullMap)
            setVisibleIf(mPlayBar, false);
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
        setVisibleIf(mToolbar, true);
        setVisibleIf(mCalendar, true);
        setVisibleIf(mFileList, true);
        setVisibleIf(mGSensorView, true);
        setVisibleIf(mMapView, true);
        setVisibleIf(mPlayBar, true);
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

// ---------------------------------------------------------------- skin and language

void AppDelegate::reloadSkinImages()
{
    if (mToolbar)
        mToolbar->loadSkinBitmap();
    if (mPlayBar)
        mPlayBar->loadSkinBitmap();
    if (mDpadView)
        mDpadView->loadSkinBitmap();
    if (mCalendar) {
        mCalendar->loadSkinBitmap();
        mCalendar->changeTextColor(); // the mode button's title follows the skin
    }
    if (mFileList)
        mFileList->loadSkinBitmap();
    if (mMapView) {
        mMapView->setSkinId(Skin::currentId());
        mMapView->loadSkinBitmap();
    }
    if (mGSensorView)
        mGSensorView->loadSkinBitmap();
    m_playback->redrawSensorGraph();
    if (m_window)
        m_window->update();
}

void AppDelegate::reloadLanguageTexts()
{
    if (mCalendar)
        mCalendar->changeLanguage();
    if (mToolbar)
        mToolbar->changeLanguage();
    if (mFileList)
        mFileList->changeLanguage();
    if (mMapView)
        mMapView->changeLanguage();
    if (mPlayBar)
        mPlayBar->changeLanguage();
    if (mGSensorView) {
        mGSensorView->loadSkinBitmap();
        m_playback->redrawSensorGraph();
    }
}

PlayControlView* AppDelegate::playBar() const
{
    return mPlayBar.data();
}

ToolbarView* AppDelegate::toolbar() const
{
    return mToolbar.data();
}

FileListView* AppDelegate::fileList() const
{
    return mFileList.data();
}

CalendarView* AppDelegate::calendar() const
{
    return mCalendar.data();
}

MapView* AppDelegate::mapView() const
{
    return mMapView.data();
}

GSensorView* AppDelegate::gsensorView() const
{
    return mGSensorView.data();
}

QLabel* AppDelegate::timeStamp() const
{
    return m_playback->timeStamp();
}
