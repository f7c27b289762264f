// A card of other cameras' naming families: each family's folders and names
// as its cameras write them (front/rear pairs beside each other and in
// sibling folders, event and parking recordings), H.264 and H.265, plus
// card-manifest.tsv with the family and codec of every recording.
#include "Common.h"
#include "MediaGen.h"

#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace mediagen
{

namespace
{

enum class Clip { Front264, Rear264, Front265, Rear265, Hev1 };

struct FamilyFile {
    const char* path;
    const char* family;
    int type;
    int camera;
    const char* start; // YYMMDD-HHMMSS, or "" for a name without time
    const char* partner;
    Clip clip;
};

// Every family row with its pairs; partners are listed only where both exist.
const FamilyFile kFiles[] = {
    {"DCIM/100MEDIA_M/FILE240315-120000_M.MP4", "rovix", 0, 1, "240315-120000",
     "DCIM/100MEDIA_2/FILE240315-120000_2.MP4", Clip::Front264},
    {"DCIM/100MEDIA_2/FILE240315-120000_2.MP4", "rovix", 0, 2, "240315-120000",
     "DCIM/100MEDIA_M/FILE240315-120000_M.MP4", Clip::Rear264},
    {"Movie/F/2024_0315_083000_0001F.MP4", "novatek", 0, 1, "240315-083000",
     "Movie/R/2024_0315_083000_0001R.MP4", Clip::Front264},
    {"Movie/R/2024_0315_083000_0001R.MP4", "novatek", 0, 2, "240315-083000",
     "Movie/F/2024_0315_083000_0001F.MP4", Clip::Rear264},
    {"Movie/I/2024_0315_083000_0001I.MP4", "novatek", 0, 3, "240315-083000", "", Clip::Front264},
    {"Movie/RO/2024_0315_083100_0002F.MP4", "novatek", 1, 1, "240315-083100", "", Clip::Front264},
    {"Parking/2024_0315_233000_000003F.MOV", "novatek", 2, 1, "240315-233000",
     "Parking/2024_0315_233000_000003R.MOV", Clip::Front264},
    {"Parking/2024_0315_233000_000003R.MOV", "novatek", 2, 2, "240315-233000",
     "Parking/2024_0315_233000_000003F.MOV", Clip::Rear264},
    {"BlackVue/Record/20240315_090000_NF.mp4", "blackvue", 0, 1, "240315-090000",
     "BlackVue/Record/20240315_090000_NR.mp4", Clip::Front265},
    {"BlackVue/Record/20240315_090000_NR.mp4", "blackvue", 0, 2, "240315-090000",
     "BlackVue/Record/20240315_090000_NF.mp4", Clip::Rear265},
    {"BlackVue/Record/20240315_090100_EF.mp4", "blackvue", 1, 1, "240315-090100", "", Clip::Front265},
    {"BlackVue/Record/20240315_090200_MF.mp4", "blackvue", 1, 1, "240315-090200", "", Clip::Front264},
    {"BlackVue/Record/20240315_230000_PF.mp4", "blackvue", 2, 1, "240315-230000", "", Clip::Front264},
    {"BlackVue/Record/20240315_090000_NI.mp4", "blackvue", 0, 3, "240315-090000", "", Clip::Front264},
    {"cont_rec/REC_2024_03_15_10_00_00_F.MP4", "thinkware", 0, 1, "240315-100000",
     "cont_rec/REC_2024_03_15_10_00_00_R.MP4", Clip::Front264},
    {"cont_rec/REC_2024_03_15_10_00_00_R.MP4", "thinkware", 0, 2, "240315-100000",
     "cont_rec/REC_2024_03_15_10_00_00_F.MP4", Clip::Rear264},
    {"evt_rec/EVT_2024_03_15_10_01_00_F.MP4", "thinkware", 1, 1, "240315-100100", "", Clip::Front264},
    {"manual_rec/MAN_2024_03_15_10_02_00_F.MP4", "thinkware", 1, 1, "240315-100200", "", Clip::Front264},
    {"motion_timelapse_rec/MOT_2024_03_15_22_00_00_F.MP4", "thinkware", 2, 1, "240315-220000", "",
     Clip::Front264},
    {"Normal/Front/NO20240315-110000-000001F.MP4", "70mai", 0, 1, "240315-110000",
     "Normal/Back/NO20240315-110000-000001R.MP4", Clip::Front264},
    {"Normal/Back/NO20240315-110000-000001R.MP4", "70mai", 0, 2, "240315-110000",
     "Normal/Front/NO20240315-110000-000001F.MP4", Clip::Rear264},
    {"Event/Front/EV20240315-110100-000002F.MP4", "70mai", 1, 1, "240315-110100", "", Clip::Front264},
    {"Parking/Front/PA20240315-230500-000003F.MP4", "70mai", 2, 1, "240315-230500", "", Clip::Front264},
    {"DCIM/105UNSVD/GRMN0001.MP4", "timeless", 0, 0, "", "", Clip::Front264},
    {"DCIM/105UNSVD/GRMN0002.MP4", "timeless", 0, 0, "", "", Clip::Hev1},
};

} // namespace

bool makeFamilyCard(const std::string& dir, std::vector<ManifestEntry>* manifest, std::string* error)
{
    std::error_code ec;
    if (fs::exists(dir, ec) && !fs::is_empty(dir, ec))
        return fail(error, dir + " is not empty");
    fs::create_directories(dir, ec);
    if (ec)
        return fail(error, "cannot create " + dir + ": " + ec.message());

    // Each kind of recording is encoded once and copied under its names.
    std::string bytes[5];
    for (int i = 0; i < 5; ++i) {
        RecordingSpec rs;
        rs.container = Container::Mp4;
        rs.seconds = 1.0;
        rs.seed = static_cast<uint32_t>(31 + i);
        rs.rear = i == int(Clip::Rear264) || i == int(Clip::Rear265);
        rs.h265 = i >= int(Clip::Front265);
        rs.hev1Entry = i == int(Clip::Hev1);
        const std::string tmp = dir + "/.encode.mp4";
        std::string err;
        if (!writeRecording(tmp, rs, &err) || !readFile(tmp, bytes[i], &err)) {
            fs::remove(tmp, ec);
            return fail(error, err);
        }
        fs::remove(tmp, ec);
    }

    std::vector<ManifestEntry> entries;
    for (const FamilyFile& f : kFiles) {
        ManifestEntry e;
        e.path = f.path;
        const std::string ext = e.path.substr(e.path.size() - 3);
        e.container = ext == "MOV" ? "MOV" : "MP4";
        e.type = f.type;
        e.camera = f.camera;
        e.kind = "recording";
        e.admitted = 1;
        e.partner = f.partner;
        e.start = f.start;
        e.seconds = 1.0;
        e.family = f.family;
        e.codec = f.clip >= Clip::Front265 ? "h265" : "h264";
        StartTime t;
        if (*f.start)
            StartTime::parse(f.start, t);
        else
            t = StartTime{2024, 3, 16, 7, 0, 0}; // the file date stands in for a missing time
        e.mtime = t.toLocalEpoch();
        const std::string abs = dir + "/" + e.path;
        fs::create_directories(fs::path(abs).parent_path(), ec);
        std::string err;
        // The bytes tell MOV from MP4 only in the brand; the probe admits both.
        if (!writeFile(abs, bytes[int(f.clip)], &err))
            return fail(error, err);
        setFileTime(abs, e.mtime);
        entries.push_back(e);
    }
    std::string text = manifestHeader() + "\n";
    for (const ManifestEntry& e : entries)
        text += manifestLine(e) + "\n";
    std::string err;
    if (!writeFile(dir + "/" + kManifestName, text, &err))
        return fail(error, err);
    if (manifest)
        *manifest = std::move(entries);
    return true;
}

} // namespace mediagen
