// Recordings of one trip played as a chain on headless surfaces with a frame
// tap: every frame shown across each join, read back from the picture's frame
// code. No frame is lost or shown twice, the next recording's first frame
// follows the last one of the previous within 1.5 frame intervals of the
// player's presentation times at 1x and 2x, and a rear chain stays within
// 0.1 s of the front one. The surface still answers for one recording at a
// time.
#include "MediaGen.h"
#include "views/VideoPlayerView.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace
{

using Mode = VideoPlayerView::RenderMode;

// Short recordings keep the suite fast: each join is played from a seek
// shortly before it.
constexpr int kFps = 30;
constexpr double kSeconds = 4.0;
constexpr int kRecordings = 3;
constexpr double kLeadIn = 0.6;                           // seconds played before each join
constexpr double kLeadOut = 0.4;                          // and after it
constexpr long kClockStart = (8 * 3600 + 30 * 60) * kFps; // 08:30:00 in frames

struct Shown {
    long code = -1;    // the frame's place in the day (mediagen frame code)
    qint64 target = 0; // when the player meant it to be shown, microseconds
    qint64 wallUs = 0; // when the tap saw it
};

class TripChainTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir();
        ASSERT_TRUE(s_dir->isValid());
        for (int camera = 0; camera < 2; ++camera) {
            for (int i = 0; i < kRecordings; ++i) {
                mediagen::RecordingSpec recording;
                recording.container = mediagen::Container::Mp4;
                recording.width = 240;
                recording.height = 144;
                recording.fps = kFps;
                recording.seconds = kSeconds;
                recording.faststart = true;
                recording.frameCode = true;
                recording.rear = camera == 1;
                recording.clock.second = static_cast<int>(i * kSeconds);
                ASSERT_TRUE(mediagen::writeRecording(path(camera, i).toStdString(), recording));
            }
        }
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString path(int camera, int index)
    {
        return s_dir->filePath(QStringLiteral("%1_%2.mp4").arg(camera ? "rear" : "front").arg(index));
    }
    static QList<QUrl> chain(int camera)
    {
        QList<QUrl> urls;
        for (int i = 0; i < kRecordings; ++i)
            urls << QUrl::fromLocalFile(path(camera, i));
        return urls;
    }
    static QList<double> lengths() { return QList<double>(kRecordings, kSeconds); }

    std::unique_ptr<VideoPlayerView> makeTapped(std::vector<Shown>& log, QElapsedTimer& clock)
    {
        auto view = std::make_unique<VideoPlayerView>(QRect(0, 0, 320, 240), nullptr, Mode::Headless);
        view->setFrameTap([&log, &clock](const uchar* pixels, QSize size, int stride, qint64 target) {
            log.push_back({mediagen::frameCodeAt(pixels, size.width(), size.height(), stride, 4), target,
                           clock.nsecsElapsed() / 1000});
        });
        return view;
    }

    static QTemporaryDir* s_dir;
};

QTemporaryDir* TripChainTest::s_dir = nullptr;

long codeAt(int recording, double seconds)
{
    return kClockStart + static_cast<long>(std::lround((recording * kSeconds + seconds) * kFps));
}

// The frames shown from `from` on (the seek's first frame) up to `to`.
std::vector<Shown> between(const std::vector<Shown>& log, long from, long to)
{
    std::vector<Shown> out;
    for (const Shown& s : log)
        if (s.code >= from && s.code <= to)
            out.push_back(s);
    return out;
}

TEST_F(TripChainTest, JoinsShowEveryFrameOnceOnTimeAtOneAndTwoTimesWithTheRearAlongside)
{
    for (const double speed : {1.0, 2.0}) {
        SCOPED_TRACE(speed);
        QElapsedTimer clock;
        clock.start();
        std::vector<Shown> front, rear;
        auto frontView = makeTapped(front, clock);
        auto rearView = makeTapped(rear, clock);
        std::vector<int> entered;
        QObject::connect(frontView.get(), &VideoPlayerView::recordingEntered,
                         [&entered](int index) { entered.push_back(index); });
        frontView->setRate(static_cast<float>(speed));
        rearView->setRate(static_cast<float>(speed));
        frontView->loadChain(chain(0), lengths());
        rearView->loadChain(chain(1), lengths());
        ASSERT_EQ(frontView->chainLength(), kRecordings);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return frontView->getPlayerStatus() == VideoPlayerView::StatusReadyToPlay &&
                       rearView->getPlayerStatus() == VideoPlayerView::StatusReadyToPlay;
            },
            10000));
        // One recording's length, not the timeline's.
        EXPECT_NEAR(frontView->getDuration(), kSeconds, 1e-6);

        for (int join = 1; join < kRecordings; ++join) {
            SCOPED_TRACE(join);
            // Both cameras paused just before the join, then started together.
            frontView->onPause();
            rearView->onPause();
            const double lead = kSeconds - kLeadIn;
            frontView->seekToTime(lead);
            rearView->seekToTime(lead);
            ASSERT_TRUE(QTest::qWaitFor(
                [&] {
                    return !frontView->player()->isSeeking() && !rearView->player()->isSeeking() &&
                           std::fabs(frontView->getitemTime() - lead) < 0.02 &&
                           std::fabs(rearView->getitemTime() - lead) < 0.02;
                },
                10000));
            const size_t frontMark = front.size(), rearMark = rear.size();
            frontView->setRate(static_cast<float>(speed));
            rearView->setRate(static_cast<float>(speed));
            const long first = codeAt(join - 1, lead + 1.0 / kFps);
            const long last = codeAt(join, kLeadOut);
            ASSERT_TRUE(QTest::qWaitFor(
                [&] {
                    return !front.empty() && front.back().code >= last && !rear.empty() &&
                           rear.back().code >= last;
                },
                20000));

            const std::vector<Shown> f = between({front.begin() + frontMark, front.end()}, first, last);
            const std::vector<Shown> r = between({rear.begin() + rearMark, rear.end()}, first, last);
            // Every frame once, in order, across the join.
            ASSERT_EQ(static_cast<long>(f.size()), last - first + 1);
            ASSERT_EQ(static_cast<long>(r.size()), last - first + 1);
            const double interval = 1e6 / kFps / speed;
            for (size_t i = 1; i < f.size(); ++i) {
                ASSERT_EQ(f[i].code, f[i - 1].code + 1) << "front frame " << f[i].code;
                ASSERT_EQ(r[i].code, r[i - 1].code + 1) << "rear frame " << r[i].code;
            }
            // The last frame of one recording and the first of the next.
            const long joinCode = codeAt(join, 0);
            const size_t at = static_cast<size_t>(joinCode - first);
            ASSERT_EQ(f[at].code, joinCode);
            const double frontGap = static_cast<double>(f[at].target - f[at - 1].target);
            const double rearGap = static_cast<double>(r[at].target - r[at - 1].target);
            EXPECT_GT(frontGap, 0.5 * interval);
            EXPECT_LE(frontGap, 1.5 * interval);
            EXPECT_GT(rearGap, 0.5 * interval);
            EXPECT_LE(rearGap, 1.5 * interval);
            // Front and rear show the same moment within 0.1 s: each frame's
            // time against the other camera's frame of the same code.
            for (size_t i = 0; i < f.size(); ++i)
                EXPECT_LE(std::abs(f[i].target - r[i].target), 100000) << "frame " << f[i].code;
            std::printf("speed %.0fx join %d: front gap %.1f ms, rear gap %.1f ms (wall %.1f / %.1f ms), "
                        "frame interval %.1f ms\n",
                        speed, join, frontGap / 1000, rearGap / 1000,
                        (f[at].wallUs - f[at - 1].wallUs) / 1000.0,
                        (r[at].wallUs - r[at - 1].wallUs) / 1000.0, interval / 1000);
            // The surface now answers for the next recording.
            ASSERT_TRUE(QTest::qWaitFor([&] { return frontView->chainIndex() == join; }, 2000));
            EXPECT_EQ(frontView->URL(), chain(0).at(join));
            EXPECT_EQ(rearView->chainIndex(), join);
            EXPECT_LT(frontView->getitemTime(), kLeadOut + 0.5);
        }
        EXPECT_EQ(entered, (std::vector<int>{1, 2}));
        // A seek is the current recording's: 1 s into the last one.
        frontView->onPause();
        frontView->seekToTime(1.0);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return !frontView->player()->isSeeking() && std::fabs(frontView->getitemTime() - 1.0) < 0.02;
            },
            5000));
        EXPECT_NEAR(frontView->player()->doubleProperty("time-pos").value_or(-1), 2 * kSeconds + 1.0, 0.02);
        frontView->releasePlayer();
        rearView->releasePlayer();
        EXPECT_EQ(frontView->chainLength(), 1);
    }
}

} // namespace
