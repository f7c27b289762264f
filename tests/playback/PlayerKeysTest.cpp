// The player's keys and the G-sensor graph's click, on the real window with
// its panels and real headless surfaces over generated recordings: keys go to
// whatever has the focus and reach the controller only when nothing there
// keeps them; the controller's state and mpv's own properties are checked.
#include "PlaybackTestSupport.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/CalendarView.h"
#include "controls/ComboBox.h"
#include "controls/MultiButtons.h"
#include "controls/PlayControlView.h"
#include "controls/Slider.h"
#include "controls/ToolbarView.h"
#include "views/GSensorView.h"
#include "views/MapView.h"
#include "views/SensorGraphic.h"

#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <cmath>

using namespace playtest;

namespace
{

class PlayerKeysTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir();
        ASSERT_TRUE(s_dir->isValid());
        QDir(s_dir->path()).mkpath(QStringLiteral("single"));
        QDir(s_dir->path()).mkpath(QStringLiteral("event"));
        QDir(s_dir->path()).mkpath(QStringLiteral("pair"));
        for (const char* name : {"FILE240517-081200", "FILE240517-081230", "FILE240517-081300"})
            ASSERT_TRUE(makeRecording(path(QStringLiteral("single/%1.MP4").arg(name)), 20.0, false, true));
        // An event recording with its log: G-sensor data for 20 s and a spike at second 8.
        mediagen::NmeaSpec log;
        log.start = {2024, 5, 18, 15, 40, 12};
        log.drive.seconds = 20;
        log.drive.eventSecond = 8;
        for (const QString& folder : {QStringLiteral("event"), QStringLiteral("pair")}) {
            ASSERT_TRUE(
                makeRecording(path(folder + QStringLiteral("/EMER240518-154012_M.MP4")), 20.0, false, true));
            ASSERT_TRUE(mediagen::writeNmeaLog(
                path(folder + QStringLiteral("/EMER240518-154012_M.NMEA")).toStdString(), log));
        }
        ASSERT_TRUE(makeRecording(path(QStringLiteral("pair/EMER240518-154012_2.MP4")), 20.0, true));
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override { QSettings().remove(SettingsKey::volume()); }
    static QString path(const QString& relative) { return s_dir->filePath(relative); }
    static QStringList files(const QString& folder)
    {
        QStringList out;
        const QDir dir(path(folder));
        for (const QString& name : dir.entryList({QStringLiteral("*.MP4")}, QDir::Files, QDir::Name))
            out << dir.filePath(name);
        return out;
    }
    static QTemporaryDir* s_dir;
};

QTemporaryDir* PlayerKeysTest::s_dir = nullptr;

// The window shown and active, as a user has it.
void showWindow(Controller& c)
{
    c->window()->show();
    c->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(c->window()));
}

// A key typed by the user: it goes to the focus widget (the window when none has it).
void type(Controller& c, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target ? target : c->window(), static_cast<Qt::Key>(key), modifiers);
}

bool near(double value, double expected, double tolerance = 0.06)
{
    return std::fabs(value - expected) < tolerance;
}

// Paused at this whole second: the controller, the play bar and mpv agree.
bool pausedAt(Controller& c, int second)
{
    return waitFor([&] {
        return c->playState() == AppDelegate::PlayStatePaused &&
               c->videoPlayView()->getCurrentTime() == second && c->playBar()->playTime() == second &&
               c->playBar()->poTimeSlider()->getCurrentValue() == second &&
               near(mpvDouble(c->videoPlayView(), "time-pos"), second);
    });
}

TEST_F(PlayerKeysTest, KeysPlaySeekStepSwitchAndSetTheSoundInTheWindowAndInFullScreen)
{
    Controller c(files(QStringLiteral("single")), true);
    ASSERT_EQ(c->playlist().size(), 3);
    showWindow(c);
    c.doubleClick(0);
    ASSERT_TRUE(c.waitOpened());
    PlayControlView* bar = c->playBar();
    ASSERT_TRUE(waitFor([&] { return c->playState() == AppDelegate::PlayStatePlaying; }));

    // Space pauses and plays, and the play button follows.
    type(c, Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return c->playState() == AppDelegate::PlayStatePaused; }));
    EXPECT_EQ(bar->poPlayBtn()->getCurButtonIndex(), 0);
    type(c, Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return c->playState() == AppDelegate::PlayStatePlaying; }));
    EXPECT_EQ(bar->poPlayBtn()->getCurButtonIndex(), 1);
    type(c, Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return c->playState() == AppDelegate::PlayStatePaused; }));

    // Left and Right move 5 s, never before the start; paused stays paused.
    c->seekToSecond(2);
    ASSERT_TRUE(pausedAt(c, 2));
    type(c, Qt::Key_Right);
    EXPECT_TRUE(pausedAt(c, 7));
    type(c, Qt::Key_Right);
    EXPECT_TRUE(pausedAt(c, 12));
    type(c, Qt::Key_Left);
    EXPECT_TRUE(pausedAt(c, 7));
    type(c, Qt::Key_Left);
    type(c, Qt::Key_Left);
    EXPECT_TRUE(pausedAt(c, 0));
    type(c, Qt::Key_Right);
    ASSERT_TRUE(pausedAt(c, 5));

    // Shift+arrows step one frame (a tenth of a second here) and stay paused.
    type(c, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_TRUE(waitFor([&] { return near(mpvDouble(c->videoPlayView(), "time-pos"), 5.1, 0.03); }));
    type(c, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_TRUE(waitFor([&] { return near(mpvDouble(c->videoPlayView(), "time-pos"), 5.2, 0.03); }));
    type(c, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_TRUE(waitFor([&] { return near(mpvDouble(c->videoPlayView(), "time-pos"), 5.1, 0.03); }));
    EXPECT_TRUE(waitFor([&] { return c->playState() == AppDelegate::PlayStatePaused; }));
    EXPECT_EQ(mpvFlag(c->videoPlayView(), "pause"), 1);

    // Up and Down step the volume as the slider does, within 0..10; M mutes.
    QSettings().remove(SettingsKey::volume());
    const int start = c->volume();
    type(c, Qt::Key_Up);
    EXPECT_EQ(c->volume(), std::min(10, start + 1));
    EXPECT_EQ(bar->GetVolume(), c->volume());
    EXPECT_EQ(bar->poVolumeSlider()->getCurrentValue(), c->volume());
    EXPECT_EQ(pmGetIntSetting(SettingsKey::volume(), -1), c->volume());
    for (int i = 0; i < 12; ++i)
        type(c, Qt::Key_Down);
    EXPECT_EQ(c->volume(), 0);
    EXPECT_FALSE(c->isMuted()); // silent, not muted
    type(c, Qt::Key_Up);
    type(c, Qt::Key_Up);
    EXPECT_EQ(c->volume(), 2);
    EXPECT_TRUE(waitFor([&] { return near(mpvDouble(c->videoPlayView(), "volume"), 20.0, 0.5); }));
    type(c, Qt::Key_M);
    EXPECT_TRUE(c->isMuted());
    EXPECT_TRUE(bar->IsMute());
    EXPECT_EQ(bar->poVolumeBtn()->getCurButtonIndex(), 1);
    EXPECT_TRUE(waitFor([&] { return mpvFlag(c->videoPlayView(), "mute") == 1; }));
    type(c, Qt::Key_M);
    EXPECT_FALSE(c->isMuted());
    EXPECT_EQ(bar->poVolumeBtn()->getCurButtonIndex(), 0);
    EXPECT_EQ(c->volume(), 2);

    // Page Down and Page Up: next and previous with the play bar's wrap.
    type(c, Qt::Key_PageDown);
    ASSERT_TRUE(c.waitOpened());
    EXPECT_EQ(c->getCurPlayIndex(), 1);
    EXPECT_EQ(c.entryOf(c->videoPlayView()), 1);
    type(c, Qt::Key_PageUp);
    ASSERT_TRUE(c.waitOpened());
    EXPECT_EQ(c->getCurPlayIndex(), 0);
    type(c, Qt::Key_PageUp);
    ASSERT_TRUE(c.waitOpened());
    EXPECT_EQ(c->getCurPlayIndex(), 2);
    EXPECT_TRUE(waitFor([&] { return c->playState() == AppDelegate::PlayStatePlaying; }));

    // F: full-screen video; the keys still work there; Escape comes back.
    const QRect normal = c->window()->geometry();
    type(c, Qt::Key_F);
    EXPECT_EQ(c->screenMode(), AppDelegate::ScreenFullVideo);
    EXPECT_EQ(c->window()->geometry(), c->window()->screen()->geometry());
    EXPECT_TRUE(c->toolbar()->isHidden());
    EXPECT_EQ(bar->poFullScreenBtn()->getCurButtonIndex(), 1);
    type(c, Qt::Key_Space);
    EXPECT_TRUE(waitFor([&] { return c->playState() == AppDelegate::PlayStatePaused; }));
    type(c, Qt::Key_Right);
    EXPECT_TRUE(pausedAt(c, 5));
    type(c, Qt::Key_Escape);
    EXPECT_EQ(c->screenMode(), AppDelegate::ScreenNormal);
    EXPECT_EQ(c->window()->geometry(), normal);
    EXPECT_FALSE(c->toolbar()->isHidden());
    EXPECT_EQ(bar->poFullScreenBtn()->getCurButtonIndex(), 0);
    type(c, Qt::Key_F);
    type(c, Qt::Key_F);
    EXPECT_EQ(c->screenMode(), AppDelegate::ScreenNormal);
    // Escape also leaves the full-size map, and its button comes back with it.
    c->mapView()->OnButtonFullMap();
    ASSERT_EQ(c->screenMode(), AppDelegate::ScreenFullMap);
    type(c, Qt::Key_Escape);
    EXPECT_EQ(c->screenMode(), AppDelegate::ScreenNormal);
    EXPECT_FALSE(c->mapView()->bFullMap());
    EXPECT_EQ(c->mapView()->fullMapButton()->getCurButtonIndex(), 0);
    EXPECT_EQ(c->window()->geometry(), normal);

    // E without an event mark, Ctrl with a key, Escape in the window: nothing happens.
    type(c, Qt::Key_E);
    type(c, Qt::Key_Right, Qt::ControlModifier);
    type(c, Qt::Key_Escape);
    EXPECT_TRUE(pausedAt(c, 5));
    EXPECT_EQ(c->screenMode(), AppDelegate::ScreenNormal);
    EXPECT_EQ(c->getCurPlayIndex(), 2);
}

TEST_F(PlayerKeysTest, KeysTypedIntoTheCalendarsComboBoxStayThere)
{
    Controller c(files(QStringLiteral("single")), true);
    showWindow(c);
    c.doubleClick(0);
    ASSERT_TRUE(c.waitOpened());
    type(c, Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return c->playState() == AppDelegate::PlayStatePaused; }));
    const int volume = c->volume();

    // The calendar's year box, clicked as a user does.
    CalendarView* calendar = c->calendar();
    ComboBox* year = calendar->yearBox();
    ASSERT_NE(year, nullptr);
    calendar->show();
    year->show();
    ASSERT_TRUE(waitFor([&] { return year->isVisible(); }, 3000));
    QTest::mouseClick(year, Qt::LeftButton, {}, QPoint(5, year->height() / 2));
    ASSERT_EQ(QApplication::focusWidget(), year);

    // Up chooses the year before, and the player hears nothing of it.
    const int chosen = year->getCurSel();
    type(c, Qt::Key_Up);
    EXPECT_EQ(year->getCurSel(), chosen - 1);
    type(c, Qt::Key_Down);
    EXPECT_EQ(year->getCurSel(), chosen);
    for (int key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_M, Qt::Key_F, Qt::Key_E, Qt::Key_PageDown})
        type(c, key);
    // Space opens the list, which takes the keys while it is open: Down
    // moves its highlight, Return chooses, Escape closes it unchanged, and
    // the keyboard goes back to the box.
    type(c, Qt::Key_Up);
    ASSERT_EQ(year->getCurSel(), chosen - 1);
    type(c, Qt::Key_Space);
    ASSERT_TRUE(year->isListShown());
    EXPECT_EQ(QApplication::focusWidget(), year->listBox());
    type(c, Qt::Key_Down);
    EXPECT_EQ(year->getCurSel(), chosen - 1);
    type(c, Qt::Key_Return);
    EXPECT_FALSE(year->isListShown());
    EXPECT_EQ(year->getCurSel(), chosen);
    EXPECT_EQ(QApplication::focusWidget(), year);
    type(c, Qt::Key_Space);
    ASSERT_TRUE(year->isListShown());
    type(c, Qt::Key_Up);
    type(c, Qt::Key_Escape);
    EXPECT_FALSE(year->isListShown());
    EXPECT_EQ(year->getCurSel(), chosen);
    EXPECT_EQ(QApplication::focusWidget(), year);
    QTest::qWait(200);
    EXPECT_EQ(c->volume(), volume);
    EXPECT_FALSE(c->isMuted());
    EXPECT_EQ(c->screenMode(), AppDelegate::ScreenNormal);
    EXPECT_EQ(c->getCurPlayIndex(), 0);
    EXPECT_EQ(c->playState(), AppDelegate::PlayStatePaused);
    EXPECT_EQ(c->videoPlayView()->getCurrentTime(), 0);

    // A click on the picture takes the keyboard back for the player.
    QTest::mouseClick(c->window()->playerView(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_FALSE(MainWindow::keepsKeys(QApplication::focusWidget()));
    type(c, Qt::Key_Space);
    EXPECT_TRUE(waitFor([&] { return c->playState() == AppDelegate::PlayStatePlaying; }));
}

// The column of the graph where a second's sample is drawn, in the panel.
QPoint graphPoint(const GSensorView* view, int second, int samples)
{
    const QRect graph = view->toImageRect(view->rectGraphicBL());
    const int column = static_cast<int>(static_cast<float>(SensorGraphic::kWidth) / samples * second);
    return QPoint(graph.left() + column, graph.center().y());
}

TEST_F(PlayerKeysTest, AClickOnTheGraphSeeksToItsSecondWithOneAndTwoCameras)
{
    for (const QString& folder : {QStringLiteral("event"), QStringLiteral("pair")}) {
        SCOPED_TRACE(folder.toStdString());
        Controller c(files(folder), true);
        showWindow(c);
        const bool pair = folder == QLatin1String("pair");
        ASSERT_EQ(c->isDualCameraMode(), pair);
        c.doubleClick(0);
        ASSERT_TRUE(c.waitOpened());
        ASSERT_EQ(c->has2Videos(), pair);
        ASSERT_TRUE(c->gpsList().IsGSensorReady());
        const int samples = c->gpsList().GetDataCount();
        ASSERT_EQ(samples, 20);
        ASSERT_EQ(c->m_nEventTime, 8);
        GSensorView* graph = c->gsensorView();
        ASSERT_TRUE(graph->hasGraphic());
        auto bothAt = [&](int second) {
            return waitFor([&] {
                return near(mpvDouble(c->videoPlayView(), "time-pos"), second) &&
                       (!pair || near(mpvDouble(c->videoPlayView2(), "time-pos"), second));
            });
        };

        type(c, Qt::Key_Space);
        ASSERT_TRUE(waitFor([&] { return c->playState() == AppDelegate::PlayStatePaused; }));
        // Paused: playback moves to the clicked second and stays paused; the
        // slider, the cursor, the labels and the map's sample follow.
        for (int second : {15, 3, 19, 0}) {
            QTest::mouseClick(graph, Qt::LeftButton, {}, graphPoint(graph, second, samples));
            EXPECT_TRUE(pausedAt(c, second)) << second;
            EXPECT_TRUE(bothAt(second)) << second;
            EXPECT_EQ(graph->indicatorPos(),
                      GSensorView::kGraphLeft + c->playBar()->poTimeSlider()->getCurrentIndicatorPos());
            EXPECT_EQ(c->getCurGpsData(), c->gpsList().GetGpsData(second));
        }
        // The cursor's own column is where the sample is drawn.
        QTest::mouseClick(graph, Qt::LeftButton, {}, graphPoint(graph, 10, samples) + QPoint(1, 0));
        EXPECT_TRUE(pausedAt(c, 10));

        // Outside the graph (the legend, the scale) nothing moves.
        const QRect area = graph->toImageRect(graph->rectGraphicBL());
        QTest::mouseClick(graph, Qt::LeftButton, {}, QPoint(area.left() - 10, area.center().y()));
        QTest::mouseClick(graph, Qt::LeftButton, {}, QPoint(area.right() + 8, area.center().y()));
        QTest::mouseClick(graph, Qt::LeftButton, {}, QPoint(area.center().x(), area.bottom() + 30));
        QTest::qWait(200);
        EXPECT_TRUE(pausedAt(c, 10));

        // E jumps to the event mark, on both cameras.
        type(c, Qt::Key_E);
        EXPECT_TRUE(pausedAt(c, 8));
        EXPECT_TRUE(bothAt(8));
        if (pair) {
            // One frame on both cameras together.
            type(c, Qt::Key_Right, Qt::ShiftModifier);
            EXPECT_TRUE(waitFor([&] {
                return near(mpvDouble(c->videoPlayView(), "time-pos"), 8.1, 0.03) &&
                       near(mpvDouble(c->videoPlayView2(), "time-pos"), 8.1, 0.03);
            }));
        }

        // Playing: the click moves playback and it plays on from there.
        type(c, Qt::Key_Space);
        ASSERT_TRUE(waitFor([&] { return c->playState() == AppDelegate::PlayStatePlaying; }));
        QTest::mouseClick(graph, Qt::LeftButton, {}, graphPoint(graph, 2, samples));
        EXPECT_TRUE(waitFor([&] {
            const double t = mpvDouble(c->videoPlayView(), "time-pos");
            return t >= 2.0 && t < 5.0 && c->playState() == AppDelegate::PlayStatePlaying;
        }));
        if (pair) {
            EXPECT_TRUE(waitFor([&] { return mpvDouble(c->videoPlayView2(), "time-pos") < 6.0; }));
        }
    }
}

} // namespace
