#pragma once
// Which library entries form the playlist: the recordings of the chosen day
// (in the user's time zone) or of every day, whose type box is ticked, and
// whose file still exists. Works on the library's sorted order.
#include "core/LibraryScan.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct PlaylistFilterOptions {
    bool showNormal = true;
    bool showEvent = true;
    bool showParking = true;
    bool allFiles = false;   // the day filter is off (calendar shrunk)
    bool byNameTime = false; // days by the time in the names where they state one (pmPlacementMsecs)
    std::optional<int64_t> clockDifferenceMs; // the camera's clock corrected by this (pmPlacementMsecs)
    int year = 0, month = 0, day = 0;
};

// Indexes into sortedLibrary of the entries that pass, in order.
std::vector<std::size_t> pmFilterPlaylist(const std::vector<ScannedRecording>& sortedLibrary,
                                          const PlaylistFilterOptions& options);
