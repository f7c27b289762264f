// Harsh-driving marks on the running window over generated drives whose harsh
// braking is known: the file list marks the recordings that hold one, the
// time slider and the G-sensor graph show it with its kind, E and Shift+E
// (typed keys) jump to it across the playlist, a calm drive shows none, and a
// new threshold from the settings menu is refused out of range and otherwise
// finds the marks again.
#include "WindowTestSupport.h"
#include "controls/HarshThresholdDlg.h"
#include "controls/Slider.h"
#include "controls/ToolbarView.h"
#include "playback/HarshMarks.h"
#include "playback/PlaybackSession.h"
#include "views/GSensorView.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <cmath>

using namespace windowtest;

namespace
{

class HarshMarksWindow : public OwnFolderWindow
{
protected:
    // A front camera's recording with its log: a steady drive, with a hard
    // brake at `brakeSecond` (none for -1).
    QString writeDrive(const mediagen::StartTime& start, int brakeSecond)
    {
        const QString stem = dir.filePath("FILE" + QString::fromStdString(start.nameStamp()) + "_M");
        mediagen::RecordingSpec recording;
        recording.seconds = kSeconds;
        recording.width = 320;
        recording.height = 192;
        std::string error;
        EXPECT_TRUE(mediagen::writeRecording((stem + ".MP4").toStdString(), recording, &error)) << error;
        mediagen::NmeaSpec log;
        log.start = start;
        log.drive.seconds = kSeconds + 1;
        log.drive.profile = mediagen::SpeedProfile::Constant;
        log.drive.constantKmh = 60;
        log.drive.calm = true;
        if (brakeSecond >= 0)
            log.drive.harsh.push_back({brakeSecond, mediagen::HarshKindSpec::Brake, 0.8, 1});
        EXPECT_TRUE(mediagen::writeNmeaLog((stem + ".NMEA").toStdString(), log, &error)) << error;
        for (const char* ext : {".MP4", ".NMEA"})
            mediagen::setFileTime((stem + ext).toStdString(), start.toLocalEpoch());
        return stem + ".MP4";
    }

    static int rowOf(AppDelegate& d, const QString& path)
    {
        const QList<AMediaFile>& list = d.playlist();
        for (int i = 0; i < list.size(); ++i)
            if (list.at(i).path() == path)
                return i;
        return -1;
    }

    // The recording at `row` plays within a second of `second`.
    static bool landed(AppDelegate& d, int row, int second)
    {
        return QTest::qWaitFor(
            [&] {
                VideoPlayerView* v = d.videoPlayView();
                return d.getCurPlayIndex() == row && ready(v) &&
                       std::fabs(v->getCurrentTime() - second) < 1.0;
            },
            15000);
    }

    static constexpr int kSeconds = 12;
};

TEST_F(HarshMarksWindow, MarksAreShownJumpedToAcrossThePlaylistAndFollowTheThreshold)
{
    const QString early = writeDrive(startAt(10, 0), 4);
    const QString calm = writeDrive(startAt(10, 1), -1);
    const QString late = writeDrive(startAt(10, 2), 6);
    AppDelegate d;
    launch(d);
    MainWindow* w = d.window();
    w->activateWindow();
    const int rowEarly = rowOf(d, early), rowCalm = rowOf(d, calm), rowLate = rowOf(d, late);
    ASSERT_TRUE(rowEarly >= 0 && rowCalm >= 0 && rowLate >= 0);
    ASSERT_LT(rowEarly, rowCalm);
    ASSERT_LT(rowCalm, rowLate);

    // The file list marks the two drives that brake, once they have been read.
    FileListBox* list = d.fileList()->fileListBox();
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.harshMarks()->isComplete(); }, 15000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isMarked(rowEarly) && list->isMarked(rowLate); }, 5000));
    EXPECT_FALSE(list->isMarked(rowCalm));

    // The calm drive: nothing on the slider or the graph.
    Slider* slider = d.playBar()->poTimeSlider();
    GSensorView* graph = d.gsensorView();
    clickRow(d, rowCalm, true);
    ASSERT_TRUE(landed(d, rowCalm, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return graph->hasGraphic(); }, 5000));
    EXPECT_TRUE(slider->timeMarks().isEmpty());
    EXPECT_TRUE(graph->timeMarks().isEmpty());

    // E: on to the next recording that holds a mark, at the mark.
    auto key = [&](Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(w->windowHandle(), Qt::Key_E, modifiers);
        QTest::qWait(30);
    };
    key(Qt::NoModifier);
    ASSERT_TRUE(landed(d, rowLate, 6));
    ASSERT_EQ(slider->timeMarks().size(), 1);
    EXPECT_LE(std::abs(slider->timeMarks().first().second - 6), 1);
    EXPECT_TRUE(slider->timeMarks().first().text.startsWith(pmLoadString(QStringLiteral("IDS_HARSH_BRAKE"))))
        << slider->timeMarks().first().text.toStdString();
    EXPECT_TRUE(slider->timeMarks().first().text.contains(QLatin1String("0.")));
    ASSERT_EQ(graph->timeMarks().size(), 1);
    EXPECT_EQ(graph->timeMarks().first().second, slider->timeMarks().first().second);
    saveShot(d.playBar()->grab().toImage(), QStringLiteral("harsh-mark-slider"));

    // Shift+E from the mark: back past the calm drive to the earlier brake.
    QTest::keyClick(w->windowHandle(), Qt::Key_Space); // paused, so the position stays by the mark
    QTest::qWait(200);
    key(Qt::ShiftModifier);
    ASSERT_TRUE(landed(d, rowEarly, 4));
    ASSERT_EQ(slider->timeMarks().size(), 1);
    EXPECT_LE(std::abs(slider->timeMarks().first().second - 4), 1);

    // The threshold from the settings menu: out of range is refused with the
    // reason and changes nothing; 1.5 g is taken, and the 0.8 g brakes are
    // marks no more.
    d.toolbar()->onSettingButtonPressed();
    QMenu* menu = d.toolbar()->settingsMenu();
    ASSERT_TRUE(menu);
    QAction* item = menu->findChild<QAction*>(QStringLiteral("harshThresholdItem"));
    ASSERT_TRUE(item);
    menu->close();
    item->trigger();
    HarshThresholdDlg* dialog = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (dialog = w->findChild<HarshThresholdDlg*>()) != nullptr && dialog->isVisible(); },
        3000));
    EXPECT_EQ(dialog->valueEdit()->text(), QStringLiteral("0.45"));
    QPushButton* ok = dialog->findChild<QPushButton*>(QStringLiteral("harshThresholdOk"));
    dialog->valueEdit()->setText(QStringLiteral("5"));
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->reasonLabel()->isVisible());
    EXPECT_TRUE(dialog->reasonLabel()->text().contains(QLatin1String("2.0")))
        << dialog->reasonLabel()->text().toStdString();
    EXPECT_DOUBLE_EQ(d.harshMarks()->threshold(), harsh::kDefaultThresholdG);
    dialog->valueEdit()->setText(QStringLiteral("1.5"));
    QTest::mouseClick(ok, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->findChild<HarshThresholdDlg*>(); }, 3000));
    EXPECT_DOUBLE_EQ(d.harshMarks()->threshold(), 1.5);
    EXPECT_EQ(pmReadSetting(SettingsKeys::harshThreshold), 150);
    EXPECT_TRUE(slider->timeMarks().isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.harshMarks()->isComplete(); }, 15000));
    EXPECT_FALSE(list->isMarked(rowEarly) || list->isMarked(rowLate));
}

} // namespace
