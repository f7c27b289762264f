#include "core/FolderWatch.h"

#include <sstream>

WatchReaction pmWatchReaction(uint32_t flags)
{
    // Exact comparisons on purpose: a root change that comes with other bits
    // is not taken for a removal of the root.
    if (flags == WatchFlag::RootChanged || flags == WatchFlag::Unmount)
        return WatchReaction::RemovedOrUnmounted;
    if (flags & (WatchFlag::ItemRemoved | WatchFlag::ItemRenamed))
        return WatchReaction::ItemRemovedOrRenamed;
    return WatchReaction::None;
}

bool pmWatchMayAddFiles(uint32_t flags)
{
    if (flags & WatchFlag::MustScanSubDirs)
        return true;
    if (flags & (WatchFlag::RootChanged | WatchFlag::Unmount))
        return false;
    if ((flags & WatchFlag::ItemCreated) && (flags & (WatchFlag::ItemIsSymlink | WatchFlag::ItemIsHardlink)))
        return true;
    const bool file = flags & WatchFlag::ItemIsFile;
    const bool dir = flags & WatchFlag::ItemIsDir;
    if (file)
        return flags & (WatchFlag::ItemModified | WatchFlag::ItemRenamed);
    if (dir)
        return flags & (WatchFlag::ItemCreated | WatchFlag::ItemRenamed);
    return false;
}

std::string pmTrimEventPath(std::string path)
{
    if (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

namespace
{
// mountinfo escapes space, tab, newline and backslash as \ooo.
std::string unescapeMountField(const std::string& field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out.push_back(static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<std::string> splitComponents(const std::string& path)
{
    std::vector<std::string> parts;
    if (!path.empty() && path[0] == '/')
        parts.emplace_back("/");
    std::string current;
    for (char ch : path) {
        if (ch == '/') {
            if (!current.empty())
                parts.push_back(current);
            current.clear();
        } else {
            current.push_back(ch);
        }
    }
    if (!current.empty())
        parts.push_back(current);
    return parts;
}
} // namespace

std::vector<MountEntry> pmParseMountInfo(const std::string& text)
{
    std::vector<MountEntry> table;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional...] - type source super-options
        std::istringstream fields(line);
        std::vector<std::string> f;
        std::string word;
        while (fields >> word)
            f.push_back(word);
        if (f.size() < 7)
            continue;
        std::size_t dash = 6;
        while (dash < f.size() && f[dash] != "-")
            ++dash;
        if (dash + 1 >= f.size())
            continue;
        MountEntry e;
        try {
            e.mountId = std::stoi(f[0]);
        } catch (...) {
            continue;
        }
        e.mountPoint = unescapeMountField(f[4]);
        e.fsType = unescapeMountField(f[dash + 1]);
        if (e.mountPoint.empty() || e.mountPoint[0] != '/')
            continue;
        table.push_back(std::move(e));
    }
    return table;
}

bool pmPathIsWithin(const std::string& path, const std::string& root)
{
    const std::string r = pmTrimEventPath(root);
    const std::string p = pmTrimEventPath(path);
    if (r == "/")
        return !p.empty() && p[0] == '/';
    if (p.size() < r.size() || p.compare(0, r.size(), r) != 0)
        return false;
    return p.size() == r.size() || p[r.size()] == '/';
}

std::optional<MountEntry> pmMountOf(const std::string& path, const std::vector<MountEntry>& table)
{
    std::optional<MountEntry> best;
    for (const MountEntry& e : table) {
        if (!pmPathIsWithin(path, e.mountPoint))
            continue;
        if (!best || e.mountPoint.size() >= best->mountPoint.size())
            best = e;
    }
    return best;
}

std::vector<std::string> pmMonitorWatchList(const std::string& folder, const std::string& mountPoint)
{
    std::vector<std::string> paths;
    if (folder.empty())
        return paths;
    paths.push_back(folder);
    const std::string self = pmTrimEventPath(folder);
    const std::vector<std::string> parts = splitComponents(folder);
    if (parts.size() >= 3 && parts[0] == "/" && parts[1] == "Volumes") {
        const std::string volume = "/" + parts[1] + "/" + parts[2];
        if (volume != self)
            paths.push_back(volume);
        return paths;
    }
    const std::string mount = pmTrimEventPath(mountPoint);
    if (!mount.empty() && mount != "/" && mount != self)
        paths.push_back(mount);
    return paths;
}

bool WatchEventBatch::add(const std::string& path, uint32_t flags)
{
    const bool first = empty();
    if (m_overflowed)
        return first;
    std::string key = path;
    key.push_back('\0');
    key += std::to_string(flags);
    if (!m_seen.insert(std::move(key)).second)
        return first;
    if (m_events.size() >= m_limit) {
        overflow();
        return first;
    }
    m_events.push_back({path, flags});
    return first;
}

void WatchEventBatch::overflow()
{
    m_overflowed = true;
    m_events.clear();
    m_events.shrink_to_fit();
    m_seen.clear();
}

std::vector<PendingWatchEvent> WatchEventBatch::take(const std::vector<std::string>& roots)
{
    std::vector<PendingWatchEvent> out;
    if (m_overflowed) {
        for (const std::string& root : roots)
            out.push_back({root, WatchFlag::MustScanSubDirs});
    } else {
        out.swap(m_events);
    }
    m_events.clear();
    m_seen.clear();
    m_overflowed = false;
    return out;
}
