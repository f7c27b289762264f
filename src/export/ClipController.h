#pragma once
// "Save clip...": around the moment on screen, the stretch of the current
// trip from the stored seconds before to the stored seconds after, per camera
// one MP4 joined without re-encoding, with its track, clip.txt and SHA256SUMS
// (media/ClipExport.h), into a new folder of a chosen destination. The
// lengths window, the folder chooser, the progress window with Cancel and one
// worker thread per job. What it needs from playback and the library comes
// in through Hooks; the end of a job goes out as finished(). Main thread only.
#include "media/ClipExport.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class ClipDlg;
class ProgressDlg;
class QTimer;
class QWidget;
struct BackupProgress;

class ClipController : public QObject
{
    Q_OBJECT
public:
    struct Hooks {
        std::function<QWidget*()> window;            // parent of the windows; may give null
        std::function<QString()> sourceFolder;       // the card shown: no clip goes into it
        std::function<void()> pausePlayback;         // before a window opens over the video
        std::function<int()> currentIndex;           // playlist index of the recording on screen, -1 none
        std::function<double()> currentSeconds;      // the moment, into that recording
        std::function<QByteArray(int)> playlistPath; // native path of a playlist row ("" none)
        std::function<std::vector<int>(int)> tripMembers; // the row's trip, same camera, in order
        std::function<int(int)> partnerIndex;             // the other camera's row, -1 none
        // The tracks attached to these recordings, answered on the job's thread.
        std::function<TrackAttachmentFinder(const std::vector<std::string>&)> attachedTracks;
    };

    explicit ClipController(QObject* parent = nullptr);
    ~ClipController() override;
    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    // The menu item and the key: the lengths window over the moment on screen
    // (nothing while a job runs or the window is open; a message when no
    // recording is open).
    void onSaveClip();
    // The lengths are chosen: stores them, then asks for the destination.
    // `overlay`: re-encode with the time, speed and position drawn in.
    void chooseDestination(int beforeSeconds, int afterSeconds, bool overlay = false);
    // The destination is known: the progress window and the worker.
    void startClip(const QString& destFolder);
    bool isRunning() const;
    const ClipResult& lastResult() const { return m_lastResult; }
    ClipDlg* lengthsDialog() const;
    ProgressDlg* progressDialog() const;
    // The current (or last) job's shared state; null before the first.
    const ClipJobState* jobState() const { return m_state.get(); }
    // Lets a test touch a job's state (cancel it) before its thread starts.
    void setStateHook(std::function<void(ClipJobState&)> hook) { m_stateHook = std::move(hook); }

    // The marking's frame: of the front camera or the rear, at seconds from
    // the clip's moment, read on a worker thread; the latest asked for
    // follows the one being read.
    void grabFrame(double secondsFromMoment, bool rear);

Q_SIGNALS:
    void finished(const ClipResult& result);

private:
    void finishClip(const ClipResult& result);
    void startGrab();
    QWidget* window() const;

    Hooks m_hooks;
    QPointer<ClipDlg> m_dialog;
    QPointer<ProgressDlg> m_progressDlg;
    QPointer<QTimer> m_poll;
    ClipRequest m_request;
    std::shared_ptr<ClipJobState> m_state;
    std::shared_ptr<BackupProgress> m_progress;
    QPointer<QObject> m_job;
    QPointer<QObject> m_grab;
    bool m_grabWanted = false;
    double m_grabAt = 0;
    bool m_grabRear = false;
    ClipResult m_lastResult;
    std::function<void(ClipJobState&)> m_stateHook;
};

Q_DECLARE_METATYPE(ClipResult)
