// rovixtool: the command-line front end over the same rules the application
// uses. Each command lives in its own source file.
#include "tool/Commands.h"

#include <cstdio>
#include <cstring>
#include <string>

static int usage()
{
    std::fprintf(stderr,
                 "usage: rovixtool scan [--json] FOLDER\n"
                 "       rovixtool track [TRACK] RECORDING\n"
                 "       rovixtool kml [TRACK] RECORDING OUT.kml\n"
                 "       rovixtool gpx [TRACK] RECORDING OUT.gpx\n"
                 "       rovixtool csv [TRACK] RECORDING OUT.csv\n"
                 "       rovixtool events [--threshold G] [TRACK] RECORDING\n"
                 "         TRACK: --with FILE [--offset SECONDS] (a GPX, KML, NMEA or CSV track)\n"
                 "       rovixtool backup [--evidence] DEST RECORDING...\n"
                 "       rovixtool clip [--before S] [--after S] [--overlay] [--layout L] [--blur AREA]...\n"
                 "                      DEST RECORDING TIME\n"
                 "       rovixtool ingest --archive DIR [--catalogue URL] --vehicle NAME CARD...\n"
                 "       rovixtool find --archive DIR|--catalogue URL --near LAT,LON --radius METRES\n"
                 "                      [--from T] [--to T] [--vehicle V] [--json]\n"
                 "       rovixtool report --archive DIR|--catalogue URL --from DAY --to DAY [--vehicle V]\n"
                 "                        [--format csv|pdf] [--json]\n"
                 "       rovixtool events --archive DIR|--catalogue URL [--from T] [--to T] [--vehicle V]\n"
                 "                        [--kind K] [--json]\n"
                 "         URL: a PostgreSQL catalogue, postgresql://[user@]host[:port]/db or\n"
                 "              postgresql:///db?host=/socket/folder\n");
    return 2;
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    if (command == "scan" && argc == 3)
        return runScanCommand(argv[2]);
    if (command == "scan" && argc == 4 && std::strcmp(argv[2], "--json") == 0)
        return runScanCommand(argv[3], true);
    if (command == "events" && argc > 2 &&
        (std::strcmp(argv[2], "--archive") == 0 || std::strcmp(argv[2], "--catalogue") == 0))
        return runArchiveEventsCommand(argc - 2, argv + 2);
    if (command == "track" || command == "kml" || command == "gpx" || command == "csv" || command == "events")
        return runTrackFamilyCommand(argc - 1, argv + 1);
    if (command == "backup")
        return runBackupCommand(argc - 2, argv + 2);
    if (command == "clip")
        return runClipCommand(argc - 2, argv + 2);
    if (command == "ingest")
        return runIngestCommand(argc - 2, argv + 2);
    if (command == "find")
        return runFindCommand(argc - 2, argv + 2);
    if (command == "report")
        return runReportCommand(argc - 2, argv + 2);
    return usage();
}
