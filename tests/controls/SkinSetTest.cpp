// The generated skins: every image the panels ask for exists in all four
// skins and all four states, at the sizes the layouts are built around, and
// each skin has its own colours.
#include "base/Services.h"
#include "base/Skin.h"

#include <QFile>
#include <QImage>
#include <QSet>
#include <gtest/gtest.h>

namespace
{

// Base names of the skin images the panels and dialogs use (state suffixes
// "_d", "_f", "_g" stripped; "list_d.png" is the pressed state of "list").
const char* const kSkinBases[] = {"arrow_x1",
                                  "arrow_x2",
                                  "arrow_y1",
                                  "arrow_y2",
                                  "arrow_z1",
                                  "arrow_z2",
                                  "bg_calendar_tab",
                                  "bg_calendar_tab_n",
                                  "bg_calendar_title",
                                  "bg_map",
                                  "button_360_down",
                                  "button_360_left",
                                  "button_360_reset",
                                  "button_360_right",
                                  "button_360_up",
                                  "button_backup",
                                  "button_bar_down",
                                  "button_bar_up",
                                  "button_calendar",
                                  "button_calendar_back",
                                  "button_calendar_next",
                                  "button_capture",
                                  "button_enter",
                                  "button_export",
                                  "button_facebook",
                                  "button_full",
                                  "button_full1",
                                  "button_full1_map",
                                  "button_full_map",
                                  "button_next",
                                  "button_open",
                                  "button_pause",
                                  "button_play",
                                  "button_play_previous",
                                  "button_playback",
                                  "button_playback1-2",
                                  "button_playback1.5",
                                  "button_playback1",
                                  "button_playback2",
                                  "button_previous",
                                  "button_print",
                                  "button_print_camera1",
                                  "button_print_camera12",
                                  "button_print_camera2",
                                  "button_settings",
                                  "button_window_switch",
                                  "button_youtube",
                                  "calendar_background",
                                  "calendar_checkbox",
                                  "calendar_list_bg_1",
                                  "calendar_list_bg_2",
                                  "calendar_list",
                                  "calendar_pic",
                                  "calendar_uncheckbox",
                                  "enter_calendar",
                                  "gps_link",
                                  "gps_panel_bg",
                                  "icon_calendar_black",
                                  "icon_calendar_white",
                                  "icon_event",
                                  "icon_m1",
                                  "icon_parking",
                                  "icon_play",
                                  "icon_volume_off",
                                  "icon_volume_on",
                                  "km_gps",
                                  "km_map",
                                  "list_bg_1",
                                  "list_bg_2",
                                  "list",
                                  "map_disable",
                                  "map_no_gps",
                                  "playbar_background",
                                  "scrollbar_background",
                                  "slider",
                                  "toolbar_background",
                                  "track_bar_bg",
                                  "track_bar_full",
                                  "volume_bg",
                                  "volume_button",
                                  "volume_full",
                                  "G-Sensor Screen_bg",
                                  "G-Sensor Screen_default",
                                  "G-Sensor Screen_disable"};

const char* const kStates[] = {"", "_d", "_f", "_g"};

QString skinPath(int skinId, const QString& name)
{
    return QStringLiteral(":/images/skin_%1_%2").arg(skinId + 1, 2, 10, QLatin1Char('0')).arg(name);
}

QImage skinImage(int skinId, const QString& name)
{
    return QImage(skinPath(skinId, name));
}

} // namespace

TEST(SkinSet, EveryImageExistsInEverySkinAndState)
{
    QStringList missing;
    for (int skin = 0; skin < 4; ++skin) {
        for (const char* base : kSkinBases) {
            for (const char* state : kStates) {
                const QString name =
                    QStringLiteral("%1%2.png").arg(QLatin1String(base), QLatin1String(state));
                if (!QFile::exists(skinPath(skin, name)))
                    missing << skinPath(skin, name);
            }
        }
        // The map bar's slice width comes from a bitmap.
        if (skinImage(skin, "bg_map_info.bmp").isNull())
            missing << skinPath(skin, "bg_map_info.bmp");
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join('\n').toStdString();
    for (const char* own : {"G-Sensor Screen_disable.png", "GSensorGraphic.png", "icon_logo_talvern.png"})
        EXPECT_FALSE(pmLoadAppImage(own).isNull()) << own;
    EXPECT_EQ(pmLoadAppImage("GSensorGraphic.png").size(), QSize(238, 63));
}

// The controls ask for their four images by the names Skin::stateImageNames
// makes from a base name given with or without ".png"; a dot inside a base
// name ("button_playback1.5") is part of the name.
TEST(SkinSet, TheStateNamesTheControlsAskForAllExist)
{
    QStringList missing;
    for (int skin = 0; skin < 4; ++skin)
        for (const char* base : kSkinBases)
            for (const QString& given :
                 {QString::fromLatin1(base), QLatin1String(base) + QStringLiteral(".png")})
                for (const QString& name : Skin::stateImageNames(given))
                    if (!QFile::exists(skinPath(skin, name)))
                        missing << given + QStringLiteral(" -> ") + name;
    EXPECT_TRUE(missing.isEmpty()) << missing.join('\n').toStdString();
    EXPECT_EQ(Skin::stateImageName(QStringLiteral("button_playback1.5"), Skin::Pressed),
              QStringLiteral("button_playback1.5_d.png"));
    EXPECT_EQ(Skin::stateImageName(QStringLiteral("bg_map_info.bmp"), Skin::Disabled),
              QStringLiteral("bg_map_info_g.bmp"));
}

TEST(SkinSet, ImagesHaveTheSizesTheLayoutsUse)
{
    struct Expect {
        const char* name;
        QSize size;
    };
    const Expect sizes[] = {
        {"button_open.png", {37, 29}},
        {"button_window_switch.png", {37, 29}},
        {"toolbar_background.png", {64, 29}},
        {"playbar_background.png", {64, 44}},
        {"button_previous.png", {32, 44}},
        {"button_next.png", {32, 44}},
        {"button_play.png", {52, 44}},
        {"button_pause.png", {52, 44}},
        {"button_playback1.5.png", {39, 44}},
        {"icon_volume_off.png", {32, 44}},
        {"button_full1.png", {50, 44}},
        {"volume_bg.png", {70, 44}},
        {"track_bar_full.png", {260, 44}},
        {"button_calendar_back_g.png", {21, 18}},
        {"button_calendar.png", {91, 25}},
        {"bg_calendar_tab_d.png", {145, 30}},
        {"enter_calendar.png", {67, 27}},
        {"calendar_pic_d.png", {41, 31}},
        {"bg_calendar_title.png", {291, 31}},
        {"calendar_background.png", {291, 242}},
        {"button_full_map.png", {34, 20}},
        {"km_map.png", {42, 20}},
        {"km_gps.png", {48, 20}},
        {"gps_link.png", {42, 28}},
        {"button_print_camera12_d.png", {76, 35}},
        {"button_360_reset_f.png", {24, 24}},
        {"G-Sensor Screen_bg.png", {340, 212}},
        {"G-Sensor Screen_default_d.png", {340, 212}},
    };
    for (int skin = 0; skin < 4; ++skin)
        for (const Expect& e : sizes)
            EXPECT_EQ(skinImage(skin, e.name).size(), e.size) << skin << " " << e.name;

    for (int skin = 0; skin < 4; ++skin) {
        // The time slider's thumb leaves 238 points of travel: the G-sensor graph's width.
        EXPECT_EQ(260 - skinImage(skin, "volume_button.png").width(), 238);
        // A file list row holds two lines of text: at least 44 high.
        const QImage row = skinImage(skin, "list_d.png");
        EXPECT_GE(row.height(), 44);
        EXPECT_EQ(skinImage(skin, "list_bg_1.png").size(), row.size());
        // The drop-down shows 8 rows in 144 points beside a scroll bar.
        EXPECT_EQ(skinImage(skin, "calendar_list_d.png").height() * 8, 144);
        EXPECT_EQ(skinImage(skin, "calendar_list_bg_1.png").width() +
                      skinImage(skin, "button_bar_up.png").width(),
                  67);
    }
}

TEST(SkinSet, StatesDifferAndEachSkinHasItsOwnColours)
{
    for (int skin = 0; skin < 4; ++skin) {
        for (const char* base : {"button_open", "button_play", "button_playback2", "calendar_checkbox",
                                 "slider", "button_calendar_next", "button_360_up", "km_map"}) {
            QSet<QByteArray> looks;
            for (const char* state : kStates) {
                const QImage img = skinImage(skin, QStringLiteral("%1%2.png").arg(base, state));
                looks.insert(QByteArray(reinterpret_cast<const char*>(img.constBits()), img.sizeInBytes()));
            }
            EXPECT_EQ(looks.size(), 4) << skin << " " << base;
        }
    }
    // The same image differs between every pair of skins.
    for (const char* name : {"toolbar_background.png", "button_play.png", "list_d.png", "calendar_pic_d.png",
                             "track_bar_full.png", "bg_calendar_tab_d.png"}) {
        for (int a = 0; a < 4; ++a)
            for (int b = a + 1; b < 4; ++b)
                EXPECT_NE(skinImage(a, name), skinImage(b, name)) << name << " " << a << "/" << b;
    }
    // The axis colour is read from the centre pixel of each positive arrow: three distinct, opaque colours.
    for (int skin = 0; skin < 4; ++skin) {
        QSet<QRgb> colours;
        for (const char* arrow : {"arrow_x1.png", "arrow_y1.png", "arrow_z1.png"}) {
            const QImage img = skinImage(skin, arrow);
            const QColor c = img.pixelColor(img.width() / 2, img.height() / 2);
            EXPECT_EQ(c.alpha(), 255) << arrow;
            colours.insert(c.rgb());
        }
        EXPECT_EQ(colours.size(), 3);
    }
}

TEST(SkinSet, TheSkinInForcePicksTheImageSet)
{
    const int saved = Skin::readId();
    for (int skin = 0; skin < 4; ++skin) {
        Skin::saveId(skin);
        EXPECT_EQ(pmLoadSkinImage("button_play.png").toImage(),
                  skinImage(skin, "button_play.png")
                      .convertToFormat(pmLoadSkinImage("button_play.png").toImage().format()));
    }
    EXPECT_TRUE(pmLoadSkinImage("no_such_image.png").isNull());
    Skin::saveId(saved);
}
