// A stand-in for the two proxy cores in tests, installed as "sing-box" and "xray": takes
// "run -c FILE", checks the document is its kind and serves SOCKS5 at the document's port,
// relaying real traffic. The environment steers it; see tests/README.md.

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
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
#include <optional>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace {

QString g_name;

void say(const QString& text)
{
    std::fputs(qPrintable(g_name + ": " + text + '\n'), stdout);
    std::fflush(stdout);
}

[[noreturn]] void quit(const QString& text, int code = 1)
{
    say(text);
    // No exit handlers: a sanitizer build would report main()'s live objects as leaks into
    // the output the tests read.
    std::_Exit(code);
}

// The value of a switch that names this core ("sing-box", "xray" or "all"), after a ":".
std::optional<QString> fault(const char* variable)
{
    const QString setting = qEnvironmentVariable(variable);
    const QString target = setting.section(':', 0, 0);
    if (target != g_name && target != "all")
        return std::nullopt;
    return setting.section(':', 1);
}

void record(const QString& file, const QStringList& fields)
{
    const QString folder = qEnvironmentVariable("ORVIK_STANDIN_RECORD");
    QFile log(folder + '/' + file);
    // One short append is one write, so lines of several stand-ins never interleave.
    if (!folder.isEmpty() && log.open(QIODevice::WriteOnly | QIODevice::Append))
        log.write((fields.join('\t') + '\n').toUtf8());
}

// Clock ticks since boot at process creation (Linux): with the pid it orders starts.
QString creationTicks()
{
    QFile stat("/proc/self/stat");
    const QByteArray text = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    return QString::fromLatin1(text.mid(text.lastIndexOf(')') + 2).split(' ').value(19, "0"));
}

int parentDeathSignal()
{
    int signal = 0;
#ifdef Q_OS_LINUX
    prctl(PR_GET_PDEATHSIG, &signal);
#endif
    return signal;
}

// Where "host:port" really goes, by ORVIK_STANDIN_HOSTS ("host:port=host:port,...").
QString mapped(const QString& target)
{
    const QStringList entries = qEnvironmentVariable("ORVIK_STANDIN_HOSTS").split(',');
    for (const QString& entry : entries) {
        if (entry.section('=', 0, 0).trimmed().compare(target, Qt::CaseInsensitive) == 0)
            return entry.section('=', 1).trimmed();
    }
    return target;
}

// One client: the SOCKS5 greeting and request, then a relay both ways. With a next hop
// (sing-box before Xray) the request goes on unchanged and the next hop's reply comes back.
class SocksConnection : public QObject
{
public:
    SocksConnection(QTcpSocket* client, quint16 nextHop)
        : QObject(client), m_client(client), m_nextHop(nextHop)
    {
        connect(client, &QTcpSocket::readyRead, this, &SocksConnection::onClientData);
        connect(client, &QTcpSocket::disconnected, this, [this] {
            if (m_target)
                m_target->disconnectFromHost();
            m_stage = Closed;
            m_client->deleteLater();
        });
    }

private:
    enum Stage { Greeting, Request, Connecting, Relaying, Closed };

    void onClientData()
    {
        m_in += m_client->readAll();
        if (m_stage == Greeting && m_in.size() >= 2) {
            const int methods = quint8(m_in.at(1));
            if (m_in.at(0) != 5)
                return close();
            if (m_in.size() < 2 + methods)
                return;
            const bool noAuth = m_in.mid(2, methods).contains('\0');
            m_in.remove(0, 2 + methods);
            m_client->write(noAuth ? QByteArray("\x05\x00", 2) : QByteArray("\x05\xff", 2));
            if (!noAuth)
                return close();
            m_stage = Request;
        }
        if (m_stage == Request)
            readRequest();
        if (m_stage == Relaying && !m_in.isEmpty())
            m_target->write(std::exchange(m_in, {}));
    }

    void readRequest()
    {
        if (m_in.size() < 5)
            return;
        const char type = m_in.at(3);
        const qsizetype length = type == 1 ? 10 : type == 3 ? 7 + quint8(m_in.at(4)) : 22;
        if (type != 1 && type != 3 && type != 4)
            return reply(8); // address type not supported
        if (m_in.size() < length)
            return;
        m_request = m_in.left(length);
        m_in.remove(0, length);
        if (m_request.at(1) != 1) {
            record("connects.log", {g_name, "refused-command", QString::number(m_request.at(1))});
            return reply(7); // command not supported
        }
        if (type == 4)
            return reply(8);
        const quint16 port = qFromBigEndian<quint16>(m_request.constData() + length - 2);
        const QString host =
            type == 1 ? QHostAddress(qFromBigEndian<quint32>(m_request.constData() + 4)).toString()
                      : QString::fromLatin1(m_request.mid(5, length - 7));
        record("connects.log",
               {g_name, type == 1 ? "ipv4" : "domain", host, QString::number(port)});

        m_stage = Connecting;
        m_target = new QTcpSocket(this);
        m_target->setProxy(QNetworkProxy::NoProxy);
        connect(m_target, &QTcpSocket::connected, this, [this] {
            if (m_nextHop == 0)
                relay(QByteArray("\x05\x00\x00\x01\x00\x00\x00\x00\x00\x00", 10));
            else
                m_target->write(QByteArray("\x05\x01\x00", 3) + m_request);
        });
        connect(m_target, &QTcpSocket::readyRead, this, &SocksConnection::onTargetData);
        connect(m_target, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
            if (m_stage == Connecting)
                reply(e == QAbstractSocket::HostNotFoundError ? 4 : 5); // unreachable, refused
        });
        connect(m_target, &QTcpSocket::disconnected, this, [this] {
            if (m_stage == Relaying)
                m_client->disconnectFromHost();
        });
        const QString target = mapped(host + ':' + QString::number(port));
        if (m_nextHop != 0)
            m_target->connectToHost(QHostAddress(QHostAddress::LocalHost), m_nextHop);
        else
            m_target->connectToHost(target.section(':', 0, -2), target.section(':', -1).toUShort());
    }

    void onTargetData()
    {
        if (m_stage == Relaying)
            return void(m_client->write(m_target->readAll()));
        // The next hop's greeting answer; its reply to the request is the client's.
        if (m_target->bytesAvailable() < 2)
            return;
        if (m_target->read(2) != QByteArray("\x05\x00", 2))
            return reply(1); // general failure
        relay(m_target->readAll());
    }

    void relay(const QByteArray& toClient)
    {
        m_stage = Relaying;
        m_client->write(toClient);
        if (!m_in.isEmpty())
            m_target->write(std::exchange(m_in, {}));
    }

    void reply(char code)
    {
        m_client->write(QByteArray("\x05") + code +
                        QByteArray("\x00\x01\x00\x00\x00\x00\x00\x00", 8));
        close();
    }

    void close()
    {
        m_stage = Closed;
        if (m_target)
            m_target->abort();
        m_client->disconnectFromHost();
    }

    QTcpSocket* m_client;
    QPointer<QTcpSocket> m_target;
    quint16 m_nextHop;
    Stage m_stage = Greeting;
    QByteArray m_in;
    QByteArray m_request;
};

QJsonObject tagged(const QJsonValue& array, const QString& tag)
{
    for (const QJsonValue& value : array.toArray()) {
        if (value["tag"].toString() == tag)
            return value.toObject();
    }
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    g_name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (g_name != "sing-box" && g_name != "xray")
        quit("install me as sing-box or xray", 2);
#ifdef Q_OS_LINUX
    // What the kernel does at exec to a core that carries file capabilities.
    if (fault("ORVIK_STANDIN_CLEAR_PDEATHSIG"))
        prctl(PR_SET_PDEATHSIG, 0);
#endif
    if (fault("ORVIK_STANDIN_IGNORE_TERM"))
        std::signal(SIGTERM, SIG_IGN);

    const QStringList arguments = app.arguments().mid(1);
    if (arguments.size() != 3 || arguments.at(0) != "run" || arguments.at(1) != "-c")
        quit("usage: run -c FILE", 2);
    QFile file(arguments.at(2));
    if (!file.open(QIODevice::ReadOnly))
        quit("cannot read " + arguments.at(2));
    const QByteArray content = file.readAll();
    QJsonParseError error;
    const QJsonObject document = QJsonDocument::fromJson(content, &error).object();
    if (document.isEmpty())
        quit("not a JSON object: " + error.errorString());

    if (const QString folder = qEnvironmentVariable("ORVIK_STANDIN_RECORD"); !folder.isEmpty()) {
        QFile copy(folder + '/' + g_name + ".json");
        if (copy.open(QIODevice::WriteOnly | QIODevice::Truncate))
            copy.write(content);
        record("starts.log",
               {g_name, QString::number(QCoreApplication::applicationPid()), creationTicks(),
                arguments.at(2), QString::number(parentDeathSignal())});
    }

    quint16 port = 0;
    quint16 nextHop = 0; // sing-box before Xray: the next SOCKS5 hop on 127.0.0.1
    if (g_name == "sing-box") {
        const QJsonObject in = tagged(document["inbounds"], "check-in");
        const QString out = tagged(document["outbounds"], "vpn-out")["type"].toString();
        if (in["type"].toString() != "socks")
            quit("no \"check-in\" socks inbound in the document");
        if (out != "socks" && out != "hysteria2")
            quit("no usable \"vpn-out\" outbound in the document");
        port = quint16(in["listen_port"].toInt());
        if (out == "socks")
            nextHop = quint16(tagged(document["outbounds"], "vpn-out")["server_port"].toInt());
    } else {
        const QJsonObject in = tagged(document["inbounds"], "local-socks");
        if (in["protocol"].toString() != "socks")
            quit("no \"local-socks\" socks inbound in the document");
        port = quint16(in["port"].toInt());
    }
    if (port == 0)
        quit("no listening port in the document");

    if (const auto text = fault("ORVIK_STANDIN_PRINT"))
        say(*text);
    if (const auto text = fault("ORVIK_STANDIN_EXIT_AT_ONCE"))
        quit(text->isEmpty() ? "exiting at once as asked" : *text);
    if (const auto delay = fault("ORVIK_STANDIN_EXIT_AFTER"))
        QTimer::singleShot(delay->toInt(), [] { quit("exiting after the asked delay"); });

    QTcpServer server;
    QObject::connect(&server, &QTcpServer::newConnection, [&server, nextHop] {
        while (QTcpSocket* client = server.nextPendingConnection())
            new SocksConnection(client, nextHop);
    });
    const auto listen = [&server, port] {
        if (!server.listen(QHostAddress::LocalHost, port))
            quit(QString("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(server.errorString()));
        say(QString("listening on 127.0.0.1:%1").arg(port));
    };
    if (fault("ORVIK_STANDIN_NO_LISTEN"))
        say("not listening, as asked");
    else if (const auto delay = fault("ORVIK_STANDIN_LISTEN_AFTER"))
        QTimer::singleShot(delay->toInt(), &server, listen);
    else
        listen();
    return app.exec();
}
