// "Correct the camera clock" through the settings menu, on cards whose camera
// runs 3 min slow: the recording made at 23:58 by the camera's clock moves to
// 00:01 of the next day on the calendar and in the file list while it keeps
// playing, the stamp counts from the corrected start, and the choice is kept
// per card (its folder and its DEVICE.XML model), off for any other card.
#include "../playback/PlaybackTestSupport.h"
#include "LibraryApp.h"
#include "LibraryBuild.h"

#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/CalendarView.h"
#include "controls/FileListBox.h"
#include "controls/FileListView.h"
#include "controls/ToolbarView.h"

#include <QAction>
#include <QMenu>
#include <QSettings>

using namespace playtest;

namespace
{

struct App : LibraryApp {

    // The settings menu's item as the menu shows it now (the menu stays open).
    QAction* clockItem()
    {
        app->toolbar()->onSettingButtonPressed();
        QMenu* menu = app->toolbar()->settingsMenu();
        return menu ? menu->findChild<QAction*>(QStringLiteral("cameraClockItem")) : nullptr;
    }
    bool build(const QString& card)
    {
        return librarytest::buildLibrary(*app, card) &&
               waitFor([this] { return !app->cameraClockCorrection()->isMeasuring(); });
    }
    QDate focusDay() const
    {
        const calendar::Date d = app->calendar()->focusDate();
        return QDate(d.year, d.month, d.day);
    }
    // "yyyy/MM/dd hh:mm:ss" of the file list's row showing `name`; "" when none does.
    QString rowTime(const QString& name) const
    {
        FileListBox* rows = app->fileList()->fileListBox();
        for (int i = 0; i < rows->getCount(); ++i)
            if (rows->row(i)->name == name)
                return rows->row(i)->dateText + " " + rows->row(i)->timeText;
        return QString();
    }
};

const QString kLate = QStringLiteral("FILE210315-235800_M.MP4");
const QString kNoon = QStringLiteral("FILE210315-120000_M.MP4");

// A card in `folder`: the 23:58 recording with a log whose GPS time says the
// camera is 3 min slow in this computer's time zone, and one at noon without a log.
bool makeCard(const QString& folder, const std::string& model)
{
    QDir().mkpath(folder);
    const QDateTime late(QDate(2021, 3, 15), QTime(23, 58));
    const QDateTime utc = late.addSecs(3 * 60).toUTC();
    mediagen::NmeaSpec log;
    log.start = {utc.date().year(), utc.date().month(),  utc.date().day(),
                 utc.time().hour(), utc.time().minute(), 0};
    log.drive.seconds = 6;
    bool ok = mediagen::writeDeviceXml(folder.toStdString(), model) &&
              mediagen::writeNmeaLog((folder + "/FILE210315-235800_M.log").toStdString(), log);
    for (const auto& [name, when] :
         {std::pair{kLate, late}, std::pair{kNoon, QDateTime(late.date(), QTime(12, 0))}}) {
        QFile f(folder + "/" + name);
        ok = ok && makeRecording(f.fileName(), 6) && f.open(QIODevice::ReadWrite) &&
             f.setFileTime(when, QFileDevice::FileModificationTime);
    }
    return ok;
}

} // namespace

TEST(CameraClockCorrection, TheCorrectedClockMovesARecordingToTheNextDayWhileItPlaysAndIsKeptPerCard)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString cardA = dir.filePath("A"), cardB = dir.filePath("B");
    ASSERT_TRUE(makeCard(cardA, "DRC-2000W"));
    ASSERT_TRUE(makeCard(cardB, "DRC-2000W"));
    const QDate day(2021, 3, 15), next(2021, 3, 16);

    App a;
    ASSERT_TRUE(a.build(cardA));
    // Off: the camera's clock.
    EXPECT_EQ(a.focusDay(), day);
    EXPECT_EQ(a.rowTime(kLate), "2021/03/15 23:58:00");
    QAction* item = a.clockItem();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), pmLoadString(QStringLiteral("IDS_CORRECT_CAMERA_CLOCK")));
    EXPECT_TRUE(item->isEnabled());
    EXPECT_FALSE(item->isChecked());
    EXPECT_TRUE(item->toolTip().startsWith("camera clock 3 min behind GPS time"))
        << item->toolTip().toStdString();

    // On while the 23:58 recording plays: it moves to 00:01 of the next day and keeps playing.
    ASSERT_EQ(a->playlist().size(), 2);
    ASSERT_EQ(a->playlist().at(1).localizedName(), kLate);
    a->dblClickFile(1);
    ASSERT_TRUE(waitFor([&] {
        return a->videoPlayView() && a->videoPlayView()->getPlayerStatus() == 1 && !a->isVideoLoading() &&
               a->getState() == VideoPlayerView::StatePlaying;
    }));
    const QUrl playing = a->playback()->currentAsset(1);
    item->trigger();
    a->toolbar()->settingsMenu()->close();
    EXPECT_EQ(a.focusDay(), next);
    ASSERT_EQ(a->playlist().size(), 1);
    EXPECT_EQ(a.rowTime(kLate), "2021/03/16 00:01:00");
    EXPECT_EQ(a->getCurPlayIndex(), 0);
    EXPECT_EQ(a->playback()->currentAsset(1), playing);
    EXPECT_EQ(a->getState(), VideoPlayerView::StatePlaying);
    EXPECT_TRUE(a->isMediaExistByDate(2021, 3, 15)) << "noon stays on its day";
    EXPECT_TRUE(a->isMediaExistByDate(2021, 3, 16));
    // The stamp over a rear camera's picture (and so a capture) counts from the corrected start.
    a->playback()->overlay().setStart({2021, 3, 0, 15, 23, 58, 0, 0});
    const std::optional<QString> stamp = a->playback()->overlay().textAtFrame(2.0);
    ASSERT_TRUE(stamp.has_value());
    EXPECT_TRUE(stamp->contains("2021/03/16 00:01:02")) << stamp->toStdString();
    EXPECT_TRUE(a.clockItem()->isChecked());
    a->toolbar()->settingsMenu()->close();

    // Another card of the same model: off. Its own folder again: on, as it was left.
    a->setCurPlaylistIndex(-1, false);
    ASSERT_TRUE(a.build(cardB));
    EXPECT_FALSE(a.clockItem()->isChecked());
    a->toolbar()->settingsMenu()->close();
    EXPECT_EQ(a.rowTime(kLate), "2021/03/15 23:58:00");
    ASSERT_TRUE(a.build(cardA));
    EXPECT_TRUE(a.clockItem()->isChecked());
    a->toolbar()->settingsMenu()->close();
    EXPECT_EQ(a.focusDay(), next) << "the newest day by the corrected clock";
    EXPECT_EQ(a.rowTime(kLate), "2021/03/16 00:01:00");
    EXPECT_TRUE(QSettings()
                    .value(SettingsKeys::correctedCameraClocks.key())
                    .toString()
                    .contains(cardA.section('/', -1)));

    // The same folder holding another camera's card: off; nothing was written to either card.
    ASSERT_TRUE(mediagen::writeDeviceXml(cardA.toStdString(), "DRC-9000"));
    ASSERT_TRUE(a.build(cardA));
    EXPECT_FALSE(a.clockItem()->isChecked());
    a->toolbar()->settingsMenu()->close();
    EXPECT_EQ(a.rowTime(kLate), "2021/03/15 23:58:00");
    // On while nothing plays: the calendar follows the selected recording to its day.
    ASSERT_EQ(a->playlist().size(), 2);
    a->fileList()->setCurSel(1, false);
    a.clockItem()->trigger();
    a->toolbar()->settingsMenu()->close();
    EXPECT_EQ(a.focusDay(), next);
    EXPECT_EQ(a.rowTime(kLate), "2021/03/16 00:01:00");
    EXPECT_EQ(QDir(cardA).entryList(QDir::Files).size(), 4);
}

TEST(CameraClockCorrection, ACardWithoutGpsTimeSaysSoAndNothingMoves)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(makeRecording(dir.filePath(kLate), 2));
    App a;
    ASSERT_TRUE(a.build(dir.path()));
    QAction* item = a.clockItem();
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->isEnabled());
    EXPECT_EQ(item->toolTip(), pmLoadString(QStringLiteral("IDS_CAMERA_CLOCK_NO_GPS_TIME")));
    a->toolbar()->settingsMenu()->close();
    a->cameraClockCorrection()->setOn(true);
    EXPECT_TRUE(QSettings().value(SettingsKeys::correctedCameraClocks.key()).toString().isEmpty());
    EXPECT_FALSE(a->library()->clockCorrection().has_value());
}
