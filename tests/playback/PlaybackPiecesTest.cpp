// The pieces the playback session is made of, each on its own: the time-stamp
// overlay over a bare host, the 360-degree control without a surface, the
// current track over a generated recording and its log, and the reads the
// session runs on workers.
#include "MediaGen.h"
#include "base/AMediaFile.h"
#include "playback/CurrentTrack.h"
#include "playback/LatestReads.h"
#include "playback/TimeStampOverlay.h"
#include "playback/View360Control.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <cmath>
#include <future>
#include <gtest/gtest.h>
#include <set>

namespace
{

TEST(PlaybackPieces, OverlayCountsFromItsStartAndCornersThePictureAsShown)
{
    TimeStampOverlay overlay;
    EXPECT_EQ(overlay.label(), nullptr); // no host: nothing to lay it over
    overlay.setText(QStringLiteral("x"));

    QWidget content;
    content.resize(980, 660);
    auto* host = new QWidget(&content);
    host->setGeometry(20, 30, 640, 480);
    overlay.setHost(&content);
    QLabel* label = overlay.label();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->parentWidget(), &content);
    EXPECT_FALSE(overlay.isShown());

    // Without a start there is no text; with one, the frame's second counts
    // from it, into the next day.
    const GpsList empty;
    EXPECT_FALSE(overlay.textAt(0, empty, false));
    overlay.setStart(_SYSTEMTIME{2023, 12, 0, 31, 23, 59, 50, 0});
    EXPECT_TRUE(
        overlay.textAt(0, empty, false)->startsWith(QStringLiteral(" \n \n2023/12/31 23:59:50 0 km/h")));
    EXPECT_TRUE(overlay.textAt(10.4, empty, false)->contains(QStringLiteral("2024/01/01 00:00:00")));

    // Off places nothing; on, the lower right corner lies 10 points inside a
    // 320 x 180 picture shown at its own size in the middle of the host.
    const QPoint before = label->pos();
    overlay.place(host, QSizeF(320, 180));
    EXPECT_EQ(label->pos(), before);
    overlay.setMode(TimeStampOverlay::Front);
    overlay.place(host, QSizeF(320, 180));
    EXPECT_EQ(label->geometry().right() + 1, 20 + 160 + 320 - 10);
    EXPECT_EQ(label->geometry().bottom() + 1, 30 + 150 + 180 - 10);
    overlay.setVisible(true);
    EXPECT_TRUE(overlay.isShown());
}

TEST(PlaybackPieces, TheDirectionPadFollowsTheFrontSurfaceOnly)
{
    View360Control view360;
    QSignalSpy pad(&view360, &View360Control::padChanged);
    EXPECT_EQ(view360.state(nullptr), -1);
    EXPECT_FALSE(view360.toggle(nullptr)); // nothing open: the menu's switch does not apply
    view360.update(nullptr, false);
    ASSERT_EQ(pad.count(), 1);
    EXPECT_FALSE(pad.at(0).at(0).toBool());
    EXPECT_FALSE(view360.padEnabled());
}

TEST(PlaybackPieces, TrackGivesEachSecondsPlaceAndGValuesAndItsEventMark)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString movie = dir.filePath(QStringLiteral("EMER240518-154012.MP4"));
    mediagen::RecordingSpec recording;
    recording.seconds = 8;
    recording.faststart = true;
    ASSERT_TRUE(mediagen::writeRecording(QFile::encodeName(movie).toStdString(), recording));
    mediagen::NmeaSpec log;
    log.start = {2024, 5, 18, 15, 40, 12};
    log.drive.seconds = 8;
    log.drive.eventSecond = 5;
    ASSERT_TRUE(
        mediagen::writeNmeaLog(dir.filePath(QStringLiteral("EMER240518-154012.NMEA")).toStdString(), log));
    const std::vector<mediagen::TrackSample> samples = mediagen::nmeaSamples(log);

    CurrentTrack track;
    const std::string path = QFile::encodeName(movie).toStdString();
    ASSERT_TRUE(track.load(path, 8.0, "MODEL").loaded);
    EXPECT_EQ(track.gps().getModelName(), "MODEL");
    EXPECT_EQ(track.markEvent(pmGetFileType(path)), 5);
    EXPECT_EQ(track.eventTime(), 5);
    EXPECT_GT(track.drawGraphic(track.eventTime()), 0.0f);
    EXPECT_FALSE(track.graphic().isNull());

    const CurrentTrack::Place place = track.placeAt(3.7); // the whole second's sample
    EXPECT_NEAR(place.latitude, samples.at(3).lat, 1e-4);
    EXPECT_NEAR(place.longitude, samples.at(3).lon, 1e-4);
    EXPECT_EQ(track.sensorZ(), static_cast<int>(std::lround(track.sampleAt(3)->GetGValueZ() * 1000)));
    EXPECT_EQ(track.sampleAt(-1), nullptr);
    EXPECT_EQ(track.sampleAt(std::nan("")), nullptr);

    // Outside the track the cursor reads nothing; emptied, no sample is left.
    track.placeAt(1e9);
    EXPECT_EQ(track.sensorX(), 0);
    track.clear();
    EXPECT_EQ(track.sampleAt(3), nullptr);
    EXPECT_TRUE(track.graphic().isNull());
}

TEST(PlaybackPieces, AReadReplacedOrDroppedBeforeItAnswersIsNeverHeard)
{
    LatestReads reads;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> firstToldToStop{false};
    std::set<int> heard;
    bool onMainThread = true;
    auto hear = [&](const int& value) {
        onMainThread = onMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
        heard.insert(value);
    };
    reads.ask<int>(
        LatestReads::FrontDurations,
        [released, &firstToldToStop](const std::atomic<bool>& stop) {
            released.wait();
            firstToldToStop = stop.load();
            return 1;
        },
        hear);
    EXPECT_TRUE(reads.isPending(LatestReads::FrontDurations));
    // A new ask of the same kind replaces it; other kinds go on beside it.
    reads.ask<int>(
        LatestReads::FrontDurations, [](const std::atomic<bool>&) { return 2; }, hear);
    reads.ask<int>(
        LatestReads::RearDurations, [](const std::atomic<bool>&) { return 3; }, hear);
    reads.ask<int>(
        LatestReads::TripRoute, [](const std::atomic<bool>&) { return 4; }, hear);
    reads.drop(LatestReads::TripRoute);
    EXPECT_FALSE(reads.isPending(LatestReads::TripRoute));
    release.set_value();
    // Every worker has answered (its job is gone) before the check.
    ASSERT_TRUE(QTest::qWaitFor([&] { return reads.findChildren<QObject*>().isEmpty(); }, 10000));
    EXPECT_EQ(heard, (std::set<int>{2, 3}));
    EXPECT_TRUE(firstToldToStop);
    EXPECT_TRUE(onMainThread);
    EXPECT_FALSE(reads.isPending(LatestReads::FrontDurations) || reads.isPending(LatestReads::RearDurations));
}

} // namespace
