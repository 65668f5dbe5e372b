// Installing a full-size subscription (1 MiB, about 5,000 VLESS REALITY lines) in the real
// controller: splitting, parsing, building the entries, installing the list with the selection
// restored, and the change signals (which rewrite the status file). Also the resident memory
// the controller holds for those entries.
//   tools/with-keyring.sh nice -n 19 build/bench/bench_subscription
#include "controller/controller.h"
#include "profiles/subscription.h"
#include "bench/subscriptionbody.h"
#include "tests/support/controllertestaccess.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QFile>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

namespace {

using benchbody::kLines;
using benchbody::makeBody;

const QByteArray& body()
{
    static const QByteArray bytes = makeBody();
    return bytes;
}

qint64 residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * sysconf(_SC_PAGESIZE) / 1024;
}

// The pure part alone: splitting, parsing, de-duplicating and building the entries.
void parseFullSubscription(benchmark::State& state)
{
    for (auto _ : state) {
        const subscription::ParsedBody parsed = subscription::parseBody(body());
        if (parsed.entries.size() != kLines)
            state.SkipWithError("the body did not give 5,000 entries");
        benchmark::DoNotOptimize(parsed.entries.size());
    }
}
BENCHMARK(parseFullSubscription)->Unit(benchmark::kMillisecond);

// A refresh: the controller already shows the list and a row is selected.
void applyFullSubscription(benchmark::State& state)
{
    Controller controller;
    if (!ControllerTestAccess::applySubscriptionBody(controller, body()) || controller.servers().size() != kLines) {
        state.SkipWithError("the body did not give 5,000 entries");
        return;
    }
    controller.setSelectedRow(kLines / 2);
    for (auto _ : state) {
        const bool installed = ControllerTestAccess::applySubscriptionBody(controller, body());
        benchmark::DoNotOptimize(installed);
    }
    if (controller.selectedRow() != kLines / 2)
        state.SkipWithError("the selection was not kept");
}
BENCHMARK(applyFullSubscription)->Unit(benchmark::kMillisecond);

// The first list after start-up: empty list, the stored selection read from the keyring.
void applyFirstSubscription(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto controller = std::make_unique<Controller>();
        state.ResumeTiming();
        benchmark::DoNotOptimize(ControllerTestAccess::applySubscriptionBody(*controller, body(), true));
        state.PauseTiming();
        controller.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(applyFirstSubscription)->Unit(benchmark::kMillisecond);

// Resident memory of the process with an empty controller and with the same controller holding
// the 5,000 entries (the body itself is allocated before the first reading and kept through
// both).
void residentGrowth(benchmark::State& state)
{
    benchmark::DoNotOptimize(body().size());
    qint64 growth = 0;
    qint64 growthTrimmed = 0;
    for (auto _ : state) {
        Controller controller;
        malloc_trim(0);
        const qint64 before = residentKiB();
        ControllerTestAccess::applySubscriptionBody(controller, body());
        growth = residentKiB() - before;
        // Freed scratch memory of the parse, given back to the system.
        malloc_trim(0);
        growthTrimmed = residentKiB() - before;
        benchmark::DoNotOptimize(controller.servers().size());
    }
    state.counters["rss_growth_KiB"] = double(growth);
    state.counters["rss_growth_trimmed_KiB"] = double(growthTrimmed);
}
BENCHMARK(residentGrowth)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    testenv::isolateUserDirectories();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("OrvikVPN"));
    app.setOrganizationName(QStringLiteral("OrvikVPN"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
