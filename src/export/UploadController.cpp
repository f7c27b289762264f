#include "export/UploadController.h"

#include "base/DialogSeam.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/BackupDlg.h"
#include "core/Log.h"
#include "platform/Reachability.h"
#include "upload/EditUploadDlg.h"
#include "upload/LoginDlg.h"

#include <QDesktopServices>

UploadController::UploadController(QObject* parent) : QObject(parent)
{
    connect(this, &UploadController::selectionChosen, this,
            qOverload<const UploadSelection&>(&UploadController::editUploadVideos));
}

UploadController::~UploadController() = default;

bool UploadController::isBusy() const
{
    return !m_loginDlg.isNull() || !m_selectDlg.isNull() || !m_editDlg.isNull();
}

LoginDlg* UploadController::loginDialog() const
{
    return m_loginDlg.data();
}

BackupDlg* UploadController::selectionDialog() const
{
    return m_selectDlg.data();
}

EditUploadDlg* UploadController::uploadDialog() const
{
    return m_editDlg.data();
}

QWidget* UploadController::window() const
{
    return m_hooks.window ? m_hooks.window() : nullptr;
}

QList<AMediaFile> UploadController::playlist() const
{
    return m_hooks.playlist ? m_hooks.playlist() : QList<AMediaFile>();
}

QUrl UploadController::videoSiteHomeUrl()
{
    const QUrl url(pmReadSetting(SettingsKeys::videoSiteHomeUrl));
    // Only a web address goes to the browser: a hand-edited setting must not
    // make the button open a local file or run a handler for another scheme.
    if (url.isValid() && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http")) &&
        !url.host().isEmpty())
        return url;
    return QUrl(SettingsKeys::videoSiteHomeUrl.defaultValue());
}

void UploadController::onButtonUploadYouTube()
{
    const QUrl url = videoSiteHomeUrl();
    pmWriteLogQ(QStringLiteral("AppDelegate - onButtonUploadYouTube() - %1").arg(url.toString()));
    if (QDesktopServices::openUrl(url))
        return;
    pmWriteLog("AppDelegate - onButtonUploadYouTube() - no browser could open the page");
    // Without a browser the click would do nothing visible: give the address
    // in a message whose text can be selected and copied.
    pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_NO_BROWSER")).arg(url.toString()));
}

void UploadController::doVideoUpload(int16_t website)
{
    m_nVideoWebsite = website;
    if (playlist().isEmpty())
        return;
    // One sign-in, selection or upload at a time.
    if (isBusy() || (m_hooks.otherSelectionOpen && m_hooks.otherSelectionOpen()))
        return;
    if (!pmIsInternetConnected()) {
        pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_NO_INTERNET")));
        return;
    }
    if (m_hooks.pausePlayback)
        m_hooks.pausePlayback();
    doLogin();
}

void UploadController::doLogin()
{
    auto* dlg = new LoginDlg(window());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setVideoWebsite(m_nVideoWebsite);
    connect(dlg, &LoginDlg::signInFinished, this, &UploadController::onSignInFinished);
    m_loginDlg = dlg;
    dlg->show();
    dlg->raise();
}

void UploadController::onSignInFinished(bool signedIn, const QString& fbKey, const QString& youTubeKey)
{
    if (!signedIn)
        return;
    mFBKey = fbKey;
    mYouTubeKey = youTubeKey;
    openSelection(pmLoadString(m_nVideoWebsite == 1 ? QStringLiteral("IDS_UPLOAD_FACEBOOK")
                                                    : QStringLiteral("IDS_UPLOAD_YOUTUBE")));
}

void UploadController::openSelection(const QString& title)
{
    auto* dlg = new BackupDlg(playlist(), window());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setNMaxSelFileCount(10);
    dlg->setEvidenceOptionVisible(false);
    dlg->setTitle(title);
    m_selectDlg = dlg;
    connect(dlg, &QDialog::finished, dlg, &QObject::deleteLater);
    connect(dlg, &BackupDlg::rowsChosen, this, [this](const QList<int>& rows, bool) {
        Q_EMIT selectionChosen({rows, m_nVideoWebsite, mFBKey, mYouTubeKey});
    });
    dlg->show();
    dlg->raise();
}

void UploadController::editUploadVideos(const QList<int>& indexes)
{
    editUploadVideos(UploadSelection{indexes, m_nVideoWebsite, mFBKey, mYouTubeKey});
}

void UploadController::editUploadVideos(const UploadSelection& selection)
{
    pmWriteLog("editUploadVideos start - upload to facebook !");
    if (m_editDlg)
        m_editDlg->close();
    auto* dlg = new EditUploadDlg(playlist(), window());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setSelectedFileIndexSet(selection.rows);
    dlg->setVideoWebsite(selection.website);
    dlg->setFBKey(selection.fbKey);
    dlg->setYouTubeKey(selection.youTubeKey);
    m_editDlg = dlg;
    dlg->show();
    dlg->raise();
    pmWriteLog("editUploadVideos show !");
}
