#include "core/CameraFamilies.h"

#include <cctype>

namespace
{

// Adding a family is one row here (and its golden test).
const std::vector<CameraFamily>& familyRows()
{
    static const std::vector<CameraFamily> rows = {
        // Our own names: FileRules' rules, unchanged.
        {"rovix", {}, {}, {}, {}, {}},
        // Novatek-based cameras: 2024_0315_083000_0001F (4 or 6 digits of
        // sequence). The folder tells the type.
        {"novatek",
         {"YYYY_MMDD_hhmmss_####C", "YYYY_MMDD_hhmmss_######C"},
         {},
         {{"F", kCameraMain}, {"R", kCameraRear}, {"I", kCameraInterior}, {"T", kCameraTelephoto}},
         {{"RO", kRecordingEvent},
          {"EMR", kRecordingEvent},
          {"EVENT", kRecordingEvent},
          {"PARKING", kRecordingParking}},
         {{"FRONT", kCameraMain}, {"F", kCameraMain}, {"REAR", kCameraRear}, {"R", kCameraRear}}},
        // BlackVue: 20240315_083000_NF, both cameras in one folder (Record/).
        {"blackvue",
         {"YYYYMMDD_hhmmss_TC"},
         {{"N", kRecordingNormal}, {"E", kRecordingEvent}, {"P", kRecordingParking}, {"M", kRecordingEvent}},
         {{"F", kCameraMain}, {"R", kCameraRear}, {"I", kCameraInterior}},
         {},
         {}},
        // Thinkware: REC_2024_03_15_08_30_00_F; manual recordings count as
        // events, motion recordings are made while parked.
        {"thinkware",
         {"T_YYYY_MM_DD_hh_mm_ss_C"},
         {{"REC", kRecordingNormal},
          {"EVT", kRecordingEvent},
          {"MAN", kRecordingEvent},
          {"MOT", kRecordingParking}},
         {{"F", kCameraMain}, {"R", kCameraRear}},
         {},
         {}},
        // 70mai: NO20240315-083000-000123F, often in Front/ and Back/ folders.
        {"70mai",
         {"TYYYYMMDD-hhmmss-######C"},
         {{"NO", kRecordingNormal}, {"EV", kRecordingEvent}, {"PA", kRecordingParking}},
         {{"F", kCameraMain}, {"R", kCameraRear}},
         {},
         {{"FRONT", kCameraMain}, {"BACK", kCameraRear}, {"REAR", kCameraRear}}},
        // Names with no time (GRMN0001 and the like) and anything else no
        // row claims: our own rules' fallbacks, placed by the file date.
        {"timeless", {}, {}, {}, {}, {}},
    };
    return rows;
}

char upperChar(char c)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// Whether `text` (upper case) stands at `at` in `name`, without regard to case.
bool textAt(std::string_view name, std::size_t at, std::string_view text)
{
    if (at > name.size() || name.size() - at < text.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (upperChar(name[at + i]) != text[i])
            return false;
    }
    return true;
}

struct FieldValues {
    int year = 0, yearDigits = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int type = -1, camera = -1;
    std::size_t cameraAt = 0, cameraLength = 0;
    bool timed = false;
};

// Matches the whole base name against one pattern.
bool matchPattern(std::string_view base, std::string_view pattern, const CameraFamily& row, FieldValues& out)
{
    out = FieldValues{};
    std::size_t at = 0;
    for (const char token : pattern) {
        if (token == 'T' || token == 'C') {
            const std::vector<NameCode>& codes = token == 'T' ? row.types : row.cameras;
            const NameCode* found = nullptr;
            for (const NameCode& code : codes) {
                if (textAt(base, at, code.text) && (!found || code.text.size() > found->text.size()))
                    found = &code;
            }
            if (!found)
                return false;
            if (token == 'T') {
                out.type = found->value;
            } else {
                out.camera = found->value;
                out.cameraAt = at;
                out.cameraLength = found->text.size();
            }
            at += found->text.size();
            continue;
        }
        if (at >= base.size())
            return false;
        const char c = base[at++];
        int* field = nullptr;
        switch (token) {
        case 'Y':
            field = &out.year;
            ++out.yearDigits;
            break;
        case 'M':
            field = &out.month;
            break;
        case 'D':
            field = &out.day;
            break;
        case 'h':
            field = &out.hour;
            break;
        case 'm':
            field = &out.minute;
            break;
        case 's':
            field = &out.second;
            break;
        case '#':
            break;
        default:
            if (upperChar(c) != upperChar(token))
                return false;
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        if (field) {
            *field = *field * 10 + (c - '0');
            out.timed = true;
        }
    }
    if (at != base.size())
        return false;
    if (out.yearDigits == 2)
        out.year += 2000;
    return true;
}

std::string_view fileNameOf(std::string_view path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view baseNameOf(std::string_view name)
{
    const auto dot = name.find_last_of('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

// The folder's own name, of a path without its last component.
std::string_view lastComponent(std::string_view folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.remove_suffix(1);
    const auto slash = folder.find_last_of('/');
    return slash == std::string_view::npos ? folder : folder.substr(slash + 1);
}

std::string_view parentOf(std::string_view path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

bool sameFolderName(std::string_view name, std::string_view upperText)
{
    return name.size() == upperText.size() && textAt(name, 0, upperText);
}

// The type a family's folders give: the recording's folder, then the one above.
bool typeFromFolders(const CameraFamily& row, std::string_view path, RecordingType& type)
{
    std::string_view folder = parentOf(path);
    for (int level = 0; level < 2 && !folder.empty(); ++level) {
        const std::string_view name = lastComponent(folder);
        for (const NameCode& code : row.typeFolders) {
            if (sameFolderName(name, code.text)) {
                type = static_cast<RecordingType>(code.value);
                return true;
            }
        }
        folder = parentOf(folder);
    }
    return false;
}

// The other camera's text in the case the name was written in.
std::string partnerText(const CameraFamily& row, int camera, std::string_view written)
{
    for (const NameCode& code : row.cameras) {
        if (code.value != camera)
            continue;
        std::string text(code.text);
        bool lower = !written.empty();
        for (const char c : written)
            lower = lower && !(c >= 'A' && c <= 'Z');
        if (lower) {
            for (char& c : text)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return text;
    }
    return std::string();
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string out(folder);
    if (!out.empty() && out.back() != '/')
        out += '/';
    out += name;
    return out;
}

} // namespace

const std::vector<CameraFamily>& pmCameraFamilies()
{
    return familyRows();
}

const CameraFamily* pmMatchFamilyName(std::string_view fileName, NameFacts* facts)
{
    const std::string_view base = baseNameOf(fileName);
    const std::vector<CameraFamily>& rows = familyRows();
    FieldValues values;
    for (const CameraFamily& row : rows) {
        for (const std::string_view pattern : row.patterns) {
            if (!matchPattern(base, pattern, row, values))
                continue;
            if (facts) {
                facts->family = &row;
                facts->typeKnown = values.type >= 0;
                facts->type = values.type >= 0 ? static_cast<RecordingType>(values.type) : kRecordingNormal;
                facts->camera = values.camera >= 0 ? static_cast<CameraCode>(values.camera) : kCameraNone;
                facts->hasTime = values.timed;
                facts->start = _SYSTEMTIME{};
                if (values.timed) {
                    facts->start.wYear = static_cast<uint16_t>(values.year);
                    facts->start.wMonth = static_cast<uint16_t>(values.month);
                    facts->start.wDay = static_cast<uint16_t>(values.day);
                    facts->start.wHour = static_cast<uint16_t>(values.hour);
                    facts->start.wMinute = static_cast<uint16_t>(values.minute);
                    facts->start.wSecond = static_cast<uint16_t>(values.second);
                }
                facts->cameraAt = values.cameraAt;
                facts->cameraLength = values.cameraLength;
            }
            return &row;
        }
    }
    return nullptr;
}

NameFacts pmReadNameFacts(const std::string& path)
{
    const std::vector<CameraFamily>& rows = familyRows();
    NameFacts facts;
    // Our own names first: a name our type or camera rule recognises is ours,
    // whatever a family pattern would make of it.
    const std::optional<RecordingType> named = pmOwnTypeByName(path);
    const CameraCode camera = pmOwnCameraType(path);
    if (!named && camera == kCameraNone && pmMatchFamilyName(fileNameOf(path), &facts)) {
        if (!facts.typeKnown) {
            RecordingType type = kRecordingNormal;
            typeFromFolders(*facts.family, path, type);
            facts.type = type;
            facts.typeKnown = true;
        }
        return facts;
    }
    // Our rules, exactly as they read every name they always read.
    facts = NameFacts{};
    facts.family = &rows[kFamilyOwn];
    facts.typeKnown = bool(named);
    facts.type = named ? *named : kRecordingNormal;
    facts.camera = camera;
    facts.hasTime = pmOwnFileDateTime(path, facts.start);
    if (!named && camera == kCameraNone && !(facts.hasTime && pmIsRealDateTime(facts.start)))
        facts.family = &rows.back();
    return facts;
}

std::string pmFamilySortKey(std::string_view fileName)
{
    NameFacts facts;
    // Our own names keep their key, whatever a pattern would say.
    if (pmOwnRulesRecognise(fileName) || !pmMatchFamilyName(fileName, &facts) || !facts.hasTime)
        return std::string();
    std::string key(14, '0');
    auto put = [&key](std::size_t at, unsigned value) {
        key[at] = static_cast<char>('0' + value / 10 % 10);
        key[at + 1] = static_cast<char>('0' + value % 10);
    };
    put(0, facts.start.wYear % 100);
    put(2, facts.start.wMonth);
    put(4, facts.start.wDay);
    key[6] = '-';
    put(7, facts.start.wHour);
    put(9, facts.start.wMinute);
    put(11, facts.start.wSecond);
    // A second's front comes first and its rear next to it, as with our own
    // names (whose letters sort the other way round); interior and telephoto
    // recordings follow, so that the pair stays together.
    key[13] = facts.camera == kCameraInterior    ? 'i'
              : facts.camera == kCameraTelephoto ? 't'
              : facts.camera == kCameraRear      ? 'a'
                                                 : '_';
    return key;
}

std::string pmGetAnotherCameraPath(const std::string& path, const PathTest& exists)
{
    if (path.empty())
        return std::string();
    const NameFacts facts = pmReadNameFacts(path);
    if (facts.camera != kCameraMain && facts.camera != kCameraRear)
        return std::string();
    const auto slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
    auto join = [](const std::string& dir, const std::string& file) {
        if (dir.empty())
            return file;
        return dir.back() == '/' ? dir + file : dir + "/" + file;
    };

    if (facts.family == &familyRows()[kFamilyOwn]) {
        // The letter at the end of the base name, beside the recording or in
        // the folder whose last letter is swapped the same way.
        const char swap = facts.camera == kCameraMain ? '2' : 'M';
        if (name.size() < 5)
            return std::string();
        name[name.size() - 5] = swap;
        const std::string beside = slash == 0 ? "/" + name : join(folder, name);
        if (exists(beside))
            return beside;
        if (!folder.empty())
            folder.back() = swap;
        return join(folder, name);
    }

    const CameraFamily& row = *facts.family;
    const int other = facts.camera == kCameraMain ? kCameraRear : kCameraMain;
    const std::string text =
        partnerText(row, other, std::string_view(name).substr(facts.cameraAt, facts.cameraLength));
    if (text.empty())
        return std::string();
    name.replace(facts.cameraAt, facts.cameraLength, text);
    const std::string beside = slash == 0 ? "/" + name : join(folder, name);
    if (exists(beside))
        return beside;
    // The sibling folder of the other camera, when this one lies in its own.
    const std::string_view here = lastComponent(folder);
    bool inCameraFolder = false;
    for (const NameCode& code : row.cameraFolders)
        inCameraFolder = inCameraFolder || (code.value == facts.camera && sameFolderName(here, code.text));
    if (!inCameraFolder || folder.empty())
        return beside;
    const std::string_view above = parentOf(folder);
    std::string first;
    for (const NameCode& code : row.cameraFolders) {
        if (code.value != other)
            continue;
        // Cards write the folder names in whatever case: as the table has it
        // in capitals, in lower case, and with a capital initial.
        std::string upper(code.text);
        std::string lower(upper);
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string initial(lower);
        initial[0] = upper[0];
        for (const std::string* spelling : {&initial, &upper, &lower}) {
            const std::string candidate = joinPath(above, joinPath(*spelling, name));
            if (first.empty())
                first = candidate;
            if (exists(candidate))
                return candidate;
        }
    }
    return first.empty() ? beside : first;
}
