#include "upload/LoginDlg.h"
#include "controls/StandardDialogs.h"

#include "WaitingWindow/WaitingWindow.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "upload/SocialNetworkRequests.h"
#include "upload/UploadRequest.h"

#include <QCloseEvent>
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace
{
// Lets every navigation proceed, and logs those the user started by a link.
class LoginPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        if (type == NavigationTypeLinkClicked)
            pmWriteLogQ(QStringLiteral("decidePolicyForNavigationAction () - Address - ") +
                        SocialUpload::pmRedactToken(url.toString(QUrl::FullyEncoded), QString()));
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }
};
} // namespace

LoginDlg::LoginDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LoginDlg"));
    pmApplySkinPalette(this);
    setWindowModality(Qt::ApplicationModal);
    mFBKeyProfile = SettingsKeys::fbKey.key();
    m_strFBClientID = SocialUpload::applicationId();
    m_strYouTubeKey = QString();

    // A profile without a storage name keeps everything in memory, apart
    // from every other profile of the process.
    m_profile = new QWebEngineProfile(this);
    m_loginView = new QWebEngineView(this);
    m_loginView->setObjectName(QStringLiteral("m_loginView"));
    m_page = new LoginPage(m_profile, m_loginView);
    m_loginView->setPage(m_page);
    connect(m_loginView, &QWebEngineView::loadStarted, this, &LoginDlg::webLoadStarted);
    connect(m_loginView, &QWebEngineView::loadFinished, this, &LoginDlg::webLoadComplete);

    m_permission = new PermissionQuery(this);
    connect(m_permission, &PermissionQuery::finished, this, &LoginDlg::onPermissionAnswer);

    m_loginTitleLab = new QLabel(this);
    m_loginTitleLab->setObjectName(QStringLiteral("loginTitleLab"));
    m_okButton = new QPushButton(this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_cancelButton = new QPushButton(this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    connect(m_okButton, &QPushButton::clicked, this, &LoginDlg::okButtonAction);
    connect(m_cancelButton, &QPushButton::clicked, this, &LoginDlg::cancelButtonAction);
    m_okButton->setAutoDefault(false);
    m_cancelButton->setAutoDefault(false);
    // The web page has the keyboard and keeps Escape from the dialog: a
    // shortcut of the window sees the key first.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &LoginDlg::cancelButtonAction);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(8, 6, 8, 8);
    buttons->addWidget(m_loginTitleLab);
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_okButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_loginView, 1);
    layout->addLayout(buttons);
    resize(640, 520);
    setLayerString();
    m_okButton->setText(pmLoadString(QStringLiteral("IDS_LOGIN")));
    m_cancelButton->setText(pmLoadString(QStringLiteral("IDS_CANCEL")));
    connect(this, &QDialog::finished, this, [this] {
        m_permission->cancel();
        stopWaiting();
        if (!m_bEnded) {
            m_bEnded = true;
            pmWriteLogQ(QStringLiteral("LoginDlg End"));
        }
    });
}

LoginDlg::~LoginDlg()
{
    m_permission->cancel();
    stopWaiting();
    // The page must go before the profile it was made with.
    delete m_loginView;
    m_loginView = nullptr;
    m_page = nullptr;
}

void LoginDlg::setLayerString()
{
    setWindowTitle(pmLoadString(QStringLiteral("IDS_UPLOAD_FACEBOOK")));
    // The network's pages take the sign-in, so the form's own button stays
    // hidden; Cancel stays, or a page that never loads would leave no way out.
    m_okButton->hide();
    m_loginTitleLab->hide();
}

void LoginDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_bStarted)
        return;
    m_bStarted = true;
    pmCentreOnParentWindow(this);
    pmWriteLogQ(QStringLiteral("LoginDlg Start"));
    if (isBrowserLogin())
        doLogin();
}

void LoginDlg::doLogin()
{
    startWaiting();
    const QByteArray address = SocialUpload::oauthDialogAddress(SocialUpload::webBaseUrl(), m_strFBClientID);
    pmWriteLogQ(QStringLiteral("LoginDlg::doLogin () - Address - ") + QString::fromUtf8(address));
    m_loginView->load(QUrl::fromEncoded(address, QUrl::StrictMode));
}

void LoginDlg::webLoadStarted()
{
    qDebug("LoginDlg - page load started");
}

void LoginDlg::webLoadComplete(bool)
{
    stopWaiting();
    m_loginView->stop();
    getFacebookKey(m_loginView->url().toString(QUrl::FullyEncoded));
}

void LoginDlg::getFacebookKey(const QString& address)
{
    pmWriteLogQ(QStringLiteral("LoginDlg::getFacebookKey () - Address - ") +
                SocialUpload::pmRedactToken(address, m_strFBKey));
    if (m_bPosted || m_permission->isRunning())
        return;
    qDebug("--- Start to parse facebook key ---");
    // Only the redirect address itself ends the sign-in: a page elsewhere
    // that merely names it in its own address gets nothing.
    const SocialUpload::TokenResult result =
        SocialUpload::tokenFromAddress(address, SocialUpload::redirectUrl(SocialUpload::webBaseUrl()));
    switch (result.kind) {
    case SocialUpload::TokenResult::NotSuccessPage:
        qDebug("--- End to parse facebook key : login success address not found! ---");
        break;
    case SocialUpload::TokenResult::Token:
        m_strFBKey = result.token;
        setFacebookKeyProfile();
        checkPermission();
        qDebug("--- End to parse facebook key ---");
        break;
    case SocialUpload::TokenResult::Error:
        qDebug("User canceled facebook login");
        reportResult(0);
        break;
    case SocialUpload::TokenResult::NoToken:
        qDebug("access_token is not found");
        break;
    }
}

void LoginDlg::setFacebookKeyProfile()
{
    SocialUpload::saveAccessToken(m_strFBKey);
}

void LoginDlg::checkPermission()
{
    pmWriteLogQ(QStringLiteral("LoginDlg::checkPermission () - start"));
    m_loginView->hide();
    startWaiting();
    const QUrl url = SocialUpload::permissionsUrl(SocialUpload::graphBaseUrl(), m_strFBKey);
    pmWriteLogQ(QStringLiteral("LoginDlg::checkPermission () - query - ") +
                SocialUpload::pmRedactToken(url.toString(QUrl::FullyEncoded), m_strFBKey));
    m_permission->start(url, m_nPermissionTimeoutMs);
}

bool LoginDlg::isCheckingPermission() const
{
    return m_permission->isRunning();
}

void LoginDlg::onPermissionAnswer(int outcome)
{
    int result = 0;
    switch (outcome) {
    case PermissionQuery::Failed:
        pmWriteLogQ(QStringLiteral("LoginDlg::CheckPermission - FB Permission API failed ! - ") +
                    SocialUpload::pmRedactToken(m_permission->errorText(), m_strFBKey));
        if (!m_permission->body().isEmpty())
            pmWriteLogQ(
                QStringLiteral("LoginDlg::CheckPermission - FB Permission API result : ") +
                SocialUpload::answerForLog(m_permission->body(), m_permission->body().size(), m_strFBKey));
        break;
    case PermissionQuery::TimedOut:
        pmWriteLogQ(
            QStringLiteral("LoginDlg::CheckPermission - FB Permission API failed ! - no answer in %1 s")
                .arg(m_nPermissionTimeoutMs / 1000.0));
        break;
    default:
        pmWriteLogQ(
            QStringLiteral("LoginDlg::CheckPermission - FB Permission API result : ") +
            SocialUpload::answerForLog(m_permission->body(), m_permission->body().size(), m_strFBKey));
        result = outcome == PermissionQuery::Granted ? 1 : 0;
        break;
    }
    stopWaiting();
    pmWriteLogQ(result == 1 ? QStringLiteral("LoginDlg::CheckPermission - End - granted")
                            : QStringLiteral("LoginDlg::CheckPermission - End - declined"));
    reportResult(result);
    // The window has closed; without the right (refused, failed or silent)
    // the user learns why nothing more happens.
    if (result != 1)
        pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_SIGN_IN_FAILED")));
}

void LoginDlg::reportResult(int result)
{
    if (m_bPosted)
        return;
    m_bPosted = true;
    endWaitingWindow();
    Q_EMIT signInFinished(result == 1, m_strFBKey, m_strYouTubeKey);
}

void LoginDlg::okButtonAction()
{
    // The network's own pages take the sign-in; the form's button has nothing to send.
}

void LoginDlg::cancelButtonAction()
{
    reportResult(0);
}

void LoginDlg::endWaitingWindow()
{
    done(QDialog::Accepted);
}

void LoginDlg::startWaiting()
{
    if (m_bWaiting)
        return;
    m_bWaiting = true;
    // The busy window pumps the window system once as it opens: it opens from
    // the event loop, not inside the show or page-load handler that asks for it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_bWaiting && !m_bWaitShown) {
                m_bWaitShown = true;
                pmStartWait();
            }
        },
        Qt::QueuedConnection);
}

void LoginDlg::stopWaiting()
{
    if (!m_bWaiting)
        return;
    m_bWaiting = false;
    if (m_bWaitShown) {
        m_bWaitShown = false;
        pmEndWait();
    }
}

void LoginDlg::closeEvent(QCloseEvent* event)
{
    // The close control ends the sign-in without a result.
    m_bPosted = true;
    QDialog::closeEvent(event);
}

void LoginDlg::reject()
{
    // Escape is the Cancel button.
    cancelButtonAction();
}
