#pragma once
// Ingesting a card into an archive: every recording and its log copied the
// backup's way into <archive>/<vehicle>/<YYYY>/<MM>/<DD>/<original name>, and
// catalogued with its facts and track in one transaction after its copy is
// on disk under its name. A file whose content the catalogue already holds is
// not copied again; a name taken by other content moves the recording and its
// log together to <DD>/2/, <DD>/3/ ..., so the original names, which carry the
// recording's time and camera, stay as they were. A file left under its name
// by a run that stopped before its transaction is taken over when its content
// is the same. Files that cannot be read, change or vanish while copied, or
// are no playable recording, are listed and skipped; only a failure of the
// archive itself stops the run.
#include "core/BackupEngine.h"
#include "fleet/Catalogue.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct IngestOptions {
    std::string vehicle;
    // Duration of a recording in seconds (0 when unknown).
    std::function<double(const std::string& path)> videoSeconds;
    // Called after each copied block and each file with the bytes done so far
    // and the total of the card.
    std::function<void(uint64_t done, uint64_t total)> onProgress;
    // Called for each file as its fate is known: "copied", "archived"
    // (already there), "skipped" (with a reason) or "adopted" (an earlier
    // run's copy taken over).
    std::function<void(const std::string& outcome, const std::string& path, const std::string& detail)>
        onFile;
    std::size_t blockSize = 1 << 20;
};

struct IngestResult {
    bool archiveFailed = false; // the archive or its catalogue failed: the run stopped
    bool canceled = false;
    std::string error;
    int recordingsCopied = 0;
    int recordingsArchived = 0; // already in the archive
    int logsCopied = 0;
    int skipped = 0; // files listed as skipped
    uint64_t bytesCopied = 0;
};

// A vehicle name that can be one folder name: not empty, at most 100 bytes,
// no "/", no control character, not starting with ".". False with a reason.
bool pmIsSafeVehicleName(const std::string& name, std::string& reason);

// `progress.canceled` stops the run between blocks: the file being copied is
// dropped, everything catalogued before it stays.
IngestResult pmIngestCard(const std::string& archiveFolder, Catalogue& catalogue, const std::string& card,
                          const IngestOptions& options, BackupProgress& progress);
