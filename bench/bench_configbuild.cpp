// Building both core documents for one profile, as a session start does.
#include "config/singboxconfig.h"
#include "config/xrayconfig.h"

#include <QJsonDocument>

#include <benchmark/benchmark.h>

namespace {

ServerProfile realityGrpcProfile()
{
    ServerProfile profile;
    profile.kind = ProfileKind::VlessGrpc;
    profile.host = QStringLiteral("vpn.example.com");
    profile.credential = QStringLiteral("0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e");
    profile.sni = QStringLiteral("www.example.org");
    profile.security = QStringLiteral("reality");
    profile.publicKey = QStringLiteral("SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc");
    profile.shortId = QStringLiteral("6ba85179e30d4fc2");
    profile.fingerprint = QStringLiteral("chrome");
    profile.serviceName = QStringLiteral("tunnel");
    profile.fragmentLengths = QStringLiteral("100-200");
    profile.fragmentDelays = QStringLiteral("10-20");
    profile.fragmentPackets = QStringLiteral("tlshello");
    profile.fragmentMaxSplit = QStringLiteral("5");
    profile.port = 443;
    return profile;
}

// A connection with both kinds of split tunnelling, the largest document the client writes.
void bothDocuments(benchmark::State& state, bool serialise)
{
    const ServerProfile profile = realityGrpcProfile();
    const PhysicalAdapter adapter{QStringLiteral("Ethernet"), QStringLiteral("192.168.1.10"),
                                  QStringLiteral("192.168.1.1")};
    const QStringList bypass{QStringLiteral("example.ru"), QStringLiteral("bank.example"),
                             QStringLiteral("gosuslugi.ru"), QStringLiteral("mail.example")};
    const QStringList apps{QStringLiteral("firefox.exe"), QStringLiteral("Telegram.exe")};
    for (auto _ : state) {
        const QJsonObject singBox =
            buildSingBoxConfig(profile, QStringLiteral("203.0.113.5"), adapter, 20001, 20002, true,
                               bypass, apps, false);
        const QJsonObject xray =
            buildXrayConfig(profile, QStringLiteral("203.0.113.5"), adapter, 20002);
        if (serialise) {
            benchmark::DoNotOptimize(QJsonDocument(singBox).toJson(QJsonDocument::Indented));
            benchmark::DoNotOptimize(QJsonDocument(xray).toJson(QJsonDocument::Indented));
        } else {
            benchmark::DoNotOptimize(singBox);
            benchmark::DoNotOptimize(xray);
        }
    }
}

void BM_BuildBothDocuments(benchmark::State& state)
{
    bothDocuments(state, false);
}

// With the indented text the session writes to disk, for comparison.
void BM_BuildAndWriteBothDocuments(benchmark::State& state)
{
    bothDocuments(state, true);
}

} // namespace

BENCHMARK(BM_BuildBothDocuments)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildAndWriteBothDocuments)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
