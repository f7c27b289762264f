#pragma once
// Facts read out of a recording's path: container kind, recording type, camera,
// start time, and the companion track log. These work on the name alone; only
// the existence and write-permission tests touch the file system, and nothing
// here ever opens a file.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

enum MediaContainerKind : int { kMediaUnknown = -1, kMediaAvi = 1, kMediaMov = 3, kMediaMp4 = 5 };
enum RecordingType : uint8_t { kRecordingNormal = 0, kRecordingEvent = 1, kRecordingParking = 2 };
// Interior and telephoto cameras (of families that have them) come after the
// pair: they have no partner and play alone, in the first video window.
enum CameraCode : uint16_t {
    kCameraNone = 0,
    kCameraMain = 1,
    kCameraRear = 2,
    kCameraInterior = 3,
    kCameraTelephoto = 4
};

// Motor type kept by the controller: 0 no recording, 1 standard naming, 2 "BN"/"BE"/"BP" names.
enum MotorType : uint16_t { kMotorNone = 0, kMotorStandard = 1, kMotorTwoLetter = 2 };

struct _SYSTEMTIME {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;
    uint16_t wDayOfWeek = 0;
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
};

// All functions take a full path (or a URL string: only its last component matters).
std::string pmGetFileName(const std::string& path, bool withoutExtension);
// Full path without the extension of its last component.
std::string pmGetPathWithoutExtension(const std::string& path);
std::string pmReverseString(const std::string& text);
bool pmIsFileExist(const std::string& path);
// Write permission of the current user (write bit for the user's class, not on a read-only volume).
bool pmIsWritable(const std::string& path);

MediaContainerKind pmGetMediaType(const std::string& path);
bool pmIsDigitRun(const std::string& name, std::size_t start);
bool pmIsEventByAttribute(const std::string& path);
// Type, camera and start time of a recording, read by the naming family its
// name belongs to (CameraFamilies): our own rules below for our own names and
// for any name no family claims.
RecordingType pmGetFileType(const std::string& path);
MotorType pmGetMotorType(const std::string& path);
CameraCode pmGetCameraType(const std::string& path);
bool pmGetFileDateTime(const std::string& path, _SYSTEMTIME& time);

// Our own naming rules alone. The type by the name's prefix (none: the
// permission fallback decides), the camera by the name's last letter, the
// start by the fixed character positions.
std::optional<RecordingType> pmOwnTypeByName(std::string_view path);
CameraCode pmOwnCameraType(std::string_view path);
bool pmOwnFileDateTime(std::string_view path, _SYSTEMTIME& time);
// Whether our type or camera rule recognises the name (then no other family's
// pattern is tried).
bool pmOwnRulesRecognise(std::string_view path);
// Whether the fields name a moment that exists: a real Gregorian date (month
// 1-12, a day the month has) and a time of day up to 23:59:59. The name rules
// read digits blindly, so "FILE2501xx-xx3045" gives day 0.
bool pmIsRealDateTime(const _SYSTEMTIME& time);

// A path or name as one field of a tab-separated, line-per-file listing: a
// backslash is doubled, and a tab, line feed or carriage return becomes a
// backslash followed by t, n or r, so no name can break a line or a field.
// Appended to `out`.
void pmAppendEscapedField(std::string& out, const std::string& text);

// The bytes of `text` as a JSON string, quotes included, appended to `out`.
// Valid UTF-8 passes as it is ('"', '\\' and control characters escaped);
// each byte that is not part of valid UTF-8 becomes "\udcXX" (XX its value in
// hex), the lone low surrogate U+DC80..U+DCFF, which no valid text produces, so
// a reader gets the original bytes back (Python's "surrogateescape").
void pmAppendJsonString(std::string& out, const std::string& text);

// Whether two paths name the same existing file, however named (links,
// "..", hard links): same device and inode. False when either is missing.
bool pmIsSameFile(const std::string& a, const std::string& b);
// Path of the companion position/G-sensor log of a recording, or "" when there is none.
std::string pmGetGpsLogFile(const std::string& path);
// The same rule with the file-system tests supplied by the caller (a tool that
// has just listed the folders can answer them without asking the disk again).
using PathTest = std::function<bool(const std::string& path)>;
std::string pmGetGpsLogFile(const std::string& path, const PathTest& exists, const PathTest& isFolder);
