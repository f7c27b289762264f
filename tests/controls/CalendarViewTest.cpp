// The calendar panel driven through its real buttons, boxes and day cells.
#include "controls/CalendarView.h"
#include "FileListTestSupport.h"
#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "controls/ComboBox.h"

#include <QTest>
#include <gtest/gtest.h>
#include <set>

namespace
{
struct CalendarFixture {
    QWidget window;
    CalendarView* cal;
    std::set<long> mediaDays; // daysSince2000 of days with recordings
    int mediaAsks = 0;
    std::vector<bool> shown; // showCalendar calls

    CalendarFixture()
    {
        cal = new CalendarView(&window);
        window.resize(cal->panelSize());
        cal->setDayHasMedia([this](int y, int m, int d) {
            ++mediaAsks;
            return mediaDays.count(calendar::daysSince2000(y, m, d)) > 0;
        });
        cal->setShowCalendarHandler([this](bool show) { shown.push_back(show); });
        window.show();
    }
    void clickCell(int row, int column)
    {
        QTest::mouseClick(cal, Qt::LeftButton, {}, cal->cellQtRect(row, column).center());
    }
    void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center()); }
    void addMedia(int y, int m, int d) { mediaDays.insert(calendar::daysSince2000(y, m, d)); }
};
} // namespace

TEST(CalendarView, StartsOnTodayAndChoosesClickedDaysOfTheShownMonth)
{
    CalendarFixture f;
    const QDate now = QDate::currentDate();
    EXPECT_EQ(f.cal->today(), (calendar::Date{now.year(), now.month(), now.day()}));
    EXPECT_EQ(f.cal->focusDate(), f.cal->today());
    EXPECT_EQ(f.cal->calendarMode(), 0);

    PanelRecorder rec({Notifications::CalendarSelChanged});
    f.cal->SetActivateDay(2017, 10, 15); // 1 October 2017 is a Sunday: cell 0
    EXPECT_TRUE(rec.received.empty());
    EXPECT_EQ(f.cal->shownMonth(), (calendar::YearMonth{2017, 10}));
    EXPECT_EQ(f.cal->yearBox()->getCurSel(), 17);
    EXPECT_EQ(f.cal->monthBox()->getCurSel(), 9);

    f.clickCell(2, 5); // 20 October
    ASSERT_EQ(rec.received.size(), 1u);
    EXPECT_FALSE(rec.received[0].object.isValid());
    EXPECT_EQ(rec.received[0].userInfo.value("CALENDAR_WINDOW").toString(), pmIdentityString(f.cal));
    short y = 0, m = 0, d = 0;
    f.cal->GetSelectDay(y, m, d);
    EXPECT_EQ(y, 2017);
    EXPECT_EQ(m, 10);
    EXPECT_EQ(d, 20);

    // Grey days of the next month and points between cells do nothing.
    f.clickCell(5, 6); // 11 November
    const QRect c = f.cal->cellQtRect(0, 0);
    QTest::mouseClick(f.cal, Qt::LeftButton, {}, QPoint(c.center().x(), c.bottom() + 2)); // the row gap
    QTest::mouseClick(f.cal, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(rec.received.size(), 1u);
    EXPECT_EQ(f.cal->focusDate(), (calendar::Date{2017, 10, 20}));
}

TEST(CalendarView, MonthNavigationIsClampedAndKeepsTheFocusDay)
{
    CalendarFixture f;
    PanelRecorder rec({Notifications::CalendarSelChanged});
    f.cal->SetActivateDay(2021, 1, 10);
    f.click(f.cal->prevButton());
    EXPECT_EQ(f.cal->shownMonth(), (calendar::YearMonth{2020, 12}));
    EXPECT_EQ(f.cal->yearBox()->getCurSel(), 20);
    EXPECT_EQ(f.cal->monthBox()->getCurSel(), 11);
    f.click(f.cal->nextButton());
    f.click(f.cal->nextButton());
    EXPECT_EQ(f.cal->shownMonth(), (calendar::YearMonth{2021, 2}));
    EXPECT_EQ(f.cal->focusDate(), (calendar::Date{2021, 1, 10}));

    f.cal->SetActivateDay(2000, 1, 5);
    f.click(f.cal->prevButton());
    EXPECT_EQ(f.cal->shownMonth(), (calendar::YearMonth{2000, 1}));
    f.cal->SetActivateDay(2049, 12, 31);
    f.click(f.cal->nextButton());
    EXPECT_EQ(f.cal->shownMonth(), (calendar::YearMonth{2049, 12}));
    // 2050 and impossible dates are ignored.
    f.cal->SetActivateDay(2050, 1, 1);
    f.cal->SetActivateDay(2030, 2, 30);
    EXPECT_EQ(f.cal->focusDate(), (calendar::Date{2049, 12, 31}));
    // A day before 2000 is chosen while January 2000 is shown; its cell is found there.
    f.cal->SetActivateDay(1999, 12, 31);
    EXPECT_EQ(f.cal->shownMonth(), (calendar::YearMonth{2000, 1}));
    EXPECT_EQ(f.cal->yearBox()->getCurSel(), 0);
    short y = 0, m = 0, d = 0;
    f.cal->GetSelectDay(y, m, d);
    EXPECT_EQ(y, 1999);
    EXPECT_EQ(d, 31);
    EXPECT_TRUE(rec.received.empty());
}

TEST(CalendarView, MarksComeOnlyOnceTheLibraryIsReady)
{
    CalendarFixture f;
    f.addMedia(2017, 10, 3);
    f.addMedia(2017, 11, 2); // a day of the next month shown in October's grid
    f.cal->SetActivateDay(2017, 10, 1);
    EXPECT_EQ(f.mediaAsks, 0);
    for (int i = 0; i < calendar::kGridCells; ++i)
        EXPECT_FALSE(f.cal->hasMark(i));

    f.cal->VideoLibIsReady();
    EXPECT_EQ(f.mediaAsks, 42);
    EXPECT_TRUE(f.cal->hasMark(2));
    EXPECT_TRUE(f.cal->hasMark(32));
    EXPECT_FALSE(f.cal->hasMark(1));

    // Each change of the shown month asks again, including at the ends of the range.
    f.mediaAsks = 0;
    f.click(f.cal->nextButton());
    EXPECT_EQ(f.mediaAsks, 42);
    EXPECT_TRUE(f.cal->hasMark(4)); // 2 November 2017, a Thursday
    f.cal->SetActivateDay(2000, 1, 1);
    f.mediaAsks = 0;
    f.click(f.cal->prevButton());
    EXPECT_EQ(f.mediaAsks, 42);
    // Painting never asks.
    f.mediaAsks = 0;
    f.cal->grab();
    EXPECT_EQ(f.mediaAsks, 0);
}

TEST(CalendarView, TheFocusDayIsHighlightedInAnyGridThatShowsIt)
{
    CalendarFixture f;
    f.cal->SetActivateDay(2017, 10, 31);
    f.click(f.cal->nextButton()); // November 2017: cells 0..2 are 29..31 October
    const QImage img = f.cal->grab().toImage();
    auto whitePixels = [&](const QRect& r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += img.pixelColor(x, y) == QColor(Qt::white) ? 1 : 0;
        return n;
    };
    EXPECT_GT(whitePixels(f.cal->cellQtRect(0, 2)), 0); // 31 October: white number
    EXPECT_EQ(whitePixels(f.cal->cellQtRect(0, 1)), 0); // 30 October: grey number
}

TEST(CalendarView, YearAndMonthBoxesChangeTheShownMonth)
{
    CalendarFixture f;
    f.cal->SetActivateDay(2017, 10, 15);
    f.cal->VideoLibIsReady();
    PanelRecorder rec({Notifications::ComboBoxChanged, Notifications::CalendarSelChanged});

    ComboBox* month = f.cal->monthBox();
    f.click(month->spinButton());
    ASSERT_TRUE(month->isListShown());
    ListBox* list = month->listBox();
    const int first = list->firstVisibleRow();
    f.mediaAsks = 0;
    QTest::mouseClick(list, Qt::LeftButton, {}, list->rowQtRect(0).center());
    EXPECT_EQ(f.cal->shownMonth(), (calendar::YearMonth{2017, first + 1}));
    EXPECT_EQ(f.mediaAsks, 42);
    ASSERT_EQ(rec.count(Notifications::ComboBoxChanged), 1);
    EXPECT_EQ(rec.last(Notifications::ComboBoxChanged)->userInfo.value("PARENT_WINDOW").toString(),
              pmIdentityString(f.cal));

    ComboBox* year = f.cal->yearBox();
    f.click(year->spinButton());
    ListBox* ylist = year->listBox();
    const int yfirst = ylist->firstVisibleRow();
    QTest::mouseClick(ylist, Qt::LeftButton, {}, ylist->rowQtRect(2).center());
    EXPECT_EQ(f.cal->shownMonth().year, 2000 + yfirst + 2);
    EXPECT_EQ(f.cal->focusDate(), (calendar::Date{2017, 10, 15}));

    // While a list is open, a click on a day only closes the list.
    f.click(year->spinButton());
    ASSERT_TRUE(year->isListShown());
    f.clickCell(2, 3);
    EXPECT_FALSE(year->isListShown());
    EXPECT_EQ(rec.count(Notifications::CalendarSelChanged), 0);

    // Another box's notification is not the calendar's business.
    const calendar::YearMonth before = f.cal->shownMonth();
    QVariantMap info;
    info.insert(QStringLiteral("COMBO_WINDOW"), QStringLiteral("<ComboBox: 0x1>"));
    NotificationCenter::defaultCenter().post(Notifications::ComboBoxChanged, 3, info);
    EXPECT_EQ(f.cal->shownMonth(), before);
}

TEST(CalendarView, TabsSwitchModeAndShrinkKeepsOnlyTheStrip)
{
    CalendarFixture f;
    ASSERT_NE(f.cal->allTabButton(), nullptr);
    EXPECT_TRUE(f.cal->calendarTabButton()->isButtonChecked());
    EXPECT_FALSE(f.cal->modeButton()->isVisible()); // the tabs stand in for it
    EXPECT_EQ(f.cal->getMonthWeekHeight(), 239);

    f.click(f.cal->calendarTabButton()); // already calendar mode
    EXPECT_TRUE(f.shown.empty());
    f.click(f.cal->allTabButton());
    EXPECT_EQ(f.shown, (std::vector<bool>{false}));
    EXPECT_EQ(f.cal->calendarMode(), 1);
    EXPECT_TRUE(f.cal->allTabButton()->isButtonChecked());
    EXPECT_FALSE(f.cal->calendarTabButton()->isButtonChecked());
    EXPECT_FALSE(f.cal->prevButton()->isVisible());
    EXPECT_FALSE(f.cal->yearBox()->isVisible());
    f.click(f.cal->allTabButton());
    EXPECT_EQ(f.shown.size(), 1u);

    // The controller shrinks the panel to its tab strip: the tabs move to its bottom.
    const int full = f.cal->height();
    f.cal->shrinkCalendarView(true);
    f.cal->resize(f.cal->width(), full - f.cal->getMonthWeekHeight());
    EXPECT_EQ(f.cal->allTabButton()->geometry(), QRect(146, f.cal->height() - 30, 145, 30));
    PanelRecorder rec({Notifications::CalendarSelChanged});
    QTest::mouseClick(f.cal, Qt::LeftButton, {}, QPoint(f.cal->width() - 2, 2));
    EXPECT_TRUE(rec.received.empty());
    EXPECT_FALSE(f.cal->grab().isNull());

    f.cal->shrinkCalendarView(false);
    f.cal->resize(f.cal->width(), full);
    f.click(f.cal->calendarTabButton());
    EXPECT_EQ(f.shown, (std::vector<bool>{false, true}));
    EXPECT_TRUE(f.cal->prevButton()->isVisible());
}

TEST(CalendarView, RightToLeftPutsSundayOnTheRight)
{
    CalendarFixture f;
    f.cal->SetActivateDay(2017, 10, 15);
    f.cal->relayoutContents(true);
    const QRect sunday = f.cal->cellQtRect(0, 0);
    EXPECT_GT(sunday.left(), f.cal->width() / 2);
    QTest::mouseClick(f.cal, Qt::LeftButton, {}, sunday.center());
    EXPECT_EQ(f.cal->focusDate(), (calendar::Date{2017, 10, 1}));
    EXPECT_GT(f.cal->prevButton()->x(), f.cal->width() / 2);
    EXPECT_TRUE(f.cal->prevButton()->isButtonFlipped());
}

TEST(CalendarView, PanelWithoutTabsUsesTheModeButton)
{
    QWidget window;
    auto* cal = new CalendarView(&window, 0);
    std::vector<bool> shown;
    cal->setShowCalendarHandler([&](bool s) { shown.push_back(s); });
    window.resize(cal->panelSize());
    window.show();
    EXPECT_EQ(cal->allTabButton(), nullptr);
    ASSERT_TRUE(cal->modeButton()->isVisible());
    EXPECT_EQ(cal->getMonthWeekHeight(), 209);
    QTest::mouseClick(cal->modeButton(), Qt::LeftButton, {}, cal->modeButton()->rect().center());
    EXPECT_EQ(shown, (std::vector<bool>{false}));
    EXPECT_EQ(cal->modeButton()->bitmapTitle(), pmLoadString(QStringLiteral("IDS_CALENDAR")));
    QTest::mouseClick(cal->modeButton(), Qt::LeftButton, {}, cal->modeButton()->rect().center());
    EXPECT_EQ(shown, (std::vector<bool>{false, true}));
    EXPECT_EQ(cal->modeButton()->bitmapTitle(), pmLoadString(QStringLiteral("IDS_ALL")));
}
