#pragma once
// The panels that show playback, connected to what the playback session
// reports. The session knows no panel; each block here reads "from -> to".
#include "app/WindowController.h"

#include <functional>

class PlaybackSession;

// Connects `session` to those of `panels` that exist (each may be null).
// Once per set of panels. `mapFullScreen`: the map fills the window now.
void connectPlaybackPanels(PlaybackSession& session, const WindowController::Panels& panels,
                           const std::function<bool()>& mapFullScreen = {});
