#include "fleet/Catalogue.h"

#include <algorithm>
#include <set>

bool Catalogue::vehicles(std::vector<std::string>& names, std::string& error)
{
    names.clear();
    std::vector<std::pair<std::string, std::string>> files;
    if (!listFiles(files, error))
        return false;
    // An archive path starts with its vehicle's folder, whose name is the vehicle.
    std::set<std::string> found;
    for (const auto& [path, sha256] : files) {
        const std::size_t slash = path.find('/');
        if (slash != std::string::npos && slash > 0)
            found.insert(path.substr(0, slash));
    }
    names.assign(found.begin(), found.end());
    return true;
}
