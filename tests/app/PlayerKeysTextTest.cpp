// Which keys the player answers, and how it tells the user about them: the
// About box's list in both string tables.
#include "app/AboutDialog.h"
#include "base/PlayerKeys.h"
#include "base/Services.h"

#include <QLabel>
#include <QTranslator>
#include <gtest/gtest.h>

TEST(PlayerKeys, KeysWithCtrlAltOrMetaAndShiftOutsideTheArrowsAreLeftAlone)
{
    EXPECT_EQ(pmPlayerKeyFor(Qt::Key_Space, Qt::NoModifier), PlayerKey::PlayPause);
    EXPECT_EQ(pmPlayerKeyFor(Qt::Key_Left, Qt::NoModifier), PlayerKey::SeekBack);
    EXPECT_EQ(pmPlayerKeyFor(Qt::Key_Right, Qt::ShiftModifier), PlayerKey::FrameForward);
    // The keypad's arrows and page keys are the same keys.
    EXPECT_EQ(pmPlayerKeyFor(Qt::Key_Left, Qt::KeypadModifier | Qt::ShiftModifier), PlayerKey::FrameBack);
    EXPECT_EQ(pmPlayerKeyFor(Qt::Key_PageDown, Qt::KeypadModifier), PlayerKey::NextRecording);
    // Ctrl+A and friends belong to others (and select nothing here).
    for (Qt::KeyboardModifier m : {Qt::ControlModifier, Qt::AltModifier, Qt::MetaModifier})
        for (int key : {Qt::Key_A, Qt::Key_Space, Qt::Key_Left, Qt::Key_M, Qt::Key_F, Qt::Key_Escape})
            EXPECT_EQ(pmPlayerKeyFor(key, m), PlayerKey::None) << key << " " << m;
    for (int key : {Qt::Key_Space, Qt::Key_M, Qt::Key_E, Qt::Key_PageUp, Qt::Key_Up})
        EXPECT_EQ(pmPlayerKeyFor(key, Qt::ShiftModifier), PlayerKey::None) << key;
    EXPECT_EQ(pmPlayerKeyFor(Qt::Key_A, Qt::NoModifier), PlayerKey::None);
    // Holding a key repeats seeks, steps and volume, never a toggle.
    EXPECT_TRUE(pmPlayerKeyRepeats(PlayerKey::SeekForward));
    EXPECT_TRUE(pmPlayerKeyRepeats(PlayerKey::VolumeDown));
    EXPECT_FALSE(pmPlayerKeyRepeats(PlayerKey::PlayPause));
    EXPECT_FALSE(pmPlayerKeyRepeats(PlayerKey::FullScreen));
}

TEST(PlayerKeys, TheAboutBoxListsEveryKeyWithItsTextInBothTables)
{
    pmInstallStringTables();
    AboutDialog about;
    const auto* list = about.findChild<QLabel*>(QStringLiteral("aboutShortcuts"));
    ASSERT_NE(list, nullptr);
    const QString text = list->text();
    for (const char* key : {"Space", "Left", "Right", "Shift+Left", "Shift+Right", "PgUp", "PgDown", "Up",
                            "Down", "<b>M</b>", "<b>F</b>", "Esc", "<b>E</b>"})
        EXPECT_TRUE(text.contains(QLatin1String(key))) << key;
    EXPECT_FALSE(text.contains(QLatin1String("IDS_"))) << text.toStdString(); // no id left untranslated
    EXPECT_TRUE(text.contains(pmLoadString(QStringLiteral("IDS_KEY_EVENT")).toHtmlEscaped()));
    EXPECT_EQ(pmPlayerShortcutRows().size(), 9);

    QTranslator en, ja;
    ASSERT_TRUE(en.load(":/i18n/English.qm"));
    ASSERT_TRUE(ja.load(":/i18n/Japanese.qm"));
    for (const char* id : {"IDS_KEYBOARD", "IDS_KEY_PLAY_PAUSE", "IDS_KEY_SEEK", "IDS_KEY_FRAME_STEP",
                           "IDS_KEY_PREV_NEXT", "IDS_KEY_VOLUME", "IDS_SOUND_MUTE", "IDS_KEY_FULL_SCREEN",
                           "IDS_KEY_LEAVE_FULL_SCREEN", "IDS_KEY_EVENT"}) {
        EXPECT_FALSE(en.translate(nullptr, id).isEmpty()) << id;
        EXPECT_FALSE(ja.translate(nullptr, id).isEmpty()) << id;
    }
}
