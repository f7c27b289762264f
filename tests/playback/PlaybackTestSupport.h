#pragma once
// A controller over real headless surfaces (the offscreen platform makes every
// surface vo=null/ao=null) and generated recordings with dash-camera names.
#include "MediaGen.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "controls/PlayControlView.h"
#include "playback/PlaybackSession.h"
#include "views/VideoPlayerView.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace playtest
{

inline bool makeRecording(const QString& path, double seconds, bool rear = false, bool audio = false,
                          int width = 320, int height = 240, int fps = 10)
{
    mediagen::RecordingSpec settings;
    settings.container = path.endsWith(QLatin1String(".MOV"), Qt::CaseInsensitive) ? mediagen::Container::Mov
                                                                                   : mediagen::Container::Mp4;
    settings.seconds = seconds;
    settings.width = width;
    settings.height = height;
    settings.fps = fps;
    settings.rear = rear;
    settings.withAudio = audio;
    settings.faststart = true;
    return mediagen::writeRecording(QFile::encodeName(path).toStdString(), settings);
}

inline bool waitFor(const std::function<bool()>& condition, int ms = 15000)
{
    return QTest::qWaitFor(condition, ms);
}

inline double mpvDouble(const VideoPlayerView* view, const char* name)
{
    return view ? view->player()->doubleProperty(name).value_or(-1) : -1;
}

inline int mpvFlag(const VideoPlayerView* view, const char* name)
{
    if (!view)
        return -1;
    const std::optional<bool> value = view->player()->flagProperty(name);
    return value ? int(*value) : -1;
}

// A controller with its main window (not shown) and the observers of a real
// start-up, over a library of the given files.
struct Controller {
    std::unique_ptr<AppDelegate> app;
    int removedCount = 0;
    std::unique_ptr<QObject> observer;

    // With panels, the window's real panels are created and wired as at start-up.
    explicit Controller(const QStringList& files, bool panels = false)
    {
        app = std::make_unique<AppDelegate>();
        app->awakeFromNib();
        if (panels)
            app->createPanels();
        app->window()->resize(980, 660);
        app->window()->playerView()->setGeometry(0, 0, 640, 480);
        app->window()->playerView2()->setGeometry(650, 0, 320, 240);
        app->initialData();
        observer = std::make_unique<QObject>();
        QObject::connect(app->playback(), &PlaybackSession::recordingMissing, observer.get(),
                         [this] { ++removedCount; });
        QList<AMediaFile> lib;
        for (const QString& f : files)
            lib.append(
                AMediaFile::mediaFileWithNativePath(QFile::encodeName(f), QFileInfo(f).lastModified()));
        app->setVideoLib(lib);
        app->rebuildPlaylist();
    }
    ~Controller()
    {
        observer.reset();
        app->setCurPlaylistIndex(-1, false);
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    AppDelegate* operator->() const { return app.get(); }

    void doubleClick(int row) { app->dblClickFile(row); }
    void playBar(PlayControlView::Command code)
    {
        NotificationCenter::defaultCenter().post(Notifications::PlayBarButtonClicked, QVariant(int(code)));
    }
    void slider(const QString& type, int value)
    {
        NotificationCenter::defaultCenter().post(Notifications::DoSliderChanged, QVariant(value),
                                                 QVariantMap{{QStringLiteral("SLIDER_TYPE"), type}});
    }
    // Waits until the current recording (and its partner, with two cameras) is ready.
    bool waitOpened()
    {
        return waitFor([this] {
            const bool first = app->videoPlayView() && app->videoPlayView()->getPlayerStatus() == 1 &&
                               !app->isVideoLoading();
            const bool second = !app->has2Videos() || app->videoPlayView2()->getPlayerStatus() == 1;
            return first && second;
        });
    }
    int entryOf(const VideoPlayerView* view) const
    {
        if (!view)
            return -1;
        for (int i = 0; i < app->playlist().size(); ++i)
            if (app->playlist().at(i).URL() == view->URL())
                return i;
        return -1;
    }
};

} // namespace playtest
