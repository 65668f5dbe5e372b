#pragma once

#include <QHash>
#include <QSslCertificate>
#include <QSslKey>
#include <QStringList>
#include <QTcpServer>

class QSslSocket;

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

// What the server answers on one path.
struct HttpsTestResponse
{
    int status = 200;
    HttpHeaders headers;
    QByteArray body;
    int delayMs = 0;    // wait this long after the request before answering
    bool stall = false; // read the request and never answer
    int trickleMs = 0;  // send the body one byte per this many ms
};

// One request as the server received it.
struct HttpsTestRequest
{
    QByteArray method;
    QByteArray target; // path and query, as sent
    HttpHeaders headers;
    QByteArray body;

    QByteArray path() const { return target.split('?').value(0); }
    QByteArray query() const { return target.mid(path().size() + 1); }
    // The first header of that name (case-insensitive), empty when absent.
    QByteArray header(const QByteArray& name) const;
};

// An HTTPS/1.1 server on 127.0.0.1 for tests: real TLS with a certificate from the test CA
// (made once per process with the openssl command line, trusted by this process only),
// valid for 127.0.0.1, localhost and the given host names. Paths answer as configured
// (404 otherwise); every request is kept.
class HttpsTestServer : public QTcpServer
{
    Q_OBJECT

public:
    explicit HttpsTestServer(const QStringList& hostNames = {}, QObject* parent = nullptr)
        : QTcpServer(parent), m_hostNames(hostNames)
    {}
    // Listens on 127.0.0.1 at a free port; false with errorText() on failure.
    bool start();
    quint16 port() const { return serverPort(); }
    QString errorText() const { return m_error; }
    // The answer for a path (without the query).
    void setResponse(const QByteArray& path, const HttpsTestResponse& r) { m_responses[path] = r; }
    int requestCount() const { return int(m_requests.size()); }
    QList<HttpsTestRequest> requests() const { return m_requests; }
    // TLS connections accepted, whether or not a request followed.
    int connectionCount() const { return m_connections; }

signals:
    void requestReceived();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    QString makeCertificate();
    void readRequests(QSslSocket* socket);
    void answer(QSslSocket* socket, const HttpsTestResponse& response, bool close);

    QStringList m_hostNames;
    QSslCertificate m_certificate;
    QSslKey m_key;
    QString m_error;
    QHash<QByteArray, HttpsTestResponse> m_responses;
    QList<HttpsTestRequest> m_requests;
    int m_connections = 0;
};
