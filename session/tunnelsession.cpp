#include "session/tunnelsession.h"

#include "config/cores.h"
#include "config/singboxconfig.h"
#include "config/xrayconfig.h"
#include "session/coreoutput.h"
#include "session/redaction.h"
#include "session/runtimefolders.h"

#include <QDir>
#include <QFile>
#include <QHostInfo>
#include <QJsonDocument>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <utility>

namespace {

constexpr int kPollIntervalMs = 100;
constexpr int kProbeLimitMs = 400;
constexpr int kResolveLimitMs = 8000;
constexpr qint64 kLaunchLimitMs = 10000;
constexpr int kTerminateWaitMs = 600;
constexpr int kKillWaitMs = 1000;

constexpr QFileDevice::Permissions kOwnerReadWrite =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Binding to port 0 lets the system pick; the port is free again once the server is gone.
quint16 freeLocalPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

// The file is created owner-only before a byte of the document (which holds the
// profile's secrets) is in it.
bool writeConfig(const QString& path, const QJsonObject& document)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate, kOwnerReadWrite))
        return false;
    if (!file.setPermissions(kOwnerReadWrite))
        return false;
    const QByteArray data = QJsonDocument(document).toJson(QJsonDocument::Indented);
    return file.write(data) == data.size() && file.flush();
}

// How often a launch looks again whether the previous launch's cores have ended.
constexpr int kEndingCheckMs = 20;

} // namespace

QString pickServerAddress(const QList<QHostAddress>& addresses)
{
    for (const QHostAddress& address : addresses) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        const QString text = address.toString();
        if (text.startsWith(QLatin1String("198.18.")))
            continue;
        return text;
    }
    return {};
}

TunnelSession::TunnelSession(const QString& appDir, QObject* parent)
    : QObject(parent), m_appDir(appDir)
{
    m_pollTimer.setInterval(kPollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &TunnelSession::poll);
}

TunnelSession::~TunnelSession()
{
    stop();
    endCoresNow();
}

void TunnelSession::endCoresNow()
{
    QElapsedTimer now;
    now.start();
    for (const QPointer<QProcess>& core : std::as_const(m_endingCores)) {
        if (!core || core->state() == QProcess::NotRunning)
            continue;
        const qint64 left = kTerminateWaitMs - (now.msecsSinceReference() -
                                                core->property("endingSince").toLongLong());
        if (left <= 0 || !core->waitForFinished(int(left))) {
            core->kill();
            core->waitForFinished(kKillWaitMs);
        }
    }
}

QProcess* TunnelSession::newProcess()
{
    auto* process = new QProcess(this);
    m_job.prepare(*process);
    auto* output = new CoreOutput(*process);
    connect(output, &CoreOutput::received, this, [this, process](const QByteArray& chunk) {
        appendCoreOutput(m_coreLog, outputStream(*process), chunk, m_profile);
    });
    connect(process, &QProcess::started, this, [this, process] { m_job.adopt(*process); });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && m_running && !m_stopping)
            fail(QStringLiteral("Не удалось запустить VPN-ядро: ") + process->errorString());
    });
    connect(process, &QProcess::finished, this, [this, process] {
        // The core's last words belong in the message.
        if (auto* output = process->findChild<CoreOutput*>())
            output->drain();
        flushCoreOutput(m_coreLog, outputStream(*process), m_profile);
        if (m_running && !m_stopping)
            fail(QStringLiteral("VPN-ядро остановилось. ") + coreLog());
    });
    return process;
}

void TunnelSession::retire(QProcess*& process)
{
    QProcess* core = std::exchange(process, nullptr);
    if (!core)
        return;
    // Whatever it still prints or however it ends belongs to an earlier run; its output is
    // still taken in, and dropped.
    disconnect(core, nullptr, this, nullptr);
    if (auto* output = core->findChild<CoreOutput*>())
        disconnect(output, nullptr, this, nullptr);
    if (core->state() == QProcess::NotRunning) {
        core->deleteLater();
        return;
    }
    connect(core, &QProcess::finished, this, [this, core] {
        core->deleteLater();
        if (m_releaseWhenEnded && !coresEnding())
            deleteLater();
    });
    QElapsedTimer since;
    since.start();
    core->setProperty("endingSince", since.msecsSinceReference());
    m_job.end(*core);
    QTimer::singleShot(kTerminateWaitMs, core, [core] {
        if (core->state() != QProcess::NotRunning)
            core->kill();
    });
    m_endingCores.removeIf([](const QPointer<QProcess>& ended) { return !ended; });
    m_endingCores.append(core);
}

bool TunnelSession::coresEnding() const
{
    for (const QPointer<QProcess>& core : m_endingCores) {
        if (core && core->state() != QProcess::NotRunning)
            return true;
    }
    return false;
}

void TunnelSession::stopAndRelease()
{
    stop();
    m_releaseWhenEnded = true;
    if (!coresEnding())
        deleteLater();
}

bool TunnelSession::needsXray() const
{
    return m_profile.kind != ProfileKind::Hysteria2;
}

CoreOutputStream& TunnelSession::outputStream(const QProcess& process)
{
    return &process == m_xrayProcess ? m_xrayOutput : m_singBoxOutput;
}

void TunnelSession::start(const ServerProfile& profile, const TunnelOptions& options)
{
    stop();
    m_profile = profile;
    m_readyEmitted = false;
    m_running = true;
    m_stopping = false;
    m_coreLog.clear();
    m_xrayOutput = CoreOutputStream();
    m_singBoxOutput = CoreOutputStream();
    const quint32 generation = ++m_generation;

    m_adapter = selectPhysicalAdapter();
    if (m_adapter.interfaceName.isEmpty() || m_adapter.ipv4Address.isEmpty()) {
        fail(QStringLiteral("Не найдено подключение Wi-Fi или Ethernet с доступом в интернет."));
        return;
    }
    if (!QFile::exists(corePath(m_appDir, Core::SingBox)) ||
        (needsXray() && !QFile::exists(corePath(m_appDir, Core::Xray)))) {
        fail(QStringLiteral("Не найдено VPN-ядро. Восстановите установку приложения."));
        return;
    }
    if (const QString error = coreInstallError(m_appDir, needsXray()); !error.isEmpty()) {
        fail(error);
        return;
    }

    QHostAddress literal;
    if (literal.setAddress(m_profile.host) && literal.protocol() == QAbstractSocket::IPv4Protocol) {
        launch(literal.toString(), options);
        return;
    }

    QHostInfo::lookupHost(m_profile.host, this, [this, generation, options](const QHostInfo& info) {
        if (!m_running || generation != m_generation)
            return;
        const QString address = pickServerAddress(info.addresses());
        if (address.isEmpty()) {
            fail(QStringLiteral("DNS не вернул IPv4-адрес VPN-сервера: ") + m_profile.host);
            return;
        }
        launch(address, options);
    });
    QTimer::singleShot(kResolveLimitMs, this, [this, generation] {
        if (m_running && generation == m_generation && !m_runtimeDir)
            fail(QStringLiteral("Истекло время разрешения адреса сервера."));
    });
}

void TunnelSession::launch(const QString& serverAddress, const TunnelOptions& options)
{
    const quint32 generation = m_generation;
    // The previous run's cores hold the tunnel adapter and its routes until they are gone.
    if (coresEnding()) {
        QTimer::singleShot(kEndingCheckMs, this, [this, generation, serverAddress, options] {
            if (m_running && generation == m_generation)
                launch(serverAddress, options);
        });
        return;
    }
    // Without a safe parent the documents go nowhere, never to a default temporary folder.
    const QString folderTemplate = runtimeFolderTemplate();
    m_runtimeDir =
        folderTemplate.isEmpty() ? nullptr : std::make_unique<QTemporaryDir>(folderTemplate);
    m_socksPort = freeLocalPort();
    quint16 xrayPort = freeLocalPort();
    if (xrayPort == m_socksPort)
        xrayPort = freeLocalPort();
    // The folder is created owner-only; saying so again costs nothing and survives a
    // different QTemporaryDir implementation.
    const bool folderReady =
        m_runtimeDir && m_runtimeDir->isValid() &&
        QFile::setPermissions(m_runtimeDir->path(), QFileDevice::ReadOwner |
                                                        QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner);
    if (!folderReady || m_socksPort == 0 || xrayPort == 0 || m_socksPort == xrayPort) {
        fail(QStringLiteral("Не удалось подготовить локальный VPN."));
        return;
    }

    if (needsXray()) {
        const QString xrayConfig = m_runtimeDir->filePath(QStringLiteral("xray.json"));
        if (!writeConfig(xrayConfig,
                         buildXrayConfig(m_profile, serverAddress, m_adapter, xrayPort))) {
            fail(QStringLiteral("Не удалось сохранить настройки Xray."));
            return;
        }
        m_xrayProcess = newProcess();
        m_xrayProcess->start(corePath(m_appDir, Core::Xray), coreArguments(xrayConfig),
                             QIODevice::ReadWrite);
        // A core that could not start has already failed and stopped the session.
        if (generation != m_generation)
            return;
    }

    const QString singBoxConfig = m_runtimeDir->filePath(QStringLiteral("sing-box.json"));
    const QJsonObject singBox = buildSingBoxConfig(m_profile, serverAddress, m_adapter, m_socksPort,
                                                   xrayPort, options.tunMode, options.bypassDomains,
                                                   options.appProcesses, options.includeMode);
    if (!writeConfig(singBoxConfig, singBox)) {
        fail(QStringLiteral("Не удалось сохранить настройки туннеля."));
        return;
    }
    m_singBoxProcess = newProcess();
    m_singBoxProcess->start(corePath(m_appDir, Core::SingBox), coreArguments(singBoxConfig),
                            QIODevice::ReadWrite);
    if (generation != m_generation)
        return;

    m_startClock.start();
    m_pollTimer.start();
}

void TunnelSession::poll()
{
    if (!m_running || m_readyEmitted || m_probeInFlight)
        return;
    if (m_startClock.elapsed() > kLaunchLimitMs) {
        fail(QStringLiteral("VPN не запустился за 10 секунд. ") + coreLog());
        return;
    }
    if (!m_singBoxProcess || m_singBoxProcess->state() != QProcess::Running ||
        (needsXray() && (!m_xrayProcess || m_xrayProcess->state() != QProcess::Running)))
        return;

    m_probeInFlight = true;
    const quint32 generation = m_generation;
    auto* probe = new QTcpSocket(this);
    probe->setProxy(QNetworkProxy::NoProxy);
    // Whichever of the three endings comes first counts; the others find "done" set.
    const auto finish = [this, probe, generation](bool connected) {
        if (probe->property("done").toBool())
            return;
        probe->setProperty("done", true);
        probe->abort();
        probe->deleteLater();
        if (generation != m_generation)
            return;
        m_probeInFlight = false;
        if (connected && m_running && !m_readyEmitted) {
            m_readyEmitted = true;
            m_pollTimer.stop();
            // The cores read their documents only at start; the passwords in them need not
            // wait on disk for a crash to leave them behind.
            removeCoreDocuments();
            emit ready(m_socksPort);
        }
    };
    connect(probe, &QTcpSocket::connected, this, [finish] { finish(true); });
    connect(probe, &QTcpSocket::errorOccurred, this, [finish] { finish(false); });
    QTimer::singleShot(kProbeLimitMs, probe, [finish] { finish(false); });
    probe->connectToHost(QHostAddress(QHostAddress::LocalHost), m_socksPort, QIODevice::ReadWrite);
}

void TunnelSession::removeCoreDocuments()
{
    if (!m_runtimeDir)
        return;
    QFile::remove(m_runtimeDir->filePath(QStringLiteral("xray.json")));
    QFile::remove(m_runtimeDir->filePath(QStringLiteral("sing-box.json")));
}

void TunnelSession::fail(const QString& message)
{
    const QString error = redactCoreText(message, m_profile);
    stop();
    emit failed(error);
}

void TunnelSession::stop()
{
    const bool wasRunning = m_running;
    m_running = false;
    m_stopping = true;
    ++m_generation;
    m_pollTimer.stop();
    m_probeInFlight = false;

    retire(m_singBoxProcess);
    retire(m_xrayProcess);

    m_runtimeDir.reset();
    m_socksPort = 0;
    m_stopping = false;
    m_readyEmitted = false;
    if (wasRunning)
        emit stopped();
}

void TunnelSession::abandon()
{
    m_running = false;
    m_stopping = true;
    for (QProcess* core : {m_singBoxProcess, m_xrayProcess}) {
        if (core)
            core->kill();
    }
    for (const QPointer<QProcess>& core : std::as_const(m_endingCores)) {
        if (core)
            core->kill();
    }
    m_runtimeDir.reset();
}
