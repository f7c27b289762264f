#include "core/CalendarMath.h"

namespace calendar
{

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    if (month == 2 && isLeapYear(year))
        return 29;
    return kDays[month - 1];
}

bool isValidDate(int year, int month, int day)
{
    return year >= 1 && day >= 1 && day <= daysInMonth(year, month);
}

namespace
{
// Days from 1 March of year 0 style civil count (Howard Hinnant's days_from_civil).
long daysFromCivil(long y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153L * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468; // days since 1970-01-01
}
const long kEpoch2000 = daysFromCivil(2000, 1, 1);
} // namespace

long daysSince2000(int year, int month, int day)
{
    return daysFromCivil(year, month, day) - kEpoch2000;
}

int dayOfWeek(int year, int month, int day)
{
    // 1 January 2000 was a Saturday (6).
    const long n = daysSince2000(year, month, day);
    const long w = (n + 6) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

MonthGrid monthGrid(int year, int month)
{
    MonthGrid grid;
    if (month < 1 || month > 12 || year < 1)
        return grid;
    const int lead = dayOfWeek(year, month, 1); // cells before the first
    int prevYear = year, prevMonth = month - 1;
    if (prevMonth < 1) {
        prevMonth = 12;
        --prevYear;
    }
    int nextYear = year, nextMonthNo = month + 1;
    if (nextMonthNo > 12) {
        nextMonthNo = 1;
        ++nextYear;
    }
    const int prevDays = daysInMonth(prevYear, prevMonth);
    const int days = daysInMonth(year, month);
    for (int i = 0; i < kGridCells; ++i) {
        const int offset = i - lead; // 0 = the first of the month
        if (offset < 0) {
            grid.cells[i] = {prevYear, prevMonth, prevDays + offset + 1};
            grid.inMonth[i] = false;
        } else if (offset < days) {
            grid.cells[i] = {year, month, offset + 1};
            grid.inMonth[i] = true;
        } else {
            grid.cells[i] = {nextYear, nextMonthNo, offset - days + 1};
            grid.inMonth[i] = false;
        }
    }
    return grid;
}

YearMonth clampToRange(YearMonth ym)
{
    if (ym.month < 1)
        ym.month = 1;
    if (ym.month > 12)
        ym.month = 12;
    if (ym.year < kFirstYear)
        return {kFirstYear, 1};
    if (ym.year > kLastYear)
        return {kLastYear, 12};
    return ym;
}

YearMonth previousMonth(YearMonth shown)
{
    const YearMonth first{kFirstYear, 1};
    if (!(first < shown))
        return clampToRange(shown);
    if (--shown.month < 1) {
        shown.month = 12;
        --shown.year;
    }
    return clampToRange(shown);
}

YearMonth nextMonth(YearMonth shown)
{
    const YearMonth last{kLastYear, 12};
    if (!(shown < last))
        return clampToRange(shown);
    if (++shown.month > 12) {
        shown.month = 1;
        ++shown.year;
    }
    return clampToRange(shown);
}

} // namespace calendar
