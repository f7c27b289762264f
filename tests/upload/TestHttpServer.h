#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the sign-in and upload tests: it
// reads each request whole (headers and Content-Length body), records it, and
// answers what the test's handler says, or never answers when the handler
// says so. One request per connection; the server closes after answering
// unless told to hold the connection open. It can also reset connections
// instead of answering, never read a request at all, or send its answer in
// two writes with a pause between them.
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <optional>
#include <sys/socket.h>

namespace uploadtest
{

struct HttpRequest {
    QByteArray method;
    QByteArray target;                    // as sent: path and query, still encoded
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;

    QByteArray path() const
    {
        return target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?'));
    }
    QByteArray rawQuery() const
    {
        return target.indexOf('?') < 0 ? QByteArray() : target.mid(target.indexOf('?') + 1);
    }
    // The decoded value of one query parameter ('+' stays '+'); nullopt when absent.
    std::optional<QString> param(const QByteArray& name) const
    {
        for (const QByteArray& pair : rawQuery().split('&')) {
            const int eq = pair.indexOf('=');
            if (pair.left(eq) == name)
                return QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(eq + 1)));
        }
        return std::nullopt;
    }
    int paramCount() const { return rawQuery().isEmpty() ? 0 : int(rawQuery().split('&').size()); }
};

// A full response: status line, headers and body.
inline QByteArray httpResponse(int status, const QByteArray& body,
                               const QByteArray& contentType = "text/html",
                               const QByteArray& extraHeaders = QByteArray())
{
    QByteArray reason = status == 200   ? "OK"
                        : status == 302 ? "Found"
                        : status == 400 ? "Bad Request"
                                        : "Status";
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + extraHeaders +
           "Connection: close\r\n\r\n" + body;
}

class TestHttpServer : public QObject
{
public:
    // Returns the response to send, or nullopt to leave the request unanswered.
    using Handler = std::function<std::optional<QByteArray>(const HttpRequest&)>;

    // With a TLS configuration the server speaks HTTPS.
    explicit TestHttpServer(const std::optional<QSslConfiguration>& tls = std::nullopt)
    {
        if (tls) {
            auto* secure = new QSslServer(this);
            secure->setSslConfiguration(*tls);
            m_server = secure;
        } else {
            m_server = new QTcpServer(this);
        }
        QObject::connect(m_server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket* socket = m_server->nextPendingConnection())
                accept(socket);
        });
        m_server->listen(QHostAddress::LocalHost, 0);
    }

    bool isListening() const { return m_server->isListening(); }
    quint16 port() const { return m_server->serverPort(); }
    QString base() const
    {
        return QStringLiteral("%1://127.0.0.1:%2")
            .arg(qobject_cast<QSslServer*>(m_server) ? "https" : "http")
            .arg(port());
    }

    Handler handler;
    QList<HttpRequest> requests;
    int openConnections = 0;
    // Connections are accepted and then never read.
    bool readNothing = false;
    // Each request is answered by a reset (RST) instead of a response.
    bool resetConnections = false;
    // The connection stays open after the answer.
    bool holdOpen = false;
    // The answer goes out as its first splitAt bytes, then the rest after splitDelayMs.
    int splitAt = -1;
    int splitDelayMs = 300;

private:
    struct Conn {
        QByteArray buffer;
        HttpRequest request;
        bool headersDone = false;
        qint64 length = 0;
    };

    void accept(QTcpSocket* socket)
    {
        ++openConnections;
        auto conn = std::make_shared<Conn>();
        QObject::connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            --openConnections;
            socket->deleteLater();
        });
        if (readNothing) {
            socket->setReadBufferSize(1); // leaves the rest in the kernel, unread
            return;
        }
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket, conn] { read(socket, *conn); });
    }

    void read(QTcpSocket* socket, Conn& c)
    {
        c.buffer += socket->readAll();
        if (!c.headersDone) {
            const int end = c.buffer.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QList<QByteArray> lines = c.buffer.left(end).split('\n');
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            c.request.method = first.value(0);
            c.request.target = first.value(1);
            for (int i = 1; i < lines.size(); ++i) {
                const int colon = lines[i].indexOf(':');
                if (colon > 0)
                    c.request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                             lines[i].mid(colon + 1).trimmed());
            }
            c.length = c.request.headers.value("content-length", "0").toLongLong();
            c.buffer.remove(0, end + 4);
            c.headersDone = true;
        }
        if (c.request.body.size() < c.length) {
            c.request.body += c.buffer;
            c.buffer.clear();
        }
        if (c.request.body.size() < c.length)
            return;
        requests.append(c.request);
        const std::optional<QByteArray> answer =
            handler ? handler(c.request) : std::optional<QByteArray>(httpResponse(404, ""));
        if (resetConnections) {
            const linger hard{1, 0}; // close with RST
            ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            socket->abort();
            return;
        }
        if (!answer)
            return;
        if (splitAt < 0 || splitAt >= answer->size()) {
            socket->write(*answer);
            if (!holdOpen)
                socket->disconnectFromHost();
            return;
        }
        socket->write(answer->left(splitAt));
        socket->flush();
        const QByteArray rest = answer->mid(splitAt);
        QPointer<QTcpSocket> guard(socket);
        QTimer::singleShot(splitDelayMs, this, [this, guard, rest] {
            if (!guard)
                return;
            guard->write(rest);
            if (!holdOpen)
                guard->disconnectFromHost();
        });
    }

    QTcpServer* m_server = nullptr;
};

// A self-signed certificate for 127.0.0.1 and the server configuration that
// presents it; nullopt when openssl cannot make one.
struct TestTls {
    QSslConfiguration server;
    QSslCertificate certificate;
};
inline std::optional<TestTls> makeTestTls()
{
    QTemporaryDir dir;
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                   QStringLiteral("-keyout"), dir.filePath(QStringLiteral("k.pem")), QStringLiteral("-out"),
                   dir.filePath(QStringLiteral("c.pem"))});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        return std::nullopt;
    QFile keyFile(dir.filePath(QStringLiteral("k.pem")));
    QFile certFile(dir.filePath(QStringLiteral("c.pem")));
    if (!keyFile.open(QIODevice::ReadOnly) || !certFile.open(QIODevice::ReadOnly))
        return std::nullopt;
    TestTls tls;
    tls.certificate = QSslCertificate(certFile.readAll());
    tls.server = QSslConfiguration::defaultConfiguration();
    tls.server.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
    tls.server.setLocalCertificate(tls.certificate);
    return tls;
}

} // namespace uploadtest
