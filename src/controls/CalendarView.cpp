#include "controls/CalendarView.h"

#include "base/NotificationCenter.h"
#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "controls/ComboBox.h"
#include "controls/ListBoxBase.h"

#include <QDate>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

CalendarView::CalendarView(QWidget* parent, int tabHeight) : QWidget(parent)
{
    setObjectName(QStringLiteral("CalendarView"));
    m_nTabButtonH = std::max(0, tabHeight);
    const QDate now = QDate::currentDate();
    nTodayYear = now.year();
    nTodayMonth = now.month();
    nTodayDay = now.day();
    nFocusYear = nTodayYear;
    nFocusMonth = nTodayMonth;
    nFocusDay = nTodayDay;
    const calendar::YearMonth shown = calendar::clampToRange({nTodayYear, nTodayMonth});
    nSelectYear = shown.year;
    nSelectMonth = shown.month;
    nSelectDay = nTodayDay;
    m_grid = calendar::monthGrid(nSelectYear, nSelectMonth);

    loadImages();
    resize(m_layout.width, m_layout.height);
    setupButtons();
    changeTextColor();
    applyFrames();
}

CalendarView::~CalendarView()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void CalendarView::loadImages()
{
    m_backgroundPatternImage = listskin::load(m_backgroundPatternImageName);
    todayMarkBitmap = listskin::load(QStringLiteral("calendar_pic_d.png"));
    videoExistBitmap1 = listskin::load(QStringLiteral("icon_calendar_black.png"));
    videoExistBitmap2 = listskin::load(QStringLiteral("icon_calendar_white.png"));
    m_layout = CalendarLayout::compute(m_backgroundPatternImage.width(), m_backgroundPatternImage.height(),
                                       m_nTabButtonH, bDrawR2L, bShrinkMode);
}

void CalendarView::setupButtons()
{
    auto makeButton = [this](const QSize& size, const QString& base, const char* name) {
        auto* b = new BitmapButton(size, this);
        b->setObjectName(QString::fromLatin1(name));
        const auto names = Skin::stateImageNames(base);
        b->setBitmapButton(names[0], names[1], names[2], names[3]);
        return b;
    };
    m_prevButton = makeButton(QSize(21, 18), QStringLiteral("button_calendar_back.png"), "CalendarPrev");
    m_nextButton = makeButton(QSize(21, 18), QStringLiteral("button_calendar_next.png"), "CalendarNext");
    m_modeButton = makeButton(QSize(91, 25), QStringLiteral("button_calendar.png"), "CalendarMode");
    m_modeButton->setBitmapTitle(pmLoadString(QStringLiteral("IDS_ALL")));
    connect(m_prevButton, &BitmapButton::clicked, this, &CalendarView::prevButtonPressed);
    connect(m_nextButton, &BitmapButton::clicked, this, &CalendarView::nextButtonPressed);
    connect(m_modeButton, &BitmapButton::clicked, this, &CalendarView::modeButtonPressed);
    // The mode button belongs to the panel only when it has no tabs.
    m_modeButton->setVisible(m_nTabButtonH == 0);

    const QString me = pmIdentityString(this);
    oYearComboBox = new ComboBox(this);
    oYearComboBox->setObjectName(QStringLiteral("CalendarYear"));
    for (int y = calendar::kFirstYear; y <= calendar::kLastYear; ++y)
        oYearComboBox->insertString(y - calendar::kFirstYear, QString::asprintf("%d", y));
    oMonthComboBox = new ComboBox(this);
    oMonthComboBox->setObjectName(QStringLiteral("CalendarMonth"));
    for (int m = 1; m <= 12; ++m)
        oMonthComboBox->insertString(m - 1, QString::asprintf("%d", m));
    oYearComboBox->setRealParent(me);
    oMonthComboBox->setRealParent(me);
    syncBoxes();
    NotificationCenter::defaultCenter().addObserver(
        this, Notifications::ComboBoxChanged, [this](const Notification& n) { comboBoxSelectChanged(n); });

    if (m_nTabButtonH > 0) {
        const QSize tab(m_nTabButtonW, m_nTabButtonH);
        auto makeTab = [&](const char* name, const QString& title) {
            auto* b = new BitmapButton(tab, this);
            b->setObjectName(QString::fromLatin1(name));
            b->setBitmapButton(
                QStringLiteral("bg_calendar_tab_n.png"), QStringLiteral("bg_calendar_tab_d.png"),
                QStringLiteral("bg_calendar_tab_f.png"), QStringLiteral("bg_calendar_tab_n.png"));
            b->setBitmapTitle(title);
            return b;
        };
        m_CalendarTabButton = makeTab("CalendarTab", pmLoadString(QStringLiteral("IDS_CALENDAR")));
        m_AllTabButton = makeTab("AllTab", pmLoadString(QStringLiteral("IDS_ALL")));
        connect(m_CalendarTabButton, &BitmapButton::clicked, this, &CalendarView::calendarTabButtonPressed);
        connect(m_AllTabButton, &BitmapButton::clicked, this, &CalendarView::allTabButtonPressed);
        checkTabButton();
    }
}

void CalendarView::applyFrames()
{
    const int h = height();
    m_prevButton->setGeometry(pmQtRect(m_layout.prev, h));
    m_nextButton->setGeometry(pmQtRect(m_layout.next, h));
    oYearComboBox->move(pmQtRect(m_layout.year, h).topLeft());
    oMonthComboBox->move(pmQtRect(m_layout.month, h).topLeft());
    m_modeButton->setGeometry(pmQtRect(m_layout.modeButton, h));
    if (m_CalendarTabButton)
        m_CalendarTabButton->setGeometry(pmQtRect(m_layout.calendarTab, h));
    if (m_AllTabButton)
        m_AllTabButton->setGeometry(pmQtRect(m_layout.allTab, h));
    const bool calendarControls = nCalendarMode == 0 && !bShrinkMode;
    m_prevButton->setVisible(calendarControls);
    m_nextButton->setVisible(calendarControls);
    oYearComboBox->setVisible(calendarControls);
    oMonthComboBox->setVisible(calendarControls);
}

void CalendarView::resizeEvent(QResizeEvent*)
{
    applyFrames();
}

void CalendarView::syncBoxes()
{
    oYearComboBox->setCurSel(std::max(0, nSelectYear - calendar::kFirstYear));
    oMonthComboBox->setCurSel(nSelectMonth - 1);
}

void CalendarView::GetSelectDay(short& year, short& month, short& day) const
{
    year = static_cast<short>(nFocusYear);
    month = static_cast<short>(nFocusMonth);
    day = static_cast<short>(nFocusDay);
}

void CalendarView::SetActivateDay(int year, int month, int day)
{
    if (year > calendar::kLastYear || !calendar::isValidDate(year, month, day))
        return;
    const calendar::YearMonth shown = calendar::clampToRange({year, month});
    nSelectYear = shown.year;
    nSelectMonth = shown.month;
    nSelectDay = day;
    nFocusYear = year;
    nFocusMonth = month;
    nFocusDay = day;
    syncBoxes();
    xCheckVideoExist();
    update();
}

void CalendarView::VideoLibIsReady()
{
    bReadyToCheckVideoLib = true;
    xCheckVideoExist();
    update();
}

void CalendarView::xCheckVideoExist()
{
    m_grid = calendar::monthGrid(nSelectYear, nSelectMonth);
    bShowExistMark.fill(false);
    if (!bReadyToCheckVideoLib || !m_dayHasMedia)
        return;
    for (int i = 0; i < calendar::kGridCells; ++i) {
        const calendar::Date& d = m_grid.cells[size_t(i)];
        bShowExistMark[size_t(i)] = m_dayHasMedia(d.year, d.month, d.day);
    }
}

void CalendarView::prevButtonPressed()
{
    const calendar::YearMonth ym = calendar::previousMonth({nSelectYear, nSelectMonth});
    nSelectYear = ym.year;
    nSelectMonth = ym.month;
    syncBoxes();
    xCheckVideoExist();
    update();
}

void CalendarView::nextButtonPressed()
{
    const calendar::YearMonth ym = calendar::nextMonth({nSelectYear, nSelectMonth});
    nSelectYear = ym.year;
    nSelectMonth = ym.month;
    syncBoxes();
    xCheckVideoExist();
    update();
}

void CalendarView::comboBoxSelectChanged(const Notification& n)
{
    const QString who = n.userInfo.value(QStringLiteral("COMBO_WINDOW")).toString();
    const int index = n.object.toInt();
    if (who == pmIdentityString(oYearComboBox))
        nSelectYear = calendar::kFirstYear + std::clamp(index, 0, calendar::kLastYear - calendar::kFirstYear);
    else if (who == pmIdentityString(oMonthComboBox))
        nSelectMonth = 1 + std::clamp(index, 0, 11);
    else
        return;
    xCheckVideoExist();
    update();
}

void CalendarView::setMode(int mode)
{
    nCalendarMode = mode;
    m_modeButton->setBitmapTitle(
        pmLoadString(mode == 0 ? QStringLiteral("IDS_ALL") : QStringLiteral("IDS_CALENDAR")));
    applyFrames();
    update();
    if (m_showCalendar)
        m_showCalendar(mode == 0);
}

void CalendarView::modeButtonPressed()
{
    setMode(nCalendarMode == 0 ? 1 : 0);
}

void CalendarView::calendarTabButtonPressed()
{
    if (nCalendarMode == 1)
        modeButtonPressed();
    checkTabButton();
}

void CalendarView::allTabButtonPressed()
{
    if (nCalendarMode == 0)
        modeButtonPressed();
    checkTabButton();
}

void CalendarView::checkTabButton()
{
    if (m_CalendarTabButton)
        m_CalendarTabButton->checkButton(nCalendarMode == 0);
    if (m_AllTabButton)
        m_AllTabButton->checkButton(nCalendarMode == 1);
}

void CalendarView::shrinkCalendarView(bool shrink)
{
    bShrinkMode = shrink;
    m_layout.placeModeAndTabs(shrink);
    applyFrames();
    update();
}

void CalendarView::relayoutContents(bool rightToLeft)
{
    bDrawR2L = rightToLeft;
    m_layout = CalendarLayout::compute(m_backgroundPatternImage.width(), m_backgroundPatternImage.height(),
                                       m_nTabButtonH, bDrawR2L, bShrinkMode);
    m_prevButton->setButtonFlipped(rightToLeft);
    m_nextButton->setButtonFlipped(rightToLeft);
    oYearComboBox->relayoutContents(rightToLeft);
    oMonthComboBox->relayoutContents(rightToLeft);
    applyFrames();
    update();
}

void CalendarView::changeLanguage()
{
    if (m_CalendarTabButton)
        m_CalendarTabButton->setBitmapTitle(pmLoadString(QStringLiteral("IDS_CALENDAR")));
    if (m_AllTabButton)
        m_AllTabButton->setBitmapTitle(pmLoadString(QStringLiteral("IDS_ALL")));
    m_modeButton->setBitmapTitle(
        pmLoadString(nCalendarMode == 0 ? QStringLiteral("IDS_ALL") : QStringLiteral("IDS_CALENDAR")));
    update();
}

void CalendarView::loadSkinBitmap()
{
    loadImages();
    for (BitmapButton* b : {m_prevButton, m_nextButton, m_modeButton, m_CalendarTabButton, m_AllTabButton}) {
        if (b)
            b->reloadBitmaps();
    }
    oYearComboBox->loadSkinBitmap();
    oMonthComboBox->loadSkinBitmap();
    changeTextColor();
    applyFrames();
    update();
}

void CalendarView::changeTextColor()
{
    const int skin = listskin::skinId();
    m_modeButton->setTitleColor(skin == 0 || skin == 3 ? Qt::white : Qt::black);
}

void CalendarView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int h = height();
    p.fillRect(rect(), Qt::black);
    if (bShrinkMode) {
        // Without tabs the strip shows the top of the background image.
        if (m_nTabButtonH == 0 && !m_backgroundPatternImage.isNull() &&
            m_backgroundPatternImage.height() > 201) {
            const int part = m_backgroundPatternImage.height() - 201;
            p.drawPixmap(QPoint(0, h - part), m_backgroundPatternImage,
                         QRect(0, 0, m_backgroundPatternImage.width(), part));
        }
        return;
    }
    if (!m_backgroundPatternImage.isNull())
        p.drawPixmap(0, h - m_backgroundPatternImage.height(), m_backgroundPatternImage);

    // The strip is 12 points high. A Japanese glyph fills its whole em, so at
    // 10 pixels or more it touches the strip's edges and looks cut off at the
    // top and bottom; 9 pixels leaves a clear row above and below.
    p.setFont(listskin::uiFont(9));
    for (int d = 1; d <= 7; ++d) {
        p.setPen(d == 1 || d == 7 ? QColor(125, 15, 15) : QColor(Qt::white));
        p.drawText(pmQtRect(m_layout.weekLabels[size_t(d - 1)], h), Qt::AlignCenter | Qt::TextDontClip,
                   pmLoadString(QStringLiteral("IDS_WEEK_%1").arg(d)));
    }

    p.setFont(listskin::uiFont(14));
    const calendar::Date focus{nFocusYear, nFocusMonth, nFocusDay};
    for (int r = 0; r < calendar::kGridRows; ++r) {
        for (int c = 0; c < calendar::kGridColumns; ++c) {
            const int i = r * 7 + c;
            const calendar::Date& date = m_grid.cells[size_t(i)];
            const QRect cell = cellQtRect(r, c);
            QColor colour = !m_grid.inMonth[size_t(i)] ? QColor(100, 100, 100)
                            : (c == 0 || c == 6)       ? QColor(200, 0, 0)
                                                       : QColor(32, 32, 32);
            const bool isFocus = date == focus;
            if (isFocus) {
                colour = Qt::white;
                if (!todayMarkBitmap.isNull()) {
                    // The cell-sized piece at the image's bottom-left origin.
                    const int pieceH = std::min(CalendarLayout::kCellHeight, todayMarkBitmap.height());
                    p.drawPixmap(QPoint(cell.left(), cell.bottom() + 1 - pieceH), todayMarkBitmap,
                                 QRect(0, todayMarkBitmap.height() - pieceH, cell.width(), pieceH));
                }
            }
            if (bShowExistMark[size_t(i)]) {
                const QPixmap& icon = isFocus ? videoExistBitmap2 : videoExistBitmap1;
                if (!icon.isNull())
                    p.drawPixmap(cell.left(), cell.bottom() + 1 - icon.height(), icon);
            }
            p.setPen(colour);
            p.drawText(cell, Qt::AlignCenter, QString::number(date.day));
        }
    }
}

void CalendarView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_lastPressTime = static_cast<qint64>(event->timestamp());
    clickAt(event->position().toPoint());
}

void CalendarView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The platform's second press already reported this click.
    if (event->button() != Qt::LeftButton || static_cast<qint64>(event->timestamp()) == m_lastPressTime)
        return;
    clickAt(event->position().toPoint());
}

void CalendarView::clickAt(const QPoint& qtPos)
{
    if (bShrinkMode)
        return; // no grid is shown
    const int cellIndex = m_layout.cellAt(qtPos.x(), bottomUpY(qtPos.y(), height()));
    if (cellIndex < 0 || !m_grid.inMonth[size_t(cellIndex)])
        return;
    const calendar::Date& d = m_grid.cells[size_t(cellIndex)];
    nFocusYear = d.year;
    nFocusMonth = d.month;
    nFocusDay = d.day;
    QVariantMap info;
    info.insert(QStringLiteral("CALENDAR_WINDOW"), pmIdentityString(this));
    NotificationCenter::defaultCenter().post(Notifications::CalendarSelChanged, QVariant(), info);
    update();
}
