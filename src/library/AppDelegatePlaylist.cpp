// The playlist: the library entries of the chosen day (or of every day) whose
// type box is ticked, rebuilt from scratch whenever an input changes, and the
// front/rear pairs within it. A rebuild also returns every view that described
// the previous recording to its idle state. The filter itself is the core's
// (core/PlaylistFilter.h); this side gathers its inputs and resets the panels.
#include "app/AppDelegate.h"

#include "base/EventHold.h"
#include "base/Services.h"
#include "controls/CalendarView.h"
#include "controls/FileListLayout.h"
#include "controls/FileListView.h"
#include "controls/MultiButtons.h"
#include "controls/PlayControlView.h"
#include "controls/Slider.h"
#include "core/Log.h"
#include "core/PlaylistFilter.h"
#include "core/TrackLoader.h"
#include "views/GSensorView.h"
#include "views/MapView.h"

#include <QTimer>

void AppDelegate::clearPlayList()
{
    mPlaylist.clear();
}

void AppDelegate::insertObject(const AMediaFile& media, int index)
{
    mPlaylist.insert(qBound(0, index, static_cast<int>(mPlaylist.size())), media);
}

void AppDelegate::showCalendar(bool show)
{
    relayoutCalendarMode(show);
    m_bAllFile = !show;
    rebuildPlaylist();
}

QList<AMediaFile> AppDelegate::filteredPlaylist(const QList<AMediaFile>& sorted) const
{
    PlaylistFilterOptions options;
    if (mFileList) {
        options.showNormal = mFileList->isShowNormalFile();
        options.showEvent = mFileList->isShowEventFile();
        options.showParking = mFileList->isShowParkingFile();
    }
    options.allFiles = m_bAllFile;
    options.byNameTime = m_bPlaceByNameTime;
    if (mCalendar) {
        short year = 0, month = 0, day = 0;
        mCalendar->GetSelectDay(year, month, day);
        options.year = year;
        options.month = month;
        options.day = day;
    } else {
        options.allFiles = true; // no calendar to choose a day with
    }

    std::vector<ScannedRecording> library;
    library.reserve(static_cast<std::size_t>(sorted.size()));
    for (const AMediaFile& f : sorted) {
        ScannedRecording r;
        r.path = f.nativePath().toStdString();
        if (f.fileDate().isValid())
            r.mtimeMsecs = f.fileDate().toMSecsSinceEpoch();
        library.push_back(std::move(r));
    }
    QList<AMediaFile> list;
    for (std::size_t i : pmFilterPlaylist(library, options)) {
        const AMediaFile& f = sorted.at(static_cast<qsizetype>(i));
        list.append(f);
    }
    return list;
}

void AppDelegate::rebuildPlaylist()
{
    const QList<AMediaFile> sorted = sortByFileDate();
    clearPlayList();
    pmWriteLog("AppDelegate::rebuildPlaylist - Start - Ready to call setCurPlaylistIndex:-1");

    m_nShowTimeStamp = 0;
    hideTimeStamp();
    setCurPlaylistIndex(-1, false);
    if (isDualCameraMode())
        setCurPlaylistIndex2(-1, false);
    pmWriteLog("AppDelegate::rebuildPlaylist - Ready to check if a video exist");

    mPlaylist = filteredPlaylist(sorted);

    if (mFileList) {
        std::vector<FileListRow> rows;
        rows.reserve(static_cast<std::size_t>(mPlaylist.size()));
        for (const AMediaFile& f : mPlaylist)
            rows.push_back(fileListRow(f));
        mFileList->buildFileList(std::move(rows));
    }
    checkDualCameraFolder();

    if (mMapView)
        mMapView->SetPosition(0, 0, 0, 65535.0f, -1.0f);
    m_poGpsList.ClearAllData();
    m_poGpsTempData.ResetData();
    resetCtrl();
    drawTime();

    m_nMotorType = 0;
    m_oSensorBitmap = QImage();
    if (mGSensorView)
        mGSensorView->setGensorGraphic(QImage(), 0, 0);
    enableMediaButton(!mPlaylist.isEmpty());
    if (mPlayBar && mPlayBar->poTimeSlider())
        mPlayBar->poTimeSlider()->setEnabled(false);
    checkDpadButtons();
    pmWriteLogQ(QStringLiteral("AppDelegate::rebuildPlaylist - video count = %1").arg(mPlaylist.size()));
}

void AppDelegate::onCheckBoxNotification(const Notification&)
{
    rebuildPlaylist();
}

void AppDelegate::onCalendarSelChanged(const Notification&)
{
    rebuildPlaylist();
}

void AppDelegate::onDblClickFile(const Notification& n)
{
    bool ok = false;
    const int index = n.object.toInt(&ok);
    if (ok)
        dblClickFile(index);
}

void AppDelegate::dblClickFile(int index)
{
    if (isDualCameraMode())
        dualSelectFile(index, true);
    else
        setCurPlaylistIndex(index, true);
    if (mFileList)
        mFileList->showPlayMark(index);
    if (getState() == PlayStatePlaying && mPlayBar && mPlayBar->poPlayBtn())
        mPlayBar->poPlayBtn()->setButtonIndex(1);
}

// The check runs once the command that found the file missing has finished:
// a rebuild in the middle of opening a pair would leave that command working
// on a playlist that changed under it.
void AppDelegate::onVideoFileRemoved(const Notification&)
{
    pmWriteLog("AppDelegate::onVideoFileRemoved");
    QTimer::singleShot(0, this, [this] { pmRunUnlessHeld(this, [this] { onMonitorFolder(); }); });
}

// ---------------------------------------------------------------- camera pairs

int AppDelegate::checkDualCameraFileType(int index) const
{
    if (index < 0 || index >= mPlaylist.size())
        return kCameraNone;
    return pmGetCameraType(mPlaylist.at(index).nativePath().toStdString());
}

int AppDelegate::getAnotherCameraFile(int index) const
{
    if (index < 0 || index >= mPlaylist.size())
        return -1;
    const std::string path = mPlaylist.at(index).nativePath().toStdString();
    if (path.empty() || pmGetCameraType(path) == kCameraNone)
        return -1;
    const std::string partner = pmGetAnotherCameraPath(path);
    if (partner.empty())
        return -1;
    if (index + 1 < mPlaylist.size() && mPlaylist.at(index + 1).nativePath().toStdString() == partner)
        return index + 1;
    if (index >= 1 && mPlaylist.at(index - 1).nativePath().toStdString() == partner)
        return index - 1;
    return -1;
}

bool AppDelegate::checkDualCameraFolder()
{
    bool found = false;
    for (int i = 0; i < mPlaylist.size() && !found; ++i) {
        if (checkDualCameraFileType(i) != kCameraNone && getAnotherCameraFile(i) >= 0)
            found = true;
    }
    enable2VideoWindow(found);
    return found;
}
