#pragma once

#include <QList>
#include <QString>

// One running process as the system reports it.
struct ProcessRecord
{
    QString name; // executable file name, e.g. "chrome.exe" or "firefox-esr"
    quint64 pid = 0;
    QString path; // full path of the executable; empty when the process cannot be queried
};

// Every running process, in no particular order; empty when the system refuses the list.
QList<ProcessRecord> runningProcesses();
