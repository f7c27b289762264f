// The playback session on its own, without the controller: the test plays the
// owner's part (the playlist, the camera pairs, the two hosts and the two
// notifications the owner forwards) over generated recordings on headless
// surfaces. The play state is read from mpv itself, not from the session.
#include "playback/PlaybackSession.h"
#include "MediaGen.h"
#include "views/MapView.h"
#include "views/MpvPlayer.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <cmath>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>

namespace
{

bool makeRecording(const QString& path, double seconds, bool rear = false)
{
    mediagen::RecordingSpec recording;
    recording.seconds = seconds;
    recording.rear = rear;
    recording.faststart = true;
    return mediagen::writeRecording(QFile::encodeName(path).toStdString(), recording);
}

bool waitFor(const std::function<bool()>& condition, int ms = 15000)
{
    return QTest::qWaitFor(condition, ms);
}

// mpv's own answer, read with a blocking call (not the mirror).
std::optional<bool> mpvPaused(const VideoPlayerView* view)
{
    return view ? view->player()->flagProperty(MpvProperty::kPause) : std::nullopt;
}

double mpvSpeed(const VideoPlayerView* view)
{
    return view ? view->player()->doubleProperty(MpvProperty::kSpeed).value_or(-1) : -1;
}

// The owner's part: hosts, sources and the forwarded notifications.
struct Owner {
    QWidget window;
    QWidget* host1 = nullptr;
    QWidget* host2 = nullptr;
    QList<AMediaFile> playlist;
    std::unique_ptr<PlaybackSession> session;
    // The attachments of recordings, as asked on the main thread and
    // answered on a worker; none when empty.
    std::function<TrackAttachmentFinder(const std::vector<std::string>&)> attached;

    // With pairs, rows come as front/rear pairs: 0 with 1, 2 with 3.
    explicit Owner(const QStringList& files, bool pairs = false)
    {
        window.resize(980, 500);
        host1 = new QWidget(&window);
        host1->setGeometry(0, 0, 640, 480);
        host2 = new QWidget(&window);
        host2->setGeometry(650, 0, 320, 240);
        for (const QString& f : files)
            playlist.append(
                AMediaFile::mediaFileWithNativePath(QFile::encodeName(f), QFileInfo(f).lastModified()));
        session = std::make_unique<PlaybackSession>();
        PlaybackSession::Sources sources;
        sources.playlist = [this] { return playlist; };
        sources.partnerOf = [this, pairs](int row) {
            return pairs && (row ^ 1) < playlist.size() ? row ^ 1 : -1;
        };
        sources.cameraTypeOf = [](int row) { return row % 2 ? kCameraRear : kCameraMain; };
        sources.attachedTracks = [this](const std::vector<std::string>& recordings) {
            return attached ? attached(recordings) : TrackAttachmentFinder();
        };
        session->setSources(std::move(sources));
        session->setPlayerHosts(host1, host2);
        session->setOverlayHost(&window);
        session->resetState(8);
        // Nothing relays the surfaces' ready and end reports: the session
        // hears its own surfaces.
    }
    ~Owner()
    {
        session->setCurPlaylistIndex(-1, false);
        session->setCurPlaylistIndex2(-1, false);
        session.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    PlaybackSession* operator->() const { return session.get(); }

    bool waitOpened()
    {
        return waitFor([this] {
            const VideoPlayerView* front = session->videoPlayView();
            const bool first = front && front->getPlayerStatus() == VideoPlayerView::StatusReadyToPlay &&
                               !session->transport().isVideoLoading();
            const bool second = !session->has2Videos() || session->videoPlayView2()->getPlayerStatus() ==
                                                              VideoPlayerView::StatusReadyToPlay;
            return first && second;
        });
    }
};

class PlaybackSessionTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir();
        ASSERT_TRUE(s_dir->isValid());
        ASSERT_TRUE(makeRecording(path(QStringLiteral("FILE240517-081200.MP4")), 3.0));
        ASSERT_TRUE(makeRecording(path(QStringLiteral("FILE240517-081210.MP4")), 4.0));
        QFile garbage(path(QStringLiteral("FILE240517-081220.MP4")));
        ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(40000, '\x5a'));
        garbage.close();
        ASSERT_TRUE(makeRecording(path(QStringLiteral("FILE240517-090000_M.MP4")), 12.0));
        ASSERT_TRUE(makeRecording(path(QStringLiteral("FILE240517-090000_2.MP4")), 12.0, true));
        // Short pairs whose rear is as long as, longer than and shorter than the front.
        for (const auto& [stamp, rearSeconds] :
             {std::pair{"100000", 1.5}, std::pair{"100100", 2.0}, std::pair{"100200", 1.0}}) {
            ASSERT_TRUE(makeRecording(path(QStringLiteral("FILE240517-%1_M.MP4").arg(stamp)), 1.5));
            ASSERT_TRUE(
                makeRecording(path(QStringLiteral("FILE240517-%1_2.MP4").arg(stamp)), rearSeconds, true));
        }
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString path(const QString& name) { return s_dir->filePath(name); }
    static QTemporaryDir* s_dir;
};

QTemporaryDir* PlaybackSessionTest::s_dir = nullptr;

TEST_F(PlaybackSessionTest, OpensPlaysPausesFromMpvAndMovesOnAtTheEnd)
{
    Owner o({path("FILE240517-081200.MP4"), path("FILE240517-081220.MP4"), path("FILE240517-081210.MP4")});
    EXPECT_EQ(o->state(), VideoPlayerView::StateNoPlayer);
    EXPECT_FALSE(o->pausePlayback()); // nothing open: nothing to pause

    o->setCurPlaylistIndex(0, true);
    EXPECT_TRUE(o->transport().isVideoLoading());
    ASSERT_TRUE(o.waitOpened());
    VideoPlayerView* first = o->videoPlayView();
    QSignalSpy firstEnded(first, &VideoPlayerView::ended);
    EXPECT_EQ(first->parentWidget(), o.host1);
    EXPECT_NEAR(o->transport().duration(), 3.0, 0.2);
    EXPECT_TRUE(o->transport().hasTickTimer());
    EXPECT_EQ(o->state(), VideoPlayerView::StatePlaying);
    EXPECT_EQ(mpvPaused(first), std::optional<bool>(false));

    // Pause and play: the session's answer is the player's.
    EXPECT_TRUE(o->pausePlayback());
    EXPECT_EQ(o->state(), VideoPlayerView::StatePaused);
    EXPECT_TRUE(waitFor([&] { return mpvPaused(first) == std::optional<bool>(true); }, 3000));
    o->onPlay();
    EXPECT_EQ(o->state(), VideoPlayerView::StatePlaying);
    EXPECT_TRUE(waitFor([&] { return mpvPaused(first) == std::optional<bool>(false); }, 3000));

    // Speed and mute reach mpv.
    o->transport().setPlaySpeed(2.0f);
    EXPECT_TRUE(waitFor([&] { return std::fabs(mpvSpeed(first) - 2.0) < 1e-6; }, 3000));
    o->transport().onButtonMute();
    EXPECT_TRUE(o->transport().isMuted());
    EXPECT_TRUE(waitFor([&] { return first->player()->flagProperty(MpvProperty::kMute) == true; }, 3000));

    // The end opens the next entry, which cannot be decoded: its opening ends
    // (nothing waits for it) and nothing plays.
    ASSERT_TRUE(waitFor([&] { return o->curPlayIndex() == 1 && !o->transport().isVideoLoading(); }));
    EXPECT_EQ(firstEnded.count(), 1);
    EXPECT_TRUE(waitFor([&] { return o->videoPlayView() && o->videoPlayView()->hasFailed(); }, 5000));
    EXPECT_EQ(o->state(), VideoPlayerView::StateNoPlayer);

    // The last entry plays at the speed chosen and, at its end, stays on its
    // last frame.
    o->setCurPlaylistIndex(2, true);
    ASSERT_TRUE(o.waitOpened());
    VideoPlayerView* last = o->videoPlayView();
    QSignalSpy lastEnded(last, &VideoPlayerView::ended);
    EXPECT_TRUE(waitFor([&] { return std::fabs(mpvSpeed(last) - 2.0) < 1e-6; }, 3000));
    ASSERT_TRUE(waitFor([&] { return lastEnded.count() == 1; }));
    EXPECT_EQ(o->curPlayIndex(), 2);
    EXPECT_EQ(o->videoPlayView(), last);
    EXPECT_EQ(o->state(), VideoPlayerView::StatePaused);
    EXPECT_TRUE(waitFor([&] { return mpvPaused(last) == std::optional<bool>(true); }));
    QTest::qWait(300);
    EXPECT_GT(last->getitemTime(), 1.0);
    EXPECT_GT(o->transport().currentTime(), 1.0);

    o->setCurPlaylistIndex(-1, false);
    EXPECT_EQ(o->videoPlayView(), nullptr);
    EXPECT_EQ(o->state(), VideoPlayerView::StateNoPlayer);
    EXPECT_FALSE(o->transport().hasTickTimer());
}

TEST_F(PlaybackSessionTest, FrontAndRearArePlayedAndKeptInStep)
{
    Owner o({path("FILE240517-090000_M.MP4"), path("FILE240517-090000_2.MP4")}, true);
    QSignalSpy dualChanged(o.session.get(), &PlaybackSession::dualCameraChanged);
    o->enable2VideoWindow(true);
    o->enable2VideoWindow(true);
    EXPECT_EQ(dualChanged.count(), 1);

    // Choosing the rear row plays the pair with the rear shown large.
    o->dualSelectFile(1, true);
    EXPECT_EQ(o->curPlayIndex(), 0);
    EXPECT_EQ(o->curPlayIndex2(), 1);
    EXPECT_TRUE(o->isSwitchVideo());
    ASSERT_TRUE(o.waitOpened());
    VideoPlayerView* front = o->videoPlayView();
    VideoPlayerView* rear = o->videoPlayView2();
    EXPECT_EQ(rear->parentWidget(), o.host2);
    EXPECT_EQ(o->overlay().mode(), 2);
    EXPECT_EQ(rear->player()->flagProperty(MpvProperty::kMute), std::optional<bool>(true));
    EXPECT_EQ(o->state(), VideoPlayerView::StatePlaying);
    EXPECT_EQ(rear->getState(), VideoPlayerView::StatePlaying);

    // Both pause and play together.
    o->transport().onPause();
    EXPECT_EQ(rear->getState(), VideoPlayerView::StatePaused);
    EXPECT_TRUE(waitFor([&] { return mpvPaused(rear) == std::optional<bool>(true); }, 3000));

    // Paused, a rear pushed 1.5 s off is sought back onto the front. A seek
    // lands when it lands: keep looking until it has, without a time limit
    // a loaded machine could miss.
    const int seeks = o->cameraSync().seekCount();
    rear->seekToTime(front->getitemTime() + 1.5);
    ASSERT_TRUE(waitFor([&] {
        o->transport().syncSecondCamera();
        return !rear->player()->isSeeking() && !front->player()->isSeeking() &&
               std::fabs(front->getitemTime() - rear->getitemTime()) < 0.15 &&
               o->cameraSync().seekCount() > seeks;
    }));
    EXPECT_EQ(rear->getState(), VideoPlayerView::StatePaused); // a seek does not start it

    // Playing on, the pair stays together (the tick keeps it there).
    o->onPlay();
    EXPECT_EQ(rear->getState(), VideoPlayerView::StatePlaying);
    QTest::qWait(2000);
    ASSERT_EQ(o->state(), VideoPlayerView::StatePlaying);
    o->transport().onPause();
    ASSERT_TRUE(waitFor([&] { return !rear->player()->isSeeking() && !front->player()->isSeeking(); }));
    EXPECT_TRUE(waitFor(
        [&] {
            o->transport().syncSecondCamera();
            return std::fabs(front->getitemTime() - rear->getitemTime()) < 0.15;
        },
        10000));

    // Leaving the pair: the rear surface goes, the overlay's camera with it.
    o->setCurPlaylistIndex2(-1, false);
    EXPECT_EQ(o->videoPlayView2(), nullptr);
    EXPECT_FALSE(o->has2Videos());
    EXPECT_EQ(o->cameraSync().seekCount(), 0);
}

} // namespace

// The end of the last pair leaves both cameras on their last frames, whichever
// camera reaches its end first; Play from there starts both from the start.
// Each pair is played several times: which end arrives first differs from run
// to run.
TEST_F(PlaybackSessionTest, LastPairEndsOnBothLastFramesEveryTime)
{
    for (const auto& [stamp, rearSeconds] :
         {std::pair{"100000", 1.5}, std::pair{"100100", 2.0}, std::pair{"100200", 1.0}}) {
        Owner o({path(QStringLiteral("FILE240517-%1_M.MP4").arg(stamp)),
                 path(QStringLiteral("FILE240517-%1_2.MP4").arg(stamp))},
                true);
        o->enable2VideoWindow(true);
        for (int run = 0; run < 4; ++run) {
            SCOPED_TRACE(QStringLiteral("%1 run %2").arg(stamp).arg(run).toStdString());
            if (run % 2 == 0)
                o->dualSelectFile(0, false);
            ASSERT_NE(o->videoPlayView(), nullptr);
            QSignalSpy frontEnded(o->videoPlayView(), &VideoPlayerView::ended);
            if (run % 2 == 0) {
                ASSERT_TRUE(o.waitOpened());
            } else {
                o->onButtonPlay(); // again from the end
                EXPECT_EQ(o->state(), VideoPlayerView::StatePlaying);
                EXPECT_TRUE(waitFor([&] { return o->videoPlayView()->getitemTime() < 1.0; }, 3000));
                EXPECT_FALSE(o->videoPlayView()->isAtEnd());
            }
            VideoPlayerView* front = o->videoPlayView();
            VideoPlayerView* rear = o->videoPlayView2();
            ASSERT_NE(rear, nullptr);
            ASSERT_TRUE(waitFor([&] { return frontEnded.count() > 0; }, 10000));
            EXPECT_EQ(o->curPlayIndex(), 0);
            EXPECT_EQ(o->videoPlayView(), front);
            EXPECT_EQ(o->videoPlayView2(), rear);
            // Both paused on their last frames (10 frames a second), and
            // still there a while later.
            auto onLastFrames = [&] {
                return mpvPaused(front) == std::optional<bool>(true) &&
                       mpvPaused(rear) == std::optional<bool>(true) && front->getitemTime() > 1.5 - 0.15 &&
                       rear->getitemTime() > rearSeconds - 0.15;
            };
            EXPECT_TRUE(waitFor(onLastFrames, 3000));
            QTest::qWait(400);
            EXPECT_TRUE(onLastFrames()) << front->getitemTime() << " " << rear->getitemTime();
            EXPECT_EQ(o->state(), VideoPlayerView::StatePaused);
            EXPECT_GE(o->transport().currentTime(), 1.0);
        }
    }
}

// A single click previews: the row opens paused on its first frame and Play
// plays it from there; while a recording plays a click changes nothing, and
// a paused one gives way to the clicked row.
TEST_F(PlaybackSessionTest, PreviewOpensPausedAndPlayPlaysIt)
{
    Owner o({path("FILE240517-081200.MP4"), path("FILE240517-081210.MP4"), path("FILE240517-090000_M.MP4"),
             path("FILE240517-090000_2.MP4")},
            true);
    o->previewRow(0);
    EXPECT_EQ(o->curPlayIndex(), 0);
    EXPECT_TRUE(o->isPreviewing());
    ASSERT_TRUE(o.waitOpened());
    VideoPlayerView* first = o->videoPlayView();
    EXPECT_FALSE(o->isPreviewing());
    EXPECT_EQ(o->state(), VideoPlayerView::StatePaused);
    EXPECT_EQ(mpvPaused(first), std::optional<bool>(true));
    QSignalSpy firstEnded(first, &VideoPlayerView::ended);
    QTest::qWait(400); // nothing starts it later
    EXPECT_LT(first->getitemTime(), 0.05);
    EXPECT_EQ(firstEnded.count(), 0);

    // The same row again: nothing reopens.
    o->previewRow(0);
    EXPECT_EQ(o->videoPlayView(), first);

    // Play plays the previewed recording from its start.
    o->onButtonPlay();
    EXPECT_EQ(o->state(), VideoPlayerView::StatePlaying);
    EXPECT_TRUE(waitFor([&] { return first->getitemTime() > 0.3; }, 5000));

    // While it plays a click on another row opens nothing.
    o->previewRow(1);
    EXPECT_EQ(o->videoPlayView(), first);
    EXPECT_EQ(o->curPlayIndex(), 0);
    EXPECT_EQ(o->state(), VideoPlayerView::StatePlaying);

    // Paused, it gives way; a pair opens with both cameras paused at 0.
    o->transport().onButtonPause();
    o->enable2VideoWindow(true);
    o->previewRow(3); // the rear row opens its pair
    EXPECT_EQ(o->curPlayIndex(), 2);
    EXPECT_EQ(o->curPlayIndex2(), 3);
    ASSERT_TRUE(o.waitOpened());
    ASSERT_TRUE(o->has2Videos());
    EXPECT_EQ(o->state(), VideoPlayerView::StatePaused);
    EXPECT_EQ(mpvPaused(o->videoPlayView2()), std::optional<bool>(true));
    QTest::qWait(400);
    EXPECT_LT(o->videoPlayView()->getitemTime(), 0.05);
    EXPECT_LT(o->videoPlayView2()->getitemTime(), 0.05);

    // Play pressed before a preview is ready plays it once it is.
    o->previewRow(0);
    o->onButtonPlay();
    ASSERT_TRUE(o.waitOpened());
    EXPECT_EQ(o->state(), VideoPlayerView::StatePlaying);
    EXPECT_TRUE(waitFor([&] { return o->videoPlayView()->getitemTime() > 0.3; }, 5000));
}

TEST_F(PlaybackSessionTest, TheTripRouteFollowsTheTrackAndAStaleOneIsNeverDrawn)
{
    // Two trips, each recording with a log of its own that starts one degree
    // of latitude further north than the row before it: 0-2 and 3-4.
    QStringList files;
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("route"))));
    for (int row = 0; row < 5; ++row) {
        const QString name =
            QStringLiteral("route/FILE240517-1200%1_M").arg(row * 3, 2, 10, QLatin1Char('0'));
        files << path(name + QStringLiteral(".MP4"));
        ASSERT_TRUE(makeRecording(files.back(), 4.0));
        mediagen::NmeaSpec log;
        log.start = {2024, 5, 17, 12, 0, row * 3};
        log.drive.seconds = 4;
        log.drive.originLat = 30.0 + row;
        ASSERT_TRUE(mediagen::writeNmeaLog(
            QFile::encodeName(path(name + QStringLiteral(".NMEA"))).toStdString(), log));
    }
    Owner o(files);
    o->setTripMembers([](int row) { return row < 3 ? std::vector<int>{0, 1, 2} : std::vector<int>{3, 4}; });
    o->tripRoute().setShowWholeTrip(true);
    // Each route drawn, as the rows its points lie on (driven, ahead).
    using Rows = std::pair<std::set<int>, std::set<int>>;
    std::vector<Rows> drawn;
    auto rowsOf = [](const CurrentTrack::Points& points) {
        std::set<int> rows;
        for (const auto& point : points)
            rows.insert(static_cast<int>(std::lround(point.first)) - 30);
        return rows;
    };
    QObject::connect(&o->tripRoute(), &TripRoute::routeChanged,
                     [&](const CurrentTrack::Points& driven, const CurrentTrack::Points& ahead) {
                         drawn.emplace_back(rowsOf(driven), rowsOf(ahead));
                     });
    // The workers read a recording's track only once the test lets them.
    std::map<std::string, std::promise<void>> opens;
    std::map<std::string, std::shared_future<void>> gates;
    for (const QString& f : files) {
        const std::string native = QFile::encodeName(f).toStdString();
        gates[native] = opens[native].get_future().share();
    }
    o.attached = [&gates](const std::vector<std::string>&) -> TrackAttachmentFinder {
        return [gates](const std::string& recording) -> std::optional<TrackAttachment> {
            gates.at(recording).wait();
            return std::nullopt;
        };
    };
    auto release = [&](int row) { opens.at(QFile::encodeName(files.at(row)).toStdString()).set_value(); };
    int tracks = 0;
    QObject::connect(o.session.get(), &PlaybackSession::trackLoaded, [&] { ++tracks; });

    // The recording's own track is shown at once, the rest of its trip when
    // it has been read.
    // (Paused at once: the trip's chain must not play on into its next row.)
    o->setCurPlaylistIndex(0, true);
    ASSERT_TRUE(o.waitOpened());
    o->pausePlayback();
    ASSERT_TRUE(waitFor([&] { return tracks > 0; }));
    EXPECT_TRUE(o->track().gps().IsGPSReady());
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back(), Rows());
    release(1);
    release(2);
    ASSERT_TRUE(waitFor([&] { return drawn.back() == Rows({}, {1, 2}); }));

    // Row 2 of the same trip: what was read is drawn at once, row 0 follows.
    // Before row 0 is read, the trip changes; its late route is never drawn
    // over the new trip, whose own route comes when it is read.
    o->setCurPlaylistIndex(2, true);
    ASSERT_TRUE(o.waitOpened());
    o->pausePlayback();
    ASSERT_TRUE(waitFor([&] { return drawn.back() == Rows({1}, {}); }));
    o->setCurPlaylistIndex(3, true);
    const size_t switched = drawn.size();
    release(0);
    ASSERT_TRUE(o.waitOpened());
    o->pausePlayback();
    ASSERT_TRUE(waitFor([&] { return o->curPlayIndex() == 3 && drawn.size() > switched; }));
    EXPECT_EQ(drawn.back(), Rows());
    release(4);
    ASSERT_TRUE(waitFor([&] { return drawn.back() == Rows({}, {4}); }));
    for (size_t k = switched; k < drawn.size(); ++k)
        EXPECT_FALSE(drawn[k].first.count(0) || drawn[k].first.count(1)) << k;
    release(3);
    o->setCurPlaylistIndex(-1, false);
}
