#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1, answering in the test's own thread: the client's
// local event loop serves it while the call waits. Each answer closes its connection.
class TestHttpServer
{
public:
    struct Request
    {
        QByteArray method;
        QByteArray path;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;

        QByteArray header(const QByteArray &name) const;
        bool hasHeader(const QByteArray &name) const;
    };

    // The raw response for a request (200 "OK" when unset); an empty one leaves the client
    // waiting.
    std::function<QByteArray(const Request &)> respond;
    QList<Request> requests;

    TestHttpServer();

    QString url(const QString &path) const;

    static QByteArray response(int status, const QByteArray &reason, const QByteArray &body,
                               const QByteArray &extraHeaders = QByteArray());

private:
    void read(QTcpSocket *socket, QByteArray &buffer);

    QTcpServer m_server;
};
