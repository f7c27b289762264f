#pragma once
// Entry points of rovixtool's commands; each returns the process exit status.

// scan [--json] FOLDER
int runScanCommand(const char* folder, bool json = false);
int runTrackCommand(const char* recording);
int runKmlCommand(const char* recording, const char* outputPath);
// gpx and csv: the track as GPX 1.1 or as a CSV table (exit codes as kml).
int runTrackExportCommand(const char* command, const char* recording, const char* outputPath);
// events RECORDING: one line per harsh-driving mark.
int runEventsCommand(const char* recording, double thresholdG);
// track, kml, gpx, csv and events with their options ([--with FILE] [--offset
// SECONDS], events also [--threshold G]); argv[0] is the command.
int runTrackFamilyCommand(int argc, char** argv);
// backup [--evidence] DEST RECORDING...
int runBackupCommand(int argc, char** argv);
// clip [--before S] [--after S] DEST RECORDING TIME (run by the rovixprobe helper)
int runClipCommand(int argc, char** argv);
// ingest --archive DIR --vehicle NAME CARD...
int runIngestCommand(int argc, char** argv);
// find --archive DIR --near LAT,LON --radius METRES [--from T] [--to T] [--vehicle V] [--json]
int runFindCommand(int argc, char** argv);
// events --archive DIR [--from T] [--to T] [--vehicle V] [--kind brake|accel|turn] [--json]
int runArchiveEventsCommand(int argc, char** argv);
// report --archive DIR --from DAY --to DAY [--vehicle V] [--format csv] [--json]
int runReportCommand(int argc, char** argv);
// "Rovix Manager <version>", the creator named in the documents the tool writes.
const char* toolCreator();
