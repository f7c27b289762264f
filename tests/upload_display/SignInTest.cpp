// The sign-in window with the real web view (run under xvfb-run) against a
// local server standing in for the social network: the sign-in page's query,
// pages that are not the success page, the token read from the redirect and
// checked against the permission query (granted, declined, not JSON, never
// answering), the user's refusal, the close control, cookies kept per window;
// and the whole chain from the toolbar's button to the success message.
#include "../app/AppTestSupport.h"
#include "../playback/PlaybackTestSupport.h"
#include "../upload/TestHttpServer.h"
#include "export/UploadController.h"

#include "WaitingWindow/WaitingWindow.h"
#include "base/SettingsKeys.h"
#include "controls/BackupDlg.h"
#include "controls/BitmapButton.h"
#include "controls/ToolbarView.h"
#include "upload/EditUploadDlg.h"
#include "upload/LoginDlg.h"
#include "upload/UploadRequest.h"

#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTableWidget>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

// QtWebEngine's bundled Chromium frees some of its own objects with a sized
// delete of another size when a page goes; AddressSanitizer builds would stop
// there, in code that is not ours.
extern "C" const char* __asan_default_options()
{
    return "new_delete_type_mismatch=0";
}

using namespace uploadtest;

namespace
{
const char* const kToken = "EAAGm0PX4ZCpsBAtokenXYZ";

const QByteArray kLoginPage = "<html><body><h1>Log in</h1><form><input name=email></form>"
                              "<a id=next href=\"/login\">Log in</a></body></html>";

class SignInTest : public ::testing::Test
{
protected:
    enum class Mode { Granted, Silent, Denied, Declined, Redirected, Broken, Huge };

    void SetUp() override
    {
        qputenv("ROVIX_INTERNET", "on");
        ASSERT_TRUE(server.isListening());
        pmSetStringSetting(SettingsKeys::socialNetworkWebUrl.key(), server.base());
        pmSetStringSetting(SettingsKeys::socialNetworkGraphUrl.key(), server.base());
        pmSetStringSetting(SettingsKeys::socialNetworkVideoUrl.key(), server.base());
        server.handler = [this](const HttpRequest& r) { return answer(r); };
    }
    void TearDown() override
    {
        for (const QString& key :
             {SettingsKeys::socialNetworkWebUrl.key(), SettingsKeys::socialNetworkGraphUrl.key(),
              SettingsKeys::socialNetworkVideoUrl.key(), SettingsKeys::fbKey.key()})
            QSettings().remove(key);
    }

    std::optional<QByteArray> answer(const HttpRequest& r)
    {
        const QByteArray path = r.path();
        if (path == "/v2.3/dialog/oauth") {
            if (directRedirect)
                return redirect();
            return httpResponse(200, kLoginPage, "text/html", "Set-Cookie: sid=seen-before; Path=/\r\n");
        }
        if (path == "/login")
            return redirect();
        if (path == "/connect/login_success.html")
            return httpResponse(200, "<html><body>Success</body></html>");
        if (path == "/me/permissions") {
            const QByteArray granted = R"({"data":[{"permission":"publish_actions","status":"granted"}]})";
            switch (mode) {
            case Mode::Silent:
                return std::nullopt;
            case Mode::Declined:
                return httpResponse(200, R"({"data":[{"permission":"publish_actions","status":"declined"}]})",
                                    "application/json");
            case Mode::Redirected:
                return httpResponse(302, granted, "application/json", "Location: /elsewhere\r\n");
            case Mode::Broken:
                return httpResponse(500, granted, "application/json");
            case Mode::Huge:
                return httpResponse(200, granted + QByteArray(8 * 1024 * 1024, ' '), "application/json");
            default:
                return httpResponse(200, granted, "application/json");
            }
        }
        if (path.startsWith("/phish"))
            return httpResponse(200, "<html><body>Not the network</body></html>");
        if (path == "/me/videos")
            return httpResponse(200, R"({"id":"10153"})", "application/json");
        return httpResponse(404, "");
    }

    QByteArray redirect() const
    {
        const QByteArray to =
            mode == Mode::Denied
                ? "/connect/login_success.html?error=access_denied&error_code=200"
                  "&error_description=Permissions+error&error_reason=user_denied#_=_"
                : "/connect/login_success.html#access_token=" + QByteArray(kToken) + "&expires_in=5183";
        return httpResponse(302, "", "text/html", "Location: " + server.base().toUtf8() + to + "\r\n");
    }

    QList<HttpRequest> requestsTo(const QByteArray& path) const
    {
        QList<HttpRequest> out;
        for (const HttpRequest& r : server.requests)
            if (r.path() == path)
                out.append(r);
        return out;
    }

    static void clickLink(LoginDlg& dlg)
    {
        dlg.loginView()->page()->runJavaScript(QStringLiteral("document.getElementById('next').click()"));
    }

    TestHttpServer server;
    Mode mode = Mode::Granted;
    bool directRedirect = false;
    // The answers of the sign-in windows watched.
    struct SignIn {
        bool signedIn = false;
        QString fbKey;
        QString youTubeKey;
    };
    QList<SignIn> results;
    void watch(LoginDlg* dlg)
    {
        QObject::connect(dlg, &LoginDlg::signInFinished,
                         [this](bool signedIn, const QString& fbKey, const QString& youTubeKey) {
                             results.append({signedIn, fbKey, youTubeKey});
                         });
    }
};
} // namespace

TEST_F(SignInTest, TheNetworksPagesLeadToATokenWithThePublishRight)
{
    apptest::LogToDocuments log;
    auto* dlg = new LoginDlg;
    watch(dlg);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<LoginDlg> guard(dlg);
    EXPECT_TRUE(dlg->profile()->isOffTheRecord());
    EXPECT_NE(dlg->profile(), QWebEngineProfile::defaultProfile());
    dlg->show();

    // The sign-in page, asked for with its query in order.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !requestsTo("/v2.3/dialog/oauth").isEmpty(); }, 30000));
    const HttpRequest oauth = requestsTo("/v2.3/dialog/oauth").first();
    QStringList names;
    for (const QByteArray& pair : oauth.rawQuery().split('&'))
        names << QString::fromLatin1(pair.left(pair.indexOf('=')));
    EXPECT_EQ(names, QStringList({"response_type", "client_id", "redirect_uri", "type", "display", "scope"}));
    EXPECT_EQ(oauth.param("client_id"), SocialUpload::applicationId());
    EXPECT_EQ(oauth.param("redirect_uri"), server.base() + QStringLiteral("/connect/login_success.html"));
    EXPECT_EQ(oauth.param("scope"), QStringLiteral("user_videos,publish_actions"));

    // A page that is not the success page leaves the window waiting for the user.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !pmIsWaiting(); }, 30000));
    QTest::qWait(300);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(results.isEmpty());

    clickLink(*dlg);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !results.isEmpty(); }, 30000));
    EXPECT_TRUE(results[0].signedIn);
    EXPECT_EQ(results[0].fbKey, QLatin1String(kToken));
    EXPECT_EQ(results.size(), 1); // one answer per sign-in
    EXPECT_TRUE(QTest::qWaitFor([&] { return guard.isNull(); }, 5000));
    EXPECT_FALSE(pmIsWaiting());

    const QList<HttpRequest> permissions = requestsTo("/me/permissions");
    ASSERT_EQ(permissions.size(), 1);
    EXPECT_EQ(permissions[0].param("access_token"), QLatin1String(kToken));
    EXPECT_EQ(pmGetStringSetting(SettingsKeys::fbKey.key(), QString()), QLatin1String(kToken));
    EXPECT_EQ(QFile::permissions(QSettings().fileName()) & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
              QFileDevice::Permissions());

    const QStringList lines = apptest::logMessages();
    const QString all = lines.join(QLatin1Char('\n'));
    EXPECT_FALSE(all.contains(QLatin1String(kToken))) << all.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("LoginDlg::CheckPermission - End - granted")));
    EXPECT_FALSE(lines.filter(QStringLiteral("decidePolicyForNavigationAction () - Address - ")).isEmpty());

    // The next sign-in window starts without the cookie the pages set in this one.
    LoginDlg second;
    watch(&second);
    second.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return requestsTo("/v2.3/dialog/oauth").size() == 2; }, 30000));
    EXPECT_FALSE(requestsTo("/v2.3/dialog/oauth").at(1).headers.contains("cookie"));
    second.close();
}

TEST_F(SignInTest, RefusalsFailuresAndSilenceEndWithoutTheRight)
{
    apptest::LogToDocuments log;
    apptest::DialogRecorder dialogs;
    auto failures = [&] {
        int n = 0;
        for (const DialogRequest& r : dialogs.requests)
            n += r.text == pmLoadString(QStringLiteral("IDS_ERR_SIGN_IN_FAILED"));
        return n;
    };
    directRedirect = true;
    // (Unreadable answers: UploadRequest.PermissionQueryOverTheNetwork.)
    for (Mode m : {Mode::Denied, Mode::Silent, Mode::Declined, Mode::Redirected, Mode::Broken, Mode::Huge}) {
        mode = m;
        results.clear();
        dialogs.requests.clear();
        const int permissionsBefore = static_cast<int>(requestsTo("/me/permissions").size());
        LoginDlg dlg;
        watch(&dlg);
        dlg.setPermissionTimeout(3000);
        dlg.show();
        if (m == Mode::Silent) {
            // The window keeps running its event loop while it waits.
            ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.isCheckingPermission(); }, 30000));
            EXPECT_TRUE(QTest::qWaitFor([&] { return pmIsWaiting(); }, 5000));
            int ticks = 0;
            QTimer tick;
            QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
            tick.start(50);
            QTest::qWait(500);
            EXPECT_GE(ticks, 3);
            EXPECT_TRUE(dlg.isCheckingPermission());
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !results.isEmpty(); }, 30000)) << int(m);
        EXPECT_FALSE(results[0].signedIn) << int(m);
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_FALSE(pmIsWaiting());
        EXPECT_EQ(requestsTo("/me/permissions").size() - permissionsBefore, m == Mode::Denied ? 0 : 1)
            << int(m);
        // The user's own refusal needs no message; every other end without the right says why.
        EXPECT_EQ(failures(), m == Mode::Denied ? 0 : 1) << int(m);
    }
    const QStringList lines = apptest::logMessages();
    EXPECT_EQ(lines.filter(QStringLiteral("LoginDlg::CheckPermission - End - declined")).size(), 5);
    EXPECT_EQ(lines.filter(QStringLiteral("FB Permission API failed ! - no answer in")).size(), 1);
    const QString all = lines.join(QLatin1Char('\n'));
    EXPECT_FALSE(all.contains(QLatin1String(kToken)));
    EXPECT_LT(all.size(), 64 * 1024); // the 8 MB answer is not logged

    // The close control ends the sign-in with no result.
    results.clear();
    directRedirect = false;
    LoginDlg closed;
    watch(&closed);
    closed.show();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return closed.loginView()->url().isValid() && !pmIsWaiting(); }, 30000));
    closed.close();
    QTest::qWait(200);
    EXPECT_TRUE(results.isEmpty());
}

TEST_F(SignInTest, OnlyTheRedirectAddressItselfGivesAToken)
{
    mode = Mode::Granted;
    LoginDlg dlg;
    watch(&dlg);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !requestsTo("/v2.3/dialog/oauth").isEmpty() && !pmIsWaiting(); },
                                30000));
    // A page on the same server that names the success page in its own address.
    dlg.loginView()->load(
        QUrl(server.base() + QStringLiteral("/phish/?next=login_success.html#access_token=stolen")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !requestsTo("/phish/").isEmpty(); }, 30000));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return dlg.loginView()->url().path() == QLatin1String("/phish/"); }, 30000));
    QTest::qWait(300);
    // And one on another host, as the web view would report it.
    dlg.getFacebookKey(
        QStringLiteral("http://127.0.0.2:%1/phish/?next=login_success.html#access_token=stolen")
            .arg(server.port()));
    QTest::qWait(300);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(dlg.facebookKey().isEmpty());
    EXPECT_TRUE(results.isEmpty());
    EXPECT_TRUE(requestsTo("/me/permissions").isEmpty());
    EXPECT_TRUE(pmGetStringSetting(SettingsKeys::fbKey.key(), QString()).isEmpty());
    dlg.close();
}

TEST_F(SignInTest, FromTheToolbarButtonToTheUploadedVideos)
{
    QTemporaryDir card;
    QStringList files;
    for (int i = 0; i < 3; ++i) {
        const QString path =
            card.filePath(QStringLiteral("FILE210315-08%1_M.MP4").arg(1000 + i * 2, 4, 10, QLatin1Char('0')));
        ASSERT_TRUE(i == 0 ? playtest::makeRecording(path, 1.0) : QFile::copy(files.first(), path));
        files << path;
    }
    playtest::Controller c(files);
    ASSERT_EQ(c->playlist().size(), 3);
    apptest::DialogRecorder dialogs;
    c->createPanels();
    c->window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(c->window()));

    // The toolbar's button, right of the settings button.
    BitmapButton* button = c->toolbar()->oUploadFacebookBtn();
    ASSERT_TRUE(button->isVisible());
    EXPECT_EQ(button->geometry().left(), c->toolbar()->oSettingBtn()->geometry().right() + 1);
    button->setEnabled(true);
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(c->uploadController()->loginDialog());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !requestsTo("/v2.3/dialog/oauth").isEmpty() && !pmIsWaiting(); },
                                30000));
    clickLink(*c->uploadController()->loginDialog());

    // Signed in: the selection window for upload, where Ctrl+A and Return choose every recording.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return c->uploadController()->selectionDialog() &&
                   c->uploadController()->selectionDialog()->isVisible();
        },
        30000));
    BackupDlg* select = c->uploadController()->selectionDialog();
    EXPECT_EQ(select->windowTitle(), pmLoadString(QStringLiteral("IDS_UPLOAD_FACEBOOK")));
    EXPECT_EQ(select->nMaxSelFileCount(), 10);
    EXPECT_TRUE(select->okButton()->isDefault());
    QTest::keyClick(select->tableView(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(select->selectedRows(), (QList<int>{0, 1, 2}));
    QTest::keyClick(select->tableView(), Qt::Key_Return);

    // The upload window over the three.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return c->uploadController()->uploadDialog() &&
                   c->uploadController()->uploadDialog()->isVisible();
        },
        10000));
    EditUploadDlg* upload = c->uploadController()->uploadDialog();
    EXPECT_EQ(upload->count(), 3);
    ASSERT_NE(upload->scroller(), nullptr);
    upload->editTitle(0)->setText(QStringLiteral("Morning drive"));
    upload->raise();
    upload->activateWindow();
    const QString shots = qEnvironmentVariable("ROVIX_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        QTest::qWait(300);
        upload->grab().save(QDir(shots).filePath(QStringLiteral("upload-dialog.png")));
        QGuiApplication::primaryScreen()->grabWindow(0).save(
            QDir(shots).filePath(QStringLiteral("upload-screen.png")));
    }
    QTest::mouseClick(upload->uploadButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.requests.empty(); }, 30000));
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].text, pmLoadString(QStringLiteral("IDS_UPLOAD_VIDEO_OK")));

    const QList<HttpRequest> videos = requestsTo("/me/videos");
    ASSERT_EQ(videos.size(), 3);
    EXPECT_EQ(videos[0].param("title"), QStringLiteral("Morning drive"));
    EXPECT_EQ(videos[2].param("title"), QStringLiteral("FILE210315-081004_M.MP4"));
    for (const HttpRequest& r : videos)
        EXPECT_EQ(r.param("access_token"), QLatin1String(kToken));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !c->uploadController()->uploadDialog(); }, 5000));
}
