#pragma once
// The toolbar's two upload buttons. The video-site button sends the user to
// the video-hosting service in their own browser; the application itself
// uploads nothing there. The social-network button runs the chain: sign-in
// (LoginDlg), the selection window in upload mode (BackupDlg, at most 10
// rows), then the upload window (EditUploadDlg). Each window answers by its
// own signal: the sign-in by signInFinished, the selection by rowsChosen,
// which goes on as an UploadSelection.
#include "base/AMediaFile.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

class BackupDlg;
class EditUploadDlg;
class LoginDlg;
class QWidget;

// What the upload window is opened over: the chosen playlist rows
// (ascending), the service, and the keys the sign-in gave.
struct UploadSelection {
    QList<int> rows;
    int16_t website = 1;
    QString fbKey;
    QString youTubeKey;
};

class UploadController : public QObject
{
    Q_OBJECT
public:
    struct Hooks {
        std::function<QWidget*()> window;            // parent of the windows; may give null
        std::function<QList<AMediaFile>()> playlist; // the playlist now
        std::function<void()> pausePlayback;         // before the sign-in opens
        std::function<bool()> otherSelectionOpen;    // the backup's selection window is open
    };

    explicit UploadController(QObject* parent = nullptr);
    ~UploadController() override;
    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    // Opens the video-hosting service's home page in the user's browser.
    void onButtonUploadYouTube();
    // "VideoSiteHomeURL", or the service's own page when that is not a web address.
    static QUrl videoSiteHomeUrl();
    // Nothing without a playlist or while one of its windows is open; a
    // message without the internet; otherwise playback pauses and the
    // sign-in window opens.
    void doVideoUpload(int16_t website);
    // Opens the sign-in window; its result goes to onSignInFinished.
    void doLogin();
    // The sign-in's result: signed in opens the selection window for upload
    // with these keys remembered; otherwise nothing follows.
    void onSignInFinished(bool signedIn, const QString& fbKey, const QString& youTubeKey);
    // Opens the selection window in upload mode (at most 10 rows).
    void openSelection(const QString& title);
    // The upload window over these rows, with the keys of the last sign-in.
    void editUploadVideos(const QList<int>& indexes);
    void editUploadVideos(const UploadSelection& selection);

    // A sign-in, selection or upload window of this chain is open.
    bool isBusy() const;
    LoginDlg* loginDialog() const;
    BackupDlg* selectionDialog() const;
    EditUploadDlg* uploadDialog() const;
    int16_t videoWebsite() const { return m_nVideoWebsite; }

Q_SIGNALS:
    // Rows chosen in the selection window (the upload window follows).
    void selectionChosen(const UploadSelection& selection);

private:
    QWidget* window() const;
    QList<AMediaFile> playlist() const;

    Hooks m_hooks;
    QPointer<LoginDlg> m_loginDlg;
    QPointer<BackupDlg> m_selectDlg;
    QPointer<EditUploadDlg> m_editDlg;
    QString mFBKey;
    QString mYouTubeKey;
    int16_t m_nVideoWebsite = 1;
};

Q_DECLARE_METATYPE(UploadSelection)
