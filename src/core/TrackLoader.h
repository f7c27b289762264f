#pragma once
// Which track belongs to a recording, decided the same way for the application
// and the command-line tool: the companion NMEA log (a rear-camera recording
// takes its front partner's log), else the AVI's embedded chunks or the track
// a MOV/MP4 carries in its own layout (EmbeddedTrack.h); a track with G-sensor
// data is then padded to the video length.
#include "core/FileRules.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class GpsList;

// Path of the other camera's recording of the same moment: beside the
// recording, else in the sibling folder whose last letter is swapped (returned
// whether or not it exists). "" when the path is not a two-camera name.
std::string pmGetAnotherCameraPath(const std::string& path);

enum class TrackSource { None, NmeaLog, AviChunks, Embedded };

struct TrackLoadResult {
    bool loaded = false;                    // the load result (the last reader's answer)
    TrackSource source = TrackSource::None; // where the samples came from
    std::string
        sourcePath; // the log, the AVI whose chunks were read, or the file the embedded track came from
    std::string embeddedFormat;     // the embedded track's layout ("novatek", ...); empty otherwise
    bool aviSensorFallback = false; // the plain G-sensor reader ran
    int videoSeconds = 0;           // whole seconds used for alignment and padding; 0 when not needed
};

// Whole seconds of a duration as the track readers use them: truncated, 0 for
// anything negative or not finite, capped at GpsList::kMaxVideoSeconds.
int pmWholeVideoSeconds(double seconds);

// Clears the track and loads the one the application shows for this
// recording. `videoSeconds` is the recording's duration in seconds.
TrackLoadResult loadTrack(const std::string& recordingPath, double videoSeconds, GpsList& list);
// The same, asking for the duration only when it matters (AVI chunks, or a
// track with G-sensor data to pad), at most once: probing a container is the
// dearest step for a caller that does not know the duration yet.
TrackLoadResult loadTrack(const std::string& recordingPath, const std::function<double()>& videoSeconds,
                          GpsList& list);
// The log loadTrack reads for a recording (a rear recording's front
// partner's), "" when there is none.
std::string pmTrackLogFile(const std::string& recordingPath);
// loadTrack from files chosen beforehand, for a copy that must show what was
// copied: `log` is the log to read ("" for none: then the track inside the
// recording, or in the files its camera writes beside it), `recordingFile`
// the file to read that from (its side files beside it); the rules that
// depend on names still see `recordingPath`.
TrackLoadResult loadTrackFrom(const std::string& recordingPath, const std::string& log,
                              const std::string& recordingFile, const std::function<double()>& videoSeconds,
                              GpsList& list);

// The moment (ms since 1970) a recording whose name holds no time starts, by
// the first fix of its embedded track that carries a UTC time; nullopt for a
// name with a time (the name decides then), for a recording with a companion
// log, and without such a fix. Reads the track: never part of a scan.
std::optional<int64_t> pmTrackStartMs(const std::string& recordingPath);

// The track as text: "index,lat,lon,speed,direction,altitude,gx,gy,gz", one
// line per sample with 6 decimals, then
// "#gps=0|1 gsensor=0|1 max=%.6f@%d min=%.6f@%d". What rovixtool track prints
// and the golden files hold.
std::string pmFormatTrackCsv(const GpsList& list);
// The same text handed to `sink` a line at a time, so that it can be written
// out as it is made; stops with false as soon as the sink returns false.
using TextSink = std::function<bool(const char* text, std::size_t size)>;
bool pmWriteTrackCsv(const GpsList& list, const TextSink& sink);

// Second of the event mark on the time slider, or -1: only an event recording
// with G-sensor data gets one, at the extreme of larger magnitude (a tie keeps
// the maximum) when that magnitude exceeds 0.5 g.
int chooseEventMark(RecordingType type, const GpsList& list);
int chooseEventMark(RecordingType type, bool hasGSensor, float maxG, int maxIndex, float minG, int minIndex);
