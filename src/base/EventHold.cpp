#include "base/EventHold.h"

#include <QPointer>
#include <QTimer>
#include <utility>
#include <vector>

namespace
{
struct HeldWork {
    QPointer<QObject> context;
    std::function<void()> work;
};

int& holdDepth()
{
    static int depth = 0;
    return depth;
}

std::vector<HeldWork>& heldWork()
{
    static std::vector<HeldWork> held;
    return held;
}
} // namespace

EventHold::EventHold()
{
    ++holdDepth();
}

EventHold::~EventHold()
{
    if (--holdDepth() > 0)
        return;
    std::vector<HeldWork> held;
    held.swap(heldWork());
    for (HeldWork& h : held) {
        if (!h.context)
            continue;
        // Queued, not run here: the hold ends inside the operation that took it.
        // Through pmRunUnlessHeld again, in case another hold has begun by then.
        QObject* context = h.context.data();
        QTimer::singleShot(0, context, [context, work = std::move(h.work)]() mutable {
            pmRunUnlessHeld(context, std::move(work));
        });
    }
}

bool pmEventsHeld()
{
    return holdDepth() > 0;
}

void pmRunUnlessHeld(QObject* context, std::function<void()> work)
{
    if (!work)
        return;
    if (holdDepth() > 0) {
        heldWork().push_back({QPointer<QObject>(context), std::move(work)});
        return;
    }
    work();
}
