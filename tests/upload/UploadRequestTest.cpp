// What the sign-in and the upload send, checked without a window: the
// sign-in page's query, the token read back from the redirect, the service
// addresses from the settings, the permission answer over a real local
// server (granted, declined, not JSON, never answering), the streamed
// multipart body byte for byte, and the token kept out of logged text.
#include "TestHttpServer.h"

#include "base/MultipartFileDevice.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "base/SocialNetworkRequests.h"
#include "base/UploadRequest.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace uploadtest;
using namespace SocialUpload;

namespace
{
QByteArray expectedBody(const QByteArray& fileName, const QByteArray& type, const QByteArray& content)
{
    return "\r\n------------V2ymHFg03ehbqgZCaKO6jy\r\n"
           "Content-Disposition: form-data; name=\"upload_field\"; filename=\"" +
           fileName + "\"\r\nContent-Type: video/" + type + "\r\n\r\n" + content +
           "\r\n------------V2ymHFg03ehbqgZCaKO6jy--\r\n";
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// Reads the whole device in small pieces, as a network stack would.
QByteArray drain(QIODevice& device, int piece = 7)
{
    QByteArray out;
    char buffer[64];
    for (;;) {
        const qint64 n = device.read(buffer, piece);
        if (n <= 0)
            break;
        out.append(buffer, int(n));
    }
    return out;
}
} // namespace

TEST(UploadRequest, SignInAddressCarriesTheQueryInOrderWithTheRedirectEncodedInLowerCase)
{
    const QByteArray address =
        oauthDialogAddress(QStringLiteral("http://127.0.0.1:8123"), QStringLiteral("1234567890123456"));
    EXPECT_EQ(
        address,
        QByteArray("http://127.0.0.1:8123/v2.3/dialog/oauth?response_type=token&client_id=1234567890123456"
                   "&redirect_uri=http%3a%2f%2f127%2e0%2e0%2e1%3a8123%2fconnect%2flogin%5fsuccess%2ehtml"
                   "&type=user_agent&display=popup&scope=user_videos%2Cpublish_actions"));
    // Loaded as an address, the query still decodes to the same six parameters.
    const QUrlQuery query(QUrl::fromEncoded(address, QUrl::StrictMode));
    ASSERT_EQ(query.queryItems().size(), 6);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded),
              QStringLiteral("http://127.0.0.1:8123/connect/login_success.html"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("scope"), QUrl::FullyDecoded),
              QStringLiteral("user_videos,publish_actions"));
    // The real service's host, without a port.
    EXPECT_TRUE(
        oauthDialogAddress(QStringLiteral("https://www.example.com"), QStringLiteral("1"))
            .contains("redirect_uri=http%3a%2f%2fwww%2eexample%2ecom%2fconnect%2flogin%5fsuccess%2ehtml&"));
    EXPECT_EQ(redirectUrl(QStringLiteral("https://www.example.com")),
              QStringLiteral("http://www.example.com/connect/login_success.html"));

    // The application id: the build's unless the setting holds digits only.
    const QString built = applicationId();
    EXPECT_EQ(built.size(), 16);
    pmSetStringSetting(SettingsKey::socialNetworkAppId(), QStringLiteral("9876543210987654"));
    EXPECT_EQ(applicationId(), QStringLiteral("9876543210987654"));
    pmSetStringSetting(SettingsKey::socialNetworkAppId(), QStringLiteral("12&scope=all"));
    EXPECT_EQ(applicationId(), built);
    QSettings().remove(SettingsKey::socialNetworkAppId());
}

TEST(UploadRequest, AddressesComeFromTheSettingsAsSchemeHostAndPortOnly)
{
    EXPECT_EQ(webBaseUrl(), QStringLiteral("https://www.facebook.com"));
    EXPECT_EQ(graphBaseUrl(), QStringLiteral("https://graph.facebook.com"));
    EXPECT_TRUE(videoBaseUrl().startsWith(QLatin1String("https://")));

    pmSetStringSetting(SettingsKey::socialNetworkGraphUrl(), QStringLiteral("http://127.0.0.1:9000/"));
    EXPECT_EQ(graphBaseUrl(), QStringLiteral("http://127.0.0.1:9000"));
    pmSetStringSetting(SettingsKey::socialNetworkGraphUrl(),
                       QStringLiteral("https://graph.test/some/path?x=1"));
    EXPECT_EQ(graphBaseUrl(), QStringLiteral("https://graph.test"));
    for (const char* bad :
         {"file:///etc/passwd", "ftp://host", "not a url", "http://", "https://user:pw@host"}) {
        pmSetStringSetting(SettingsKey::socialNetworkGraphUrl(), QLatin1String(bad));
        EXPECT_EQ(graphBaseUrl(), QStringLiteral("https://graph.facebook.com")) << bad;
    }
    QSettings().remove(SettingsKey::socialNetworkGraphUrl());
}

TEST(UploadRequest, TokenIsReadFromTheSuccessPageOnly)
{
    using K = TokenResult::Kind;
    // The sign-in pages themselves, even with a token-like text in them.
    EXPECT_EQ(tokenFromAddress(QStringLiteral("https://www.example.com/login.php?next=access_token=x")).kind,
              K::NotSuccessPage);
    EXPECT_EQ(tokenFromAddress(QStringLiteral("https://www.example.com/checkpoint/?step=2")).kind,
              K::NotSuccessPage);

    TokenResult r = tokenFromAddress(
        QStringLiteral("http://h/connect/login_success.html#access_token=EAAB12xyz&expires_in=5183"));
    EXPECT_EQ(r.kind, K::Token);
    EXPECT_EQ(r.token, QStringLiteral("EAAB12xyz"));
    // No "&" after it: the rest of the address.
    r = tokenFromAddress(QStringLiteral("http://h/connect/login_success.html#access_token=TOKEN-to-the-end"));
    EXPECT_EQ(r.token, QStringLiteral("TOKEN-to-the-end"));
    // Percent-encoded in the address: kept as the service meant it.
    r = tokenFromAddress(QStringLiteral("http://h/connect/login_success.html#access_token=a%2Bb&x=1"));
    EXPECT_EQ(r.token, QStringLiteral("a+b"));

    EXPECT_EQ(tokenFromAddress(QStringLiteral("http://h/connect/login_success.html?error=access_denied"
                                              "&error_reason=user_denied"))
                  .kind,
              K::Error);
    EXPECT_EQ(tokenFromAddress(QStringLiteral("http://h/connect/login_success.html")).kind, K::NoToken);
    EXPECT_EQ(tokenFromAddress(QStringLiteral("http://h/connect/login_success.html#access_token=&e=1")).kind,
              K::NoToken);
}

TEST(UploadRequest, UploadAddressKeepsEveryTitleCharacterInsideItsParameter)
{
    const QString title = QStringLiteral("a&b=c#d+e %");
    const QString description = QStringLiteral("Route 1 → 夜 & more\nline=2");
    const QUrl url =
        videoUploadUrl(QStringLiteral("http://127.0.0.1:1"), QStringLiteral("t&k=n"), title, description);
    const QByteArray encoded = url.toEncoded();
    EXPECT_TRUE(
        encoded.startsWith("http://127.0.0.1:1/me/videos?access_token=t%26k%3Dn&title=a%26b%3Dc%23d%2Be%20%25"
                           "&description="))
        << encoded.constData();
    EXPECT_TRUE(url.fragment().isEmpty());
    EXPECT_EQ(QUrlQuery(url).queryItems(QUrl::FullyDecoded).size(), 3);

    HttpRequest r;
    r.target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority);
    EXPECT_EQ(r.paramCount(), 3);
    EXPECT_EQ(r.param("title"), title);
    EXPECT_EQ(r.param("description"), description);
    EXPECT_EQ(r.param("access_token"), QStringLiteral("t&k=n"));

    EXPECT_EQ(percentEncode(QStringLiteral("AZaz09-._~ !*'()")), QByteArray("AZaz09-._~%20%21%2A%27%28%29"));
}

TEST(UploadRequest, TokenNeverAppearsInLoggedText)
{
    const QString token = QStringLiteral("EAAsecret+42/x");
    const QString url =
        videoUploadUrl(QStringLiteral("https://v.test"), token, QStringLiteral("t"), QString())
            .toString(QUrl::FullyEncoded);
    const QString shown = pmRedactToken(url, token);
    EXPECT_FALSE(shown.contains(QLatin1String("EAAsecret")));
    EXPECT_TRUE(shown.contains(QLatin1String(kTokenMark)));
    EXPECT_TRUE(shown.contains(QLatin1String("&title=t")));
    // An address with some other token is hidden too, and the mark is stable.
    const QString other =
        pmRedactToken(QStringLiteral("x/login_success.html#access_token=zzz&expires_in=1"), token);
    EXPECT_EQ(
        other,
        QStringLiteral("x/login_success.html#access_token=%1&expires_in=1").arg(QLatin1String(kTokenMark)));
    EXPECT_EQ(pmRedactToken(other, token), other);
}

TEST(UploadRequest, PermissionAnswersAreReadStrictly)
{
    EXPECT_TRUE(publishPermissionGranted(
        R"({"data":[{"permission":"user_videos","status":"granted"},{"permission":"publish_actions","status":"granted"}]})"));
    EXPECT_FALSE(
        publishPermissionGranted(R"({"data":[{"permission":"publish_actions","status":"declined"}]})"));
    EXPECT_FALSE(publishPermissionGranted(R"({"data":[{"permission":"user_videos","status":"granted"}]})"));
    EXPECT_FALSE(publishPermissionGranted("<html>not json</html>"));
    EXPECT_FALSE(publishPermissionGranted(R"([{"permission":"publish_actions","status":"granted"}])"));
    EXPECT_FALSE(publishPermissionGranted(R"({"data":{"permission":"publish_actions","status":"granted"}})"));
    EXPECT_FALSE(publishPermissionGranted(""));
}

TEST(UploadRequest, PermissionQueryOverTheNetwork)
{
    TestHttpServer server;
    ASSERT_TRUE(server.isListening());
    QByteArray answer;
    bool silent = false;
    server.handler = [&](const HttpRequest&) -> std::optional<QByteArray> {
        if (silent)
            return std::nullopt;
        return httpResponse(200, answer, "application/json");
    };
    const QUrl url = permissionsUrl(server.base(), QStringLiteral("tok&en"));
    auto ask = [&](int timeoutMs) {
        PermissionQuery query;
        QSignalSpy done(&query, &PermissionQuery::finished);
        query.start(url, timeoutMs);
        EXPECT_TRUE(done.wait(20000));
        return done.isEmpty() ? -1 : done.at(0).at(0).toInt();
    };

    answer = R"({"data":[{"permission":"publish_actions","status":"granted"}]})";
    EXPECT_EQ(ask(20000), PermissionQuery::Granted);
    ASSERT_EQ(server.requests.size(), 1);
    EXPECT_EQ(server.requests[0].path(), QByteArray("/me/permissions"));
    EXPECT_EQ(server.requests[0].param("access_token"), QStringLiteral("tok&en"));
    EXPECT_FALSE(server.requests[0].headers.contains("cookie"));

    answer = R"({"data":[{"permission":"publish_actions","status":"declined"}]})";
    EXPECT_EQ(ask(20000), PermissionQuery::Declined);
    answer = "not json";
    EXPECT_EQ(ask(20000), PermissionQuery::Declined);
    answer = "";
    EXPECT_EQ(ask(20000), PermissionQuery::Failed);
    silent = true;
    EXPECT_EQ(ask(800), PermissionQuery::TimedOut);
    // Nothing listens any more: a failure, not a wait.
    const QUrl closed = permissionsUrl(QStringLiteral("http://127.0.0.1:1"), QStringLiteral("t"));
    PermissionQuery query;
    QSignalSpy done(&query, &PermissionQuery::finished);
    query.start(closed, 20000);
    ASSERT_TRUE(done.wait(20000));
    EXPECT_EQ(done.at(0).at(0).toInt(), PermissionQuery::Failed);
}

TEST(UploadRequest, MultipartBodyIsStreamedByteForByte)
{
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("EMPTY.MP4"));
    ASSERT_TRUE(writeFile(empty, QByteArray()));
    EXPECT_EQ(multipartPrefix(empty) + multipartSuffix(), expectedBody("EMPTY.MP4", "mov", QByteArray()));

    // Every byte value, read in pieces that straddle the three parts.
    QByteArray content;
    for (int i = 0; i < 3000; ++i)
        content.append(char(i * 7 % 256));
    const QString avi = dir.filePath(QStringLiteral("REC_0001.avi"));
    ASSERT_TRUE(writeFile(avi, content));
    MultipartFileDevice device(multipartPrefix(avi), avi, multipartSuffix());
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    EXPECT_TRUE(device.isSequential());
    const QByteArray expected = expectedBody("REC_0001.avi", "avi", content);
    EXPECT_EQ(device.bodySize(), expected.size());
    EXPECT_EQ(device.bytesAvailable(), expected.size());
    EXPECT_EQ(drain(device), expected);
    EXPECT_TRUE(device.atEnd());

    const QString mov = dir.filePath(QStringLiteral("a.MOV"));
    ASSERT_TRUE(writeFile(mov, "x"));
    EXPECT_TRUE(multipartPrefix(mov).endsWith("Content-Type: video/mov\r\n\r\n"));

    // A name cannot end the quoted value or the header line.
    EXPECT_EQ(dispositionFileName(QStringLiteral("a\"b\\c\r\nd.mp4")), QByteArray("a%22b%5Cc%0D%0Ad.mp4"));
    EXPECT_EQ(dispositionFileName(QStringLiteral("夜.mp4")), QStringLiteral("夜.mp4").toUtf8());

    // A file that is gone cannot be opened; one that shrinks while read fails the read.
    MultipartFileDevice gone("p", dir.filePath(QStringLiteral("missing.mp4")), "s");
    EXPECT_FALSE(gone.open(QIODevice::ReadOnly));
    EXPECT_FALSE(gone.errorString().isEmpty());
    MultipartFileDevice shrinking(multipartPrefix(avi), avi, multipartSuffix());
    ASSERT_TRUE(shrinking.open(QIODevice::ReadOnly));
    ASSERT_TRUE(QFile::resize(avi, 100));
    const QByteArray got = drain(shrinking, 64);
    EXPECT_LT(got.size(), expected.size());
    EXPECT_FALSE(got.endsWith(multipartSuffix()));
}

TEST(UploadRequest, UploadRequestSendsTheBodyAndChecksTheStatus)
{
    TestHttpServer server;
    ASSERT_TRUE(server.isListening());
    int status = 200;
    bool silent = false;
    server.handler = [&](const HttpRequest&) -> std::optional<QByteArray> {
        if (silent)
            return std::nullopt;
        return httpResponse(status, R"({"id":"1"})", "application/json");
    };
    QTemporaryDir dir;
    const QString mp4 = dir.filePath(QStringLiteral("CLIP.mp4"));
    QByteArray content(70000, 'v');
    content[0] = '\0';
    ASSERT_TRUE(writeFile(mp4, content));
    const QUrl url = videoUploadUrl(server.base(), QStringLiteral("tok"), QStringLiteral("T"), QString());

    auto run = [&](int timeoutMs) {
        VideoUploadRequest request;
        request.setTimeout(timeoutMs);
        QSignalSpy done(&request, &VideoUploadRequest::finished);
        EXPECT_TRUE(request.start(url, mp4));
        EXPECT_TRUE(done.wait(30000));
        return done.isEmpty() ? -1 : done.at(0).at(0).toInt();
    };
    EXPECT_EQ(run(20000), VideoUploadRequest::Done);
    ASSERT_EQ(server.requests.size(), 1);
    const HttpRequest& r = server.requests[0];
    EXPECT_EQ(r.method, QByteArray("POST"));
    EXPECT_EQ(r.path(), QByteArray("/me/videos"));
    EXPECT_EQ(r.headers.value("content-type"),
              QByteArray("multipart/form-data; boundary=----------V2ymHFg03ehbqgZCaKO6jy"));
    EXPECT_EQ(r.headers.value("content-length").toLongLong(), r.body.size());
    EXPECT_FALSE(r.headers.contains("cookie"));
    EXPECT_EQ(r.body, expectedBody("CLIP.mp4", "mov", content));

    status = 400;
    EXPECT_EQ(run(20000), VideoUploadRequest::Rejected);
    status = 302;
    EXPECT_EQ(run(20000), VideoUploadRequest::Rejected);
    silent = true;
    EXPECT_EQ(run(800), VideoUploadRequest::DoneAfterTimeout);
    EXPECT_EQ(server.requests.size(), 4);

    VideoUploadRequest missing;
    EXPECT_FALSE(missing.start(url, dir.filePath(QStringLiteral("gone.mp4"))));
    EXPECT_FALSE(missing.isRunning());
}

TEST(UploadRequest, SavedTokenIsReadableByItsOwnerOnly)
{
    saveAccessToken(QStringLiteral("EAAtoken"));
    EXPECT_EQ(pmGetStringSetting(SettingsKey::fbKey(), QString()), QStringLiteral("EAAtoken"));
    const QString file = QSettings().fileName();
    EXPECT_EQ(QFile::permissions(file) & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                          QFileDevice::WriteGroup | QFileDevice::WriteOther),
              QFileDevice::Permissions());
    // Later writes of other settings keep it so.
    pmSetIntSetting(QStringLiteral("Volume"), 3);
    QSettings().sync();
    EXPECT_EQ(QFile::permissions(file) & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
              QFileDevice::Permissions());
    QSettings().remove(SettingsKey::fbKey());
}

TEST(UploadRequest, AnswersAreReadInEveryFraming)
{
    TestHttpServer server;
    ASSERT_TRUE(server.isListening());
    QByteArray raw;
    server.handler = [&](const HttpRequest&) -> std::optional<QByteArray> { return raw; };
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("A.MP4"));
    ASSERT_TRUE(writeFile(file, QByteArray(5000, 'a')));
    const QUrl url = videoUploadUrl(server.base(), QStringLiteral("tok"), QStringLiteral("T"), QString());
    auto run = [&](QByteArray* body = nullptr) {
        VideoUploadRequest request;
        QSignalSpy done(&request, &VideoUploadRequest::finished);
        EXPECT_TRUE(request.start(url, file));
        EXPECT_TRUE(done.wait(20000));
        if (body)
            *body = request.responseBody();
        return done.isEmpty() ? -1 : done.at(0).at(0).toInt();
    };
    QByteArray body;
    // Chunked, after an interim answer.
    raw = "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
          "4\r\n{\"id\r\n6;ext=1\r\n\":\"7\"}\r\n0\r\n\r\n";
    EXPECT_EQ(run(&body), VideoUploadRequest::Done);
    EXPECT_EQ(body, QByteArray("{\"id\":\"7\"}"));
    // Ended by the connection, without a length.
    raw = "HTTP/1.0 201 Created\r\n\r\n{\"id\":\"8\"}";
    EXPECT_EQ(run(&body), VideoUploadRequest::Done);
    EXPECT_EQ(body, QByteArray("{\"id\":\"8\"}"));
    // A refusal with its reason.
    raw = httpResponse(500, R"({"error":{"message":"Invalid OAuth access token."}})", "application/json");
    EXPECT_EQ(run(&body), VideoUploadRequest::Rejected);
    EXPECT_TRUE(body.contains("Invalid OAuth"));
    // The connection closed with no answer at all.
    raw = "";
    EXPECT_EQ(run(), VideoUploadRequest::Failed);
    // Not HTTP.
    raw = "SSH-2.0-OpenSSH\r\n\r\n";
    EXPECT_EQ(run(), VideoUploadRequest::Failed);
}

TEST(UploadRequest, CertificateErrorsStopTheUpload)
{
    // A TLS server with a certificate nobody trusts.
    QTemporaryDir dir;
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-keyout"), dir.filePath(QStringLiteral("k.pem")), QStringLiteral("-out"),
                   dir.filePath(QStringLiteral("c.pem"))});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        GTEST_SKIP() << "openssl cannot make a test certificate";
    QFile keyFile(dir.filePath(QStringLiteral("k.pem")));
    QFile certFile(dir.filePath(QStringLiteral("c.pem")));
    ASSERT_TRUE(keyFile.open(QIODevice::ReadOnly) && certFile.open(QIODevice::ReadOnly));
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
    config.setLocalCertificate(QSslCertificate(certFile.readAll()));
    QSslServer server;
    server.setSslConfiguration(config);
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    int requestsSeen = 0;
    QObject::connect(&server, &QSslServer::pendingConnectionAvailable, [&] {
        while (QTcpSocket* socket = server.nextPendingConnection())
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [&requestsSeen, socket] {
                if (socket->readAll().contains("POST"))
                    ++requestsSeen;
            });
    });

    const QString file = dir.filePath(QStringLiteral("A.MP4"));
    ASSERT_TRUE(writeFile(file, QByteArray(5000, 'a')));
    VideoUploadRequest request;
    QSignalSpy done(&request, &VideoUploadRequest::finished);
    ASSERT_TRUE(request.start(videoUploadUrl(QStringLiteral("https://127.0.0.1:%1").arg(server.serverPort()),
                                             QStringLiteral("tok"), QStringLiteral("T"), QString()),
                              file));
    ASSERT_TRUE(done.wait(20000));
    EXPECT_EQ(done.at(0).at(0).toInt(), VideoUploadRequest::Failed);
    EXPECT_FALSE(request.errorText().isEmpty());
    QTest::qWait(100);
    EXPECT_EQ(requestsSeen, 0);
    EXPECT_EQ(request.bytesWritten(), 0);
}
