#pragma once
// The library's build: a folder walked on a worker thread (core/LibraryScan.h)
// while the busy window shows and the main window takes no input, one walk at
// a time, and the folder chooser that starts one. What the walk found goes
// to the library by signal; the library, the playlist and every panel stay
// the main thread's, and the worker touches nothing but its job. Main thread
// only, except the walk.
#include "base/AMediaFile.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <utility>

class QWidget;

class LibraryBuilder : public QObject
{
    Q_OBJECT
public:
    explicit LibraryBuilder(QObject* parent = nullptr);
    ~LibraryBuilder() override;

    // The window that takes no input while a walk runs (none: nothing held back).
    void setInputWindow(QWidget* window);
    // Starts a build and returns at once (started, then walked and ended from
    // the main loop). Asked while a walk runs, the folder is built after it
    // (the last asked).
    void build(const QString& folder);
    // A walk is running or a folder waits to be built.
    bool isBuilding() const { return m_job != nullptr || !m_pendingFolder.isNull(); }
    // A walk's worker is running now.
    bool isScanning() const { return m_job != nullptr; }
    // Tear-down: waits for a running walk and drops its result and any queued build.
    void waitForScanToEnd();
    // A folder chooser over the input window; a chosen folder is remembered
    // and handed to the opener when one is set, else reported (folderChosen).
    // Nothing while a walk runs.
    void browse();
    void setFolderOpener(std::function<void(const QString& folder)> opener) { m_opener = std::move(opener); }
    // Walks in the calling thread: the library's entries for what it admits.
    static QList<AMediaFile> walk(const QString& folder);

Q_SIGNALS:
    // A walk of `folder` is about to begin (before the busy window opens).
    void started(const QString& folder);
    // The walk is done: the library takes what it found (the busy window is up).
    void walked(const QString& folder, const QList<AMediaFile>& found);
    // The build has ended: its last log line written, the busy window closed.
    void ended();
    // Browse chose this folder and no opener is set.
    void folderChosen(const QString& folder);

private:
    void removeInputFilter();

    QObject* m_job = nullptr;         // the walk's WorkerJob while it runs
    QString m_pendingFolder;          // null when none waits
    QObject* m_inputFilter = nullptr; // a ScanInputFilter while a walk runs
    QPointer<QWidget> m_inputWindow;
    std::function<void(const QString&)> m_opener;
};
