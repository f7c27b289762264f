// What the controller shows for a rear-camera recording: the time-stamp text
// that follows the playback position (into the next day), its place in the
// picture's lower right corner, a name that is not a real date, and the track
// of the front camera with its event mark on the play bar's slider.
#include "PlaybackTestSupport.h"
#include "app/PlaybackPanels.h"
#include "controls/MultiButtons.h"
#include "controls/PlayControlView.h"
#include "controls/Slider.h"

#include <QLabel>

using namespace playtest;

namespace
{

QRect rectIn(QWidget* w, QWidget* ancestor)
{
    return QRect(w->mapTo(ancestor, QPoint(0, 0)), w->size());
}

TEST(TimeStampTrack, RearStampRollsIntoTheNextDayAndSitsInThePictureCorner)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString rear = dir.filePath(QStringLiteral("FILE231231-235950_2.MP4"));
    const QString bad = dir.filePath(QStringLiteral("FILE231301-250000_2.MP4")); // month 13, hour 25
    ASSERT_TRUE(makeRecording(rear, 12.0, true, false, 320, 180));
    ASSERT_TRUE(makeRecording(bad, 2.0, true));
    Controller c({rear, bad});
    ASSERT_FALSE(c->isDualCameraMode());
    const int row = c->playlist().at(0).path() == rear ? 0 : 1;

    c.doubleClick(row);
    EXPECT_EQ(c->timeStampMode(), 1);
    ASSERT_TRUE(c.waitOpened());
    QLabel* stamp = c->timeStamp();
    ASSERT_NE(stamp, nullptr);
    EXPECT_FALSE(stamp->isHidden());
    EXPECT_EQ(stamp->parentWidget(), c->window()->contentView());
    c.playBar(PlayControlView::CmdPause);
    c.slider(QStringLiteral("time"), 0);
    // No track: blank free text and model, the moment with "0 km/h", the placeholder position.
    EXPECT_TRUE(stamp->text().startsWith(QStringLiteral(" \n \n2023/12/31 23:59:50 0 km/h\n- --")))
        << stamp->text().toStdString();

    // Ten seconds in, the date has rolled over.
    c.slider(QStringLiteral("time"), 10);
    EXPECT_TRUE(stamp->text().contains(QStringLiteral("2024/01/01 00:00:00"))) << stamp->text().toStdString();
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePaused);

    // The lower right corner lies 10 points inside the picture's as shown in
    // the 640 x 480 host: 320 x 180, not enlarged, centred at (160, 150).
    c->moveTimeStamp();
    const QRect host = rectIn(c->window()->playerView(), c->window()->contentView());
    const QRect label = stamp->geometry();
    EXPECT_EQ(label.x() + label.width(), host.x() + 160 + 320 - 10);
    EXPECT_EQ(label.y() + label.height(), host.y() + 150 + 180 - 10);

    // A name that is no real moment: no rolled-over date, and no crash.
    c.doubleClick(1 - row);
    ASSERT_TRUE(c.waitOpened());
    c.slider(QStringLiteral("time"), 1);
    EXPECT_TRUE(stamp->text().contains(QStringLiteral("----/--/-- --:--:--"))) << stamp->text().toStdString();

    // A recording that is not a rear one hides the stamp after a rebuild.
    c->rebuildPlaylist();
    EXPECT_EQ(c->timeStampMode(), 0);
    EXPECT_TRUE(stamp->isHidden());
}

TEST(TimeStampTrack, RearRecordingShowsTheFrontTrackAndItsEventMark)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The camera keeps each camera's files in a folder named after it; the
    // front's log lies in the sibling folder.
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("EVENT_2")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("EVENT_M")));
    const QString rear = dir.filePath(QStringLiteral("EVENT_2/EMER240518-154012_2.MP4"));
    ASSERT_TRUE(makeRecording(rear, 8.0, true));
    mediagen::NmeaSpec log;
    log.start = {2024, 5, 18, 15, 40, 12};
    log.drive.seconds = 8;
    log.drive.eventSecond = 5;
    ASSERT_TRUE(mediagen::writeNmeaLog(
        dir.filePath(QStringLiteral("EVENT_M/EMER240518-154012_M.NMEA")).toStdString(), log));

    Controller c({rear});
    auto* bar = new PlayControlView(c->window()->contentView());
    WindowController::Panels panels;
    panels.playBar = bar;
    c->windows()->adoptPanels(panels);
    connectPlaybackPanels(*c->playback(), panels);
    c.doubleClick(0);
    ASSERT_TRUE(c.waitOpened());

    EXPECT_TRUE(c->gpsList().IsGPSReady());
    EXPECT_TRUE(c->gpsList().IsGSensorReady());
    EXPECT_EQ(c->playback()->track().eventTime(), 5);
    EXPECT_NE(bar->poTimeSlider()->eventPos(), -1); // a pixel position on the slider
    EXPECT_EQ(bar->poTimeSlider()->maxValue(), 8);
    EXPECT_FALSE(c->playback()->track().graphic().isNull());

    // The stamp carries the camera's free text, the speed and the position.
    c.playBar(PlayControlView::CmdPause);
    c.slider(QStringLiteral("time"), 3);
    const QString text = c->timeStamp()->text();
    EXPECT_TRUE(text.startsWith(QStringLiteral(" \nROVIX\n2024/05/18 15:40:15 "))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral(" km/h\nN 35"))) << text.toStdString();
    EXPECT_EQ(bar->playTime(), 3);

    // The tick moves the slider while playing.
    c.playBar(PlayControlView::CmdPlay);
    ASSERT_TRUE(waitFor([&] { return bar->poTimeSlider()->getCurrentValue() >= 4; }, 5000));
    EXPECT_EQ(bar->poPlayBtn()->getCurButtonIndex(), 1);
}

} // namespace
