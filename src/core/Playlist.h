#pragma once
// The playlist as rows of recordings: the library's entries that pass the
// filter (core/PlaylistFilter.h), in the library's sorted order, each row
// carrying its recording's id, the path as the file system spells it. When
// the list is made anew under the recordings that play, their rows are found
// again by these ids: a row number alone says nothing once rows have moved.
#include "core/LibraryScan.h"
#include "core/PlaylistFilter.h"

#include <cstddef>
#include <string>
#include <vector>

struct PlaylistRow {
    std::string id;               // the recording's path (native bytes)
    std::size_t libraryIndex = 0; // its entry in the sorted library the list was made from
};

// The rows that play and the row selected in one list, found again in another.
struct KeptRows {
    bool playingListed = true; // false: a recording that plays is not in the new list
    int front = -1, rear = -1; // a row outside the old list is handed back as it was (-1: none)
    int selected = -2;         // -1: its recording left; -2: no row of the old list was selected
};

class Playlist
{
public:
    Playlist() = default;
    // Rows of these ids in this order (row i from library entry i).
    explicit Playlist(const std::vector<std::string>& ids);
    // The entries of `sortedLibrary` that pass `filter`, in order.
    static Playlist filtered(const std::vector<ScannedRecording>& sortedLibrary,
                             const PlaylistFilterOptions& filter);

    const std::vector<PlaylistRow>& rows() const { return m_rows; }
    std::size_t size() const { return m_rows.size(); }
    bool empty() const { return m_rows.empty(); }
    // The first row holding `id` (a recording listed twice is found at its
    // first row); -1 when it is not listed.
    int rowOf(const std::string& id) const;
    // The same recordings in the same rows.
    bool sameRows(const Playlist& other) const;
    // Rows `front`, `rear` and `selected` of `before`, found again in this list.
    KeptRows keptRows(const Playlist& before, int front, int rear, int selected) const;

private:
    std::vector<PlaylistRow> m_rows;
};
