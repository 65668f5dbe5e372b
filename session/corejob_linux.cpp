#include "session/corejob.h"

#include <QProcess>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

// Everything below the fork runs between fork and exec of a multi-threaded process:
// only async-signal-safe calls are allowed there.

namespace {

void closeAllExcept(int keep)
{
    // close_range needs Linux 5.9; the loop is the fallback for older kernels.
    if (keep > 0 && close_range(0, unsigned(keep - 1), 0) == 0 &&
        close_range(unsigned(keep + 1), ~0U, 0) == 0)
        return;
    rlimit limit{};
    int highest = 1024;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        highest = int(limit.rlim_cur < 65536 ? limit.rlim_cur : 65536);
    for (int fd = 0; fd < highest; ++fd) {
        if (fd != keep)
            close(fd);
    }
}

// A core given file capabilities (sing-box needs the network-admin one for its TUN
// adapter) loses its parent-death signal at exec. So each core gets a small watchdog of
// its own, forked before exec and never exec'd itself: it holds only the read end of a
// pipe whose write end lives in the client; end of file means the client is gone, and
// the watchdog kills the core. The watchdog dies with the core through its own
// parent-death signal.
void startWatchdog(int lifeline)
{
    const pid_t core = getpid();
    const pid_t watchdog = _Fork();
    if (watchdog != 0)
        return; // the core, or no watchdog if the fork failed
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != core)
        _exit(0);
    prctl(PR_SET_NAME, "orvik-watchdog");
    closeAllExcept(lifeline);
    char byte = 0;
    for (;;) {
        const ssize_t got = read(lifeline, &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        break;
    }
    // While the core lives it is our parent; once it is gone there is nothing to kill.
    if (getppid() == core)
        kill(core, SIGKILL);
    _exit(0);
}

} // namespace

struct CoreJob::Private
{
    int lifelineRead = -1;
    int lifelineWrite = -1;
};

CoreJob::CoreJob() : d(std::make_unique<Private>())
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) == 0) {
        d->lifelineRead = fds[0];
        d->lifelineWrite = fds[1];
    }
}

CoreJob::~CoreJob()
{
    if (d->lifelineRead >= 0)
        close(d->lifelineRead);
    if (d->lifelineWrite >= 0)
        close(d->lifelineWrite);
}

void CoreJob::prepare(QProcess& process)
{
    // Recorded here, in the client: if the client is already gone when the child runs,
    // the child has been re-parented and must not go on to exec the core.
    const pid_t client = getpid();
    const int lifeline = d->lifelineRead;
    process.setChildProcessModifier([client, lifeline] {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != client)
            _exit(127);
        if (lifeline >= 0)
            startWatchdog(lifeline);
    });
}

void CoreJob::adopt(QProcess& process)
{
    Q_UNUSED(process);
}

void CoreJob::end(QProcess& process)
{
    // SIGTERM lets sing-box take down its adapter and routes.
    process.terminate();
}
