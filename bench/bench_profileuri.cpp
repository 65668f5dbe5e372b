// Parsing a full-size subscription (1 MiB, about 5,000 VLESS REALITY lines) with the profile
// parser, side by side with what QUrl alone costs for the same lines.
//   build/bench/bench_profileuri
#include "profiles/profileuri.h"
#include "profiles/subscriptionbody.h"
#include "bench/subscriptionbody.h"

#include <QUrl>
#include <QUrlQuery>

#include <benchmark/benchmark.h>

namespace {

using benchbody::kLines;
using benchbody::makeBody;

const QStringList& lines()
{
    static const QStringList list = splitSubscriptionBody(makeBody());
    return list;
}

void parseProfileUriLines(benchmark::State& state)
{
    const QStringList& input = lines();
    for (auto _ : state) {
        int accepted = 0;
        for (const QString& line : input) {
            ServerProfile profile;
            QString error;
            accepted += parseProfileUri(line, profile, &error);
            benchmark::DoNotOptimize(profile);
        }
        if (accepted != input.size())
            state.SkipWithError("a line was refused");
    }
    state.SetItemsProcessed(state.iterations() * input.size());
    state.counters["lines"] = static_cast<double>(input.size());
}

void qurlOnlyLines(benchmark::State& state)
{
    const QStringList& input = lines();
    for (auto _ : state) {
        for (const QString& line : input) {
            const QUrl url(line, QUrl::TolerantMode);
            QString host = url.host(QUrl::FullyDecoded);
            int port = url.port();
            auto items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
            benchmark::DoNotOptimize(host);
            benchmark::DoNotOptimize(port);
            benchmark::DoNotOptimize(items);
        }
    }
    state.SetItemsProcessed(state.iterations() * input.size());
}

// The whole client path for a downloaded body: decoding, splitting and parsing.
void splitAndParseBody(benchmark::State& state)
{
    const QByteArray body = makeBody();
    for (auto _ : state) {
        int accepted = 0;
        for (const QString& piece : splitSubscriptionBody(body)) {
            ServerProfile profile;
            accepted += isProfileLine(piece) && parseProfileUri(piece, profile);
        }
        benchmark::DoNotOptimize(accepted);
    }
    state.SetBytesProcessed(state.iterations() * body.size());
    state.counters["body_bytes"] = static_cast<double>(body.size());
}

} // namespace

BENCHMARK(parseProfileUriLines)->Unit(benchmark::kMillisecond);
BENCHMARK(qurlOnlyLines)->Unit(benchmark::kMillisecond);
BENCHMARK(splitAndParseBody)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
