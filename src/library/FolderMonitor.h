#pragma once
// Watches the library's folder (its whole tree, and the mount table for the
// card holding it) while the program runs, and says what the folder's
// changes mean for the library:
// - a removal, an unmount or a rename asks for the check at once
//   (checkRequested: a listed recording may have gone from under playback);
// - once per batch of events, after the batch (so a burst of changes makes
//   one library update): the folder is back on a card put in again
//   (folderBack), or recordings may have gone and these arrived (changed).
// It reads the folder but never writes to it. Main thread only.
#include "base/AMediaFile.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class SCEvent;
class SCEvents;

class FolderMonitor : public QObject
{
    Q_OBJECT
public:
    explicit FolderMonitor(QObject* parent = nullptr);

    // Watches `folder` from now on (and no longer what was watched before).
    void start(const QString& folder);
    void stop();
    SCEvents* watcher() const { return m_watcher; }
    const QString& folder() const { return m_folder; }

    // The watcher's listener: logs the event and sorts it.
    void pathWatcher(SCEvents* watcher, const SCEvent& event);

Q_SIGNALS:
    void checkRequested();
    void folderBack(const QString& folder);
    // `arrived`: every recording found where files were added; the library
    // leaves out those it holds already.
    void changed(bool mayHaveGone, const QList<AMediaFile>& arrived);

private:
    void followUp();

    SCEvents* m_watcher = nullptr; // created on first use
    QString m_folder;
    QStringList m_pendingAddPaths;
    bool m_bFollowUpQueued = false;
    bool m_bPruneQueued = false;
    bool m_bRebuildQueued = false;
};
