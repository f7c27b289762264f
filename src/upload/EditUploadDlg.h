#pragma once
// The upload window: a title and a description for each chosen recording
// (titles start as the file names), two recordings shown at a time with a
// scroller for more, then Upload posts them one after another, in ascending
// playlist order, with a progress bar for the one being sent. Cancel stops
// the request in flight and returns to editing; a later Upload starts again
// from the first recording. Only a 2xx answer counts as an uploaded
// recording: a refusal, no answer in time, a recording that can no longer be
// read or a failed connection stops the run with a message; the remaining
// recordings are not sent. A title longer than kMaxTitleLength is cut at a
// character boundary and the window says so under the field. Main thread only.
#include "base/AMediaFile.h"
#include "upload/SocialNetworkRequests.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QTimer;

class EditUploadDlg : public QDialog
{
    Q_OBJECT
public:
    // The scroller's integer range stands for values 0 .. 1.
    static constexpr int kScrollScale = 10000;
    // The longest title, in UTF-16 units.
    static constexpr int kMaxTitleLength = 32767;

    // playlist: the playlist the chosen indexes refer to.
    explicit EditUploadDlg(const QList<AMediaFile>& playlist, QWidget* parent = nullptr);
    ~EditUploadDlg() override;

    void setSelectedFileIndexSet(const QList<int>& indexes);
    void setVideoWebsite(int16_t website) { m_nVideoWebsite = website; }
    void setFBKey(const QString& key) { mFBKey = key; }
    void setYouTubeKey(const QString& key) { mYouTubeKey = key; }
    // The n-th chosen playlist index, or -1.
    int getselectedFileIndex(int n) const;
    // The playlist entry's path, or an empty string when out of range.
    QString getSelectedFilePath(int index) const;
    // The same path as the file system's own bytes (what is opened).
    QByteArray getSelectedNativePath(int index) const;
    QString getTitlelist(int n) const;
    QString getDirectionslist(int n) const;
    void setTitlelist(int n, const QString& value);
    void setDirectionslist(int n, const QString& value);

    void scrollAction(int action);
    void scrollChanged(int position);
    void saveScrollData(int position);
    void fileInfoHidden(bool hidden);
    void enableTextView(bool enable);
    void createScroller();
    void upload();
    void closeDialog();
    void uploadThreadFunctionMain();
    void facebookUpload(const QString& endpoint, const QString& filePath, const QString& title,
                        const QString& desc);
    void startTimer();
    void stopTimer();
    void updatePanels();
    void drawProgress();
    void postNotification();

    // The quiet spell after which a request counts as timed out (tests shorten it).
    void setRequestTimeout(int ms) { m_nRequestTimeoutMs = ms; }

    int count() const { return static_cast<int>(m_selFileIndexSet.size()); }
    int scrollPos() const { return m_nScrollPos; }
    bool isUploading() const { return m_bUploading; }
    int uploadCount() const { return m_nCurrentlyUploadCount; }
    int percent() const { return m_nPercent; }
    QPushButton* uploadButton() const { return m_uploadButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QLineEdit* editTitle(int slot) const { return m_slots[slot].editTitle; }
    QPlainTextEdit* editDescription(int slot) const { return m_slots[slot].editDescription; }
    QLabel* fileNameValue(int slot) const { return m_slots[slot].fileNameValue; }
    // The note under a title field that says the title was shortened.
    QLabel* titleNote(int slot) const { return m_slots[slot].titleNote; }
    QScrollBar* scroller() const { return hScroller; }
    QProgressBar* progressIndicator() const { return m_progress; }
    QLabel* percentTextField() const { return m_percentText; }
    VideoUploadRequest* request() const { return connection; }

protected:
    void showEvent(QShowEvent* event) override;
    // Escape is the Close/Cancel button: it cancels a running upload and
    // closes the window otherwise.
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Slot {
        QLabel* fileName = nullptr;
        QLabel* fileNameValue = nullptr;
        QLabel* title = nullptr;
        QLineEdit* editTitle = nullptr;
        QLabel* titleNote = nullptr;
        QLabel* description = nullptr;
        QPlainTextEdit* editDescription = nullptr;
    };
    void setLayerString();
    void showSlot(int slot, int n);
    void limitTitle(int slot);
    void onRequestFinished(int outcome);
    void failUpload();
    void endSession();

    QList<AMediaFile> mPlaylist;
    QList<int> m_selFileIndexSet;
    QStringList mTitlelist;
    QStringList mDirectionslist;
    Slot m_slots[2];
    QScrollBar* hScroller = nullptr;
    QGridLayout* m_scrollerColumn = nullptr;
    QPushButton* m_uploadButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_percentText = nullptr;
    QTimer* mUpdateProgressTimeTimer = nullptr;
    QPointer<VideoUploadRequest> connection;

    int m_nScrollPos = 0;
    int m_nItemsPerPage = 2;
    int m_nPageCount = 0;
    double m_bProportion = 0;
    double m_bScrollValue = 0;   // the value the last move was measured from
    double m_dScrollerValue = 0; // the value the scroller was last given
    bool m_bUploading = false;
    int m_nCurrentlyUploadCount = 0;
    qint64 mTotalBytesWritten = 0;
    qint64 mCurrentlyTotalBytesWritten = 0;
    qint64 m_lBodySize = 0;
    QByteArray m_nativeUploadPath; // the bytes of the path facebookUpload is about to open
    int m_nPercent = 0;
    bool m_bLoggedFull = false;
    QString mFBKey;
    QString mYouTubeKey;
    int16_t m_nVideoWebsite = 1;
    int m_nRequestTimeoutMs;
    bool m_bStarted = false;
    bool m_bEnded = false;
};
