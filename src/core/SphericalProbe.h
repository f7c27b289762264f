#pragma once
// Whether a QuickTime/MP4 recording says it holds a 360-degree picture: its
// first video sample entry carries a spherical-video box ("sv3d") or a stereo
// box ("st3d"), or one of its tracks holds the spherical-video XMP "uuid" box
// with GSpherical:Spherical true. Only box headers and those small boxes are
// read, with plain file reads bounded by the file's real length; no length
// field is trusted and no decoder is opened. Anything unreadable is "not
// spherical".
#include <string>

bool pmIsSphericalVideo(const std::string& path);
