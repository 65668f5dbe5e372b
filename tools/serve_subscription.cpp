// Serves a subscription body over HTTPS on 127.0.0.1 for trying the client by hand, with a
// certificate from a throwaway test CA. The CA certificate is written to a file so that one
// manual run of the client can be told to trust it (see tests/README.md); nothing installs it.
// With --store-link the link is also saved (protected) as the current user's subscription, the
// way a successful import leaves it, for windows without a link field.
// The same server answers the connectivity check (/generate_204 with 204) under the check
// hosts' names, so stand-in cores given the printed ORVIK_STANDIN_HOSTS let a manual run
// connect all the way to "Подключено".
//   build/tools/serve-subscription [--store-link] BODY_FILE CA_FILE [PORT] [DELAY_MS]
#include "controller/settings.h"
#include "controller/settingskeys.h"
#include "session/httpscheck.h"
#include "tests/support/httpstestserver.h"
#include "tests/support/standin.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSslConfiguration>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("OrvikVPN"));
    QCoreApplication::setOrganizationName(QStringLiteral("OrvikVPN"));
    QStringList args = app.arguments();
    const bool storeLink = args.removeAll(QStringLiteral("--store-link")) > 0;
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: serve-subscription [--store-link] BODY_FILE CA_FILE [PORT] "
                             "[DELAY_MS]\n");
        return 2;
    }
    QFile bodyFile(args.at(1));
    if (!bodyFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    HttpsTestResponse response{200, {}, bodyFile.readAll(), args.value(4).toInt()};

    const QList<QUrl>& checkUrls = httpsCheckUrls();
    HttpsTestServer server({checkUrls.at(0).host(), checkUrls.at(1).host()});
    server.setResponse("/generate_204", HttpsTestResponse{204, {}, {}});
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
        if (ca.subjectInfo(QSslCertificate::CommonName)
                .contains(QStringLiteral("OrvikVPN Test CA")) &&
            caFile.open(QIODevice::WriteOnly))
            written = caFile.write(ca.toPem()) > 0;
    }
    if (!written) {
        std::fprintf(stderr, "cannot write the CA certificate to %s\n", qPrintable(args.at(2)));
        return 1;
    }
    caFile.close();

    const QString link = QStringLiteral("https://127.0.0.1:%1/s/manual").arg(server.port());
    if (storeLink && !settings::writeSecrets({{settingskeys::subscription, link.toUtf8()}})) {
        std::fprintf(stderr, "cannot store the link: no keyring?\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(link));
    std::fflush(stdout);
    std::fprintf(stderr, "for the stand-in cores: %s=%s,%s\n", standin::kHosts,
                 qPrintable(standin::hostMapEntry(checkUrls.at(0).host(), 443, server.port())),
                 qPrintable(standin::hostMapEntry(checkUrls.at(1).host(), 443, server.port())));
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
