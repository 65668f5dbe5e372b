// The real client executable, offscreen, downloading a local subscription of 20 or 20,000
// valid lines (the larger just under the 1 MiB cap), with no cores beside it, so every latency
// check fails at once and the queue moves every 100 ms. Each iteration is one client run:
//   stall_ms       the longest round trip of a probe on the single-instance channel (a
//                  connection the client's event loop accepts and closes), probing every
//                  10 ms from the download request to the moment of SIGTERM: a heartbeat of
//                  the client's event loop seen from outside
//   peak_rss_mb    the client's VmHWM just before SIGTERM
//   status_mib     bytes of the status file's replacements (inotify), download to SIGTERM;
//                  status_total_mib also counts the final write of the quit
//   sigterm_ms     SIGTERM to exit; the signal goes 150 ms, 600 ms, 2 s and 5 s after the
//                  download request, one moment per iteration
// Needs root (the client trusts the test CA only through a private mount namespace) and a
// keyring session:
//   tools/with-keyring.sh build/bench/bench_longlist

#include "controller/settings.h"
#include "controller/settingskeys.h"
#include "status/statusfile.h"
#include "tests/support/httpstestserver.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iterator>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr int kMoments[] = {150, 600, 2000, 5000};

HttpsTestServer* g_server = nullptr;
std::atomic<qint64> g_requestNs{0};
QElapsedTimer g_clock;
QString g_certs;
QString g_appDir;

QByteArray body(int lines)
{
    QByteArray text;
    for (int i = 0; i < lines; ++i)
        text += QStringLiteral("hy2://pw@10.%1.%2.%3:443#S%4\n")
                    .arg(i / 65536)
                    .arg(i / 256 % 256)
                    .arg(i % 256)
                    .arg(i)
                    .toUtf8();
    return text;
}

qint64 statusKib(qint64 pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Sums the size of every new status file that replaced the old one.
qint64 drainReplacements(int watch, const QString& path)
{
    qint64 bytes = 0;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = read(watch, buffer, sizeof buffer);
        if (got <= 0)
            return bytes;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && qstrcmp(event->name, "client-status.json") == 0)
                bytes += QFileInfo(path).size();
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

void longList(benchmark::State& state)
{
    const int lines = int(state.range(0));
    const QString link =
        QStringLiteral("https://127.0.0.1:%1/s/%2").arg(g_server->port()).arg(lines);
    double worstStall = 0, worstSigterm = 0, peakRss = 0, statusMib = 0, totalMib = 0;
    int moment = 0;
    for (auto _ : state) {
        const int signalAfterMs = kMoments[moment++ % std::size(kMoments)];
        QSettings().clear();
        settings::writeSecrets({{settingskeys::subscription, link.toUtf8()}});
        const QString statusPath = statusFilePath();
        QFile::remove(statusPath);
        QDir().mkpath(QFileInfo(statusPath).absolutePath());
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(watch,
                          QFile::encodeName(QFileInfo(statusPath).absolutePath()).constData(),
                          IN_MOVED_TO | IN_CLOSE_WRITE);

        QTemporaryDir temp;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TMPDIR"), temp.path());
        QProcess client;
        client.setProcessEnvironment(env);
        client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        g_requestNs = 0;
        client.start(QStringLiteral("unshare"),
                     {QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"),
                      QStringLiteral("mount --bind \"$1\" /etc/ssl/certs && exec \"$2\""),
                      QStringLiteral("sh"), g_certs, g_appDir + QStringLiteral("/OrvikVPN")});
        client.waitForStarted(5000);
        const qint64 pid = client.processId();

        // Probes from the download request on, until the signal.
        const QString socket =
            qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/OrvikVPN.Client.instance");
        qint64 stallNs = 0;
        qint64 statusBytes = 0;
        QElapsedTimer waited;
        waited.start();
        bool ok = false;
        for (;;) {
            statusBytes += drainReplacements(watch, statusPath);
            const qint64 request = g_requestNs.load();
            const qint64 now = g_clock.nsecsElapsed();
            if (request > 0 && now - request > qint64(signalAfterMs) * 1000000) {
                ok = true;
                break;
            }
            if (client.state() != QProcess::Running || (request == 0 && waited.elapsed() > 60000))
                break;
            QLocalSocket probe;
            QElapsedTimer roundTrip;
            roundTrip.start();
            probe.connectToServer(socket);
            if (probe.waitForConnected(2000)) {
                probe.waitForDisconnected(5000);
                if (request > 0)
                    stallNs = qMax(stallNs, roundTrip.nsecsElapsed());
            }
            QThread::msleep(10);
        }
        const qint64 hwmKib = statusKib(pid, "VmHWM:");
        const qint64 beforeQuit = statusBytes;
        QElapsedTimer quitClock;
        quitClock.start();
        ::kill(pid_t(pid), SIGTERM);
        const bool ended = client.waitForFinished(10000);
        const double sigtermMs = double(quitClock.nsecsElapsed()) / 1e6;
        statusBytes += drainReplacements(watch, statusPath);
        close(watch);
        if (!ok || !ended || client.exitCode() != 0) {
            state.SkipWithError("the client did not download, run or end cleanly");
            client.kill();
            client.waitForFinished(5000);
            break;
        }
        worstStall = qMax(worstStall, double(stallNs) / 1e6);
        worstSigterm = qMax(worstSigterm, sigtermMs);
        peakRss = qMax(peakRss, double(hwmKib) / 1024.0);
        statusMib = qMax(statusMib, double(beforeQuit) / 1048576.0);
        totalMib = qMax(totalMib, double(statusBytes) / 1048576.0);
        state.SetIterationTime(sigtermMs / 1e3);
    }
    state.counters["stall_ms"] = worstStall;
    state.counters["sigterm_ms"] = worstSigterm;
    state.counters["peak_rss_mb"] = peakRss;
    state.counters["status_mib"] = statusMib;
    state.counters["status_total_mib"] = totalMib;
}

} // namespace

BENCHMARK(longList)
    ->Arg(20)
    ->Arg(20000)
    ->UseManualTime()
    ->Iterations(int(std::size(kMoments)))
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    testenv::isolateUserDirectories();
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("OrvikVPN"));
    app.setOrganizationName(QStringLiteral("OrvikVPN"));
    g_clock.start();

    // The application folder holds the executable alone: no cores, so checks fail at once.
    QTemporaryDir scratch;
    g_appDir = scratch.filePath(QStringLiteral("app"));
    QDir().mkpath(g_appDir);
    QFile::copy(QStringLiteral(ORVIK_CLIENT_EXE), g_appDir + QStringLiteral("/OrvikVPN"));

    QThread serverThread;
    serverThread.start();
    g_server = new HttpsTestServer(QStringList());
    g_server->moveToThread(&serverThread);
    bool started = false;
    QMetaObject::invokeMethod(
        g_server,
        [&started] {
            for (const int lines : {20, 20000})
                g_server->setResponse("/s/" + QByteArray::number(lines),
                                      HttpsTestResponse{200, {}, body(lines)});
            QObject::connect(g_server, &HttpsTestServer::requestReceived, g_server,
                             [] { g_requestNs = g_clock.nsecsElapsed(); });
            started = g_server->start();
        },
        Qt::BlockingQueuedConnection);

    // The certificate folder the client sees: the test CA alone.
    g_certs = scratch.filePath(QStringLiteral("certs"));
    QDir().mkpath(g_certs);
    for (const QSslCertificate& ca : QSslConfiguration::defaultConfiguration().caCertificates()) {
        if (!ca.subjectInfo(QSslCertificate::CommonName)
                 .join(u' ')
                 .contains(QLatin1String("OrvikVPN Test CA")))
            continue;
        QFile file(g_certs + QStringLiteral("/orvik-test-ca.pem"));
        if (file.open(QIODevice::WriteOnly))
            file.write(ca.toPem());
    }
    QProcess::execute(QStringLiteral("openssl"), {QStringLiteral("rehash"), g_certs});
    if (!started || QFileInfo(g_certs + QStringLiteral("/orvik-test-ca.pem")).size() == 0) {
        std::fprintf(stderr, "the subscription server or the test CA is not ready\n");
        return 1;
    }
    std::printf("body sizes: 20 lines %lld bytes, 20000 lines %lld bytes\n",
                qint64(body(20).size()), qint64(body(20000).size()));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    QMetaObject::invokeMethod(
        g_server, [] { delete g_server; }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
    return 0;
}
