// How long a session takes from start() to ready(), and how long stop() takes, with
// stand-in cores that listen at once. Built into the test application folder beside the
// stand-ins:  build/tests/coreapp/bench_session

#include "config/adaptersource.h"
#include "session/tunnelsession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace {

ServerProfile benchProfile(bool vless)
{
    ServerProfile profile;
    profile.kind = vless ? ProfileKind::VlessTcp : ProfileKind::Hysteria2;
    profile.host = QStringLiteral("127.0.0.1");
    profile.port = 443;
    profile.credential = QStringLiteral("bench-credential");
    profile.security = QStringLiteral("tls");
    profile.sni = QStringLiteral("example.org");
    return profile;
}

// Runs the event loop until the session is ready; false on failure or after 15 s.
bool awaitReady(TunnelSession& session)
{
    QEventLoop loop;
    bool ready = false;
    const auto onReady = QObject::connect(&session, &TunnelSession::ready, &loop, [&] {
        ready = true;
        loop.quit();
    });
    const auto onFailed =
        QObject::connect(&session, &TunnelSession::failed, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(onReady);
    QObject::disconnect(onFailed);
    return ready;
}

void startToReady(benchmark::State& state)
{
    TunnelSession session(QCoreApplication::applicationDirPath());
    const ServerProfile profile = benchProfile(state.range(0) != 0);
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        session.start(profile, {});
        if (!awaitReady(session)) {
            state.SkipWithError("the session did not become ready");
            break;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        session.stop();
    }
}

void stopTwoCores(benchmark::State& state)
{
    TunnelSession session(QCoreApplication::applicationDirPath());
    const ServerProfile profile = benchProfile(true);
    for (auto _ : state) {
        session.start(profile, {});
        if (!awaitReady(session)) {
            state.SkipWithError("the session did not become ready");
            break;
        }
        QElapsedTimer clock;
        clock.start();
        session.stop();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
}

} // namespace

BENCHMARK(startToReady)
    ->ArgName("vless")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(stopTwoCores)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    setAdapterSource([] {
        return PhysicalAdapter{QStringLiteral("eth0"), QStringLiteral("192.168.50.10"),
                               QStringLiteral("192.168.50.1")};
    });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
