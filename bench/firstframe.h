#pragma once

// Start-up figures of a window, reported on standard output for bench_window: one line
// "frame rss=<kB>" when the first frame is on screen, one line "settled rss=<kB>" a second
// later (pictures decoded), then the process ends with 0.

#include <QCoreApplication>
#include <QFile>
#include <QQuickWindow>
#include <QTimer>

#include <atomic>
#include <cstdio>

namespace firstframe {

// Resident set size from /proc; 0 where there is no /proc.
inline long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// ORVIK_SETTLE_MS changes the second's wait (0: end at the first frame, for profiling).
inline void reportAndQuit(QQuickWindow* window)
{
    const int settleMilliseconds = qEnvironmentVariableIsSet("ORVIK_SETTLE_MS")
                                       ? qEnvironmentVariableIntValue("ORVIK_SETTLE_MS")
                                       : 1000;
    static std::atomic_bool reported = false;
    // frameSwapped may come from the render thread; only the first one counts.
    QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [settleMilliseconds] {
            if (reported.exchange(true))
                return;
            std::printf("frame rss=%ld\n", residentKilobytes());
            std::fflush(stdout);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [settleMilliseconds] {
                    QTimer::singleShot(settleMilliseconds, [] {
                        std::printf("settled rss=%ld\n", residentKilobytes());
                        std::fflush(stdout);
                        QCoreApplication::exit(0);
                    });
                },
                Qt::QueuedConnection);
        },
        Qt::DirectConnection);
}

} // namespace firstframe
