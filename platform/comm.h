#pragma once

// TdmxComm: the HTTP client of the exchange with the maker's web service and its servers.
//   http_get(url, file[, access])         downloads into the file as the bytes arrive; the
//                                         file is replaced only by a complete download
//                                         (OwnerOnly: readable by its owner only)
//   http_get(url, reply)                  the body into a stream
//   http_post(url, formLines, reply)      the lines joined by "&" as
//                                         "application/x-www-form-urlencoded" ("=" and "&"
//                                         kept, other reserved characters percent-encoded)
//   http_post(url, body, reply)           the stream's bytes as they are, with ContentType()
//   setContentType(text), CustomHeaders() request header lines "Name: value" (or
//                                         "Name:value"), kept until the caller clears them
//   ReplyHeader(name), ReplyHeaders(), StatusCode()   of the last reply
//   setTimeout(ms)                        the longest silence of the server (default 60 s)
//   setTimeLimit(ms)                      the longest a transfer may go without moving a
//                                         step (kProgressStep, either way; default 5 min):
//                                         a server that sends a byte now and then is cut, a
//                                         download that keeps moving never is, however long
//   setMaxReplySize(bytes)                the largest reply accepted (default 256 MB): a
//                                         larger one is refused as soon as it shows
//   setWaitWindow(wait)                   its "Annulla" ends the request (EVxCancelled)
// Calls return when the exchange is over; meanwhile the window system keeps painting but
// takes no user input, but for the wait window's "Annulla" while that window is up and offers
// it. No cookies are stored or sent by themselves and redirects are not followed: callers
// handle both. A network failure, a time-out or a status other than 2xx raises EVxException
// with an Italian message that carries the code (Qt's own text is its detail).

#include "platform/fileaccess.h"

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QStringList>

class QIODevice;
class TfmVxWait;

class TdmxComm : public QObject
{
    Q_OBJECT
public:
    explicit TdmxComm(QObject *parent = nullptr);

    void setContentType(const QString &type) { m_contentType = type; }
    QString ContentType() const { return m_contentType; }
    QStringList &CustomHeaders() { return m_customHeaders; }

    void setTimeout(int milliseconds) { m_timeout = milliseconds; }
    int Timeout() const { return m_timeout; }
    static constexpr int kDefaultTimeout = 60 * 1000;
    static constexpr int kDefaultTimeLimit = 5 * 60 * 1000;
    static constexpr qint64 kProgressStep = 64 * 1024;
    void setTimeLimit(int milliseconds) { m_timeLimit = milliseconds; }
    int TimeLimit() const { return m_timeLimit; }
    void setWaitWindow(TfmVxWait *wait);
    static constexpr qint64 kDefaultMaxReplySize = 256LL * 1024 * 1024;
    static constexpr qint64 kReadAhead = 1024 * 1024;
    void setMaxReplySize(qint64 bytes) { m_maxReplySize = bytes; }
    qint64 MaxReplySize() const { return m_maxReplySize; }

    void http_get(const QString &url, const QString &fileName,
                  TVxFileAccess access = TVxFileAccess::Shared);
    void http_get(const QString &url, QIODevice &reply);
    void http_post(const QString &url, const QStringList &formLines, QIODevice &reply);
    void http_post(const QString &url, QIODevice &body, QIODevice &reply);

    int StatusCode() const { return m_status; }
    QString ReplyHeader(const QString &name) const;
    const QList<QPair<QByteArray, QByteArray>> &ReplyHeaders() const { return m_replyHeaders; }

private:
    void run(const QByteArray &method, const QString &url, const QByteArray *body,
             const QString &contentType, QIODevice &reply);

    QNetworkAccessManager m_manager;
    QString m_contentType;
    QStringList m_customHeaders;
    int m_timeout = kDefaultTimeout;
    int m_timeLimit = kDefaultTimeLimit;
    QPointer<TfmVxWait> m_wait;
    qint64 m_maxReplySize = kDefaultMaxReplySize;
    int m_status = 0;
    QList<QPair<QByteArray, QByteArray>> m_replyHeaders;
};

// An HTTP status as the office reads it: "404, pagina non trovata".
QString VxHttpStatusText(int status);
