// Serves a subscription body over HTTPS on 127.0.0.1 for trying the client by hand, with a
// certificate from a throwaway test CA. The CA certificate is written to a file so that one
// manual run of the client can be told to trust it (see tests/README.md); nothing installs it.
//   build/tests/serve-subscription BODY_FILE CA_FILE [PORT] [DELAY_MS]
#include "tests/support/httpstestserver.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSslConfiguration>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: serve-subscription BODY_FILE CA_FILE [PORT] [DELAY_MS]\n");
        return 2;
    }
    QFile bodyFile(args.at(1));
    if (!bodyFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    HttpsTestResponse response{200, {}, bodyFile.readAll(), args.value(4).toInt()};

    HttpsTestServer server;
    if (!server.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorText()));
        return 1;
    }
    // start() bound a free port; move to the asked one when there is one.
    const quint16 port = quint16(args.value(3).toUInt());
    if (port != 0) {
        server.close();
        if (!server.listen(QHostAddress::LocalHost, port)) {
            std::fprintf(stderr, "cannot listen on port %u\n", port);
            return 1;
        }
    }
    server.setResponse("/s/manual", response);

    // The test CA is the only certificate of the default configuration named so.
    QFile caFile(args.at(2));
    bool written = false;
    for (const QSslCertificate& ca : QSslConfiguration::defaultConfiguration().caCertificates()) {
        if (ca.subjectInfo(QSslCertificate::CommonName).contains(QStringLiteral("OrvikVPN Test CA")) &&
            caFile.open(QIODevice::WriteOnly))
            written = caFile.write(ca.toPem()) > 0;
    }
    if (!written) {
        std::fprintf(stderr, "cannot write the CA certificate to %s\n", qPrintable(args.at(2)));
        return 1;
    }
    caFile.close();

    std::printf("https://127.0.0.1:%u/s/manual\n", server.port());
    std::fflush(stdout);
    QObject::connect(&server, &HttpsTestServer::requestReceived, &server, [&server] {
        const HttpsTestRequest request = server.requests().constLast();
        std::printf("%s %s %s User-Agent: %s\n",
                    qPrintable(QDateTime::currentDateTime().toString(Qt::ISODateWithMs)),
                    request.method.constData(), request.target.constData(),
                    request.header("User-Agent").constData());
        std::fflush(stdout);
    });
    return app.exec();
}
