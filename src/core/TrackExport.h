#pragma once
// A recording's track as GPX 1.1 or as a plain CSV table, beside the KML
// document of KmlSave.h, for people who hand tracks to map tools, insurers
// and spreadsheets. Both writers put a sample's time as the recording's start
// (read from its name, taken as this computer's local time) plus the sample's
// second, written in UTC; without a real date in the name (or, for a name
// with no time, a first fix with a time) there is no time.
// Numbers never depend on the process's locale.
#include "core/TrackLoader.h"

#include <chrono>
#include <optional>
#include <string>

class GpsList;
class GpsData;

// Whether a sample carries a position: the readers mark "no fix" as 0, 0.
bool pmHasPosition(const GpsData& sample);
// Whether the sample is a position the camera read that second: a second the
// track only filled in (padding to the video length repeats the last position)
// is shown on the map but never presented as where the car was then.
bool pmHasPositionReading(const GpsData& sample);
// Whether the track came with position sentences (what the KML export asks too).
bool pmTrackHasPositions(const GpsList& list);

// The recording's start from its name as a moment, when the name holds a real
// date and time; for a name without a time, its embedded track's first fix
// (pmTrackStartMs).
std::optional<std::chrono::system_clock::time_point> pmRecordingStart(const std::string& recordingPath);
// "YYYY-MM-DDTHH:MM:SSZ" of a moment.
std::string pmFormatUtcTime(std::chrono::system_clock::time_point when);

// One trk, one trkseg, a trkpt per sample that is a reading with a position;
// `creator` names the program (name and version).
bool pmWriteTrackGpx(const GpsList& list, const std::string& recordingPath, const std::string& creator,
                     const TextSink& sink);
// "time,latitude,longitude,speed_kmh,direction_deg,altitude_m,gx,gy,gz", one
// row per sample, empty fields where the sample has no reading (all of them
// for a sample that is not a reading at all, GpsData::isReading). With
// `speedUnit` 1 (the speed unit the user chose is mph) the speeds are in miles
// per hour and the header says "speed_mph".
bool pmWriteTrackTable(const GpsList& list, const std::string& recordingPath, const TextSink& sink,
                       int speedUnit = 0);
// The same for a track that is not one recording's (a clip across several):
// the track's name and the moment of its sample 0 are given.
bool pmWriteTrackGpx(const GpsList& list, const std::string& trackName,
                     std::optional<std::chrono::system_clock::time_point> start, const std::string& creator,
                     const TextSink& sink);
bool pmWriteTrackTable(const GpsList& list, std::optional<std::chrono::system_clock::time_point> start,
                       const TextSink& sink, int speedUnit = 0);

enum class TrackFormat { Kml, Gpx, Csv };
// The format of an output by its extension (case-insensitive): .gpx, .csv, else KML.
TrackFormat pmTrackFormatForPath(const std::string& path);

enum class TrackExportResult { Ok, NoTrack, WriteFailed, WouldOverwriteSource };
// Writes the track of `recordingPath` (already loaded into `list`) to `outputPath`
// in `format`. NoTrack (and no file) without positions; WouldOverwriteSource
// (and nothing touched) when the output is the recording or a track log it
// reads, under whatever name; WriteFailed when the file cannot be created or
// written, in which case nothing of it is left. `kmlName` is the KML
// document's name (the output's file name when empty). `speedUnit`: the
// CSV table's speeds in km/h (0) or mph (1).
TrackExportResult pmExportTrack(TrackFormat format, const std::string& outputPath, const GpsList& list,
                                const std::string& recordingPath, const std::string& trackSourcePath,
                                const std::string& creator, const std::string& kmlName = std::string(),
                                int speedUnit = 0);
