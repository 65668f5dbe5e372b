// Listing the running programs and serving their icons, on a machine with about 300
// processes (sleeping helpers are started to reach that number).
//   build/bench/bench_routing [--benchmark_repetitions=N]

#include "controller/controller.h"
#include "routing/iconprovider.h"
#include "routing/processentries.h"
#include "routing/processlist.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <vector>

extern char** environ;

namespace {

constexpr int kTargetProcesses = 300;

int countProcesses()
{
    int count = 0;
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        name.toInt(&number);
        count += number;
    }
    return count;
}

std::vector<pid_t> startSleepers(int count)
{
    std::vector<pid_t> pids;
    char program[] = "/bin/sleep";
    char seconds[] = "3600";
    char* argv[] = {program, seconds, nullptr};
    for (int i = 0; i < count; ++i) {
        pid_t pid = 0;
        if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) == 0)
            pids.push_back(pid);
    }
    return pids;
}

void stopSleepers(const std::vector<pid_t>& pids)
{
    for (pid_t pid : pids)
        kill(pid, SIGTERM);
    for (pid_t pid : pids)
        waitpid(pid, nullptr, 0);
}

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

// A data folder like a desktop's: `entries` desktop entries, one of them for the program.
void prepareDesktop(int entries)
{
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    for (int i = 0; i < entries; ++i) {
        writeFile(data + QStringLiteral("/applications/other-%1.desktop").arg(i),
                  QStringLiteral("[Desktop Entry]\nType=Application\nName=Other %1\n"
                                 "Comment=Some program\nExec=other-program-%1 %U\n"
                                 "Icon=other-icon-%1\nCategories=Utility;\n")
                      .arg(i)
                      .toUtf8());
    }
    writeFile(data + QStringLiteral("/applications/orvik-bench.desktop"),
              "[Desktop Entry]\nExec=orvik-bench %F\nIcon=orvik-bench-icon\n");
    QImage icon(48, 48, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    QDir().mkpath(data + QStringLiteral("/icons/hicolor/48x48/apps"));
    icon.save(data + QStringLiteral("/icons/hicolor/48x48/apps/orvik-bench-icon.png"));
}

void refreshProcesses(benchmark::State& state)
{
    Controller controller;
    for (auto _ : state)
        controller.refreshProcesses();
    state.counters["processes"] = double(controller.processes().size());
}
BENCHMARK(refreshProcesses)->Unit(benchmark::kMillisecond);

void readProcfs(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(runningProcesses());
}
BENCHMARK(readProcfs)->Unit(benchmark::kMillisecond);

void sortAndBuildEntries(benchmark::State& state)
{
    const QList<ProcessRecord> records = runningProcesses();
    for (auto _ : state)
        benchmark::DoNotOptimize(processEntries(records, {QStringLiteral("sleep")}));
}
BENCHMARK(sortAndBuildEntries)->Unit(benchmark::kMillisecond);

void iconRequest(benchmark::State& state, const QString& path)
{
    IconProvider provider;
    const QString id = processIconSource(path).mid(20);
    for (auto _ : state)
        benchmark::DoNotOptimize(provider.requestImage(id, nullptr, QSize()));
}
BENCHMARK_CAPTURE(iconRequest, themed, QStringLiteral("/opt/bench/orvik-bench"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(iconRequest, plainSquare, QStringLiteral("/opt/bench/no-icon-anywhere"))
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    testenv::isolateUserDirectories();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("OrvikVPN"));
    app.setOrganizationName(QStringLiteral("OrvikVPN"));

    const int entries = qEnvironmentVariableIntValue("ORVIK_BENCH_DESKTOP_ENTRIES");
    prepareDesktop(entries > 0 ? entries : 150);
    const std::vector<pid_t> sleepers = startSleepers(kTargetProcesses - countProcesses());

    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("processes", std::to_string(countProcesses()));
    benchmark::AddCustomContext("desktop entries",
                                std::to_string(entries > 0 ? entries : 150) + " + system");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    stopSleepers(sleepers);
    return 0;
}
