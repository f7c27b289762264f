#pragma once
// Naming families: how the cameras we know name their recordings, as data.
// Each row says how a name yields the start time, the recording type and the
// camera, and where the other camera's recording of the same moment lies. Our
// own names come first and keep their rules exactly (FileRules); a name that
// no row claims falls back to those same rules, so it reads as it always did.
//
// Everything here works on the path alone and never touches the file system,
// except the partner search, which asks the given existence test.
#include "core/FileRules.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A text a name field may hold and the value it stands for.
struct NameCode {
    std::string_view text; // upper case; names are compared without regard to case
    int value;
};

// One naming family. A pattern describes the whole base name (the file name
// without its extension), compared without regard to case:
//   Y M D h m s   a digit of the year, month, day, hour, minute, second
//                 (two year digits mean 2000 + the value)
//   #             any digit
//   T             one of `types` (the recording type)
//   C             one of `cameras` (the camera code)
//   anything else must be that character
struct CameraFamily {
    std::string_view id; // the family's name, as `rovixtool scan --json` prints it
    std::vector<std::string_view> patterns;
    std::vector<NameCode> types;
    std::vector<NameCode> cameras;
    // Folders that give the type when the name does not: the recording's
    // folder or the one above it, by name (upper case). Without a match the
    // recording is normal.
    std::vector<NameCode> typeFolders;
    // Folders that keep one camera's recordings apart from the other's
    // (upper case), e.g. FRONT 1, REAR 2: the partner is sought beside the
    // recording first, then in the sibling folder of the other camera.
    std::vector<NameCode> cameraFolders;
};

// The rows, our own names first and names with no time last. Those two rows
// have no pattern: their rules are FileRules' own.
const std::vector<CameraFamily>& pmCameraFamilies();
constexpr std::size_t kFamilyOwn = 0;

// What a path's name says about the recording.
struct NameFacts {
    const CameraFamily* family = nullptr; // the row that read it (never null)
    bool typeKnown = false;               // false: the write-permission fallback decides (our rules)
    RecordingType type = kRecordingNormal;
    CameraCode camera = kCameraNone;
    bool hasTime = false; // the name states a start (see pmIsRealDateTime for whether it exists)
    _SYSTEMTIME start;
    std::size_t cameraAt = 0; // where the camera field lies in the file name (family rows)
    std::size_t cameraLength = 0;
};

// Reads the name only; the type fallback of our own rules (a permission test)
// is left to pmGetFileType, so this never touches the disk.
NameFacts pmReadNameFacts(const std::string& path);

// The family row that claims a file name by its pattern, or null for our own
// names and names no pattern matches. With `facts` the name's fields are read
// into it (type only where the name states it).
const CameraFamily* pmMatchFamilyName(std::string_view fileName, NameFacts* facts = nullptr);

// The start a family name states as the playlist key our own names use
// ("YYMMDD-HHMMSS_"), so recordings of every family sort by their time and a
// pair's two recordings stay next to each other (an interior or telephoto
// recording ends in "i" or "t" instead, after the pair). Empty when the name
// is not a family name with a time.
std::string pmFamilySortKey(std::string_view fileName);

// Path of the other camera's recording of the same moment (main and rear
// only). Our own names follow their rule (the letter swapped, beside the
// recording, else in the sibling folder whose last letter is swapped); family
// names swap the camera field and look beside the recording, then in the
// family's sibling folder of the other camera. Returned whether or not it
// exists when no candidate does; "" when the name has no partner.
std::string pmGetAnotherCameraPath(const std::string& path, const PathTest& exists);
