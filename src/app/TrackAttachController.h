#pragma once
// Tracks attached from other devices (a phone's GPX, a logger's NMEA...) to
// recordings whose camera logged no positions, or poor ones: "Attach a
// track..." and "Remove the attached track" in the settings menu, the window
// that lines the track up, and the stored choices (core/TrackAttachments, in
// the application's data folder, never on the card).
//
// While the window is open every change of offset or scope is in force at
// once (the map follows the track as it is moved); OK stores it, Cancel puts
// back what was there before. The tracks it hands out are read once per file
// and kept while the file is unchanged.
// Main thread only; the finders it makes for workers own what they answer.
#include "core/ForeignTrack.h"
#include "core/TrackAttachments.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class AttachTrackDlg;
class GpsList;
class QTimer;
class QWidget;

class TrackAttachController : public QObject
{
    Q_OBJECT
public:
    struct Hooks {
        std::function<QWidget*()> window;         // parent of the windows; may give null
        std::function<std::string()> recording;   // native path of the recording shown, "" none
        std::function<double()> recordingSeconds; // its length in seconds
        // The recordings of the trip holding a recording, in order (the
        // recording alone outside a trip).
        std::function<std::vector<std::string>(const std::string&)> tripOf;
    };

    // `dataFolder`: where the choices are kept (made when first stored).
    explicit TrackAttachController(const QString& dataFolder, QObject* parent = nullptr);
    ~TrackAttachController() override;
    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    // The menu item: a message without a recording shown, else the file chooser.
    void onAttachTrack();
    // The chosen file: read it (a clear message and nothing attached when it
    // holds no usable track), attach it to the recording at offset 0, and
    // open the window that lines it up.
    void attachFile(const QString& file);
    // The menu item: removes what serves the recording shown (its own
    // attachment, else its trip's).
    void onRemoveTrack();
    // -1 no recording shown, 0 none attached, 1 one serves it.
    int menuState() const;

    // The attached track in place of the positions of `recording`; false
    // without one, or when it cannot be used (said in the log).
    bool readTrack(const std::string& recording, const std::function<double()>& seconds, GpsList& list,
                   std::string& source);
    // A finder for a job on another thread, answering for these recordings.
    TrackAttachmentFinder finderFor(const std::vector<std::string>& recordings) const;
    std::optional<TrackAttachment> attachmentFor(const std::string& recording) const;

    AttachTrackDlg* dialog() const;
    const TrackAttachmentStore& store() const { return m_store; }

Q_SIGNALS:
    // What serves the recording shown changed: read its track again.
    void trackChanged();

private:
    const ForeignTrack* parsed(const std::string& file, std::string& error);
    std::string tripFirst(const std::string& recording) const;
    void changePending(int offsetSeconds, bool wholeTrip);
    void finishWindow(bool keep);
    QString coverageText();
    bool saveStore(std::string& error);

    Hooks m_hooks;
    QString m_dataFolder;
    TrackAttachmentStore m_store;
    QTimer* m_apply; // throttles the reloads while the offset moves
    QString m_lastFolder;
    // The store as it was when the window opened (Cancel restores it).
    std::optional<TrackAttachmentStore> m_before;
    std::string m_windowRecording; // the recording the window lines a track up for
    std::string m_windowFile;
    QPointer<AttachTrackDlg> m_dialog;
    // The last file read, while its size and time stay the same.
    struct Cached {
        std::string file;
        long long size = -1;
        long long mtimeNs = -1;
        ForeignTrack track;
    };
    Cached m_cache;
};
