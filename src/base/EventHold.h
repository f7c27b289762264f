#pragma once
// A hold on the program's own queued work while the event loop is pumped
// inside an operation. The busy window pumps once so the window system maps
// it; without a hold, a player event or a folder-monitor batch queued at that
// moment would run in the middle of the operation that showed the window (a
// library build, a playlist rebuild) and find its state half-changed.
//
// Work that may be queued (player event draining, monitor deliveries, checks
// posted for later) runs through pmRunUnlessHeld: at once when no hold is on,
// otherwise kept and queued again when the last hold ends, so it runs after
// the operation returns to the event loop. Main thread only.
#include <QObject>
#include <functional>

class EventHold
{
public:
    EventHold();
    ~EventHold();
    EventHold(const EventHold&) = delete;
    EventHold& operator=(const EventHold&) = delete;
};

bool pmEventsHeld();
// Runs `work` now, or, while a hold is on, once every hold has ended (queued
// on the event loop; dropped if `context` has been destroyed by then).
void pmRunUnlessHeld(QObject* context, std::function<void()> work);
