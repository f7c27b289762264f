#pragma once
// The harsh-driving marks wired to what feeds them (the track that plays, the
// playlist) and to the panels that show them: the time slider, the G-sensor
// graph and the file list. Each block here reads "from -> to".
#include "app/WindowController.h"

class HarshMarks;
class LanguageSwitch;
class LibraryModel;
class PlaybackSession;

// Once per set of panels; every panel may be null.
void connectHarshMarks(HarshMarks& marks, PlaybackSession& session, LibraryModel& library,
                       LanguageSwitch* languages, const WindowController::Panels& panels);
