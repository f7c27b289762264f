// Marking a plate in the clip window under a real X server: the frame of the
// moment comes in from the worker, a rectangle dragged over it with the
// mouse and held still to a later moment ends up pixelated in the saved
// copy over that time only, and the folder verifies.
#include "../app/AppTestSupport.h"
#include "WindowTestSupport.h"

#include "controls/BlurMarkView.h"
#include "controls/ClipDlg.h"
#include "export/ClipController.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>

#include <cmath>
#include <cstdio>

namespace
{

std::string output(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

// Every picture of a video as 8-bit luma, one string per frame.
std::vector<std::string> grayFrames(const std::string& video, int width, int height)
{
    const std::string raw = output("ffmpeg -v error -i '" + video + "' -vf format=gray -f rawvideo -");
    std::vector<std::string> frames;
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t at = 0; at + size <= raw.size(); at += size)
        frames.push_back(raw.substr(at, size));
    return frames;
}

// The fine pattern's strength: how far each pixel lies from the one two
// pixels on, where the 2-pixel checkerboard flips. Pixelated, it is left at
// the blocks' edges only.
double detail(const std::string& frame, int width, const QRect& r)
{
    double sum = 0;
    for (int y = r.y(); y < r.y() + r.height() - 2; ++y)
        for (int x = r.x(); x < r.x() + r.width() - 2; ++x) {
            auto at = [&](int px, int py) {
                return static_cast<double>(
                    static_cast<unsigned char>(frame[static_cast<std::size_t>(py * width + px)]));
            };
            sum += std::abs(at(x, y) - at(x + 2, y)) + std::abs(at(x, y) - at(x, y + 2));
        }
    return sum / ((r.width() - 2.0) * (r.height() - 2.0));
}

} // namespace

TEST(ClipBlurWindow, ARectangleDrawnOnTheFrameIsBlurredInTheSavedCopy)
{
    if (!qEnvironmentVariableIsSet("DISPLAY"))
        GTEST_SKIP() << "needs an X server (xvfb-run)";
    QTemporaryDir dir;
    const QString card = dir.filePath(QStringLiteral("card")), dest = dir.filePath(QStringLiteral("dest"));
    QDir().mkpath(card);
    QDir().mkpath(dest);
    const mediagen::StartTime t0;
    mediagen::RecordingSpec recording;
    recording.seconds = 6;
    recording.fps = 30;
    recording.width = 640;
    recording.height = 360;
    recording.clock = t0;
    recording.crf = 12;
    recording.finePatches = {{96, 144, 128, 96}};
    const QString source =
        QDir(card).filePath(QStringLiteral("FILE%1.MP4").arg(QString::fromStdString(t0.nameStamp())));
    ASSERT_TRUE(mediagen::writeRecording(QFile::encodeName(source).toStdString(), recording));

    pmWriteSetting(SettingsKeys::clipSecondsBefore, 1);
    pmWriteSetting(SettingsKeys::clipSecondsAfter, 3);
    pmWriteSetting(SettingsKeys::clipLayout, QStringLiteral("front"));
    ClipController clip;
    ClipController::Hooks hooks;
    hooks.sourceFolder = [&] { return card; };
    hooks.currentIndex = [] { return 0; };
    hooks.currentSeconds = [] { return 2.0; };
    hooks.playlistPath = [&](int row) { return row == 0 ? QFile::encodeName(source) : QByteArray(); };
    clip.setHooks(hooks);
    apptest::DialogRecorder dialogs;
    dialogs.answer.path = dest;
    QSignalSpy finished(&clip, &ClipController::finished);

    clip.onSaveClip();
    ClipDlg* dlg = clip.lengthsDialog();
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg));
    BlurMarkView* view = dlg->blurView();
    QTRY_VERIFY_WITH_TIMEOUT(!view->frame().isNull(), 10000); // the moment's frame, from the worker
    EXPECT_EQ(view->frame().size(), QSize(640, 360));

    // At the moment (1 s into the clip), a drag a little past the patch.
    const QRect patch(96, 144, 128, 96);
    const QRect onScreen = view->toWidget(patch.adjusted(-6, -6, 6, 6));
    QTest::mousePress(view, Qt::LeftButton, {}, onScreen.topLeft());
    QTest::mouseMove(view, onScreen.center());
    QTest::mouseMove(view, onScreen.bottomRight());
    QTest::mouseRelease(view, Qt::LeftButton, {}, onScreen.bottomRight());
    ASSERT_EQ(dlg->blurAreas().size(), 1u);
    // Held still to 3.5 s; the frame of that moment is asked for and comes.
    dlg->blurTime()->setValue(35);
    QTest::mouseClick(dlg->blurHoldButton(), Qt::LeftButton);
    ASSERT_EQ(dlg->blurAreas().front().keys.size(), 2u);
    EXPECT_EQ(dlg->blurList()->count(), 1);
    if (qEnvironmentVariableIsSet("ROVIX_SHOT_DIR"))
        windowtest::shoot(dlg, QStringLiteral("clip-blur-window"));
    QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("clipSave")), Qt::LeftButton);

    ASSERT_TRUE(finished.wait(60000));
    const ClipResult result = clip.lastResult();
    ASSERT_EQ(result.status, ClipStatus::Done) << result.message;
    EXPECT_EQ(std::system(("cd '" + result.folder + "' && sha256sum --quiet -c SHA256SUMS").c_str()), 0);
    EXPECT_EQ(output("ffmpeg -v error -i '" + result.folder + "/clip.mp4' -f null - 2>&1"), "");
    QFile text(QString::fromStdString(result.folder + "/clip.txt"));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_TRUE(text.readAll().contains("1 area blurred (pixelated), as marked"));
    const std::vector<std::string> blurred = grayFrames(result.folder + "/clip.mp4", 640, 360);
    const std::vector<std::string> original = grayFrames(result.folder + "/originals/clip.mp4", 640, 360);
    ASSERT_EQ(blurred.size(), 120u);
    ASSERT_FALSE(original.empty());
    const double pattern = detail(original.front(), 640, patch);
    ASSERT_GT(pattern, 60);
    // Before its first position the area is absent; from it to its last, unreadable.
    EXPECT_GT(detail(blurred[15], 640, patch), 0.8 * pattern);
    for (std::size_t frame : {35u, 60u, 100u})
        EXPECT_LT(detail(blurred[frame], 640, patch), 0.05 * pattern) << "frame " << frame;
    EXPECT_GT(detail(blurred[112], 640, patch), 0.8 * pattern);
    pmWriteSetting(SettingsKeys::clipLayout, QStringLiteral("separate"));
}
