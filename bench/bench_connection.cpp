// The controller with stand-in cores that listen at once and a local check endpoint (on a
// thread of its own, so its TLS work is not counted as the client's):
//   connectToConnected   connectVpn() until "Подключено"
//   checkTwentyServers   pingAllServers() with 20 entries until every result is in
//   standinWork          one stand-in from its start until it listens, plus its exit on SIGTERM
//   applyAndQueue2000    the subscription body taken in with 2,000 lines, then pingAllServers() on
//                        them, in the same run (counters apply_ms, ping_all_ms, and
//                        next_turn_ms: the coalesced status-file write and the first
//                        check's start, both on the next turn of the event loop)
//   disconnectStall      disconnectVpn() on a connected tunnel: the longest gap of a 1 ms
//                        heartbeat timer from the call until both cores are gone, with cores
//                        that end when asked (arg 0) and cores that ignore it (arg 1)
// The client's own share of one server check is checkTwentyServers / 20 minus the 100 ms
// pause minus standinWork. Built into the test application folder beside the stand-ins:
//   build/tests/coreapp/bench_connection

#include "config/adaptersource.h"
#include "config/cores.h"
#include "controller/controller.h"
#include "profiles/profileuri.h"
#include "profiles/serverlist.h"
#include "session/httpscheck.h"
#include "tests/support/controllertestaccess.h"
#include "tests/support/httpstestserver.h"
#include "tests/support/standin.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

namespace {

constexpr double kPauseMs = 100.0;
// Mean of standinWork, which runs first.
double g_standinMs = 0.0;

QVariantMap entry(int index)
{
    ServerProfile profile;
    parseProfileUri(QStringLiteral("hy2://bench-secret@127.0.0.1:%1?sni=example.org#S%2")
                        .arg(9000 + index)
                        .arg(index),
                    profile);
    return makeServerEntry(profile);
}

// Runs the event loop until `done` holds after one of the controller's changes; false
// after 60 s.
bool spinUntil(Controller& controller, const std::function<bool()>& done)
{
    QEventLoop loop;
    const auto check = [&] {
        if (done())
            loop.quit();
    };
    QObject::connect(&controller, &Controller::statusChanged, &loop, check);
    QObject::connect(&controller, &Controller::serversChanged, &loop, check);
    bool timedOut = false;
    QTimer::singleShot(60000, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    if (!done())
        loop.exec();
    return !timedOut;
}

std::unique_ptr<Controller> controllerWith(int servers)
{
    auto controller = std::make_unique<Controller>();
    QCoreApplication::processEvents();
    QVariantList entries;
    for (int i = 0; i < servers; ++i)
        entries.append(entry(i));
    controller->installServerList(entries, QString());
    return controller;
}

void connectToConnected(benchmark::State& state)
{
    auto controller = controllerWith(1);
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        controller->connectVpn();
        if (!spinUntil(*controller,
                       [&] { return controller->isConnected() || controller->hasError(); }) ||
            !controller->isConnected()) {
            state.SkipWithError(qPrintable(controller->lastError()));
            break;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        controller->disconnectVpn();
    }
}

void checkTwentyServers(benchmark::State& state)
{
    constexpr int kServers = 20;
    auto controller = controllerWith(kServers);
    const auto allDone = [&] {
        const QVariantList servers = controller->servers();
        for (const QVariant& value : servers) {
            if (value.toMap().value(QStringLiteral("pinging")).toBool())
                return false;
        }
        return true;
    };
    double totalMs = 0.0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        controller->pingAllServers();
        if (!spinUntil(*controller, allDone)) {
            state.SkipWithError("the checks did not end");
            break;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        totalMs += double(clock.nsecsElapsed()) / 1e6;
        for (const QVariant& value : controller->servers()) {
            if (value.toMap().value(QStringLiteral("latency")).toInt() < 1) {
                state.SkipWithError(
                    qPrintable(value.toMap().value(QStringLiteral("checkError")).toString()));
                return;
            }
        }
        // The pause after the last check must not run into the next round.
        QThread::msleep(150);
        QCoreApplication::processEvents();
    }
    if (state.iterations() == 0)
        return;
    // A round holds kServers - 1 pauses: none after the last check.
    const double perServer = totalMs / double(state.iterations()) / kServers;
    const double pauses = kPauseMs * (kServers - 1) / kServers;
    state.counters["per_server_ms"] = perServer;
    state.counters["standin_ms"] = g_standinMs;
    state.counters["client_share_ms"] = perServer - pauses - g_standinMs;
}

void applyAndQueue2000(benchmark::State& state)
{
    QByteArray body;
    for (int i = 0; i < 2000; ++i)
        body += QStringLiteral("hy2://bench-secret@127.0.0.1:%1?sni=example.org#S%2\n")
                    .arg(9000 + i)
                    .arg(i)
                    .toUtf8();
    double applyMs = 0.0, pingMs = 0.0, writeMs = 0.0;
    for (auto _ : state) {
        Controller controller;
        QCoreApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        if (!ControllerTestAccess::applySubscriptionBody(controller, body)) {
            state.SkipWithError("the list was not applied");
            break;
        }
        applyMs += double(clock.nsecsElapsed()) / 1e6;
        clock.restart();
        controller.pingAllServers();
        const qint64 ping = clock.nsecsElapsed();
        pingMs += double(ping) / 1e6;
        state.SetIterationTime(double(ping) / 1e9);
        clock.restart();
        QCoreApplication::processEvents();
        writeMs += double(clock.nsecsElapsed()) / 1e6;
        controller.cancelPings();
    }
    const double n = double(qMax<qint64>(1, state.iterations()));
    state.counters["apply_ms"] = applyMs / n;
    state.counters["ping_all_ms"] = pingMs / n;
    state.counters["next_turn_ms"] = writeMs / n;
}

void disconnectStall(benchmark::State& state)
{
    qputenv(standin::kIgnoreTerm, state.range(0) ? "all" : "");
    auto controller = controllerWith(1);
    double worstMs = 0.0;
    for (auto _ : state) {
        controller->connectVpn();
        if (!spinUntil(*controller,
                       [&] { return controller->isConnected() || controller->hasError(); }) ||
            !controller->isConnected()) {
            state.SkipWithError(qPrintable(controller->lastError()));
            break;
        }
        // Every turn of the loop notes how long it was since the last one.
        QElapsedTimer sinceLast;
        qint64 longest = 0;
        QTimer heartbeat;
        heartbeat.setInterval(1);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            longest = qMax(longest, sinceLast.nsecsElapsed());
            sinceLast.restart();
        });
        heartbeat.start();
        QCoreApplication::processEvents();
        sinceLast.start();
        controller->disconnectVpn();
        // Until the ignoring cores have been killed as well.
        QEventLoop settle;
        QTimer::singleShot(1500, &settle, &QEventLoop::quit);
        settle.exec();
        heartbeat.stop();
        const double ms = double(longest) / 1e6;
        worstMs = qMax(worstMs, ms);
        state.SetIterationTime(ms / 1e3);
    }
    state.counters["worst_gap_ms"] = worstMs;
    qunsetenv(standin::kIgnoreTerm);
}

void standinWork(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString config = folder.filePath(QStringLiteral("sing-box.json"));
    {
        QFile file(config);
        file.open(QIODevice::WriteOnly);
        file.write(
            QJsonDocument(
                QJsonObject{
                    {QStringLiteral("inbounds"),
                     QJsonArray{QJsonObject{{QStringLiteral("type"), QStringLiteral("socks")},
                                            {QStringLiteral("tag"), QStringLiteral("check-in")},
                                            {QStringLiteral("listen_port"), 19751}}}},
                    {QStringLiteral("outbounds"),
                     QJsonArray{QJsonObject{{QStringLiteral("type"), QStringLiteral("hysteria2")},
                                            {QStringLiteral("tag"), QStringLiteral("vpn-out")}}}},
                })
                .toJson());
    }
    const QString program = corePath(QCoreApplication::applicationDirPath(), Core::SingBox);
    double totalMs = 0.0;
    for (auto _ : state) {
        QProcess core;
        core.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer clock;
        clock.start();
        core.start(program, coreArguments(config));
        QByteArray output;
        while (!output.contains("listening on") && core.waitForReadyRead(5000))
            output += core.readAll();
        const qint64 started = clock.nsecsElapsed();
        clock.restart();
        core.terminate();
        core.waitForFinished(5000);
        const double ns = double(started + clock.nsecsElapsed());
        state.SetIterationTime(ns / 1e9);
        totalMs += ns / 1e6;
    }
    if (state.iterations() > 0)
        g_standinMs = totalMs / double(state.iterations());
}

} // namespace

BENCHMARK(standinWork)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);
BENCHMARK(connectToConnected)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(checkTwentyServers)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(applyAndQueue2000)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(disconnectStall)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    testenv::isolateUserDirectories();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("OrvikVPN"));
    app.setOrganizationName(QStringLiteral("OrvikVPN"));
    setAdapterSource([] {
        return PhysicalAdapter{QStringLiteral("eth0"), QStringLiteral("192.168.50.10"),
                               QStringLiteral("192.168.50.1")};
    });

    // The check endpoint answers from its own thread.
    QThread serverThread;
    serverThread.start();
    const QList<QUrl>& urls = httpsCheckUrls();
    auto* server = new HttpsTestServer({urls.at(0).host(), urls.at(1).host()});
    server->moveToThread(&serverThread);
    bool started = false;
    QMetaObject::invokeMethod(
        server,
        [server, &started] {
            server->setResponse("/generate_204", HttpsTestResponse{204, {}, {}});
            started = server->start();
        },
        Qt::BlockingQueuedConnection);
    if (!started) {
        std::fprintf(stderr, "the check endpoint did not start\n");
        return 1;
    }
    qputenv(standin::kHosts, (standin::hostMapEntry(urls.at(0).host(), 443, server->port()) + u',' +
                              standin::hostMapEntry(urls.at(1).host(), 443, server->port()))
                                 .toLatin1());

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    QMetaObject::invokeMethod(
        server, [server] { delete server; }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
    return 0;
}
