#pragma once

#include "controller/settings.h"
#include "profiles/serverlist.h"
#include "profiles/subscriptionupdater.h"
#include "routing/approuting.h"
#include "routing/bypasslist.h"
#include "session/connectionmanager.h"
#include "session/latencychecker.h"
#include "status/statuswriter.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <QVariantList>

// The one object the QML window talks to. Every value the window shows is a property,
// every user action an invokable; the work itself is done by the parts it forwards to. The properties, signals and invokables keep this exact
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
    // What the service says about the account: its name, the traffic used of the total, the
    // end date, and whether the end or the traffic limit is near or past. Empty when unknown.
    Q_PROPERTY(QString subscriptionTitle READ subscriptionTitle NOTIFY serversChanged)
    Q_PROPERTY(QString subscriptionTraffic READ subscriptionTraffic NOTIFY serversChanged)
    Q_PROPERTY(QString subscriptionExpiry READ subscriptionExpiry NOTIFY serversChanged)
    Q_PROPERTY(bool subscriptionWarning READ subscriptionWarning NOTIFY serversChanged)

public:
    explicit Controller(QObject* parent = nullptr);
    ~Controller() override;

    bool isConnected() const { return m_connection.isConnected(); }
    bool isConnecting() const { return m_connection.isConnecting(); }
    bool hasError() const { return m_connection.hasError(); }
    bool isBusy() const { return m_connection.isConnecting(); }
    QString status() const { return m_connection.status(); }
    QString subscriptionNotice() const { return m_subscription.notice(); }
    bool isSubscriptionLoading() const { return m_subscription.isLoading(); }
    QString selectedName() const { return m_servers.selectedName(); }
    QString selectedEndpoint() const { return m_servers.selectedText(ServerEntry::endpoint); }
    QString selectedProtocol() const { return m_servers.selectedText(ServerEntry::protocol); }
    int selectedRow() const { return m_servers.selectedRow(); }
    void setSelectedRow(int row);
    QVariantList servers() const { return m_servers.entries(); }
    QVariantList processes() const { return m_apps.processes(); }
    QString processFilter() const { return m_apps.filter(); }
    void setProcessFilter(const QString& text) { m_apps.setFilter(text); }
    bool processBypassAvailable() const;
    QString processRouteMode() const { return routeModeText(m_apps.mode()); }
    void setProcessRouteMode(const QString& mode) { m_apps.setMode(routeModeFromText(mode)); }
    int selectedProcessCount() const { return int(m_apps.selected().size()); }
    QVariantList bypassDomains() const { return m_sites.entries(); }
    QString bypassDomainError() const { return m_sites.error(); }
    QAbstractItemModel* serverModel() { return m_servers.model(); }
    QString subscriptionTitle() const { return m_subscription.account().title; }
    QString subscriptionTraffic() const { return subscription::trafficText(m_subscription.account()); }
    QString subscriptionExpiry() const { return subscription::expiryText(m_subscription.account()); }
    bool subscriptionWarning() const;

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

    // For the tests of the window and of the parts behind it; not visible to QML.
    void setStatus(const QString& text) { m_connection.setStatus(text); }
    void setBypassDomainError(const QString& text) { m_sites.setError(text); }
    void cancelPings() { m_latency.cancel(); }
    QString lastError() const { return m_connection.lastError(); }
    TunnelSession& tunnelSession() { return m_connection.session(); }
    void installServerList(const QVariantList& entries, const QString& previousUri)
    {
        m_subscription.installList(entries, previousUri);
    }
    QStringList effectiveBypassDomains() const { return m_sites.effective(); }

private:
    // Tests put the controller into states that otherwise need a live tunnel.
    friend class ControllerTestAccess;

    // The settings store is made owner-only before any part reads or migrates it.
    struct StorePreparation
    {
        StorePreparation() { settings::prepareStore(); }
    } m_storePreparation;
    ServerList m_servers{this};
    LatencyChecker m_latency;
    AppRouting m_apps{this};
    BypassList m_sites{this};
    ConnectionManager m_connection;
    SubscriptionUpdater m_subscription;
    StatusWriter m_statusWriter;
};
