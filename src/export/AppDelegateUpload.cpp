// The toolbar's two upload buttons. The video-site button sends the user to
// the video-hosting service in their own browser; the application itself
// uploads nothing there. The social-network button runs the chain: sign-in
// (LoginDlg), the selection window in upload mode (BackupDlg, at most 10
// rows), then the upload window (EditUploadDlg). The sign-in's and the
// selection's results both arrive as "UploadVideoChanged" (see
// UploadVideoChanged in export/AppDelegateExport.cpp).
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "base/DialogSeam.h"
#include "base/NotificationCenter.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/BackupDlg.h"
#include "core/Log.h"
#include "platform/Reachability.h"
#include "upload/EditUploadDlg.h"
#include "upload/LoginDlg.h"

#include <QDesktopServices>
#include <QUrl>

namespace
{
// Where the button leads unless the settings name another home page.
const char* const kDefaultVideoSiteHome = "https://www.youtube.com";
} // namespace

QUrl AppDelegate::videoSiteHomeUrl()
{
    const QUrl url(pmGetStringSetting(SettingsKey::videoSiteHomeUrl(), QLatin1String(kDefaultVideoSiteHome)));
    // Only a web address goes to the browser: a hand-edited setting must not
    // make the button open a local file or run a handler for another scheme.
    if (url.isValid() && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http")) &&
        !url.host().isEmpty())
        return url;
    return QUrl(QLatin1String(kDefaultVideoSiteHome));
}

void AppDelegate::onButtonUploadYouTube()
{
    const QUrl url = videoSiteHomeUrl();
    pmWriteLogQ(QStringLiteral("AppDelegate - onButtonUploadYouTube() - %1").arg(url.toString()));
    if (!QDesktopServices::openUrl(url))
        pmWriteLog("AppDelegate - onButtonUploadYouTube() - no browser could open the page");
}

void AppDelegate::onButtonUploadFacebook()
{
    doVideoUpload(1);
}

void AppDelegate::doVideoUpload(int16_t website)
{
    m_nVideoWebsite = website;
    if (mPlaylist.isEmpty())
        return;
    // One sign-in, selection or upload at a time.
    if (mLoginDlg || mEditUploadDlg || _backupDlg)
        return;
    if (!pmIsInternetConnected()) {
        pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_NO_INTERNET")));
        return;
    }
    pausePlayback();
    doLogin();
}

void AppDelegate::doLogin()
{
    auto& center = NotificationCenter::defaultCenter();
    center.removeObserver(this, Notifications::UploadVideoChanged);
    center.addObserver(this, Notifications::UploadVideoChanged,
                       [this](const Notification& n) { UploadVideoChanged(n); });
    auto* dlg = new LoginDlg(m_window);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setVideoWebsite(m_nVideoWebsite);
    mLoginDlg = dlg;
    dlg->show();
    dlg->raise();
}

void AppDelegate::editUploadVideos(const QList<int>& indexes)
{
    pmWriteLog("editUploadVideos start - upload to facebook !");
    if (mEditUploadDlg)
        mEditUploadDlg->close();
    auto* dlg = new EditUploadDlg(mPlaylist, m_window);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setSelectedFileIndexSet(indexes);
    dlg->setVideoWebsite(m_nVideoWebsite);
    dlg->setFBKey(mFBKey);
    dlg->setYouTubeKey(mYouTubeKey);
    mEditUploadDlg = dlg;
    dlg->show();
    dlg->raise();
    pmWriteLog("editUploadVideos show !");
}
