#pragma once
// Set-up shared by the benchmarks that drive the whole controller headless:
// the offscreen platform, settings of their own (a bench never touches the
// user's) and no log, then the controller launched with its panels.
#include "app/AppDelegate.h"
#include "base/Services.h"
#include "core/Log.h"

#include <QApplication>
#include <memory>

namespace bench
{
// Before the QApplication exists: offscreen, and the map's web view without a sandbox.
inline void prepareHeadless()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
}

// After it: the bench's own settings, no log, and a controller with every panel.
inline std::unique_ptr<AppDelegate> launchController()
{
    QCoreApplication::setOrganizationName(QStringLiteral("RovixManagerBench"));
    QCoreApplication::setApplicationName(QStringLiteral("RovixManagerBench"));
    pmSetLogFilePath("/dev/null");
    AppDelegate::getSkinId();
    pmInstallStringTables();
    auto d = std::make_unique<AppDelegate>();
    d->awakeFromNib();
    d->createPanels();
    d->initialData();
    return d;
}
} // namespace bench
