#include "update/QtUpdateServer.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include "update/UpdateServer.h"

namespace quernel {

QtUpdateServer::QtUpdateServer(std::string serverAddress, std::chrono::milliseconds timeout)
    : serverAddress_(std::move(serverAddress)), timeout_(timeout) {}

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
    get.setTransferTimeout(static_cast<int>(timeout_.count()));

    QNetworkReply* reply = manager.get(get);
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!reply->isFinished()) {
        reply->abort();  // the thread was told to quit
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
