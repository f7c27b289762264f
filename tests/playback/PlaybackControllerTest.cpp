// The playback controller over real headless surfaces: the double-click road,
// play/pause, the speed cycle, seeks, next/previous and their wrap rules, the
// end of the last entry, two-camera pairs, broken and vanished recordings, and
// commands given with no recording open.
#include "PlaybackTestSupport.h"
#include "WaitingWindow/WaitingWindow.h"
#include "base/Services.h"

#include <QLabel>

using namespace playtest;

namespace
{

class PlaybackControllerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir();
        ASSERT_TRUE(s_dir->isValid());
        QDir(s_dir->path()).mkpath(QStringLiteral("single"));
        QDir(s_dir->path()).mkpath(QStringLiteral("pairs"));
        QDir(s_dir->path()).mkpath(QStringLiteral("broken"));
        for (const char* name : {"FILE240517-081200", "FILE240517-081210", "FILE240517-081220"})
            ASSERT_TRUE(makeRecording(path(QStringLiteral("single/%1.MP4").arg(name)), 3.0, false, true));
        for (const char* name : {"FILE240517-090000", "FILE240517-090010"}) {
            ASSERT_TRUE(makeRecording(path(QStringLiteral("pairs/%1_M.MP4").arg(name)), 3.0, false, true));
            ASSERT_TRUE(makeRecording(path(QStringLiteral("pairs/%1_2.MP4").arg(name)), 3.0, true));
        }
        // A recording cut by a power cut (its index is lost) and a stream of zeros behind valid headers.
        ASSERT_TRUE(makeRecording(path(QStringLiteral("broken/good.mp4")), 2.0));
        QFile good(path(QStringLiteral("broken/good.mp4")));
        ASSERT_TRUE(good.open(QIODevice::ReadOnly));
        QByteArray data = good.readAll();
        good.close();
        QByteArray damaged = data;
        const int mdat = damaged.indexOf("mdat");
        ASSERT_GT(mdat, 4);
        for (int i = mdat + 4; i < damaged.size(); ++i)
            damaged[i] = 0;
        writeFile(QStringLiteral("broken/FILE240517-100000.MP4"), damaged);
        writeFile(QStringLiteral("broken/FILE240517-100010.MP4"), QByteArray(40000, '\x5a'));
        QFile::rename(path(QStringLiteral("broken/good.mp4")),
                      path(QStringLiteral("broken/FILE240517-100020.MP4")));
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString path(const QString& relative) { return s_dir->filePath(relative); }
    static void writeFile(const QString& relative, const QByteArray& data)
    {
        QFile f(path(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    static QStringList files(const QString& folder)
    {
        QStringList out;
        const QDir dir(path(folder));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            out << dir.filePath(name);
        return out;
    }
    static QTemporaryDir* s_dir;
};

QTemporaryDir* PlaybackControllerTest::s_dir = nullptr;

TEST_F(PlaybackControllerTest, SingleCameraPlayPauseSpeedSeekNextPreviousAndEnd)
{
    Controller c(files(QStringLiteral("single")));
    ASSERT_EQ(c->playlist().size(), 3);
    EXPECT_FALSE(c->isDualCameraMode());
    EXPECT_EQ(c->getCurPlayIndex(), -1);

    // The double click road: loading until ready, then playing with the track loaded.
    c.doubleClick(1);
    EXPECT_EQ(c->getCurPlayIndex(), 1);
    EXPECT_TRUE(c->isVideoLoading());
    ASSERT_NE(c->videoPlayView(), nullptr);
    QSignalSpy ready(c->videoPlayView(), &VideoPlayerView::readyToPlay);
    ASSERT_TRUE(c.waitOpened());
    EXPECT_EQ(ready.count(), 1);
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePlaying);
    EXPECT_NEAR(c->playback()->transport().duration(), 3.0, 0.2);
    EXPECT_EQ(c->timeStampMode(), 0);
    EXPECT_EQ(c.entryOf(c->videoPlayView()), 1);
    EXPECT_EQ(c->videoPlayView()->parentWidget(), c->window()->playerView());

    // A second ready report for the same recording changes nothing.
    Q_EMIT c->videoPlayView()->readyToPlay();
    EXPECT_FALSE(c->isVideoLoading());

    // Pause and play from the play bar.
    c.playBar(PlayControlView::CmdPause);
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePaused);
    EXPECT_FALSE(c->pausePlayback()); // already paused
    c.playBar(PlayControlView::CmdPlay);
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePlaying);

    // Speed cycle: 1.5, 2.0, 0.25, 0.5, back to 1.0, applied to the player.
    const float expected[] = {1.5f, 2.0f, 0.25f, 0.5f, 1.0f};
    for (float rate : expected) {
        c.playBar(PlayControlView::CmdSpeed);
        EXPECT_FLOAT_EQ(c->playSpeed(), rate);
        EXPECT_TRUE(
            waitFor([&] { return std::abs(mpvDouble(c->videoPlayView(), "speed") - (rate)) < 1e-6; }, 2000));
    }

    // Seek while paused stays paused at the new second; while playing it resumes at the rate.
    c.playBar(PlayControlView::CmdSpeed); // 1.5
    c.playBar(PlayControlView::CmdPause);
    c.slider(QStringLiteral("time"), 2);
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePaused);
    EXPECT_DOUBLE_EQ(c->playback()->transport().currentTime(), 2.0);
    EXPECT_TRUE(waitFor([&] { return std::abs(c->videoPlayView()->getitemTime() - 2.0) < 0.15; }, 5000));
    QTest::qWait(600);
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePaused);
    EXPECT_NEAR(c->videoPlayView()->getitemTime(), 2.0, 0.15);
    c.playBar(PlayControlView::CmdPlay);
    c.slider(QStringLiteral("time"), 1);
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePlaying);
    EXPECT_TRUE(
        waitFor([&] { return std::abs(mpvDouble(c->videoPlayView(), "speed") - (1.5)) < 1e-6; }, 2000));
    EXPECT_TRUE(waitFor([&] { return mpvFlag(c->videoPlayView(), "pause") == 0; }, 2000)); // mpv plays on

    // Volume steps and mute act on the player.
    c.slider(QStringLiteral("volume"), 3);
    EXPECT_EQ(c->volume(), 3);
    EXPECT_EQ(pmGetIntSetting(QStringLiteral("Volume"), 8), 3);
    EXPECT_TRUE(
        waitFor([&] { return std::abs(mpvDouble(c->videoPlayView(), "volume") - 30.0) < 1e-3; }, 2000));
    c.playBar(PlayControlView::CmdMute);
    EXPECT_TRUE(c->isMuted());
    EXPECT_TRUE(waitFor([&] { return mpvFlag(c->videoPlayView(), "mute") == 1; }, 2000));
    c.playBar(PlayControlView::CmdMute);
    EXPECT_TRUE(waitFor([&] { return mpvFlag(c->videoPlayView(), "mute") == 0; }, 2000));
    c.slider(QStringLiteral("volume"), 0);
    EXPECT_TRUE(waitFor([&] { return mpvFlag(c->videoPlayView(), "mute") == 0; }, 2000)); // silent, not muted

    // Next and previous wrap from the play bar; the rate carries over.
    c.playBar(PlayControlView::CmdNext);
    EXPECT_EQ(c->getCurPlayIndex(), 2);
    ASSERT_TRUE(c.waitOpened());
    EXPECT_TRUE(
        waitFor([&] { return std::abs(mpvDouble(c->videoPlayView(), "speed") - (1.5)) < 1e-6; }, 2000));
    c.playBar(PlayControlView::CmdNext);
    EXPECT_EQ(c->getCurPlayIndex(), 0);
    ASSERT_TRUE(c.waitOpened());
    c.playBar(PlayControlView::CmdPrevious);
    EXPECT_EQ(c->getCurPlayIndex(), 2);
    ASSERT_TRUE(c.waitOpened());

    // The end of the last entry stops on its last frame instead of wrapping.
    c->setPlaySpeed(2.0f);
    QSignalSpy lastEnded(c->videoPlayView(), &VideoPlayerView::ended);
    ASSERT_TRUE(waitFor([&] { return lastEnded.count() > 0; }, 10000));
    EXPECT_EQ(c->getCurPlayIndex(), 2);
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePaused);
    EXPECT_GT(c->playback()->transport().currentTime(), 0.0);

    // The end of an entry that is not the last opens the next one.
    c.doubleClick(0);
    QSignalSpy firstEnded(c->videoPlayView(), &VideoPlayerView::ended);
    ASSERT_TRUE(c.waitOpened());
    ASSERT_TRUE(waitFor([&] { return firstEnded.count() > 0; }, 10000));
    EXPECT_EQ(c->getCurPlayIndex(), 1);
    ASSERT_TRUE(c.waitOpened());
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePlaying);

    // A rebuild deselects everything and drops the surface and the tick.
    c->rebuildPlaylist();
    EXPECT_EQ(c->getCurPlayIndex(), -1);
    EXPECT_EQ(c->videoPlayView(), nullptr);
    EXPECT_EQ(c->getState(), VideoPlayerView::StateNoPlayer);
    EXPECT_FALSE(c->playback()->transport().hasTickTimer());
    EXPECT_EQ(c->gpsList().GetDataCount(), 0);
}

TEST_F(PlaybackControllerTest, TwoCameraPairsWalkSwitchAndStopAtLastFront)
{
    Controller c(files(QStringLiteral("pairs")));
    ASSERT_EQ(c->playlist().size(), 4);
    ASSERT_TRUE(c->isDualCameraMode());
    EXPECT_EQ(c->checkDualCameraFileType(0), kCameraMain);
    EXPECT_EQ(c->checkDualCameraFileType(1), kCameraRear);
    EXPECT_EQ(c->getAnotherCameraFile(0), 1);
    EXPECT_EQ(c->getAnotherCameraFile(1), 0);
    EXPECT_EQ(c->getAnotherCameraFile(9), -1);

    c.doubleClick(0);
    ASSERT_TRUE(c.waitOpened());
    ASSERT_TRUE(c->has2Videos());
    EXPECT_EQ(c.entryOf(c->videoPlayView()), 0);
    EXPECT_EQ(c.entryOf(c->videoPlayView2()), 1);
    EXPECT_EQ(c->getCurPlayIndex2(), 1);
    EXPECT_EQ(c->timeStampMode(), 2);
    EXPECT_FALSE(c->isSwitchVideo());
    EXPECT_EQ(c->videoPlayView2()->parentWidget(), c->window()->playerView2());
    // The rear is muted whatever the mute and volume say.
    EXPECT_TRUE(waitFor([&] { return mpvFlag(c->videoPlayView2(), "mute") == 1; }, 2000));
    c.playBar(PlayControlView::CmdMute);
    c.playBar(PlayControlView::CmdMute);
    c.slider(QStringLiteral("volume"), 10);
    EXPECT_TRUE(waitFor([&] { return mpvFlag(c->videoPlayView2(), "mute") == 1; }, 2000));
    EXPECT_TRUE(waitFor([&] { return mpvFlag(c->videoPlayView(), "mute") == 0; }, 2000));

    // Both surfaces take play, pause and speed.
    c.playBar(PlayControlView::CmdPause);
    EXPECT_EQ(c->videoPlayView2()->getState(), VideoPlayerView::StatePaused);
    c.playBar(PlayControlView::CmdSpeed);
    c.playBar(PlayControlView::CmdPlay);
    EXPECT_EQ(c->videoPlayView2()->getState(), VideoPlayerView::StatePlaying);
    EXPECT_TRUE(
        waitFor([&] { return std::abs(mpvDouble(c->videoPlayView2(), "speed") - (1.5)) < 1e-6; }, 2000));

    // Next opens the second pair, Next from the play bar wraps to the first.
    c.playBar(PlayControlView::CmdNext);
    EXPECT_EQ(c->getCurPlayIndex(), 2);
    EXPECT_EQ(c->getCurPlayIndex2(), 3);
    ASSERT_TRUE(c.waitOpened());
    c.playBar(PlayControlView::CmdNext);
    EXPECT_EQ(c->getCurPlayIndex(), 0);
    EXPECT_EQ(c->getCurPlayIndex2(), 1);
    ASSERT_TRUE(c.waitOpened());
    // Previous from entry 2 (whose previous entry is the rear of pair 0) opens pair 0.
    c.playBar(PlayControlView::CmdNext);
    ASSERT_TRUE(c.waitOpened());
    c.playBar(PlayControlView::CmdPrevious);
    EXPECT_EQ(c->getCurPlayIndex(), 0);
    EXPECT_EQ(c->getCurPlayIndex2(), 1);
    ASSERT_TRUE(c.waitOpened());

    // Double-clicking the rear shows it large; the front surface still plays the front.
    c.doubleClick(1);
    EXPECT_TRUE(c->isSwitchVideo());
    EXPECT_EQ(c->getCurPlayIndex(), 0);
    EXPECT_EQ(c->getCurPlayIndex2(), 1);
    EXPECT_EQ(c->window()->playerView2()->width(), 640);
    ASSERT_TRUE(c.waitOpened());
    ASSERT_NE(c->timeStamp(), nullptr);
    EXPECT_FALSE(c->timeStamp()->isHidden()); // the rear is large: its stamp shows
    c->switchVideoWindow(true);               // the same direction again changes nothing
    EXPECT_EQ(c->window()->playerView2()->width(), 640);
    c.doubleClick(0);
    EXPECT_FALSE(c->isSwitchVideo());
    EXPECT_EQ(c->window()->playerView()->width(), 640);
    ASSERT_TRUE(c.waitOpened());
    EXPECT_TRUE(c->timeStamp()->isHidden());

    // The end of the last front recording stops; the pair stays open.
    c.doubleClick(2);
    ASSERT_TRUE(c.waitOpened());
    c->setPlaySpeed(2.0f);
    QSignalSpy frontEnded(c->videoPlayView(), &VideoPlayerView::ended);
    ASSERT_TRUE(waitFor([&] { return frontEnded.count() > 0; }, 10000));
    EXPECT_EQ(c->getCurPlayIndex(), 2);
    EXPECT_EQ(c->getCurPlayIndex2(), 3);
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePaused);

    // A rebuild releases both surfaces.
    c->rebuildPlaylist();
    EXPECT_EQ(c->videoPlayView(), nullptr);
    EXPECT_EQ(c->videoPlayView2(), nullptr);
    EXPECT_EQ(c->getCurPlayIndex2(), -1);
}

TEST_F(PlaybackControllerTest, UndecodableRecordingEndsLoadingAndNextStillPlays)
{
    Controller c(files(QStringLiteral("broken")));
    ASSERT_EQ(c->playlist().size(), 3);
    for (int row : {0, 1}) {
        pmStartWait();
        c.doubleClick(row);
        EXPECT_TRUE(c->isVideoLoading());
        ASSERT_NE(c->videoPlayView(), nullptr);
        QSignalSpy ready(c->videoPlayView(), &VideoPlayerView::readyToPlay);
        ASSERT_TRUE(waitFor([&] { return !c->isVideoLoading(); }, 15000)) << "row " << row;
        EXPECT_TRUE(c->videoPlayView()->hasFailed());
        // What the surface shows instead of a picture comes from the string table.
        EXPECT_NE(pmLoadString(QStringLiteral("IDS_ERR_VIDEO_DECODE")),
                  QStringLiteral("IDS_ERR_VIDEO_DECODE"));
        EXPECT_FALSE(pmIsWaiting());
        EXPECT_EQ(c->getState(), VideoPlayerView::StateNoPlayer);
        EXPECT_EQ(ready.count(), 0);
        // Speed changes are no longer held back by a load that will never finish.
        c->setPlaySpeed(1.0f);
    }
    // The next entry opens and plays.
    c.playBar(PlayControlView::CmdNext);
    EXPECT_EQ(c->getCurPlayIndex(), 2);
    ASSERT_TRUE(c.waitOpened());
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePlaying);
}

TEST_F(PlaybackControllerTest, VanishedRecordingsAndCommandsWithoutSurface)
{
    QTemporaryDir card;
    ASSERT_TRUE(card.isValid());
    const QString a = card.filePath(QStringLiteral("FILE240517-081200.MP4"));
    const QString b = card.filePath(QStringLiteral("FILE240517-081210.MP4"));
    const QString d = card.filePath(QStringLiteral("FILE240517-081220.MP4"));
    ASSERT_TRUE(makeRecording(a, 3.0));
    ASSERT_TRUE(makeRecording(b, 3.0));
    ASSERT_TRUE(makeRecording(d, 3.0));
    Controller c({a, b, d});
    ASSERT_EQ(c->playlist().size(), 3);

    // Commands with no recording open change their fields and touch no player.
    c.playBar(PlayControlView::CmdPlay);
    c.playBar(PlayControlView::CmdPause);
    c.playBar(PlayControlView::CmdMute);
    EXPECT_TRUE(c->isMuted());
    c.playBar(PlayControlView::CmdSpeed);
    EXPECT_FLOAT_EQ(c->playSpeed(), 1.5f);
    c.slider(QStringLiteral("time"), 5);
    c.slider(QStringLiteral("volume"), 4);
    EXPECT_EQ(c->volume(), 4);
    c.playBar(PlayControlView::CmdFullScreen);
    c.playBar(PlayControlView::CmdDpadLeft);
    c.playBar(static_cast<PlayControlView::Command>(99)); // no such command
    c->onButtonWindowSwitch();
    EXPECT_FALSE(c->pausePlayback());
    EXPECT_EQ(c->getState(), VideoPlayerView::StateNoPlayer);
    c.playBar(PlayControlView::CmdMute);
    c.playBar(PlayControlView::CmdSpeed);
    c.playBar(PlayControlView::CmdSpeed);
    c.playBar(PlayControlView::CmdSpeed);
    c.playBar(PlayControlView::CmdSpeed); // back to 1.0

    // A recording deleted while listed: the open reports it, the folder check rebuilds.
    ASSERT_TRUE(QFile::remove(b));
    c.doubleClick(1);
    EXPECT_EQ(c.removedCount, 1);
    EXPECT_EQ(c->videoPlayView(), nullptr);
    ASSERT_TRUE(waitFor([&] { return c->playlist().size() == 2; }, 5000));
    EXPECT_EQ(c->getCurPlayIndex(), -1);

    // The card pulled during playback: the file goes while it plays.
    c.doubleClick(1);
    ASSERT_TRUE(c.waitOpened());
    ASSERT_TRUE(QFile::remove(d));
    ASSERT_TRUE(QFile::remove(a));
    QTest::qWait(3500); // plays out what it has, ends, finds nothing to advance to
    c.playBar(PlayControlView::CmdNext);
    c.playBar(PlayControlView::CmdPrevious);
    ASSERT_TRUE(waitFor([&] { return c->playlist().isEmpty(); }, 5000));
    EXPECT_EQ(c->videoPlayView(), nullptr);
    c.playBar(PlayControlView::CmdPlay);
    c.playBar(PlayControlView::CmdNext);
    EXPECT_EQ(c->getState(), VideoPlayerView::StateNoPlayer);
}

} // namespace
