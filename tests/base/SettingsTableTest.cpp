// The settings table and its typed reads and writes: the defaults of an empty
// store, values a hand-edited file may hold, and a settings file written by
// earlier versions, which must read the same and be written back in the same
// form.
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "base/Skin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

class SettingsTableTest : public ::testing::Test
{
protected:
    void SetUp() override { QSettings().clear(); }
    void TearDown() override
    {
        QSettings().clear();
        Skin::readId();
    }

    static QString fileName() { return QSettings().fileName(); }

    // Replaces the settings file with these bytes.
    static void writeFile(const QByteArray& bytes)
    {
        QSettings().clear();
        QDir().mkpath(QFileInfo(fileName()).absolutePath());
        QFile f(fileName());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    static QByteArray readFile()
    {
        QFile f(fileName());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(SettingsTableTest, AnEmptyStoreReadsTheTableDefaults)
{
    EXPECT_EQ(pmReadSetting(SettingsKeys::volume), 8);
    EXPECT_EQ(pmReadSetting(SettingsKeys::skinId), 3);
    EXPECT_EQ(Skin::readId(), 3);
    EXPECT_EQ(pmReadSetting(SettingsKeys::speedUnit), 0);
    EXPECT_FALSE(pmReadSetting(SettingsKeys::placeByNameTime));
    EXPECT_EQ(pmReadSetting(SettingsKeys::fbKey), QString());
    EXPECT_EQ(pmReadSetting(SettingsKeys::exportFolder), QString());
    EXPECT_EQ(pmReadSetting(SettingsKeys::videoSiteHomeUrl), "https://www.youtube.com");
    EXPECT_EQ(pmReadSetting(SettingsKeys::mapPageUrl), "qrc:/map/map.html");
    EXPECT_EQ(pmReadSetting(SettingsKeys::socialNetworkGraphUrl), "https://graph.facebook.com");
    // The two folders with a default of their own.
    EXPECT_EQ(pmGetCurrentFolder(), QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
    EXPECT_EQ(pmGetCaptureFolder(), QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    // Reading wrote nothing.
    EXPECT_TRUE(QSettings().allKeys().isEmpty());

    // Every integer default is a value its key can hold, and only the
    // language and the skin reach the file at once.
    for (const SettingKey<int>* key : SettingsKeys::kIntKeys) {
        EXPECT_TRUE(key->holds(key->def)) << key->name;
        EXPECT_EQ(key->syncAtOnce, key == &SettingsKeys::languageId || key == &SettingsKeys::skinId)
            << key->name;
    }
}

TEST_F(SettingsTableTest, HandEditedValuesReadAsTheCodeAlwaysReadThem)
{
    QSettings s;
    // A skin that is not one of the four reads as the default skin.
    for (const QVariant& bad : {QVariant(7), QVariant(-1), QVariant(4), QVariant("dark")}) {
        s.setValue("SKIN_ID", bad);
        s.sync();
        EXPECT_EQ(pmReadSetting(SettingsKeys::skinId), 3) << bad.toString().toStdString();
        EXPECT_EQ(Skin::readId(), 3);
    }
    s.setValue("SKIN_ID", 0);
    s.sync();
    EXPECT_EQ(pmReadSetting(SettingsKeys::skinId), 0);

    // The volume is bounded where it is applied, not when read: a stored 99
    // stays 99 here; a stored zero is a value, not an absence.
    s.setValue("Volume", 99);
    s.sync();
    EXPECT_EQ(pmReadSetting(SettingsKeys::volume), 99);
    s.setValue("Volume", 0);
    s.sync();
    EXPECT_EQ(pmReadSetting(SettingsKeys::volume), 0);
    s.setValue("Volume", "loud");
    s.sync();
    EXPECT_EQ(pmReadSetting(SettingsKeys::volume), 8);

    // The name-time switch is on only for a stored 1.
    for (const QVariant& v : {QVariant(2), QVariant(-1), QVariant("yes"), QVariant(0)}) {
        s.setValue("PlaceByNameTime", v);
        s.sync();
        EXPECT_FALSE(pmReadSetting(SettingsKeys::placeByNameTime)) << v.toString().toStdString();
    }
    s.setValue("PlaceByNameTime", 1);
    s.sync();
    EXPECT_TRUE(pmReadSetting(SettingsKeys::placeByNameTime));

    // A stored empty text is a value too.
    s.setValue("VideoSiteHomeURL", QString());
    s.sync();
    EXPECT_TRUE(pmHasSetting(SettingsKeys::videoSiteHomeUrl));
    EXPECT_EQ(pmReadSetting(SettingsKeys::videoSiteHomeUrl), QString());
}

TEST_F(SettingsTableTest, AFileFromEarlierVersionsReadsTheSameAndIsWrittenBackAlike)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString card = dir.filePath("CARD");
    ASSERT_TRUE(QDir().mkpath(card));
    // What earlier versions left: integers and 0/1 switches written with the
    // integer setter, paths and the token with the string setter.
    const QByteArray old = "[General]\n"
                           "CaptureFolder=" +
                           QFile::encodeName(dir.path()) +
                           "\n"
                           "CurrentFolder=" +
                           QFile::encodeName(card) +
                           "\n"
                           "FB_KEY=EAAB0token\n"
                           "LANGUAGE_ID=7\n"
                           "PlaceByNameTime=1\n"
                           "SKIN_ID=1\n"
                           "SpeedUnit=1\n"
                           "Volume=3\n";
    writeFile(old);

    EXPECT_EQ(pmReadSetting(SettingsKeys::volume), 3);
    EXPECT_EQ(pmReadSetting(SettingsKeys::skinId), 1);
    EXPECT_EQ(Skin::readId(), 1);
    EXPECT_EQ(pmReadSetting(SettingsKeys::speedUnit), 1);
    EXPECT_TRUE(pmReadSetting(SettingsKeys::placeByNameTime));
    EXPECT_EQ(pmReadSetting(SettingsKeys::fbKey), "EAAB0token");
    EXPECT_EQ(pmReadSetting(SettingsKeys::languageId), 7);
    pmInstallStringTables();         // as at start-up
    EXPECT_EQ(pmGetLanguageId(), 7); // the stored choice is in force
    EXPECT_EQ(pmGetCurrentFolder(), card);
    EXPECT_EQ(pmGetCaptureFolder(), dir.path());
    // The keyed functions read the same file the same way.
    EXPECT_EQ(pmGetIntSetting("Volume", 8), 3);
    EXPECT_EQ(pmGetStringSetting("FB_KEY", ""), "EAAB0token");

    // Writing every value back through the table leaves the same bytes: no
    // switch becomes "true", no number becomes text.
    pmSetCaptureFolder(dir.path());
    pmSetCurrentFolder(card);
    pmWriteSetting(SettingsKeys::fbKey, QStringLiteral("EAAB0token"));
    pmSaveLanguageId(7);
    pmWriteSetting(SettingsKeys::placeByNameTime, true);
    Skin::saveId(1);
    pmWriteSetting(SettingsKeys::speedUnit, 1);
    pmWriteSetting(SettingsKeys::volume, 3);
    EXPECT_EQ(readFile(), old);

    // Switched off, the switch is a stored 0, as before.
    pmWriteSetting(SettingsKeys::placeByNameTime, false);
    EXPECT_TRUE(readFile().contains("\nPlaceByNameTime=0\n"));
    EXPECT_FALSE(pmReadSetting(SettingsKeys::placeByNameTime));
}

} // namespace
