#pragma once
// The calendar panel: one month as six weeks, marks on days with recordings,
// the chosen day (the playlist's date filter), month navigation with
// previous/next and the year and month boxes, and the calendar/all tabs.
//
// The panel does not know the controller. The controller hands it:
//   - dayHasMedia(y, m, d): whether the library holds a recording of that day
//     (asked for the 42 cells when the shown month changes or the library is
//     ready; never while painting);
//   - showCalendar(bool): called when the mode changes (true = calendar mode).
// It reports a day click with CalendarSelChanged ("CALENDAR_WINDOW" = its
// identity string). Frames are bottom-left (CalendarLayout). Main thread only.
#include "controls/CalendarLayout.h"
#include "core/CalendarMath.h"

#include <QPixmap>
#include <QWidget>
#include <array>
#include <functional>

class BitmapButton;
class ComboBox;
struct Notification;

class CalendarView : public QWidget
{
    Q_OBJECT
public:
    using DayHasMedia = std::function<bool(int year, int month, int day)>;
    using ShowCalendar = std::function<void(bool show)>;

    // tabHeight 30: the panel with its two tabs; 0: the mode button instead.
    explicit CalendarView(QWidget* parent = nullptr, int tabHeight = CalendarLayout::kTabHeight);
    ~CalendarView() override;

    void setDayHasMedia(DayHasMedia fn) { m_dayHasMedia = std::move(fn); }
    void setShowCalendarHandler(ShowCalendar fn) { m_showCalendar = std::move(fn); }

    void GetSelectDay(short& year, short& month, short& day) const;
    // Shows and chooses a date; no notification. A year of 2050 or later, or
    // an invalid date, is ignored; a date before 2000 is chosen while January
    // 2000 is shown (its grid holds the last days of 1999).
    void SetActivateDay(int year, int month, int day);
    void VideoLibIsReady();
    void shrinkCalendarView(bool shrink);
    int getMonthWeekHeight() const { return m_layout.monthWeekHeight(); }
    void relayoutContents(bool rightToLeft);
    void changeLanguage();
    void loadSkinBitmap();
    void changeTextColor();

    void prevButtonPressed();
    void nextButtonPressed();
    void modeButtonPressed();
    void calendarTabButtonPressed();
    void allTabButtonPressed();
    void checkTabButton();

    // State, for the controller's layout and for tests.
    int calendarMode() const { return nCalendarMode; }
    bool isShrunk() const { return bShrinkMode; }
    calendar::YearMonth shownMonth() const { return {nSelectYear, nSelectMonth}; }
    calendar::Date focusDate() const { return {nFocusYear, nFocusMonth, nFocusDay}; }
    calendar::Date today() const { return {nTodayYear, nTodayMonth, nTodayDay}; }
    bool hasMark(int cell) const
    {
        return cell >= 0 && cell < calendar::kGridCells && bShowExistMark[size_t(cell)];
    }
    const CalendarLayout& layoutModel() const { return m_layout; }
    QSize panelSize() const { return {m_layout.width, m_layout.height}; }
    // Qt rectangle of a grid cell in the panel as it is now.
    QRect cellQtRect(int row, int column) const { return pmQtRect(m_layout.cell(row, column), height()); }
    ComboBox* yearBox() const { return oYearComboBox; }
    ComboBox* monthBox() const { return oMonthComboBox; }
    BitmapButton* prevButton() const { return m_prevButton; }
    BitmapButton* nextButton() const { return m_nextButton; }
    BitmapButton* modeButton() const { return m_modeButton; }
    BitmapButton* calendarTabButton() const { return m_CalendarTabButton; }
    BitmapButton* allTabButton() const { return m_AllTabButton; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setupButtons();
    void loadImages();
    void applyFrames();
    void comboBoxSelectChanged(const Notification& n);
    void xCheckVideoExist();
    void syncBoxes();
    void clickAt(const QPoint& qtPos);
    void setMode(int mode);

    int nTodayYear = 2000, nTodayMonth = 1, nTodayDay = 1;
    int nSelectYear = 2000, nSelectMonth = 1, nSelectDay = 1;
    int nFocusYear = 2000, nFocusMonth = 1, nFocusDay = 1;
    int nCalendarMode = 0;
    int m_nTabButtonW = CalendarLayout::kTabWidth;
    int m_nTabButtonH = CalendarLayout::kTabHeight;
    bool bShrinkMode = false;
    bool bReadyToCheckVideoLib = false;
    bool bDrawR2L = false;
    CalendarLayout m_layout;
    std::array<bool, calendar::kGridCells> bShowExistMark{};
    calendar::MonthGrid m_grid;

    QPixmap m_backgroundPatternImage;
    QString m_backgroundPatternImageName = QStringLiteral("calendar_background.png");
    QPixmap todayMarkBitmap, videoExistBitmap1, videoExistBitmap2;

    BitmapButton* m_prevButton = nullptr;
    BitmapButton* m_nextButton = nullptr;
    BitmapButton* m_modeButton = nullptr;
    BitmapButton* m_CalendarTabButton = nullptr;
    BitmapButton* m_AllTabButton = nullptr;
    ComboBox* oYearComboBox = nullptr;
    ComboBox* oMonthComboBox = nullptr;

    DayHasMedia m_dayHasMedia;
    ShowCalendar m_showCalendar;
    qint64 m_lastPressTime = -1;
};
