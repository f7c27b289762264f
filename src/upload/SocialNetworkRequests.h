#pragma once
// The two requests of the social-network upload, each asynchronous on the
// main thread's event loop so the windows keep painting while they run:
//
//  - PermissionQuery: the sign-in's check that the user granted the right to
//    publish, with an overall time-out (a query that never answers is a
//    refusal, not a frozen window). Only a 2xx answer of sane size is read
//    for the right.
//  - VideoUploadRequest: one recording posted as a multipart form, streamed
//    from disk (MultipartFileDevice) straight into the connection in large
//    blocks, with progress, an inactivity time-out and the answer's status
//    checked: only a 2xx answer is a done upload. It speaks HTTP/1.1 over its
//    own socket: the network access manager hands a streamed body across
//    threads in 16 KiB pieces, which holds a local upload to a fraction of the
//    link's speed.
//
// Neither sends cookies or follows redirects, and neither ever ignores a TLS
// error. Both report finished() from the event loop, never from inside a
// socket's or a reply's own signal, so a receiver may show windows, start the
// next request or delete the object. Must run on the main thread.
#include <QAbstractSocket>
#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class MultipartFileDevice;

class PermissionQuery : public QObject
{
    Q_OBJECT
public:
    enum Outcome { Granted, Declined, Failed, TimedOut };
    // The most of an answer that is read; a longer answer is a failure.
    static constexpr qint64 kMaxAnswer = 64 * 1024;

    explicit PermissionQuery(QObject* parent = nullptr);
    ~PermissionQuery() override;

    void start(const QUrl& url, int timeoutMs);
    // Stops the query; finished() does not follow.
    void cancel();
    bool isRunning() const { return m_reply != nullptr; }
    // The answer's body as read (empty when none came, at most kMaxAnswer
    // bytes), its HTTP status (0 without one) and, for a failure, why.
    const QByteArray& body() const { return m_body; }
    int httpStatus() const { return m_httpStatus; }
    const QString& errorText() const { return m_errorText; }

Q_SIGNALS:
    void finished(int outcome);

private:
    void onReadyRead();
    void onFinished();
    void onTimeout();
    void report(int outcome);

    QNetworkAccessManager* m_nam = nullptr;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    QByteArray m_body;
    QString m_errorText;
    int m_httpStatus = 0;
    quint64 m_serial = 0; // a report still queued for an older query is dropped
    bool m_timedOut = false;
    bool m_tooLarge = false;
};

class VideoUploadRequest : public QObject
{
    Q_OBJECT
public:
    enum Outcome {
        Done,     // a 2xx answer
        Rejected, // an answer outside 2xx
        Failed,   // the connection failed, the answer was not HTTP, or the file could not be read
        TimedOut  // no answer: nothing moved for the time-out, sending or waiting
    };
    // The longest quiet spell, sending or waiting for the answer. Bytes the
    // kernel took are not bytes the service read: only its answer counts.
    static constexpr int kDefaultTimeoutMs = 120000;
    // Once an answer's head is in, the most time the rest of it is given; the
    // status then decides.
    static constexpr int kAnswerGraceMs = 3000;
    // The body goes out in blocks of this size, at most two waiting in the socket.
    static constexpr qint64 kBlockSize = 256 * 1024;
    // The longest answer head (status and header lines); a longer one is not HTTP.
    static constexpr qint64 kMaxAnswerHead = 64 * 1024;
    // The most of an answer's body that is kept; the rest is counted and dropped.
    static constexpr qint64 kMaxAnswerKept = 16 * 1024;
    // The most of an answer's body that is read at all; the status of a
    // longer answer decides once this much has come.
    static constexpr qint64 kMaxAnswerRead = 1024 * 1024;

    explicit VideoUploadRequest(QObject* parent = nullptr);
    ~VideoUploadRequest() override;

    void setTimeout(int ms) { m_timeoutMs = ms; }
    // Certificate authorities trusted besides the system's (tests use their own).
    void setTrustedCertificates(const QList<QSslCertificate>& certificates) { m_extraCas = certificates; }
    // Starts the post of the file (its path as the file system's own bytes)
    // to url (http or https); false (errorText() says why) when the file
    // cannot be opened or the address is not a web address, and then nothing
    // is sent.
    bool start(const QUrl& url, const QByteArray& nativePath);
    bool start(const QUrl& url, const QString& filePath);
    // Stops the request and closes its connection; finished() does not follow.
    void cancel();
    bool isRunning() const { return m_socket != nullptr; }

    qint64 bodySize() const { return m_bodySize; }
    qint64 fileSize() const { return m_fileSize; }
    qint64 bytesWritten() const { return m_written; }
    int httpStatus() const { return m_httpStatus; }
    // The first kMaxAnswerKept bytes of the answer's body, and its size as read.
    const QByteArray& responseBody() const { return m_body; }
    qint64 responseSize() const { return m_bodyRead; }
    int errorCode() const { return m_errorCode; }
    const QString& errorText() const { return m_errorText; }

Q_SIGNALS:
    void bodySent(qint64 written, qint64 total);
    void finished(int outcome);

private:
    void onConnected();
    void pump();
    // Bytes handed to the socket that have not reached the network yet.
    qint64 unsent() const;
    void onBytesWritten(qint64 bytes);
    void onReadyRead();
    void onSocketError();
    void onDisconnected();
    void onTimeout();
    // Restarts the quiet-spell timer while no answer has begun.
    void progressed();
    enum class Parse { NeedMore, Complete, Bad };
    // Parses what has arrived (closed: the connection has ended).
    Parse parseAnswer(bool closed);
    void takeBody(const QByteArray& bytes);
    int verdict() const;
    // Drops the connection and reports the outcome from the event loop.
    void finish(int outcome);
    void dropSocket();

    QPointer<QAbstractSocket> m_socket;
    MultipartFileDevice* m_device = nullptr;
    QTimer m_timer;
    QByteArray m_head;
    QList<QSslCertificate> m_extraCas;
    int m_timeoutMs = kDefaultTimeoutMs;
    qint64 m_bodySize = 0;
    qint64 m_fileSize = 0;
    qint64 m_queued = 0; // head and body bytes handed to the socket
    qint64 m_sent = 0;   // head and body bytes the socket reports written
    qint64 m_written = 0;
    quint64 m_serial = 0; // a report still queued for an older request is dropped
    bool m_secure = false;
    bool m_pumping = false;

    // The answer as it arrives.
    QByteArray m_in;
    bool m_headDone = false;
    bool m_chunked = false;
    qint64 m_contentLength = -1;
    qint64 m_chunkLeft = -1;
    qint64 m_bodyRead = 0;
    int m_httpStatus = 0;
    QByteArray m_body;
    int m_errorCode = 0;
    QString m_errorText;
};
