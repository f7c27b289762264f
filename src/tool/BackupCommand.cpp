// rovixtool backup: the application's backup copy on the command line, on the
// same engine. Exit 0 when every recording was copied (and, with --evidence,
// verified and packaged; the package folder is printed), 1 when one failed
// (named on stderr; its partial copies are removed and the rest are not
// copied), 2 for bad arguments or a destination that cannot be used, at once
// when another backup is writing into it. SIGINT, SIGTERM and SIGHUP stop
// the copy as Cancel does (nothing unfinished is left); the run then exits 1.
#include "tool/Commands.h"
#include "tool/StopSignals.h"

#include "core/BackupEngine.h"
#include "tool/MediaDurationProbe.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

const char* toolCreator()
{
    return "Rovix Manager " ROVIX_VERSION;
}

int runBackupCommand(int argc, char** argv)
{
    BackupOptions options;
    options.version = ROVIX_VERSION;
    int i = 0;
    if (i < argc && std::strcmp(argv[i], "--evidence") == 0) {
        options.evidence = true;
        ++i;
    }
    if (argc - i < 2) {
        std::fprintf(stderr, "usage: rovixtool backup [--evidence] DEST RECORDING...\n");
        return 2;
    }
    const std::string dest = argv[i++];
    std::vector<std::string> recordings(argv + i, argv + argc);
    // The folder that holds every chosen recording (a card's Front/ and Rear/
    // give the card), so that the sources package.txt lists lie inside it.
    for (const std::string& recording : recordings) {
        const auto slash = recording.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : recording.substr(0, slash);
        char* resolved = ::realpath(folder.c_str(), nullptr);
        std::string real = resolved ? resolved : folder;
        std::free(resolved);
        if (&recording == &recordings.front()) {
            options.sourceFolder = real;
            continue;
        }
        std::string& common = options.sourceFolder;
        while (!common.empty() && real != common && real.compare(0, common.size() + 1, common + "/") != 0 &&
               common != "/") {
            const auto up = common.find_last_of('/');
            common = up == 0 ? "/" : common.substr(0, up == std::string::npos ? 0 : up);
        }
    }
    options.videoSeconds = [](const std::string& path) { return toolMediaDurationSeconds(path); };

    BackupProgress progress;
    pmCancelOnStopSignals(progress.canceled);
    const BackupResult r = pmRunBackup(dest, recordings, options, progress);
    // A signal that came after the work was complete stops nothing.
    if (r.status != BackupStatus::Done && pmStoppedBySignal("backup"))
        return 1;
    switch (r.status) {
    case BackupStatus::Done:
        if (!r.packageFolder.empty())
            std::printf("%s\n", r.packageFolder.c_str());
        return 0;
    case BackupStatus::NoDestination:
    case BackupStatus::SourceInDestination:
    case BackupStatus::DuplicateName:
    case BackupStatus::ReservedName:
    case BackupStatus::Busy:
        std::fprintf(stderr, "rovixtool: backup: %s\n", pmDescribeBackupResult(r).c_str());
        return 2;
    default:
        std::fprintf(stderr, "rovixtool: backup: %s\n", pmDescribeBackupResult(r).c_str());
        return 1;
    }
}
