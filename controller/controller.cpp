#include "controller/controller.h"

#include "config/cores.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QGuiApplication>
#include <QTimer>

Controller::Controller(QObject* parent)
    : QObject(parent),
      m_latency(m_servers, QCoreApplication::applicationDirPath(), this),
      m_connection(m_servers, m_latency, m_apps, m_sites, QCoreApplication::applicationDirPath(),
                   this),
      m_subscription(m_servers, m_latency, m_connection, this),
      m_statusWriter(m_servers, m_connection, this)
{
    connect(&m_connection, &ConnectionManager::connectedChanged, this,
            &Controller::connectedChanged);
    connect(&m_connection, &ConnectionManager::connectingChanged, this,
            &Controller::connectingChanged);
    connect(&m_connection, &ConnectionManager::busyChanged, this, &Controller::busyChanged);
    connect(&m_connection, &ConnectionManager::statusChanged, this, &Controller::statusChanged);
    // The notice and the loading state reach the window with the list.
    connect(&m_servers, &ServerList::changed, this, &Controller::serversChanged);
    connect(&m_subscription, &SubscriptionUpdater::changed, this, &Controller::serversChanged);
    connect(&m_servers, &ServerList::selectedChanged, this, &Controller::selectedChanged);
    connect(&m_apps, &AppRouting::processesChanged, this, &Controller::processesChanged);
    connect(&m_apps, &AppRouting::filterChanged, this, &Controller::processFilterChanged);
    connect(&m_apps, &AppRouting::modeChanged, this, &Controller::processRouteModeChanged);
    connect(&m_sites, &BypassList::changed, this, &Controller::bypassDomainsChanged);
    connect(&m_sites, &BypassList::errorChanged, this, &Controller::bypassDomainErrorChanged);

    connect(this, &Controller::statusChanged, &m_statusWriter, &StatusWriter::schedule);
    connect(this, &Controller::serversChanged, &m_statusWriter, &StatusWriter::schedule);

    // Runs after the window has finished loading, so the cached list appears in a live window.
    QTimer::singleShot(0, &m_subscription, &SubscriptionUpdater::loadSaved);
}

Controller::~Controller()
{
    // A controller destroyed without the tray's quit (tests, a failed start) still stops the
    // cores and leaves a status file that says so.
    shutdown();
}

void Controller::setSelectedRow(int row)
{
    // The tunnel keeps the server it was started with.
    if (!m_connection.isRunning())
        m_servers.select(row);
}

bool Controller::subscriptionWarning() const
{
    return subscription::accountState(m_subscription.account(), QDateTime::currentDateTime()) !=
           subscription::AccountState::Normal;
}

bool Controller::processBypassAvailable() const
{
    return QFile::exists(corePath(QCoreApplication::applicationDirPath(), Core::SingBox));
}

void Controller::connectVpn()
{
    m_connection.connectSelected();
}

void Controller::disconnectVpn()
{
    m_connection.disconnectTunnel();
}

void Controller::toggleVpn()
{
    m_connection.toggle();
}

void Controller::importSubscription(const QString& url)
{
    m_subscription.import(url);
}

void Controller::refreshSubscription()
{
    m_subscription.refresh();
}

void Controller::copyLastError()
{
    const QString error = m_connection.lastError();
    if (error.isEmpty())
        return;
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(error, QClipboard::Clipboard);
}

void Controller::pingServer(int index)
{
    m_latency.checkServer(index);
}

void Controller::pingAllServers()
{
    m_latency.checkAll();
}

void Controller::refreshProcesses()
{
    m_apps.refresh();
}

void Controller::toggleProcessExclusion(const QString& name, bool excluded)
{
    m_apps.toggle(name, excluded);
}

void Controller::toggleProcessSelection(const QString& name, bool selected)
{
    m_apps.toggle(name, selected);
}

bool Controller::addBypassDomain(const QString& input)
{
    return m_sites.add(input);
}

void Controller::removeBypassDomain(const QString& domain)
{
    m_sites.remove(domain);
}

QString Controller::processIcon(const QString& name) const
{
    Q_UNUSED(name);
    return QStringLiteral("app");
}

void Controller::shutdown()
{
    m_connection.shutdown();
    m_statusWriter.writeAtQuit();
}

void Controller::shutdownAtExit()
{
    // The window and the tray may sit on a display that is gone, and the event loop never
    // runs again.
    const QSignalBlocker blocker(this);
    const QSignalBlocker connectionBlocker(&m_connection);
    m_connection.abandonAtExit();
    m_statusWriter.writeNow();
}
