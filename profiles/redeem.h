#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QStringList>

// Exchanging the installer's one-time token for the subscription link.
namespace redeem {

// The service's API hosts in the order they are asked: primary, then fallback.
const QStringList& apiHosts();

// A reply holding more than this is aborted while it is read: the answer is one short link.
inline constexpr qint64 kReplyLimit = 65536;

// Exactly 48 lower-case hexadecimal digits; anything else is not sent anywhere.
bool isBootstrapToken(const QString& token);

// The POST to one API host: the token goes as an opaque body, redirects are not followed.
QNetworkRequest request(const QString& apiHost);

// "subscription_url" of the reply's JSON object, or empty.
QString subscriptionUrlFromReply(const QByteArray& body);

// A link the client takes from `apiHost`: https, on that very host, without user info and
// under "/s/". A host that answers for another could otherwise send the client anywhere.
bool isAcceptableLink(const QString& link, const QString& apiHost);

} // namespace redeem
