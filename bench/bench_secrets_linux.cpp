// protectSecret and unprotectSecret against the desktop keyring; each call looks the key up
// in the keyring once. Needs a Secret Service:
//   tools/with-keyring.sh build/bench/bench_secrets_linux

#include "controller/secrets.h"

#include <benchmark/benchmark.h>

namespace {

const QByteArray kLink("https://cabinet.example.net/sub/9d1f7c2ab4e6-0b5d6c2e-1f3a-4b7c");

void protect(benchmark::State& state)
{
    if (protectSecret(kLink).isEmpty()) {
        state.SkipWithError("no keyring");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(protectSecret(kLink));
}
BENCHMARK(protect)->Unit(benchmark::kMillisecond);

void unprotect(benchmark::State& state)
{
    const QByteArray blob = protectSecret(kLink);
    if (blob.isEmpty()) {
        state.SkipWithError("no keyring");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(unprotectSecret(blob));
}
BENCHMARK(unprotect)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
