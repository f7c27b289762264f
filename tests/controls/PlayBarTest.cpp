// The play bar: its layout figures, its time labels, and its real buttons and
// sliders clicked and dragged, checking the commands and slider notices.
#include "ControlTestSupport.h"
#include "base/QtFrame.h"
#include "base/Services.h"
#include "base/Skin.h"
#include "controls/BitmapButton.h"
#include "controls/MultiButtons.h"
#include "controls/PanelLayout.h"
#include "controls/PlayControlView.h"
#include "controls/Slider.h"

#include <QTest>
#include <gtest/gtest.h>

TEST(PlayBarLayout, FramesForAWidthAndMirroredForRightToLeft)
{
    const PlayBarLayout l = playBarLayout(false, 800.7, 44);
    EXPECT_EQ(l.timeSlider, (PmFrame{496, 0, 260, 44}));
    EXPECT_EQ(l.playTime, (PmFrame{452, 0, 44, 44}));
    EXPECT_EQ(l.remainTime, (PmFrame{757, 0, 44, 44}));
    EXPECT_EQ(l.prev, (PmFrame{3, 0, 32, 44}));
    EXPECT_EQ(l.next, (PmFrame{35, 0, 32, 44}));
    EXPECT_EQ(l.play, (PmFrame{67, 0, 52, 44}));
    EXPECT_EQ(l.speed, (PmFrame{119, 0, 39, 44}));
    EXPECT_EQ(l.volume, (PmFrame{190, 0, 32, 44}));
    EXPECT_EQ(l.volumeSlider, (PmFrame{220, 0, 70, 44}));
    EXPECT_EQ(l.fullScreen, (PmFrame{292, 0, 50, 44}));

    const PlayBarLayout r = playBarLayout(true, 800, 44);
    EXPECT_EQ(r.timeSlider.x, 44);
    EXPECT_EQ(r.playTime.x, 0);
    EXPECT_EQ(r.remainTime.x, 305);
    EXPECT_EQ(r.prev.x, 765);
    EXPECT_EQ(r.next.x, 733);
    EXPECT_EQ(r.fullScreen.x, 800 - 50 - 292);
    EXPECT_EQ(r.volumeSlider.x, 800 - 70 - 220);

    // The labels sit at the top of a taller bar: y = view height - 44.
    EXPECT_EQ(playBarLayout(false, 989, 50).playTime.y, 6);
    // Converted once for Qt: qtY = parentHeight - y - height.
    EXPECT_EQ(pmQtRect(PmFrame{452, 6, 44, 44}, 50), QRect(452, 0, 44, 44));
    EXPECT_EQ(pmQtRect(PmFrameF{10, 0.4, 20, 30}, 100.0), QRect(10, 70, 20, 30));
}

TEST(PlayBarLayout, TimeTextShowsHoursFromAnHourOnAndZeroForNoTime)
{
    EXPECT_EQ(playBarTimeText(0), "00:00");
    EXPECT_EQ(playBarTimeText(-5), "00:00");
    EXPECT_EQ(playBarTimeText(59), "00:59");
    EXPECT_EQ(playBarTimeText(3599), "59:59");
    // A 75-minute parking recording no longer reads 15:00.
    EXPECT_EQ(playBarTimeText(3600), "1:00:00");
    EXPECT_EQ(playBarTimeText(3725), "1:02:05");
    EXPECT_EQ(playBarTimeText(4500), "1:15:00");
    EXPECT_EQ(playBarTimeText(32767), "9:06:07");
    EXPECT_EQ(playBarTimeText(36000), "10:00:00");
    EXPECT_EQ(playBarTimeText(359999), "99:59:59");
}

namespace
{

class PlayBar : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Skin::saveId(3);
        bar = std::make_unique<PlayControlView>();
        bar->resize(800, 44);
        bar->relayoutContents(false, 800);
        bar->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(bar.get()));
    }
    QPoint centreOf(QWidget* w) const { return w->rect().center(); }
    using Cmd = PlayControlView::Command;
    std::vector<Cmd> commands() const
    {
        std::vector<Cmd> codes;
        for (const Notification& n : recorder.received)
            if (n.name == Notifications::PlayBarButtonClicked)
                codes.push_back(static_cast<Cmd>(n.object.toInt()));
        return codes;
    }

    NotificationRecorder recorder{{Notifications::PlayBarButtonClicked, Notifications::DoSliderChanged}};
    std::unique_ptr<PlayControlView> bar;
};

} // namespace

TEST_F(PlayBar, ControlsArePlacedFromTheBottomLeftFrames)
{
    EXPECT_EQ(bar->poTimeSlider()->geometry(), QRect(496, 0, 260, 44));
    EXPECT_EQ(bar->poPrevBtn()->geometry(), QRect(3, 0, 32, 44));
    EXPECT_EQ(bar->poFullScreenBtn()->geometry(), QRect(292, 0, 50, 44));
    EXPECT_TRUE(bar->poPlayRevBtn()->isHidden());
    EXPECT_EQ(bar->poDirectionBtn(), nullptr);
    EXPECT_EQ(bar->poVolumeSlider()->getCurrentValue(), bar->GetVolume());
    EXPECT_EQ(bar->poVolumeSlider()->maxValue(), 10);
    EXPECT_EQ(bar->poTimeSlider()->maxValue(), 1000);

    // Right to left: mirrored controls and mirrored previous/next images.
    bar->poPrevBtn()->updateImage(); // the normal image, whatever the pointer did
    const QImage prevImage = bar->poPrevBtn()->grab().toImage();
    bar->relayoutContents(true, 800);
    EXPECT_EQ(bar->poTimeSlider()->geometry().x(), 44);
    EXPECT_EQ(bar->poPrevBtn()->geometry().x(), 765);
    EXPECT_TRUE(bar->poPrevBtn()->isButtonFlipped());
    EXPECT_EQ(bar->poPrevBtn()->grab().toImage(), prevImage.mirrored(true, false));
    bar->relayoutContents(false, 800);
    EXPECT_FALSE(bar->poNextBtn()->isButtonFlipped());
}

TEST_F(PlayBar, ButtonsPostTheirCommands)
{
    QTest::mouseClick(bar->poPrevBtn(), Qt::LeftButton, {}, centreOf(bar->poPrevBtn()));
    QTest::mouseClick(bar->poNextBtn(), Qt::LeftButton, {}, centreOf(bar->poNextBtn()));
    // Play shows play (0): CmdPlay, then it shows pause; clicked again: CmdPause, back to play.
    QTest::mouseClick(bar->poPlayBtn(), Qt::LeftButton, {}, centreOf(bar->poPlayBtn()));
    EXPECT_EQ(bar->poPlayBtn()->getCurButtonIndex(), 1);
    QTest::mouseClick(bar->poPlayBtn(), Qt::LeftButton, {}, centreOf(bar->poPlayBtn()));
    EXPECT_EQ(bar->poPlayBtn()->getCurButtonIndex(), 0);
    // Mute posts CmdMute whether it turns the sound off or on.
    QTest::mouseClick(bar->poVolumeBtn(), Qt::LeftButton, {}, centreOf(bar->poVolumeBtn()));
    EXPECT_TRUE(bar->IsMute());
    QTest::mouseClick(bar->poVolumeBtn(), Qt::LeftButton, {}, centreOf(bar->poVolumeBtn()));
    EXPECT_FALSE(bar->IsMute());
    QTest::mouseClick(bar->poFullScreenBtn(), Qt::LeftButton, {}, centreOf(bar->poFullScreenBtn()));
    EXPECT_EQ(bar->poFullScreenBtn()->getCurButtonIndex(), 1);
    EXPECT_EQ(commands(),
              (std::vector<Cmd>{PlayControlView::CmdPrevious, PlayControlView::CmdNext,
                                PlayControlView::CmdPlay, PlayControlView::CmdPause, PlayControlView::CmdMute,
                                PlayControlView::CmdMute, PlayControlView::CmdFullScreen}));

    // Speed: 1.0 -> 1.5 -> 2.0 -> 0.25 -> 0.5 -> 1.0, CmdSpeed each time.
    recorder.clear();
    for (int expected : {1, 2, 3, 4, 0}) {
        QTest::mouseClick(bar->poSpeedBtn(), Qt::LeftButton, {}, centreOf(bar->poSpeedBtn()));
        EXPECT_EQ(bar->poSpeedBtn()->getCurButtonIndex(), expected);
    }
    EXPECT_EQ(commands(), (std::vector<Cmd>(5, PlayControlView::CmdSpeed)));

    // A disabled button posts nothing.
    recorder.clear();
    bar->poNextBtn()->setEnabled(false);
    QTest::mouseClick(bar->poNextBtn(), Qt::LeftButton, {}, centreOf(bar->poNextBtn()));
    EXPECT_TRUE(commands().empty());

    // The direction pad's commands (the pad lives in its own view).
    bar->onDpadUpButtonPressed();
    bar->onDpadResetButtonPressed();
    EXPECT_EQ(commands(), (std::vector<Cmd>{PlayControlView::CmdDpadUp, PlayControlView::CmdDpadReset}));
}

TEST_F(PlayBar, SlidersRelayTheirMovesWithTheirType)
{
    Slider* time = bar->poTimeSlider();
    const int thumbY = time->height() - 5;
    // A click on the time track: "time" with the new value.
    QTest::mousePress(time, Qt::LeftButton, {}, QPoint(11 + 119, thumbY));
    const Notification* n = recorder.last(Notifications::DoSliderChanged);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->userInfo.value("SLIDER_TYPE").toString(), "time");
    EXPECT_EQ(n->object.toInt(), 500); // 1000 * 119 / 238
    QTest::mouseMove(time, QPoint(11 + 119 + 238, thumbY));
    EXPECT_EQ(recorder.last(Notifications::DoSliderChanged)->object.toInt(), 1000);
    QTest::mouseRelease(time, Qt::LeftButton, {}, QPoint(11 + 119 + 238, thumbY));

    // The volume slider: "volume", and the bar keeps the step.
    Slider* volume = bar->poVolumeSlider();
    QTest::mouseClick(volume, Qt::LeftButton, {}, QPoint(11, thumbY));
    EXPECT_EQ(recorder.last(Notifications::DoSliderChanged)->userInfo.value("SLIDER_TYPE").toString(),
              "volume");
    EXPECT_EQ(recorder.last(Notifications::DoSliderChanged)->object.toInt(), 0);
    EXPECT_EQ(bar->GetVolume(), 0);

    // Another owner's slider is not relayed.
    recorder.clear();
    Slider stranger(QRect(0, 0, 100, 44));
    stranger.setRealParent(pmIdentityString(bar.get()));
    stranger.loadBitmaps("volume_full.png", "volume_bg.png", "volume_button.png");
    stranger.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&stranger));
    QTest::mouseClick(&stranger, Qt::LeftButton, {}, QPoint(90, thumbY));
    EXPECT_EQ(recorder.count(Notifications::DoSliderChanged), 0);
}

TEST_F(PlayBar, TimeLabelsRedrawOnlyWhenTheirValueChanges)
{
    bar->SetPlayTime(3725, 0, true);
    EXPECT_EQ(bar->playTime(), 3725);
    EXPECT_EQ(bar->remainTime(), 0);
    const QImage shown = bar->grab().toImage();
    const QRect position = pmQtRect(bar->frames().playTime, bar->height());
    // The total label reaches one point past an 800-point bar; look at its visible part.
    const QRect total = pmQtRect(bar->frames().remainTime, bar->height()).intersected(bar->rect());
    bar->SetPlayTime(3725, 61, true);
    const QImage after = bar->grab().toImage();
    EXPECT_EQ(shown.copy(position), after.copy(position));
    EXPECT_NE(shown.copy(total), after.copy(total));
    // Some white text is drawn in the label.
    bool white = false;
    for (int y = 0; y < total.height() && !white; ++y)
        for (int x = 0; x < total.width() && !white; ++x)
            white = after.pixelColor(total.x() + x, total.y() + y).lightness() > 240;
    EXPECT_TRUE(white);
}

// An hour-long time is drawn whole, narrower than its label, not cut at its edges.
TEST_F(PlayBar, LongTimesFitTheirLabel)
{
    const QRect label = pmQtRect(bar->frames().playTime, bar->height());
    for (int seconds : {3599, 4500, 36000}) {
        bar->SetPlayTime(seconds, 0, true);
        const QImage shown = bar->grab().toImage().copy(label);
        int left = label.width(), right = -1;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (shown.pixelColor(x, y).lightness() > 200) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        EXPECT_GT(left, 0) << seconds;
        EXPECT_LT(right, label.width() - 1) << seconds;
        EXPECT_GT(right - left, 20) << seconds;
    }
}

TEST_F(PlayBar, TooltipsNameTheKeysAlsoAfterASkinChange)
{
    Skin::saveId(1);
    bar->loadSkinBitmap(); // rebuilds the image sets with their tips
    EXPECT_EQ(bar->poPlayBtn()->toolTipOf(1),
              pmLoadString(QStringLiteral("IDS_PAUSE")) + QStringLiteral(" (Space)"));
    EXPECT_TRUE(bar->poPrevBtn()->toolTip().endsWith(QStringLiteral("(PgUp)")));
    EXPECT_TRUE(bar->poVolumeBtn()->toolTipOf(1).endsWith(QStringLiteral("(M)")));
    EXPECT_TRUE(bar->poFullScreenBtn()->toolTipOf(1).endsWith(QStringLiteral("(Esc)")));
    Skin::saveId(3);
}

TEST_F(PlayBar, SkinChangeKeepsEachButtonsImageIndex)
{
    QTest::mouseClick(bar->poSpeedBtn(), Qt::LeftButton, {}, centreOf(bar->poSpeedBtn()));
    QTest::mouseClick(bar->poSpeedBtn(), Qt::LeftButton, {}, centreOf(bar->poSpeedBtn()));
    bar->SetMute(true);
    bar->poTimeSlider()->setCurrentValue(250);
    const QImage before = bar->grab().toImage();

    Skin::saveId(0);
    bar->loadSkinBitmap();
    EXPECT_EQ(bar->poSpeedBtn()->getCurButtonIndex(), 2);
    EXPECT_EQ(bar->poSpeedBtn()->buttonCount(), 5);
    EXPECT_EQ(bar->poVolumeBtn()->getCurButtonIndex(), 1);
    EXPECT_EQ(bar->poTimeSlider()->getCurrentValue(), 250);
    EXPECT_NE(bar->grab().toImage(), before);

    // Choosing the skin already in force changes nothing visible.
    Skin::saveId(3);
    bar->loadSkinBitmap();
    const QImage again = bar->grab().toImage();
    bar->loadSkinBitmap();
    EXPECT_EQ(bar->grab().toImage(), again);
}
