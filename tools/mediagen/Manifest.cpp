// card-manifest.tsv: one line per file of a generated card, saying what the
// file is meant to be, so tests can hold the scan and the name rules against it.
#include "MediaGen.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace mediagen
{

namespace
{

std::string orDash(const std::string& s)
{
    return s.empty() ? "-" : s;
}
std::string fromDash(const std::string& s)
{
    return s == "-" ? std::string() : s;
}

} // namespace

std::string manifestHeader()
{
    return "path\tcontainer\ttype\tcamera\tkind\tadmitted\tlog\tlog_"
           "rule\tpartner\tstart\tseconds\tmtime\tfamily\tcodec";
}

std::string manifestLine(const ManifestEntry& e)
{
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", e.seconds);
    std::ostringstream o;
    o << e.path << '\t' << orDash(e.container) << '\t' << e.type << '\t' << e.camera << '\t' << orDash(e.kind)
      << '\t' << e.admitted << '\t' << orDash(e.log) << '\t' << orDash(e.logRule) << '\t' << orDash(e.partner)
      << '\t' << orDash(e.start) << '\t' << seconds << '\t' << static_cast<long long>(e.mtime) << '\t'
      << orDash(e.family) << '\t' << orDash(e.codec);
    return o.str();
}

bool readManifest(const std::string& path, std::vector<ManifestEntry>& out)
{
    std::ifstream in(path);
    if (!in)
        return false;
    out.clear();
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (header) {
            header = false;
            if (line != manifestHeader())
                return false;
            continue;
        }
        if (line.empty())
            continue;
        std::vector<std::string> f;
        std::size_t start = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', start);
            f.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        if (f.size() != 14)
            return false;
        ManifestEntry e;
        e.path = f[0];
        e.container = fromDash(f[1]);
        e.type = std::stoi(f[2]);
        e.camera = std::stoi(f[3]);
        e.kind = fromDash(f[4]);
        e.admitted = std::stoi(f[5]);
        e.log = fromDash(f[6]);
        e.logRule = fromDash(f[7]);
        e.partner = fromDash(f[8]);
        e.start = fromDash(f[9]);
        e.seconds = std::stod(f[10]);
        e.mtime = static_cast<std::time_t>(std::stoll(f[11]));
        e.family = fromDash(f[12]);
        e.codec = fromDash(f[13]);
        out.push_back(e);
    }
    return !header;
}

} // namespace mediagen
