#include "profiles/subscriptionupdater.h"

#include "controller/settings.h"
#include "controller/settingskeys.h"
#include "profiles/redeem.h"
#include "profiles/serverlist.h"
#include "session/connectionmanager.h"
#include "session/latencychecker.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QDateTime>
#include <QTimer>

SubscriptionUpdater::SubscriptionUpdater(ServerList& servers, LatencyChecker& latency,
                                         ConnectionManager& connection, QObject* parent)
    : QObject(parent), m_servers(servers), m_latency(latency), m_connection(connection)
{
    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, &SubscriptionUpdater::onRefreshDue);
}

void SubscriptionUpdater::import(const QString& url)
{
    // One download at a time; a second request while one runs is simply dropped.
    if (m_loading)
        return;
    const QUrl link = subscription::parseLink(url);
    if (link.isEmpty()) {
        m_notice = QStringLiteral("Нужна корректная HTTPS-ссылка на подписку.");
        emit changed();
        return;
    }
    m_loading = true;
    emit changed();

    auto* manager = new QNetworkAccessManager(this);
    QNetworkReply* reply = manager->get(subscription::downloadRequest(link));
    connect(reply, &QNetworkReply::readyRead, reply, [reply] {
        // Nothing reads before the end, so this is everything received so far.
        if (reply->bytesAvailable() > subscription::kBodyLimit)
            reply->abort();
    });
    QTimer::singleShot(m_downloadDeadlineMs, reply, [reply] { reply->abort(); });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, manager, link] { onReply(reply, manager, link); });
}

void SubscriptionUpdater::onReply(QNetworkReply* reply, QNetworkAccessManager* manager,
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
        m_loading = false;
        m_notice =
            QStringLiteral("Не удалось обновить подписку. Сохранённые профили остаются доступны.");
        m_connection.setLastError(
            subscription::failureDetail(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute)));
        scheduleRefresh();
        emit changed();
        return;
    }
    const subscription::AccountInfo account =
        subscription::parseAccountHeaders(reply->rawHeader("subscription-userinfo"),
                                          reply->rawHeader("profile-update-interval"),
                                          reply->rawHeader("profile-title"));
    // Still loading until the body is parsed, so a second download waits for this one.
    continueParse(std::make_shared<subscription::BodyParser>(body), body, link, account);
}

void SubscriptionUpdater::continueParse(const std::shared_ptr<subscription::BodyParser>& parser,
                                        const QByteArray& body, const QUrl& link,
                                        const subscription::AccountInfo& account)
{
    if (!parser->parseSome(subscription::kParseSlice)) {
        QTimer::singleShot(
            0, this,
            [this, parser, body, link, account] { continueParse(parser, body, link, account); });
        return;
    }
    // Only a link that produced a list replaces the stored one; the body is kept exactly as
    // received. Nothing is written unless both could be protected. Stored before the list is
    // installed, on a turn of its own, so a quit in between still finds it on the next start.
    bool notStored = false;
    if (!parser->result().entries.isEmpty())
        notStored = !settings::writeSecrets(
            {{settingskeys::subscription, link.toEncoded(QUrl::FullyEncoded)},
             {settingskeys::subscriptionCache, body},
             {settingskeys::subscriptionAccount, subscription::serializeAccount(account)}});
    QTimer::singleShot(0, this, [this, parser, notStored, account] {
        m_loading = false;
        if (applyParsedBody(parser->result(), false)) {
            m_account = account;
            m_notice += subscription::accountNoticeSuffix(account, QDateTime::currentDateTime());
            if (notStored && !m_keyringNoticeShown) {
                m_keyringNoticeShown = true;
                m_notice = QStringLiteral("Ссылка на подписку не будет запомнена: "
                                                      "системное хранилище ключей недоступно.");
            }
            if (!m_connection.isRunning())
                m_connection.setStatus(QStringLiteral("Готово"));
            m_latency.checkAllSoon();
        }
        // A failed parse keeps the old schedule; the next attempt is still due.
        scheduleRefresh();
        emit changed();
    });
}

void SubscriptionUpdater::refresh()
{
    const QByteArray link = settings::readSecret(settingskeys::subscription);
    if (link.isEmpty()) {
        m_notice = QStringLiteral("Сначала добавьте ссылку из кабинета.");
        emit changed();
        return;
    }
    import(QString::fromUtf8(link));
}

void SubscriptionUpdater::loadSaved()
{
    const QByteArray link = settings::readSecret(settingskeys::subscription);
    // Kept until its link is stored: without a keyring the link is not remembered, and the
    // token is then the only way back to the subscription at the next start.
    const QString token = settings::readBootstrapToken();
    if (!token.isEmpty() && (!link.isEmpty() || !redeem::isBootstrapToken(token)))
        settings::eraseBootstrapToken();
    // Last run's list is on screen before any request leaves the machine.
    const QByteArray cache = settings::readSecret(settingskeys::subscriptionCache);
    if (!cache.isEmpty() && applyBody(cache, true))
        m_account =
            subscription::deserializeAccount(settings::readSecret(settingskeys::subscriptionAccount));

    if (!link.isEmpty())
        import(QString::fromUtf8(link));
    else if (redeem::isBootstrapToken(token))
        redeemToken(token, 0);
}

bool SubscriptionUpdater::applyBody(const QByteArray& body, bool fromCache)
{
    return applyParsedBody(subscription::parseBody(body), fromCache);
}

bool SubscriptionUpdater::applyParsedBody(const subscription::ParsedBody& parsed, bool fromCache)
{
    if (parsed.entries.isEmpty()) {
        // The list on screen stays; a broken download never empties it.
        m_notice = subscription::noProfilesNotice(parsed.messages);
        emit changed();
        return false;
    }

    // Right after start-up nothing is selected yet, so the user's stored choice counts.
    const QString previousUri =
        m_servers.hasSelection()
            ? m_servers.selectedText(ServerEntry::uri)
            : QString::fromUtf8(settings::readSecret(settingskeys::selectedProfile));
    installList(parsed.entries, previousUri);
    m_notice = subscription::listNotice(parsed, fromCache);
    // One notification for the list and the notice: the window reads both on it.
    m_servers.notifyChanged();
    m_servers.notifySelectedChanged();
    return true;
}

void SubscriptionUpdater::redeemToken(const QString& token, int hostIndex)
{
    const QStringList& hosts = redeem::apiHosts();
    if (hostIndex < 0 || hostIndex >= hosts.size()) {
        failRedeem();
        return;
    }
    const QString host = hosts.at(hostIndex);
    auto* manager = new QNetworkAccessManager(this);
    QNetworkReply* reply = manager->post(redeem::request(host), token.toLatin1());
    m_connection.setStatus(hostIndex == 0 ? QStringLiteral("Добавление подписки...")
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

void SubscriptionUpdater::onRedeemReply(QNetworkReply* reply, QNetworkAccessManager* manager,
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
        import(link);
    } else if (hostIndex + 1 < redeem::apiHosts().size()) {
        redeemToken(token, hostIndex + 1);
    } else {
        failRedeem();
    }
    reply->deleteLater();
    manager->deleteLater();
}

void SubscriptionUpdater::failRedeem()
{
    m_connection.setLastError(
        QStringLiteral("Скачайте установщик заново или импортируйте подписку из кабинета."));
    m_connection.setStatus(QStringLiteral("Ошибка привязки подписки"));
}

void SubscriptionUpdater::installList(const QVariantList& entries, const QString& previousUri)
{
    // The server that carries the tunnel is gone from the subscription.
    if (m_connection.isRunning() && !previousUri.isEmpty() &&
        !listContainsServer(entries, previousUri))
        m_connection.disconnectTunnel();
    m_latency.cancel();
    m_servers.replace(entries, restoredSelectedRow(entries, previousUri));
}

void SubscriptionUpdater::scheduleRefresh()
{
    if (m_account.updateHours <= 0) {
        m_refreshTimer.stop();
        return;
    }
    // However often the service asks, at most once an hour. A timer cannot wait longer than
    // about 24 days; the client rarely runs that long.
    const qint64 wanted = qMax(1, m_account.updateHours) * m_hourMs;
    m_refreshTimer.start(int(qMin(wanted, 24 * 24 * m_hourMs)));
}

void SubscriptionUpdater::onRefreshDue()
{
    // Never in the way of the user's own work: the refresh waits until it is done.
    if (m_loading || m_connection.isConnecting() || m_latency.isChecking()) {
        m_refreshTimer.start(int(m_hourMs / 60));
        return;
    }
    refresh();
}
