// The skinned control kit driven like a user would: clicks, hovers and drags
// on the real widgets, checking the image on screen and the notifications.
#include "ControlTestSupport.h"
#include "base/NotificationCenter.h"
#include "base/Skin.h"
#include "controls/BitmapButton.h"
#include "controls/MultiButtons.h"
#include "controls/Slider.h"

#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

void hoverIn(QWidget* w)
{
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)));
    QCoreApplication::sendEvent(w, &enter);
}

void hoverOut(QWidget* w)
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(w, &leave);
}

class ControlKit : public ::testing::Test
{
protected:
    void SetUp() override { Skin::saveId(3); }
};

} // namespace

TEST_F(ControlKit, BitmapButtonShowsEachStateAndClicksOnlyWhenEnabled)
{
    BitmapButton* button = BitmapButton::windowButtonWithSize(32, 44);
    std::unique_ptr<BitmapButton> owner(button);
    EXPECT_EQ(button->geometry(), QRect(0, 0, 32, 44));
    button->setBitmapButton("button_previous.png", "button_previous_d.png", "button_previous_f.png",
                            "button_previous_g.png");
    for (auto st :
         {BitmapButton::Normal, BitmapButton::Pressed, BitmapButton::Rollover, BitmapButton::Disabled})
        EXPECT_TRUE(button->hasImage(st)) << st;
    button->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(button));
    QSignalSpy clicks(button, &BitmapButton::clicked);
    hoverOut(button); // the platform may report the pointer over the new window

    EXPECT_EQ(button->currentImageState(), BitmapButton::Normal);
    hoverIn(button);
    EXPECT_EQ(button->currentImageState(), BitmapButton::Rollover);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(button->currentImageState(), BitmapButton::Pressed);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicks.count(), 1);
    hoverOut(button);
    EXPECT_EQ(button->currentImageState(), BitmapButton::Normal);

    // Released outside: no action.
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(100, 10));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button->currentImageState(), BitmapButton::Normal);

    // Disabled: the "_g" image, kept on pointer entry; clicks are ignored.
    button->setEnabled(false);
    EXPECT_EQ(button->currentImageState(), BitmapButton::Disabled);
    hoverIn(button);
    EXPECT_EQ(button->currentImageState(), BitmapButton::Disabled);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button->currentImageState(), BitmapButton::Disabled);
    button->setEnabled(true);
    EXPECT_EQ(button->currentImageState(), BitmapButton::Normal);

    // Checked: the pressed image stays after the pointer leaves and after a click.
    button->checkButton(true);
    EXPECT_EQ(button->currentImageState(), BitmapButton::Pressed);
    hoverIn(button);
    hoverOut(button);
    EXPECT_EQ(button->currentImageState(), BitmapButton::Pressed);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(button->currentImageState(), BitmapButton::Pressed);
    button->checkButton(false);
    EXPECT_EQ(button->currentImageState(), BitmapButton::Normal);
}

TEST_F(ControlKit, BitmapButtonMirrorsItsImagesAndDrawsTitles)
{
    BitmapButton button(QSize(32, 44));
    button.setBitmapButton("button_next.png", "button_next_d.png", "button_next_f.png", "button_next_g.png");
    const QImage before = button.grab().toImage();
    button.setButtonFlipped(true);
    const QImage after = button.grab().toImage();
    EXPECT_NE(before, after);
    EXPECT_EQ(before.mirrored(true, false).convertToFormat(after.format()), after);
    button.setButtonFlipped(true); // no change: not mirrored back
    EXPECT_EQ(button.grab().toImage(), after);
    // A skin reload keeps the mirrored look.
    button.reloadBitmaps();
    EXPECT_EQ(button.grab().toImage(), after);

    // A title is drawn over the image in the title colour.
    BitmapButton titled(QSize(91, 25));
    titled.setBitmapButton("button_calendar.png", "button_calendar_d.png", "button_calendar_f.png",
                           "button_calendar_g.png");
    const QImage plain = titled.grab().toImage();
    titled.setBitmapTitle("ALL");
    titled.setTitleColor(QColor(255, 0, 0));
    const QImage withTitle = titled.grab().toImage();
    EXPECT_NE(plain, withTitle);
    bool redFound = false;
    for (int y = 0; y < withTitle.height() && !redFound; ++y)
        for (int x = 0; x < withTitle.width() && !redFound; ++x) {
            const QColor c = withTitle.pixelColor(x, y);
            redFound = c.red() > 200 && c.green() < 60 && c.blue() < 60;
        }
    EXPECT_TRUE(redFound);
}

TEST_F(ControlKit, MissingImagesLeaveTheControlsBlankButWorking)
{
    BitmapButton button(QSize(20, 20));
    button.setBitmapButton("no_such.png", "no_such_d.png", "no_such_f.png", "no_such_g.png");
    EXPECT_FALSE(button.hasImage(BitmapButton::Normal));
    QSignalSpy clicks(&button, &BitmapButton::clicked);
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    hoverIn(&button);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks.count(), 1);
    button.setButtonFlipped(true);
    EXPECT_FALSE(button.grab().isNull());

    MultiButtons multi(QSize(20, 20));
    multi.addBitmapButton("a", "missing.png", "", "", "");
    multi.addBitmapButton("b", "missing2.png", "", "", "");
    multi.changeButtonIndex();
    EXPECT_EQ(multi.getCurButtonIndex(), 1);
    EXPECT_FALSE(multi.grab().isNull());

    Slider slider(QRect(0, 0, 70, 44));
    slider.loadBitmaps("none_full.png", "none_bg.png", "none_thumb.png");
    slider.setRange(0, 10);
    slider.setCurrentValue(5);
    slider.setEventMarkPos(3);
    EXPECT_FALSE(slider.grab().isNull());
    slider.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&slider));
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(60, 22));
    QTest::mouseMove(&slider, QPoint(65, 22));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(65, 22));
    EXPECT_GE(slider.getCurrentValue(), 0);
    EXPECT_LE(slider.getCurrentValue(), 10);
}

TEST_F(ControlKit, MultiButtonsCyclesOnlyThroughItsSets)
{
    MultiButtons button(QSize(39, 44));
    // One set: nothing cycles.
    button.addBitmapButton("one", "button_playback1.png", "button_playback1_d.png", "button_playback1_f.png",
                           "button_playback1_g.png");
    EXPECT_EQ(button.toolTip(), "one");
    button.changeButtonIndex();
    button.setButtonIndex(0);
    EXPECT_EQ(button.getCurButtonIndex(), 0);
    EXPECT_EQ(button.currentImageState(), MultiButtons::Normal);

    const char* names[] = {"button_playback1.5", "button_playback2", "button_playback", "button_playback1-2"};
    for (int i = 0; i < 4; ++i) {
        const QString base = names[i];
        button.addBitmapButton(QStringLiteral("tip%1").arg(i + 1), base + ".png", base + "_d.png",
                               base + "_f.png", base + "_g.png");
    }
    // A sixth set is ignored.
    button.addBitmapButton("six", "button_play.png", "", "", "");
    EXPECT_EQ(button.buttonCount(), 5);
    EXPECT_EQ(button.toolTip(), "one");

    // The speed cycle: 1, 1.5, 2, 0.25, 0.5 and back to 1; each step shows the mouse-over image.
    for (int expected : {1, 2, 3, 4, 0}) {
        button.changeButtonIndex();
        EXPECT_EQ(button.getCurButtonIndex(), expected);
        EXPECT_EQ(button.currentImageState(), MultiButtons::Rollover);
    }
    EXPECT_EQ(button.toolTip(), "one");

    // setButtonIndex: the current index changes nothing, not even the image.
    button.setButtonIndex(0);
    EXPECT_EQ(button.currentImageState(), MultiButtons::Rollover);
    button.setButtonIndex(3);
    EXPECT_EQ(button.getCurButtonIndex(), 3);
    EXPECT_EQ(button.toolTip(), "tip3");
    EXPECT_EQ(button.currentImageState(), MultiButtons::Normal);
    button.setButtonIndex(5);
    button.setButtonIndex(-1);
    EXPECT_EQ(button.getCurButtonIndex(), 3);

    // Tooltips: a null text keeps the old one.
    button.changeToolTips("A", QString(), "C");
    EXPECT_EQ(button.toolTipOf(0), "A");
    EXPECT_EQ(button.toolTipOf(1), "tip1");
    EXPECT_EQ(button.toolTipOf(2), "C");
    EXPECT_EQ(button.toolTip(), "tip3");

    button.resetButtonState();
    EXPECT_EQ(button.getCurButtonIndex(), 0);
    EXPECT_EQ(button.toolTip(), "A");

    // Clearing keeps the index; sets added again draw from there.
    button.setButtonIndex(2);
    button.clearBitmaps();
    EXPECT_EQ(button.buttonCount(), 0);
    EXPECT_EQ(button.getCurButtonIndex(), 2);
    EXPECT_TRUE(button.imageName(0, MultiButtons::Normal).isEmpty());
}

TEST_F(ControlKit, MultiButtonsClickShowsPressedThenTheNextSetUnderThePointer)
{
    MultiButtons button(QSize(52, 44));
    button.addBitmapButton("play", "button_play.png", "button_play_d.png", "button_play_f.png",
                           "button_play_g.png");
    button.addBitmapButton("pause", "button_pause.png", "button_pause_d.png", "button_pause_f.png",
                           "button_pause_g.png");
    QObject::connect(&button, &MultiButtons::clicked, &button, &MultiButtons::changeButtonIndex);
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    const QImage play = button.grab().toImage();
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(26, 22));
    EXPECT_EQ(button.currentImageState(), MultiButtons::Pressed);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(26, 22));
    EXPECT_EQ(button.getCurButtonIndex(), 1);
    EXPECT_EQ(button.currentImageState(), MultiButtons::Rollover);
    EXPECT_EQ(button.toolTip(), "pause");
    hoverOut(&button);
    EXPECT_NE(button.grab().toImage(), play);

    button.setEnabled(false);
    EXPECT_EQ(button.currentImageState(), MultiButtons::Disabled);
    hoverIn(&button);
    EXPECT_EQ(button.currentImageState(), MultiButtons::Disabled);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(26, 22));
    EXPECT_EQ(button.getCurButtonIndex(), 1);
}

namespace
{

// A slider 100 wide with a 100-point background and a 10 x 20 thumb (the
// figures of the volume example), range 0..10, value 5.
struct SliderFixture {
    Slider slider{QRect(0, 0, 100, 44)};
    NotificationRecorder recorder{{Notifications::SliderChanged}};
    SliderFixture()
    {
        slider.setBitmapImages(solidPixmap(100, 44, Qt::green), solidPixmap(100, 44, Qt::blue),
                               solidPixmap(10, 20, Qt::white), solidPixmap(4, 6, Qt::red));
        slider.setRange(0, 10);
        slider.setCurrentValue(5);
        slider.setRealParent("owner-id");
        slider.show();
        (void)QTest::qWaitForWindowExposed(&slider);
    }
    // The thumb sits at the bottom: Qt y of its middle.
    static int thumbY() { return 44 - 10; }
};

} // namespace

TEST_F(ControlKit, SliderGeometryFollowsTheValue)
{
    SliderFixture f;
    Slider& s = f.slider;
    EXPECT_EQ(s.sliderLength(), 90);
    EXPECT_EQ(s.moveGap(), 9);
    EXPECT_EQ(s.getCurrentPos(), 45);
    s.setEventMarkPos(5);
    EXPECT_EQ(s.eventPos(), 50);
    s.setEventMarkPos(-1);
    EXPECT_EQ(s.eventPos(), -1);

    // The G-sensor cursor: value 500 of 0..1000 with a 10-point thumb is at 125.
    s.setRange(0, 1000);
    s.setCurrentValue(500);
    EXPECT_EQ(s.getCurrentIndicatorPos(), 125);
    EXPECT_EQ(s.moveGap(), 1);

    // Painted: filled part up to the thumb's centre, background beyond, the
    // thumb at its position on the bottom edge, the event mark on the top edge.
    s.setRange(0, 10);
    s.setCurrentValue(5);
    s.setEventMarkPos(8);
    EXPECT_EQ(s.eventPos(), 77);
    const QImage img = s.grab().toImage();
    EXPECT_EQ(img.pixelColor(20, 40), QColor(Qt::green));
    EXPECT_EQ(img.pixelColor(80, 40), QColor(Qt::blue));
    EXPECT_EQ(img.pixelColor(47, 40), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(47, 10), QColor(Qt::green)); // above the 20-high thumb
    EXPECT_EQ(img.pixelColor(76, 1), QColor(Qt::red));
    EXPECT_EQ(img.pixelColor(76, 10), QColor(Qt::blue));

    // An empty range neither divides by zero nor moves the thumb off the track.
    s.setRange(3, 3);
    EXPECT_EQ(s.getCurrentPos(), 0);
    EXPECT_EQ(s.getCurrentIndicatorPos(), 0);
    s.setEventMarkPos(3);
    EXPECT_EQ(s.eventPos(), 5);
    QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(80, f.thumbY()));
    EXPECT_EQ(s.getCurrentValue(), 3);
}

TEST_F(ControlKit, SliderJumpsOnTheTrackAndIgnoresPressesBesideTheThumb)
{
    SliderFixture f;
    Slider& s = f.slider;
    // Inside the thumb: a drag starts, the value stays, nothing is posted.
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(50, f.thumbY()));
    EXPECT_TRUE(s.isDragging());
    EXPECT_EQ(s.getCurrentValue(), 5);
    EXPECT_EQ(f.recorder.count(Notifications::SliderChanged), 0);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(50, f.thumbY()));
    EXPECT_FALSE(s.isDragging());

    // Above the thumb but within its horizontal extent: nothing at all.
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(50, 5));
    EXPECT_FALSE(s.isDragging());
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(50, 5));
    EXPECT_EQ(f.recorder.count(Notifications::SliderChanged), 0);

    // Left of the thumb at x = thumb width / 2: the minimum, with the notification.
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(5, f.thumbY()));
    EXPECT_EQ(s.getCurrentValue(), 0);
    ASSERT_EQ(f.recorder.count(Notifications::SliderChanged), 1);
    const Notification* n = f.recorder.last(Notifications::SliderChanged);
    EXPECT_EQ(n->object.toInt(), 0);
    EXPECT_EQ(n->userInfo.value("PARENT_WINDOW").toString(), "owner-id");
    EXPECT_EQ(n->userInfo.value("SLIDER_WINDOW").toString(), pmIdentityString(&s));
    EXPECT_TRUE(s.isDragging());
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(5, f.thumbY()));
    EXPECT_EQ(f.recorder.count(Notifications::SliderChanged), 1); // no notice on release

    // Far right of the travel: clamped to the maximum.
    QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(99, f.thumbY()));
    EXPECT_EQ(s.getCurrentValue(), 10);
    QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(32, f.thumbY()));
    EXPECT_EQ(s.getCurrentValue(), 3); // 10 * (32 - 5) / 90

    // Disabled: the mouse does nothing, the look stays.
    const QImage look = s.grab().toImage();
    s.setEnabled(false);
    EXPECT_EQ(s.grab().toImage(), look);
    f.recorder.clear();
    QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(80, f.thumbY()));
    EXPECT_EQ(s.getCurrentValue(), 3);
    EXPECT_EQ(f.recorder.count(Notifications::SliderChanged), 0);
}

TEST_F(ControlKit, SliderDragFollowsTheTotalMovementAndClamps)
{
    SliderFixture f;
    Slider& s = f.slider;
    // From value 5 (thumb 45..55): 9 points right is one step.
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(50, f.thumbY()));
    QTest::mouseMove(&s, QPoint(54, f.thumbY()));
    EXPECT_EQ(s.getCurrentValue(), 5);
    EXPECT_EQ(f.recorder.count(Notifications::SliderChanged), 0);
    QTest::mouseMove(&s, QPoint(59, f.thumbY()));
    EXPECT_EQ(s.getCurrentValue(), 6);
    EXPECT_EQ(f.recorder.count(Notifications::SliderChanged), 1);
    // Each move counts from the press, not from the last position.
    QTest::mouseMove(&s, QPoint(60, f.thumbY()));
    EXPECT_EQ(s.getCurrentValue(), 6);
    EXPECT_EQ(f.recorder.count(Notifications::SliderChanged), 1);
    QTest::mouseMove(&s, QPoint(2000, f.thumbY()));
    EXPECT_EQ(s.getCurrentValue(), 10);
    QTest::mouseMove(&s, QPoint(-2000, f.thumbY()));
    EXPECT_EQ(s.getCurrentValue(), 0);
    EXPECT_EQ(f.recorder.last(Notifications::SliderChanged)->object.toInt(), 0);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(-2000, f.thumbY()));
    QTest::mouseMove(&s, QPoint(90, f.thumbY()));
    EXPECT_EQ(s.getCurrentValue(), 0); // no drag after release

    // A drag by the full travel moves by the whole range wherever it began.
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(3, f.thumbY()));
    QTest::mouseMove(&s, QPoint(3 + 90, f.thumbY()));
    EXPECT_EQ(s.getCurrentValue(), 10);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(93, f.thumbY()));
    // The time slider's range: 0..1000 over 90 points.
    s.setRange(0, 1000);
    s.setCurrentValue(0);
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(2, f.thumbY()));
    QTest::mouseMove(&s, QPoint(47, f.thumbY()));
    EXPECT_EQ(s.getCurrentValue(), 500);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(47, f.thumbY()));
}
