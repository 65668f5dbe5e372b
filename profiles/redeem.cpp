#include "profiles/redeem.h"

#include "controller/controller.h"
#include "controller/settings.h"
#include "controller/settingskeys.h"
#include "deployment.h"
#include "profiles/subscription.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QUrl>

namespace redeem {

const QStringList& apiHosts()
{
    static const QStringList hosts = {QString::fromLatin1(deployment::kApiHost),
                                      QString::fromLatin1(deployment::kApiFallbackHost)};
    return hosts;
}

bool isBootstrapToken(const QString& token)
{
    // Anchored at both ends of the text: a plain "$" would also let a trailing line break in.
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9a-f]{48}")));
    return pattern.match(token).hasMatch();
}

QNetworkRequest request(const QString& apiHost)
{
    QNetworkRequest request(QUrl(QStringLiteral("https://%1/account/client/redeem/").arg(apiHost)));
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/octet-stream"));
    request.setTransferTimeout(subscription::kTransferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    return request;
}

QString subscriptionUrlFromReply(const QByteArray& body)
{
    return QJsonDocument::fromJson(body)
        .object()
        .value(QLatin1String("subscription_url"))
        .toString();
}

bool isAcceptableLink(const QString& link, const QString& apiHost)
{
    const QUrl url(link, QUrl::TolerantMode);
    return url.isValid() && url.scheme() == QLatin1String("https") &&
           url.host(QUrl::FullyDecoded) == apiHost && url.userInfo().isEmpty() &&
           url.path(QUrl::FullyDecoded).startsWith(QLatin1String("/s/"));
}

} // namespace redeem

void Controller::redeemBootstrapToken(const QString& token, int hostIndex)
{
    const QStringList& hosts = redeem::apiHosts();
    if (hostIndex < 0 || hostIndex >= hosts.size()) {
        failBootstrapRedeem();
        return;
    }
    const QString host = hosts.at(hostIndex);
    auto* manager = new QNetworkAccessManager(this);
    QNetworkReply* reply = manager->post(redeem::request(host), token.toLatin1());
    setStatus(hostIndex == 0 ? QStringLiteral("Добавление подписки...")
                             : QStringLiteral("Проверка запасного адреса..."));
    connect(reply, &QNetworkReply::readyRead, reply, [reply] {
        // Nothing reads before the end, so this is everything received so far.
        if (reply->bytesAvailable() > redeem::kReplyLimit)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, manager, token, hostIndex, host] {
        onRedeemReply(reply, manager, token, hostIndex, host);
    });
}

void Controller::onRedeemReply(QNetworkReply* reply, QNetworkAccessManager* manager,
                               const QString& token, int hostIndex, const QString& host)
{
    // An abort from the size guard must not be handled twice.
    if (reply->property("done").toBool())
        return;
    reply->setProperty("done", true);
    // An aborted reply is closed and has nothing left to read.
    const QString link =
        redeem::subscriptionUrlFromReply(reply->isOpen() ? reply->readAll() : QByteArray());
    if (reply->error() == QNetworkReply::NoError && redeem::isAcceptableLink(link, host)) {
        // Stored before the download, so a failed download is retried from the link at the
        // next start. A protection failure stores nothing and keeps the token for that start.
        if (settings::writeSecrets({{settingskeys::subscription, link.toUtf8()}}))
            settings::eraseBootstrapToken();
        importSubscription(link);
    } else if (hostIndex + 1 < redeem::apiHosts().size()) {
        redeemBootstrapToken(token, hostIndex + 1);
    } else {
        failBootstrapRedeem();
    }
    reply->deleteLater();
    manager->deleteLater();
}

void Controller::failBootstrapRedeem()
{
    m_lastError =
        QStringLiteral("Скачайте установщик заново или импортируйте подписку из кабинета.");
    setStatus(QStringLiteral("Ошибка привязки подписки"));
}
