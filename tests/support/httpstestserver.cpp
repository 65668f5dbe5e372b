#include "tests/support/httpstestserver.h"

#include "tests/support/testtls.h"

#include <QPointer>
#include <QSslSocket>
#include <QTimer>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 307:
        return "Temporary Redirect";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

} // namespace

QByteArray HttpsTestRequest::path() const
{
    const qsizetype mark = target.indexOf('?');
    return mark < 0 ? target : target.left(mark);
}

QByteArray HttpsTestRequest::query() const
{
    const qsizetype mark = target.indexOf('?');
    return mark < 0 ? QByteArray() : target.mid(mark + 1);
}

QByteArray HttpsTestRequest::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

HttpsTestServer::HttpsTestServer(const QStringList& hostNames, QObject* parent)
    : QTcpServer(parent), m_hostNames(hostNames)
{}

bool HttpsTestServer::start()
{
    const testtls::ServerIdentity identity = testtls::makeServerIdentity(m_hostNames);
    if (!identity.error.isEmpty()) {
        m_error = identity.error;
        return false;
    }
    m_certificate = QSslCertificate(identity.certificate, QSsl::Pem);
    m_key = QSslKey(identity.privateKey, QSsl::Ec, QSsl::Pem);
    if (m_certificate.isNull() || m_key.isNull()) {
        m_error = QStringLiteral("the server certificate or key cannot be read");
        return false;
    }
    if (!listen(QHostAddress::LocalHost, 0)) {
        m_error = errorString();
        return false;
    }
    return true;
}

void HttpsTestServer::setResponse(const QByteArray& path, const HttpsTestResponse& response)
{
    m_responses.insert(path, response);
}

void HttpsTestServer::incomingConnection(qintptr descriptor)
{
    auto* socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
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
    for (;;) {
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            break;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        HttpsTestRequest request;
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines.at(i).indexOf(':');
            if (colon > 0)
                request.headers.append(
                    {lines.at(i).left(colon).trimmed(), lines.at(i).mid(colon + 1).trimmed()});
        }
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (buffer.size() < headerEnd + 4 + length)
            break;
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);

        const bool close = request.header("Connection").compare("close", Qt::CaseInsensitive) == 0;
        m_requests.append(request);
        HttpsTestResponse response;
        response.status = 404;
        response.body = "not configured";
        response = m_responses.value(request.path(), response);
        emit requestReceived();
        if (response.stall)
            continue;
        if (response.delayMs > 0) {
            QTimer::singleShot(response.delayMs, socket, [this, socket, response, close] {
                answer(socket, response, close);
            });
        } else {
            answer(socket, response, close);
        }
    }
    socket->setProperty("buffer", buffer);
}

void HttpsTestServer::answer(QSslSocket* socket, const HttpsTestResponse& response, bool close)
{
    const bool bodyless = response.status == 204 || response.status == 304;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                      reasonPhrase(response.status) + "\r\n";
    if (!bodyless)
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    for (const auto& [name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    if (close)
        head += "Connection: close\r\n";
    head += "\r\n";
    socket->write(head);
    if (response.trickleMs > 0) {
        auto* drip = new QTimer(socket);
        connect(drip, &QTimer::timeout, socket, [socket, drip, body = response.body]() mutable {
            socket->write(body.left(1));
            body.remove(0, 1);
            if (body.isEmpty())
                drip->stop();
        });
        drip->start(response.trickleMs);
        return;
    }
    if (!bodyless)
        socket->write(response.body);
    if (close)
        socket->disconnectFromHost();
}
