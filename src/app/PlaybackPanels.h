#pragma once
// The panels that show playback, connected to what the playback session
// reports. The session knows no panel; each block here reads "from -> to".
#include "app/WindowController.h"

class PlaybackSession;

// Connects `session` to those of `panels` that exist (each may be null).
// Once per set of panels.
void connectPlaybackPanels(PlaybackSession& session, const WindowController::Panels& panels);
