#pragma once

#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>
#include <vector>

namespace quernel::test {

// An HTTP server on 127.0.0.1 for tests: records every request and answers each one with the
// chosen status, Set-Cookie headers and body, then closes the connection. It runs on the
// thread that created it, while that thread's event loop runs.
class LocalHttpServer {
  public:
    struct Request {
        QByteArray method;
        QByteArray target;                     // path and query as sent
        QMap<QByteArray, QByteArray> headers;  // names lower-cased
    };
    struct Answer {
        int status = 200;
        QList<QByteArray> setCookies;  // "UNIQ=abc; Path=/"
        QByteArray body;
        bool silent = false;   // read the request, never answer
        int trickleMs = 0;     // after the head, one byte of body every so many ms, for ever
        bool endless = false;  // after the head, body as fast as it is read, for ever
    };

    LocalHttpServer() {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] { Accept(); });
    }

    QString Address() const {
        return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort());
    }

    // An address where nothing listens.
    static QString RefusingAddress() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        return QStringLiteral("http://127.0.0.1:%1").arg(port);
    }

    Answer answer;
    std::vector<Request> requests;
    qint64 sentBodyBytes = 0;  // body bytes of trickling and endless answers

  private:
    void Accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                buffer->append(socket->readAll());
                const qsizetype end = buffer->indexOf("\r\n\r\n");
                if (end < 0) return;
                Record(buffer->left(end));
                buffer->clear();
                if (!answer.silent) Respond(*socket);
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void Record(const QByteArray& head) {
        const QList<QByteArray> lines = head.split('\n');
        Request request;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0) {
                request.headers[lines[i].left(colon).trimmed().toLower()] =
                    lines[i].mid(colon + 1).trimmed();
            }
        }
        requests.push_back(request);
    }

    void Respond(QTcpSocket& socket) {
        QByteArray out = "HTTP/1.1 " + QByteArray::number(answer.status) + " Answer\r\n";
        for (const QByteArray& cookie : answer.setCookies) out += "Set-Cookie: " + cookie + "\r\n";
        out += "Content-Type: text/plain; charset=utf-8\r\n";
        if (answer.trickleMs > 0 || answer.endless) {
            socket.write(out + "Connection: close\r\n\r\n");
            StreamBody(socket);
            return;
        }
        out += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
        out += "Connection: close\r\n\r\n" + answer.body;
        socket.write(out);
        socket.disconnectFromHost();
    }

    void StreamBody(QTcpSocket& socket) {
        if (answer.trickleMs > 0) {
            auto* timer = new QTimer(&socket);
            QObject::connect(timer, &QTimer::timeout, &socket,
                             [this, &socket] { sentBodyBytes += socket.write("x"); });
            timer->start(answer.trickleMs);
            return;
        }
        const auto refill = [this, &socket] {
            static const QByteArray chunk(64 * 1024, 'x');
            if (socket.bytesToWrite() < chunk.size()) sentBodyBytes += socket.write(chunk);
        };
        QObject::connect(&socket, &QTcpSocket::bytesWritten, &socket, refill);
        refill();
    }

    QTcpServer server_;
};

}  // namespace quernel::test
