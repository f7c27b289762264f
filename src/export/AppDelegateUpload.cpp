// The toolbar's video-site button: it sends the user to the video-hosting
// service in their own browser; the application itself uploads nothing there.
#include "app/AppDelegate.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "core/Log.h"

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
