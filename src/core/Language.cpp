#include "core/Language.h"

#include <algorithm>
#include <cstring>

namespace language
{
namespace
{
struct Prefix {
    const char* prefix;
    int id;
};

// First match wins, so the order matters: "jp" and "ja" come after "th" and
// "tr". Arabic is recognised by "sa" as the table has always done, and by its
// own code "ar", last, so that an Arabic session reaches the right-to-left
// layout without changing what any earlier prefix answers.
constexpr Prefix kPrefixes[] = {
    {"en", 0},  {"zh-Hant", 1}, {"zh-Hans", 2}, {"ru", 3},  {"ko", 4},  {"cs", 5},  {"nl", 6},  {"fr", 7},
    {"de", 8},  {"hu", 9},      {"it", 10},     {"pl", 11}, {"es", 12}, {"sa", 13}, {"lt", 14}, {"ro", 15},
    {"sk", 16}, {"pt", 17},     {"sl", 18},     {"th", 20}, {"tr", 21}, {"jp", 19}, {"ja", 19}, {"ar", 13}};

constexpr const char* kTables[] = {"English",
                                   "TraditionalChinese",
                                   "SimplifiedChinese",
                                   "Russian",
                                   "Korean",
                                   "Czech",
                                   "Dutch",
                                   "French",
                                   "German",
                                   "Hungarian",
                                   "Italian",
                                   "Polish",
                                   "Spanish",
                                   "Arabic",
                                   "Lithuanian",
                                   "Romanian",
                                   "Slovakian",
                                   "Portuguese",
                                   "Slovinian",
                                   "Japanese"};

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}
} // namespace

int idForLocaleName(std::string_view name)
{
    for (const Prefix& p : kPrefixes) {
        if (startsWith(name, p.prefix))
            return p.id;
    }
    return kEnglish;
}

std::string bcp47FromPosix(std::string_view posix)
{
    const std::size_t cut = posix.find_first_of(".@");
    std::string name(posix.substr(0, cut));
    std::replace(name.begin(), name.end(), '_', '-');
    // POSIX names Chinese by region; the table names it by script.
    if (name == "zh" || startsWith(name, "zh-CN") || startsWith(name, "zh-SG"))
        return "zh-Hans" + name.substr(2);
    if (startsWith(name, "zh-TW") || startsWith(name, "zh-HK") || startsWith(name, "zh-MO"))
        return "zh-Hant" + name.substr(2);
    return name;
}

int idFromEnvironment(const std::function<const char*(const char*)>& getenv)
{
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv ? getenv(variable) : nullptr;
        if (!value || !*value)
            continue;
        std::string_view text(value);
        // LANGUAGE is a list of preferences ("fr:de"); the first counts.
        if (std::strcmp(variable, "LANGUAGE") == 0)
            text = text.substr(0, text.find(':'));
        if (text.empty())
            continue;
        if (text == "C" || text == "POSIX" || startsWith(text, "C.") || startsWith(text, "POSIX."))
            return kEnglish;
        return idForLocaleName(bcp47FromPosix(text));
    }
    return kEnglish;
}

std::string tableName(int id)
{
    if (id >= 0 && id < static_cast<int>(sizeof kTables / sizeof kTables[0]))
        return kTables[id];
    return "English";
}

const std::vector<int>& idsWithTable()
{
    static const std::vector<int> ids{kEnglish, kJapanese};
    return ids;
}

bool hasOwnTable(int id)
{
    const auto& ids = idsWithTable();
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

std::string nativeName(int id)
{
    switch (id) {
    case kEnglish:
        return "English";
    case kJapanese:
        return "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"; // 日本語
    default:
        return std::string();
    }
}

int idFromMenuTag(int tag)
{
    switch (tag) {
    case 1:
        return kFrench;
    case 2:
        return kSpanish;
    case 3:
        return kJapanese;
    default:
        return kEnglish;
    }
}

int menuTagOfId(int id)
{
    for (int tag = 0; tag <= 3; ++tag)
        if (idFromMenuTag(tag) == id)
            return tag;
    return -1;
}

std::string isoCode(int id)
{
    switch (id) {
    case kEnglish:
        return "en";
    case kJapanese:
        return "ja";
    default:
        return std::string();
    }
}
} // namespace language
