// A client for the orphan test: starts a VLESS session with the stand-in cores in its own
// folder, prints "ready" and waits to be killed.

#include "config/adaptersource.h"
#include "profiles/profileuri.h"
#include "session/tunnelsession.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0); // the test reads it through a pipe
    setAdapterSource([] { return PhysicalAdapter{"eth0", "192.168.50.10", "192.168.50.1"}; });
    ServerProfile profile;
    parseProfileUri("vless://0f8c5c0e-3c55-4d6b-9a57-7d2f1c1f3a11@127.0.0.1:443?security=tls"
                    "&sni=example.org#Orphan",
                    profile);
    TunnelSession session(QCoreApplication::applicationDirPath());
    QObject::connect(&session, &TunnelSession::ready, [] { std::puts("ready"); });
    QObject::connect(&session, &TunnelSession::failed, [](const QString& error) {
        std::printf("failed: %s\n", qPrintable(error));
        QCoreApplication::exit(1);
    });
    session.start(profile, {});
    return app.exec();
}
