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
#include <QMap>
#include <QMenu>
#include <QSettings>
#include <QTextStream>
#include <filesystem>

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
    QSignalSpy frontEnded(front, &VideoPlayerView::ended);
    Slider* slider = c->playBar()->poTimeSlider();
    EXPECT_EQ(slider->maxValue(), 3);

    for (int next : {2, 4}) {
        SCOPED_TRACE(next);
        const qint64 logBefore = logText().size();
        c.slider(QStringLiteral("time"), 2);
        ASSERT_TRUE(waitFor([&] { return c->getCurPlayIndex() == next; }));
        // The same surfaces play on; nothing was opened again.
        EXPECT_EQ(c->videoPlayView(), front);
        EXPECT_EQ(c->videoPlayView2(), rear);
        EXPECT_EQ(c->getCurPlayIndex2(), next + 1);
        EXPECT_EQ(frontEnded.count(), 0);
        EXPECT_FALSE(c->isVideoLoading()); // taken as ready at once, as when opened
        EXPECT_EQ(c->fileList()->getCurSel(), next);
        EXPECT_EQ(c.entryOf(front), next);
        // The rear runs into its next recording by itself, a moment before or after the front.
        EXPECT_TRUE(waitFor([&] { return c.entryOf(rear) == next + 1; }, 2000));
        EXPECT_EQ(slider->maxValue(), 3); // one recording's range
        EXPECT_LT(session->transport().currentTime(), 2.0);
        EXPECT_EQ(session->state(), VideoPlayerView::StatePlaying);
        const QString log = logText().mid(logBefore);
        EXPECT_TRUE(log.contains(QStringLiteral("AppDelegate::movieDidEnd")));
        EXPECT_TRUE(log.contains(QStringLiteral("AppDelegate::handleLoadStateChanged - open video OK!")));
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
    EXPECT_EQ(frontEnded.count(), 1);
    EXPECT_EQ(session->chainRows(1), (QList<int>{6}));
    EXPECT_EQ(c.entryOf(c->videoPlayView2()), 7);

    // Gapless trips off: the old road, one recording per surface.
    session->setGaplessTrips(false);
    c.doubleClick(0);
    ASSERT_TRUE(c.waitOpened());
    EXPECT_EQ(session->chainRows(1), (QList<int>{0}));
    EXPECT_EQ(c->videoPlayView()->chainLength(), 1);
    QSignalSpy aloneEnded(c->videoPlayView(), &VideoPlayerView::ended);
    c.slider(QStringLiteral("time"), 2);
    ASSERT_TRUE(waitFor([&] { return c->getCurPlayIndex() == 2 && c.waitOpened(); }));
    EXPECT_EQ(aloneEnded.count(), 1);
    EXPECT_EQ(c.entryOf(c->videoPlayView2()), 3);
}

// Continuous play of a drive whose recordings hold an event pair, a parking
// recording and a front whose header states 0.01 s, then recordings whose
// names hold no time (one file date): every row is opened, in playlist order,
// each rear beside its front. A chain only joins rows next to each other, ends
// before the damaged header, and never takes a recording without a time.
TEST_F(TripPlaybackTest, ContinuousPlayOpensEveryRowInOrder)
{
    QTemporaryDir card;
    ASSERT_TRUE(card.isValid());
    constexpr double kShort = 0.5; // each starts 0.5 s after the one before ends: one drive
    QStringList rows;              // in the playlist's order
    auto add = [&](const QString& name, bool rear) {
        rows << card.filePath(name);
        return makeRecording(rows.last(), kShort, rear, false, 160, 96);
    };
    const std::vector<std::pair<const char*, bool>> drive = {
        {"FILE240517-120000", true}, {"FILE240517-120001", true},  {"EMER240517-120002", true},
        {"FILE240517-120003", true}, {"PARK240517-120004", false}, {"FILE240517-120005", true},
        {"FILE240517-120006", true}};
    for (const auto& [stamp, paired] : drive) {
        ASSERT_TRUE(add(QStringLiteral("%1_M.MP4").arg(stamp), false));
        if (paired) {
            ASSERT_TRUE(add(QStringLiteral("%1_2.MP4").arg(stamp), true));
        }
    }
    const int damaged = 9;
    ASSERT_TRUE(rows.at(damaged).endsWith(QLatin1String("120005_M.MP4")));
    ASSERT_TRUE(mediagen::patchMvhd(QFile::encodeName(rows.at(damaged)).toStdString(), 100, 1));
    for (const char* name : {"EMERGENCY.MP4", "FILE0001.MP4", "FILE0002.MP4"})
        ASSERT_TRUE(add(QString::fromLatin1(name), false));
    const auto date = std::filesystem::file_time_type::clock::now();
    for (const QString& row : rows)
        std::filesystem::last_write_time(QFile::encodeName(row).toStdString(), date);

    Controller c(rows, true);
    ASSERT_EQ(c->playlist().size(), rows.size());
    for (int i = 0; i < rows.size(); ++i)
        ASSERT_EQ(c->playlist().at(i).path(), rows.at(i));
    ASSERT_TRUE(c->isDualCameraMode());
    PlaybackSession* session = c->playback();
    QMap<int, QList<int>> chains; // the front camera's chain when each row is ready
    QObject watcher;
    QObject::connect(session, &PlaybackSession::trackLoaded, &watcher,
                     [&] { chains.insert(c->getCurPlayIndex(), session->chainRows(1)); });
    const qint64 logBefore = logText().size();
    c.doubleClick(0);
    const int last = static_cast<int>(rows.size()) - 1;
    ASSERT_TRUE(waitFor(
        [&] { return c->getCurPlayIndex() == last && c->videoPlayView() && c->videoPlayView()->isAtEnd(); },
        60000));
    QObject::disconnect(session, nullptr, &watcher, nullptr);

    // What each camera was given, in order, from the log.
    QList<int> opened;
    const QString front = QStringLiteral("AppDelegate - ready to open video : ");
    const QString rear = QStringLiteral("AppDelegate - ready to open video 2 : ");
    for (const QString& line : logText().mid(logBefore).split(QLatin1Char('\n'))) {
        for (const QString& marker : {front, rear}) {
            const int at = line.indexOf(marker);
            if (at >= 0)
                opened << static_cast<int>(rows.indexOf(line.mid(at + marker.size())));
        }
    }
    QList<int> everyRow;
    for (int i = 0; i <= last; ++i)
        everyRow << i;
    EXPECT_EQ(opened, everyRow);
    EXPECT_EQ(chains.value(0), (QList<int>{0, 2}));          // the drive's first two play as one
    EXPECT_EQ(chains.value(6), (QList<int>{6}));             // the parking row follows
    EXPECT_EQ(chains.value(damaged), (QList<int>{damaged})); // opened on its own
    EXPECT_EQ(chains.value(last - 1), (QList<int>{last - 1}));
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
