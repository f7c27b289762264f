#pragma once
// The application with its panels and fresh settings, as the library's window
// tests drive it; nothing plays when it goes.
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "base/Services.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSettings>

#include <functional>
#include <memory>

struct LibraryApp {
    std::unique_ptr<AppDelegate> app;
    // `arrange` lays the window out further before the application starts.
    explicit LibraryApp(bool sized = true, const std::function<void(AppDelegate&)>& arrange = {})
    {
        QSettings().clear();
        pmInstallStringTables();
        app = std::make_unique<AppDelegate>();
        app->awakeFromNib();
        app->createPanels();
        if (sized)
            app->window()->resize(980, 660);
        if (arrange)
            arrange(*app);
        app->initialData();
    }
    ~LibraryApp()
    {
        app->setCurPlaylistIndex(-1, false);
        app->applicationWillTerminate();
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QSettings().clear();
    }
    AppDelegate* operator->() const { return app.get(); }
};
