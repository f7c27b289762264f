// How the window and the program's own dialogs look: the calendar's weekday
// row and the map's information bar leave their texts room, and every dialog
// is dark like the main window.
#include "WindowTestSupport.h"
#include "app/AboutDialog.h"
#include "base/QtFrame.h"
#include "controls/BackupDlg.h"
#include "controls/CalendarView.h"
#include "controls/CapturePreviewDlg.h"
#include "controls/ProgressDlg.h"
#include "upload/EditUploadDlg.h"
#include "upload/LoginDlg.h"
#include "views/PrintWindowController.h"
#include <QPainter>

using namespace windowtest;

namespace
{

class WindowLook : public DemoCardWindow
{
};

// The rows of an image region that hold text of this colour (within a tolerance).
std::pair<int, int> inkRows(const QImage& image, const QRect& area, const QColor& colour)
{
    int top = -1, bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
                std::abs(c.blue() - colour.blue()) < 40) {
                if (top < 0)
                    top = y;
                bottom = y;
                break;
            }
        }
    return {top, bottom};
}

TEST_F(WindowLook, WeekdayRowSpeedFigureAndInfoTextHaveRoom)
{
    auto d = launch();
    openAndPause(*d);
    // The weekday row: each name lies wholly inside its strip, with a row of
    // strip left above and below it.
    CalendarView* cal = d->calendar();
    const QImage calShot = cal->grab().toImage();
    saveShot(enlarged(calShot.copy(0, 0, calShot.width(), std::min(calShot.height(), 120)), 3),
             QStringLiteral("look-calendar"));
    const CalendarLayout& layout = cal->layoutModel();
    const QRect strip = pmQtRect(layout.weekLabels[1], cal->height());
    // Monday's name (white on the dark strip), searched from the rule above
    // the strip to the strip's last row above the day grid.
    const auto rows = inkRows(calShot, strip.adjusted(0, -1, 0, 1), Qt::white);
    ASSERT_GE(rows.first, 0) << "no weekday name drawn";
    EXPECT_GT(rows.first, strip.top()) << "the name touches the top of its strip";
    EXPECT_LT(rows.second, strip.bottom()) << "the name touches the bottom of its strip";

    // The map's information bar: the speed figure keeps clear of the unit
    // pill, and the text at the left starts off the edge.
    MapView* map = d->mapView();
    const QImage mapShot = map->grab().toImage();
    const int barTop = map->height() - 26 > 0 ? map->height() - 30 : 0;
    saveShot(enlarged(mapShot.copy(0, barTop, std::min(mapShot.width(), 420), map->height() - barTop), 3),
             QStringLiteral("look-infobar"));
    const QRect text = pmQtRect(map->getSpeedUnitTextRect(), map->height());
    const QRect pill = pmQtRect(map->getSpeedUnitBtnRect(), map->height());
    EXPECT_LE(text.right() + 4, pill.left()) << "the speed figure touches the unit pill";
    // Left margin: no white text in the first columns of the bar.
    int firstInk = -1;
    for (int x = 0; x < 40 && firstInk < 0; ++x)
        for (int y = barTop; y < map->height(); ++y) {
            const QColor c = mapShot.pixelColor(x, y);
            if (c.lightness() > 200) {
                firstInk = x;
                break;
            }
        }
    EXPECT_GE(firstInk, 6) << "the information text starts at the bar's edge";
    d->applicationWillTerminate();
}

TEST_F(WindowLook, TheProgramsDialogsAreDarkLikeTheWindow)
{
    auto d = launch();
    QWidget* parent = d->window();
    QImage frame(640, 360, QImage::Format_RGB32);
    frame.fill(QColor(60, 90, 120));
    PrintPageData page;
    page.videoImage = frame;
    page.printDate = QDate(2024, 5, 19);
    std::vector<QPointer<QDialog>> dialogs = {
        new BackupDlg(d->playlist(), parent),
        new ProgressDlg(std::make_shared<BackupProgress>(), parent),
        new CapturePreviewDlg(frame, QImage(), parent),
        new PrintWindowController(page, parent),
        new EditUploadDlg(d->playlist(), parent),
        new AboutDialog(parent),
    };
    pmSetStringSetting(SettingsKeys::socialNetworkWebUrl.key(), QStringLiteral("http://127.0.0.1:9"));
    dialogs.push_back(new LoginDlg(parent));
    QImage sheet(1300, 1500, QImage::Format_RGB32);
    sheet.fill(Qt::gray);
    QPainter painter(&sheet);
    int x = 0, y = 0, rowH = 0;
    for (const QPointer<QDialog>& dlg : dialogs) {
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg));
        QTest::qWait(300);
        const QImage shot = dlg->grab().toImage();
        const std::string name = dlg->metaObject()->className();
        EXPECT_LT(dlg->palette().color(QPalette::Window).lightness(), 80) << name;
        EXPECT_GT(dlg->palette().color(QPalette::WindowText).lightness(), 170) << name;
        // The background itself, a point in from the bottom-left corner.
        EXPECT_LT(shot.pixelColor(2, shot.height() - 3).lightness(), 80) << name;
        const QImage small = shot.scaled(shot.size().boundedTo(QSize(640, 440)), Qt::KeepAspectRatio,
                                         Qt::SmoothTransformation);
        if (x + small.width() > sheet.width()) {
            x = 0;
            y += rowH + 4;
            rowH = 0;
        }
        painter.drawImage(x, y, small);
        x += small.width() + 4;
        rowH = std::max(rowH, small.height());
        dlg->close();
        QTest::qWait(100);
    }
    painter.end();
    saveShot(sheet, QStringLiteral("look-dialogs"));
    for (const QPointer<QDialog>& dlg : dialogs)
        delete dlg.data();
    QSettings().remove(SettingsKeys::socialNetworkWebUrl.key());
    d->applicationWillTerminate();
}
} // namespace
