#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the sign-in and upload tests: it
// reads each request whole (headers and Content-Length body), records it, and
// answers what the test's handler says, or never answers when the handler
// says so. One request per connection; the server closes after answering.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <functional>
#include <optional>

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
        if (!answer)
            return;
        socket->write(*answer);
        socket->disconnectFromHost();
    }

    QTcpServer* m_server = nullptr;
};

} // namespace uploadtest
