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
#include <optional>
#include <string>
#include <vector>

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
