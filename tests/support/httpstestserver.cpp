#include "tests/support/httpstestserver.h"

#include <QFile>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTimer>

namespace {

const QString kEcKey = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";

// Runs openssl in `folder`; the error text, empty on success.
QString openssl(const QString& folder, const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("openssl", arguments);
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
        return {};
    return "openssl " + arguments.value(0) + " failed: " + process.errorString() + ' ' +
           QString::fromLocal8Bit(process.readAll());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The test CA's folder, which lives as long as the process.
QTemporaryDir& caFolder()
{
    static QTemporaryDir folder;
    return folder;
}

// Makes the test CA once and trusts it in this process only; the error text or empty.
QString ensureTestCa()
{
    static const QString error = [] {
        const QString failed = openssl(
            caFolder().path(),
            QString("req -x509 -new" + kEcKey +
                    " -keyout ca.key -out ca.crt -days 2 -addext basicConstraints=critical,CA:TRUE"
                    " -addext keyUsage=critical,keyCertSign,cRLSign -subj")
                    .split(' ')
                << "/CN=OrvikVPN Test CA");
        const QList<QSslCertificate> ca = QSslCertificate::fromPath(caFolder().filePath("ca.crt"));
        if (!failed.isEmpty() || ca.isEmpty())
            return "no test CA: " + failed;
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.addCaCertificates(ca);
        QSslConfiguration::setDefaultConfiguration(configuration);
        return QString();
    }();
    return error;
}

} // namespace

QByteArray HttpsTestRequest::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

bool HttpsTestServer::start()
{
    m_error = makeCertificate();
    if (m_error.isEmpty() && !listen(QHostAddress::LocalHost, 0))
        m_error = errorString();
    return m_error.isEmpty();
}

QString HttpsTestServer::makeCertificate()
{
    if (const QString error = ensureTestCa(); !error.isEmpty())
        return error;
    QTemporaryDir folder;
    QString names = "IP:127.0.0.1,DNS:localhost";
    for (const QString& host : m_hostNames)
        names += ",DNS:" + host;
    const QString error = openssl(
        folder.path(),
        QString("req -x509 -new" + kEcKey +
                " -keyout server.key -out server.crt -days 2 -subj /CN=localhost -addext "
                "basicConstraints=CA:FALSE -addext keyUsage=critical,digitalSignature -addext "
                "extendedKeyUsage=serverAuth -addext subjectAltName=" +
                names)
                .split(' ')
            << "-CA" << caFolder().filePath("ca.crt") << "-CAkey" << caFolder().filePath("ca.key"));
    m_certificate = QSslCertificate(readFile(folder.filePath("server.crt")));
    m_key = QSslKey(readFile(folder.filePath("server.key")), QSsl::Ec);
    if (error.isEmpty() && (m_certificate.isNull() || m_key.isNull()))
        return "openssl left no usable server certificate";
    return error;
}

void HttpsTestServer::incomingConnection(qintptr descriptor)
{
    auto* socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor))
        return socket->deleteLater();
    ++m_connections;
    socket->setLocalCertificate(m_certificate);
    socket->setPrivateKey(m_key);
    socket->setPeerVerifyMode(QSslSocket::VerifyNone);
    connect(socket, &QSslSocket::readyRead, this, [this, socket] { readRequests(socket); });
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QSslSocket::errorOccurred, socket, [socket] {
        if (socket->state() != QAbstractSocket::ConnectedState)
            socket->deleteLater();
    });
    socket->startServerEncryption();
}

void HttpsTestServer::readRequests(QSslSocket* socket)
{
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    for (qsizetype headerEnd; (headerEnd = buffer.indexOf("\r\n\r\n")) >= 0;) {
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        HttpsTestRequest request{requestLine.value(0), requestLine.value(1), {}, {}};
        for (const QByteArray& line : lines.mid(1)) {
            if (const qsizetype colon = line.indexOf(':'); colon > 0)
                request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (buffer.size() < headerEnd + 4 + length)
            break;
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);

        const bool close = request.header("Connection").compare("close", Qt::CaseInsensitive) == 0;
        m_requests.append(request);
        const HttpsTestResponse response =
            m_responses.value(request.path(), HttpsTestResponse{404, {}, "not configured"});
        emit requestReceived();
        if (!response.stall)
            QTimer::singleShot(response.delayMs, socket, [this, socket, response, close] {
                answer(socket, response, close);
            });
    }
    socket->setProperty("buffer", buffer);
}

void HttpsTestServer::answer(QSslSocket* socket, const HttpsTestResponse& response, bool close)
{
    const bool bodyless = response.status == 204 || response.status == 304;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Test\r\n";
    if (!bodyless)
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    for (const auto& [name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    socket->write(head + (close ? "Connection: close\r\n\r\n" : "\r\n"));
    if (response.trickleMs > 0) {
        auto* drip = new QTimer(socket);
        connect(drip, &QTimer::timeout, socket, [socket, drip, body = response.body]() mutable {
            socket->write(body.left(1));
            body.remove(0, 1);
            if (body.isEmpty())
                drip->stop();
        });
        return drip->start(response.trickleMs);
    }
    if (!bodyless)
        socket->write(response.body);
    if (close)
        socket->disconnectFromHost();
}
