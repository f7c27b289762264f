#pragma once
// What the sign-in and the video upload send to the social network, built
// without a window so it can be checked byte for byte: the service addresses
// (settings, with the real services as defaults), the sign-in page's address,
// reading the access token back from the redirect, the permission answer, the
// upload address and the multipart body's framing around the file.
//
// The access token is a password in all but name: everything here that
// produces text for the log or the console goes through pmRedactToken first.
#include <QByteArray>
#include <QString>
#include <QUrl>

namespace SocialUpload
{

// The multipart boundary of every upload body, as the Content-Type header names it.
inline constexpr const char* kBoundary = "----------V2ymHFg03ehbqgZCaKO6jy";
// What the log and the console show in place of an access token.
inline constexpr const char* kTokenMark = "********";

// The three service addresses ("scheme://host[:port]", no trailing slash),
// read from the settings at each call. A setting that is not an http or https
// address with a host falls back to the service's own address.
QString webBaseUrl();
QString graphBaseUrl();
QString videoBaseUrl();
// Normalises one address setting: scheme, host and port kept, anything after dropped.
QString baseUrlFrom(const QString& setting, const QString& fallback);

// The application id: the "SocialNetworkAppID" setting when it is all digits,
// else the one fixed at build time.
QString applicationId();

// Every byte outside the unreserved set (letters, digits, "-._~") as %XX.
QByteArray percentEncode(const QString& text);
// Every byte but letters and digits as %xx with lower-case hex digits (the
// sign-in page's redirect_uri is written this way).
QByteArray percentEncodeLowerAll(const QString& text);

// Where the sign-in ends: "http://" + the web host and port + "/connect/login_success.html".
QString redirectUrl(const QString& webBase);
// True when the address is the redirect address itself: the same host, port
// and path, by the same scheme, or by https where the redirect names plain
// http on its default port (the service may upgrade its own page). An
// address that merely mentions the page in its query or fragment, or that
// lies on another host, port or path, is not it.
bool isRedirectAddress(const QUrl& address, const QUrl& redirect);
// The sign-in page: webBase + "/v2.3/dialog/oauth" with its fixed query, as
// bytes. (Loaded through QUrl, whose escapes are normalised: upper-case hex,
// and "." and "_" unescaped, which RFC 3986 counts as the same address.)
QByteArray oauthDialogAddress(const QString& webBase, const QString& appId);

// The redirect address read for the token.
struct TokenResult {
    enum Kind {
        NotSuccessPage, // still on the sign-in pages
        Token,          // signed in; token holds it
        Error,          // the user declined or the service refused
        NoToken         // the success page without a token
    };
    Kind kind = NotSuccessPage;
    QString token;
};
// Reads the address the sign-in pages arrived at; only the redirect address
// (isRedirectAddress) yields a token or an error, from its "access_token" or
// "error" parameter in the fragment or the query.
TokenResult tokenFromAddress(const QString& address, const QString& redirect);

// The permission query for a token: graphBase + "/me/permissions?access_token=...".
QUrl permissionsUrl(const QString& graphBase, const QString& token);
// True when the answer's "data" lists "publish_actions" as "granted"; false
// for any other answer, including one that is not JSON.
bool publishPermissionGranted(const QByteArray& body);

// The upload address: videoBase + "/me/videos" with the token, the title and
// the description, each encoded so that no character of theirs can add, cut
// or change a query parameter.
QUrl videoUploadUrl(const QString& videoBase, const QString& token, const QString& title,
                    const QString& description);

// The text with the token (as given, and percent-encoded) and any
// "access_token=" value replaced by kTokenMark.
QString pmRedactToken(const QString& text, const QString& token);

// The text cut to at most maxUnits UTF-16 units at a character boundary (a
// grapheme cluster: never inside a surrogate pair or a combined character).
QString cutAtCharacter(const QString& text, qsizetype maxUnits);

// How much of a service's answer goes into the log, in UTF-16 units.
inline constexpr qsizetype kLoggedAnswerChars = 4096;
// A service's answer as one log line: the bytes kept of it (at least
// kLoggedAnswerChars * 3 + some, so that a token that starts in the logged
// part is masked whole), decoded, masked (pmRedactToken) and only then cut to
// kLoggedAnswerChars; line breaks become blanks, and a cut answer says how
// long it was (totalSize bytes).
QString answerForLog(const QByteArray& kept, qint64 totalSize, const QString& token);

// The file name as it goes into the Content-Disposition line: a double quote,
// a backslash, CR and LF become %22, %5C, %0D and %0A, as browsers write them
// in form uploads, so no name can end the quoted value or the header line.
QByteArray dispositionFileName(const QString& fileName);
// "Content-Type" of an upload request.
QByteArray contentTypeHeader();
// The body before the file's bytes: the opening delimiter and the two header
// lines ("video/mov" for MOV and MP4 recordings, "video/avi" for the rest).
QByteArray multipartPrefix(const QByteArray& nativePath);
QByteArray multipartPrefix(const QString& filePath);
// The body after the file's bytes: the closing delimiter.
QByteArray multipartSuffix();

// Saves the token under "FB_KEY" and leaves the settings file that holds it
// readable and writable by its owner only.
void saveAccessToken(const QString& token);

} // namespace SocialUpload
