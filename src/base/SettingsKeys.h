#pragma once
// Every setting the application stores, in one table: its key, its type and
// the value it reads as while the store holds none (absence, not a zero
// value, selects the default). Reads and writes go through the typed helpers
// of base/Services.h (pmReadSetting, pmWriteSetting), so a misspelt key or a
// second default at some use cannot happen.
//
// The stored names and formats are those of every earlier version: integers
// (and the switches, as 0/1) with the integer setter, texts with the string
// setter.
#include "core/HarshEvents.h"

#include <QString>

#include <climits>

// An integer setting; `min`..`max` are the values it can hold: a stored value
// outside them (a hand-edited file) reads as the default. `syncAtOnce`: a
// write reaches the file at once, so the choice survives a crash right after.
template <class T>
struct SettingKey;

template <>
struct SettingKey<int> {
    const char* name;
    int def;
    int min = INT_MIN;
    int max = INT_MAX;
    bool syncAtOnce = false;

    QString key() const { return QString::fromLatin1(name); }
    bool holds(int value) const { return value >= min && value <= max; }
};

// A switch, stored as the integer 1 (on) or 0 (off); any other stored value reads as off.
template <>
struct SettingKey<bool> {
    const char* name;
    bool def;

    QString key() const { return QString::fromLatin1(name); }
};

// A text (UTF-8 default).
template <>
struct SettingKey<QString> {
    const char* name;
    const char* def;

    QString key() const { return QString::fromLatin1(name); }
    QString defaultValue() const { return QString::fromUtf8(def); }
};

namespace SettingsKeys
{
// The folder scanned at start-up; a stored path that is gone (or none) reads
// as the Movies folder (pmGetCurrentFolder).
inline constexpr SettingKey<QString> currentFolder{"CurrentFolder", ""};
// The folder of the last captured picture; none or gone reads as the
// Documents folder (pmGetCaptureFolder).
inline constexpr SettingKey<QString> captureFolder{"CaptureFolder", ""};
// A capture of a zoomed picture saves what is shown (the enlarged part)
// rather than the whole frame.
inline constexpr SettingKey<bool> captureWhatIsShown{"CaptureWhatIsShown", false};
// The folder last chosen for a track export or a backup copy.
inline constexpr SettingKey<QString> exportFolder{"ExportFolder", ""};
// The language chosen in the language menu. While none is stored the
// session's language is in force (pmGetLanguageId), so the default here is
// only what a read without that check answers.
inline constexpr SettingKey<int> languageId{"LANGUAGE_ID", 0, INT_MIN, INT_MAX, true};
// The skin in force (0..3); images of skin 3 are named skin_04_*.
inline constexpr SettingKey<int> skinId{"SKIN_ID", 3, 0, 3, true};
// The map panel's speed unit: 0 km/h, 1 mph.
inline constexpr SettingKey<int> speedUnit{"SpeedUnit", 0};
// The playback volume step (0..10; the player's volume is step / 10). Not
// bounded here: the controller bounds whatever is stored when it applies it.
inline constexpr SettingKey<int> volume{"Volume", 8};
// The video-site button's home page.
inline constexpr SettingKey<QString> videoSiteHomeUrl{"VideoSiteHomeURL", "https://www.youtube.com"};
// The map panel's page.
inline constexpr SettingKey<QString> mapPageUrl{"MapPageUrl", "qrc:/map/map.html"};
// The social network's addresses ("scheme://host[:port]"): its web site
// (sign-in pages), its Graph API and its video upload host; the application
// id that overrides the one fixed at build time; the access token of the
// last sign-in.
inline constexpr SettingKey<QString> socialNetworkWebUrl{"SocialNetworkWebURL", "https://www.facebook.com"};
inline constexpr SettingKey<QString> socialNetworkGraphUrl{"SocialNetworkGraphURL", "https://graph.facebook.com"};
inline constexpr SettingKey<QString> socialNetworkVideoUrl{"SocialNetworkVideoURL",
                                                           "https://graph-video.facebook.com"};
inline constexpr SettingKey<QString> socialNetworkAppId{"SocialNetworkAppID", ""};
inline constexpr SettingKey<QString> fbKey{"FB_KEY", ""};
// On: recordings are placed on the calendar by the time in their names.
inline constexpr SettingKey<bool> placeByNameTime{"PlaceByNameTime", false};
// "Save clip...": seconds of the trip taken before and after the moment, and
// the folder last chosen for clips.
inline constexpr SettingKey<int> clipSecondsBefore{"ClipSecondsBefore", 30, 0, 600};
inline constexpr SettingKey<int> clipSecondsAfter{"ClipSecondsAfter", 30, 0, 600};
inline constexpr SettingKey<QString> clipFolder{"ClipFolder", ""};
// The clip's layout ("separate", "side-by-side", "pip", "front", "rear"), the
// inset's corner for "pip" (0 top left .. 3 bottom right) and the re-encoding's
// quality (the encoder's CRF: lower is better and larger).
inline constexpr SettingKey<QString> clipLayout{"ClipLayout", "separate"};
inline constexpr SettingKey<int> clipPipCorner{"ClipPipCorner", 3, 0, 3};
inline constexpr SettingKey<int> clipQuality{"ClipQuality", 23, 14, 35};
// On: the map draws the whole trip the current recording belongs to.
inline constexpr SettingKey<bool> showWholeTrip{"ShowWholeTrip", true};
// On once the user has answered the offer to place a card copied without its
// dates by the names (either way): the offer is not made again.
inline constexpr SettingKey<bool> nameTimeOfferAnswered{"NameTimeOfferAnswered", false};
// The harsh-driving threshold in hundredths of g, inside the range the
// detection accepts.
inline constexpr SettingKey<int> harshThreshold{
    "HarshThreshold", static_cast<int>(harsh::kDefaultThresholdG * 100 + 0.5),
    static_cast<int>(harsh::kMinThresholdG * 100 + 0.5), static_cast<int>(harsh::kMaxThresholdG * 100 + 0.5)};
// The vehicle last shown of each fleet archive, as a JSON object from the
// archive's canonical path to the vehicle's name.
inline constexpr SettingKey<QString> archiveVehicles{"ArchiveVehicles", ""};
// The cards whose camera clock is corrected against GPS time, as a JSON
// array of {"folder": the card's canonical folder, "model": its DEVICE.XML
// model or ""}. A card not listed shows its camera's clock.
inline constexpr SettingKey<QString> correctedCameraClocks{"CorrectedCameraClocks", ""};

// The integer keys, for the keyed setter (it syncs those that say so).
inline constexpr const SettingKey<int>* kIntKeys[] = {&languageId, &skinId,           &speedUnit,
                                                      &volume,     &clipSecondsBefore, &clipSecondsAfter};
} // namespace SettingsKeys
