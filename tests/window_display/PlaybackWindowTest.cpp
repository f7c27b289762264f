// Playback on the running window: a single click previews a recording, a
// double click plays it, and the last pair ends on both last frames.
#include "WindowTestSupport.h"
#include "playback/PlaybackSession.h"

#include <QSignalSpy>

using namespace windowtest;

namespace
{

class PlaybackWindow : public OwnFolderWindow
{
};

// A single click shows the recording's first frames, paused, with its
// track on the map and the graph; Play then plays it; a click while another
// recording plays only selects; a double click plays.
TEST_F(PlaybackWindow, SingleClickPreviewsTheRecording)
{
    const QString folder = dir.filePath("DCIM/100MEDIA");
    writePair(folder, startAt(8, 30), 4);
    writePair(folder, startAt(9, 0), 4);
    AppDelegate d;
    launch(d);
    ASSERT_EQ(d.playlist().size(), 4);

    clickRow(d, 2); // the second pair's front
    const bool previewed = QTest::qWaitFor(
        [&] { return ready(d.videoPlayView()) && ready(d.videoPlayView2()) && !d.isVideoLoading(); }, 15000);
    QTest::qWait(600);
    shoot(d.window(), QStringLiteral("playback-preview"));
    ASSERT_TRUE(previewed);
    PlaybackSession* s = d.playback();
    EXPECT_EQ(s->curPlayIndex(), 2);
    EXPECT_EQ(s->curPlayIndex2(), 3);
    EXPECT_EQ(s->state(), VideoPlayerView::StatePaused);
    EXPECT_EQ(d.videoPlayView2()->getState(), VideoPlayerView::StatePaused);
    EXPECT_LT(d.videoPlayView()->getitemTime(), 0.15);
    EXPECT_LT(d.videoPlayView2()->getitemTime(), 0.15);
    EXPECT_GT(d.gpsList().GetDataCount(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return mapState(d).value("routePoints").toInt() > 0; }, 10000));

    // Play plays the previewed pair from its start.
    NotificationCenter::defaultCenter().post(Notifications::PlayBarButtonClicked,
                                             QVariant(PlayControlView::CmdPlay));
    EXPECT_EQ(s->state(), VideoPlayerView::StatePlaying);
    EXPECT_TRUE(QTest::qWaitFor([&] { return d.videoPlayView()->getitemTime() > 0.5; }, 5000));
    EXPECT_EQ(d.videoPlayView2()->getState(), VideoPlayerView::StatePlaying);

    // While it plays, a click on another recording selects it and nothing else.
    VideoPlayerView* playing = d.videoPlayView();
    clickRow(d, 0);
    QTest::qWait(300);
    EXPECT_EQ(d.fileList()->getCurSel(), 0);
    EXPECT_EQ(d.videoPlayView(), playing);
    EXPECT_EQ(s->curPlayIndex(), 2);
    EXPECT_EQ(s->state(), VideoPlayerView::StatePlaying);

    // A double click plays the clicked one.
    clickRow(d, 0, true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return s->curPlayIndex() == 0 && ready(d.videoPlayView()); }, 15000));
    EXPECT_EQ(s->state(), VideoPlayerView::StatePlaying);
}

// Item 5: with the tile server unreachable the map area says so, in the
// language in force, and the route is still drawn.

// At the end of the last pair both cameras stay on their last frames.
TEST_F(PlaybackWindow, LastPairEndsOnBothLastFrames)
{
    writePair(dir.filePath("DCIM/100MEDIA"), startAt(8, 30), 2);
    AppDelegate d;
    launch(d);
    d.dblClickFile(0);
    ASSERT_NE(d.videoPlayView(), nullptr);
    QSignalSpy frontEnded(d.videoPlayView(), &VideoPlayerView::ended);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return ready(d.videoPlayView()) && ready(d.videoPlayView2()); }, 15000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frontEnded.count() > 0; }, 15000));
    QTest::qWait(800);
    shoot(d.window(), QStringLiteral("playback-last-pair"));
    EXPECT_EQ(d.playback()->state(), VideoPlayerView::StatePaused);
    EXPECT_GT(d.videoPlayView()->getitemTime(), 1.7);
    EXPECT_GT(d.videoPlayView2()->getitemTime(), 1.7);
}
} // namespace
