// Settings, folders, texts, language ids, skin images and the dialog seam.
#include "AppTestSupport.h"

#include "app/AppDelegate.h"
#include "base/Services.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTranslator>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

namespace
{

class ServicesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings().clear();
        pmInstallStringTables(); // the language in force, as at start-up
    }
    void TearDown() override
    {
        QSettings().clear();
        AppDelegate::getSkinId(); // reset the cache to the (now default) setting
        pmInstallStringTables();
    }
};

TEST_F(ServicesTest, EmptySettingsGiveTheDefaultsAndAbsenceIsNotZero)
{
    EXPECT_FALSE(pmHasSetting("Volume"));
    EXPECT_EQ(pmGetIntSetting("Volume", 8), 8);
    EXPECT_EQ(pmGetIntSetting("SpeedUnit", 0), 0);
    EXPECT_EQ(AppDelegate::getSkinId(), 3);
    EXPECT_EQ(pmGetStringSetting("FB_KEY", ""), QString());
    EXPECT_EQ(pmGetCurrentFolder(), QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
    EXPECT_EQ(pmGetCaptureFolder(), QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));

    // A stored zero is a value, not an absence.
    pmSetIntSetting("Volume", 0);
    EXPECT_TRUE(pmHasSetting("Volume"));
    EXPECT_EQ(pmGetIntSetting("Volume", 8), 0);
    pmSetStringSetting("ExportFolder", "");
    EXPECT_TRUE(pmHasSetting("ExportFolder"));
    EXPECT_EQ(pmGetStringSetting("ExportFolder", "x"), QString());

    // A value that is not a number reads as the default.
    QSettings().setValue("SpeedUnit", "fast");
    EXPECT_EQ(pmGetIntSetting("SpeedUnit", 0), 0);
}

TEST_F(ServicesTest, CurrentFolderIsStoredOnlyWhenItExistsAndFallsBackWhenGone)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString card = dir.filePath("CARD");
    pmSetCurrentFolder(card); // not there yet
    EXPECT_FALSE(pmHasSetting("CurrentFolder"));

    QDir().mkpath(card);
    pmSetCurrentFolder(card);
    EXPECT_EQ(pmGetStringSetting("CurrentFolder", ""), card);
    EXPECT_EQ(pmGetCurrentFolder(), card);

    QDir(card).removeRecursively(); // the card was unplugged
    EXPECT_EQ(pmGetCurrentFolder(), pmGetMoviesFolder());
    EXPECT_EQ(pmGetStringSetting("CurrentFolder", ""), card); // remembered for next time

    pmSetCaptureFolder(dir.path());
    EXPECT_EQ(pmGetCaptureFolder(), dir.path());
    pmSetCaptureFolder(dir.filePath("missing"));
    EXPECT_EQ(pmGetCaptureFolder(), pmGetDocumentsFolder());
}

// A settings file that cannot be used (here a folder where it belongs) is
// reported, and what is set meanwhile holds for the rest of the run instead
// of being dropped at once.
TEST_F(ServicesTest, AnUnusableSettingsFileIsReportedAndValuesHoldForTheRun)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = pmSettingsFileName();
    EXPECT_EQ(pmSettingsStoreProblem(), QString());
    pmSetIntSetting("Volume", 5);
    QSettings().sync();
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QDir().mkpath(file));

    EXPECT_EQ(pmSettingsStoreProblem(), file + " is a folder");
    EXPECT_FALSE(pmHasSetting("Volume"));
    pmSetCurrentFolder(dir.path());
    EXPECT_EQ(pmGetCurrentFolder(), dir.path());
    pmSetIntSetting("Volume", 3);
    pmSetIntSetting("SKIN_ID", 1); // synchronised at once: still kept
    EXPECT_TRUE(pmHasSetting("Volume"));
    EXPECT_EQ(pmGetIntSetting("Volume", 8), 3);
    EXPECT_EQ(pmGetIntSetting("SKIN_ID", 3), 1);
    EXPECT_TRUE(QFileInfo(file).isDir());

    ASSERT_TRUE(QDir().rmdir(file));
    EXPECT_EQ(pmSettingsStoreProblem(), QString());
}

// Without HOME (or with an empty one) the account's home folder from the
// password database is used, so that nothing is made at the top of the file
// system; a HOME that is set is left alone.
TEST(HomeFolder, WithoutHomeTheAccountsOwnIsUsed)
{
    const QByteArray saved = qgetenv("HOME");
    const struct passwd* account = ::getpwuid(::getuid());
    ASSERT_TRUE(account && account->pw_dir);
    for (bool empty : {false, true}) {
        if (empty)
            qputenv("HOME", "");
        else
            qunsetenv("HOME");
        QString error;
        EXPECT_TRUE(pmEnsureHomeFolder(&error)) << error.toStdString();
        EXPECT_EQ(qgetenv("HOME"), QByteArray(account->pw_dir));
        EXPECT_EQ(QDir::homePath(), QDir(QFile::decodeName(account->pw_dir)).absolutePath());
    }
    qputenv("HOME", saved);
    EXPECT_TRUE(pmEnsureHomeFolder());
    EXPECT_EQ(qgetenv("HOME"), saved);
}

TEST_F(ServicesTest, SkinIdIsCachedClampedAndPersisted)
{
    AppDelegate::saveSkinId(1);
    EXPECT_EQ(AppDelegate::cachedSkinId(), 1);
    EXPECT_EQ(QSettings().value("SKIN_ID").toInt(), 1);
    AppDelegate::saveSkinId(9); // not a skin: ignored
    EXPECT_EQ(AppDelegate::cachedSkinId(), 1);
    QSettings().setValue("SKIN_ID", 7); // hand-edited
    EXPECT_EQ(AppDelegate::getSkinId(), 3);
    EXPECT_EQ(AppDelegate::cachedSkinId(), 3);
}

TEST_F(ServicesTest, SkinImagesAreLookedUpWithTheSkinPrefix)
{
    // A missing image is a null pixmap, never a crash.
    EXPECT_TRUE(pmLoadSkinImage("no_such_image.png").isNull());
    EXPECT_TRUE(pmLoadAppImage("no_such_image.png").isNull());
    if (!QFile::exists(":/images/skin_04_button_play.png") ||
        !QFile::exists(":/images/skin_01_button_play.png"))
        GTEST_SKIP() << "skin images are not built into this tree";
    const QImage skin4 = QPixmap(":/images/skin_04_button_play.png").toImage();
    const QImage skin1 = QPixmap(":/images/skin_01_button_play.png").toImage();
    ASSERT_NE(skin1, skin4);
    AppDelegate::saveSkinId(3);
    EXPECT_EQ(pmLoadSkinImage("button_play.png").toImage(), skin4);
    AppDelegate::saveSkinId(0);
    EXPECT_EQ(pmLoadSkinImage("button_play.png").toImage(), skin1);
}

TEST_F(ServicesTest, TextsComeFromTheTableInForceWithEnglishAndIdFallbacks)
{
    AppDelegate::saveLanguageId(19);
    EXPECT_EQ(pmLoadString("IDS_PLAY"), QString::fromUtf8("再生"));
    EXPECT_EQ(pmLoadString("IDR_MAINFRAME"), QStringLiteral("Rovix Manager"));
    // Only the English table has the degree sign.
    EXPECT_EQ(pmLoadString("IDS_UNIT_DEGREE"), QString::fromUtf8("°"));
    EXPECT_EQ(pmLoadString("IDS_NO_SUCH_TEXT"), QStringLiteral("IDS_NO_SUCH_TEXT"));
    // The stored language is the one in force (this used to be fixed to Japanese).
    AppDelegate::saveLanguageId(0);
    EXPECT_EQ(QSettings().value("LANGUAGE_ID").toInt(), 0);
    EXPECT_EQ(AppDelegate::getLanguageId(), 0);
    EXPECT_EQ(pmLoadString("IDS_PLAY"), QStringLiteral("Play"));
    // A language without a table reads English.
    AppDelegate::saveLanguageId(7);
    EXPECT_EQ(AppDelegate::getLanguageId(), 7);
    EXPECT_EQ(pmLoadString("IDS_PLAY"), QStringLiteral("Play"));
    // qtTrId answers the same once the tables are installed.
    AppDelegate::saveLanguageId(19);
    pmInstallStringTables();
    EXPECT_EQ(qtTrId("IDS_PAUSE"), QString::fromUtf8("一時停止"));
    EXPECT_EQ(qtTrId("IDS_UNIT_DEGREE"), QString::fromUtf8("°"));

    const QString about = pmLoadString("IDS_VERSION_COPYRIGHT").arg(pmGetVersionString()).arg(2020);
    EXPECT_TRUE(about.contains(QStringLiteral(ROVIX_VERSION "JP")));
    EXPECT_TRUE(about.contains("2020"));
    EXPECT_EQ(pmGetVersionString(), QStringLiteral(ROVIX_VERSION "JP"));
}

TEST_F(ServicesTest, EveryIdentifierHasATextInBothTables)
{
    QTranslator en, ja;
    ASSERT_TRUE(en.load(":/i18n/English.qm"));
    ASSERT_TRUE(ja.load(":/i18n/Japanese.qm"));
    const char* ids[] = {"IDS_OK",
                         "IDS_CANCEL",
                         "IDS_ABOUT",
                         "IDS_CHANGE_SKIN",
                         "IDS_SKIN_STYLE_01",
                         "IDS_SKIN_STYLE_04",
                         "IDS_WEEK_1",
                         "IDS_WEEK_7",
                         "IDS_ERR_NO_DISK_SPACE",
                         "IDS_ERR_SETTINGS_UNUSABLE",
                         "IDS_VERSION_COPYRIGHT",
                         "IDS_WINDOW_SWITCH"};
    for (const char* id : ids) {
        EXPECT_FALSE(en.translate(nullptr, id).isEmpty()) << id;
        EXPECT_FALSE(ja.translate(nullptr, id).isEmpty()) << id;
    }
}

TEST(LanguageIds, PrefixesAreTestedInTableOrder)
{
    EXPECT_EQ(pmLanguageIdForLocaleName("ja-JP"), 19);
    EXPECT_EQ(pmLanguageIdForLocaleName("jp"), 19);
    EXPECT_EQ(pmLanguageIdForLocaleName("th-TH"), 20);
    EXPECT_EQ(pmLanguageIdForLocaleName("tr"), 21);
    EXPECT_EQ(pmLanguageIdForLocaleName("en-US"), 0);
    EXPECT_EQ(pmLanguageIdForLocaleName("zh-Hant-TW"), 1);
    EXPECT_EQ(pmLanguageIdForLocaleName("zh-Hans-CN"), 2);
    EXPECT_EQ(pmLanguageIdForLocaleName("zh-CN"), 0); // no script: no row matches
    EXPECT_EQ(pmLanguageIdForLocaleName("sa"), 13);
    EXPECT_EQ(pmLanguageIdForLocaleName("ar-SA"), 13);
    EXPECT_EQ(pmLanguageIdForLocaleName("sl-SI"), 18);
    EXPECT_EQ(pmLanguageIdForLocaleName("sk"), 16);
    EXPECT_EQ(pmLanguageIdForLocaleName(""), 0);
    EXPECT_EQ(pmLanguageIdForLocaleName("x"), 0);

    EXPECT_EQ(pmLanguageTableName(19), "Japanese");
    EXPECT_EQ(pmLanguageTableName(13), "Arabic");
    EXPECT_EQ(pmLanguageTableName(20), "English");
    EXPECT_EQ(pmLanguageTableName(21), "English");
    EXPECT_EQ(pmLanguageTableName(-1), "English");
    EXPECT_EQ(pmLanguageTableName(99), "English");

    EXPECT_EQ(pmLanguageIdFromMenuTag(0), 0);
    EXPECT_EQ(pmLanguageIdFromMenuTag(1), 7);
    EXPECT_EQ(pmLanguageIdFromMenuTag(2), 12);
    EXPECT_EQ(pmLanguageIdFromMenuTag(3), 19);
    EXPECT_EQ(pmLanguageIdFromMenuTag(-5), 0);
    EXPECT_FALSE(pmIsRightToLeft());
}

TEST(MessageBox, TheSeamAnswersAndRecordsWithTheDefaultTitle)
{
    apptest::DialogRecorder recorder;
    recorder.answer.result = 1;
    EXPECT_EQ(pmMessageBox(pmLoadString("IDS_ERR_NO_DISK_SPACE")), 1);
    recorder.answer.result = 2;
    EXPECT_EQ(pmMessageBox("text", "My title"), 2);
    ASSERT_EQ(recorder.requests.size(), 2u);
    EXPECT_EQ(recorder.requests[0].kind, DialogRequest::Kind::MessageBox);
    EXPECT_EQ(recorder.requests[0].title, pmLoadString("IDR_MAINFRAME"));
    EXPECT_EQ(recorder.requests[0].text, pmLoadString("IDS_ERR_NO_DISK_SPACE"));
    EXPECT_EQ(recorder.requests[1].title, "My title");

    QString chosen = "untouched";
    recorder.answer.path = "/some/where";
    pmChooseFolder(nullptr, "t", "/start", [&](const QString& p) { chosen = p; });
    EXPECT_EQ(chosen, "/some/where");
    EXPECT_EQ(recorder.requests.back().kind, DialogRequest::Kind::ChooseFolder);
    EXPECT_EQ(recorder.requests.back().directory, "/start");
}

} // namespace
