// The player on its own, headless (vo=null, ao=null): its mirror, typed
// commands, end reasons and frame grabs.
#include "views/MpvPlayer.h"
#include "VideoTestMedia.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace
{

using Reason = MpvPlayer::EndReason;

bool isRed(QRgb c)
{
    return qRed(c) > 180 && qGreen(c) < 80 && qBlue(c) < 80;
}
bool isGreen(QRgb c)
{
    return qGreen(c) > 100 && qRed(c) < 80 && qBlue(c) < 80;
}
bool isBlue(QRgb c)
{
    return qBlue(c) > 180 && qRed(c) < 80 && qGreen(c) < 80;
}

class MpvPlayerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir();
        ASSERT_TRUE(s_dir->isValid());
        videotest::RecordingOptions one;
        one.seconds = 1.0;
        ASSERT_TRUE(videotest::makeRecording(media("one.mp4"), one));
        ASSERT_TRUE(videotest::makeGarbage(media("garbage.mp4"), 60000));
        ASSERT_TRUE(videotest::makeAudioOnly(media("audio.m4a"), 1.0));
        ASSERT_TRUE(videotest::makeHalvesRecording(media("halves.mp4"), 320, 240, 10, 2));
        // Red for its first second, green for its second.
        ASSERT_TRUE(videotest::runFfmpeg({"-f", "lavfi", "-i", "color=c=red:s=160x120:r=10", "-t", "2", "-vf",
                                          "drawbox=x=0:y=0:w=160:h=120:color=green:t=fill:enable='gte(t,1)'",
                                          "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p",
                                          media("red_then_green.mp4")}));
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString media(const QString& name) { return s_dir->filePath(name); }

    // An open headless player, paused unless asked otherwise.
    static std::unique_ptr<MpvPlayer> openPlayer(bool paused = true)
    {
        auto player = std::make_unique<MpvPlayer>();
        MpvPlayer::Settings settings;
        settings.audioOutput = "null";
        settings.paused = paused;
        EXPECT_TRUE(player->open(settings)) << player->errorText().toStdString();
        return player;
    }
    static bool waitFor(const std::function<bool()>& condition, int ms = 10000)
    {
        return QTest::qWaitFor(condition, ms);
    }
    // The frame shown now, or a null image after 10 s.
    static QImage grab(MpvPlayer& player)
    {
        bool answered = false;
        QImage frame;
        player.grabFrame([&](QImage image) {
            answered = true;
            frame = std::move(image);
        });
        EXPECT_FALSE(answered); // never inside grabFrame
        EXPECT_TRUE(waitFor([&] { return answered; }));
        return frame;
    }

    static QTemporaryDir* s_dir;
};

QTemporaryDir* MpvPlayerTest::s_dir = nullptr;

TEST_F(MpvPlayerTest, MirrorFollowsCommandsAtOnceAndMpvAfterwards)
{
    MpvPlayer closed;
    EXPECT_FALSE(closed.isOpen());
    EXPECT_EQ(closed.doubleProperty(MpvProperty::kSpeed), std::nullopt);
    closed.seekAbsolute(1); // nothing to do, nothing breaks
    closed.setPaused(true);
    EXPECT_FALSE(closed.isPaused());

    auto player = openPlayer();
    EXPECT_FALSE(player->open(MpvPlayer::Settings())); // already open
    QSignalSpy loaded(player.get(), &MpvPlayer::fileLoaded);
    QSignalSpy track(player.get(), &MpvPlayer::videoTrackChecked);
    QSignalSpy size(player.get(), &MpvPlayer::videoSizeChanged);
    // Given before the file is open: carried out once it is.
    player->seekAbsolute(1.5);
    player->loadFile(media("halves.mp4"));
    ASSERT_TRUE(waitFor([&] { return !track.isEmpty() && player->videoSize() == QSize(320, 240); }));
    EXPECT_EQ(loaded.count(), 1);
    EXPECT_TRUE(track.first().first().toBool());
    EXPECT_EQ(size.last().first().toSize(), QSize(320, 240));
    EXPECT_TRUE(player->isFileLoaded());
    EXPECT_NEAR(player->duration(), 2.0, 0.1);
    ASSERT_TRUE(waitFor([&] { return !player->isSeeking() && std::abs(player->timePos() - 1.5) < 0.06; }));
    EXPECT_NEAR(player->doubleProperty(MpvProperty::kTimePos).value_or(-1), 1.5, 0.06);

    // Commands change the mirror before mpv answers; mpv then agrees.
    player->setSpeed(1000);
    EXPECT_DOUBLE_EQ(player->speed(), 100.0); // mpv's upper bound
    player->setSpeed(0.5);
    EXPECT_DOUBLE_EQ(player->speed(), 0.5);
    player->setPaused(false);
    EXPECT_FALSE(player->isPaused());
    player->setPaused(true);
    EXPECT_TRUE(player->isPaused());
    player->setVolume(250);
    player->setMuted(true);
    // mpv carries the requests out in its own time.
    EXPECT_TRUE(waitFor(
        [&] {
            return player->doubleProperty(MpvProperty::kSpeed) == 0.5 &&
                   player->flagProperty(MpvProperty::kPause) == true &&
                   player->doubleProperty(MpvProperty::kVolume) == 100.0 &&
                   player->flagProperty(MpvProperty::kMute) == true;
        },
        2000));
    EXPECT_EQ(player->intProperty(MpvProperty::kDisplayWidth), std::optional<qint64>(320));
    EXPECT_EQ(player->doubleProperty("no-such-property"), std::nullopt);
    QTest::qWait(200); // reports sent before the commands do not undo them
    EXPECT_TRUE(player->isPaused());
    EXPECT_DOUBLE_EQ(player->speed(), 0.5);

    // Exact seeks and frame steps while paused.
    player->seekAbsolute(0.5);
    EXPECT_TRUE(player->isSeeking());
    EXPECT_DOUBLE_EQ(player->timePos(), 0.5);
    ASSERT_TRUE(waitFor([&] { return !player->isSeeking(); }));
    // Paused, mpv reports the new position once; the mirror keeps it even
    // when that report comes before mpv's notice that the seek is done.
    for (int i = 0; i < 10; ++i) {
        player->seekRelative(i % 2 ? -0.3 : 0.3);
        const double target = i % 2 ? 0.5 : 0.8;
        ASSERT_TRUE(waitFor(
            [&] { return !player->isSeeking() && std::abs(player->timePos() - target) < 0.06; }, 3000))
            << i << " " << player->timePos();
    }
    player->seekRelative(0.3);
    ASSERT_TRUE(waitFor([&] { return !player->isSeeking() && std::abs(player->timePos() - 0.8) < 0.06; }));
    player->frameStep();
    ASSERT_TRUE(waitFor([&] { return std::abs(player->timePos() - 0.9) < 0.06; }));
    player->frameBackStep();
    ASSERT_TRUE(waitFor([&] { return std::abs(player->timePos() - 0.8) < 0.06; }));
    EXPECT_TRUE(player->isPaused());

    // Closing forgets everything; nothing arrives afterwards.
    QSignalSpy ended(player.get(), &MpvPlayer::ended);
    player->setPaused(false);
    player->close();
    EXPECT_FALSE(player->isOpen());
    EXPECT_FALSE(player->isFileLoaded());
    EXPECT_EQ(player->videoSize(), QSize(0, 0));
    EXPECT_EQ(player->flagProperty(MpvProperty::kPause), std::nullopt);
    QTest::qWait(300);
    EXPECT_EQ(ended.count(), 0);
}

TEST_F(MpvPlayerTest, EndsSayWhy)
{
    {
        // Played to the end: the file stays loaded and the end is reported.
        auto player = openPlayer(false);
        QSignalSpy ended(player.get(), &MpvPlayer::ended);
        player->loadFile(media("one.mp4"));
        ASSERT_TRUE(waitFor([&] { return !ended.isEmpty(); }));
        EXPECT_EQ(ended.first().first().value<Reason>(), Reason::EndOfFile);
        EXPECT_TRUE(player->isFileLoaded());
        // Asked again while at the end: the same answer; after a seek back, not at the end.
        QSignalSpy left(player.get(), &MpvPlayer::endOfFileLeft);
        const int before = ended.count();
        player->pollEndOfFile();
        ASSERT_TRUE(waitFor([&] { return ended.count() > before; }, 2000));
        player->setPaused(true);
        player->seekAbsolute(0);
        ASSERT_TRUE(waitFor([&] { return !player->isSeeking(); }));
        player->pollEndOfFile();
        ASSERT_TRUE(waitFor([&] { return !left.isEmpty(); }, 2000));
    }
    {
        // Not a recording: an error, in mpv's words.
        auto player = openPlayer();
        QSignalSpy ended(player.get(), &MpvPlayer::ended);
        player->loadFile(media("garbage.mp4"));
        ASSERT_TRUE(waitFor([&] { return !ended.isEmpty(); }));
        EXPECT_EQ(ended.first().first().value<Reason>(), Reason::Error);
        EXPECT_FALSE(ended.first().at(1).toString().isEmpty());
    }
    {
        // Sound only: loaded, with no video track.
        auto player = openPlayer();
        QSignalSpy track(player.get(), &MpvPlayer::videoTrackChecked);
        player->loadFile(media("audio.m4a"));
        ASSERT_TRUE(waitFor([&] { return !track.isEmpty(); }));
        EXPECT_FALSE(track.first().first().toBool());
    }
    {
        // Stopped.
        auto player = openPlayer();
        QSignalSpy loaded(player.get(), &MpvPlayer::fileLoaded);
        QSignalSpy ended(player.get(), &MpvPlayer::ended);
        player->loadFile(media("one.mp4"));
        ASSERT_TRUE(waitFor([&] { return !loaded.isEmpty(); }));
        player->stop();
        ASSERT_TRUE(waitFor([&] { return !ended.isEmpty(); }));
        EXPECT_EQ(ended.first().first().value<Reason>(), Reason::Stopped);
    }
}

TEST_F(MpvPlayerTest, GrabTakesTheDecodedFrameAtThePosition)
{
    auto player = openPlayer();
    player->loadFile(media("halves.mp4"));
    ASSERT_TRUE(waitFor([&] { return player->videoSize() == QSize(320, 240); }));
    const QImage halves = grab(*player);
    ASSERT_EQ(halves.size(), QSize(320, 240));
    EXPECT_TRUE(isRed(halves.pixel(160, 20))) << std::hex << halves.pixel(160, 20);
    EXPECT_TRUE(isBlue(halves.pixel(160, 220))) << std::hex << halves.pixel(160, 220);
    player->close();

    player = openPlayer();
    player->loadFile(media("red_then_green.mp4"));
    ASSERT_TRUE(waitFor([&] { return !player->videoSize().isEmpty(); }));
    for (double at : {1.5, 0.5, 1.2}) {
        SCOPED_TRACE(at);
        player->seekAbsolute(at);
        ASSERT_TRUE(waitFor([&] { return !player->isSeeking(); }));
        const QImage frame = grab(*player);
        ASSERT_EQ(frame.size(), QSize(160, 120));
        EXPECT_TRUE(at < 1 ? isRed(frame.pixel(80, 60)) : isGreen(frame.pixel(80, 60)))
            << std::hex << frame.pixel(80, 60);
    }

    // Grabs still waiting when the player closes, and grabs without a
    // player, get a null image and are never lost.
    int nullAnswers = 0;
    for (int i = 0; i < 3; ++i)
        player->grabFrame([&](QImage image) { nullAnswers += image.isNull(); });
    player->close();
    EXPECT_EQ(nullAnswers, 3);
    EXPECT_TRUE(grab(*player).isNull());
}

// mpv's software renderer without any window: frames only taken still let
// the file play on, and a render context someone keeps past its player keeps
// that player's core until it is freed (libmpv wants it gone first).
TEST_F(MpvPlayerTest, SoftwareFramesTakenOrDrawnAndARenderContextOutlivingItsPlayer)
{
    const int coresBefore = MpvPlayer::liveCoreCount();
    auto player = std::make_unique<MpvPlayer>();
    MpvPlayer::Settings settings;
    settings.videoOutput = true;
    settings.audioOutput = "null";
    settings.paused = true;
    ASSERT_TRUE(player->open(settings)) << player->errorText().toStdString();
    EXPECT_EQ(MpvPlayer::liveCoreCount(), coresBefore + 1);
    std::unique_ptr<MpvRenderContext> render = player->createSoftwareRenderContext();
    ASSERT_TRUE(render);
    ASSERT_TRUE(render->isSoftware());

    // A large target first, so that the frames only taken afterwards name
    // the large size drawn last.
    const QSize large(1280, 960);
    std::vector<quint32> pixels(static_cast<size_t>(large.width() * large.height()));
    bool draw = true;
    int drawn = 0;
    int taken = 0;
    QObject::connect(player.get(), &MpvPlayer::renderUpdate, [&] {
        if (!render || !render->takeNewFrame())
            return;
        if (draw) {
            render->renderSoftware(large, pixels.data(), static_cast<size_t>(large.width()) * 4, false);
            ++drawn;
        } else {
            render->renderSoftware(QSize(), nullptr, 0, true);
            ++taken;
        }
    });
    QSignalSpy ended(player.get(), &MpvPlayer::ended);
    player->loadFile(media("red_then_green.mp4"));
    ASSERT_TRUE(waitFor([&] { return drawn > 0; }));
    EXPECT_TRUE(isRed(pixels[static_cast<size_t>(480 * large.width() + 640)] | 0xff000000u))
        << std::hex << pixels[static_cast<size_t>(480 * large.width() + 640)];

    // Only taken from now on (a hidden picture): it plays to its end all the same.
    draw = false;
    player->setPaused(false);
    ASSERT_TRUE(waitFor([&] {
        for (const QList<QVariant>& e : ended)
            if (e.first().value<MpvPlayer::EndReason>() == Reason::EndOfFile)
                return true;
        return false;
    }));
    EXPECT_GT(taken, 5);
    // Drawn again at the end: the last frame, green.
    draw = true;
    player->seekAbsolute(1.5);
    const int drawnBefore = drawn;
    ASSERT_TRUE(waitFor([&] { return drawn > drawnBefore && !player->isSeeking(); }));
    EXPECT_TRUE(isGreen(pixels[static_cast<size_t>(480 * large.width() + 640)] | 0xff000000u));

    // Nobody frees the context when the player goes: the core waits for it.
    player.reset();
    EXPECT_EQ(MpvPlayer::liveCoreCount(), coresBefore + 1);
    render->takeNewFrame(); // still a live context
    render->renderSoftware(QSize(), nullptr, 0, true);
    QTest::qWait(100);
    render.reset();
    EXPECT_EQ(MpvPlayer::liveCoreCount(), coresBefore);

    // Closed with no context kept, the core goes at once.
    player = openPlayer();
    EXPECT_EQ(MpvPlayer::liveCoreCount(), coresBefore + 1);
    player->close();
    EXPECT_EQ(MpvPlayer::liveCoreCount(), coresBefore);
}

} // namespace
