#include "profiles/subscription.h"

#include "controller/controller.h"
#include "controller/settings.h"
#include "controller/settingskeys.h"
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

void Controller::importSubscription(const QString& url)
{
    // One download at a time; a second request while one runs is simply dropped.
    if (m_subscriptionLoading)
        return;
    const QUrl link = subscription::parseLink(url);
    if (link.isEmpty()) {
        m_subscriptionNotice = QStringLiteral("Нужна корректная HTTPS-ссылка на подписку.");
        emit serversChanged();
        return;
    }
    m_subscriptionLoading = true;
    emit serversChanged();

    auto* manager = new QNetworkAccessManager(this);
    QNetworkReply* reply = manager->get(subscription::downloadRequest(link));
    connect(reply, &QNetworkReply::readyRead, reply, [reply] {
        // Nothing reads before the end, so this is everything received so far.
        if (reply->bytesAvailable() > subscription::kBodyLimit)
            reply->abort();
    });
    QTimer::singleShot(m_downloadDeadlineMs, reply, [reply] { reply->abort(); });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, manager, link] { onSubscriptionReply(reply, manager, link); });
}

void Controller::onSubscriptionReply(QNetworkReply* reply, QNetworkAccessManager* manager,
                                     const QUrl& link)
{
    // An abort from the size guard must not be handled twice.
    if (reply->property("done").toBool())
        return;
    reply->setProperty("done", true);

    // An aborted reply is closed and has nothing left to read.
    const QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
    reply->deleteLater();
    manager->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        m_subscriptionLoading = false;
        m_subscriptionNotice =
            QStringLiteral("Не удалось обновить подписку. Сохранённые профили остаются доступны.");
        m_lastError =
            subscription::failureDetail(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute));
        emit serversChanged();
        return;
    }
    // Still loading until the body is parsed, so a second download waits for this one.
    continueSubscriptionParse(std::make_shared<subscription::BodyParser>(body), body, link);
}

void Controller::continueSubscriptionParse(const std::shared_ptr<subscription::BodyParser>& parser,
                                           const QByteArray& body, const QUrl& link)
{
    if (!parser->parseSome(subscription::kParseSlice)) {
        QTimer::singleShot(
            0, this, [this, parser, body, link] { continueSubscriptionParse(parser, body, link); });
        return;
    }
    // Only a link that produced a list replaces the stored one; the body is kept exactly as
    // received. Nothing is written unless both could be protected. Stored before the list is
    // installed, on a turn of its own, so a quit in between still finds it on the next start.
    bool notStored = false;
    if (!parser->result().entries.isEmpty())
        notStored = !settings::writeSecrets(
            {{settingskeys::subscription, link.toEncoded(QUrl::FullyEncoded)},
             {settingskeys::subscriptionCache, body}});
    QTimer::singleShot(0, this, [this, parser, notStored] {
        m_subscriptionLoading = false;
        if (applyParsedBody(parser->result(), false)) {
            if (notStored && !m_keyringNoticeShown) {
                m_keyringNoticeShown = true;
                m_subscriptionNotice = QStringLiteral("Ссылка на подписку не будет запомнена: "
                                                      "системное хранилище ключей недоступно.");
            }
            if (!m_session.isRunning())
                setStatus(QStringLiteral("Готово"));
            m_pingStartTimer.start();
        }
        emit serversChanged();
    });
}

void Controller::refreshSubscription()
{
    const QByteArray link = settings::readSecret(settingskeys::subscription);
    if (link.isEmpty()) {
        m_subscriptionNotice = QStringLiteral("Сначала добавьте ссылку из кабинета.");
        emit serversChanged();
        return;
    }
    importSubscription(QString::fromUtf8(link));
}

void Controller::loadSavedSubscription()
{
    const QByteArray link = settings::readSecret(settingskeys::subscription);
    // Kept until its link is stored: without a keyring the link is not remembered, and the
    // token is then the only way back to the subscription at the next start.
    const QString token = settings::readBootstrapToken();
    if (!token.isEmpty() && (!link.isEmpty() || !redeem::isBootstrapToken(token)))
        settings::eraseBootstrapToken();
    // Last run's list is on screen before any request leaves the machine.
    const QByteArray cache = settings::readSecret(settingskeys::subscriptionCache);
    if (!cache.isEmpty())
        applySubscriptionBody(cache, true);

    if (!link.isEmpty())
        importSubscription(QString::fromUtf8(link));
    else if (redeem::isBootstrapToken(token))
        redeemBootstrapToken(token, 0);
}

bool Controller::applySubscriptionBody(const QByteArray& body, bool fromCache)
{
    return applyParsedBody(subscription::parseBody(body), fromCache);
}

bool Controller::applyParsedBody(const subscription::ParsedBody& parsed, bool fromCache)
{
    if (parsed.entries.isEmpty()) {
        // The list on screen stays; a broken download never empties it.
        m_subscriptionNotice = subscription::noProfilesNotice(parsed.messages);
        emit serversChanged();
        return false;
    }

    // Right after start-up nothing is selected yet, so the user's stored choice counts.
    const QString previousUri =
        m_selectedRow >= 0 && m_selectedRow < m_servers.size()
            ? m_servers.at(m_selectedRow).toMap().value(QStringLiteral("uri")).toString()
            : QString::fromUtf8(settings::readSecret(settingskeys::selectedProfile));
    installServerList(parsed.entries, previousUri);
    m_subscriptionNotice = subscription::listNotice(parsed, fromCache);
    emit serversChanged();
    emit selectedChanged();
    return true;
}
