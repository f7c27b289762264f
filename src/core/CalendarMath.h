#pragma once
// Calendar arithmetic for the calendar panel: month lengths, week days, the
// six-week grid of a month and month navigation within the years the panel's
// year box offers. Proleptic Gregorian throughout, so the answers are exact for
// any year from 1 on (the panel itself shows 2000..2049).
#include <array>

namespace calendar
{

constexpr int kFirstYear = 2000; // first year of the year box (index 0)
constexpr int kLastYear = 2049;  // last year of the year box
constexpr int kGridCells = 42;   // six weeks of seven days, Sunday first
constexpr int kGridColumns = 7;
constexpr int kGridRows = 6;

struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
    bool operator==(const Date& o) const { return year == o.year && month == o.month && day == o.day; }
    bool operator!=(const Date& o) const { return !(*this == o); }
};

struct YearMonth {
    int year = 0;
    int month = 0;
    bool operator==(const YearMonth& o) const { return year == o.year && month == o.month; }
    bool operator<(const YearMonth& o) const { return year != o.year ? year < o.year : month < o.month; }
};

bool isLeapYear(int year);
// 0 for a month outside 1..12.
int daysInMonth(int year, int month);
bool isValidDate(int year, int month, int day);
// Days since 1 January 2000 (negative before it).
long daysSince2000(int year, int month, int day);
// 0 = Sunday .. 6 = Saturday.
int dayOfWeek(int year, int month, int day);

struct MonthGrid {
    std::array<Date, kGridCells> cells{};   // row-major, row 0 on top, column 0 Sunday
    std::array<bool, kGridCells> inMonth{}; // the cell belongs to the month the grid was made for
};
// The grid starts on the Sunday on or before the first of the month and runs on
// into the next month (crossing year ends both ways).
MonthGrid monthGrid(int year, int month);

// Month navigation of the previous/next buttons: stops at January of kFirstYear
// and December of kLastYear; a month outside that range moves towards it.
YearMonth previousMonth(YearMonth shown);
YearMonth nextMonth(YearMonth shown);
// The month to show for a date set from outside: clamped into kFirstYear..kLastYear.
YearMonth clampToRange(YearMonth ym);

} // namespace calendar
