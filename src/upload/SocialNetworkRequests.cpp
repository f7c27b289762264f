#include "upload/SocialNetworkRequests.h"

#include "upload/MultipartFileDevice.h"
#include "upload/UploadRequest.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>

#include <algorithm>

namespace
{
QNetworkRequest plainRequest(const QUrl& url)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    return request;
}

// Drops a reply without letting its end reach anyone.
void discard(QPointer<QNetworkReply>& reply)
{
    if (!reply)
        return;
    QNetworkReply* r = reply;
    reply = nullptr;
    r->disconnect();
    r->abort();
    r->deleteLater();
}
} // namespace

// ---------------------------------------------------------------- permission query

PermissionQuery::PermissionQuery(QObject* parent) : QObject(parent), m_nam(new QNetworkAccessManager(this))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PermissionQuery::onTimeout);
}

PermissionQuery::~PermissionQuery()
{
    discard(m_reply);
}

void PermissionQuery::start(const QUrl& url, int timeoutMs)
{
    discard(m_reply);
    ++m_serial;
    m_body.clear();
    m_errorText.clear();
    m_httpStatus = 0;
    m_timedOut = false;
    m_tooLarge = false;
    m_reply = m_nam->get(plainRequest(url));
    // The reply holds no more than a cap's worth unread; onReadyRead takes it.
    m_reply->setReadBufferSize(kMaxAnswer);
    connect(m_reply, &QNetworkReply::readyRead, this, &PermissionQuery::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &PermissionQuery::onFinished);
    m_timer.start(timeoutMs);
}

void PermissionQuery::cancel()
{
    m_timer.stop();
    ++m_serial;
    discard(m_reply);
}

void PermissionQuery::onTimeout()
{
    if (!m_reply)
        return;
    m_timedOut = true;
    m_reply->abort(); // finished() follows
}

void PermissionQuery::onReadyRead()
{
    if (!m_reply || m_tooLarge)
        return;
    m_body += m_reply->read(kMaxAnswer + 1 - m_body.size());
    if (m_body.size() > kMaxAnswer) {
        m_tooLarge = true;
        m_body.truncate(static_cast<int>(kMaxAnswer));
        m_reply->abort(); // finished() follows
    }
}

void PermissionQuery::onFinished()
{
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    m_timer.stop();
    if (!reply)
        return;
    reply->disconnect(this);
    reply->deleteLater();
    if (!m_tooLarge) {
        m_body += reply->read(kMaxAnswer + 1 - m_body.size());
        if (m_body.size() > kMaxAnswer) {
            m_tooLarge = true;
            m_body.truncate(static_cast<int>(kMaxAnswer));
        }
    }
    m_httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_timedOut) {
        m_errorText = QStringLiteral("no answer in time");
        report(TimedOut);
        return;
    }
    if (m_tooLarge) {
        m_errorText = QStringLiteral("the answer is larger than %1 bytes").arg(kMaxAnswer);
        report(Failed);
        return;
    }
    // Only a 2xx answer speaks for the service: a redirect or an error page
    // whose body happens to read "granted" grants nothing.
    if (m_httpStatus != 0 && (m_httpStatus < 200 || m_httpStatus > 299)) {
        m_errorText = QStringLiteral("HTTP status %1").arg(m_httpStatus);
        report(Failed);
        return;
    }
    if (reply->error() != QNetworkReply::NoError || m_httpStatus == 0 || m_body.isEmpty()) {
        m_errorText = reply->error() != QNetworkReply::NoError ? reply->errorString()
                      : m_httpStatus == 0                      ? QStringLiteral("not an HTTP answer")
                                                               : QStringLiteral("empty answer");
        report(Failed);
        return;
    }
    report(SocialUpload::publishPermissionGranted(m_body) ? Granted : Declined);
}

void PermissionQuery::report(int outcome)
{
    const quint64 serial = m_serial;
    QMetaObject::invokeMethod(
        this,
        [this, serial, outcome] {
            if (serial == m_serial)
                Q_EMIT finished(outcome);
        },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------- video upload

VideoUploadRequest::VideoUploadRequest(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &VideoUploadRequest::onTimeout);
}

VideoUploadRequest::~VideoUploadRequest()
{
    dropSocket();
}

bool VideoUploadRequest::start(const QUrl& url, const QString& filePath)
{
    return start(url, QFile::encodeName(filePath));
}

bool VideoUploadRequest::start(const QUrl& url, const QByteArray& nativePath)
{
    dropSocket();
    ++m_serial;
    m_bodySize = m_fileSize = m_queued = m_sent = m_written = 0;
    m_in.clear();
    m_headDone = m_chunked = false;
    m_contentLength = m_chunkLeft = -1;
    m_bodyRead = 0;
    m_httpStatus = 0;
    m_body.clear();
    m_errorCode = 0;
    m_errorText.clear();

    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        m_errorText = QStringLiteral("not a web address");
        return false;
    }
    auto* body = new MultipartFileDevice(SocialUpload::multipartPrefix(nativePath), nativePath,
                                         SocialUpload::multipartSuffix(), this);
    if (!body->open(QIODevice::ReadOnly)) {
        m_errorText = body->errorString();
        delete body;
        return false;
    }
    m_device = body;
    m_bodySize = body->bodySize();
    m_fileSize = body->fileSize();

    m_secure = scheme == QLatin1String("https");
    const int port = url.port(m_secure ? 443 : 80);
    QByteArray host = url.host(QUrl::FullyEncoded).toUtf8();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (url.port() >= 0)
        host += ':' + QByteArray::number(port);
    const QByteArray target =
        url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    m_head = "POST " + (target.isEmpty() ? QByteArray("/") : target) + " HTTP/1.1\r\nHost: " + host +
             "\r\nUser-Agent: RovixManager/" ROVIX_VERSION "\r\nAccept: */*\r\nCache-Control: no-cache\r\n"
             "Content-Type: " +
             SocialUpload::contentTypeHeader() + "\r\nContent-Length: " + QByteArray::number(m_bodySize) +
             "\r\nConnection: close\r\n\r\n";

    QAbstractSocket* socket = nullptr;
    if (m_secure) {
        // Certificates are checked as the system trusts them; a TLS error
        // ends the connection, it is never waved through.
        auto* ssl = new QSslSocket(this);
        if (!m_extraCas.isEmpty()) {
            QSslConfiguration config = ssl->sslConfiguration();
            config.addCaCertificates(m_extraCas);
            ssl->setSslConfiguration(config);
        }
        connect(ssl, &QSslSocket::encrypted, this, &VideoUploadRequest::onConnected);
        // Encrypted data leaves at the network's pace: refill only as it goes.
        connect(ssl, &QSslSocket::encryptedBytesWritten, this, [this] {
            progressed();
            pump();
        });
        connect(ssl, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
            QStringList texts;
            for (const QSslError& e : errors)
                texts << e.errorString();
            m_errorText = texts.join(QStringLiteral("; "));
        });
        socket = ssl;
    } else {
        socket = new QTcpSocket(this);
        connect(socket, &QAbstractSocket::connected, this, &VideoUploadRequest::onConnected);
    }
    m_socket = socket;
    // Qt keeps no more than this much of an answer unread; onReadyRead takes it.
    socket->setReadBufferSize(kBlockSize);
    connect(socket, &QAbstractSocket::bytesWritten, this, &VideoUploadRequest::onBytesWritten);
    connect(socket, &QAbstractSocket::readyRead, this, &VideoUploadRequest::onReadyRead);
    connect(socket, &QAbstractSocket::errorOccurred, this, &VideoUploadRequest::onSocketError);
    connect(socket, &QAbstractSocket::disconnected, this, &VideoUploadRequest::onDisconnected);
    m_timer.start(m_timeoutMs);
    if (m_secure)
        static_cast<QSslSocket*>(socket)->connectToHostEncrypted(url.host(), static_cast<quint16>(port));
    else
        socket->connectToHost(url.host(), static_cast<quint16>(port));
    return true;
}

void VideoUploadRequest::onConnected()
{
    progressed();
    m_queued = m_head.size();
    m_socket->write(m_head);
    pump();
}

void VideoUploadRequest::pump()
{
    // Nothing before the request's head (a TLS socket reports its handshake
    // as written too), and no nesting (it reports bytes written from inside
    // write()).
    if (!m_socket || !m_device || m_queued == 0 || m_headDone || m_pumping)
        return;
    m_pumping = true;
    QByteArray block;
    while (m_socket && m_queued < m_head.size() + m_bodySize && unsent() < 2 * kBlockSize) {
        block.resize(static_cast<int>(std::min(kBlockSize, m_head.size() + m_bodySize - m_queued)));
        const qint64 n = m_device->read(block.data(), block.size());
        if (n <= 0) {
            m_pumping = false;
            m_errorCode = -1;
            m_errorText = QStringLiteral("cannot read the recording: %1").arg(m_device->errorString());
            finish(Failed);
            return;
        }
        block.resize(static_cast<int>(n));
        m_queued += n;
        m_socket->write(block);
        block = QByteArray();
    }
    m_pumping = false;
}

qint64 VideoUploadRequest::unsent() const
{
    if (!m_socket)
        return 0;
    qint64 waiting = m_socket->bytesToWrite();
    // A TLS socket takes plain bytes as soon as it has encrypted them; what
    // still waits for the network is its encrypted backlog.
    if (m_secure)
        waiting += static_cast<QSslSocket*>(m_socket.data())->encryptedBytesToWrite();
    return waiting;
}

void VideoUploadRequest::progressed()
{
    if (!m_headDone)
        m_timer.start(m_timeoutMs);
}

void VideoUploadRequest::onBytesWritten(qint64 bytes)
{
    progressed();
    m_sent += bytes;
    const qint64 written = std::clamp<qint64>(m_sent - m_head.size(), 0, m_bodySize);
    if (written > m_written) {
        m_written = written;
        Q_EMIT bodySent(m_written, m_bodySize);
    }
    pump();
}

void VideoUploadRequest::onReadyRead()
{
    if (!m_socket)
        return;
    progressed();
    const bool hadHead = m_headDone;
    m_in += m_socket->readAll();
    const Parse state = parseAnswer(false);
    if (state == Parse::Bad) {
        finish(Failed);
        return;
    }
    if (state == Parse::Complete || m_bodyRead >= kMaxAnswerRead) {
        finish(verdict());
        return;
    }
    // The head is in: the rest of the answer only adds to the log.
    if (m_headDone && !hadHead)
        m_timer.start(std::min(m_timeoutMs, kAnswerGraceMs));
}

int VideoUploadRequest::verdict() const
{
    return m_httpStatus >= 200 && m_httpStatus < 300 ? Done : Rejected;
}

void VideoUploadRequest::takeBody(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    m_bodyRead += bytes.size();
    const qint64 room = kMaxAnswerKept - m_body.size();
    if (room > 0)
        m_body += bytes.left(static_cast<int>(std::min<qint64>(room, bytes.size())));
}

VideoUploadRequest::Parse VideoUploadRequest::parseAnswer(bool closed)
{
    for (;;) {
        if (!m_headDone) {
            const int end = m_in.indexOf("\r\n\r\n");
            if (end < 0) {
                if (m_in.size() > kMaxAnswerHead || (closed && !m_in.isEmpty())) {
                    m_errorText = QStringLiteral("not an HTTP answer");
                    return Parse::Bad;
                }
                return Parse::NeedMore;
            }
            const QList<QByteArray> lines = m_in.left(end).split('\n');
            m_in.remove(0, end + 4);
            const QList<QByteArray> status = lines.value(0).trimmed().split(' ');
            const int code = status.value(1).toInt();
            if (!status.value(0).startsWith("HTTP/") || code < 100 || code > 999) {
                m_httpStatus = 0;
                m_errorText = QStringLiteral("not an HTTP answer");
                return Parse::Bad;
            }
            if (code < 200)
                continue; // an interim answer; the real one follows
            m_httpStatus = code;
            m_headDone = true;
            for (int i = 1; i < lines.size(); ++i) {
                const int colon = lines[i].indexOf(':');
                if (colon <= 0)
                    continue;
                const QByteArray name = lines[i].left(colon).trimmed().toLower();
                const QByteArray value = lines[i].mid(colon + 1).trimmed();
                if (name == "transfer-encoding" && value.toLower().contains("chunked"))
                    m_chunked = true;
                else if (name == "content-length")
                    m_contentLength = value.toLongLong();
            }
            if (m_chunked)
                m_contentLength = -1;
            else if (code == 204 || code == 304)
                m_contentLength = 0;
        }
        if (m_chunked) {
            for (;;) {
                if (m_chunkLeft < 0) {
                    const int eol = m_in.indexOf("\r\n");
                    if (eol < 0) {
                        if (m_in.size() > kMaxAnswerHead) {
                            m_errorText = QStringLiteral("bad chunk in the answer");
                            return Parse::Complete;
                        }
                        return Parse::NeedMore;
                    }
                    bool ok = false;
                    const QByteArray sizeText = m_in.left(eol).split(';').value(0).trimmed();
                    m_chunkLeft = sizeText.toLongLong(&ok, 16);
                    m_in.remove(0, eol + 2);
                    if (!ok || m_chunkLeft < 0) {
                        m_errorText = QStringLiteral("bad chunk in the answer");
                        return Parse::Complete;
                    }
                    if (m_chunkLeft == 0)
                        return Parse::Complete; // the last chunk; trailers are not needed
                }
                const qint64 n = std::min<qint64>(m_chunkLeft, m_in.size());
                takeBody(m_in.left(static_cast<int>(n)));
                m_in.remove(0, static_cast<int>(n));
                m_chunkLeft -= n;
                if (m_chunkLeft > 0 || m_in.size() < 2)
                    return Parse::NeedMore;
                m_in.remove(0, 2); // the chunk's CR LF
                m_chunkLeft = -1;
            }
        }
        if (m_contentLength >= 0) {
            const qint64 n = std::min<qint64>(m_contentLength - m_bodyRead, m_in.size());
            takeBody(m_in.left(static_cast<int>(n)));
            m_in.clear();
            return m_bodyRead >= m_contentLength ? Parse::Complete : Parse::NeedMore;
        }
        // No length given: the answer ends with the connection.
        takeBody(m_in);
        m_in.clear();
        return closed ? Parse::Complete : Parse::NeedMore;
    }
}

void VideoUploadRequest::onSocketError()
{
    if (!m_socket)
        return;
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError) {
        onDisconnected();
        return;
    }
    m_errorCode = m_socket->error();
    if (m_errorText.isEmpty() || !m_secure)
        m_errorText = m_socket->errorString();
    finish(Failed);
}

void VideoUploadRequest::onDisconnected()
{
    if (!m_socket)
        return;
    m_in += m_socket->readAll();
    if (m_headDone || !m_in.isEmpty()) {
        const Parse state = parseAnswer(true);
        if (state == Parse::Complete && m_headDone) {
            finish(verdict());
            return;
        }
        if (state == Parse::Bad) {
            finish(Failed);
            return;
        }
    }
    m_errorCode = QAbstractSocket::RemoteHostClosedError;
    m_errorText = QStringLiteral("the connection closed before the whole answer came");
    finish(Failed);
}

void VideoUploadRequest::onTimeout()
{
    if (!m_socket)
        return;
    if (m_headDone) {
        // The rest of an answer that has begun did not come in time: its status decides.
        finish(verdict());
        return;
    }
    m_errorCode = QAbstractSocket::SocketTimeoutError;
    m_errorText =
        m_written >= m_bodySize
            ? QStringLiteral("no answer for %1 ms after the whole video was handed over").arg(m_timeoutMs)
            : QStringLiteral("no progress for %1 ms").arg(m_timeoutMs);
    finish(TimedOut);
}

void VideoUploadRequest::finish(int outcome)
{
    if (!m_socket)
        return;
    dropSocket();
    // Reported from the event loop once the socket's handler that saw the
    // end has returned: the receiver may open windows, start the next
    // request or delete this object.
    const quint64 serial = m_serial;
    QMetaObject::invokeMethod(
        this,
        [this, serial, outcome] {
            if (serial == m_serial)
                Q_EMIT finished(outcome);
        },
        Qt::QueuedConnection);
}

void VideoUploadRequest::cancel()
{
    ++m_serial;
    dropSocket();
}

void VideoUploadRequest::dropSocket()
{
    m_timer.stop();
    if (m_socket) {
        QAbstractSocket* socket = m_socket;
        m_socket = nullptr;
        socket->disconnect(this);
        // Closed from the event loop, not from inside one of the socket's own
        // signals: a TLS socket still uses its session after it emits them.
        QMetaObject::invokeMethod(
            socket,
            [socket] {
                socket->abort();
                socket->deleteLater();
            },
            Qt::QueuedConnection);
    }
    if (m_device) {
        m_device->close();
        m_device->deleteLater();
        m_device = nullptr;
    }
}
