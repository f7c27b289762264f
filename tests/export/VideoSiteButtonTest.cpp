// The toolbar's video-site button sends the user to the video-hosting
// service's home page in their browser: the page the settings name, or the
// service's own when the setting is not a web address.
#include "../playback/PlaybackTestSupport.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/BitmapButton.h"
#include "controls/ToolbarView.h"

#include <QDesktopServices>
#include <QSettings>
#include <QUrl>

using namespace playtest;

namespace
{
// Stands in for the browser: records every address handed to it.
class BrowserStandIn : public QObject
{
    Q_OBJECT
public:
    BrowserStandIn()
    {
        for (const char* scheme : {"http", "https", "file", "mailto"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
    }
    ~BrowserStandIn() override
    {
        for (const char* scheme : {"http", "https", "file", "mailto"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
    Q_INVOKABLE void open(const QUrl& url) { opened.append(url); }
    QList<QUrl> opened;
};
} // namespace

TEST(VideoSiteButton, OpensTheConfiguredWebPageAndOnlyAWebPage)
{
    BrowserStandIn browser;
    Controller c(QStringList{});
    c->createPanels();
    c->window()->show();
    ASSERT_TRUE(c->toolbar() && c->toolbar()->oUploadYouTubeBtn());
    BitmapButton* button = c->toolbar()->oUploadYouTubeBtn();
    ASSERT_TRUE(button->isEnabled());

    pmSetStringSetting(SettingsKeys::videoSiteHomeUrl.key(), QStringLiteral("http://127.0.0.1:8123/home"));
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened.at(0), QUrl(QStringLiteral("http://127.0.0.1:8123/home")));

    // A hand-edited setting that is no web address falls back to the service's page.
    for (const char* bad : {"file:///etc/passwd", "mailto:someone@example.com", "not a url", "https://"}) {
        pmSetStringSetting(SettingsKeys::videoSiteHomeUrl.key(), QLatin1String(bad));
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_FALSE(browser.opened.isEmpty());
        EXPECT_EQ(browser.opened.last().scheme(), QStringLiteral("https")) << bad;
        EXPECT_FALSE(browser.opened.last().host().isEmpty()) << bad;
    }
    EXPECT_EQ(browser.opened.size(), 5);
    QSettings().remove(SettingsKeys::videoSiteHomeUrl.key());
}

#include "VideoSiteButtonTest.moc"
