#include "update/QtUpdateServer.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include "update/UpdateServer.h"

namespace quernel {

QtUpdateServer::QtUpdateServer(std::string serverAddress, std::chrono::milliseconds limit)
    : serverAddress_(std::move(serverAddress)), limit_(limit) {}

UpdateReply QtUpdateServer::Get(const UpdateRequest& request) {
    const QUrl url = QUrl::fromEncoded(
        QByteArray::fromStdString(UpdateRequestUrl(serverAddress_, request.pathAndQuery)));
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != "http" && scheme != "https")) {
        return {};
    }

    QNetworkAccessManager manager;
    auto* jar = new QNetworkCookieJar(&manager);
    manager.setCookieJar(jar);
    QNetworkRequest get(url);
    // Only the named server is ever asked: a redirection counts as a failed request.
    get.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                     QNetworkRequest::ManualRedirectPolicy);
    get.setRawHeader("Cookie", QByteArray::fromStdString(request.cookie));
    get.setTransferTimeout(static_cast<int>(limit_.count()));

    QNetworkReply* reply = manager.get(get);
    // Qt stops reading from the server while this much waits unread.
    reply->setReadBufferSize(kMaxReplyBytes + 1);
    bool tooLong = false;
    const auto checkLength = [&] {
        const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
        if (reply->bytesAvailable() > kMaxReplyBytes ||
            (announced.isValid() && announced.toLongLong() > kMaxReplyBytes)) {
            tooLong = true;
            reply->abort();
        }
    };
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, checkLength);
        QObject::connect(reply, &QNetworkReply::readyRead, &loop, checkLength);
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(limit_);
        loop.exec();
    }
    if (!reply->isFinished() || tooLong) {
        reply->abort();  // past the limit, too long, or the thread was told to quit
        return {};
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status < 200 || status > 299) return {};

    UpdateReply answer;
    answer.ok = true;
    answer.body = reply->readAll().toStdString();
    for (const QNetworkCookie& cookie : jar->cookiesForUrl(url)) {
        if (cookie.name() == "UNIQ") answer.uniq = cookie.value().toStdString();
        if (cookie.name() == "WERSJA") answer.wersja = cookie.value().toStdString();
    }
    return answer;
}

}  // namespace quernel
