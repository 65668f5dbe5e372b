// A client stand-in for the orphan test: starts a VLESS session with the stand-in cores
// in its own folder, prints "ready" and waits to be killed.

#include "config/adaptersource.h"
#include "profiles/profileuri.h"
#include "session/tunnelsession.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    setAdapterSource([] {
        return PhysicalAdapter{QStringLiteral("eth0"), QStringLiteral("192.168.50.10"),
                               QStringLiteral("192.168.50.1")};
    });

    ServerProfile profile;
    parseProfileUri(QStringLiteral("vless://0f8c5c0e-3c55-4d6b-9a57-7d2f1c1f3a11@127.0.0.1:443"
                                   "?security=tls&sni=example.org#Orphan%20test"),
                    profile);

    TunnelSession session(QCoreApplication::applicationDirPath());
    QObject::connect(&session, &TunnelSession::ready, [] {
        std::puts("ready");
        std::fflush(stdout);
    });
    QObject::connect(&session, &TunnelSession::failed, [](const QString& error) {
        std::printf("failed: %s\n", qPrintable(error));
        std::fflush(stdout);
        QCoreApplication::exit(1);
    });
    session.start(profile, {});
    return app.exec();
}
