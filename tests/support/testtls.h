#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testtls {

// A server certificate and key (PEM) signed by this process's test CA.
struct ServerIdentity
{
    QByteArray certificate;
    QByteArray privateKey;
    QString error; // empty on success
};

// Makes the test CA on first use (with the openssl command line, in a temporary folder
// that lives as long as the process) and trusts it in this process only, by adding it
// to the default TLS configuration. Returns the error text, empty on success.
QString ensureTestCa();

// A certificate valid for 127.0.0.1, localhost and the given host names.
ServerIdentity makeServerIdentity(const QStringList& hostNames);

} // namespace testtls
