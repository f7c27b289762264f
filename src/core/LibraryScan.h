#pragma once
// The library scan without a window: walking a folder at any depth, admitting
// playable recordings, and the name-based playlist order. The controller wraps
// this with the busy window, log lines and its own entry objects.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ScannedRecording {
    std::string path;                   // full path as listed (native bytes, usually UTF-8)
    std::optional<int64_t> mtimeMsecs;  // modification time, ms since the epoch; none when unreadable
};

class LibraryScanner {
public:
    // Called for every file offered for admission (not for folders); lets the
    // controller keep its own bookkeeping. May be empty.
    std::function<void(const std::string& path, bool admitted)> onFileOffered;

    // Rebuilds from an empty list: scans the folder depth first, in the order
    // the file system lists entries, skipping hidden entries. Each real folder
    // is visited once (symlink loops end), the walk uses no call-stack
    // recursion, and vanished or unreadable entries contribute nothing.
    std::vector<ScannedRecording> scan(const std::string& folder);

    // Folder depth of the walk in progress (0 outside a scan).
    int currentLevel() const { return m_nCurFolderLevel; }

    // The admission rule: known container kind and a passing header probe.
    static bool admit(const std::string& path);

private:
    int m_nCurFolderLevel = 0;
};

// Playlist order on display names: characters 4..17 of names of 19 or more
// characters (the whole name otherwise), ascending; equal keys order by the
// full name descending. Returns true when a sorts before b.
bool pmLessByFileDate(const std::string& nameA, const std::string& nameB);

// Camera product name from the first "DEVICE.XML" found in the folder or one
// of its ancestors; "" when none. Reads a bounded prefix of the file.
std::string pmGetModelName(const std::string& folder);
