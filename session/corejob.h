#pragma once

#include <memory>

class QProcess;

// Ties the core processes to the client's life: whatever way the client ends, including a
// crash or a kill, its cores end with it, and they never show a console window.
// Windows: a job object that kills its processes when its last handle closes.
// Linux: a parent-death signal in each core, with a watchdog for cores whose file
// capabilities make the kernel drop that signal at exec.
class CoreJob
{
public:
    CoreJob();
    ~CoreJob();
    CoreJob(const CoreJob&) = delete;
    CoreJob& operator=(const CoreJob&) = delete;

    // Before QProcess::start: how the process is to be created.
    void prepare(QProcess& process);
    // On QProcess::started: takes the running process in. Failures are ignored.
    void adopt(QProcess& process);
    // Asks a running core to end, without waiting for it.
    void end(QProcess& process);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
