#pragma once
// What the folder's changes do to the library while the program runs, as the
// folder monitor reports them: recordings that vanished leave it (so the
// calendar no longer marks their days), and when a listed one went, playback
// is told before the playlist is rebuilt; recordings that arrive join it and
// the playlist without stopping what plays. Main thread only.
#include "base/AMediaFile.h"

#include <QList>
#include <QObject>

class LibraryModel;

class FolderFollowUp : public QObject
{
    Q_OBJECT
public:
    explicit FolderFollowUp(LibraryModel* library);

    // The check: when a listed recording has gone, the vanished entries leave
    // the library and the playlist is rebuilt.
    void check();
    // Drops recordings gone from the library and takes in those that arrived
    // (the playlist keeps what plays).
    void sync(bool mayHaveGone, const QList<AMediaFile>& arrived);

Q_SIGNALS:
    // The check found a listed recording gone, before anything is rebuilt.
    void vanished();
    // The library changed: the calendar marks its days again.
    void libraryChanged();

private:
    // Removes library entries whose files no longer exist; true when any went.
    bool pruneVanished();

    LibraryModel* m_library;
    bool m_bChecking = false;
};
