#pragma once
// Entry points of rovixtool's commands; each returns the process exit status.

int runScanCommand(const char* folder);
int runTrackCommand(const char* recording);
int runKmlCommand(const char* recording, const char* outputPath);
