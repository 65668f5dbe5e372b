#include "session/coreoutput.h"

#include <QPointer>
#include <QProcess>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

// One read at a time, so that a large backlog is taken in over several turns of the loop.
constexpr qint64 kReadSize = 16 * 1024;
// What drain() takes at most: more than a full pipe holds.
constexpr qint64 kDrainLimit = 256 * 1024;

} // namespace

struct CoreOutput::Private
{
    int readEnd = -1;
    int writeEnd = -1;
    QSocketNotifier* notifier = nullptr;
    bool paused = false;

    void closeWriteEnd()
    {
        if (writeEnd >= 0)
            close(writeEnd);
        writeEnd = -1;
    }
};

CoreOutput::CoreOutput(QProcess& process)
    : QObject(&process), m_process(process), d(std::make_unique<Private>())
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        // Without a pipe of our own, the process's channel, read without a budget.
        process.setProcessChannelMode(QProcess::MergedChannels);
        connect(&process, &QProcess::readyReadStandardOutput, this, &CoreOutput::drain);
        return;
    }
    d->readEnd = fds[0];
    d->writeEnd = fds[1];
    // The core's end must block when the pipe is full: that is what holds a flood back.
    fcntl(d->writeEnd, F_SETFL, fcntl(d->writeEnd, F_GETFL) & ~O_NONBLOCK);

    // The process's own channels are not used; the child's stdout and stderr become our
    // pipe (dup2 clears close-on-exec on the copies only).
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    const int writeEnd = d->writeEnd;
    const auto previous = process.childProcessModifier();
    process.setChildProcessModifier([writeEnd, previous] {
        dup2(writeEnd, STDOUT_FILENO);
        dup2(writeEnd, STDERR_FILENO);
        if (previous)
            previous();
    });
    // Once the child holds its copy, ours would only keep the pipe from ever ending.
    connect(&process, &QProcess::stateChanged, this, [this](QProcess::ProcessState state) {
        if (state != QProcess::Starting)
            d->closeWriteEnd();
    });

    d->notifier = new QSocketNotifier(d->readEnd, QSocketNotifier::Read, this);
    connect(d->notifier, &QSocketNotifier::activated, this, &CoreOutput::takeIn);
    m_resume.setSingleShot(true);
    connect(&m_resume, &QTimer::timeout, this, [this] {
        d->paused = false;
        if (d->notifier)
            d->notifier->setEnabled(true);
    });
}

CoreOutput::~CoreOutput()
{
    d->closeWriteEnd();
    if (d->readEnd >= 0)
        close(d->readEnd);
}

void CoreOutput::takeIn()
{
    const qint64 room = m_budget.room();
    if (room <= 0) {
        pause();
        return;
    }
    QByteArray chunk(qMin(room, kReadSize), Qt::Uninitialized);
    const ssize_t got = read(d->readEnd, chunk.data(), size_t(chunk.size()));
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (got <= 0) {
        // Every writer is gone: nothing more will come.
        d->notifier->setEnabled(false);
        return;
    }
    chunk.truncate(got);
    m_budget.spend(got);
    QPointer<CoreOutput> alive(this);
    emit received(chunk);
    if (alive && m_budget.room() <= 0)
        pause();
}

void CoreOutput::pause()
{
    if (d->paused)
        return;
    d->paused = true;
    d->notifier->setEnabled(false);
    m_resume.start(m_budget.msUntilRefill());
}

void CoreOutput::drain()
{
    if (d->readEnd < 0) {
        const QByteArray chunk = m_process.readAllStandardOutput();
        if (!chunk.isEmpty())
            emit received(chunk);
        return;
    }
    QByteArray all;
    char buffer[kReadSize];
    while (all.size() < kDrainLimit) {
        const ssize_t got = read(d->readEnd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        all.append(buffer, got);
    }
    if (!all.isEmpty())
        emit received(all);
}
