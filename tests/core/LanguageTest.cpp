// Which language is in force: the prefix table in its order, POSIX locale
// names as a Linux session states them, the order of the environment
// variables, the stored choice over the session's, the tables that exist and
// the language menu's tags.
#include "core/Language.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

namespace
{

int fromEnvironment(const std::map<std::string, std::string>& env)
{
    return language::idFromEnvironment([&env](const char* name) -> const char* {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    });
}

TEST(LanguageTest, PrefixTableInOrderAndPosixNames)
{
    using language::idForLocaleName;
    EXPECT_EQ(idForLocaleName("ja-JP"), 19);
    EXPECT_EQ(idForLocaleName("jp"), 19);
    EXPECT_EQ(idForLocaleName("th-TH"), 20);
    EXPECT_EQ(idForLocaleName("tr"), 21);
    EXPECT_EQ(idForLocaleName("zh-Hant-TW"), 1);
    EXPECT_EQ(idForLocaleName("zh-Hans"), 2);
    EXPECT_EQ(idForLocaleName("sa"), 13);
    EXPECT_EQ(idForLocaleName("ar-EG"), 13);
    EXPECT_EQ(idForLocaleName("sl-SI"), 18);
    EXPECT_EQ(idForLocaleName(""), 0);
    EXPECT_EQ(idForLocaleName("eo"), 0);

    using language::bcp47FromPosix;
    EXPECT_EQ(bcp47FromPosix("ja_JP.UTF-8"), "ja-JP");
    EXPECT_EQ(bcp47FromPosix("sr_RS@latin"), "sr-RS");
    EXPECT_EQ(bcp47FromPosix("zh_TW.Big5"), "zh-Hant-TW");
    EXPECT_EQ(bcp47FromPosix("zh_HK"), "zh-Hant-HK");
    EXPECT_EQ(bcp47FromPosix("zh_CN.GB18030"), "zh-Hans-CN");
    EXPECT_EQ(bcp47FromPosix("zh"), "zh-Hans");
    EXPECT_EQ(bcp47FromPosix("fr"), "fr");
    EXPECT_EQ(bcp47FromPosix(""), "");
}

TEST(LanguageTest, EnvironmentIsReadAsGettextDoes)
{
    EXPECT_EQ(fromEnvironment({}), 0);
    EXPECT_EQ(fromEnvironment({{"LANG", "ja_JP.UTF-8"}}), 19);
    // LC_MESSAGES before LANG, LC_ALL before both, LANGUAGE first of all.
    EXPECT_EQ(fromEnvironment({{"LANG", "ja_JP.UTF-8"}, {"LC_MESSAGES", "de_DE.UTF-8"}}), 8);
    EXPECT_EQ(fromEnvironment({{"LC_MESSAGES", "de_DE"}, {"LC_ALL", "ko_KR.UTF-8"}}), 4);
    EXPECT_EQ(fromEnvironment({{"LC_ALL", "ko_KR.UTF-8"}, {"LANGUAGE", "ja:en"}}), 19);
    // LANGUAGE lists preferences; only the first counts. Empty values are unset.
    EXPECT_EQ(fromEnvironment({{"LANGUAGE", "fr_FR:ja"}, {"LANG", "ja_JP"}}), 7);
    EXPECT_EQ(fromEnvironment({{"LANGUAGE", ""}, {"LC_ALL", ""}, {"LANG", "zh_TW.UTF-8"}}), 1);
    EXPECT_EQ(fromEnvironment({{"LANGUAGE", ":ja"}, {"LANG", "ru_RU.UTF-8"}}), 3);
    // The C locale is English, and does not fall through to a later variable.
    EXPECT_EQ(fromEnvironment({{"LC_ALL", "C"}, {"LANG", "ja_JP.UTF-8"}}), 0);
    EXPECT_EQ(fromEnvironment({{"LANG", "C.UTF-8"}}), 0);
    EXPECT_EQ(fromEnvironment({{"LANG", "POSIX"}}), 0);
    // An Arabic session reaches the right-to-left language.
    EXPECT_EQ(fromEnvironment({{"LANG", "ar_SA.UTF-8"}}), 13);
    EXPECT_TRUE(language::isRightToLeft(fromEnvironment({{"LANG", "ar_SA.UTF-8"}})));
    EXPECT_EQ(language::idFromEnvironment(nullptr), 0);
}

TEST(LanguageTest, StoredChoiceTablesAndMenuTags)
{
    // A stored choice wins over the session's, whatever it is.
    EXPECT_EQ(language::idInForce(std::nullopt, 19), 19);
    EXPECT_EQ(language::idInForce(0, 19), 0);
    EXPECT_EQ(language::idInForce(13, 0), 13);

    EXPECT_EQ(language::tableName(19), "Japanese");
    EXPECT_EQ(language::tableName(13), "Arabic");
    for (int id : {20, 21, -1, 99})
        EXPECT_EQ(language::tableName(id), "English") << id;
    // Only English and Japanese have complete tables; every other language
    // reads English texts (and no Qt translation that would not match them).
    EXPECT_EQ(language::idsWithTable(), (std::vector<int>{0, 19}));
    EXPECT_EQ(language::textLanguage(19), 19);
    EXPECT_EQ(language::textLanguage(13), 0);
    EXPECT_EQ(language::textLanguage(7), 0);
    EXPECT_EQ(language::isoCode(19), "ja");
    EXPECT_EQ(language::isoCode(13), "");
    EXPECT_EQ(language::nativeName(19), "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");
    EXPECT_EQ(language::nativeName(0), "English");

    // Tags 0, 1, 2 name English, French and Spanish; 3 names Japanese.
    EXPECT_EQ(language::idFromMenuTag(0), 0);
    EXPECT_EQ(language::idFromMenuTag(1), 7);
    EXPECT_EQ(language::idFromMenuTag(2), 12);
    EXPECT_EQ(language::idFromMenuTag(3), 19);
    EXPECT_EQ(language::idFromMenuTag(-5), 0);
    for (int id : language::idsWithTable())
        EXPECT_EQ(language::idFromMenuTag(language::menuTagOfId(id)), id);
    EXPECT_EQ(language::menuTagOfId(13), -1);
    EXPECT_FALSE(language::isRightToLeft(19));
}

} // namespace
