// The panels of the main window wired to the controller and the feature
// objects, one block per sender. WindowController creates and lays them out.
// The library's own signals are wired in AppDelegateLibrary.cpp, playback's in
// AppDelegate.cpp and PlaybackPanels.cpp, the export features' in
// AppDelegateExport.cpp, the harsh-driving marks' in HarshMarksPanels.cpp.
#include "app/AppDelegate.h"
#include "app/HarshMarksPanels.h"
#include "app/LanguageSwitch.h"
#include "app/LibraryPanels.h"

#include "app/MainWindow.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/CalendarView.h"
#include "controls/DpadView.h"
#include "controls/FileListView.h"
#include "controls/PlayControlView.h"
#include "controls/ToolbarView.h"
#include "playback/PlaybackSession.h"
#include "views/GSensorView.h"
#include "views/MapView.h"

void AppDelegate::createPanels()
{
    if (!window())
        awakeFromNib();
    if (playBar())
        return; // once per window
    m_windows->createPanels();

    // toolbar -> the controller's commands, the language switch, playback
    ToolbarView* toolbar = this->toolbar();
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
    connect(toolbar, &ToolbarView::languageChosen, this, &AppDelegate::languageMenuItemClicked);
    connect(toolbar, &ToolbarView::speedUnitChosen, m_languageSwitch, &LanguageSwitch::chooseSpeedUnit);
    toolbar->setView360StateProvider([this] { return view360State(); });
    connect(toolbar, &ToolbarView::view360Toggled, this, &AppDelegate::onMenu360View);
    toolbar->setPlaceByNameTimeStateProvider([this] { return isPlaceByNameTime(); });
    connect(toolbar, &ToolbarView::placeByNameTimeToggled, this, &AppDelegate::setPlaceByNameTime);
    connect(toolbar, &ToolbarView::saveClipChosen, this, &AppDelegate::onSaveClip);
    toolbar->setShowWholeTripStateProvider([this] { return m_playback->showWholeTrip(); });
    connect(toolbar, &ToolbarView::showWholeTripToggled, &m_playback->tripRoute(),
            &TripRoute::setShowWholeTrip);
    connect(toolbar, &ToolbarView::harshThresholdChosen, this, &AppDelegate::onHarshThreshold);

    // harsh-driving marks <-> playback, library, slider, graph, file list
    connectHarshMarks(*m_harshMarks, *m_playback, *m_library, m_languageSwitch, m_windows->panels());
    toolbar->setAttachedTrackStateProvider([this] { return m_attach->menuState(); });
    connect(toolbar, &ToolbarView::attachTrackChosen, m_attach, &TrackAttachController::onAttachTrack);
    connect(toolbar, &ToolbarView::removeTrackChosen, m_attach, &TrackAttachController::onRemoveTrack);
    toolbar->setCameraClockStateProvider([this] { return m_clockCorrection->menuState(); },
                                         [this] { return m_clockCorrection->menuToolTip(); });
    connect(toolbar, &ToolbarView::cameraClockToggled, m_clockCorrection, &CameraClockCorrection::setOn);

    // calendar <-> library (the days it marks, the day it shows)
    CalendarView* calendar = this->calendar();
    calendar->setDayHasMedia([this](int y, int m, int d) {
        return isMediaExistByDate(static_cast<qint16>(y), static_cast<qint16>(m), static_cast<qint16>(d));
    });
    calendar->setShowCalendarHandler([this](bool show) { showCalendar(show); });
    connect(this, &AppDelegate::videoLibIsReady, calendar, &CalendarView::VideoLibIsReady);
    connect(this, &AppDelegate::activateDayRequested, calendar, &CalendarView::SetActivateDay);
    connectLibraryPanels(*m_library, fileList(), calendar);

    // file list -> the row double-clicked plays (a single click previews: PlaybackPanels)
    connect(fileList(), &FileListView::rowDoubleClicked, this, &AppDelegate::dblClickFile);

    // graph -> seeking; map and language switch -> the speed unit shown
    connect(gsensorView(), &GSensorView::graphClicked, this, &AppDelegate::onGSensorGraphClicked);
    connect(mapView(), &MapView::unitMenuItemClicked, m_languageSwitch, &LanguageSwitch::chooseSpeedUnit);
    connect(m_languageSwitch, &LanguageSwitch::speedUnitChanged, this, [this](int unit) {
        mapView()->setSpeedUnit(static_cast<int16_t>(unit));
        m_playback->overlay().checkNow(); // the overlay's speed in the new unit, also while paused
    });
    wireArchivePanels();
}

PlayControlView* AppDelegate::playBar() const
{
    return m_windows->panels().playBar.data();
}

ToolbarView* AppDelegate::toolbar() const
{
    return m_windows->panels().toolbar.data();
}

FileListView* AppDelegate::fileList() const
{
    return m_windows->panels().fileList.data();
}

CalendarView* AppDelegate::calendar() const
{
    return m_windows->panels().calendar.data();
}

MapView* AppDelegate::mapView() const
{
    return m_windows->panels().map.data();
}

GSensorView* AppDelegate::gsensorView() const
{
    return m_windows->panels().gsensor.data();
}

QLabel* AppDelegate::timeStamp() const
{
    return m_playback->overlay().existingLabel();
}
