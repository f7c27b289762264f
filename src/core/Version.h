#pragma once
// The product's version as the files it writes state it (clip.txt,
// package.txt, the GPX creator): one text, whether the window or the
// command line wrote the file. The window's About box and log keep their
// own edition suffix (base/Services.h, pmGetVersionString).
#include <string>

// "1.0.0"
std::string pmProductVersion();
// "Rovix Manager 1.0.0"
std::string pmProductCreator();
