#include "routing/processlist.h"

#include "routing/processlist_win32.h"

QList<ProcessRecord> runningProcesses()
{
    std::vector<win32::ProcessInfo> processes;
    win32::listProcesses(processes);
    QList<ProcessRecord> records;
    records.reserve(qsizetype(processes.size()));
    for (const win32::ProcessInfo& process : processes)
        records.append({QString::fromStdWString(process.name), process.pid,
                        QString::fromStdWString(process.path)});
    return records;
}
