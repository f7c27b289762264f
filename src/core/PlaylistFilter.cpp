#include "core/PlaylistFilter.h"

#include "core/FileRules.h"

std::vector<std::size_t> pmFilterPlaylist(const std::vector<ScannedRecording>& sortedLibrary,
                                          const PlaylistFilterOptions& options)
{
    std::vector<std::size_t> kept;
    const bool all = options.showNormal && options.showEvent && options.showParking;
    for (std::size_t i = 0; i < sortedLibrary.size(); ++i) {
        const ScannedRecording& entry = sortedLibrary[i];
        if (!pmIsFileExist(entry.path))
            continue;
        if (!options.allFiles) {
            const std::optional<int64_t> placed =
                pmPlacementMsecs(entry.path, entry.mtimeMsecs, options.byNameTime, options.clockDifferenceMs);
            if (!placed)
                continue;
            const std::optional<LocalDay> d = pmLocalDayOf(*placed);
            if (!d || d->year != options.year || d->month != options.month || d->day != options.day)
                continue;
        }
        if (!all) {
            const RecordingType type = pmGetFileType(entry.path);
            const bool keep = (options.showNormal && type == kRecordingNormal) ||
                              (options.showEvent && type == kRecordingEvent) ||
                              (options.showParking && type == kRecordingParking);
            if (!keep)
                continue;
        }
        kept.push_back(i);
    }
    return kept;
}
