// The toolbar: button frames, clicks reaching the controller's commands, the
// settings menu with the skin in force checked, and skin reloads.
#include "ControlTestSupport.h"
#include "base/Services.h"
#include "base/Skin.h"
#include "controls/BitmapButton.h"
#include "controls/PanelLayout.h"
#include "controls/ToolbarView.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

TEST(ToolbarLayout, ButtonsAlongTheTopEdgeAndMirrored)
{
    const ToolbarLayout l = toolbarLayout(false, 1000, 29);
    EXPECT_EQ(l.browse, (PmFrame{4, 0, 37, 29}));
    EXPECT_EQ(l.print.x, 41);
    EXPECT_EQ(l.backup.x, 78);
    EXPECT_EQ(l.capture.x, 115);
    EXPECT_EQ(l.exportKml.x, 152);
    EXPECT_EQ(l.uploadYouTube.x, 189);
    EXPECT_EQ(l.setting.x, 226);
    EXPECT_EQ(l.uploadFacebook.x, 263); // right of the settings button
    EXPECT_EQ(l.windowSwitch.x, 668);

    // A taller toolbar keeps every button, the open button included, on the top edge.
    const ToolbarLayout tall = toolbarLayout(false, 1000, 40, 700);
    EXPECT_EQ(tall.browse, (PmFrame{4, 11, 37, 29}));
    EXPECT_EQ(tall.setting.y, 11);
    EXPECT_EQ(tall.windowSwitch.x, 700);

    const ToolbarLayout r = toolbarLayout(true, 1000, 29);
    EXPECT_EQ(r.browse.x, 1000 - 37 - 4);
    EXPECT_EQ(r.setting.x, 1000 - 37 - 226);
    EXPECT_EQ(r.windowSwitch.x, 1000 - 37 - 668);
}

namespace
{

class Toolbar : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Skin::saveId(3);
        bar = std::make_unique<ToolbarView>();
        bar->resize(1000, 29);
        bar->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(bar.get()));
    }
    void click(BitmapButton* b) { QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center()); }
    std::unique_ptr<ToolbarView> bar;
};

} // namespace

TEST_F(Toolbar, ButtonsArePlacedAndReportTheirCommands)
{
    EXPECT_EQ(bar->oBrowseBtn()->geometry(), QRect(4, 0, 37, 29));
    EXPECT_EQ(bar->oSettingBtn()->geometry(), QRect(226, 0, 37, 29));
    EXPECT_EQ(bar->oWindowSwitchBtn()->geometry(), QRect(668, 0, 37, 29));
    EXPECT_TRUE(bar->oWindowSwitchBtn()->isHidden());
    EXPECT_FALSE(bar->oUploadFacebookBtn()->isHidden());
    EXPECT_EQ(bar->oUploadFacebookBtn()->geometry(), QRect(263, 0, 37, 29));
    EXPECT_EQ(bar->oUploadFacebookBtn()->toolTip(), pmLoadString(QStringLiteral("IDS_UPLOAD_FACEBOOK")));
    EXPECT_FALSE(bar->oBrowseBtn()->toolTip().isEmpty());

    QSignalSpy browse(bar.get(), &ToolbarView::browseRequested);
    QSignalSpy print(bar.get(), &ToolbarView::printRequested);
    QSignalSpy backup(bar.get(), &ToolbarView::backupRequested);
    QSignalSpy capture(bar.get(), &ToolbarView::captureRequested);
    QSignalSpy exportKml(bar.get(), &ToolbarView::exportRequested);
    QSignalSpy youTube(bar.get(), &ToolbarView::uploadYouTubeRequested);
    QSignalSpy switchWindows(bar.get(), &ToolbarView::windowSwitchRequested);
    click(bar->oBrowseBtn());
    click(bar->oPrintBtn());
    click(bar->oBackupBtn());
    click(bar->oCaptureBtn());
    click(bar->oExportBtn());
    click(bar->oUploadYouTubeBtn());
    bar->oWindowSwitchBtn()->show();
    click(bar->oWindowSwitchBtn());
    for (QSignalSpy* spy : {&browse, &print, &backup, &capture, &exportKml, &youTube, &switchWindows})
        EXPECT_EQ(spy->count(), 1);

    // The controller disables commands that do not apply: no signal then.
    bar->oPrintBtn()->setEnabled(false);
    click(bar->oPrintBtn());
    EXPECT_EQ(print.count(), 1);

    // The window-switch position comes from the controller when it has one.
    bar->setSwitchButtonPositionProvider([] { return 712; });
    bar->relayoutContents(false);
    EXPECT_EQ(bar->oWindowSwitchBtn()->geometry().x(), 712);
    bar->relayoutContents(true);
    EXPECT_EQ(bar->oBrowseBtn()->geometry().x(), 1000 - 37 - 4);
    EXPECT_EQ(bar->oWindowSwitchBtn()->geometry().x(), 1000 - 37 - 712);
}

TEST_F(Toolbar, SettingsMenuChecksTheSkinInForceAndReportsChoices)
{
    QSignalSpy skin(bar.get(), &ToolbarView::skinChosen);
    QSignalSpy about(bar.get(), &ToolbarView::aboutChosen);
    for (int inForce : {3, 1}) {
        Skin::saveId(inForce);
        click(bar->oSettingBtn());
        QMenu* menu = bar->settingsMenu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->title(), "Settings");
        const QList<QAction*> items = menu->actions();
        // skins, 360-degree view, name-time placement, clip, whole trip,
        // harsh-driving threshold, attach a track, remove it, correct the
        // camera clock, language, speed unit, About
        ASSERT_EQ(items.size(), 12);
        QMenu* skins = items[0]->menu();
        ASSERT_NE(skins, nullptr);
        const QList<QAction*> styles = skins->actions();
        ASSERT_EQ(styles.size(), 4);
        for (int tag = 0; tag < 4; ++tag) {
            EXPECT_EQ(styles[tag]->data().toInt(), tag);
            EXPECT_EQ(styles[tag]->isChecked(), tag == inForce) << tag;
        }
        styles[2]->trigger();
        items.back()->trigger();
        menu->hide();
    }
    EXPECT_EQ(skin.count(), 2);
    EXPECT_EQ(skin.at(0).at(0).toInt(), 2);
    EXPECT_EQ(about.count(), 2);

    // The language items report the menu's tags (Japanese is tag 3), the unit items their unit.
    QSignalSpy language(bar.get(), &ToolbarView::languageChosen);
    QSignalSpy unit(bar.get(), &ToolbarView::speedUnitChosen);
    click(bar->oSettingBtn());
    QMenu* menu = bar->settingsMenu();
    ASSERT_NE(menu, nullptr);
    QMenu* languages = menu->findChild<QMenu*>("languageMenu");
    QMenu* units = menu->findChild<QMenu*>("speedUnitSettingsMenu");
    ASSERT_TRUE(languages && units);
    ASSERT_EQ(languages->actions().size(), 2);
    ASSERT_EQ(units->actions().size(), 2);
    languages->actions()[1]->trigger();
    units->actions()[1]->trigger();
    menu->hide();
    ASSERT_EQ(language.count(), 1);
    EXPECT_EQ(language.at(0).at(0).toInt(), 3);
    ASSERT_EQ(unit.count(), 1);
    EXPECT_EQ(unit.at(0).at(0).toInt(), 1);
}

TEST_F(Toolbar, SettingsMenu360ItemFollowsTheSurfaceAndReportsItsChoice)
{
    QSignalSpy toggled(bar.get(), &ToolbarView::view360Toggled);
    int state = -1;
    bar->setView360StateProvider([&state] { return state; });
    for (int s : {-1, 0, 1}) {
        state = s;
        click(bar->oSettingBtn());
        QMenu* menu = bar->settingsMenu();
        ASSERT_NE(menu, nullptr);
        QAction* item = menu->findChild<QAction*>(QStringLiteral("view360Item"));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->isEnabled(), s >= 0) << s;
        EXPECT_EQ(item->isChecked(), s == 1) << s;
        if (item->isEnabled())
            item->trigger();
        menu->hide();
    }
    EXPECT_EQ(toggled.count(), 2);
}

TEST_F(Toolbar, SkinChangeReloadsEveryButtonAndTheBackground)
{
    bar->loadSkinBitmap(); // every button in its normal look, whatever the pointer did
    const QImage midnight = bar->grab().toImage();
    Skin::saveId(0);
    bar->loadSkinBitmap();
    const QImage graphite = bar->grab().toImage();
    EXPECT_NE(graphite, midnight);
    // The background tile of the skin in force fills the strip.
    const QImage tile(":/images/skin_01_toolbar_background.png");
    EXPECT_EQ(graphite.pixelColor(900, 10), tile.pixelColor(900 % tile.width(), 10));
    Skin::saveId(3);
    bar->loadSkinBitmap();
    EXPECT_EQ(bar->grab().toImage(), midnight);
}
