#include "session/corejob.h"

#include "session/corejob_win32.h"

#include <QProcess>

struct CoreJob::Private
{
    void* job = nullptr;
};

CoreJob::CoreJob() : d(std::make_unique<Private>())
{
    // Without a job the cores still run; they just do not die with a crashed client.
    d->job = win32::createKillOnCloseJob();
}

CoreJob::~CoreJob()
{
    win32::closeJob(d->job);
}

void CoreJob::prepare(QProcess& process)
{
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* arguments) {
        arguments->flags = win32::withoutWindow(arguments->flags);
    });
}

void CoreJob::adopt(QProcess& process)
{
    win32::assignProcessToJob(d->job, static_cast<unsigned long>(process.processId()));
}

void CoreJob::end(QProcess& process)
{
    // terminate() posts WM_CLOSE, which windowless console cores never receive: waiting for
    // it would only delay the kill.
    process.kill();
}
