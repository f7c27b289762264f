#include "core/Playlist.h"

Playlist::Playlist(const std::vector<std::string>& ids)
{
    m_rows.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        m_rows.push_back({ids[i], i});
}

Playlist Playlist::filtered(const std::vector<ScannedRecording>& sortedLibrary,
                            const PlaylistFilterOptions& filter)
{
    Playlist list;
    for (std::size_t i : pmFilterPlaylist(sortedLibrary, filter))
        list.m_rows.push_back({sortedLibrary[i].path, i});
    return list;
}

int Playlist::rowOf(const std::string& id) const
{
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].id == id)
            return static_cast<int>(i);
    return -1;
}

bool Playlist::sameRows(const Playlist& other) const
{
    if (m_rows.size() != other.m_rows.size())
        return false;
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].id != other.m_rows[i].id)
            return false;
    return true;
}

KeptRows Playlist::keptRows(const Playlist& before, int front, int rear, int selected) const
{
    const auto listed = [&before](int row) {
        return row >= 0 && static_cast<std::size_t>(row) < before.size();
    };
    const auto rowHere = [&](int row) { return rowOf(before.m_rows[static_cast<std::size_t>(row)].id); };
    KeptRows kept;
    kept.front = listed(front) ? rowHere(front) : front;
    kept.rear = listed(rear) ? rowHere(rear) : rear;
    kept.playingListed = (!listed(front) || kept.front >= 0) && (!listed(rear) || kept.rear >= 0);
    if (listed(selected))
        kept.selected = rowHere(selected);
    return kept;
}
