#include "profiles/subscription.h"

#include "profiles/profileuri.h"
#include "profiles/redeem.h"
#include "profiles/serverlist.h"
#include "profiles/subscriptionbody.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QTimer>

#include <limits>
#include <memory>

namespace subscription {

QUrl parseLink(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::TolerantMode);
    // QUrl lower-cases the scheme, so "HTTPS://" typed by hand is fine.
    if (!url.isValid() || url.scheme() != QLatin1String("https") ||
        url.host(QUrl::FullyDecoded).isEmpty() || !url.userInfo().isEmpty())
        return {};
    return url;
}

QNetworkRequest downloadRequest(const QUrl& link)
{
    QNetworkRequest request(link);
    // Subscription services pick the body's format by the client they see.
    request.setRawHeader("User-Agent", "Happ/3.3.6/Windows/2607171516600");
    request.setRawHeader("X-Orvik-Client-Version", QByteArrayLiteral(ORVIK_VERSION));
    request.setTransferTimeout(kTransferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    return request;
}

BodyParser::BodyParser(const QByteArray& body) : m_pieces(splitSubscriptionBody(body)) {}

bool BodyParser::parseSome(qsizetype lines)
{
    const qsizetype end = qMin(m_next + lines, m_pieces.size());
    for (; m_next < end; ++m_next) {
        const QString& piece = m_pieces.at(m_next);
        if (!isProfileLine(piece))
            continue;
        ServerProfile profile;
        QString error;
        if (!parseProfileUri(piece, profile, &error)) {
            ++m_parsed.rejected;
            if (!m_parsed.messages.contains(error))
                m_parsed.messages.append(error);
            continue;
        }
        // The whole URI, name included: the first of two equal lines wins, while two names
        // for one server stay two entries.
        if (m_uris.contains(profile.uri))
            continue;
        m_uris.insert(profile.uri);
        m_parsed.entries.append(makeServerEntry(profile));
    }
    return m_next >= m_pieces.size();
}

ParsedBody parseBody(const QByteArray& body)
{
    BodyParser parser(body);
    parser.parseSome(std::numeric_limits<qsizetype>::max() / 2);
    return parser.result();
}

QString listNotice(const ParsedBody& parsed, bool fromCache)
{
    if (fromCache)
        return QStringLiteral("Сохранённые профили. Проверяем обновление...");
    if (parsed.rejected > 0)
        return QStringLiteral("Часть профилей не добавлена: ") +
               parsed.messages.join(QStringLiteral("; "));
    return QStringLiteral("Подписка обновлена · %1 профилей").arg(parsed.entries.size());
}

QString noProfilesNotice(const QStringList& messages)
{
    return QStringLiteral("В подписке нет поддерживаемых профилей. ") +
           messages.join(QStringLiteral("; "));
}

QString failureDetail(const QVariant& httpStatus)
{
    QString detail = QStringLiteral("Ошибка обновления подписки, HTTP ");
    if (httpStatus.isValid())
        detail += QString::number(httpStatus.toInt());
    return detail;
}

} // namespace subscription
