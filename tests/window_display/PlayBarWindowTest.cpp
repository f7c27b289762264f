// The play bar and the toolbar on the running window: the speed button's
// picture at every rate and skin, and every bar button's tooltip with its key.
#include "WindowTestSupport.h"
#include "base/Skin.h"
#include "controls/BitmapButton.h"
#include "controls/MultiButtons.h"
#include "controls/ToolbarView.h"
#include <QToolTip>

using namespace windowtest;

namespace
{

// Pixels of a row that differ clearly from the row's first pixel: zero for a
// button that shows only the bar's background behind it.
int inkPixels(const QImage& image)
{
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QColor base = image.pixelColor(0, y);
        for (int x = 1; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - base.red()) + std::abs(c.green() - base.green()) +
                    std::abs(c.blue() - base.blue()) >
                60)
                ++ink;
        }
    }
    return ink;
}

class PlayBarWindow : public DemoCardWindow
{
};

TEST_F(PlayBarWindow, TheSpeedButtonShowsItsOwnPictureAtEveryRate)
{
    auto d = launch();
    MultiButtons* speed = d->playBar()->poSpeedBtn();
    ASSERT_TRUE(speed && speed->isVisible());
    for (int skin = 0; skin < Skin::kCount; ++skin) {
        d->skinMenuItemClicked(skin);
        QTest::qWait(100);
        ASSERT_EQ(speed->getCurButtonIndex(), 0);
        QImage previous;
        // 1 -> 1.5 -> 2 -> 1/4 -> 1/2 -> 1: each step shows a picture of its own.
        for (int step = 1; step <= 5; ++step) {
            QTest::mouseClick(speed, Qt::LeftButton);
            QTest::mouseMove(d->playBar(), QPoint(2, 2)); // off the button: its resting picture
            QTest::qWait(50);
            const int index = step % 5;
            EXPECT_EQ(speed->getCurButtonIndex(), index);
            const QImage shot = speed->grab().toImage();
            EXPECT_GT(inkPixels(shot), 40) << "skin " << skin << ", index " << index << " shows no picture";
            if (!previous.isNull()) {
                EXPECT_NE(shot, previous) << "skin " << skin << ", index " << index;
            }
            previous = shot;
            if (skin == Skin::kDefaultId && index == 1) {
                const QImage bar = d->playBar()->grab(QRect(0, 0, 330, d->playBar()->height())).toImage();
                saveShot(enlarged(bar, 3), QStringLiteral("playbar-speed"));
            }
        }
    }
    d->applicationWillTerminate();
}

TEST_F(PlayBarWindow, EveryBarButtonShowsItsTooltipWithItsKey)
{
    auto d = launch();
    ASSERT_TRUE(d->isDualCameraMode());
    ToolbarView* tb = d->toolbar();
    PlayControlView* pb = d->playBar();
    struct Case {
        QWidget* button;
        QString key; // the key named in the tip, if the button has one
    };
    const std::vector<Case> cases = {
        {tb->oBrowseBtn(), {}},
        {tb->oPrintBtn(), {}},
        {tb->oBackupBtn(), {}},
        {tb->oCaptureBtn(), {}},
        {tb->oExportBtn(), {}},
        {tb->oUploadYouTubeBtn(), {}},
        {tb->oSettingBtn(), {}},
        {tb->oWindowSwitchBtn(), {}},
        {pb->poPrevBtn(), QStringLiteral("PgUp")},
        {pb->poNextBtn(), QStringLiteral("PgDown")},
        {pb->poPlayBtn(), QStringLiteral("Space")},
        {pb->poSpeedBtn(), {}},
        {pb->poVolumeBtn(), QStringLiteral("M")},
        {pb->poFullScreenBtn(), QStringLiteral("F")},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.button);
        ASSERT_TRUE(c.button->isVisible()) << c.button->objectName().toStdString();
        const QString tip = c.button->toolTip();
        EXPECT_FALSE(tip.isEmpty()) << c.button->objectName().toStdString();
        EXPECT_FALSE(tip.startsWith(QLatin1String("IDS_"))) << tip.toStdString();
        if (!c.key.isEmpty()) {
            EXPECT_TRUE(tip.endsWith(QStringLiteral("(%1)").arg(c.key))) << tip.toStdString();
        }
        QToolTip::hideText();
        QTest::mouseMove(d->window()->windowHandle(), QPoint(640, 400));
        QTest::qWait(50);
        QTest::mouseMove(d->window()->windowHandle(),
                         c.button->mapTo(d->window(), c.button->rect().center()));
        const bool shown =
            QTest::qWaitFor([&] { return QToolTip::isVisible() && QToolTip::text() == tip; }, 4000);
        EXPECT_TRUE(shown) << "no tooltip over " << c.button->objectName().toStdString();
        if (c.button == tb->oWindowSwitchBtn()) {
            // The camera-swap icon says what it does.
            EXPECT_TRUE(tip.contains(QLatin1String("camera"), Qt::CaseInsensitive) ||
                        tip.contains(QStringLiteral("カメラ")))
                << tip.toStdString();
            QTest::qWait(400); // the tip's window repainted with its new text
            const QImage screen = screenShot();
            const QPoint at = c.button->mapToGlobal(QPoint(0, 0));
            saveShot(screen.copy(QRect(at.x() - 300, at.y() - 10, 700, 90)),
                     QStringLiteral("toolbar-tooltip"));
        }
    }
    QToolTip::hideText();
    d->applicationWillTerminate();
}
} // namespace
