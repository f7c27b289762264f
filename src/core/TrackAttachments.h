#pragma once
// Tracks from other devices attached to recordings, kept in the application's
// data folder (never on the card: the card is evidence and may be read-only).
// An attachment names the track file, the offset in seconds and what it
// applies to: one recording, or the whole trip that recording starts. It
// stays until removed.
//
// The store is one small text file, rewritten whole through a temporary file
// and a rename, so a crash leaves the old list or the new one, never half of
// one. Lines that cannot be read are dropped on load and reported.
#include <functional>
#include <optional>
#include <string>
#include <vector>

class GpsList;
struct ForeignTrack;

struct TrackAttachment {
    std::string recording; // absolute path of the recording (for a trip: its first recording)
    std::string trackFile; // absolute path of the GPX, KML, NMEA or CSV file
    int offsetSeconds = 0;
    bool wholeTrip = false;
};

class TrackAttachmentStore
{
public:
    // `dataFolder` is the application's data folder; the file is created there on first save.
    explicit TrackAttachmentStore(std::string dataFolder);

    // Reads the stored list (a missing file is an empty list). False with
    // `error` when the file exists but cannot be read; lines that are damaged
    // are skipped and counted in skippedLines().
    bool load(std::string& error);
    bool save(std::string& error) const;

    // The attachment for a recording: its own, else its trip's (`tripFirst`
    // names the first recording of the trip it belongs to, "" for none).
    std::optional<TrackAttachment> find(const std::string& recording,
                                        const std::string& tripFirst = {}) const;
    // Adds or replaces (one per recording and scope). False with `error` for
    // an offset out of range or an empty path; nothing changes then.
    bool attach(const TrackAttachment& attachment, std::string& error);
    // Removes the attachment of that recording and scope; false when there was none.
    bool remove(const std::string& recording, bool wholeTrip);

    const std::vector<TrackAttachment>& all() const { return m_items; }
    int skippedLines() const { return m_skipped; }
    std::string filePath() const;

private:
    std::string m_folder;
    std::vector<TrackAttachment> m_items;
    int m_skipped = 0;
};

// The attachment that serves a recording (its own, else its trip's), or none.
// One handed to a worker thread owns what it answers from.
using TrackAttachmentFinder = std::function<std::optional<TrackAttachment>(const std::string& recording)>;

// Lays an attached track onto the seconds of `recording` (`videoSeconds`
// long) by the time in its name, with the attachment's offset. Each second
// that gets a position also carries the UTC time it was matched to, so the
// camera clock can be told against it as against the camera's own GPS. False
// with `error` (and `list` empty) when no second of the recording is covered.
bool pmAlignAttachedTrack(const ForeignTrack& track, int offsetSeconds, const std::string& recording,
                          double videoSeconds, GpsList& list, std::string& error);
// The same, reading the track from `file` (the attached file, or a copy of it).
bool pmLoadAttachedTrack(const std::string& file, int offsetSeconds, const std::string& recording,
                         double videoSeconds, GpsList& list, std::string& error);
// Puts an attached track in place of the positions of the camera's own
// track (`own`, as loadTrack read it), second by second: the camera's G-sensor
// values and its time-stamp preferences stay, position, speed, direction,
// altitude and GPS time come from `attached`.
void pmTakeAttachedPositions(GpsList& own, const GpsList& attached);
// "+5 s", "-90 s", "0 s"
std::string pmTrackOffsetText(int offsetSeconds);
