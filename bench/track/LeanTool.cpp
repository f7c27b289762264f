// rovixtool's track and kml commands without the rest of the tool.
#include "tool/Commands.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "track" && argc == 3)
        return runTrackCommand(argv[2]);
    if (command == "kml" && argc == 4)
        return runKmlCommand(argv[2], argv[3]);
    std::fprintf(stderr, "usage: rovixtool_lean track RECORDING | kml RECORDING OUT.kml\n");
    return 2;
}
