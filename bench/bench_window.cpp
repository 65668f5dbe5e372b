// Start-up figures of the window, side by side with a floor program built in the same tree
// (a bare ApplicationWindow with a ListView of 50 rows): the time from process start to
// the first frame, and the resident memory at that frame and a second later.
//
// The client is the real window with the real controller holding 50 servers, put in place
// by orvik-ui-harness before the first frame (as a cached subscription would be).
// Each iteration starts the floor and then the client, so both see the same machine.
// With the argument 1 the client starts with reduced motion: its first frame then shows the
// whole page rather than the first step of the page's fade-in.
// Run it under a display (tools/bench-window.sh does, with Xvfb).

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

namespace {

struct Figures
{
    double frameMs = 0;
    double frameRssMb = 0;
    double settledRssMb = 0;
    bool ok = false;
};

Figures startAndMeasure(const QString& program, const QStringList& arguments)
{
    Figures figures;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    QByteArray output;
    while (process.waitForReadyRead(30000)) {
        output += process.readAllStandardOutput();
        if (figures.frameMs == 0 && output.contains("frame rss="))
            figures.frameMs = double(clock.nsecsElapsed()) / 1e6;
        if (output.contains("settled rss="))
            break;
    }
    process.waitForFinished(10000);
    for (const QByteArray& line : output.split('\n')) {
        if (line.startsWith("frame rss="))
            figures.frameRssMb = line.mid(10).toDouble() / 1024.0;
        else if (line.startsWith("settled rss="))
            figures.settledRssMb = line.mid(12).toDouble() / 1024.0;
    }
    figures.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
                 figures.frameMs > 0 && figures.settledRssMb > 0;
    return figures;
}

void BM_WindowStart(benchmark::State& state)
{
    double floorMs = 0, clientMs = 0, floorRss = 0, clientRss = 0, floorSettled = 0,
           clientSettled = 0;
    int runs = 0;
    for (auto _ : state) {
        const Figures floor = startAndMeasure(QStringLiteral(ORVIK_FLOOR_EXE), {});
        QStringList arguments = {QStringLiteral("--first-frame"), QStringLiteral("--state"),
                                 QStringLiteral("servers"), QStringLiteral("--servers"),
                                 QStringLiteral("50")};
        if (state.range(0) == 1)
            arguments << QStringLiteral("--reduced-motion");
        const Figures client = startAndMeasure(QStringLiteral(ORVIK_HARNESS_EXE), arguments);
        if (!floor.ok || !client.ok) {
            state.SkipWithError("a program did not report its first frame");
            return;
        }
        floorMs += floor.frameMs;
        clientMs += client.frameMs;
        floorRss += floor.frameRssMb;
        clientRss += client.frameRssMb;
        floorSettled += floor.settledRssMb;
        clientSettled += client.settledRssMb;
        ++runs;
    }
    state.counters["floor_ms"] = floorMs / runs;
    state.counters["client_ms"] = clientMs / runs;
    state.counters["time_ratio"] = clientMs / floorMs;
    state.counters["floor_rss_MB"] = floorRss / runs;
    state.counters["client_rss_MB"] = clientRss / runs;
    state.counters["rss_diff_MB"] = (clientRss - floorRss) / runs;
    state.counters["floor_settled_MB"] = floorSettled / runs;
    state.counters["client_settled_MB"] = clientSettled / runs;
    state.counters["settled_diff_MB"] = (clientSettled - floorSettled) / runs;
}

} // namespace

BENCHMARK(BM_WindowStart)->Arg(0)->Arg(1)->Iterations(10)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
