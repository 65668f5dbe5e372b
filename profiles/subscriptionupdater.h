#pragma once

#include "profiles/account.h"
#include "profiles/subscription.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class ConnectionManager;
class LatencyChecker;
class QNetworkAccessManager;
class QNetworkReply;
class ServerList;

// Downloads, refreshes and installs the subscription, shows last run's list at start-up and
// turns the installer's token into a subscription link.
class SubscriptionUpdater : public QObject
{
    Q_OBJECT

public:
    SubscriptionUpdater(ServerList& servers, LatencyChecker& latency,
                        ConnectionManager& connection, QObject* parent = nullptr);

    void import(const QString& url);
    void refresh();
    // Last run's list from the store, then a fresh download or the token's redeem.
    void loadSaved();

    QString notice() const { return m_notice; }
    bool isLoading() const { return m_loading; }
    // What the service last said about the account; empty when it says nothing.
    const subscription::AccountInfo& account() const { return m_account; }

    bool applyBody(const QByteArray& body, bool fromCache);
    bool applyParsedBody(const subscription::ParsedBody& parsed, bool fromCache);
    // Puts `entries` on screen, keeping the server behind `previousUri` selected; a tunnel
    // through a server that is gone ends.
    void installList(const QVariantList& entries, const QString& previousUri);

signals:
    // The notice or the loading state changed.
    void changed();

private:
    friend class ControllerTestAccess;

    void onReply(QNetworkReply* reply, QNetworkAccessManager* manager, const QUrl& link);
    // Parses a downloaded body a slice per turn, then installs it.
    void continueParse(const std::shared_ptr<subscription::BodyParser>& parser,
                       const QByteArray& body, const QUrl& link,
                       const subscription::AccountInfo& account);
    // The next refresh on the service's schedule, when it gave one.
    void scheduleRefresh();
    void onRefreshDue();
    void redeemToken(const QString& token, int hostIndex);
    void onRedeemReply(QNetworkReply* reply, QNetworkAccessManager* manager, const QString& token,
                       int hostIndex, const QString& host);
    void failRedeem();

    ServerList& m_servers;
    LatencyChecker& m_latency;
    ConnectionManager& m_connection;
    bool m_loading = false;
    QString m_notice;
    bool m_keyringNoticeShown = false;
    int m_downloadDeadlineMs = subscription::kDownloadDeadlineMs;
    subscription::AccountInfo m_account;
    QTimer m_refreshTimer;
    // The service's unit; tests shorten it.
    qint64 m_hourMs = 3600 * 1000;
};
