#include "controller/controller.h"

#include "config/cores.h"
#include "controller/settings.h"
#include "profiles/subscription.h"
#include "session/httpscheck.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>

namespace {

QString entryText(const QVariantList& servers, int row, const char* key)
{
    if (row < 0 || row >= servers.size())
        return {};
    return servers.at(row).toMap().value(QString::fromLatin1(key)).toString();
}

} // namespace

Controller::Controller(QObject* parent)
    : QObject(parent), m_session(QCoreApplication::applicationDirPath(), this)
{
    m_statusWriteTimer.setSingleShot(true);
    connect(&m_statusWriteTimer, &QTimer::timeout, this, &Controller::continueStatusFileWrite);
    connect(this, &Controller::statusChanged, this, &Controller::scheduleStatusFileWrite);
    connect(this, &Controller::serversChanged, this, &Controller::scheduleStatusFileWrite);

    connect(&m_session, &TunnelSession::ready, this, &Controller::onTunnelReady);
    connect(&m_session, &TunnelSession::failed, this, &Controller::onTunnelFailed);

    m_watchTimer.setInterval(45000);
    connect(&m_watchTimer, &QTimer::timeout, this, &Controller::onWatchTick);
    m_pingStartTimer.setSingleShot(true);
    m_pingStartTimer.setInterval(subscription::kPingDelayMs);
    connect(&m_pingStartTimer, &QTimer::timeout, this, &Controller::pingAllServers);

    settings::prepareStore();
    loadSettings();
    refreshProcesses();

    // Runs after the window has finished loading, so the cached list appears in a live window.
    QTimer::singleShot(0, this, &Controller::loadSavedSubscription);
}

Controller::~Controller()
{
    // A controller destroyed without the tray's quit (tests, a failed start) still stops the
    // cores and leaves a status file that says so.
    shutdown();
}

bool Controller::hasError() const
{
    return m_status.startsWith(QStringLiteral("Ошибка"));
}

QString Controller::selectedName() const
{
    if (m_selectedRow < 0 || m_selectedRow >= m_servers.size())
        return QStringLiteral("Выберите сервер");
    return entryText(m_servers, m_selectedRow, "name");
}

QString Controller::selectedEndpoint() const
{
    return entryText(m_servers, m_selectedRow, "endpoint");
}

QString Controller::selectedProtocol() const
{
    return entryText(m_servers, m_selectedRow, "protocol");
}

void Controller::setSelectedRow(int row)
{
    if (m_session.isRunning() || row < 0 || row >= m_servers.size() || row == m_selectedRow)
        return;
    m_selectedRow = row;
    settings::writeSelectedProfile(entryText(m_servers, row, "uri"));
    emit selectedChanged();
}

void Controller::setProcessFilter(const QString& text)
{
    if (text == m_processFilter)
        return;
    m_processFilter = text;
    emit processFilterChanged();
    emit processesChanged();
}

bool Controller::processBypassAvailable() const
{
    return QFile::exists(corePath(QCoreApplication::applicationDirPath(), Core::SingBox));
}

void Controller::copyLastError()
{
    if (m_lastError.isEmpty())
        return;
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(m_lastError, QClipboard::Clipboard);
}

QString Controller::processIcon(const QString& name) const
{
    Q_UNUSED(name);
    return QStringLiteral("app");
}

void Controller::shutdown()
{
    m_reconnectPending = false;
    cancelPings();
    m_session.stop();
    // The client ends next: its cores must not outlive it.
    m_session.endCoresNow();
    clearConnectionState();
    // Otherwise a client that quit while connected leaves a file that says it still is. The
    // quit reaches here up to three times (tray, aboutToQuit, destructor); with thousands of
    // servers each repeat would rewrite megabytes that say nothing new.
    if (!m_shutDown || !statusAlreadyWritten(statusSnapshot()))
        writeStatusFile();
    m_shutDown = true;
}

void Controller::shutdownAtExit()
{
    // The window and the tray may sit on a display that is gone, and the event loop never
    // runs again.
    const QSignalBlocker blocker(this);
    m_session.abandon();
    m_connected = false;
    m_connecting = false;
    m_status = QStringLiteral("Отключено");
    writeStatusFile();
}

void Controller::setStatus(const QString& text)
{
    if (text == m_status)
        return;
    m_status = text;
    emit statusChanged();
}

void Controller::setBypassDomainError(const QString& text)
{
    if (text == m_bypassDomainError)
        return;
    m_bypassDomainError = text;
    emit bypassDomainErrorChanged();
}

void Controller::clearConnectionState()
{
    m_watchTimer.stop();
    if (m_verifyCheck) {
        // Deleted at once, not deferred, so it can never report into a newer connection.
        delete m_verifyCheck.data();
        m_verifyCheck.clear();
    }
    m_connected = false;
    m_connecting = false;
    emit connectedChanged();
    emit busyChanged();
    emit connectingChanged();
}
