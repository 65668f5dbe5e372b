// A core that prints without pause: the client's share of a CPU while it takes in the
// output. The core is a script running `yes` in a scratch application folder; the session
// waits for a listener that never comes, and for two seconds of flooding the client's own
// CPU time (getrusage, children excluded) is compared with the wall time:
//   cpu_share   user + system time over wall time (1.0 = one whole core)
//   build/bench/bench_coreflood

#include "config/adaptersource.h"
#include "session/tunnelsession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void floodingCore(benchmark::State& state)
{
    QTemporaryDir appDir;
    for (const char* name : {"sing-box", "xray"}) {
        QFile script(appDir.filePath(QString::fromLatin1(name)));
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\nexec yes 'INFO outbound hy2://secret-password@10.0.0.1:443 "
                     "connection established'\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ServerProfile profile;
    profile.kind = ProfileKind::Hysteria2;
    profile.host = QStringLiteral("127.0.0.1");
    profile.port = 443;
    profile.credential = QStringLiteral("secret-password");
    profile.sni = QStringLiteral("example.org");
    double share = 0;
    for (auto _ : state) {
        TunnelSession session(appDir.path());
        session.start(profile, {});
        QEventLoop settle;
        QTimer::singleShot(300, &settle, &QEventLoop::quit);
        settle.exec();
        const double cpuBefore = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QEventLoop loop;
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        loop.exec();
        const double seconds = double(wall.nsecsElapsed()) / 1e9;
        if (!session.isRunning()) {
            state.SkipWithError("the session ended before the flood was measured");
            break;
        }
        share = qMax(share, (cpuSeconds() - cpuBefore) / seconds);
        state.SetIterationTime(seconds);
        session.stop();
        session.endCoresNow();
    }
    state.counters["cpu_share"] = share;
}

} // namespace

BENCHMARK(floodingCore)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

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
