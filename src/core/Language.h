#pragma once
// Language ids and the rules that pick one: the prefix table that maps a
// preferred-language name to an id, the POSIX environment a Linux session
// states its language in, the string table each id reads its texts from,
// and the languages that have a complete table of their own. Standard
// library only, so the rules are tested without a window.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace language
{
inline constexpr int kEnglish = 0;
inline constexpr int kFrench = 7;
inline constexpr int kSpanish = 12;
inline constexpr int kArabic = 13; // the one right-to-left language
inline constexpr int kJapanese = 19;

// The id of one preferred-language name in BCP 47 form ("ja-JP" -> 19,
// "zh-Hant-TW" -> 1), by the prefixes of the language table tested in order,
// first match wins; 0 when none matches.
int idForLocaleName(std::string_view name);

// A POSIX locale name ("ja_JP.UTF-8", "zh_TW", "sr_RS@latin") in the BCP 47
// form the prefix table is written in ("ja-JP", "zh-Hant-TW"): without the
// code set and modifier, '_' as '-', and the Chinese regions with their script.
std::string bcp47FromPosix(std::string_view posix);

// The language the environment states, as gettext reads it: the first entry
// of LANGUAGE, else LC_ALL, else LC_MESSAGES, else LANG, each only when set
// and not empty. "C" and "POSIX" state English. None of them: English.
// `getenv` answers a variable's value or null.
int idFromEnvironment(const std::function<const char*(const char*)>& getenv);

// The language in force: the stored choice when there is one, else the system's.
inline int idInForce(std::optional<int> stored, int systemId)
{
    return stored ? *stored : systemId;
}

// The name of the string table an id reads ("Japanese" for 19); "English"
// for every id without a row of its own.
std::string tableName(int id);

// The languages whose table is complete, in the order the language menu
// offers them; every other id reads English texts.
const std::vector<int>& idsWithTable();
bool hasOwnTable(int id);
// The table a language's texts come from in fact: its own, or English.
inline int textLanguage(int id)
{
    return hasOwnTable(id) ? id : kEnglish;
}

// The name of a language in that language, as a language menu shows it
// ("English", "日本語"), UTF-8; empty for an id without a table.
std::string nativeName(int id);

// The language menu's tags: 0, 1 and 2 give 0 (English), 7 (French) and 12
// (Spanish), 3 gives 19 (Japanese); any other tag gives 0.
int idFromMenuTag(int tag);
// The tag of a language's menu item; -1 when no tag names it.
int menuTagOfId(int id);

// Whether a language is written right to left (only 13).
inline bool isRightToLeft(int id)
{
    return id == kArabic;
}

// The ISO 639-1 code of a language with a table ("en", "ja"), for Qt's own
// translations; empty otherwise.
std::string isoCode(int id);
} // namespace language
