#include "core/Version.h"

std::string pmProductVersion()
{
    return ROVIX_VERSION;
}

std::string pmProductCreator()
{
    return "Rovix Manager " + pmProductVersion();
}
