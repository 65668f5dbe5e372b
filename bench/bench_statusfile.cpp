// Writing the status file for a list of 100 servers, the way every status or list change does.
//   build/bench/bench_statusfile

#include "controller/controller.h"
#include "profiles/serverlist.h"
#include "status/statusfile.h"
#include "tests/support/testenv.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

QVariantList hundredServers()
{
    QVariantList servers;
    for (int i = 0; i < 100; ++i) {
        ServerProfile profile;
        profile.name = QStringLiteral(u"Нидерланды %1").arg(i);
        profile.host = QStringLiteral("nl-%1.example.net").arg(i);
        profile.port = 443;
        profile.uri = QStringLiteral("vless://0b5d6c2e-1f3a-4b7c-9d8e-%1@%2:443?security=reality#x")
                          .arg(i, 12, 10, QLatin1Char('0'))
                          .arg(profile.host);
        QVariantMap entry = makeServerEntry(profile);
        entry.insert(QStringLiteral("latency"), 100 + i);
        servers << entry;
    }
    return servers;
}

// The controller's own path: snapshot, document, indented JSON, save file and commit.
void writeThroughController(benchmark::State& state)
{
    Controller controller;
    controller.installServerList(hundredServers(), QString());
    for (auto _ : state)
        emit controller.serversChanged();
}
BENCHMARK(writeThroughController)->Unit(benchmark::kMicrosecond);

void buildDocumentOnly(benchmark::State& state)
{
    StatusSnapshot snapshot;
    snapshot.servers = hundredServers();
    for (auto _ : state)
        benchmark::DoNotOptimize(statusDocument(snapshot));
}
BENCHMARK(buildDocumentOnly)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    testenv::isolateUserDirectories();
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("OrvikVPN"));
    app.setOrganizationName(QStringLiteral("OrvikVPN"));
    app.setApplicationVersion(QStringLiteral(ORVIK_VERSION));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
