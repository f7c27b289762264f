// What the player tells the user about its keys: the About box lists every
// key with its text from both string tables.
#include "app/AboutDialog.h"
#include "base/PlayerKeys.h"
#include "base/Services.h"

#include <QLabel>
#include <QTranslator>
#include <gtest/gtest.h>

TEST(PlayerKeys, TheAboutBoxListsEveryKeyWithItsTextInBothTables)
{
    pmInstallStringTables();
    AboutDialog about;
    const auto* list = about.findChild<QLabel*>(QStringLiteral("aboutShortcuts"));
    ASSERT_NE(list, nullptr);
    for (const char* key : {"Space", "Left / Right", "Shift+Left / Shift+Right", "PgUp / PgDown", "Up / Down",
                            "<b>M</b>", "<b>F</b>", "Esc", "<b>E / Shift+E</b>"})
        EXPECT_TRUE(list->text().contains(QLatin1String(key))) << key;
    EXPECT_TRUE(list->text().contains(pmLoadString(QStringLiteral("IDS_KEY_EVENT"))));

    QTranslator en, ja;
    ASSERT_TRUE(en.load(":/i18n/English.qm") && ja.load(":/i18n/Japanese.qm"));
    for (const char* id :
         {"IDS_KEYBOARD",          "IDS_KEY_PLAY_PAUSE", "IDS_KEY_SEEK",        "IDS_KEY_FRAME_STEP",
          "IDS_KEY_PREV_NEXT",     "IDS_KEY_VOLUME",     "IDS_KEY_FULL_SCREEN", "IDS_KEY_LEAVE_FULL_SCREEN",
          "IDS_KEY_EVENT",         "IDS_KEY_SAVE_CLIP",  "IDS_KEY_ZOOM",        "IDS_SAVE_CLIP",
          "IDS_CLIP_TITLE",        "IDS_CLIP_BEFORE",    "IDS_CLIP_AFTER",      "IDS_CLIP_CHOOSE_FOLDER",
          "IDS_CLIP_NO_RECORDING", "IDS_CLIP_SAVED",     "IDS_CLIP_FAILED",     "IDS_CLIP_OVERLAY"})
        EXPECT_FALSE(en.translate(nullptr, id).isEmpty() || ja.translate(nullptr, id).isEmpty()) << id;
    // Ctrl, Alt or Meta with a key is never the player's (Ctrl+A stays the page's or the field's).
    EXPECT_EQ(pmPlayerKeyFor(Qt::Key_Left, Qt::KeypadModifier | Qt::ShiftModifier), PlayerKey::FrameBack);
    for (Qt::KeyboardModifier m : {Qt::ControlModifier, Qt::AltModifier, Qt::MetaModifier})
        EXPECT_EQ(pmPlayerKeyFor(Qt::Key_Space, m), PlayerKey::None);
    // '+' is typed with Shift on most layouts; the keypad's comes with its own modifier.
    EXPECT_EQ(pmPlayerKeyFor(Qt::Key_Plus, Qt::ShiftModifier), PlayerKey::ZoomIn);
    EXPECT_EQ(pmPlayerKeyFor(Qt::Key_Minus, Qt::KeypadModifier), PlayerKey::ZoomOut);
    EXPECT_EQ(pmPlayerKeyFor(Qt::Key_0, Qt::NoModifier), PlayerKey::ZoomReset);
}
