#include "upload/UploadRequest.h"

#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "core/FileRules.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QTextBoundaryFinder>

#ifndef ROVIX_SOCIAL_APP_ID
#define ROVIX_SOCIAL_APP_ID "0000000000000000"
#endif

namespace SocialUpload
{

namespace
{
bool isUnreserved(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

bool isAlphaNumeric(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

QByteArray encodeBytes(const QByteArray& bytes, bool (*keep)(char), const char* hexDigits)
{
    QByteArray out;
    out.reserve(bytes.size() * 3);
    for (char c : bytes) {
        if (keep(c)) {
            out.append(c);
            continue;
        }
        const auto b = static_cast<unsigned char>(c);
        out.append('%');
        out.append(hexDigits[b >> 4]);
        out.append(hexDigits[b & 0x0f]);
    }
    return out;
}

int defaultPort(const QString& scheme)
{
    return scheme == QLatin1String("https") ? 443 : scheme == QLatin1String("http") ? 80 : -1;
}

bool allDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}
} // namespace

QString baseUrlFrom(const QString& setting, const QString& fallback)
{
    const QUrl url(setting.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty() || !url.userInfo().isEmpty())
        return fallback;
    QUrl base;
    base.setScheme(scheme);
    base.setHost(url.host());
    base.setPort(url.port());
    return base.toString(QUrl::FullyEncoded);
}

QString webBaseUrl()
{
    return baseUrlFrom(pmReadSetting(SettingsKeys::socialNetworkWebUrl),
                       SettingsKeys::socialNetworkWebUrl.defaultValue());
}

QString graphBaseUrl()
{
    return baseUrlFrom(pmReadSetting(SettingsKeys::socialNetworkGraphUrl),
                       SettingsKeys::socialNetworkGraphUrl.defaultValue());
}

QString videoBaseUrl()
{
    return baseUrlFrom(pmReadSetting(SettingsKeys::socialNetworkVideoUrl),
                       SettingsKeys::socialNetworkVideoUrl.defaultValue());
}

QString applicationId()
{
    const QString configured = pmReadSetting(SettingsKeys::socialNetworkAppId).trimmed();
    return allDigits(configured) ? configured : QStringLiteral(ROVIX_SOCIAL_APP_ID);
}

QByteArray percentEncode(const QString& text)
{
    return encodeBytes(text.toUtf8(), isUnreserved, "0123456789ABCDEF");
}

QByteArray percentEncodeLowerAll(const QString& text)
{
    return encodeBytes(text.toUtf8(), isAlphaNumeric, "0123456789abcdef");
}

QString redirectUrl(const QString& webBase)
{
    const QUrl base(webBase);
    QString hostPort = base.host(QUrl::FullyEncoded);
    if (base.port() >= 0)
        hostPort += QStringLiteral(":%1").arg(base.port());
    return QStringLiteral("http://%1/connect/login_success.html").arg(hostPort);
}

QByteArray oauthDialogAddress(const QString& webBase, const QString& appId)
{
    const QByteArray endpoint = webBase.toUtf8() + "/v2.3/dialog/oauth?response_type=token&client_id=";
    const QByteArray rest = "&redirect_uri=" + percentEncodeLowerAll(redirectUrl(webBase)) +
                            "&type=user_agent&display=popup&scope=user_videos%2Cpublish_actions";
    return endpoint + percentEncode(appId) + rest;
}

bool isRedirectAddress(const QUrl& address, const QUrl& redirect)
{
    if (!address.isValid() || !redirect.isValid() || !address.userInfo().isEmpty())
        return false;
    const QString scheme = address.scheme().toLower();
    const QString wanted = redirect.scheme().toLower();
    bool sameOrigin =
        scheme == wanted && address.port(defaultPort(scheme)) == redirect.port(defaultPort(wanted));
    if (!sameOrigin && wanted == QLatin1String("http") && scheme == QLatin1String("https"))
        sameOrigin = redirect.port() < 0 && address.port(443) == 443;
    return sameOrigin && address.host().compare(redirect.host(), Qt::CaseInsensitive) == 0 &&
           address.path(QUrl::FullyDecoded) == redirect.path(QUrl::FullyDecoded);
}

TokenResult tokenFromAddress(const QString& address, const QString& redirect)
{
    TokenResult result;
    const QUrl url(address);
    if (!isRedirectAddress(url, QUrl(redirect)))
        return result;
    // The token comes in the fragment; a refusal in the query. Either is read from both.
    bool sawError = false;
    for (const QString& part : {url.fragment(QUrl::FullyEncoded), url.query(QUrl::FullyEncoded)}) {
        for (const QString& pair : part.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
            const int eq = pair.indexOf(QLatin1Char('='));
            const QString name = eq < 0 ? pair : pair.left(eq);
            if (name == QLatin1String("access_token")) {
                result.token = QUrl::fromPercentEncoding(pair.mid(eq + 1).toUtf8());
                result.kind = result.token.isEmpty() ? TokenResult::NoToken : TokenResult::Token;
                return result;
            }
            sawError |= name == QLatin1String("error");
        }
    }
    result.kind = sawError ? TokenResult::Error : TokenResult::NoToken;
    return result;
}

QUrl permissionsUrl(const QString& graphBase, const QString& token)
{
    return QUrl::fromEncoded(graphBase.toUtf8() + "/me/permissions?access_token=" + percentEncode(token),
                             QUrl::StrictMode);
}

bool publishPermissionGranted(const QByteArray& body)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonArray data = doc.object().value(QLatin1String("data")).toArray();
    for (const QJsonValue& entry : data) {
        const QJsonObject item = entry.toObject();
        if (item.value(QLatin1String("permission")).toString() == QLatin1String("publish_actions") &&
            item.value(QLatin1String("status")).toString() == QLatin1String("granted"))
            return true;
    }
    return false;
}

QUrl videoUploadUrl(const QString& videoBase, const QString& token, const QString& title,
                    const QString& description)
{
    const QByteArray address = videoBase.toUtf8() + "/me/videos?access_token=" + percentEncode(token) +
                               "&title=" + percentEncode(title) +
                               "&description=" + percentEncode(description);
    return QUrl::fromEncoded(address, QUrl::StrictMode);
}

QString pmRedactToken(const QString& text, const QString& token)
{
    QString out = text;
    const QString mark = QLatin1String(kTokenMark);
    if (!token.isEmpty()) {
        out.replace(token, mark);
        const QString encoded = QString::fromLatin1(percentEncode(token));
        if (encoded != token)
            out.replace(encoded, mark, Qt::CaseInsensitive);
    }
    static const QRegularExpression value(QStringLiteral("(access_token=)[^&#\\s]*"));
    out.replace(value, QStringLiteral("\\1") + mark);
    return out;
}

QString cutAtCharacter(const QString& text, qsizetype maxUnits)
{
    if (text.size() <= maxUnits)
        return text;
    if (maxUnits <= 0)
        return QString();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(maxUnits);
    if (!finder.isAtBoundary() && finder.toPreviousBoundary() < 0)
        return QString();
    return text.left(finder.position());
}

QString answerForLog(const QByteArray& kept, qint64 totalSize, const QString& token)
{
    QString text = pmRedactToken(QString::fromUtf8(kept), token);
    for (QChar& c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    }
    bool cut = totalSize > kept.size();
    if (text.size() > kLoggedAnswerChars) {
        text = cutAtCharacter(text, kLoggedAnswerChars);
        cut = true;
    }
    if (cut)
        text += QStringLiteral(" ... (%1 bytes in all)").arg(totalSize);
    return text;
}

QByteArray dispositionFileName(const QString& fileName)
{
    QByteArray out;
    for (char c : fileName.toUtf8()) {
        switch (c) {
        case '"':
            out.append("%22");
            break;
        case '\\':
            out.append("%5C");
            break;
        case '\r':
            out.append("%0D");
            break;
        case '\n':
            out.append("%0A");
            break;
        default:
            out.append(c);
        }
    }
    return out;
}

QByteArray contentTypeHeader()
{
    return QByteArray("multipart/form-data; boundary=") + kBoundary;
}

QByteArray multipartPrefix(const QString& filePath)
{
    return multipartPrefix(QFile::encodeName(filePath));
}

QByteArray multipartPrefix(const QByteArray& nativePath)
{
    const MediaContainerKind kind = pmGetMediaType(nativePath.toStdString());
    const bool mov = kind == kMediaMov || kind == kMediaMp4;
    const int slash = nativePath.lastIndexOf('/');
    const QString fileName = QFile::decodeName(slash < 0 ? nativePath : nativePath.mid(slash + 1));
    QByteArray prefix = QByteArray("\r\n--") + kBoundary + "\r\n";
    prefix += "Content-Disposition: form-data; name=\"upload_field\"; filename=\"" +
              dispositionFileName(fileName) + "\"\r\n";
    prefix += mov ? "Content-Type: video/mov\r\n\r\n" : "Content-Type: video/avi\r\n\r\n";
    return prefix;
}

QByteArray multipartSuffix()
{
    return QByteArray("\r\n--") + kBoundary + "--\r\n";
}

void saveAccessToken(const QString& token)
{
    pmWriteSetting(SettingsKeys::fbKey, token);
    QSettings settings;
    settings.sync();
    // Later writes replace the file through a save-and-rename that keeps these permissions.
    QFile::setPermissions(settings.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace SocialUpload
