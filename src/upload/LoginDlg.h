#pragma once
// The sign-in window for the social-network upload: the network's own login
// pages in an embedded web view, watched until they redirect to the
// login-success page with an access token; then an asynchronous check that
// the user granted the right to publish, and the result as signInFinished
// (signed in with the right, or not: cancelled, declined or failed; the keys).
//
// The web view has a profile of its own that keeps nothing on disk, so the
// sign-in pages never see another site's cookies and leave none behind.
// Closing the window by its close control ends the sign-in with no result;
// Cancel and Escape end it with result 0. The token never reaches the log or the console. Main thread only.
#include <QDialog>
#include <QPointer>
#include <QString>

class PermissionQuery;
class QLabel;
class QPushButton;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

class LoginDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kPermissionTimeoutMs = 30000;

    explicit LoginDlg(QWidget* parent = nullptr);
    ~LoginDlg() override;

    void setVideoWebsite(int16_t website) { m_nVideoWebsite = website; }
    int16_t nVideoWebsite() const { return m_nVideoWebsite; }
    // Loads the sign-in page (done once when the window first shows).
    void doLogin();
    void webLoadStarted();
    void webLoadComplete(bool ok);
    // Reads the token from an address the web view arrived at.
    void getFacebookKey(const QString& address);
    void checkPermission();
    // Closes the window, then emits signInFinished (signed in for 1); once.
    void reportResult(int result);
    void setFacebookKeyProfile();
    void setLayerString();
    bool isBrowserLogin() const { return m_nVideoWebsite == 1; }
    void okButtonAction();
    void cancelButtonAction();
    void endWaitingWindow();

    // The longest wait for the permission answer (tests shorten it).
    void setPermissionTimeout(int ms) { m_nPermissionTimeoutMs = ms; }
    bool isCheckingPermission() const;
    const QString& facebookKey() const { return m_strFBKey; }
    QWebEngineView* loginView() const { return m_loginView; }
    QWebEngineProfile* profile() const { return m_profile; }

Q_SIGNALS:
    // The sign-in has ended: with the right to publish and the keys it gave,
    // or not (cancelled, declined or failed; the keys may then be empty).
    void signInFinished(bool signedIn, const QString& fbKey, const QString& youTubeKey);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void onPermissionAnswer(int outcome);
    void startWaiting();
    void stopWaiting();

    QWebEngineProfile* m_profile = nullptr;
    QWebEnginePage* m_page = nullptr;
    QWebEngineView* m_loginView = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QLabel* m_loginTitleLab = nullptr;
    PermissionQuery* m_permission = nullptr;
    int16_t m_nVideoWebsite = 1;
    QString m_strFBClientID;
    QString m_strFBKey;
    QString m_strYouTubeKey;
    QString mFBKeyProfile;
    int m_nPermissionTimeoutMs = kPermissionTimeoutMs;
    bool m_bStarted = false;
    bool m_bWaiting = false;   // the busy window is wanted
    bool m_bWaitShown = false; // ... and has been opened
    bool m_bPosted = false;
    bool m_bEnded = false;
};
