// Placeholder until the track commands land.
#include "tool/Commands.h"

#include <cstdio>

int runTrackCommand(const char*)
{
    std::fprintf(stderr, "rovixtool: track is not available yet\n");
    return 2;
}

int runKmlCommand(const char*, const char*)
{
    std::fprintf(stderr, "rovixtool: kml is not available yet\n");
    return 2;
}
