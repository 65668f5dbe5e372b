#include "session/httpscheck.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrlQuery>
#include <QUuid>

namespace {

constexpr int kTransferTimeoutMs = 6000;

} // namespace

const QList<QUrl>& httpsCheckUrls()
{
    static const QList<QUrl> urls{QUrl(QString::fromLatin1(kPrimaryCheckUrl)),
                                  QUrl(QString::fromLatin1(kFallbackCheckUrl))};
    return urls;
}

HttpsCheck::HttpsCheck(quint16 port, QObject* parent) : QObject(parent), m_port(port) {}

void HttpsCheck::start()
{
    // A fresh manager per attempt: no connection or TLS session is reused, so the time
    // covers the whole path through the tunnel.
    auto* manager = new QNetworkAccessManager(this);
    // Qt's SOCKS5 proxy hands the host name to the proxy, so the name is resolved on the
    // far side of the tunnel, not by the local resolver.
    manager->setProxy(QNetworkProxy(QNetworkProxy::Socks5Proxy, QStringLiteral("127.0.0.1"), m_port,
                                    QString(), QString()));

    // A unique query keeps every cache on the way out of the answer.
    QUrl url = httpsCheckUrls().at(m_attempt);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("orvik"), QUuid::createUuid().toString(QUuid::Id128));
    url.setQuery(query);

    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);

    m_clock.start();
    QNetworkReply* reply = manager->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onReplyFinished(reply); });
}

void HttpsCheck::onReplyFinished(QNetworkReply* reply)
{
    QNetworkAccessManager* manager = reply->manager();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool success = reply->error() == QNetworkReply::NoError && status == 204;
    const qint64 elapsed = m_clock.elapsed();
    if (!success)
        m_errors.append(
            QStringLiteral("HTTP %1: %2").arg(QString::number(status), reply->errorString()));
    reply->deleteLater();
    manager->deleteLater();

    if (success) {
        emit finished(int(qMax<qint64>(elapsed, 1)), QString());
        return;
    }
    ++m_attempt;
    if (m_attempt <= 1) {
        start();
        return;
    }
    emit finished(-1, QStringLiteral("HTTPS через VPN не отвечает. ") +
                          m_errors.join(QStringLiteral("; ")));
}
