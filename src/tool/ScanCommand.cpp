// Placeholder until the scan command lands.
#include "tool/Commands.h"

#include <cstdio>

int runScanCommand(const char*)
{
    std::fprintf(stderr, "rovixtool: scan is not available yet\n");
    return 2;
}
