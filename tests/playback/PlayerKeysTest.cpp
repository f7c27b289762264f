// The player's keys and the G-sensor graph's click, on the real window with
// its panels and real headless surfaces over generated recordings: keys go to
// whatever has the focus, as a user's do; the controller's state and mpv's
// own properties are checked.
#include "PlaybackTestSupport.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/CalendarView.h"
#include "controls/ClipDlg.h"
#include "controls/ComboBox.h"
#include "controls/FileListBox.h"
#include "controls/FileListView.h"
#include "controls/MultiButtons.h"
#include "controls/PlayControlView.h"
#include "controls/Slider.h"
#include "controls/ToolbarView.h"
#include "export/ClipController.h"
#include "views/GSensorView.h"
#include "views/MapView.h"
#include "views/SensorGraphic.h"

#include <QApplication>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <cmath>

using namespace playtest;

namespace
{

// "keys": two recordings; "pair": front and rear of an event with its log
// (20 s of G-sensor data, the spike at second 8).
class PlayerKeysTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir();
        for (const char* name : {"keys/FILE240517-081200.MP4", "keys/FILE240517-081230.MP4",
                                 "pair/EMER240518-154012_M.MP4", "pair/EMER240518-154012_2.MP4"}) {
            QDir(s_dir->path()).mkpath(QFileInfo(path(name)).dir().dirName());
            const bool rear = QString::fromLatin1(name).contains(QLatin1String("_2"));
            ASSERT_TRUE(makeRecording(path(name), 20.0, rear, !rear));
        }
        mediagen::NmeaSpec log;
        log.start = {2024, 5, 18, 15, 40, 12};
        log.drive.seconds = 20;
        log.drive.eventSecond = 8;
        ASSERT_TRUE(mediagen::writeNmeaLog(path("pair/EMER240518-154012_M.NMEA").toStdString(), log));
    }
    static void TearDownTestSuite() { delete s_dir; }
    static QString path(const char* relative) { return s_dir->filePath(QString::fromLatin1(relative)); }
    static QStringList files(const QString& folder)
    {
        const QDir dir(s_dir->filePath(folder));
        QStringList out;
        for (const QString& name : dir.entryList({QStringLiteral("*.MP4")}, QDir::Files, QDir::Name))
            out << dir.filePath(name);
        return out;
    }
    // The window shown and active, with the first recording playing.
    static void open(Controller& c)
    {
        c->window()->show();
        c->window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(c->window()));
        c.doubleClick(0);
        ASSERT_TRUE(c.waitOpened());
    }
    static QTemporaryDir* s_dir;
};

QTemporaryDir* PlayerKeysTest::s_dir = nullptr;

// A key typed by the user: to the focus widget, or the window when none has it.
void type(Controller& c, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target ? target : c->window(), static_cast<Qt::Key>(key), modifiers);
}

bool near(double value, double expected, double tolerance = 0.06)
{
    return std::fabs(value - expected) < tolerance;
}

bool playing(Controller& c, bool wanted = true)
{
    return waitFor([&] {
        return c->playState() == (wanted ? VideoPlayerView::StatePlaying : VideoPlayerView::StatePaused);
    });
}

// Paused at this second, in the controller, on the play bar and in mpv (both
// cameras), with each seek landed: mpv reports a
// seek's target as the position at once, and a frame step given before the
// seek has landed steps from the frame shown before it.
bool pausedAt(Controller& c, double second)
{
    auto landed = [](const VideoPlayerView* view) { return mpvFlag(view, "seeking") != 1; };
    return waitFor([&] {
        const int whole = static_cast<int>(second);
        return c->playState() == VideoPlayerView::StatePaused && c->playBar()->playTime() == whole &&
               c->playBar()->poTimeSlider()->getCurrentValue() == whole &&
               near(mpvDouble(c->videoPlayView(), "time-pos"), second, 0.03) && landed(c->videoPlayView()) &&
               (!c->has2Videos() || (near(mpvDouble(c->videoPlayView2(), "time-pos"), second, 0.03) &&
                                     landed(c->videoPlayView2())));
    });
}

TEST_F(PlayerKeysTest, KeysDriveThePlayerInTheWindowAndInFullScreen)
{
    QSettings().remove(SettingsKeys::volume.key());
    Controller c(files("keys"), true);
    open(c);
    PlayControlView* bar = c->playBar();

    type(c, Qt::Key_Space);
    ASSERT_TRUE(playing(c, false));
    EXPECT_EQ(bar->poPlayBtn()->getCurButtonIndex(), 0);
    type(c, Qt::Key_Space);
    ASSERT_TRUE(playing(c));
    EXPECT_EQ(bar->poPlayBtn()->getCurButtonIndex(), 1);
    type(c, Qt::Key_Space);

    // 5 s steps, never before the start; frame steps move both cameras one frame.
    c->seekToSecond(7);
    type(c, Qt::Key_Left);
    type(c, Qt::Key_Left);
    EXPECT_TRUE(pausedAt(c, 0));
    type(c, Qt::Key_Right);
    ASSERT_TRUE(pausedAt(c, 5));
    type(c, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_TRUE(pausedAt(c, 5.1));
    type(c, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_TRUE(pausedAt(c, 5.2));
    type(c, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_TRUE(pausedAt(c, 5.1));

    // Volume steps as the slider's (stored, within 0..10; 0 is silent, not muted); M mutes.
    // Up and Down are the list's while it has the keyboard: the user clicks the picture first.
    QTest::mouseClick(c->videoPlayView(), Qt::LeftButton, {}, c->videoPlayView()->rect().center());
    ASSERT_NE(QApplication::focusWidget(), c->fileList()->fileListBox());
    type(c, Qt::Key_Up);
    EXPECT_EQ(c->volume(), 9);
    EXPECT_EQ(bar->poVolumeSlider()->getCurrentValue(), 9);
    EXPECT_EQ(pmGetIntSetting(SettingsKeys::volume.key(), -1), 9);
    for (int i = 0; i < 12; ++i)
        type(c, Qt::Key_Down);
    type(c, Qt::Key_Up);
    EXPECT_EQ(c->volume(), 1);
    EXPECT_TRUE(waitFor([&] { return near(mpvDouble(c->videoPlayView(), "volume"), 10.0, 0.5); }));
    type(c, Qt::Key_M);
    EXPECT_TRUE(c->isMuted() && bar->IsMute());
    EXPECT_TRUE(waitFor([&] { return mpvFlag(c->videoPlayView(), "mute") == 1; }));
    type(c, Qt::Key_M);
    EXPECT_FALSE(c->isMuted() || bar->IsMute());

    // Page Down and Page Up: next and previous, wrapping as the play bar's buttons do.
    type(c, Qt::Key_PageUp);
    ASSERT_TRUE(c.waitOpened());
    EXPECT_EQ(c.entryOf(c->videoPlayView()), 1);
    type(c, Qt::Key_PageDown);
    ASSERT_TRUE(c.waitOpened());
    EXPECT_EQ(c.entryOf(c->videoPlayView()), 0);

    // F: full-screen video, where the keys still work; Escape comes back, also from the full-size map.
    const QRect normal = c->window()->geometry();
    type(c, Qt::Key_F);
    EXPECT_EQ(c->screenMode(), AppDelegate::ScreenFullVideo);
    EXPECT_EQ(c->window()->geometry(), c->window()->screen()->geometry());
    EXPECT_EQ(bar->poFullScreenBtn()->getCurButtonIndex(), 1);
    type(c, Qt::Key_Space);
    EXPECT_TRUE(playing(c, false));
    type(c, Qt::Key_Escape);
    EXPECT_EQ(c->screenMode(), AppDelegate::ScreenNormal);
    EXPECT_EQ(c->window()->geometry(), normal);
    EXPECT_EQ(bar->poFullScreenBtn()->getCurButtonIndex(), 0);
    c->mapView()->OnButtonFullMap();
    type(c, Qt::Key_Escape);
    EXPECT_EQ(c->screenMode(), AppDelegate::ScreenNormal);
    EXPECT_FALSE(c->mapView()->bFullMap());

    // No event mark, or Ctrl with the key: nothing moves.
    const double before = mpvDouble(c->videoPlayView(), "time-pos");
    type(c, Qt::Key_E);
    type(c, Qt::Key_Right, Qt::ControlModifier);
    QTest::qWait(300);
    EXPECT_TRUE(near(mpvDouble(c->videoPlayView(), "time-pos"), before, 0.01));
}

TEST_F(PlayerKeysTest, KeysTypedIntoTheCalendarsComboBoxStayThere)
{
    Controller c(files("keys"), true);
    open(c);
    type(c, Qt::Key_Space);
    ASSERT_TRUE(playing(c, false));
    const int volume = c->volume();
    const double position = mpvDouble(c->videoPlayView(), "time-pos");
    ComboBox* year = c->calendar()->yearBox();
    QTest::mouseClick(year, Qt::LeftButton, {}, QPoint(5, year->height() / 2));
    ASSERT_EQ(QApplication::focusWidget(), year);

    // Up and Down choose the year before and after; Space opens the list,
    // where Down and Return choose and Escape closes; the box has the keys again.
    const int chosen = year->getCurSel();
    type(c, Qt::Key_Up);
    EXPECT_EQ(year->getCurSel(), chosen - 1);
    for (int key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_M, Qt::Key_F, Qt::Key_E, Qt::Key_PageDown})
        type(c, key);
    type(c, Qt::Key_Space);
    EXPECT_EQ(QApplication::focusWidget(), year->listBox());
    type(c, Qt::Key_Down);
    type(c, Qt::Key_Return);
    EXPECT_EQ(year->getCurSel(), chosen);
    type(c, Qt::Key_Space);
    type(c, Qt::Key_Down);
    type(c, Qt::Key_Escape);
    EXPECT_FALSE(year->isListShown());
    EXPECT_EQ(year->getCurSel(), chosen);
    EXPECT_EQ(QApplication::focusWidget(), year);
    QTest::qWait(200);
    EXPECT_EQ(c->volume(), volume);
    EXPECT_FALSE(c->isMuted());
    EXPECT_EQ(c->screenMode(), AppDelegate::ScreenNormal);
    EXPECT_EQ(c.entryOf(c->videoPlayView()), 0);
    EXPECT_EQ(c->playState(), VideoPlayerView::StatePaused);
    EXPECT_TRUE(near(mpvDouble(c->videoPlayView(), "time-pos"), position, 0.01));

    // A click on the picture gives the keyboard back to the player.
    QTest::mouseClick(c->window()->playerView(), Qt::LeftButton, {}, QPoint(20, 20));
    type(c, Qt::Key_Space);
    EXPECT_TRUE(playing(c));
}

TEST_F(PlayerKeysTest, AClickOnTheGraphSeeksToItsSecondWithOneAndTwoCameras)
{
    for (bool pair : {false, true}) {
        SCOPED_TRACE(pair ? "two cameras" : "one camera");
        QStringList list = files("pair");
        if (!pair)
            list.removeIf([](const QString& f) { return f.endsWith(QLatin1String("_2.MP4")); });
        Controller c(list, true);
        open(c);
        ASSERT_EQ(c->has2Videos(), pair);
        ASSERT_EQ(c->gpsList().GetDataCount(), 20);
        GSensorView* graph = c->gsensorView();
        const QRect area = graph->toImageRect(graph->rectGraphicBL());
        // Where second s is drawn: column s * 238 / 20.
        auto at = [&](int s) {
            return QPoint(area.left() + SensorGraphic::kWidth * s / 20, area.center().y());
        };
        type(c, Qt::Key_Space);

        // Paused, it stays paused at the clicked second; slider, cursor, labels and map follow.
        for (int second : {15, 3, 19}) {
            QTest::mouseClick(graph, Qt::LeftButton, {}, at(second));
            EXPECT_TRUE(pausedAt(c, second)) << second;
            EXPECT_EQ(graph->indicatorPos(),
                      GSensorView::kGraphLeft + c->playBar()->poTimeSlider()->getCurrentIndicatorPos());
            EXPECT_EQ(c->getCurGpsData(), c->gpsList().GetGpsData(second));
        }
        // Beside the graph (its scale, its legend) nothing moves.
        QTest::mouseClick(graph, Qt::LeftButton, {}, QPoint(area.left() - 10, area.center().y()));
        QTest::mouseClick(graph, Qt::LeftButton, {}, QPoint(area.right() + 8, area.center().y()));
        QTest::qWait(200);
        EXPECT_TRUE(pausedAt(c, 19));

        // E jumps on to the next mark, the event's; Shift+E back to it from
        // past it; a frame step moves both cameras.
        QTest::mouseClick(graph, Qt::LeftButton, {}, at(3));
        EXPECT_TRUE(pausedAt(c, 3));
        type(c, Qt::Key_E);
        EXPECT_TRUE(pausedAt(c, 8));
        QTest::mouseClick(graph, Qt::LeftButton, {}, at(12));
        EXPECT_TRUE(pausedAt(c, 12));
        type(c, Qt::Key_E, Qt::ShiftModifier);
        EXPECT_TRUE(pausedAt(c, 8));
        type(c, Qt::Key_Right, Qt::ShiftModifier);
        EXPECT_TRUE(pausedAt(c, 8.1));

        // Playing, it plays on from the clicked second.
        type(c, Qt::Key_Space);
        ASSERT_TRUE(playing(c));
        QTest::mouseClick(graph, Qt::LeftButton, {}, at(2));
        EXPECT_TRUE(waitFor([&] {
            const double t = mpvDouble(c->videoPlayView(), "time-pos");
            return t >= 2.0 && t < 5.0 && c->playState() == VideoPlayerView::StatePlaying;
        }));
    }
}

} // namespace

TEST_F(PlayerKeysTest, KeyCAndTheSettingsMenuOpenTheClipWindowAtTheMomentOnScreen)
{
    QSettings().remove(SettingsKeys::clipSecondsBefore.key());
    QSettings().remove(SettingsKeys::clipSecondsAfter.key());
    Controller c(files("pair"), true);
    open(c);
    ClipController* clip = c->clipController();
    ASSERT_NE(clip, nullptr);
    type(c, Qt::Key_C);
    ClipDlg* dlg = clip->lengthsDialog();
    ASSERT_NE(dlg, nullptr);
    // Playback pauses under the window; the stored lengths start at 30 s each.
    EXPECT_TRUE(playing(c, false));
    EXPECT_EQ(dlg->beforeBox()->value(), 30);
    EXPECT_EQ(dlg->afterBox()->value(), 30);
    dlg->reject();
    QTRY_VERIFY(clip->lengthsDialog() == nullptr);

    c->toolbar()->onSettingButtonPressed();
    QMenu* menu = c->toolbar()->settingsMenu();
    QAction* item = menu ? menu->findChild<QAction*>(QStringLiteral("saveClipItem")) : nullptr;
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), pmLoadString(QStringLiteral("IDS_SAVE_CLIP")));
    item->trigger();
    menu->close();
    ASSERT_NE(clip->lengthsDialog(), nullptr);
    clip->lengthsDialog()->reject();
    EXPECT_EQ(pmPlayerKeyFor(Qt::Key_C, Qt::NoModifier), PlayerKey::SaveClip);
    EXPECT_EQ(pmPlayerKeyFor(Qt::Key_C, Qt::ControlModifier), PlayerKey::None);
}
