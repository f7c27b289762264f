#pragma once
// The library build runs its walk on a worker thread and finishes from the
// event loop: a test that asks for a build waits here until it has ended.
#include "app/AppDelegate.h"
#include "app/CameraClockCorrection.h"
#include "library/LibraryModel.h"

#include <QString>
#include <QTest>

namespace librarytest
{

// Waits (running the event loop) until no build runs or waits to run.
inline bool waitForLibrary(const LibraryModel& library, int ms = 60000)
{
    return QTest::qWaitFor([&] { return !library.isBuildingLibrary(); }, ms);
}

// Builds the library from `folder` and waits until the build has ended.
inline bool buildLibrary(LibraryModel& library, const QString& folder, int ms = 60000)
{
    return library.buildVideoLibrary(folder) && waitForLibrary(library, ms);
}

// In the application a build's end also starts the card's clock measurement,
// whose track reads write log lines of their own from a worker: the build has
// ended once that is done too.
inline bool waitForLibrary(const AppDelegate& d, int ms = 60000)
{
    const auto measured = [&d] {
        const CameraClockCorrection* clock = d.cameraClockCorrection();
        return !clock || !clock->isMeasuring();
    };
    return waitForLibrary(*d.library(), ms) && QTest::qWaitFor(measured, ms);
}

inline bool buildLibrary(AppDelegate& d, const QString& folder, int ms = 60000)
{
    return d.library()->buildVideoLibrary(folder) && waitForLibrary(d, ms);
}

} // namespace librarytest
