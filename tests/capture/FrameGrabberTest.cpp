// The exact frame at a time, read from the file: the frame whose start is the
// last at or before the time, from the key frame before it decoded forward,
// in each container the cameras write, front and rear; and a clear refusal
// for a file that has no such frame.
#include "export/FrameGrabber.h"
#include "CaptureTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

using namespace capturetest;

namespace
{
QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}
} // namespace

TEST(FrameGrabber, TheFrameShownAtATimeInEveryContainerFrontAndRear)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const struct {
        const char* name;
        mediagen::Container container;
        bool rear;
        bool h265;
    } files[] = {
        {"FILE240601-120000_M.MP4", mediagen::Container::Mp4, false, false},
        {"FILE240601-120000_2.MOV", mediagen::Container::Mov, true, false},
        {"FILE240601-120000_M.AVI", mediagen::Container::Avi, false, false},
        {"FILE240601-120000_2.AVI", mediagen::Container::Avi, true, false},
        {"20240601_120000_NF.mp4", mediagen::Container::Mp4, false, true},
        {"20240601_120000_NR.mov", mediagen::Container::Mov, true, true},
    };
    const int fps = 10;
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const QString path = dir.filePath(QLatin1String(f.name));
        // A key frame every 2 s: most times need frames decoded past the key frame.
        ASSERT_TRUE(makeNumberedRecording(path, f.container, 6.0, 320, 240, fps, f.rear, 2, f.h265));
        // Between frames, on a frame's start, just before the next, on a key
        // frame, just after it, the first and the last frame.
        for (double t : {0.0, 0.05, 1.35, 1.7, 1.99, 2.0, 2.04, 3.95, 5.9}) {
            const FrameGrab grab = pmGrabFrame(native(path), t);
            ASSERT_FALSE(grab.image.isNull()) << t << ": " << grab.error.toStdString();
            EXPECT_EQ(grab.image.size(), QSize(320, 240));
            const int expected = static_cast<int>(std::floor(t * fps + 1e-6));
            EXPECT_EQ(readFrameNumber(grab.image), expected) << "at " << t << " s";
            EXPECT_NEAR(grab.time, expected / double(fps), 1e-3) << "at " << t << " s";
        }
        // Past the end: the last frame, as a player resting at the end shows it.
        EXPECT_EQ(readFrameNumber(pmGrabFrame(native(path), 6.2).image), 59);
    }
    // Full resolution, whatever any screen shows.
    const QString hd = dir.filePath(QStringLiteral("HD.MP4"));
    ASSERT_TRUE(makeNumberedRecording(hd, mediagen::Container::Mp4, 1.0, 1920, 1080, 30, false, 1));
    const FrameGrab big = pmGrabFrame(native(hd), 0.5);
    EXPECT_EQ(big.image.size(), QSize(1920, 1080));
    EXPECT_EQ(readFrameNumber(big.image), 15);
}

TEST(FrameGrabber, NoFrameFromWhatCannotBeDecodedThere)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString good = dir.filePath(QStringLiteral("good.MP4"));
    ASSERT_TRUE(makeNumberedRecording(good, mediagen::Container::Mp4, 6.0, 320, 240, 10, false, 2));
    QFile source(good);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();

    // Cut to half: the frames of the first part are there, the later ones are not.
    const QString cut = dir.filePath(QStringLiteral("cut.MP4"));
    {
        QFile out(cut);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes.left(bytes.size() / 2));
    }
    const FrameGrab early = pmGrabFrame(native(cut), 0.5);
    EXPECT_EQ(readFrameNumber(early.image), 5) << early.error.toStdString();
    const FrameGrab late = pmGrabFrame(native(cut), 5.5);
    EXPECT_TRUE(late.image.isNull());
    EXPECT_FALSE(late.error.isEmpty());

    // Media data overwritten with zeros: headers intact, nothing decodes.
    QByteArray zeroed = bytes;
    const int mdat = zeroed.indexOf("mdat");
    ASSERT_GT(mdat, 0);
    for (int i = mdat + 4; i < zeroed.size(); ++i)
        zeroed[i] = 0;
    const QString damaged = dir.filePath(QStringLiteral("damaged.MP4"));
    {
        QFile out(damaged);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(zeroed);
    }
    EXPECT_TRUE(pmGrabFrame(native(damaged), 1.0).image.isNull());

    // Not a recording, not there, not a file.
    const QString garbage = dir.filePath(QStringLiteral("garbage.MP4"));
    {
        QFile out(garbage);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(4096, '\x5a'));
    }
    EXPECT_TRUE(pmGrabFrame(native(garbage), 0).image.isNull());
    EXPECT_TRUE(pmGrabFrame(native(dir.filePath(QStringLiteral("gone.MP4"))), 0).image.isNull());
    EXPECT_TRUE(pmGrabFrame(native(dir.path()), 0).image.isNull());
    EXPECT_TRUE(pmGrabFrame(QByteArray(), 0).image.isNull());
    // A time that is no time reads as the start.
    EXPECT_EQ(readFrameNumber(pmGrabFrame(native(good), std::nan("")).image), 0);
}
