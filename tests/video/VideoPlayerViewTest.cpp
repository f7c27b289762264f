// The video surface on a headless player (vo=null, ao=null): readiness, end,
// time, state, rate, seeks, broken recordings and teardown.
#include "views/VideoPlayerView.h"
#include "VideoTestMedia.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace
{

using Mode = VideoPlayerView::RenderMode;

class VideoPlayerViewTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir();
        ASSERT_TRUE(s_dir->isValid());
        videotest::RecordingOptions two;
        ASSERT_TRUE(videotest::makeRecording(media("two.mp4"), two));
        videotest::RecordingOptions one;
        one.seconds = 1.0;
        ASSERT_TRUE(videotest::makeRecording(media("one.mp4"), one));
        videotest::RecordingOptions moovLast;
        moovLast.faststart = false;
        ASSERT_TRUE(videotest::makeRecording(media("moovlast.mp4"), moovLast));
        ASSERT_TRUE(videotest::makeTruncated(media("moovlast.mp4"), media("cut_no_index.mp4"), 0.5));
        ASSERT_TRUE(videotest::makeTruncated(media("two.mp4"), media("cut_half.mp4"), 0.5));
        ASSERT_TRUE(videotest::makeDamagedStream(media("two.mp4"), media("damaged.mp4")));
        ASSERT_TRUE(videotest::makeGarbage(media("garbage.mp4"), 60000));
        ASSERT_TRUE(videotest::makeAudioOnly(media("audio.m4a"), 1.0));
        videotest::RecordingOptions seven;
        seven.seconds = 7;
        seven.width = 160;
        seven.height = 96;
        ASSERT_TRUE(videotest::makeRecording(media("seven.mp4"), seven));
        ASSERT_TRUE(videotest::makeSoundWithoutPicture(media("seven.mp4"), media("sound_only_plays.mp4")));
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString media(const QString& name) { return s_dir->filePath(name); }
    static QUrl url(const QString& name) { return QUrl::fromLocalFile(media(name)); }

    // A headless surface whose ready and end reports are counted.
    std::unique_ptr<VideoPlayerView> makeSurface()
    {
        auto view = std::make_unique<VideoPlayerView>(QRect(0, 0, 640, 480), nullptr, Mode::Headless);
        QObject::connect(view.get(), &VideoPlayerView::readyToPlay, view.get(), [this] { ++m_ready; });
        QObject::connect(view.get(), &VideoPlayerView::ended, view.get(), [this] { ++m_ends; });
        return view;
    }
    static bool waitFor(const std::function<bool()>& condition, int ms = 10000)
    {
        return QTest::qWaitFor(condition, ms);
    }
    static double mpvDouble(VideoPlayerView& view, const char* name)
    {
        return view.player()->doubleProperty(name).value_or(-1);
    }

    static QTemporaryDir* s_dir;
    int m_ready = 0;
    int m_ends = 0;
};

QTemporaryDir* VideoPlayerViewTest::s_dir = nullptr;

TEST_F(VideoPlayerViewTest, ReadyOnceWithDurationSizeAndFittedPicture)
{
    auto view = makeSurface();
    QSignalSpy failed(view.get(), &VideoPlayerView::loadFailed);
    EXPECT_EQ(view->getState(), VideoPlayerView::StateNoPlayer);
    EXPECT_EQ(view->getPlayerStatus(), VideoPlayerView::StatusFailed);
    EXPECT_EQ(view->getVideoResolution(), QSizeF(0, 0));
    EXPECT_DOUBLE_EQ(view->timeObserverInterval(), 0.5);
    EXPECT_TRUE(VideoPlayerView(QRect(0, 0, 10, 10)).isHeadless()); // offscreen platform: never OpenGL

    view->loadURL(url("two.mp4"));
    EXPECT_EQ(view->getState(), VideoPlayerView::StatePlaying); // playing at once, before it is ready
    EXPECT_EQ(view->getPlayerStatus(), VideoPlayerView::StatusUnknown);
    EXPECT_FALSE(view->normalView->isVisibleTo(view.get()));
    ASSERT_TRUE(waitFor([&] { return m_ready > 0; }));
    EXPECT_EQ(view->getPlayerStatus(), VideoPlayerView::StatusReadyToPlay);
    EXPECT_EQ(view->getVideoResolution(), QSizeF(320, 240));
    EXPECT_NEAR(view->getDuration(), 2.0, 0.1);
    EXPECT_NEAR(view->mSelectedMovieDuration, 2.0, 0.1);
    EXPECT_TRUE(view->normalView->isVisibleTo(view.get()));
    // A small recording is not enlarged, only centred.
    EXPECT_EQ(view->normalView->geometry(), QRect(160, 120, 320, 240));
    EXPECT_EQ(view->normalView2->geometry(), QRect(160, 120, 320, 240));

    // Loading again while a player exists changes nothing.
    view->loadURL(url("one.mp4"));
    EXPECT_EQ(view->URL(), url("two.mp4"));

    // Let it play to the end and past: the ready report stays single.
    ASSERT_TRUE(waitFor([&] { return m_ends > 0; }));
    QTest::qWait(300);
    EXPECT_EQ(m_ready, 1);
    EXPECT_EQ(failed.count(), 0);

    view->relayout(QRect(0, 0, 200, 100));
    EXPECT_EQ(view->normalView->geometry(), QRect(33, 0, 133, 100));

    view->releasePlayer();
    EXPECT_EQ(view->getState(), 0);
    EXPECT_DOUBLE_EQ(view->getCurrentTime(), 0);
    EXPECT_DOUBLE_EQ(view->mSelectedMovieDuration, 0);
    EXPECT_FALSE(view->normalView->isVisibleTo(view.get()));
}

TEST_F(VideoPlayerViewTest, EndStaysOnTheLastFramePaused)
{
    auto view = makeSurface();
    view->loadURL(url("one.mp4"));
    ASSERT_TRUE(waitFor([&] { return m_ready > 0; }));
    ASSERT_TRUE(waitFor([&] { return m_ends > 0; }));
    EXPECT_EQ(m_ends, 1);
    EXPECT_EQ(view->getState(), VideoPlayerView::StatePaused);
    EXPECT_TRUE(view->isAtEnd());
    // The last frame (0.9 s of a 1-second, 10-frame recording) stays, and
    // nothing moves it back to the start later.
    QTest::qWait(700);
    EXPECT_GT(view->getitemTime(), 0.85);
    EXPECT_DOUBLE_EQ(view->getCurrentTime(), 1);
    EXPECT_EQ(view->getState(), VideoPlayerView::StatePaused);
    EXPECT_EQ(m_ends, 1);

    // Playing again starts from the beginning and reaches the end again.
    m_ends = 0;
    m_ready = 0;
    view->onPlay();
    EXPECT_FALSE(view->isAtEnd());
    EXPECT_EQ(view->getState(), VideoPlayerView::StatePlaying);
    ASSERT_TRUE(waitFor([&] { return view->getitemTime() < 0.5; }, 3000));
    ASSERT_TRUE(waitFor([&] { return m_ends > 0; }));
    EXPECT_EQ(m_ends, 1);
    EXPECT_EQ(m_ready, 0);
    EXPECT_TRUE(view->isAtEnd());
}

TEST_F(VideoPlayerViewTest, StateRateAndVolumeFollowTheCommands)
{
    auto view = makeSurface();
    view->setRate(0.5f); // given before the load, applied when ready
    view->setVolume(0.3f);
    view->setMuted(true);
    view->loadURL(url("two.mp4"));
    ASSERT_TRUE(waitFor([&] { return m_ready > 0; }));
    EXPECT_NEAR(mpvDouble(*view, "speed"), 0.5, 1e-6);
    EXPECT_NEAR(mpvDouble(*view, "volume"), 30.0, 1e-3);
    EXPECT_EQ(view->player()->flagProperty(MpvProperty::kMute), std::optional<bool>(true));
    EXPECT_EQ(view->player()->stringProperty(MpvProperty::kPitchCorrection), std::optional<QString>("yes"));

    EXPECT_EQ(view->getState(), 2);
    view->onPause();
    EXPECT_EQ(view->getState(), 3);
    EXPECT_FLOAT_EQ(view->playRate(), 0.5f); // pausing keeps the playing rate
    view->onPlay();
    EXPECT_EQ(view->getState(), 2);
    view->setRate(2.0f);
    EXPECT_EQ(view->getState(), 2);
    EXPECT_TRUE(waitFor([&] { return std::abs(mpvDouble(*view, "speed") - 2.0) < 1e-6; }, 2000));
    view->setRate(0);
    EXPECT_EQ(view->getState(), 3);
    QTest::qWait(100); // the state stays what was asked while mpv catches up
    EXPECT_EQ(view->getState(), 3);
    view->setMuted(false);
    view->setVolume(1.5f); // out of range: clamped
    EXPECT_TRUE(waitFor([&] { return std::abs(mpvDouble(*view, "volume") - 100.0) < 1e-3; }, 2000));
    EXPECT_GE(view->droppedFrameCount(), 0);
    EXPECT_GE(view->decoderDroppedFrameCount(), 0);
    view->releasePlayer();
    EXPECT_EQ(view->getState(), 0);
    EXPECT_EQ(view->droppedFrameCount(), -1);
}

TEST_F(VideoPlayerViewTest, SeeksAreExactAndTheObserverRoundsToWholeSeconds)
{
    auto view = makeSurface();
    view->loadURL(url("two.mp4"));
    ASSERT_TRUE(waitFor([&] { return m_ready > 0; }));

    // Paused: stays paused at the target; the observer rounds to the nearest second.
    view->onPause();
    view->seekToTime(1.4);
    EXPECT_DOUBLE_EQ(view->getCurrentTime(), 1.4);
    ASSERT_TRUE(waitFor([&] { return std::abs(view->getitemTime() - 1.4) < 0.06; }));
    ASSERT_TRUE(waitFor([&] { return view->getCurrentTime() == 1.0; }, 2000));
    EXPECT_EQ(view->getState(), 3);
    view->seekToTime(1.6);
    ASSERT_TRUE(waitFor([&] { return view->getCurrentTime() == 2.0; }, 2000));
    EXPECT_NEAR(view->getitemTime(), 1.6, 0.06);
    EXPECT_EQ(view->getState(), 3);

    // Relative seek, exact.
    view->seekToTime(0.5);
    ASSERT_TRUE(waitFor([&] { return std::abs(view->getitemTime() - 0.5) < 0.06; }));
    view->advancePlaybackBySeconds(1);
    ASSERT_TRUE(waitFor([&] { return std::abs(view->getitemTime() - 1.5) < 0.06; }));

    // A paused seek onto the end is no end of playback.
    view->seekToTime(2.0);
    QTest::qWait(500);
    EXPECT_EQ(m_ends, 0);

    // Playing: keeps playing from the target and reaches the end.
    view->seekToTime(0.2);
    view->onPlay();
    EXPECT_EQ(view->getState(), 2);
    ASSERT_TRUE(waitFor([&] { return view->getitemTime() > 0.6; }));
    ASSERT_TRUE(waitFor([&] { return m_ends == 1; }));
}

TEST_F(VideoPlayerViewTest, BrokenRecordingsReportFailureOnceAndNeverReady)
{
    struct Case {
        const char* file;
        const char* reason; // when the surface, not mpv, words it
    };
    const Case cases[] = {{"garbage.mp4", nullptr},
                          {"damaged.mp4", "no picture could be decoded"},
                          {"cut_no_index.mp4", nullptr},
                          {"audio.m4a", "no video track"},
                          {"does_not_exist.mp4", nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        m_ready = 0;
        auto view = makeSurface();
        view->show();
        QSignalSpy failed(view.get(), &VideoPlayerView::loadFailed);
        const QImage before = view->grab().toImage();
        view->loadURL(url(c.file));
        EXPECT_EQ(failed.count(), 0); // never inside loadURL
        ASSERT_TRUE(waitFor([&] { return failed.count() > 0; }));
        QTest::qWait(300);
        EXPECT_EQ(failed.count(), 1);
        EXPECT_FALSE(failed.first().first().toString().isEmpty());
        EXPECT_EQ(view->failureReason(), failed.first().first().toString());
        if (c.reason) {
            EXPECT_EQ(view->failureReason(), QString::fromUtf8(c.reason));
        }
        EXPECT_EQ(m_ready, 0);
        EXPECT_TRUE(view->hasFailed());
        EXPECT_EQ(view->getState(), 0);
        EXPECT_EQ(view->getPlayerStatus(), 2);
        EXPECT_FALSE(view->normalView->isVisibleTo(view.get()));

        // The message is drawn over the black area.
        const QImage after = view->grab().toImage();
        auto lit = [](const QImage& image) {
            int n = 0;
            for (int y = 0; y < image.height(); y += 2)
                for (int x = 0; x < image.width(); x += 2)
                    n += qGray(image.pixel(x, y)) > 128;
            return n;
        };
        EXPECT_EQ(lit(before), 0);
        EXPECT_GT(lit(after), 10);

        // Releasing clears it; the surface can load again.
        view->releasePlayer();
        EXPECT_FALSE(view->hasFailed());
        view->loadURL(url("one.mp4"));
        ASSERT_TRUE(waitFor([&] { return m_ready == 1; }));
    }

    // Only files are played: no network address, no empty one.
    for (const QUrl& address : {QUrl(QStringLiteral("http://127.0.0.1:9/x.mp4")), QUrl()}) {
        auto view = makeSurface();
        QSignalSpy failed(view.get(), &VideoPlayerView::loadFailed);
        view->loadURL(address);
        ASSERT_TRUE(waitFor([&] { return failed.count() == 1; }));
        EXPECT_EQ(view->failureReason(), QStringLiteral("not a local file"));
        EXPECT_EQ(view->getState(), 0);
    }
    {
        // A URL without scheme is a path.
        auto view = makeSurface();
        view->loadURL(QUrl(media("one.mp4")));
        ASSERT_TRUE(waitFor([&] { return view->getPlayerStatus() == 1; }));
    }

    // Cut by a power cut after the index: plays what is there, then ends.
    auto view = makeSurface();
    QSignalSpy failed(view.get(), &VideoPlayerView::loadFailed);
    m_ready = 0;
    m_ends = 0;
    view->loadURL(url("cut_half.mp4"));
    ASSERT_TRUE(waitFor([&] { return m_ready == 1 || failed.count() > 0; }));
    EXPECT_EQ(failed.count(), 0);
    ASSERT_TRUE(waitFor([&] { return m_ends == 1; }));
}

TEST_F(VideoPlayerViewTest, SoundPlayingWithoutAnyPictureFailsWithinSeconds)
{
    // Every video packet is damaged but the sound is fine: mpv would play the
    // sound to the end with an empty picture; the surface gives up first.
    auto view = makeSurface();
    QSignalSpy failed(view.get(), &VideoPlayerView::loadFailed);
    QElapsedTimer clock;
    clock.start();
    view->loadURL(url("sound_only_plays.mp4"));
    ASSERT_TRUE(waitFor([&] { return failed.count() == 1; }, 15000));
    EXPECT_LT(clock.elapsed(), 6900); // before the 7-second sound ends
    EXPECT_EQ(view->failureReason(), QStringLiteral("no picture could be decoded"));
    EXPECT_EQ(m_ready, 0);
    EXPECT_EQ(m_ends, 0);
}

TEST_F(VideoPlayerViewTest, NoLateCallbacksAfterReleaseOrDestruction)
{
    // Released straight after the load: nothing arrives afterwards.
    {
        auto view = makeSurface();
        QSignalSpy failed(view.get(), &VideoPlayerView::loadFailed);
        view->loadURL(url("two.mp4"));
        view->releasePlayer();
        QTest::qWait(500);
        EXPECT_EQ(failed.count(), 0);
        EXPECT_EQ(m_ready, 0);
        EXPECT_EQ(view->getState(), 0);
        view->loadURL(url("garbage.mp4"));
        view->releasePlayer();
        QTest::qWait(300);
        EXPECT_EQ(failed.count(), 0);
        EXPECT_FALSE(view->hasFailed());
    }
    // Destroyed while playing, with mpv events still queued.
    {
        auto view = makeSurface();
        view->loadURL(url("two.mp4"));
        ASSERT_TRUE(waitFor([&] { return m_ready == 1; }));
        view->seekToTime(1.0);
        view.reset();
        QTest::qWait(300);
    }
    // The receiver of the end deletes the surface, as the controller does
    // when it opens the next recording.
    {
        auto* view = makeSurface().release();
        QPointer<VideoPlayerView> guard(view);
        QObject owner;
        QObject::connect(view, &VideoPlayerView::ended, &owner, [&] { delete guard.data(); });
        view->loadURL(url("one.mp4"));
        ASSERT_TRUE(waitFor([&] { return guard.isNull(); }));
        QTest::qWait(200);
    }
    // Load and release many times in a row.
    m_ready = 0;
    auto view = makeSurface();
    for (int i = 0; i < 50; ++i) {
        view->loadURL(url(i % 5 == 4 ? "garbage.mp4" : "one.mp4"));
        if (i % 2)
            QCoreApplication::processEvents();
        view->releasePlayer();
    }
    QTest::qWait(300);
    EXPECT_EQ(view->getState(), 0);
    view->loadURL(url("one.mp4"));
    ASSERT_TRUE(waitFor([&] { return view->getPlayerStatus() == 1; }));
}

} // namespace
