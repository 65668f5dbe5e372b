// Parsing a full-size subscription (1 MiB, about 5,000 VLESS REALITY lines) with the profile
// parser, side by side with what QUrl alone costs for the same lines.
//   build/tests/bench/bench_profileuri
#include "profiles/profileuri.h"
#include "profiles/subscriptionbody.h"

#include <QUrl>
#include <QUrlQuery>

#include <benchmark/benchmark.h>

namespace {

constexpr int kLines = 5000;
constexpr qsizetype kBodySize = 1048576;

// Realistic lines: distinct ids, hosts, keys and names, each padded so that the body is 1 MiB.
QByteArray makeBody()
{
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    QByteArray body;
    body.reserve(kBodySize);
    for (int i = 0; i < kLines; ++i) {
        QByteArray key;
        for (int k = 0; k < 43; ++k)
            key += alphabet[(i * 7 + k * 13) % 64];
        QByteArray line = "vless://" + QByteArray::number(i + 0x10000000, 16) + "-9b7d-4e3a-a1c5-" +
                          QByteArray::number(i * 7919 + 0x100000000000LL, 16) + "@n" +
                          QByteArray::number(i) + ".nl.example.net:443" +
                          "?type=tcp&security=reality&sni=www.apple.com&pbk=" + key +
                          "&sid=" + QByteArray::number(0x10000000u + i * 40503u % 0xe0000000u, 16) +
                          "&flow=xtls-rprx-vision#NL-";
        line += QByteArray::number(i + 1);
        // Line feed included; the first lines take the remainder so the body is exactly 1 MiB.
        const qsizetype lineSize = kBodySize / kLines + (i < kBodySize % kLines ? 1 : 0);
        if (line.size() < lineSize - 1)
            line += QByteArray(lineSize - 1 - line.size(), 'x');
        body += line + '\n';
    }
    return body;
}

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
