// A trip of three front/rear pairs played through the controller: the
// surfaces play into the next recording without being opened again, and the
// controller follows as at an ordinary end (row, rear row, file-list
// selection, slider range, ready notices, log lines); the end of the trip
// goes on to the next trip the ordinary way, and with gapless trips off every
// recording is opened at the end of the one before.
#include "PlaybackTestSupport.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/BitmapButton.h"
#include "controls/FileListView.h"
#include "controls/PlayControlView.h"
#include "controls/Slider.h"
#include "controls/ToolbarView.h"
#include "core/Log.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QTextStream>

using namespace playtest;

namespace
{

constexpr double kSeconds = 3.0;

class TripPlaybackTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir();
        ASSERT_TRUE(s_dir->isValid());
        // 11:00:00, :03 and :06 follow each other; 11:00:30 is a trip of its own.
        for (const char* name :
             {"FILE240517-110000", "FILE240517-110003", "FILE240517-110006", "FILE240517-110030"}) {
            ASSERT_TRUE(makeRecording(s_dir->filePath(QStringLiteral("%1_M.MP4").arg(name)), kSeconds));
            ASSERT_TRUE(makeRecording(s_dir->filePath(QStringLiteral("%1_2.MP4").arg(name)), kSeconds, true));
        }
        s_oldLog = pmGetLogFilePath();
        pmSetLogFilePath(s_log.filePath(QStringLiteral("log.txt")).toStdString());
    }
    static void TearDownTestSuite()
    {
        pmSetLogFilePath(s_oldLog);
        delete s_dir;
        s_dir = nullptr;
    }
    static QStringList files()
    {
        QStringList out;
        const QDir dir(s_dir->path());
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            out << dir.filePath(name);
        return out;
    }
    static QString logText()
    {
        QFile f(QString::fromStdString(pmGetLogFilePath().string()));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    static QTemporaryDir* s_dir;
    static inline QTemporaryDir s_log;
    static inline std::filesystem::path s_oldLog;
};

QTemporaryDir* TripPlaybackTest::s_dir = nullptr;

TEST_F(TripPlaybackTest, TripPlaysAsOneChainAndTheControllerFollowsEachRecording)
{
    Controller c(files(), true);
    ASSERT_EQ(c->playlist().size(), 8);
    ASSERT_TRUE(c->isDualCameraMode());
    PlaybackSession* session = c->playback();
    session->setTripMembers([&c](int row) { return c->library()->tripMembers(row); });
    c.doubleClick(0);
    ASSERT_TRUE(c.waitOpened());
    EXPECT_EQ(session->chainRows(1), (QList<int>{0, 2, 4}));
    EXPECT_EQ(session->chainRows(2), (QList<int>{1, 3, 5}));
    EXPECT_EQ(session->currentTrip(), (std::vector<int>{0, 2, 4}));
    VideoPlayerView* front = c->videoPlayView();
    VideoPlayerView* rear = c->videoPlayView2();
    Slider* slider = c->playBar()->poTimeSlider();
    EXPECT_EQ(slider->maxValue(), 3);

    for (int next : {2, 4}) {
        SCOPED_TRACE(next);
        const int readyBefore = c.readyCount;
        const qint64 logBefore = logText().size();
        c.slider(QStringLiteral("time"), 2);
        ASSERT_TRUE(waitFor([&] { return c->getCurPlayIndex() == next; }));
        // The same surfaces play on; nothing was opened again.
        EXPECT_EQ(c->videoPlayView(), front);
        EXPECT_EQ(c->videoPlayView2(), rear);
        EXPECT_EQ(c->getCurPlayIndex2(), next + 1);
        EXPECT_EQ(c.endCount, 0);
        EXPECT_EQ(c.readyCount, readyBefore + 2); // front and rear, as when opened
        EXPECT_EQ(c->fileList()->getCurSel(), next);
        EXPECT_EQ(c.entryOf(front), next);
        // The rear runs into its next recording by itself, a moment before or after the front.
        EXPECT_TRUE(waitFor([&] { return c.entryOf(rear) == next + 1; }, 2000));
        EXPECT_EQ(slider->maxValue(), 3); // one recording's range
        EXPECT_LT(session->currentTime(), 2.0);
        EXPECT_EQ(session->state(), VideoPlayerView::StatePlaying);
        const QString log = logText().mid(logBefore);
        EXPECT_TRUE(log.contains(QStringLiteral("AppDelegate::movieDidEnd")));
        EXPECT_TRUE(log.contains(QStringLiteral("setCurPlaylistIndex() - index = %1").arg(next)));
        EXPECT_TRUE(log.contains(QStringLiteral("CRDVManagerDlg::OnOpenGpsFile() - Start !")));
    }
    // A seek stays inside the current recording.
    c.slider(QStringLiteral("time"), 1);
    ASSERT_TRUE(waitFor([&] { return !front->player()->isSeeking(); }));
    EXPECT_NEAR(front->player()->timePos(), 2 * kSeconds + 1, 0.2);
    EXPECT_EQ(c->getCurPlayIndex(), 4);

    // The end of the trip: the next trip opens the ordinary way.
    ASSERT_TRUE(waitFor([&] { return c->getCurPlayIndex() == 6 && c.waitOpened(); }));
    EXPECT_EQ(c.endCount, 1);
    EXPECT_EQ(session->chainRows(1), (QList<int>{6}));
    EXPECT_EQ(c.entryOf(c->videoPlayView2()), 7);

    // Gapless trips off: the old road, one recording per surface.
    session->setGaplessTrips(false);
    c.doubleClick(0);
    ASSERT_TRUE(c.waitOpened());
    EXPECT_EQ(session->chainRows(1), (QList<int>{0}));
    EXPECT_EQ(c->videoPlayView()->chainLength(), 1);
    const int endsBefore = c.endCount;
    c.slider(QStringLiteral("time"), 2);
    ASSERT_TRUE(waitFor([&] { return c->getCurPlayIndex() == 2 && c.waitOpened(); }));
    EXPECT_EQ(c.endCount, endsBefore + 1);
    EXPECT_EQ(c.entryOf(c->videoPlayView2()), 3);
}

} // namespace

// The settings menu's "Show the whole trip on the map": on by default, a
// check item that the session follows and stores.
TEST_F(TripPlaybackTest, WholeTripMenuItemIsOnByDefaultAndStored)
{
    QSettings().remove(SettingsKeys::showWholeTrip.key());
    Controller c(files(), true);
    PlaybackSession* session = c->playback();
    EXPECT_TRUE(session->showWholeTrip());
    for (bool expected : {true, false}) {
        QTest::mouseClick(c->toolbar()->oSettingBtn(), Qt::LeftButton);
        QMenu* menu = c->toolbar()->settingsMenu();
        ASSERT_NE(menu, nullptr);
        QAction* item = menu->findChild<QAction*>(QStringLiteral("showWholeTripItem"));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(), pmLoadString(QStringLiteral("IDS_SHOW_WHOLE_TRIP")));
        EXPECT_TRUE(item->isCheckable());
        EXPECT_EQ(item->isChecked(), expected);
        item->trigger();
        menu->hide();
        EXPECT_EQ(session->showWholeTrip(), !expected);
        EXPECT_EQ(pmReadSetting(SettingsKeys::showWholeTrip), !expected);
    }
    QSettings().remove(SettingsKeys::showWholeTrip.key());
}
