#pragma once

#include "profiles/serverlistmodel.h"
#include "profiles/subscription.h"
#include "session/tunnelsession.h"
#include "status/statusfile.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QtQml/qqmlregistration.h>
#include <QVariantList>

#include <memory>

class HttpsCheck;
class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

// The one object the QML window talks to. Every value the window shows is a property,
// every user action an invokable. The properties, signals and invokables keep this exact
// order: the window and other local tools address them by position in the meta-object.
class Controller : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool connected READ isConnected NOTIFY connectedChanged)
    Q_PROPERTY(bool connecting READ isConnecting NOTIFY connectingChanged)
    Q_PROPERTY(bool hasError READ hasError NOTIFY statusChanged)
    Q_PROPERTY(bool busy READ isBusy NOTIFY busyChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString subscriptionNotice READ subscriptionNotice NOTIFY serversChanged)
    Q_PROPERTY(bool subscriptionLoading READ isSubscriptionLoading NOTIFY serversChanged)
    Q_PROPERTY(QString selectedName READ selectedName NOTIFY selectedChanged)
    Q_PROPERTY(QString selectedEndpoint READ selectedEndpoint NOTIFY selectedChanged)
    Q_PROPERTY(QString selectedProtocol READ selectedProtocol NOTIFY selectedChanged)
    Q_PROPERTY(int selectedRow READ selectedRow WRITE setSelectedRow NOTIFY selectedChanged)
    Q_PROPERTY(QVariantList servers READ servers NOTIFY serversChanged)
    Q_PROPERTY(QVariantList processes READ processes NOTIFY processesChanged)
    Q_PROPERTY(
        QString processFilter READ processFilter WRITE setProcessFilter NOTIFY processFilterChanged)
    Q_PROPERTY(bool processBypassAvailable READ processBypassAvailable CONSTANT)
    Q_PROPERTY(QString processRouteMode READ processRouteMode WRITE setProcessRouteMode NOTIFY
                   processRouteModeChanged)
    Q_PROPERTY(int selectedProcessCount READ selectedProcessCount NOTIFY processesChanged)
    Q_PROPERTY(QVariantList bypassDomains READ bypassDomains NOTIFY bypassDomainsChanged)
    Q_PROPERTY(QString bypassDomainError READ bypassDomainError NOTIFY bypassDomainErrorChanged)
    // The same entries as `servers`, for a list view that keeps its place while they change.
    Q_PROPERTY(QAbstractItemModel* serverModel READ serverModel CONSTANT)

public:
    explicit Controller(QObject* parent = nullptr);
    ~Controller() override;

    bool isConnected() const { return m_connected; }
    bool isConnecting() const { return m_connecting; }
    bool hasError() const;
    bool isBusy() const { return m_connecting; }
    QString status() const { return m_status; }
    QString subscriptionNotice() const { return m_subscriptionNotice; }
    bool isSubscriptionLoading() const { return m_subscriptionLoading; }
    QString selectedName() const;
    QString selectedEndpoint() const;
    QString selectedProtocol() const;
    int selectedRow() const { return m_selectedRow; }
    void setSelectedRow(int row);
    QVariantList servers() const { return m_servers; }
    QVariantList processes() const;
    QString processFilter() const { return m_processFilter; }
    void setProcessFilter(const QString& text);
    bool processBypassAvailable() const;
    QString processRouteMode() const { return m_processRouteMode; }
    void setProcessRouteMode(const QString& mode);
    int selectedProcessCount() const { return int(m_selectedProcesses.size()); }
    QVariantList bypassDomains() const;
    QString bypassDomainError() const { return m_bypassDomainError; }
    QAbstractItemModel* serverModel() { return &m_serverModel; }

signals:
    void connectedChanged();
    void connectingChanged();
    void busyChanged();
    void statusChanged();
    void selectedChanged();
    void serversChanged();
    void processesChanged();
    void processFilterChanged();
    void processRouteModeChanged();
    void bypassDomainsChanged();
    void bypassDomainErrorChanged();

public:
    Q_INVOKABLE void connectVpn();
    Q_INVOKABLE void disconnectVpn();
    Q_INVOKABLE void toggleVpn();
    Q_INVOKABLE void importSubscription(const QString& url);
    Q_INVOKABLE void refreshSubscription();
    Q_INVOKABLE void copyLastError();
    Q_INVOKABLE void pingServer(int index);
    Q_INVOKABLE void pingAllServers();
    Q_INVOKABLE void refreshProcesses();
    Q_INVOKABLE void toggleProcessExclusion(const QString& name, bool excluded);
    Q_INVOKABLE void toggleProcessSelection(const QString& name, bool selected);
    Q_INVOKABLE bool addBypassDomain(const QString& input);
    Q_INVOKABLE void removeBypassDomain(const QString& domain);
    Q_INVOKABLE QString processIcon(const QString& name) const;
    Q_INVOKABLE void shutdown();
    // shutdown() for a process inside exit(), on whatever thread called it: waits for nothing
    // and emits nothing.
    void shutdownAtExit();

    // Operations shared by the controller's parts; not visible to QML.
    void setStatus(const QString& text);
    void setBypassDomainError(const QString& text);
    void clearConnectionState();
    void restartTunnel(const QString& message);
    void cancelPings();
    QString lastError() const { return m_lastError; }
    TunnelSession& tunnelSession() { return m_session; }

    // Server list and subscription.
    bool applySubscriptionBody(const QByteArray& body, bool fromCache);
    bool applyParsedBody(const subscription::ParsedBody& parsed, bool fromCache);
    void installServerList(const QVariantList& entries, const QString& previousUri);

    // Site bypass.
    QStringList effectiveBypassDomains() const;

private:
    // Tests put the controller into states that otherwise need a live tunnel.
    friend class ControllerTestAccess;

    // Connection orchestration.
    void onTunnelReady();
    void onTunnelFailed(const QString& error);
    void startVerification();
    void onVerificationFinished(int milliseconds, const QString& error);
    void onWatchTick();

    // Latency checks.
    bool queuePing(int index);
    void processPingQueue();
    // The result of the check running in `session`, for the server behind `uri`.
    void onPingFinished(TunnelSession* session, const QString& uri, int milliseconds,
                        const QString& error);

    // Start-up, subscription and bootstrap redeem.
    void loadSettings();
    void loadSavedSubscription();
    void redeemBootstrapToken(const QString& token, int hostIndex);
    void onSubscriptionReply(QNetworkReply* reply, QNetworkAccessManager* manager,
                             const QUrl& link);
    // Parses a downloaded body a slice per turn, then installs it.
    void continueSubscriptionParse(const std::shared_ptr<subscription::BodyParser>& parser,
                                   const QByteArray& body, const QUrl& link);
    void onRedeemReply(QNetworkReply* reply, QNetworkAccessManager* manager, const QString& token,
                       int hostIndex, const QString& host);
    void failBootstrapRedeem();

    // Site bypass.
    void saveBypassDomains() const;

    // Status file: changes are gathered and written once the event loop turns again.
    void scheduleStatusFileWrite();
    // A slice of the scheduled write; the write itself once the document is complete.
    void continueStatusFileWrite();
    // The whole write at once, for the quit.
    void writeStatusFile();
    StatusSnapshot statusSnapshot() const;
    bool statusAlreadyWritten(const StatusSnapshot& snapshot) const;
    void saveStatus(const StatusSnapshot& snapshot, const QJsonArray& profiles);

    TunnelSession m_session;
    QPointer<HttpsCheck> m_verifyCheck;
    QPointer<TunnelSession> m_pingSession;
    QTimer m_watchTimer;
    // Latency checks start a moment after a downloaded list is installed.
    QTimer m_pingStartTimer;
    QStringList m_pingQueue;
    bool m_connected = false;
    bool m_subscriptionLoading = false;
    QString m_subscriptionNotice;
    bool m_keyringNoticeShown = false;
    int m_downloadDeadlineMs = subscription::kDownloadDeadlineMs;
    QVariantList m_servers;
    ServerListModel m_serverModel{m_servers, this};
    QVariantList m_allProcesses;
    QStringList m_selectedProcesses;
    QStringList m_userBypassDomains;
    QString m_processFilter;
    QString m_processRouteMode = QStringLiteral("exclude");
    QString m_bypassDomainError;
    QString m_lastError;
    QString m_status = QStringLiteral("Отключено");
    int m_selectedRow = 0;
    bool m_connecting = false;
    bool m_reconnectPending = false;
    QTimer m_statusWriteTimer;
    // A large list's file is not rewritten faster than the disk budget allows.
    QElapsedTimer m_statusWriteClock;
    qint64 m_statusWriteGapMs = 0;
    // What the file holds now: a write that would say the same again is skipped. The list
    // is a shallow copy; any change to the entries detaches the controller's own.
    StatusSnapshot m_statusWritten;
    bool m_statusWrittenOnce = false;
    bool m_shutDown = false;
    // The scheduled write in progress: its state and the entries converted so far.
    bool m_statusBuilding = false;
    bool m_statusChangedWhileBuilding = false;
    StatusSnapshot m_statusPending;
    QJsonArray m_statusProfiles;
};
