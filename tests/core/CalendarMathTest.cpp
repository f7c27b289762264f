#include "core/CalendarMath.h"

#include <ctime>
#include <gtest/gtest.h>

using namespace calendar;

TEST(CalendarMath, MonthLengthsAndLeapYears)
{
    EXPECT_EQ(daysInMonth(2000, 2), 29); // divisible by 400
    EXPECT_EQ(daysInMonth(2004, 2), 29);
    EXPECT_EQ(daysInMonth(2048, 2), 29);
    EXPECT_EQ(daysInMonth(2001, 2), 28);
    EXPECT_EQ(daysInMonth(2100, 2), 28); // divisible by 100, not by 400
    EXPECT_EQ(daysInMonth(2021, 4), 30);
    EXPECT_EQ(daysInMonth(2021, 12), 31);
    EXPECT_EQ(daysInMonth(2021, 0), 0);
    EXPECT_EQ(daysInMonth(2021, 13), 0);
    EXPECT_TRUE(isValidDate(2024, 2, 29));
    EXPECT_FALSE(isValidDate(2023, 2, 29));
    EXPECT_FALSE(isValidDate(2023, 1, 0));
}

TEST(CalendarMath, WeekDaysAgreeWithTheCLibraryEveryDay)
{
    EXPECT_EQ(dayOfWeek(2000, 1, 1), 6); // Saturday
    EXPECT_EQ(daysSince2000(2000, 1, 1), 0);
    EXPECT_EQ(dayOfWeek(1999, 12, 31), 5);
    // Every day from 1990 to the end of 2101 against timegm's week day.
    for (int y = 1990; y <= 2101; ++y) {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= daysInMonth(y, m); ++d) {
                std::tm t{};
                t.tm_year = y - 1900;
                t.tm_mon = m - 1;
                t.tm_mday = d;
                t.tm_hour = 12;
                timegm(&t);
                ASSERT_EQ(dayOfWeek(y, m, d), t.tm_wday) << y << "-" << m << "-" << d;
            }
        }
    }
}

TEST(CalendarMath, GridOfAMonthStartingOnSunday)
{
    // 1 October 2017 was a Sunday: it is cell 0; 31 days leave 11 days of November.
    const MonthGrid g = monthGrid(2017, 10);
    EXPECT_EQ(g.cells[0], (Date{2017, 10, 1}));
    EXPECT_TRUE(g.inMonth[0]);
    EXPECT_EQ(g.cells[30], (Date{2017, 10, 31}));
    EXPECT_EQ(g.cells[31], (Date{2017, 11, 1}));
    EXPECT_FALSE(g.inMonth[31]);
    EXPECT_EQ(g.cells[41], (Date{2017, 11, 11}));
    // February 2015 starts on Sunday and has 28 days: 14 days of March follow.
    const MonthGrid f = monthGrid(2015, 2);
    EXPECT_EQ(f.cells[0], (Date{2015, 2, 1}));
    EXPECT_EQ(f.cells[28], (Date{2015, 3, 1}));
    EXPECT_EQ(f.cells[41], (Date{2015, 3, 14}));
}

TEST(CalendarMath, GridsCrossYearEnds)
{
    // January 2000 starts on Saturday: six days of December 1999 before it.
    const MonthGrid j = monthGrid(2000, 1);
    EXPECT_EQ(j.cells[0], (Date{1999, 12, 26}));
    EXPECT_EQ(j.cells[5], (Date{1999, 12, 31}));
    EXPECT_FALSE(j.inMonth[5]);
    EXPECT_EQ(j.cells[6], (Date{2000, 1, 1}));
    EXPECT_TRUE(j.inMonth[6]);
    // December 2049 runs into January 2050.
    const MonthGrid d = monthGrid(2049, 12);
    EXPECT_EQ(d.cells[41].year, 2050);
    EXPECT_EQ(d.cells[41].month, 1);
    // Every grid of the supported years: consecutive days, Sunday first, the month whole.
    for (int y = kFirstYear; y <= kLastYear; ++y) {
        for (int m = 1; m <= 12; ++m) {
            const MonthGrid g = monthGrid(y, m);
            EXPECT_EQ(dayOfWeek(g.cells[0].year, g.cells[0].month, g.cells[0].day), 0);
            int inMonth = 0;
            for (int i = 0; i < kGridCells; ++i) {
                const Date& c = g.cells[i];
                ASSERT_TRUE(isValidDate(c.year, c.month, c.day));
                if (i > 0) {
                    const Date& p = g.cells[i - 1];
                    ASSERT_EQ(daysSince2000(c.year, c.month, c.day),
                              daysSince2000(p.year, p.month, p.day) + 1);
                }
                EXPECT_EQ(g.inMonth[i], c.year == y && c.month == m);
                inMonth += g.inMonth[i] ? 1 : 0;
            }
            EXPECT_EQ(inMonth, daysInMonth(y, m));
        }
    }
}

TEST(CalendarMath, NavigationStopsAtTheEndsOfTheYearBox)
{
    EXPECT_EQ(previousMonth({2000, 1}), (YearMonth{2000, 1}));
    EXPECT_EQ(previousMonth({2000, 2}), (YearMonth{2000, 1}));
    EXPECT_EQ(previousMonth({2021, 1}), (YearMonth{2020, 12}));
    EXPECT_EQ(nextMonth({2049, 12}), (YearMonth{2049, 12}));
    EXPECT_EQ(nextMonth({2049, 11}), (YearMonth{2049, 12}));
    EXPECT_EQ(nextMonth({2020, 12}), (YearMonth{2021, 1}));
    // Out of range months are brought back into the range.
    EXPECT_EQ(previousMonth({1999, 12}), (YearMonth{2000, 1}));
    EXPECT_EQ(nextMonth({2070, 3}), (YearMonth{2049, 12}));
    EXPECT_EQ(clampToRange({1999, 7}), (YearMonth{2000, 1}));
    EXPECT_EQ(clampToRange({2030, 7}), (YearMonth{2030, 7}));
    // Walking forward from the first month to the last visits 600 months.
    YearMonth ym{kFirstYear, 1};
    int steps = 0;
    while (!(ym == YearMonth{kLastYear, 12})) {
        ym = nextMonth(ym);
        ++steps;
    }
    EXPECT_EQ(steps, 599);
}
