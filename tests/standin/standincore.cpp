// A stand-in for the two proxy cores in tests. Installed as "sing-box" and "xray" (with
// the platform's suffix), it takes the cores' command line "run -c FILE", checks that the
// document is the kind its file name expects, and serves SOCKS5 at the document's port,
// relaying real traffic. The environment steers it; see tests/README.md.

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>
#include <QTimer>

#include <csignal>
#include <cstdio>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace {

QString g_name;

void say(const QString& text)
{
    std::fputs(qPrintable(g_name + QStringLiteral(": ") + text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

[[noreturn]] void quit(const QString& text, int code = 1)
{
    say(text);
    // No exit handlers: nothing to tidy, and a sanitizer build would report the live
    // objects of main() as leaks into the output the tests read.
    std::_Exit(code);
}

// A fault switch applies when its variable names this core ("sing-box", "xray" or "all"),
// optionally followed by ":" and a value.
struct Fault
{
    bool on = false;
    QString value;
};

Fault fault(const char* variable)
{
    const QString setting = qEnvironmentVariable(variable);
    const qsizetype colon = setting.indexOf(QLatin1Char(':'));
    const QString target = colon < 0 ? setting : setting.left(colon);
    if (target != g_name && target != QLatin1String("all"))
        return {};
    return {true, colon < 0 ? QString() : setting.mid(colon + 1)};
}

int faultMilliseconds(const Fault& f, int fallback)
{
    bool ok = false;
    const int value = f.value.toInt(&ok);
    return ok ? value : fallback;
}

QString recordFolder()
{
    return qEnvironmentVariable("ORVIK_STANDIN_RECORD");
}

void appendRecord(const QString& file, const QString& line)
{
    const QString folder = recordFolder();
    if (folder.isEmpty())
        return;
    QFile log(folder + QLatin1Char('/') + file);
    // One short append is one write, so lines of several stand-ins never interleave.
    if (log.open(QIODevice::WriteOnly | QIODevice::Append))
        log.write((line + QLatin1Char('\n')).toUtf8());
}

// When the process was created, in clock ticks since boot (Linux); with the pid it
// orders the starts of processes that began within the same tick.
QString creationTicks()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return QStringLiteral("0");
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 19 ? QString::fromLatin1(fields.at(19)) : QStringLiteral("0");
}

// The signal this process gets when its parent dies (Linux; 0 for none).
QString parentDeathSignal()
{
    int signal = 0;
#ifdef Q_OS_LINUX
    prctl(PR_GET_PDEATHSIG, &signal);
#endif
    return QString::number(signal);
}

// "host:port=host:port,..." sends connections for named targets elsewhere.
QHash<QString, QPair<QString, quint16>> hostMap()
{
    QHash<QString, QPair<QString, quint16>> map;
    const QStringList entries =
        qEnvironmentVariable("ORVIK_STANDIN_HOSTS").split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& entry : entries) {
        const QStringList sides = entry.split(QLatin1Char('='));
        if (sides.size() != 2)
            continue;
        const qsizetype colon = sides.at(1).lastIndexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        map.insert(sides.at(0).trimmed().toLower(), {sides.at(1).left(colon).trimmed(),
                                                     quint16(sides.at(1).mid(colon + 1).toUInt())});
    }
    return map;
}

// Where a CONNECT goes after this core.
struct Upstream
{
    // 0: straight to the target; otherwise a SOCKS5 proxy on 127.0.0.1 at this port.
    quint16 socksPort = 0;
};

enum SocksReply : char {
    Succeeded = 0x00,
    GeneralFailure = 0x01,
    HostUnreachable = 0x04,
    ConnectionRefused = 0x05,
    CommandNotSupported = 0x07,
    AddressTypeNotSupported = 0x08,
};

// One client connection: the SOCKS5 greeting and request, then a relay both ways.
class SocksConnection : public QObject
{
public:
    SocksConnection(QTcpSocket* client, const Upstream& upstream,
                    const QHash<QString, QPair<QString, quint16>>& hosts)
        : QObject(client), m_client(client), m_upstream(upstream), m_hosts(hosts)
    {
        connect(client, &QTcpSocket::readyRead, this, &SocksConnection::onClientData);
        connect(client, &QTcpSocket::disconnected, this, &SocksConnection::onClientGone);
    }

private:
    enum class State {
        Greeting,
        Request,
        Connecting,
        UpstreamGreeting,
        UpstreamReply,
        Relaying,
        Closed
    };

    void onClientData()
    {
        if (m_state == State::Relaying) {
            m_target->write(m_client->readAll());
            return;
        }
        m_buffer += m_client->readAll();
        if (m_state == State::Greeting)
            parseGreeting();
        if (m_state == State::Request)
            parseRequest();
    }

    void parseGreeting()
    {
        if (m_buffer.size() < 2)
            return;
        const int methods = quint8(m_buffer.at(1));
        if (m_buffer.at(0) != 0x05) {
            close();
            return;
        }
        if (m_buffer.size() < 2 + methods)
            return;
        const QByteArray offered = m_buffer.mid(2, methods);
        m_buffer.remove(0, 2 + methods);
        if (!offered.contains('\0')) {
            m_client->write(QByteArray("\x05\xff", 2));
            close();
            return;
        }
        m_client->write(QByteArray("\x05\x00", 2));
        m_state = State::Request;
    }

    void parseRequest()
    {
        if (m_buffer.size() < 5)
            return;
        const char command = m_buffer.at(1);
        const char type = m_buffer.at(3);
        qsizetype length = 0;
        if (type == 0x01)
            length = 4 + 4 + 2;
        else if (type == 0x03)
            length = 5 + quint8(m_buffer.at(4)) + 2;
        else if (type == 0x04)
            length = 4 + 16 + 2;
        else {
            refuse(AddressTypeNotSupported);
            return;
        }
        if (m_buffer.size() < length)
            return;
        m_request = m_buffer.left(length);
        m_buffer.remove(0, length);
        if (command != 0x01) {
            appendRecord(QStringLiteral("connects.log"), g_name +
                                                             QStringLiteral("\trefused-command\t") +
                                                             QString::number(int(quint8(command))));
            refuse(CommandNotSupported);
            return;
        }
        if (type == 0x04) {
            refuse(AddressTypeNotSupported);
            return;
        }
        m_port = qFromBigEndian<quint16>(m_request.constData() + length - 2);
        if (type == 0x01) {
            m_host = QHostAddress(qFromBigEndian<quint32>(m_request.constData() + 4)).toString();
            m_domain = false;
        } else {
            m_host = QString::fromLatin1(m_request.mid(5, quint8(m_request.at(4))));
            m_domain = true;
        }
        appendRecord(QStringLiteral("connects.log"),
                     g_name +
                         (m_domain ? QStringLiteral("\tdomain\t") : QStringLiteral("\tipv4\t")) +
                         m_host + QLatin1Char('\t') + QString::number(m_port));
        openTarget();
    }

    void openTarget()
    {
        m_state = State::Connecting;
        m_target = new QTcpSocket(this);
        m_target->setProxy(QNetworkProxy::NoProxy);
        connect(m_target, &QTcpSocket::connected, this, &SocksConnection::onTargetConnected);
        connect(m_target, &QTcpSocket::readyRead, this, &SocksConnection::onTargetData);
        connect(m_target, &QTcpSocket::errorOccurred, this, &SocksConnection::onTargetError);
        connect(m_target, &QTcpSocket::disconnected, this, &SocksConnection::onTargetGone);
        if (m_upstream.socksPort != 0) {
            m_target->connectToHost(QHostAddress(QHostAddress::LocalHost), m_upstream.socksPort);
            return;
        }
        const QString key = m_host.toLower() + QLatin1Char(':') + QString::number(m_port);
        const auto mapped = m_hosts.constFind(key);
        if (mapped != m_hosts.constEnd())
            m_target->connectToHost(mapped->first, mapped->second);
        else
            m_target->connectToHost(m_host, m_port);
    }

    void onTargetConnected()
    {
        if (m_upstream.socksPort == 0) {
            grant();
            return;
        }
        // The request goes on unchanged, so the next hop sees the same host name.
        m_state = State::UpstreamGreeting;
        m_target->write(QByteArray("\x05\x01\x00", 3));
    }

    void onTargetData()
    {
        if (m_state == State::Relaying) {
            m_client->write(m_target->readAll());
            return;
        }
        m_upstreamBuffer += m_target->readAll();
        if (m_state == State::UpstreamGreeting && m_upstreamBuffer.size() >= 2) {
            if (m_upstreamBuffer.left(2) != QByteArray("\x05\x00", 2)) {
                refuse(GeneralFailure);
                return;
            }
            m_upstreamBuffer.remove(0, 2);
            m_state = State::UpstreamReply;
            m_target->write(m_request);
        }
        if (m_state == State::UpstreamReply && m_upstreamBuffer.size() >= 5) {
            const char type = m_upstreamBuffer.at(3);
            const qsizetype length = type == 0x01   ? 10
                                     : type == 0x04 ? 22
                                                    : 7 + quint8(m_upstreamBuffer.at(4));
            if (m_upstreamBuffer.size() < length)
                return;
            const char status = m_upstreamBuffer.at(1);
            const QByteArray rest = m_upstreamBuffer.mid(length);
            m_upstreamBuffer.clear();
            if (status != Succeeded) {
                refuse(SocksReply(status));
                return;
            }
            grant();
            if (!rest.isEmpty())
                m_client->write(rest);
        }
    }

    void onTargetError(QAbstractSocket::SocketError error)
    {
        if (m_state == State::Relaying || m_state == State::Closed)
            return;
        refuse(error == QAbstractSocket::HostNotFoundError ? HostUnreachable : ConnectionRefused);
    }

    void grant()
    {
        m_state = State::Relaying;
        m_client->write(QByteArray("\x05\x00\x00\x01\x00\x00\x00\x00\x00\x00", 10));
        if (!m_buffer.isEmpty()) {
            m_target->write(m_buffer);
            m_buffer.clear();
        }
    }

    void refuse(SocksReply reply)
    {
        QByteArray answer("\x05\x00\x00\x01\x00\x00\x00\x00\x00\x00", 10);
        answer[1] = char(reply);
        m_client->write(answer);
        close();
    }

    void onClientGone()
    {
        if (m_target)
            m_target->disconnectFromHost();
        m_state = State::Closed;
        m_client->deleteLater();
    }

    void onTargetGone()
    {
        if (m_state == State::Relaying)
            m_client->disconnectFromHost();
    }

    void close()
    {
        m_state = State::Closed;
        if (m_target)
            m_target->abort();
        m_client->disconnectFromHost();
    }

    QTcpSocket* m_client;
    QPointer<QTcpSocket> m_target;
    Upstream m_upstream;
    const QHash<QString, QPair<QString, quint16>>& m_hosts;
    State m_state = State::Greeting;
    QByteArray m_buffer;
    QByteArray m_upstreamBuffer;
    QByteArray m_request;
    QString m_host;
    quint16 m_port = 0;
    bool m_domain = false;
};

QJsonObject findTagged(const QJsonArray& array, const QString& tag)
{
    for (const QJsonValue& value : array) {
        if (value.toObject().value(QLatin1String("tag")).toString() == tag)
            return value.toObject();
    }
    return {};
}

// What the document asks of this core: the listening port and where traffic goes next.
struct Plan
{
    quint16 port = 0;
    Upstream upstream;
};

Plan planSingBox(const QJsonObject& document)
{
    const QJsonObject inbound =
        findTagged(document.value(QLatin1String("inbounds")).toArray(), QStringLiteral("check-in"));
    if (inbound.value(QLatin1String("type")).toString() != QLatin1String("socks"))
        quit(QStringLiteral("no \"check-in\" socks inbound in the document"));
    const QJsonObject out =
        findTagged(document.value(QLatin1String("outbounds")).toArray(), QStringLiteral("vpn-out"));
    const QString type = out.value(QLatin1String("type")).toString();
    Plan plan;
    plan.port = quint16(inbound.value(QLatin1String("listen_port")).toInt());
    if (type == QLatin1String("socks"))
        plan.upstream.socksPort = quint16(out.value(QLatin1String("server_port")).toInt());
    else if (type != QLatin1String("hysteria2"))
        quit(QStringLiteral("no usable \"vpn-out\" outbound in the document"));
    return plan;
}

Plan planXray(const QJsonObject& document)
{
    const QJsonObject inbound = findTagged(document.value(QLatin1String("inbounds")).toArray(),
                                           QStringLiteral("local-socks"));
    if (inbound.value(QLatin1String("protocol")).toString() != QLatin1String("socks"))
        quit(QStringLiteral("no \"local-socks\" socks inbound in the document"));
    Plan plan;
    plan.port = quint16(inbound.value(QLatin1String("port")).toInt());
    return plan;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    g_name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (g_name != QLatin1String("sing-box") && g_name != QLatin1String("xray"))
        quit(QStringLiteral("install me as sing-box or xray"), 2);

#ifdef Q_OS_LINUX
    // What the kernel does at exec to a core that carries file capabilities.
    if (fault("ORVIK_STANDIN_CLEAR_PDEATHSIG").on)
        prctl(PR_SET_PDEATHSIG, 0);
#endif
    if (fault("ORVIK_STANDIN_IGNORE_TERM").on)
        std::signal(SIGTERM, SIG_IGN);

    const QStringList arguments = app.arguments().mid(1);
    if (arguments.size() != 3 || arguments.at(0) != QLatin1String("run") ||
        arguments.at(1) != QLatin1String("-c"))
        quit(QStringLiteral("usage: run -c FILE"), 2);
    const QString configPath = arguments.at(2);
    QFile file(configPath);
    if (!file.open(QIODevice::ReadOnly))
        quit(QStringLiteral("cannot read ") + configPath);
    const QByteArray content = file.readAll();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(content, &parseError);
    if (!document.isObject())
        quit(QStringLiteral("not a JSON object: ") + parseError.errorString());

    if (!recordFolder().isEmpty()) {
        QFile copy(recordFolder() + QLatin1Char('/') + g_name + QStringLiteral(".json"));
        if (copy.open(QIODevice::WriteOnly | QIODevice::Truncate))
            copy.write(content);
        appendRecord(QStringLiteral("starts.log"),
                     QStringList{g_name, QString::number(QCoreApplication::applicationPid()),
                                 creationTicks(), configPath, parentDeathSignal()}
                         .join(QLatin1Char('\t')));
    }

    const Plan plan = g_name == QLatin1String("sing-box") ? planSingBox(document.object())
                                                          : planXray(document.object());
    if (plan.port == 0)
        quit(QStringLiteral("no listening port in the document"));

    if (const Fault print = fault("ORVIK_STANDIN_PRINT"); print.on)
        say(print.value);
    if (const Fault exitNow = fault("ORVIK_STANDIN_EXIT_AT_ONCE"); exitNow.on)
        quit(exitNow.value.isEmpty() ? QStringLiteral("exiting at once as asked") : exitNow.value);
    if (const Fault exitLater = fault("ORVIK_STANDIN_EXIT_AFTER"); exitLater.on) {
        QTimer::singleShot(faultMilliseconds(exitLater, 1000), &app,
                           [] { quit(QStringLiteral("exiting after the asked delay")); });
    }

    const auto hosts = hostMap();
    QTcpServer server;
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, &plan, &hosts] {
        while (QTcpSocket* client = server.nextPendingConnection())
            new SocksConnection(client, plan.upstream, hosts);
    });
    const auto listen = [&server, &plan] {
        if (!server.listen(QHostAddress::LocalHost, plan.port))
            quit(QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
                     .arg(QString::number(plan.port), server.errorString()));
        say(QStringLiteral("listening on 127.0.0.1:%1").arg(plan.port));
    };
    if (fault("ORVIK_STANDIN_NO_LISTEN").on)
        say(QStringLiteral("not listening, as asked"));
    else if (const Fault late = fault("ORVIK_STANDIN_LISTEN_AFTER"); late.on)
        QTimer::singleShot(faultMilliseconds(late, 1000), &server, listen);
    else
        listen();

    return app.exec();
}
