#include "profiles/redeem.h"

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
