#include "session/corejob_win32.h"

#include <windows.h>

namespace win32 {

void* createKillOnCloseJob()
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    return job;
}

bool assignProcessToJob(void* job, unsigned long processId)
{
    if (!job || processId == 0)
        return false;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_SET_QUOTA, FALSE, processId);
    if (!process)
        return false;
    const bool assigned = AssignProcessToJobObject(static_cast<HANDLE>(job), process);
    CloseHandle(process);
    return assigned;
}

void closeJob(void* job)
{
    if (job)
        CloseHandle(static_cast<HANDLE>(job));
}

unsigned long withoutWindow(unsigned long creationFlags)
{
    return creationFlags | CREATE_NO_WINDOW;
}

} // namespace win32
